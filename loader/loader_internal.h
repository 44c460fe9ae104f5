// loader_internal.h - the loader's parts as they see each other; nothing outside loader/ (and
// the loader's own tests) includes this.
//
// The parts: the chunk table (chunk_table.cpp) names every known id and attaches a handler; the
// walker (chunk_walker.cpp) reads chunk headers, records where it stands and calls the handlers;
// the handlers, one file per kind of record (handlers_*.cpp), read a chunk's payload into the
// scene; loader_state.cpp holds what they share: the error text, names and the step that
// creates or counts a record. load_scene (chunk_reader.cpp) runs the walk twice, a counting pass
// and a filling pass, over one LoaderState that it creates and hands down; nothing else reaches
// the state.
//
// Every handler runs in both passes. It gets the state and a reader positioned right after the
// chunk's 6-byte header and bounded by the chunk's end, reads the payload and returns 0, or -1
// after loader_fail has written a one-line reason into the state. In the counting pass the
// record-creating handlers only count; in the filling pass they take the next record of the
// arrays load_scene sized from those counts, and the other handlers store what they read into
// the current records.
//
// Positions read from the file are stored in scene axes (file X, Y, Z becomes X, Z, Y) and face
// corners a, b, c as a, c, b; see scene.h for what keeps the file's order.
#pragma once

#include "loader/byte_reader.h"
#include "scene/scene.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

enum class LoadPass { counting, filling };

// The kind of key-frame node being read; decides where a track's keys go.
enum class NodeKind { object_header_pending, object, camera, target };

// Names are kept to this many bytes; the rest of a longer name is skipped up to its NUL.
constexpr size_t kMaxNameLength = 63;

// Name -> first record of that kind created with it in the filling pass. A file of many records
// and many lookups would cost their product with a scan.
using NameIndex = std::unordered_map<std::string, int32_t>;

// The chunk being handled, as the walker found it: the subject of every error message.
struct ChunkPlace {
    uint16_t id = 0;
    size_t offset = 0;          // of the chunk header in the file
    const char* name = nullptr; // from the chunk table; null for an unknown id
};

// What the handlers share within one load. Names flow from a chunk to the chunks after it, and
// the key-frame node being read decides where its tracks go.
struct LoaderState {
    LoadPass pass = LoadPass::counting;
    Scene* scene = nullptr;     // borrowed for the duration of one load
    std::string current_name;   // last object or material name read
    std::string node_name;      // name from the last key-frame node header
    int32_t current_mesh = -1;  // index of the mesh most recently created in the filling pass
    int32_t current_light = -1; // index of the light most recently created in the filling pass
    bool current_mesh_has_vertex_list = false;
    int32_t next_mesh = 0, next_camera = 0, next_light = 0, next_material = 0;
    NameIndex mesh_names, camera_names, light_names, material_names; // cleared between passes
    int32_t current_node_id = 0;
    NodeKind node_kind = NodeKind::object_header_pending;
    int32_t node_index = -1; // record named by the last node header, or -1
    int32_t key_index = 0;
    // The key-frame node record of the object, camera or target node being read (filling pass)
    // and the end of that node's payload: chunks past it belong to no node.
    int32_t current_node = -1;
    size_t current_node_end = 0;
    int32_t next_node = 0;
    // File offsets [start, end) of the payload of the last ambient, light, light target or
    // spotlight node: those nodes have no record in the scene, so a header inside one looks
    // nothing up and a track inside one stores nothing. Empty at the start of each pass.
    size_t unrecorded_node_start = 0, unrecorded_node_end = 0;
    // The material being read: its record in the filling pass (-1 before its name), and the
    // property chunk (colour, percentage or texture map) whose payload ends at material_part_end,
    // which decides what a colour or percentage chunk inside it means (0: none). colour_rank is
    // the kind of colour the part holds so far (material_colour_rank). Reset at every material
    // entry and at the start of each pass.
    int32_t current_material = -1;
    uint16_t material_part = 0;
    size_t material_part_end = 0;
    int colour_rank = 0;
    bool material_has_map = false; // a texture map was seen: later ones are not kept
    // Counting pass: bytes the filling pass will allocate (memory_need.cpp), and the records
    // counted while no name was read, whose name the end of the pass decides.
    uint64_t needed_bytes = 0;
    uint64_t records_named_late = 0;

