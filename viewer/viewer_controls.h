// viewer_controls.h - what the viewer's keys and mouse do: a state machine without a window.
//
// The viewer feeds every WindowEvent to controls_event and does what the answer asks (quit, save
// the picture, open a file, prepare the scene again for another up axis); whenever the state
// changed in a way the picture shows, redraw is set, and the viewer draws one frame and clears it.
//
// Views: the free orbit lives in the fit view's normalised space (the scene centred, its bounding
// sphere of radius kViewSceneRadius, the chosen up axis on +y); "fit" is that orbit where fitting
// put it, "orbit" after it was moved. The demo view is the demo's camera on the scene as loaded
// (a second orbit, in that space, that starts where the demo's camera stands). A camera view
// looks through a file's camera; a drag or the wheel there continues as a free orbit from that
// camera's eye and line of sight (its lens and bank give way to the fit's).
// Mouse: left drag turns, wheel zooms, right or middle drag or Shift + left drag pans. Keys:
// F fit again, C next camera (after the last, back to the free orbit as it was), D demo view,
// L look, U up axis, Space play or pause, Left / Right one key frame, Home the first key frame,
// S save, Escape quit.
//
// Units: pixels for sizes and pointer positions, seconds for playback time, key frames as the
// file numbers them. Ownership: plain values; cameras and names are copies the viewer hands over
// when it loads a file. Failure: none; a request the scene cannot answer (C without cameras,
// Space without animation) leaves the view as it was and says why in message.
#pragma once

#include "app/orbit_view.h"
#include "platform/window_input.h"
#include "scene/math3d.h"

#include <cstdint>
#include <string>
#include <vector>

enum class ViewerLook { model, demo };
enum class ViewerUp { z, y };
enum class ViewerMode { orbit, demo, camera };

// Key frames a second while the animation plays.
constexpr double kPlaybackRate = 30.0;

struct ViewerControls {
    int32_t width = 1024, height = 768; // the picture, in pixels
    ViewerMode mode = ViewerMode::orbit;
    OrbitView orbit;                       // normalised space: fit and free orbit
    OrbitView demo_orbit;                  // the scene as loaded: the demo view
    std::vector<Matrix4> cameras;          // the file's usable cameras, normalised space
    std::vector<std::string> camera_names; // same order
    // What C says when there is no camera to look through: why, when the file has cameras that
    // cannot be looked through.
    std::string no_camera = "no file is open";
    size_t camera = 0; // the one looked through in camera mode
    ViewerLook look = ViewerLook::model;
    ViewerUp up = ViewerUp::z;

    enum class Drag { none, turn, pan };
    Drag drag = Drag::none;
    PointerButton drag_button = PointerButton::left;
    int32_t drag_x = 0, drag_y = 0;

    // Animation: none while first_key == last_key.
    int32_t first_key = 0, last_key = 0;
    int32_t key_frame = 0;
    bool playing = false;
    double play_clock = 0; // seconds of playback not yet turned into key frames

    std::string message; // shown in the title until the next change
    bool redraw = true;  // the picture no longer shows the state
};

enum class ViewerAction {
    none,
    quit,   // Escape or the window closed
    save,   // S: save the picture
    open,   // a file was dropped: open the event's path
    resize, // the picture has a new size: call controls_set_fit with the new fit
    prepare // the up axis changed: prepare the scene again and call controls_new_scene
};

// The controls for a newly loaded scene (or the same scene for another up axis): the fit of the
// normalised space and the demo's camera, the file's cameras, the key-frame range. Keeps the
// picture size, look and up axis; everything else starts over in the fit view.
// unusable_camera: why the file's first camera cannot be looked through, when none can (C then
// says so); empty when the file has no camera or some can be looked through.
void controls_new_scene(ViewerControls& controls, double fit_distance, std::vector<Matrix4> cameras,
                        std::vector<std::string> camera_names, int32_t first_key, int32_t last_key,
                        const std::string& unusable_camera = {});

// A new fit distance for the same scene (the picture changed shape). A fitted view stays fitted.
void controls_set_fit(ViewerControls& controls, double fit_distance);

ViewerAction controls_event(ViewerControls& controls, const WindowEvent& event);

// Playback: seconds of time passed while playing turn into key frames (kPlaybackRate a second,
// wrapping from the last to the first). True when the key frame changed.
bool controls_play(ViewerControls& controls, double seconds);

// The orbit the picture is drawn from (the demo orbit in the demo view), for any mode but camera.
const OrbitView& controls_orbit(const ViewerControls& controls);

// The view's name as the title shows it: "fit", "orbit", "demo" or "camera NAME".
std::string controls_view_name(const ViewerControls& controls);
