#include "loader/chunk_handlers.h"

#include "loader/chunk_reader.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_map>

namespace {

LoaderState g_state;

Scene& scene() {
    return *g_state.scene;
}

bool filling() {
    return g_state.pass == LoadPass::filling;
}

MeshObject* current_mesh() {
    if (!filling() || g_state.current_mesh < 0) return nullptr;
    return &scene().meshes[static_cast<size_t>(g_state.current_mesh)];
}

Light* current_light() {
    if (!filling() || g_state.current_light < 0) return nullptr;
    return &scene().lights[static_cast<size_t>(g_state.current_light)];
}

int fail_short(const char* what, size_t needed, const ByteReader& r) {
    return loader_fail(std::string(what) + " is cut short: it needs " + std::to_string(needed) +
                       " more bytes but the chunk holds " + std::to_string(remaining(r)));
}

// Takes the next record of a kind in the filling pass. The counting pass walked the same bytes,
// so running out means the two passes disagree; refusing keeps every write inside the array.
template <typename Record>
Record* take_next(std::vector<Record>& records, int32_t& next, const char* kind) {
    if (next < 0 || static_cast<size_t>(next) >= records.size()) {
        loader_fail(std::string("more ") + kind + " than the counting pass found (" +
                    std::to_string(records.size()) + ")");
        return nullptr;
    }
    return &records[static_cast<size_t>(next++)];
}

// Only records created so far in this pass are in the index; a later record of the same name
// leaves the first one in place, so a lookup finds the lowest index bearing the name.
int32_t find_by_name(const std::unordered_map<std::string, int32_t>& names,
                     const std::string& name) {
    auto it = names.find(name);
    return it == names.end() ? -1 : it->second;
}

void index_name(std::unordered_map<std::string, int32_t>& names, const std::string& name,
                int32_t index) {
    names.try_emplace(name, index);
}

// A name from the file in double quotes, fit for a one-line message: control bytes, quotes and
// backslashes become \xNN, since a name is any bytes up to its NUL, line ends included.
std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char ch : name) {
        auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || ch == '"' || ch == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// Scene axes exchange the file's second and third components.
void store_scene_axes(const float file_xyz[3], float& x, float& y, float& z) {
    x = file_xyz[0];
    y = file_xyz[2];
    z = file_xyz[1];
}

bool read_track_header(ByteReader& r, uint16_t& key_count) {
    // flags (2), unused (8), key count u32 of which only the low half counts.
    if (remaining(r) < 14) return false;
    skip_bytes(r, 10);
    read_u16(r, key_count);
    skip_bytes(r, 2);
    return true;
}

// One float follows the header for each of the flag bits 0..4 (tension, continuity, bias,
// ease to, ease from); the values shape interpolation, which nothing here does.
bool read_key_header(ByteReader& r, float& frame) {
    uint32_t frame_number = 0;
    uint16_t flags = 0;
    if (remaining(r) < 6) return false;
    read_u32(r, frame_number);
    read_u16(r, flags);
    size_t extra = 0;
    for (int bit = 0; bit < 5; ++bit)
        if (flags & (1u << bit)) extra += 4;
    if (!skip_bytes(r, extra)) return false;
    frame = static_cast<float>(frame_number & 0xFFFFu);
    return true;
}

constexpr size_t kTrackHeaderSize = 14;
constexpr size_t kMinKeyHeaderSize = 6;

struct PositionDestination {
    PositionTrack* track = nullptr;
    int32_t* key_count = nullptr;
};

bool node_index_fits(size_t array_size) {
    return g_state.node_index >= 0 && static_cast<size_t>(g_state.node_index) < array_size;
}

PositionDestination position_destination() {
    if (!filling()) return {};
    size_t index = static_cast<size_t>(g_state.node_index);
    switch (g_state.node_kind) {
    case NodeKind::object:
        if (!node_index_fits(scene().meshes.size())) return {};
        return {&scene().meshes[index].position_track, &scene().meshes[index].position_key_count};
    case NodeKind::camera:
        if (!node_index_fits(scene().cameras.size())) return {};
        return {&scene().cameras[index].position_track, &scene().cameras[index].position_key_count};
    case NodeKind::target:
        if (!node_index_fits(scene().cameras.size())) return {};
        return {&scene().cameras[index].target_track, &scene().cameras[index].target_key_count};
    case NodeKind::object_header_pending:
        return {};
    }
    return {};
}

MeshObject* rotation_destination() {
    if (!filling() || g_state.node_kind != NodeKind::object) return nullptr;
    if (!node_index_fits(scene().meshes.size())) return nullptr;
    return &scene().meshes[static_cast<size_t>(g_state.node_index)];
}

std::string key_failure(const char* track, size_t key, size_t count) {
    return std::string(track) + " key " + std::to_string(key) + " of " + std::to_string(count) +
           " is cut short by the end of the chunk";
}

} // namespace

