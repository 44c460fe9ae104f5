// view_animation.h - the file's own animation in the fit and camera views.
//
// The views move the scene into their normalised space once, at start-up (view_choice.h). This
// module then places every mesh at any key-frame time as the pose says (anim/pose.h), the pose's
// scene-axes placement carried into the normalised space; in the camera view the camera follows
// its tracks (position, target, roll, field of view). The fit view is fitted once, at start-up,
// to the whole animation: the sphere around every mesh's box at every sampled time of the segment
// (every 0.6 key frames, the pace of playback, and every whole key frame), so that nothing leaves
// the frame while the file plays. A mesh that its hide track hides is moved far behind the camera,
// where the renderer's near plane drops it, so the frame functions need not know about hiding.
// The demo view never animates: it keeps the demo's own motion.
//
// Units: key frames (reals), scene units; the camera's roll and field of view as anim/pose.h
// gives them (degrees).
// Ownership: a ViewAnimation keeps its own copy of what posing needs (the key-frame nodes, the
// cameras, each mesh's local axes), because the views overwrite the scene's mesh matrices; it
// borrows nothing.
// Failure: view_animation_start returns false with a one-line reason when the view cannot start
// (view_start's reasons) or the camera cannot be aimed at the first time asked for;
// view_animation_pose returns false when the camera cannot be aimed at that time, and then keeps
// the camera as it was, so that a player may go on.
#pragma once

#include "app/view_choice.h"

#include <cstdint>
#include <string>

struct ViewAnimation {
    Scene skeleton; // the scene without vertices and faces: what posing reads
    ViewKind kind = ViewKind::fit;
    int32_t camera = -1; // camera view: index in Scene::cameras of the camera looked through
    ViewSpace space;     // the map view_start applied to the scene
    Vector3 offset{};    // fit view: the animation's middle in the normalised space
};

// view_start for the fit or camera view (false with a reason for the demo view), then the pose at
// key_frame. The fit is worked out over the scene's segment and key_frame.
bool view_animation_start(ViewAnimation& animation, DemoState& demo, Scene& scene,
                          const ViewChoice& choice, int32_t width, int32_t height, double key_frame,
                          std::string& error);

// Places every mesh of the started view (and, in the camera view, the camera) at key_frame.
bool view_animation_pose(const ViewAnimation& animation, DemoState& demo, double key_frame,
                         std::string& error);

// view_animation_pose, looking through the file's camera number camera (index in Scene::cameras)
// as it stands at key_frame, whatever view was started: the viewer's fit space shows the camera
// views too. The fit's offset is left out, so that the meshes and the camera stand exactly where
// the camera view puts them, and with the file's Z up the picture is the camera view's.
bool view_animation_pose_through(const ViewAnimation& animation, DemoState& demo, int32_t camera,
                                 double key_frame, std::string& error);
