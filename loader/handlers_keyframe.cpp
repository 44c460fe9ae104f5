// Chunk handlers for key-frame data: the segment, node kinds, node headers (which name the record
// the tracks after them belong to) and the position and rotation tracks.
#include "loader/loader_internal.h"

namespace {

constexpr size_t kTrackHeaderSize = 14;
constexpr size_t kMinKeyHeaderSize = 6;

bool read_track_header(ByteReader& r, uint16_t& key_count) {
    // flags (2), unused (8), key count u32 of which only the low half counts.
    if (remaining(r) < kTrackHeaderSize) return false;
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
    if (remaining(r) < kMinKeyHeaderSize) return false;
    read_u32(r, frame_number);
    read_u16(r, flags);
    size_t extra = 0;
    for (int bit = 0; bit < 5; ++bit)
        if (flags & (1u << bit)) extra += 4;
    if (!skip_bytes(r, extra)) return false;
    frame = static_cast<float>(frame_number & 0xFFFFu);
    return true;
}

struct PositionDestination {
    PositionTrack* track = nullptr;
    int32_t* key_count = nullptr;
};

bool node_index_fits(const LoaderState& state, size_t array_size) {
    return state.node_index >= 0 && static_cast<size_t>(state.node_index) < array_size;
}

// True for a chunk whose payload starts at pos inside the last node that has no record.
bool inside_unrecorded_node(const LoaderState& state, size_t pos) {
    return pos >= state.unrecorded_node_start && pos < state.unrecorded_node_end;
}

PositionDestination position_destination(LoaderState& state, size_t pos) {
    if (state.pass != LoadPass::filling || inside_unrecorded_node(state, pos)) return {};
    Scene& scene = *state.scene;
    size_t index = static_cast<size_t>(state.node_index);
    switch (state.node_kind) {
    case NodeKind::object:
        if (!node_index_fits(state, scene.meshes.size())) return {};
        return {&scene.meshes[index].position_track, &scene.meshes[index].position_key_count};
    case NodeKind::camera:
        if (!node_index_fits(state, scene.cameras.size())) return {};
        return {&scene.cameras[index].position_track, &scene.cameras[index].position_key_count};
    case NodeKind::target:
        if (!node_index_fits(state, scene.cameras.size())) return {};
        return {&scene.cameras[index].target_track, &scene.cameras[index].target_key_count};
    case NodeKind::object_header_pending:
        return {};
    }
    return {};
}

MeshObject* rotation_destination(LoaderState& state, size_t pos) {
    if (state.pass != LoadPass::filling || state.node_kind != NodeKind::object) return nullptr;
    if (inside_unrecorded_node(state, pos)) return nullptr;
    if (!node_index_fits(state, state.scene->meshes.size())) return nullptr;
    return &state.scene->meshes[static_cast<size_t>(state.node_index)];
}

std::string key_failure(const char* track, size_t key, size_t count) {
    return std::string(track) + " key " + std::to_string(key) + " of " + std::to_string(count) +
           " is cut short by the end of the chunk";
}

} // namespace

int handle_keyframe_segment(LoaderState& state, ByteReader& r) {
    uint32_t start = 0, end = 0;
    if (remaining(r) < 8) return fail_short(state, "key-frame segment", 8, r);
    read_u32(r, start);
    read_u32(r, end);
    state.scene->keyframe_start = static_cast<int32_t>(start);
    state.scene->keyframe_end = static_cast<int32_t>(end);
    return 0;
}

int handle_node_id(LoaderState& state, ByteReader& r) {
    uint16_t id = 0;
    if (!read_u16(r, id)) return fail_short(state, "node id", 2, r);
    state.current_node_id = id;
    return 0;
}

int handle_object_node(LoaderState& state, ByteReader&) {
    state.node_kind = NodeKind::object_header_pending;
    return 0;
}

int handle_camera_node(LoaderState& state, ByteReader&) {
    state.node_kind = NodeKind::camera;
    return 0;
}

int handle_target_node(LoaderState& state, ByteReader&) {
    state.node_kind = NodeKind::target;
    return 0;
}

// Ambient, light, light target and spotlight nodes leave NodeKind as it was; without this their
// headers would look their names up among the cameras (or the meshes) and write their tracks
// over those records' own.
int handle_unrecorded_node(LoaderState& state, ByteReader& r) {
    state.unrecorded_node_start = r.pos;
    state.unrecorded_node_end = r.end;
    return 0;
}

