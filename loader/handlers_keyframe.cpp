// Chunk handlers for key-frame data: the segment, node kinds, node headers (which name the record
// the tracks after them belong to) and the position and rotation tracks.
#include "loader/loader_internal.h"

namespace {

constexpr size_t kTrackHeaderSize = 14;
constexpr size_t kMinKeyHeaderSize = 6;

bool read_track_header(ByteReader& r, uint16_t& flags, uint16_t& key_count) {
    // flags (2), unused (8), key count u32 of which only the low half counts.
    if (remaining(r) < kTrackHeaderSize) return false;
    read_u16(r, flags);
    skip_bytes(r, 8);
    read_u16(r, key_count);
    skip_bytes(r, 2);
    return true;
}

// One float follows the header for each of the flag bits 0..4: tension, continuity, bias, ease
// to, ease from, in that order; the other bits carry nothing.
bool read_key_header(ByteReader& r, TrackKey& key) {
    uint32_t frame_number = 0;
    uint16_t flags = 0;
    if (remaining(r) < kMinKeyHeaderSize) return false;
    read_u32(r, frame_number);
    read_u16(r, flags);
    float* const params[5] = {&key.tension, &key.continuity, &key.bias, &key.ease_to,
                              &key.ease_from};
    for (int bit = 0; bit < 5; ++bit)
        if ((flags & (1u << bit)) && !read_float(r, *params[bit])) return false;
    key.frame = static_cast<float>(frame_number & 0xFFFFu);
    return true;
}

// The node record a chunk whose payload starts at pos belongs to (filling pass), or null.
KeyframeNode* node_at(LoaderState& state, size_t pos) {
    if (state.pass != LoadPass::filling || state.current_node < 0) return nullptr;
    if (pos >= state.current_node_end) return nullptr;
    return &state.scene->nodes[static_cast<size_t>(state.current_node)];
}

// Where the values of a key go: the first of three position components, or none.
enum class Axes { none, xyz_at_0, xyz_at_1 };

struct TrackShape {
    const char* what;  // "position track", for messages
    size_t values;     // floats after each key header
    Axes axes;         // which floats are a point or axis in the file's axis order
    size_t mesh_bytes; // per key, in the arrays of the mesh or camera record that keeps it too
};

constexpr TrackShape kPositionShape{"position track", 3, Axes::xyz_at_0, 4 * sizeof(float)};
constexpr TrackShape kRotationShape{"rotation track", 4, Axes::xyz_at_1, 5 * sizeof(float)};
constexpr TrackShape kScaleShape{"scale track", 3, Axes::xyz_at_0, 0};
constexpr TrackShape kFovShape{"field-of-view track", 1, Axes::none, 0};
constexpr TrackShape kRollShape{"roll track", 1, Axes::none, 0};
constexpr TrackShape kHideShape{"hide track", 0, Axes::none, 0};

std::string key_failure(const char* track, size_t key, size_t count) {
    return std::string(track) + " key " + std::to_string(key) + " of " + std::to_string(count) +
           " is cut short by the end of the chunk";
}

// Reads a whole track. Every key is checked in both passes; the keys are kept in out when it is
// given (filling pass), with points and axes in scene axes. The memory bound counts them.
int read_track(LoaderState& state, ByteReader& r, const TrackShape& shape, KeyTrack* out) {
    uint16_t flags = 0, n = 0;
    if (!read_track_header(r, flags, n))
        return fail_short(state, (std::string(shape.what) + " header").c_str(), kTrackHeaderSize,
                          r);
    const size_t minimum = static_cast<size_t>(n) * (kMinKeyHeaderSize + 4 * shape.values);
    if (minimum > remaining(r))
        return fail_short(state,
                          (std::string(shape.what) + " of " + std::to_string(n) + " keys").c_str(),
                          minimum, r);
    count_memory(state, n, kTrackKeyBytes + shape.mesh_bytes);
    if (out) {
        out->flags = flags;
        out->loop = (flags & 3u) == 3u;
        out->repeat = (flags & 3u) == 2u;
        out->keys.assign(n, TrackKey{});
    }
    for (size_t k = 0; k < n; ++k) {
        TrackKey key;
        float values[4] = {};
        if (!read_key_header(r, key) || !read_floats(r, values, shape.values))
            return loader_fail(state, key_failure(shape.what, k, n));
        if (!out) continue;
        for (size_t i = 0; i < shape.values; ++i)
            key.value[i] = values[i];
        if (shape.axes != Axes::none) {
            const size_t first = shape.axes == Axes::xyz_at_0 ? 0 : 1;
            store_scene_axes(values + first, key.value[first], key.value[first + 1],
                             key.value[first + 2]);
        }
        out->keys[k] = key;
    }
    return 0;
}

// Reads a track that only the node record keeps.
int read_node_track(LoaderState& state, ByteReader& r, const TrackShape& shape,
                    KeyTrack KeyframeNode::*track) {
    KeyframeNode* node = node_at(state, r.pos);
    return read_track(state, r, shape, node ? &(node->*track) : nullptr);
}

// A new node record for an object, camera or target node (counted in the counting pass).
int begin_node(LoaderState& state, ByteReader& r, KeyframeNodeType type) {
    if (state.pass == LoadPass::counting) {
        ++state.scene->node_count;
        // The record and, at most, its two names on the heap.
        count_memory(state, 1, kNodeBytes + 2 * (kMaxNameLength + 1));
        return 0;
    }
    std::vector<KeyframeNode>& nodes = state.scene->nodes;
    if (state.next_node < 0 || static_cast<size_t>(state.next_node) >= nodes.size())
        return loader_fail(state, "more key-frame nodes than the counting pass found (" +
                                      std::to_string(nodes.size()) + ")");
    state.current_node = state.next_node++;
    state.current_node_end = r.end;
    nodes[static_cast<size_t>(state.current_node)].type = type;
    return 0;
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
    const size_t pos = r.pos;
    if (!read_u16(r, id)) return fail_short(state, "node id", 2, r);
    state.current_node_id = id;
    if (KeyframeNode* node = node_at(state, pos)) node->node_id = id;
    return 0;
}

int handle_object_node(LoaderState& state, ByteReader& r) {
    state.node_kind = NodeKind::object_header_pending;
    return begin_node(state, r, KeyframeNodeType::object);
}

int handle_camera_node(LoaderState& state, ByteReader& r) {
    state.node_kind = NodeKind::camera;
    return begin_node(state, r, KeyframeNodeType::camera);
}

int handle_target_node(LoaderState& state, ByteReader& r) {
    state.node_kind = NodeKind::target;
    return begin_node(state, r, KeyframeNodeType::target);
}

// Ambient, light, light target and spotlight nodes leave NodeKind as it was; without this their
// headers would look their names up among the cameras (or the meshes) and write their tracks
// over those records' own.
int handle_unrecorded_node(LoaderState& state, ByteReader& r) {
    state.unrecorded_node_start = r.pos;
    state.unrecorded_node_end = r.end;
    state.current_node = -1;
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
    KeyframeNode* node = node_at(state, pos);
    if (node) {
        node->name = state.node_name;
        node->parent = parent;
    }
    if (state.node_kind == NodeKind::object_header_pending) {
        state.node_index = find_mesh(state, state.node_name);
        if (state.node_index >= 0) {
            MeshObject& mesh = state.scene->meshes[static_cast<size_t>(state.node_index)];
            mesh.node_id = state.current_node_id;
            mesh.parent = parent;
        }
        state.node_kind = NodeKind::object;
        if (node && node->type == KeyframeNodeType::object) {
            node->record = state.node_index;
            if (state.node_index < 0) node->type = KeyframeNodeType::dummy;
        }
    } else {
        // Camera and target nodes carry the camera's name; so does every other node kind here.
        state.node_index = find_camera(state, state.node_name);
        if (node &&
            (node->type == KeyframeNodeType::camera || node->type == KeyframeNodeType::target))
            node->record = state.node_index;
    }
    return 0;
}

// Position keys go to the node record and, as before, to the arrays of the mesh or camera the
// node names.
int handle_position_track(LoaderState& state, ByteReader& r) {
    const size_t pos = r.pos;
    KeyframeNode* node = node_at(state, pos);
    PositionDestination dest = position_destination(state, pos);
    KeyTrack read;
    KeyTrack* out = node ? &node->position : dest.track ? &read : nullptr;
    if (read_track(state, r, kPositionShape, out) != 0) return -1;
    if (!dest.track) return 0;
    const size_t n = out->keys.size();
    dest.track->frame.assign(n, 0.0f);
    dest.track->x.assign(n, 0.0f);
    dest.track->y.assign(n, 0.0f);
    dest.track->z.assign(n, 0.0f);
    *dest.key_count = static_cast<int32_t>(n);
    for (size_t k = 0; k < n; ++k) {
        const TrackKey& key = out->keys[k];
        dest.track->frame[k] = key.frame;
        dest.track->x[k] = key.value[0];
        dest.track->y[k] = key.value[1];
        dest.track->z[k] = key.value[2];
    }
    return 0;
}

int handle_rotation_track(LoaderState& state, ByteReader& r) {
    const size_t pos = r.pos;
    KeyframeNode* node = node_at(state, pos);
    MeshObject* mesh = rotation_destination(state, pos);
    KeyTrack read;
    KeyTrack* out = node ? &node->rotation : mesh ? &read : nullptr;
    if (read_track(state, r, kRotationShape, out) != 0) return -1;
    if (!mesh) return 0;
    const size_t n = out->keys.size();
    RotationTrack& track = mesh->rotation_track;
    track.frame.assign(n, 0.0f);
    track.angle.assign(n, 0.0f);
    track.axis_x.assign(n, 0.0f);
    track.axis_y.assign(n, 0.0f);
    track.axis_z.assign(n, 0.0f);
    mesh->rotation_key_count = static_cast<int32_t>(n);
    for (size_t k = 0; k < n; ++k) {
        const TrackKey& key = out->keys[k];
        track.frame[k] = key.frame;
        track.angle[k] = key.value[0];
        track.axis_x[k] = key.value[1];
        track.axis_y[k] = key.value[2];
        track.axis_z[k] = key.value[3];
    }
    return 0;
}

int handle_scale_track(LoaderState& state, ByteReader& r) {
    return read_node_track(state, r, kScaleShape, &KeyframeNode::scale);
}
int handle_fov_track(LoaderState& state, ByteReader& r) {
    return read_node_track(state, r, kFovShape, &KeyframeNode::fov);
}
int handle_roll_track(LoaderState& state, ByteReader& r) {
    return read_node_track(state, r, kRollShape, &KeyframeNode::roll);
}
int handle_hide_track(LoaderState& state, ByteReader& r) {
    return read_node_track(state, r, kHideShape, &KeyframeNode::hide);
}

int handle_instance_name(LoaderState& state, ByteReader& r) {
    KeyframeNode* node = node_at(state, r.pos);
    std::string name;
    // A name cut short stays as read, like an object's: it is only a label.
    read_name(r, name);
    if (node) node->instance_name = std::move(name);
    return 0;
}

int handle_pivot(LoaderState& state, ByteReader& r) {
    KeyframeNode* node = node_at(state, r.pos);
    float file_xyz[3] = {};
    if (!read_floats(r, file_xyz, 3)) return fail_short(state, "pivot", 12, r);
    if (node) store_scene_axes(file_xyz, node->pivot[0], node->pivot[1], node->pivot[2]);
    return 0;
}

// The parent field names a node by its node id; in a file without node ids, by its place in the
// file. Only a node before the child counts: that is how the format writes them, and it keeps a
// hostile file from making a cycle.
void resolve_node_parents(Scene& scene) {
    std::unordered_map<int32_t, int32_t> by_id;
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        KeyframeNode& node = scene.nodes[i];
        node.parent_node = -1;
        if (node.parent != kNoParentNode) {
            if (node.node_id >= 0) {
                auto it = by_id.find(node.parent);
                if (it != by_id.end()) node.parent_node = it->second;
            } else if (node.parent >= 0 && static_cast<size_t>(node.parent) < i) {
                node.parent_node = node.parent;
            }
        }
        if (node.node_id >= 0) by_id[node.node_id] = static_cast<int32_t>(i);
    }
}