    ChunkPlace chunk; // set by the walker before each handler
    std::string error;
};

// --- the walker and the table -------------------------------------------------------------------

using ChunkHandler = int (*)(LoaderState& state, ByteReader& r);

struct ChunkEntry {
    uint32_t id;          // a 16-bit chunk id
    int32_t has_children; // 1: after the handler the walk descends into the sub-chunks
    ChunkHandler handler; // or nullptr
    const char* name;     // for people: the info tool and error messages
};

// Row index (0..87) in the chunk table of the first row with this id, or -1.
int find_chunk(uint16_t id);

// The row find_chunk returned (0 <= row < 88).
const ChunkEntry& chunk_entry(int row);

// Walks the chunks from file.pos up to end (an absolute offset), calling each known chunk's
// handler and descending into containers; depth counts the containers above. file spans the whole
// file. Returns 0, or -1 with the reason in state.error.
int read_chunks(LoaderState& state, ByteReader& file, size_t end, int depth);

// --- error text: formed here and nowhere else ---------------------------------------------------

// Sets state.error to "chunk 0xID (name) at offset N: <what>" for state.chunk; returns -1.
int loader_fail(LoaderState& state, const std::string& what);

// loader_fail for a payload too short: "<what> is cut short: it needs N more bytes but the chunk
// holds M".
int fail_short(LoaderState& state, const char* what, size_t needed, const ByteReader& r);

// Sets state.error for a file that ends inside a chunk header at offset, with left bytes; -1.
int fail_in_header(LoaderState& state, size_t offset, size_t left);

// --- memory the scene will need (memory_need.cpp) ----------------------------------------------

// What the bound counts for each record and array element. The figures are fixed, not the sizes
// the records happen to have in this build: the 64-bit tools and the 32-bit web page must reach the
// same verdict, with the same figures, on the same file. Each is at least the record's size in
// every build (checked below), so no build needs more than was counted.
inline constexpr uint64_t kSceneBytes = 152;
inline constexpr uint64_t kMeshBytes = 392;
inline constexpr uint64_t kCameraBytes = 328;
inline constexpr uint64_t kLightBytes = 112;
inline constexpr uint64_t kMaterialBytes = 152;
inline constexpr uint64_t kNodeBytes = 288;
inline constexpr uint64_t kVertexBytes = 32;
inline constexpr uint64_t kFaceBytes = 36;
inline constexpr uint64_t kTrackKeyBytes = 40;
// A name of at most this many bytes lives inside its string record in every standard library the
// builds use (the 32-bit page's has the smallest inline buffer); a longer one costs its bytes and
// the NUL on the heap.
inline constexpr size_t kInlineNameBytes = 10;
static_assert(sizeof(Scene) <= kSceneBytes && sizeof(MeshObject) <= kMeshBytes &&
              sizeof(Camera) <= kCameraBytes && sizeof(Light) <= kLightBytes &&
              sizeof(Material) <= kMaterialBytes && sizeof(KeyframeNode) <= kNodeBytes &&
              sizeof(Vertex) <= kVertexBytes && sizeof(Face) <= kFaceBytes &&
              sizeof(TrackKey) <= kTrackKeyBytes);

// Counting pass only: the filling pass will allocate count elements of element_bytes each.
void count_memory(LoaderState& state, size_t count, uint64_t element_bytes);

// Counting pass only: one more record of record_bytes, named with current_name.
void count_record_memory(LoaderState& state, uint64_t record_bytes);

// Counting pass only: the heap bytes a string of this text will take beyond its record.
void count_string_memory(LoaderState& state, const std::string& text);

