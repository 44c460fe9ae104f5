// What the chunk handlers share: error text, names and their index, small conversions.
#include "loader/loader_internal.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

int32_t find_by_name(const NameIndex& names, const std::string& name) {
    auto it = names.find(name);
    return it == names.end() ? -1 : it->second;
}

} // namespace

int loader_fail(LoaderState& state, const std::string& what) {
    char prefix[96];
    const ChunkPlace& chunk = state.chunk;
    if (chunk.name)
        std::snprintf(prefix, sizeof prefix,
                      "chunk 0x%04X (%s) at offset %zu: ", static_cast<unsigned>(chunk.id),
                      chunk.name, chunk.offset);
    else
        std::snprintf(prefix, sizeof prefix,
                      "chunk 0x%04X at offset %zu: ", static_cast<unsigned>(chunk.id),
                      chunk.offset);
    state.error = prefix + what;
    return -1;
}

int fail_short(LoaderState& state, const char* what, size_t needed, const ByteReader& r) {
    return loader_fail(state, std::string(what) + " is cut short: it needs " +
                                  std::to_string(needed) + " more bytes but the chunk holds " +
                                  std::to_string(remaining(r)));
}

int fail_in_header(LoaderState& state, size_t offset, size_t left) {
    state.error = "the file ends inside the chunk header at offset " + std::to_string(offset) +
                  " (" + std::to_string(left) + " of 6 bytes left)";
    return -1;
}

NameRead read_name(ByteReader& r, std::string& out) {
    out.clear();
    uint8_t byte = 0;
    while (read_u8(r, byte)) {
        if (byte == 0) return NameRead::complete;
        if (out.size() < kMaxNameLength) out.push_back(static_cast<char>(byte));
    }
    return out.size() < kMaxNameLength ? NameRead::ran_into_end : NameRead::complete;
}

// Only records created so far in this pass are in an index; a later record of the same name
// leaves the first one in place, so a lookup finds the lowest index bearing the name.
void index_name(NameIndex& names, const std::string& name, int32_t index) {
    names.try_emplace(name, index);
}

int32_t find_light(const LoaderState& state, const std::string& name) {
    return find_by_name(state.light_names, name);
}
int32_t find_material(const LoaderState& state, const std::string& name) {
    return find_by_name(state.material_names, name);
}
int32_t find_mesh(const LoaderState& state, const std::string& name) {
    return find_by_name(state.mesh_names, name);
}
int32_t find_camera(const LoaderState& state, const std::string& name) {
    return find_by_name(state.camera_names, name);
}

int32_t colour_to_int(float value) {
    double product = static_cast<double>(value) * 255.0;
    if (std::isnan(product)) return 0;
    if (product >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (product <= -2147483649.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(product);
}

void store_scene_axes(const float file_xyz[3], float& x, float& y, float& z) {
    x = file_xyz[0];
    y = file_xyz[2];
    z = file_xyz[1];
}