int handle_node_header(LoaderState& state, ByteReader& r) {
    const size_t pos = r.pos;
    if (read_name(r, state.node_name) == NameRead::ran_into_end)
        return loader_fail(state, "node name has no end before the end of the chunk");
    uint16_t unused1 = 0, unused2 = 0, parent = 0;
    if (remaining(r) < 6) return fail_short(state, "node header", 6, r);
    read_u16(r, unused1);
    read_u16(r, unused2);
    read_u16(r, parent);
    if (state.pass != LoadPass::filling || inside_unrecorded_node(state, pos)) return 0;
    if (state.node_kind == NodeKind::object_header_pending) {
        state.node_index = find_mesh(state, state.node_name);
        if (state.node_index >= 0) {
            MeshObject& mesh = state.scene->meshes[static_cast<size_t>(state.node_index)];
            mesh.node_id = state.current_node_id;
            mesh.parent = parent;
        }
        state.node_kind = NodeKind::object;
    } else {
        // Camera and target nodes carry the camera's name; so does every other node kind here.
        state.node_index = find_camera(state, state.node_name);
    }
    return 0;
}

int handle_position_track(LoaderState& state, ByteReader& r) {
    const size_t pos = r.pos;
    uint16_t n = 0;
    if (!read_track_header(r, n))
        return fail_short(state, "position track header", kTrackHeaderSize, r);
    size_t minimum = static_cast<size_t>(n) * (kMinKeyHeaderSize + 12);
    if (minimum > remaining(r))
        return fail_short(state, ("position track of " + std::to_string(n) + " keys").c_str(),
                          minimum, r);
    count_memory(state, n, 4 * sizeof(float)); // frame, x, y, z
    PositionDestination dest = position_destination(state, pos);
    if (dest.track) {
        dest.track->frame.assign(n, 0.0f);
        dest.track->x.assign(n, 0.0f);
        dest.track->y.assign(n, 0.0f);
        dest.track->z.assign(n, 0.0f);
        *dest.key_count = n;
        state.key_index = 0;
    }
    for (size_t k = 0; k < n; ++k) {
        float frame = 0, file_xyz[3];
        if (!read_key_header(r, frame) || !read_floats(r, file_xyz, 3))
            return loader_fail(state, key_failure("position track", k, n));
        if (!dest.track) continue;
        size_t slot = static_cast<size_t>(state.key_index++);
        dest.track->frame[slot] = frame;
        store_scene_axes(file_xyz, dest.track->x[slot], dest.track->y[slot], dest.track->z[slot]);
    }
    return 0;
}

int handle_rotation_track(LoaderState& state, ByteReader& r) {
    const size_t pos = r.pos;
    uint16_t n = 0;
    if (!read_track_header(r, n))
        return fail_short(state, "rotation track header", kTrackHeaderSize, r);
    size_t minimum = static_cast<size_t>(n) * (kMinKeyHeaderSize + 16);
    if (minimum > remaining(r))
        return fail_short(state, ("rotation track of " + std::to_string(n) + " keys").c_str(),
                          minimum, r);
    count_memory(state, n, 5 * sizeof(float)); // frame, angle, axis x, y, z
    MeshObject* mesh = rotation_destination(state, pos);
    RotationTrack* track = mesh ? &mesh->rotation_track : nullptr;
    if (track) {
        track->frame.assign(n, 0.0f);
        track->angle.assign(n, 0.0f);
        track->axis_x.assign(n, 0.0f);
        track->axis_y.assign(n, 0.0f);
        track->axis_z.assign(n, 0.0f);
        mesh->rotation_key_count = n;
        state.key_index = 0;
    }
    for (size_t k = 0; k < n; ++k) {
        float frame = 0, values[4];
        if (!read_key_header(r, frame) || !read_floats(r, values, 4))
            return loader_fail(state, key_failure("rotation track", k, n));
        if (!track) continue;
        size_t slot = static_cast<size_t>(state.key_index++);
        track->frame[slot] = frame;
        track->angle[slot] = values[0];
        store_scene_axes(values + 1, track->axis_x[slot], track->axis_y[slot], track->axis_z[slot]);
    }
    return 0;
}
