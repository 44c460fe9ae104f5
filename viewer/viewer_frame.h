// viewer_frame.h - the open file as the viewer draws it, and the viewer's frame function.
//
// A loaded scene is kept twice: as loaded, for the demo view (the demo's camera and space), and
// moved into the normalised space of the fit view, where the free orbit and the file's cameras
// look at it. The frame function draws the picture the controls describe into the viewer's own
// renderer state, at the controls' picture size. Only that function needs the render threads
// (viewer_draw.cpp), so the web page shares everything else here without them.
//
// Units: pixels; scene units of each space. Ownership: ViewerScene owns both copies; the
// DemoState passed to the functions is the viewer's own (its frame buffer and renderer), which
// borrows one of the copies while it draws.
// Failure: viewer_prepare and viewer_resize return false with a one-line reason (the picture
// cannot be allocated), leaving what was there before usable.
#pragma once

#include "app/demo.h"
#include "app/view_animation.h"
#include "render/threaded_frame.h"
#include "scene/texture_image.h"
#include "viewer/viewer_controls.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

struct ViewerScene {
    std::unique_ptr<Scene> loaded;         // as loaded, every mesh matrix the identity (the demo
                                           // view's); the local axes stay in animation.skeleton
    Scene normalised;                      // the fit view's space
    std::vector<Camera> file_cameras;      // the file's cameras that can be looked through
    std::vector<int32_t> camera_index;     // each one's index in the scene's cameras
    std::vector<double> camera_lens;       // focal length / picture width, per usable camera
    std::vector<ModelMesh> loaded_shading; // the model look's shading of the scene as loaded
    // A file that moves: its pose at the controls' key frame places the normalised scene's
    // meshes and the file's cameras, and the fit takes in the whole animation (fit_scale times
    // the still fit's distance).
    bool animated = false;
    ViewAnimation animation;
    double fit_scale = 1;
};

// Takes scene over and prepares it for the views at width x height: the normalised copy, the
// usable cameras, the buffers of state. Then tells controls about the new scene. pictures: per
// material, its decoded texture or nullptr, for the model look to paint (borrowed: they must
// outlive the pictures drawn; empty: none).
bool viewer_prepare(ViewerScene& viewer, std::unique_ptr<Scene> scene, DemoState& state,
                    ViewerControls& controls, std::string& error,
                    std::span<const TextureImage* const> pictures = {});

// A copy of the open file as it was handed to viewer_prepare, its meshes' local axes included,
// for preparing it again (another up axis). nullptr when no file is open or memory is short.
std::unique_ptr<Scene> viewer_loaded_copy(const ViewerScene& viewer);

// The picture has a new size (controls.width x controls.height): the frame buffer and the fit.
bool viewer_resize(ViewerScene& viewer, DemoState& state, ViewerControls& controls,
                   std::string& error);

// Points state at the picture the controls describe (which copy of the scene and its shading, the
// camera, the lens, the look) without drawing it: a single-threaded front end (the web page) then
// calls view_frame, and viewer_release afterwards. False when no scene is loaded. A file camera
// that follows its tracks is kept in controls as it is shown, so that a drag or the wheel takes
// over from where the picture is, not from the camera's first pose.
bool viewer_aim(ViewerScene& viewer, DemoState& state, ViewerControls& controls);

// Gives back what viewer_aim lent the state for the picture (the shading of the scene as loaded).
void viewer_release(ViewerScene& viewer, DemoState& state, const ViewerControls& controls);

// Draws the picture the controls describe into state.frame_buffer, on the render threads when
// given (nullptr: on the caller's thread alone). False when the threads' buffers could not grow:
// the picture is then incomplete and must not be shown.
bool viewer_draw(ViewerScene& viewer, DemoState& state, ViewerControls& controls,
                 RenderThreads* threads);
