// chunk_handlers.h - the functions the chunk table attaches to chunk ids, and the state they share.
//
// Every handler runs in both passes of load_scene. It gets a reader positioned right after the
// chunk's 6-byte header and bounded by the chunk's end, reads the chunk's payload and returns 0,
// or -1 after writing a one-line reason into LoaderState::error. In the counting pass the
// record-creating handlers only count; in the filling pass they take the next record of the
// arrays that load_scene sized from those counts, and the other handlers store what they read
// into the current records.
//
// Positions read from the file are stored in scene axes (file X, Y, Z becomes X, Z, Y) and face
// corners a, b, c as a, c, b; see scene.h for what keeps the file's order.
//
// Handlers talk to each other only through the one process-wide LoaderState (not reentrant):
// names flow from a chunk to the chunks after it, and the key-frame node being read decides where
// its tracks go. reset_loader_state() returns it to its start-of-program value.
#pragma once

#include "loader/byte_reader.h"
#include "scene/scene.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

enum class LoadPass { counting, filling };

// The kind of key-frame node being read; decides where a track's keys go.
enum class NodeKind { object_header_pending, object, camera, target };

// Names are kept to this many bytes; the rest of a longer name is skipped up to its NUL.
constexpr size_t kMaxNameLength = 63;

struct LoaderState {
    LoadPass pass = LoadPass::counting;
    Scene* scene = nullptr;     // borrowed for the duration of one load
    std::string current_name;   // last object or material name read
    std::string node_name;      // name from the last key-frame node header
    int32_t current_mesh = -1;  // index of the mesh most recently created in the filling pass
    int32_t current_light = -1; // index of the light most recently created in the filling pass
    bool current_mesh_has_vertex_list = false;
    int32_t next_mesh = 0, next_camera = 0, next_light = 0, next_material = 0;
    // Name -> first record of that kind created with it in the filling pass. A file of many
    // records and many lookups would cost their product with a scan; cleared with the indexes.
    std::unordered_map<std::string, int32_t> mesh_names, camera_names, light_names, material_names;
    int32_t current_node_id = 0;
    NodeKind node_kind = NodeKind::object_header_pending;
    int32_t node_index = -1; // record named by the last node header, or -1
    int32_t key_index = 0;

    // Where the chunk being handled starts and which id it has, for error messages.
    uint16_t chunk_id = 0;
    size_t chunk_offset = 0;
    std::string error;
};

LoaderState& loader_state();
void reset_loader_state();

// Sets LoaderState::error to "chunk 0xID (name) at offset N: <what>" and returns -1.
int loader_fail(const std::string& what);

enum class NameRead { complete, ran_into_end };

// Reads a NUL-terminated name: keeps at most kMaxNameLength bytes, consumes the NUL and skips the
// bytes of a longer name up to it. ran_into_end means the reader's end came first with fewer
// than kMaxNameLength bytes kept; out then holds what was read.
NameRead read_name(ByteReader& r, std::string& out);

// Record lookups by exact name among the records created so far in this pass; -1 if none.
int32_t find_light(const std::string& name);
int32_t find_material(const std::string& name);
int32_t find_mesh(const std::string& name);
int32_t find_camera(const std::string& name);

// A float colour times 255, truncated toward zero; saturates outside int32, NaN gives 0.
int32_t colour_to_int(float value);

using ChunkHandler = int (*)(ByteReader& r, size_t chunk_end);

int handle_named_object(ByteReader& r, size_t chunk_end);     // 0x4000
int handle_triangle_mesh(ByteReader& r, size_t chunk_end);    // 0x4100
int handle_vertex_list(ByteReader& r, size_t chunk_end);      // 0x4110
int handle_face_list(ByteReader& r, size_t chunk_end);        // 0x4120
int handle_face_material(ByteReader& r, size_t chunk_end);    // 0x4130
int handle_mapping_coords(ByteReader& r, size_t chunk_end);   // 0x4140
int handle_local_axes(ByteReader& r, size_t chunk_end);       // 0x4160
int handle_light(ByteReader& r, size_t chunk_end);            // 0x4600
int handle_spotlight(ByteReader& r, size_t chunk_end);        // 0x4610
int handle_light_off(ByteReader& r, size_t chunk_end);        // 0x4620
int handle_raytrace_shadow(ByteReader& r, size_t chunk_end);  // 0x4627
int handle_inner_range(ByteReader& r, size_t chunk_end);      // 0x4659
int handle_outer_range(ByteReader& r, size_t chunk_end);      // 0x465A
int handle_multiplier(ByteReader& r, size_t chunk_end);       // 0x465B
int handle_float_colour(ByteReader& r, size_t chunk_end);     // 0x0010, 0x0013
int handle_camera(ByteReader& r, size_t chunk_end);           // 0x4700
int handle_material_name(ByteReader& r, size_t chunk_end);    // 0xA000
int handle_map_file_name(ByteReader& r, size_t chunk_end);    // 0xA300
int handle_keyframe_segment(ByteReader& r, size_t chunk_end); // 0xB008
int handle_node_id(ByteReader& r, size_t chunk_end);          // 0xB030
int handle_object_node(ByteReader& r, size_t chunk_end);      // 0xB002
int handle_camera_node(ByteReader& r, size_t chunk_end);      // 0xB003
int handle_target_node(ByteReader& r, size_t chunk_end);      // 0xB004
int handle_node_header(ByteReader& r, size_t chunk_end);      // 0xB010
int handle_position_track(ByteReader& r, size_t chunk_end);   // 0xB020
int handle_rotation_track(ByteReader& r, size_t chunk_end);   // 0xB021