// After the counting pass, before anything is allocated: 0 when what it counted fits the limit for
// a file of file_size bytes (64 times its size plus 64 MiB), else -1 with both figures in
// state.error.
int check_memory_need(LoaderState& state, size_t file_size);

// --- names and records --------------------------------------------------------------------------

enum class NameRead { complete, ran_into_end };

// Reads a NUL-terminated name: keeps at most kMaxNameLength bytes, consumes the NUL and skips the
// bytes of a longer name up to it. ran_into_end means the reader's end came first with fewer
// than kMaxNameLength bytes kept; out then holds what was read.
NameRead read_name(ByteReader& r, std::string& out);

// Record lookups by exact name among the records created so far in this pass; -1 if none.
int32_t find_light(const LoaderState& state, const std::string& name);
int32_t find_material(const LoaderState& state, const std::string& name);
int32_t find_mesh(const LoaderState& state, const std::string& name);
int32_t find_camera(const LoaderState& state, const std::string& name);

// Where the records of one kind live in the scene and in the state.
template <typename Record> struct RecordKind {
    int32_t Scene::*count;
    std::vector<Record> Scene::*records;
    int32_t LoaderState::*next;
    NameIndex LoaderState::*names;
    const char* plural; // "meshes", for messages
    uint64_t bytes;     // what the memory bound counts for one record
};

inline constexpr RecordKind<MeshObject> kMeshes{
    &Scene::mesh_count,       &Scene::meshes, &LoaderState::next_mesh,
    &LoaderState::mesh_names, "meshes",       kMeshBytes};
inline constexpr RecordKind<Light> kLights{
    &Scene::light_count,       &Scene::lights, &LoaderState::next_light,
    &LoaderState::light_names, "lights",       kLightBytes};
inline constexpr RecordKind<Camera> kCameras{
    &Scene::camera_count,       &Scene::cameras, &LoaderState::next_camera,
    &LoaderState::camera_names, "cameras",       kCameraBytes};
inline constexpr RecordKind<Material> kMaterials{
    &Scene::material_count,       &Scene::materials, &LoaderState::next_material,
    &LoaderState::material_names, "materials",       kMaterialBytes};

// Indexes name for the record at index; a later record of the same name leaves the first one.
void index_name(NameIndex& names, const std::string& name, int32_t index);

// The step every record-creating handler shares. Counting pass: one more record of the kind;
// returns 0 with record null. Filling pass: takes the next record of the arrays load_scene sized,
// gives it the last name read and indexes that name; returns 0 with record and index set. The
// counting pass walked the same bytes, so running out of records means the passes disagree: that
// fails (-1) instead of writing past the array.
template <typename Record>
int create_or_count(LoaderState& state, const RecordKind<Record>& kind, Record*& record,
                    int32_t& index) {
    record = nullptr;
    index = -1;
    Scene& scene = *state.scene;
    if (state.pass == LoadPass::counting) {
        ++(scene.*kind.count);
        count_record_memory(state, kind.bytes);
        return 0;
    }
    std::vector<Record>& records = scene.*kind.records;
    int32_t& next = state.*kind.next;
    if (next < 0 || static_cast<size_t>(next) >= records.size())
        return loader_fail(state, std::string("more ") + kind.plural +
                                      " than the counting pass found (" +
                                      std::to_string(records.size()) + ")");
    index = next++;
    record = &records[static_cast<size_t>(index)];
    record->name = state.current_name;
    index_name(state.*kind.names, record->name, index);
    return 0;
}

// A float colour times 255, truncated toward zero; saturates outside int32, NaN gives 0.
int32_t colour_to_int(float value);

// Scene axes exchange the file's second and third components.
void store_scene_axes(const float file_xyz[3], float& x, float& y, float& z);

// --- the handlers, by kind of record
// --------------------------------------------------------------

