// Chunk handlers for lights (the light record, its spotlight, flags, ranges, multiplier and
// colour) and cameras.
#include "loader/loader_internal.h"

namespace {

Light* current_light(LoaderState& state) {
    if (state.pass != LoadPass::filling || state.current_light < 0) return nullptr;
    return &state.scene->lights[static_cast<size_t>(state.current_light)];
}

int read_light_float(LoaderState& state, ByteReader& r, const char* what, float Light::*field) {
    float value = 0;
    if (!read_float(r, value)) return fail_short(state, what, 4, r);
    if (Light* light = current_light(state)) light->*field = value;
    return 0;
}

} // namespace

int handle_light(LoaderState& state, ByteReader& r) {
    float file_xyz[3] = {};
    if (!read_floats(r, file_xyz, 3)) return fail_short(state, "light position", 12, r);
    Light* light = nullptr;
    int32_t index = -1;
    if (create_or_count(state, kLights, light, index) != 0) return -1;
    if (!light) return 0;
    store_scene_axes(file_xyz, light->position[0], light->position[1], light->position[2]);
    light->spot = 0;
    state.current_light = index;
    return 0;
}

int handle_spotlight(LoaderState& state, ByteReader& r) {
    float values[5] = {};
    if (!read_floats(r, values, 5)) return fail_short(state, "spotlight", 20, r);
    Light* light = current_light(state);
    if (!light) return 0;
    light->spot = 1;
    store_scene_axes(values, light->spot_target[0], light->spot_target[1], light->spot_target[2]);
    light->hotspot = values[3];
    light->falloff = values[4];
    return 0;
}

int handle_light_off(LoaderState& state, ByteReader&) {
    if (Light* light = current_light(state)) light->off = 1;
    return 0;
}

int handle_raytrace_shadow(LoaderState& state, ByteReader&) {
    if (Light* light = current_light(state)) light->raytrace_shadow = 1;
    return 0;
}

int handle_inner_range(LoaderState& state, ByteReader& r) {
    return read_light_float(state, r, "light inner range", &Light::inner_range);
}
int handle_outer_range(LoaderState& state, ByteReader& r) {
    return read_light_float(state, r, "light outer range", &Light::outer_range);
}
int handle_multiplier(LoaderState& state, ByteReader& r) {
    return read_light_float(state, r, "light multiplier", &Light::multiplier);
}

int handle_float_colour(LoaderState& state, ByteReader& r) {
    float rgb[3] = {};
    if (!read_floats(r, rgb, 3)) return fail_short(state, "float colour", 12, r);
    if (state.pass != LoadPass::filling) return 0;
    store_material_colour(state, rgb);
    // The colour goes to whichever light bears the last name read, wherever the chunk stands.
    int32_t index = find_light(state, state.current_name);
    if (index < 0) return 0;
    Light& light = state.scene->lights[static_cast<size_t>(index)];
    for (size_t i = 0; i < 3; ++i) {
        light.colour[i] = rgb[i];
        light.colour_int[i] = colour_to_int(rgb[i]);
    }
    return 0;
}

int handle_camera(LoaderState& state, ByteReader& r) {
    float values[8] = {};
    if (!read_floats(r, values, 8)) return fail_short(state, "camera", 32, r);
    Camera* camera = nullptr;
    int32_t index = -1;
    if (create_or_count(state, kCameras, camera, index) != 0) return -1;
    if (!camera) return 0;
    // A camera chunk keeps the file's axis order.
    camera->position = {values[0], values[1], values[2]};
    camera->target = {values[3], values[4], values[5]};
    camera->bank = values[6];
    camera->lens = values[7];
    return 0;
}