LoaderState& loader_state() {
    return g_state;
}

void reset_loader_state() {
    g_state = LoaderState{};
}

int loader_fail(const std::string& what) {
    char prefix[96];
    const char* name = chunk_name(g_state.chunk_id);
    if (name)
        std::snprintf(prefix, sizeof prefix,
                      "chunk 0x%04X (%s) at offset %zu: ", static_cast<unsigned>(g_state.chunk_id),
                      name, g_state.chunk_offset);
    else
        std::snprintf(prefix, sizeof prefix,
                      "chunk 0x%04X at offset %zu: ", static_cast<unsigned>(g_state.chunk_id),
                      g_state.chunk_offset);
    g_state.error = prefix + what;
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

int32_t find_light(const std::string& name) {
    return find_by_name(g_state.light_names, name);
}
int32_t find_material(const std::string& name) {
    return find_by_name(g_state.material_names, name);
}
int32_t find_mesh(const std::string& name) {
    return find_by_name(g_state.mesh_names, name);
}
int32_t find_camera(const std::string& name) {
    return find_by_name(g_state.camera_names, name);
}

int32_t colour_to_int(float value) {
    double product = static_cast<double>(value) * 255.0;
    if (std::isnan(product)) return 0;
    if (product >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (product <= -2147483649.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(product);
}

int handle_named_object(ByteReader& r, size_t) {
    // An object name cut short stays as read: the name is only a label.
    read_name(r, g_state.current_name);
    return 0;
}

int handle_triangle_mesh(ByteReader&, size_t) {
    if (!filling()) {
        ++scene().mesh_count;
        return 0;
    }
    int32_t index = g_state.next_mesh;
    MeshObject* mesh = take_next(scene().meshes, g_state.next_mesh, "meshes");
    if (!mesh) return -1;
    mesh->name = g_state.current_name;
    index_name(g_state.mesh_names, mesh->name, index);
    g_state.current_mesh = index;
    g_state.current_mesh_has_vertex_list = false;
    return 0;
}

int handle_vertex_list(ByteReader& r, size_t) {
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short("vertex list", 2, r);
    if (static_cast<size_t>(n) * 12 > remaining(r))
        return fail_short(("vertex list of " + std::to_string(n) + " vertices").c_str(),
                          static_cast<size_t>(n) * 12, r);
    MeshObject* mesh = current_mesh();
    if (!mesh) return skip_bytes(r, static_cast<size_t>(n) * 12), 0;
    if (mesh->face_count > 0)
        return loader_fail("a second vertex list for mesh " + quoted(mesh->name) +
                           ", which already has faces");
    // Built in one pass over fresh memory: the largest meshes are dominated by first touches.
    std::vector<Vertex> vertices;
    vertices.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        float file_xyz[3] = {};
        read_floats(r, file_xyz, 3);
        Vertex& v = vertices.emplace_back();
        store_scene_axes(file_xyz, v.x, v.y, v.z);
    }
    mesh->vertices = std::move(vertices);
    mesh->vertex_count = n;
    g_state.current_mesh_has_vertex_list = true;
    return 0;
}

int handle_face_list(ByteReader& r, size_t) {
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short("face list", 2, r);
    if (static_cast<size_t>(n) * 8 > remaining(r))
        return fail_short(("face list of " + std::to_string(n) + " faces").c_str(),
                          static_cast<size_t>(n) * 8, r);
    MeshObject* mesh = current_mesh();
    if (!mesh) return skip_bytes(r, static_cast<size_t>(n) * 8), 0;
    if (n > 0 && !g_state.current_mesh_has_vertex_list)
        return loader_fail("face list of mesh " + quoted(mesh->name) +
                           " comes before its vertex list");
    std::vector<Face> faces;
    faces.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint16_t corner[4] = {};
        for (uint16_t& value : corner)
            read_u16(r, value);
        for (int k = 0; k < 3; ++k)
            if (corner[k] >= mesh->vertex_count)
                return loader_fail("face " + std::to_string(i) + " names vertex " +
                                   std::to_string(corner[k]) + " but mesh " + quoted(mesh->name) +
                                   " has " + std::to_string(mesh->vertex_count));
        // File corners a, b, c become a, c, b: the axis exchange mirrors, this restores winding.
        faces.emplace_back().v = {corner[0], corner[2], corner[1]};
    }
    mesh->faces = std::move(faces);
    mesh->face_count = n;
    return 0;
}

int handle_face_material(ByteReader& r, size_t) {
    std::string material_name;
    if (read_name(r, material_name) == NameRead::ran_into_end)
        return loader_fail("material name of a face material group has no end before the "
                           "end of the chunk");
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short("face material group", 2, r);
    if (static_cast<size_t>(n) * 2 > remaining(r))
        return fail_short(("face material group of " + std::to_string(n) + " faces").c_str(),
                          static_cast<size_t>(n) * 2, r);
    MeshObject* mesh = current_mesh();
    int32_t material = mesh ? find_material(material_name) : -1;
    for (size_t i = 0; i < n; ++i) {
        uint16_t face = 0;
        read_u16(r, face);
        // Indexes beyond the mesh's faces name nothing; dropping them loses nothing drawable.
        if (mesh && face < mesh->face_count) mesh->faces[face].material = material;
    }
    return 0;
}

int handle_mapping_coords(ByteReader& r, size_t) {
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short("mapping coordinates", 2, r);
    if (static_cast<size_t>(n) * 8 > remaining(r))
        return fail_short(("mapping coordinates of " + std::to_string(n) + " vertices").c_str(),
                          static_cast<size_t>(n) * 8, r);
    MeshObject* mesh = current_mesh();
    for (size_t i = 0; i < n; ++i) {
        float uv[2] = {};
        read_floats(r, uv, 2);
        if (mesh && i < mesh->vertices.size()) {
            mesh->vertices[i].u = uv[0];
            mesh->vertices[i].v = uv[1];
        }
    }
    return 0;
}

int handle_local_axes(ByteReader& r, size_t) {
    float values[12] = {};
    if (!read_floats(r, values, 12)) return fail_short("local axes", 48, r);
    MeshObject* mesh = current_mesh();
    if (!mesh) return 0;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col)
            mesh->matrix.at(row, col) = values[3 * row + col];
        mesh->matrix.at(row, 3) = row == 3 ? 1.0f : 0.0f;
    }
    return 0;
}

