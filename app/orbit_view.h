// orbit_view.h - a camera that a person turns, zooms and pans about a scene: the interactive
// view of the desktop viewer and of the web page.
//
// The camera circles a target point on a turntable: it turns about the vertical through the
// target (yaw), tilts up or down towards the poles (pitch, clamped short of them so that the
// picture never flips over), stands distance units from the target and always looks at it. The
// vertical is the +y axis of the space the camera is used in (both the scene as loaded and the
// views' normalised space have the file's up there). Panning moves the target across the
// picture; zooming moves the camera along its line of sight towards the target. Fitting again
// puts everything back where orbit_fit put it.
//
// With yaw 0, the fit's pitch and the target on the origin, the camera is the demo's camera
// (demo_orient_camera) bit for bit, so the first picture of an orbit is the fit view's.
//
// Mouse motion is given in pixels (x right, y down, as the frame buffer); angles are radians,
// distances are units of the space the camera is used in. The camera matrix follows the
// renderer's convention: camera space to world space, rows right, down, line of sight, eye.
// Ownership: plain values; nothing allocates. Failure: none is reported. Non-finite input leaves
// the view as it was, and every function keeps the view within its limits (pitch clamp, zoom
// and pan bounds), so a camera made from an OrbitView is always finite when its fit was.
#pragma once

#include "scene/math3d.h"

#include <array>
#include <cstdint>

// The fit's tilt: the demo camera's 30 degrees above the horizon (the same float it uses).
extern const float kOrbitFitPitch;
// The tilt stops this far short of straight down or straight up, in radians (one degree).
constexpr double kOrbitPoleMargin = 0.017453292519943295;
// A drag across the whole height of the picture turns the camera by half a turn.
constexpr double kOrbitTurnPerHeight = 3.14159265358979323846;
// One wheel step brings the camera this share closer to the target (a step away undoes it).
constexpr double kOrbitZoomStep = 0.85;
// Zoom and pan stay within these multiples of the fitted distance: the camera gets no closer to
// the target than 1/kOrbitRange of it and no farther than kOrbitRange times it, and the target
// stays within kOrbitRange fitted distances of the fitted centre.
constexpr double kOrbitRange = 100.0;

struct OrbitView {
    std::array<double, 3> target{}; // the point looked at and turned about
    double yaw = 0;                 // about +y; positive turns the camera from -z towards -x
    double pitch = 0;               // positive raises the camera above the target
    double distance = 150;          // from the eye to the target
    std::array<double, 3> centre{}; // where fitting again puts the target
    double fit_distance = 150;      // where fitting again puts the camera; sets the bounds
};

// A view looking at centre from fit_distance away in the fit's direction (yaw 0, the fit's
// pitch). A fit_distance that is not a positive finite number is taken as 150, the demo's.
OrbitView orbit_fit(const std::array<double, 3>& centre, double fit_distance);

// Back to where orbit_fit put the camera (centre, fit distance and direction).
void orbit_refit(OrbitView& view);

// True while the view is exactly where orbit_fit or orbit_refit put it.
bool orbit_is_fitted(const OrbitView& view);

// A drag of (dx, dy) pixels in a picture height pixels tall turns the camera so that the scene
// follows the pointer: right turns the near side of the scene to the right, down tilts it down.
void orbit_turn(OrbitView& view, double dx, double dy, int32_t height);

// steps wheel steps: positive moves the camera towards the target, negative away.
void orbit_zoom(OrbitView& view, double steps);

// A drag of (dx, dy) pixels moves the target across the picture so that the point looked at
// follows the pointer exactly; focal is the renderer's focal length in pixels.
void orbit_pan(OrbitView& view, double dx, double dy, double focal);

// The camera matrix of the view (camera space to world space).
Matrix4 orbit_camera(const OrbitView& view);

// An orbit that continues from any camera matrix (a file's camera, the demo's): same eye and line
// of sight, the target on that line as far from the eye as the centre is (at least the smallest
// zoom distance), bank dropped. centre and fit_distance are kept for fitting again.
OrbitView orbit_from_camera(const Matrix4& camera, const std::array<double, 3>& centre,
                            double fit_distance);
