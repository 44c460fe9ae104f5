#include "viewer/viewer_frame.h"

#include "app/model_frame.h"
#include "app/demo_threads.h"
#include "app/view_choice.h"
#include "render/view.h"

#include <new>

namespace {

// The fit view's camera distance for the picture's size, in normalised units.
double fit_distance(const Scene& loaded, int32_t width, int32_t height) {
    const FitPlacement fit = fit_placement(loaded, width, height);
    return fit.distance * fit.scale;
}

} // namespace

bool viewer_prepare(ViewerScene& viewer, std::unique_ptr<Scene> scene, DemoState& state,
                    ViewerControls& controls, std::string& error) {
    demo_reset_mesh_matrices(*scene);
    ViewerScene next;
    try {
        next.normalised = *scene;
    } catch (const std::bad_alloc&) {
        error = "not enough memory to view this scene";
        return false;
    }
    ViewChoice fit;
    fit.kind = ViewKind::fit;
    fit.still = true;
    DemoState next_state;
    if (!view_start(next_state, next.normalised, fit, controls.width, controls.height, error))
        return false;
    std::vector<Matrix4> looks;
    std::vector<std::string> names;
    for (const Camera& camera : scene->cameras) {
        Matrix4 look;
        float focal = 0;
        std::string unusable;
        if (!camera_look(*scene, camera, controls.width, look, focal, unusable)) continue;
        looks.push_back(look);
        names.push_back(camera.name);
        next.file_cameras.push_back(camera);
        next.camera_lens.push_back(double(focal) / controls.width);
    }
    const double distance = fit_distance(*scene, controls.width, controls.height);
    next.loaded = std::move(scene);
    viewer = std::move(next);
    state = std::move(next_state);
    // Until the pose at a key frame is drawn, every file is shown as a still.
    controls_new_scene(controls, distance, std::move(looks), std::move(names), 0, 0);
    return true;
}

bool viewer_resize(ViewerScene& viewer, DemoState& state, ViewerControls& controls,
                   std::string& error) {
    if (!viewer.loaded) return true;
    try {
        state.frame_buffer.assign(size_t(controls.width) * size_t(controls.height), 0u);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a " + std::to_string(controls.width) + "x" +
                std::to_string(controls.height) + " picture";
        return false;
    }
    state.width = controls.width;
    state.height = controls.height;
    controls_set_fit(controls, fit_distance(*viewer.loaded, controls.width, controls.height));
    return true;
}

bool viewer_draw(ViewerScene& viewer, DemoState& state, const ViewerControls& controls,
                 RenderThreads* threads) {
    if (!viewer.loaded) {
        std::fill(state.frame_buffer.begin(), state.frame_buffer.end(), 0u);
        return true;
    }
    const int32_t width = state.width, height = state.height;
    double focal = width / 2.0; // the fit's lens: 90 degrees across the width
    if (controls.mode == ViewerMode::camera && controls.camera < controls.cameras.size()) {
        state.camera = controls.cameras[controls.camera];
        focal = viewer.camera_lens[controls.camera] * width;
    } else {
        state.camera = orbit_camera(controls_orbit(controls));
    }
    state.scene = controls.mode == ViewerMode::demo ? viewer.loaded.get() : &viewer.normalised;
    state.spin = false;
    setup_view_with_focal(state.renderer.view, width, height, float(focal));
    if (threads != nullptr) return demo_frame_threaded(state, *threads);
    view_frame(state);
    return true;
}