int handle_light(ByteReader& r, size_t) {
    float file_xyz[3] = {};
    if (!read_floats(r, file_xyz, 3)) return fail_short("light position", 12, r);
    if (!filling()) {
        ++scene().light_count;
        return 0;
    }
    int32_t index = g_state.next_light;
    Light* light = take_next(scene().lights, g_state.next_light, "lights");
    if (!light) return -1;
    light->name = g_state.current_name;
    index_name(g_state.light_names, light->name, index);
    store_scene_axes(file_xyz, light->position[0], light->position[1], light->position[2]);
    light->spot = 0;
    g_state.current_light = index;
    return 0;
}

int handle_spotlight(ByteReader& r, size_t) {
    float values[5] = {};
    if (!read_floats(r, values, 5)) return fail_short("spotlight", 20, r);
    Light* light = current_light();
    if (!light) return 0;
    light->spot = 1;
    store_scene_axes(values, light->spot_target[0], light->spot_target[1], light->spot_target[2]);
    light->hotspot = values[3];
    light->falloff = values[4];
    return 0;
}

int handle_light_off(ByteReader&, size_t) {
    if (Light* light = current_light()) light->off = 1;
    return 0;
}

int handle_raytrace_shadow(ByteReader&, size_t) {
    if (Light* light = current_light()) light->raytrace_shadow = 1;
    return 0;
}

