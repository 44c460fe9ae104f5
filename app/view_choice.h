// view_choice.h - how a front end looks at a scene: the demo's own camera, a view fitted to the
// scene, or through one of the file's cameras; spinning or still; at any frame size.
//
// Views, by name (parse_view_choice):
//   "demo"         the demo exactly: fixed camera 150 units back, every mesh spinning about the
//                  origin. Its frames are the demo program's frames, pixel for pixel.
//   "fit"          the demo's viewing direction and spin, with the scene centred on the middle of
//                  its bounding box and the camera just far enough back that the sphere around
//                  the scene stays inside the frame whatever the spin does.
//   "camera"       through the file's first camera, or through the camera called NAME with
//   "camera:NAME"  "camera:NAME", as placed at the first key frame, with its lens and bank.
// A still view leaves every mesh where the view put it; otherwise each frame spins every mesh
// like the demo does.
//
// Scene space: the demo view uses the scene as loaded. The fit and camera views first move the
// scene into a normalised space: centred on its bounding box, scaled so that its bounding sphere
// has radius kViewSceneRadius (so neither a model a millimetre wide nor one near the float limit
// meets the renderer's fixed near limit of 0.1 units or overflows), and turned back from the
// loader's mirrored axes into a proper rotation of the file's own world (right-handed, Z up), so
// that these views show the file as it was modelled rather than its mirror image. A uniform scale
// and a rotation change nothing in a perspective picture; the camera is moved with the scene.
// Only what the renderer reads is changed: vertex positions and normals, face order and planes,
// mesh matrices (reset to the identity, as the demo does).
//
// Units: sizes in pixels, angles of the placements in radians, distances in scene units (the
// loader's scene axes) unless said otherwise.
// Ownership: the caller owns the Scene and the DemoState; view_start borrows the scene into the
// state, exactly like demo_start.
// Failure: parse_view_choice, view_start and camera_placement return false with a one-line reason
// (no newline) when a name, a size or a camera cannot be used; the scene is then left untouched.
// Nothing throws. Degenerate scenes (empty, a single point, coordinates near the float limit) are
// not failures: the fit falls back to the demo's distance and never produces a NaN.
#pragma once

#include "anim/pose.h"
#include "app/demo.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

enum class ViewKind { demo, fit, camera };

// How the meshes are drawn: the demo's look (one colour, flat, painted in file order, exactly the
// demo's pixels) or the model look (model_look.h: depth, material colours, two-sided materials,
// smoothing groups). automatic: the demo look in the demo view, the model look in the others.
enum class Look { automatic, demo, model };

// The file axis that is up on the screen in the fit view: Z (3D Studio's convention) or Y (for
// models made Y-up). The demo view draws the scene as loaded and the camera view follows the
// file's camera, whatever the choice.
enum class UpAxis { z, y };

struct ViewChoice {
    ViewKind kind = ViewKind::demo;
    std::string camera_name; // camera view: the camera's name; empty for the file's first camera
    bool still = false;      // true: meshes keep the matrices the view set up
    Look look = Look::automatic;
    UpAxis up = UpAxis::z;
};

// Frame sizes any view can be drawn at, in pixels, both sides inclusive.
constexpr int32_t kMinFrameSide = 16;
constexpr int32_t kMaxFrameSide = 4096;

// Radius of the scene's bounding sphere in the normalised space of the fit and camera views.
constexpr double kViewSceneRadius = 100.0;

// Reads "demo", "fit", "camera" or "camera:NAME" (NAME any non-empty bytes). choice.still is kept.
bool parse_view_choice(std::string_view text, ViewChoice& choice, std::string& error);

// The name parse_view_choice reads back into the same choice.
std::string view_choice_name(const ViewChoice& choice);

// Reads "demo" or "model".
bool parse_look(std::string_view text, Look& look, std::string& error);

// Reads "z" or "y".
bool parse_up_axis(std::string_view text, UpAxis& up, std::string& error);

// The look the choice draws in: its own, or its view's default (never automatic).
Look view_look(const ViewChoice& choice);

// Where the fit view puts the scene and its camera, in scene units.
struct FitPlacement {
    bool fitted = false;            // false: no drawable extent (empty scene, one point, no finite
                                    // vertex): the demo's distance of 150 is used instead
    std::array<double, 3> centre{}; // middle of the bounding box of the drawn vertices
    double radius = 0;              // of the sphere around centre holding every drawn vertex
    double distance = 0;            // from the eye to centre
    double scale = 1;               // normalised-space units per scene unit
};

// The fit of scene for a frame of width x height pixels (any positive size). Vertices that some
// face uses count; a scene without faces counts all its vertices. Non-finite vertices are ignored.
FitPlacement fit_placement(const Scene& scene, int32_t width, int32_t height);

