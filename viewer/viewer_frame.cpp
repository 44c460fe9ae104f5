#include "viewer/viewer_frame.h"

#include "anim/pose.h"
#include "app/model_frame.h"
#include "app/view_choice.h"
#include "render/view.h"

#include <cmath>
#include <new>
#include <utility>

namespace {

// The fit view's camera distance for the picture's size, in normalised units.
double fit_distance(const Scene& loaded, int32_t width, int32_t height) {
    const FitPlacement fit = fit_placement(loaded, width, height);
    return fit.distance * fit.scale;
}

bool shade_loaded_scene(ViewerScene& viewer, std::span<const TextureImage* const> pictures) {
    try {
        viewer.loaded_shading.resize(viewer.loaded->meshes.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (size_t i = 0; i < viewer.loaded_shading.size(); ++i)
        if (!prepare_model_mesh(viewer.loaded->meshes[i], viewer.loaded->materials,
                                viewer.loaded_shading[i], pictures))
            return false;
    return true;
}

} // namespace

bool viewer_prepare(ViewerScene& viewer, std::unique_ptr<Scene> scene, DemoState& state,
                    ViewerControls& controls, std::string& error,
                    std::span<const TextureImage* const> pictures) {
    // The normalised copy keeps the meshes' local axes, which posing reads (view_animation_start
    // keeps them aside before the view resets them); the scene as loaded drops them below, for the
    // demo view.
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
    fit.look = Look::model;
    fit.up = controls.up == ViewerUp::y ? UpAxis::y : UpAxis::z;
    DemoState next_state;
    const double still_distance = fit_distance(*scene, controls.width, controls.height);
    next.animated = scene_is_animated(*scene);
    if (next.animated) {
        if (!view_animation_start(next.animation, next_state, next.normalised, fit, controls.width,
                                  controls.height, scene->keyframe_start, error))
            return false;
        const double distance = std::hypot(next_state.camera.at(3, 0), next_state.camera.at(3, 1),
                                           next_state.camera.at(3, 2));
        if (std::isfinite(distance) && distance > 0 && still_distance > 0)
            next.fit_scale = distance / still_distance;
    } else if (!view_start(next_state, next.normalised, fit, controls.width, controls.height,
                           error)) {
        return false;
    }
    if (!pictures.empty() && !demo_use_model_look(next_state, pictures)) {
        error = "not enough memory to view this scene";
        return false;
    }
    std::vector<Matrix4> looks;
    std::vector<std::string> names;
    const ScenePose first = pose_scene(*scene, scene->keyframe_start);
    std::string first_unusable;
    for (size_t i = 0; i < scene->cameras.size(); ++i) {
        Matrix4 look;
        float focal = 0;
        std::string unusable;
        if (!camera_look(*scene, i, first, controls.width, look, focal, unusable)) {
            if (first_unusable.empty()) first_unusable = unusable;
            continue;
        }
        looks.push_back(fit.up == UpAxis::y ? camera_turned_y_up(look) : look);
        names.push_back(scene->cameras[i].name);
        next.file_cameras.push_back(scene->cameras[i]);
        next.camera_index.push_back(int32_t(i));
        next.camera_lens.push_back(double(focal) / controls.width);
    }
    const double distance = still_distance * next.fit_scale;
    const int32_t first_key = next.animated ? scene->keyframe_start : 0;
    const int32_t last_key = next.animated ? scene->keyframe_end : 0;
    demo_reset_mesh_matrices(*scene);
    next.loaded = std::move(scene);
    if (!shade_loaded_scene(next, pictures)) {
        error = "not enough memory to view this scene";
        return false;
    }
    viewer = std::move(next);
    state = std::move(next_state);
    const std::string unusable = looks.empty() ? first_unusable : std::string();
    controls_new_scene(controls, distance, std::move(looks), std::move(names), first_key, last_key,
                       unusable);
    return true;
}

std::unique_ptr<Scene> viewer_loaded_copy(const ViewerScene& viewer) {
    if (!viewer.loaded) return nullptr;
    std::unique_ptr<Scene> copy;
    try {
        copy = std::make_unique<Scene>(*viewer.loaded);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (viewer.animated)
        for (size_t m = 0; m < copy->meshes.size() && m < viewer.animation.skeleton.meshes.size();
             ++m)
            copy->meshes[m].matrix = viewer.animation.skeleton.meshes[m].matrix;
    return copy;
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
    controls_set_fit(controls, fit_distance(*viewer.loaded, controls.width, controls.height) *
                                   viewer.fit_scale);
    return true;
}

bool viewer_aim(ViewerScene& viewer, DemoState& state, ViewerControls& controls) {
    if (!viewer.loaded) return false;
    const int32_t width = state.width, height = state.height;
    double focal = width / 2.0; // the fit's lens: 90 degrees across the width
    const bool through_camera =
        controls.mode == ViewerMode::camera && controls.camera < controls.cameras.size();
    if (through_camera) {
        state.camera = controls.cameras[controls.camera];
        focal = viewer.camera_lens[controls.camera] * width;
    } else {
        state.camera = orbit_camera(controls_orbit(controls));
    }
    setup_view_with_focal(state.renderer.view, width, height, float(focal));
    const bool demo_space = controls.mode == ViewerMode::demo;
    state.scene = demo_space ? viewer.loaded.get() : &viewer.normalised;
    state.spin = false;
    state.model_look = controls.look == ViewerLook::model;
    // The pose after the camera: a hidden mesh is put behind the camera that draws it. A file's
    // camera follows its tracks; at a time it cannot be aimed it keeps its first placement.
    std::string unused;
    if (viewer.animated && through_camera) {
        if (view_animation_pose_through(viewer.animation, state,
                                        viewer.camera_index[controls.camera], controls.key_frame,
                                        unused))
            controls.cameras[controls.camera] = state.camera;
    } else if (viewer.animated && !demo_space)
        view_animation_pose(viewer.animation, state, controls.key_frame, unused);
    // The state keeps the normalised scene's shading; the scene as loaded lends it its own.
    if (demo_space) std::swap(state.model_meshes, viewer.loaded_shading);
    return true;
}

void viewer_release(ViewerScene& viewer, DemoState& state, const ViewerControls& controls) {
    if (viewer.loaded && controls.mode == ViewerMode::demo)
        std::swap(state.model_meshes, viewer.loaded_shading);
}