namespace {
int read_light_float(ByteReader& r, const char* what, float Light::*field) {
    float value = 0;
    if (!read_float(r, value)) return fail_short(what, 4, r);
    if (Light* light = current_light()) light->*field = value;
    return 0;
}
} // namespace

int handle_inner_range(ByteReader& r, size_t) {
    return read_light_float(r, "light inner range", &Light::inner_range);
}
int handle_outer_range(ByteReader& r, size_t) {
    return read_light_float(r, "light outer range", &Light::outer_range);
}
int handle_multiplier(ByteReader& r, size_t) {
    return read_light_float(r, "light multiplier", &Light::multiplier);
}

int handle_float_colour(ByteReader& r, size_t) {
    float rgb[3] = {};
    if (!read_floats(r, rgb, 3)) return fail_short("float colour", 12, r);
    if (!filling()) return 0;
    // The colour goes to whichever light bears the last name read, wherever the chunk stands.
    int32_t index = find_light(g_state.current_name);
    if (index < 0) return 0;
    Light& light = scene().lights[static_cast<size_t>(index)];
    for (size_t i = 0; i < 3; ++i) {
        light.colour[i] = rgb[i];
        light.colour_int[i] = colour_to_int(rgb[i]);
    }
    return 0;
}

int handle_camera(ByteReader& r, size_t) {
    float values[8] = {};
    if (!read_floats(r, values, 8)) return fail_short("camera", 32, r);
    if (!filling()) {
        ++scene().camera_count;
        return 0;
    }
    int32_t index = g_state.next_camera;
    Camera* camera = take_next(scene().cameras, g_state.next_camera, "cameras");
    if (!camera) return -1;
    camera->name = g_state.current_name;
    index_name(g_state.camera_names, camera->name, index);
    // A camera chunk keeps the file's axis order.
    camera->position = {values[0], values[1], values[2]};
    camera->target = {values[3], values[4], values[5]};
    camera->bank = values[6];
    camera->lens = values[7];
    return 0;
}

int handle_material_name(ByteReader& r, size_t) {
    if (read_name(r, g_state.current_name) == NameRead::ran_into_end)
        return loader_fail("material name has no end before the end of the chunk");
    if (!filling()) {
        ++scene().material_count;
        return 0;
    }
    int32_t index = g_state.next_material;
    Material* material = take_next(scene().materials, g_state.next_material, "materials");
    if (!material) return -1;
    material->name = g_state.current_name;
    index_name(g_state.material_names, material->name, index);
    return 0;
}

int handle_map_file_name(ByteReader& r, size_t) {
    std::string scratch;
    read_name(r, scratch);
    return 0;
}

int handle_keyframe_segment(ByteReader& r, size_t) {
    uint32_t start = 0, end = 0;
    if (remaining(r) < 8) return fail_short("key-frame segment", 8, r);
    read_u32(r, start);
    read_u32(r, end);
    scene().keyframe_start = static_cast<int32_t>(start);
    scene().keyframe_end = static_cast<int32_t>(end);
    return 0;
}

int handle_node_id(ByteReader& r, size_t) {
    uint16_t id = 0;
    if (!read_u16(r, id)) return fail_short("node id", 2, r);
    g_state.current_node_id = id;
    return 0;
}

int handle_object_node(ByteReader&, size_t) {
    g_state.node_kind = NodeKind::object_header_pending;
    return 0;
}