// Where a camera of the file stands at the first key frame, in scene axes.
struct CameraPlacement {
    std::array<double, 3> position{}; // first position key, else the camera chunk's position
    std::array<double, 3> target{};   // first target key, else the camera chunk's target
    double bank = 0;                  // radians; positive turns the camera clockwise about its
                                      // line of sight, so the picture turns counter-clockwise
    double lens = 0;                  // millimetres, focal length for a frame 36 mm wide
    double field_of_view = 0;         // horizontal, radians: 2 * atan(18 / lens); NaN for a lens
                                      // that is not a positive number
    bool posed = false; // key-frame nodes place the camera: all of the above is its pose at the
                        // segment's first key frame (see camera_start_placement)
};

// The placement of camera from its chunk and first track keys alone. False with the reason when
// the lens is not a positive finite number, the position or target is not finite, or the camera
// stands on its own target; the fields are filled all the same, for a report to show.
bool camera_placement(const Camera& camera, CameraPlacement& placement, std::string& error);

// The placement of camera number index of scene as a player of the file shows it before the
// animation moves: first is the scene's pose at its first key frame (pose_scene(scene,
// scene.keyframe_start), anim/pose.h). A camera that key-frame nodes place stands where they put
// it then, with the roll and field of view of its tracks (its lens is then the focal length of
// that field of view), so that the still camera view is the first picture of the file playing;
// a camera without nodes is camera_placement's. Fails for camera_placement's reasons, and for a
// posed field of view that is not between 0 and 180 degrees.
bool camera_start_placement(const Scene& scene, size_t index, const ScenePose& first,
                            CameraPlacement& placement, std::string& error);

// camera_start_placement alone, whether or not the camera can be looked through: for reports.
CameraPlacement camera_view_placement(const Scene& scene, size_t index, const ScenePose& first);

// How camera number index of scene (as loaded) sees it in the normalised space of the camera
// view, in a frame width pixels wide, placed by camera_start_placement at first: the camera
// matrix and the focal length in pixels. False with the reason when the camera cannot be looked
// through (camera_start_placement's reasons, a lens no frame can show, an eye too far from the
// scene to be drawn). The scene is only read.
bool camera_look(const Scene& scene, size_t index, const ScenePose& first, int32_t width,
                 Matrix4& look, float& focal, std::string& error);

// A camera matrix made for the normalised space with the file's Z up, turned with the scene into
// the fit view's space with the file's Y up (ViewSpace::y_up).
Matrix4 camera_turned_y_up(const Matrix4& z_up_camera);

// The camera of scene the choice names (the first one for an empty name), or nullptr with the
// reason: no camera at all, or none of that name.
const Camera* find_view_camera(const Scene& scene, const std::string& name, std::string& error);

// All start-up steps of a view, the platform-free part of what a front end does before its first
// frame: checks the size (kMinFrameSide..kMaxFrameSide on each side), prepares the scene and the
// camera for the view, sets the renderer's view for width x height, and allocates the frame
// buffer and the renderer's vertex cache; in the model look, the shading of every mesh
// (demo_use_model_look, model_frame.h). The demo view in the demo look at kWidth x kHeight is
// demo_start exactly. On false (bad size, unusable camera, allocation failure) error holds the
// reason and the scene is as it was.
bool view_start(DemoState& demo, Scene& scene, const ViewChoice& choice, int32_t width,
                int32_t height, std::string& error);

// The map the fit and camera views apply to a scene (view_start): a point p in scene axes goes to
// (p - centre) x scale, then turned into the normalised space (x negated, and with the file's Y
// up a further quarter turn). Read it before view_start, which moves the scene's vertices by it.
struct ViewSpace {
    std::array<double, 3> centre{};
    double scale = 1;
    bool y_up = false; // the fit view with the file's Y up
};
ViewSpace view_space(const Scene& scene, const ViewChoice& choice);
std::array<double, 3> view_space_point(const ViewSpace& space, const std::array<double, 3>& p);
// The turn alone, for directions.
std::array<double, 3> view_space_direction(const ViewSpace& space, const std::array<double, 3>& d);

// Aims a started camera view at a camera that moves (app/view_animation.h): eye and target in
// scene axes, bank in radians as CameraPlacement's, field_of_view horizontal in radians. In a
// space with the file's Y up the camera is aimed as with Z up and turned with the scene. False
// with the reason when no frame can show that camera (it stands on its target, too far away, or
// has a field of view of no width); the view is then unchanged.
bool view_aim_camera(DemoState& demo, const ViewSpace& space, const std::array<double, 3>& eye,
                     const std::array<double, 3>& target, double bank, double field_of_view,
                     std::string& error);

// Takes a view that view_start started back to its first frame: the animation angle to 0 and
// every mesh matrix to the identity, as view_start leaves them whatever the view. The view's other
// changes to the scene stay, so the frames that follow are the very frames that followed
// view_start, without a second copy of the scene to start from.
void view_rewind(DemoState& demo);
