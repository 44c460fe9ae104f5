// Chunk handlers for materials: the material record (named by its name chunk), its colours,
// percentages, two-sided flag and first texture map.
//
// A colour or percentage chunk carries no meaning of its own: the property chunk around it
// (ambient colour, shininess, texture map, ...) says what it is. The property's handler records
// which one is open and where it ends; the value handlers look that up. None of the values read
// here is needed to draw the demo, so a short or malformed value leaves the material's default
// instead of failing the load.
#include "loader/loader_internal.h"

#include <algorithm>
#include <cmath>

namespace {

Material* current_material(LoaderState& state) {
    if (state.pass != LoadPass::filling || state.current_material < 0) return nullptr;
    return &state.scene->materials[static_cast<size_t>(state.current_material)];
}

// The property chunk the chunk being handled stands in, or 0.
uint16_t open_part(const LoaderState& state) {
    return state.chunk.offset < state.material_part_end ? state.material_part : 0;
}

// Gamma-corrected colours outrank linear ones (scene.h says why); a later colour of the same
// rank replaces an earlier one.
int material_colour_rank(uint16_t chunk_id) {
    return chunk_id == 0x0010 || chunk_id == 0x0011 ? 2 : 1;
}

float unit_clamp(float value) {
    return std::clamp(value, 0.0f, 1.0f);
}

} // namespace

int handle_material_entry(LoaderState& state, ByteReader&) {
    state.current_material = -1;
    state.material_part = 0;
    state.material_has_map = false;
    return 0;
}

int handle_material_name(LoaderState& state, ByteReader& r) {
    if (read_name(r, state.current_name) == NameRead::ran_into_end)
        return loader_fail(state, "material name has no end before the end of the chunk");
    Material* material = nullptr;
    int32_t index = -1;
    if (create_or_count(state, kMaterials, material, index) != 0) return -1;
    state.current_material = index;
    state.material_has_map = false;
    return 0;
}

int handle_material_part(LoaderState& state, ByteReader& r) {
    state.material_part = state.chunk.id;
    state.material_part_end = r.end;
    state.colour_rank = 0;
    return 0;
}

int handle_texture_map(LoaderState& state, ByteReader& r) {
    // Only the first texture map is kept; what a later one holds is read past.
    state.material_part = state.material_has_map ? 0 : state.chunk.id;
    state.material_part_end = r.end;
    state.material_has_map = true;
    return 0;
}

int handle_two_sided(LoaderState& state, ByteReader&) {
    if (Material* material = current_material(state)) material->two_sided = true;
    return 0;
}

void store_material_colour(LoaderState& state, const float rgb[3]) {
    Material* material = current_material(state);
    if (!material) return;
    std::array<float, 3>* colour = nullptr;
    bool* set = nullptr;
    switch (open_part(state)) {
    case 0xA010:
        colour = &material->ambient, set = &material->ambient_set;
        break;
    case 0xA020:
        colour = &material->diffuse, set = &material->diffuse_set;
        break;
    case 0xA030:
        colour = &material->specular, set = &material->specular_set;
        break;
    default:
        return;
    }
    if (!std::isfinite(rgb[0]) || !std::isfinite(rgb[1]) || !std::isfinite(rgb[2])) return;
    const int rank = material_colour_rank(state.chunk.id);
    if (rank < state.colour_rank) return;
    state.colour_rank = rank;
    *colour = {unit_clamp(rgb[0]), unit_clamp(rgb[1]), unit_clamp(rgb[2])};
    *set = true;
}

int handle_byte_colour(LoaderState& state, ByteReader& r) {
    uint8_t bytes[3] = {};
    for (uint8_t& byte : bytes)
        if (!read_u8(r, byte)) return 0;
    const float rgb[3] = {bytes[0] / 255.0f, bytes[1] / 255.0f, bytes[2] / 255.0f};
    store_material_colour(state, rgb);
    return 0;
}

int handle_percentage(LoaderState& state, ByteReader& r) {
    float percent = 0;
    if (state.chunk.id == 0x0030) {
        uint16_t bits = 0;
        if (!read_u16(r, bits)) return 0;
        percent = static_cast<float>(static_cast<int16_t>(bits));
    } else if (!read_float(r, percent) || std::isnan(percent)) {
        return 0;
    }
    Material* material = current_material(state);
    if (!material) return 0;
    const float fraction = unit_clamp(percent / 100.0f);
    switch (open_part(state)) {
    case 0xA040:
        material->shininess = fraction;
        break;
    case 0xA041:
        material->shininess_strength = fraction;
        break;
    case 0xA050:
        material->transparency = fraction;
        break;
    case 0xA084:
        material->self_illum = fraction;
        break;
    case 0xA200:
        material->texture_strength = fraction;
        break;
    default:
        break;
    }
    return 0;
}

int handle_map_file_name(LoaderState& state, ByteReader& r) {
    std::string name;
    if (read_name(r, name) == NameRead::ran_into_end || open_part(state) != 0xA200) return 0;
    count_string_memory(state, name);
    if (Material* material = current_material(state)) material->texture = name;
    return 0;
}

int handle_map_scale_offset(LoaderState& state, ByteReader& r) {
    float value = 0;
    if (!read_float(r, value) || !std::isfinite(value) || open_part(state) != 0xA200) return 0;
    Material* material = current_material(state);
    if (!material) return 0;
    switch (state.chunk.id) {
    case 0xA354:
        material->texture_scale[0] = value;
        break;
    case 0xA356:
        material->texture_scale[1] = value;
        break;
    case 0xA358:
        material->texture_offset[0] = value;
        break;
    default:
        material->texture_offset[1] = value;
        break;
    }
    return 0;
}