int handle_camera_node(ByteReader&, size_t) {
    g_state.node_kind = NodeKind::camera;
    return 0;
}

int handle_target_node(ByteReader&, size_t) {
    g_state.node_kind = NodeKind::target;
    return 0;
}

int handle_node_header(ByteReader& r, size_t) {
    if (read_name(r, g_state.node_name) == NameRead::ran_into_end)
        return loader_fail("node name has no end before the end of the chunk");
    uint16_t unused1 = 0, unused2 = 0, parent = 0;
    if (remaining(r) < 6) return fail_short("node header", 6, r);
    read_u16(r, unused1);
    read_u16(r, unused2);
    read_u16(r, parent);
    if (!filling()) return 0;
    if (g_state.node_kind == NodeKind::object_header_pending) {
        g_state.node_index = find_mesh(g_state.node_name);
        if (g_state.node_index >= 0) {
            MeshObject& mesh = scene().meshes[static_cast<size_t>(g_state.node_index)];
            mesh.node_id = g_state.current_node_id;
            mesh.parent = parent;
        }
        g_state.node_kind = NodeKind::object;
    } else {
        // Camera and target nodes carry the camera's name; so does every other node kind here.
        g_state.node_index = find_camera(g_state.node_name);
    }
    return 0;
}

int handle_position_track(ByteReader& r, size_t) {
    uint16_t n = 0;
    if (!read_track_header(r, n)) return fail_short("position track header", kTrackHeaderSize, r);
    size_t minimum = static_cast<size_t>(n) * (kMinKeyHeaderSize + 12);
    if (minimum > remaining(r))
        return fail_short(("position track of " + std::to_string(n) + " keys").c_str(), minimum, r);
    PositionDestination dest = position_destination();
    if (dest.track) {
        dest.track->frame.assign(n, 0.0f);
        dest.track->x.assign(n, 0.0f);
        dest.track->y.assign(n, 0.0f);
        dest.track->z.assign(n, 0.0f);
        *dest.key_count = n;
        g_state.key_index = 0;
    }
    for (size_t k = 0; k < n; ++k) {
        float frame = 0, file_xyz[3];
        if (!read_key_header(r, frame) || !read_floats(r, file_xyz, 3))
            return loader_fail(key_failure("position track", k, n));
        if (!dest.track) continue;
        size_t slot = static_cast<size_t>(g_state.key_index++);
        dest.track->frame[slot] = frame;
        store_scene_axes(file_xyz, dest.track->x[slot], dest.track->y[slot], dest.track->z[slot]);
    }
    return 0;
}

int handle_rotation_track(ByteReader& r, size_t) {
    uint16_t n = 0;
    if (!read_track_header(r, n)) return fail_short("rotation track header", kTrackHeaderSize, r);
    size_t minimum = static_cast<size_t>(n) * (kMinKeyHeaderSize + 16);
    if (minimum > remaining(r))
        return fail_short(("rotation track of " + std::to_string(n) + " keys").c_str(), minimum, r);
    MeshObject* mesh = rotation_destination();
    RotationTrack* track = mesh ? &mesh->rotation_track : nullptr;
    if (track) {
        track->frame.assign(n, 0.0f);
        track->angle.assign(n, 0.0f);
        track->axis_x.assign(n, 0.0f);
        track->axis_y.assign(n, 0.0f);
        track->axis_z.assign(n, 0.0f);
        mesh->rotation_key_count = n;
        g_state.key_index = 0;
    }
    for (size_t k = 0; k < n; ++k) {
        float frame = 0, values[4];
        if (!read_key_header(r, frame) || !read_floats(r, values, 4))
            return loader_fail(key_failure("rotation track", k, n));
        if (!track) continue;
        size_t slot = static_cast<size_t>(g_state.key_index++);
        track->frame[slot] = frame;
        track->angle[slot] = values[0];
        store_scene_axes(values + 1, track->axis_x[slot], track->axis_y[slot], track->axis_z[slot]);
    }
    return 0;
}