// Meshes (handlers_mesh.cpp).
int handle_named_object(LoaderState& state, ByteReader& r);     // 0x4000
int handle_triangle_mesh(LoaderState& state, ByteReader& r);    // 0x4100
int handle_vertex_list(LoaderState& state, ByteReader& r);      // 0x4110
int handle_face_list(LoaderState& state, ByteReader& r);        // 0x4120
int handle_face_material(LoaderState& state, ByteReader& r);    // 0x4130
int handle_mapping_coords(LoaderState& state, ByteReader& r);   // 0x4140
int handle_local_axes(LoaderState& state, ByteReader& r);       // 0x4160
int handle_smoothing_groups(LoaderState& state, ByteReader& r); // 0x4150

// Lights and cameras (handlers_light_camera.cpp).
int handle_light(LoaderState& state, ByteReader& r);           // 0x4600
int handle_spotlight(LoaderState& state, ByteReader& r);       // 0x4610
int handle_light_off(LoaderState& state, ByteReader& r);       // 0x4620
int handle_raytrace_shadow(LoaderState& state, ByteReader& r); // 0x4627
int handle_inner_range(LoaderState& state, ByteReader& r);     // 0x4659
int handle_outer_range(LoaderState& state, ByteReader& r);     // 0x465A
int handle_multiplier(LoaderState& state, ByteReader& r);      // 0x465B
int handle_float_colour(LoaderState& state, ByteReader& r);    // 0x0010, 0x0013
int handle_camera(LoaderState& state, ByteReader& r);          // 0x4700

// Materials (handlers_material.cpp). A colour or percentage chunk means something only inside
// one of a material's property chunks; elsewhere it is read past.
int handle_material_entry(LoaderState& state, ByteReader& r);   // 0xAFFF
int handle_material_name(LoaderState& state, ByteReader& r);    // 0xA000
int handle_material_part(LoaderState& state, ByteReader& r);    // 0xA010 to 0xA050, 0xA084
int handle_two_sided(LoaderState& state, ByteReader& r);        // 0xA081
int handle_texture_map(LoaderState& state, ByteReader& r);      // 0xA200
int handle_map_file_name(LoaderState& state, ByteReader& r);    // 0xA300
int handle_map_scale_offset(LoaderState& state, ByteReader& r); // 0xA354, 0xA356, 0xA358, 0xA35A
int handle_byte_colour(LoaderState& state, ByteReader& r);      // 0x0011, 0x0012
int handle_percentage(LoaderState& state, ByteReader& r);       // 0x0030, 0x0031

// A colour chunk's value (0..1 each, any finite value clamped) for the material colour it stands
// in, if any; the float colour handler calls it too, besides colouring a light.
void store_material_colour(LoaderState& state, const float rgb[3]);

// Key frames (handlers_keyframe.cpp).
int handle_keyframe_segment(LoaderState& state, ByteReader& r); // 0xB008
int handle_node_id(LoaderState& state, ByteReader& r);          // 0xB030
int handle_object_node(LoaderState& state, ByteReader& r);      // 0xB002
int handle_camera_node(LoaderState& state, ByteReader& r);      // 0xB003
int handle_target_node(LoaderState& state, ByteReader& r);      // 0xB004
int handle_unrecorded_node(LoaderState& state, ByteReader& r);  // 0xB001, 0xB005 to 0xB007
int handle_node_header(LoaderState& state, ByteReader& r);      // 0xB010
int handle_position_track(LoaderState& state, ByteReader& r);   // 0xB020
int handle_rotation_track(LoaderState& state, ByteReader& r);   // 0xB021
int handle_scale_track(LoaderState& state, ByteReader& r);      // 0xB022
int handle_fov_track(LoaderState& state, ByteReader& r);        // 0xB023
int handle_roll_track(LoaderState& state, ByteReader& r);       // 0xB024
int handle_hide_track(LoaderState& state, ByteReader& r);       // 0xB029
int handle_instance_name(LoaderState& state, ByteReader& r);    // 0xB011
int handle_pivot(LoaderState& state, ByteReader& r);            // 0xB013

// After the filling pass: each node's parent_node from its parent field (key_frame nodes).
void resolve_node_parents(Scene& scene);
