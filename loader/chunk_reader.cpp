#include "loader/chunk_reader.h"

#include "loader/byte_reader.h"
#include "loader/chunk_handlers.h"
#include "loader/geometry.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <vector>

namespace {

struct ChunkEntry {
    uint32_t id;          // a 16-bit chunk id
    int32_t has_children; // 1: after the handler the walk descends into the sub-chunks
    ChunkHandler handler; // or nullptr
    const char* name;     // for people: the info tool and error messages
};

// clang-format off
constexpr std::array<ChunkEntry, 88> chunk_table = {{
    {0x0002, 0, nullptr, "file version"},
    {0x0010, 0, handle_float_colour, "float colour"},
    {0x0011, 0, nullptr, "byte colour"},
    {0x0012, 0, nullptr, "byte colour (second form)"},
    {0x0013, 0, handle_float_colour, "float colour (second form)"},
    {0x0030, 0, nullptr, "integer percentage"},
    {0x0031, 0, nullptr, "float percentage"},
    {0x0100, 0, nullptr, "master scale"},
    {0xC23D, 1, nullptr, "container 0xC23D"},
    {0x3DAA, 1, nullptr, "container 0x3DAA"},
    {0x3D3E, 0, nullptr, "mesh data version"},
    {0x4D4D, 1, nullptr, "file root"},
    {0x3D3D, 1, nullptr, "editor data"},
    {0x1200, 1, nullptr, "solid background"},
    {0x2100, 1, nullptr, "ambient light"},
    {0x4000, 1, handle_named_object, "named object"},
    {0x4100, 1, handle_triangle_mesh, "triangle mesh"},
    {0x4110, 0, handle_vertex_list, "vertex list"},
    {0x4111, 0, nullptr, "vertex flags"},
    {0x4120, 1, handle_face_list, "face list"},
    {0x4130, 0, handle_face_material, "face material group"},
    {0x4140, 0, handle_mapping_coords, "mapping coordinates"},
    {0x4150, 0, nullptr, "smoothing groups"},
    {0x4160, 0, handle_local_axes, "local axes"},
    {0x4165, 0, nullptr, "mesh colour"},
    {0x4170, 0, nullptr, "mesh texture information"},
    {0x4190, 0, nullptr, "mesh chunk 0x4190"},
    {0x4600, 1, handle_light, "light"},
    {0x4610, 0, handle_spotlight, "spotlight"},
    {0x4700, 0, handle_camera, "camera"},
    {0x4F00, 1, nullptr, "container 0x4F00"},
    {0x7001, 0, nullptr, "viewport layout"},
    {0x7020, 0, nullptr, "viewport size"},
    {0xAFFF, 1, nullptr, "material entry"},
    {0xA000, 0, handle_material_name, "material name"},
    {0xA010, 1, nullptr, "material ambient colour"},
    {0xA020, 1, nullptr, "material diffuse colour"},
    {0xA030, 1, nullptr, "material specular colour"},
    {0xA040, 1, nullptr, "material shininess"},
    {0xA041, 1, nullptr, "material shininess strength"},
    {0xA050, 1, nullptr, "material transparency"},
    {0xA052, 1, nullptr, "material transparency falloff"},
    {0xA053, 1, nullptr, "material reflection blur"},
    {0xA084, 1, nullptr, "material self-illumination"},
    {0xA081, 0, nullptr, "material two-sided flag"},
    {0xA083, 0, nullptr, "material additive flag"},
    {0xA085, 0, nullptr, "material wire-frame flag"},
    {0xA087, 0, nullptr, "material wire size"},
    {0xA08C, 0, nullptr, "material soft-shading flag"},
    {0xA100, 0, nullptr, "material shading type"},
    {0xA200, 1, nullptr, "texture map"},
    {0xA220, 1, nullptr, "reflection map"},
    {0xA230, 1, nullptr, "bump map"},
    {0xA252, 0, nullptr, "map chunk 0xA252"},
    {0xA300, 0, handle_map_file_name, "map file name"},
    {0xA351, 0, nullptr, "map tiling flags"},
    {0xA353, 0, nullptr, "map blur"},
    {0xA354, 0, nullptr, "map U scale"},
    {0xA356, 0, nullptr, "map V scale"},
    {0xA358, 0, nullptr, "map U offset"},
    {0xA35A, 0, nullptr, "map V offset"},
    {0xA35C, 0, nullptr, "map rotation"},
    {0xB000, 1, nullptr, "key-frame data"},
    {0xB001, 1, nullptr, "ambient node"},
    {0xB002, 1, handle_object_node, "object node"},
    {0xB008, 0, handle_keyframe_segment, "key-frame segment"},
    {0xB010, 0, handle_node_header, "node header"},
    {0xB011, 0, nullptr, "instance name"},
    {0xB013, 0, nullptr, "pivot"},
    {0xB020, 0, handle_position_track, "position track"},
    {0xB025, 0, nullptr, "colour track"},
    {0xB021, 0, handle_rotation_track, "rotation track"},
    {0xB022, 0, nullptr, "scale track"},
    {0xB026, 0, nullptr, "morph track"},
    {0xB029, 0, nullptr, "hide track"},
    {0xB030, 0, handle_node_id, "node id"},
    {0xB003, 1, handle_camera_node, "camera node"},
    {0xB004, 1, handle_target_node, "camera target node"},
    {0xB005, 1, nullptr, "light node"},
    {0xB006, 1, nullptr, "light target node"},
    {0xB007, 1, nullptr, "spotlight node"},
    {0xB023, 0, nullptr, "field-of-view track"},
    {0xB024, 0, nullptr, "roll track"},
    {0x4659, 0, handle_inner_range, "light inner range"},
    {0x465A, 0, handle_outer_range, "light outer range"},
    {0x465B, 0, handle_multiplier, "light multiplier"},
    {0x4620, 0, handle_light_off, "light off flag"},
    {0x4627, 0, handle_raytrace_shadow, "light ray-traced shadow flag"},
}};
// clang-format on

constexpr size_t kChunkHeaderSize = 6;

// Real files nest six or seven levels deep; the bound keeps a hostile file of nested containers
// from exhausting the stack through the recursive walk.
constexpr int kMaxChunkDepth = 64;

// Offsets are 32-bit signed quantities in the format.
constexpr size_t kMaxFileSize = static_cast<size_t>(std::numeric_limits<int32_t>::max());

int fail_at(uint16_t id, size_t offset, const std::string& what) {
    LoaderState& state = loader_state();
    state.chunk_id = id;
    state.chunk_offset = offset;
    return loader_fail(what);
}

int call_handler(ChunkHandler handler, ByteReader& payload, size_t chunk_end) {
    try {
        return handler(payload, chunk_end);
    } catch (const std::bad_alloc&) {
        return loader_fail("out of memory");
    } catch (const std::length_error&) {
        return loader_fail("out of memory");
    }
}

template <typename Record> void allocate_records(std::vector<Record>& records, int32_t count) {
    records.assign(static_cast<size_t>(count), Record{});
}

int run_pass(ByteSource& source, LoadPass pass) {
    loader_state().pass = pass;
    ByteReader file = make_reader(source, 0, source.size);
    return read_chunks(file, source.size, 0);
}

bool passes_agree(const Scene& scene, std::string& error) {
    const LoaderState& state = loader_state();
    if (state.next_mesh == scene.mesh_count && state.next_camera == scene.camera_count &&
        state.next_light == scene.light_count && state.next_material == scene.material_count)
        return true;
    error = "the filling pass created fewer records than the counting pass counted";
    return false;
}

// A pass that failed because the input stopped delivering bytes is an input error, not a
// malformed file; say so instead of blaming the chunk that happened to be read.
int pass_result(ByteSource& source, int result, const std::string& label, std::string& error) {
    if (source.read_failed) {
        error = "cannot read " + label + ": it changed or could not be read while loading";
        return -1;
    }
    if (result != 0) error = loader_state().error;
    return result;
}

std::unique_ptr<Scene> load_from_source(ByteSource& source, const std::string& label,
                                        std::string& error) {
    LoaderState& state = loader_state();
    auto scene = std::make_unique<Scene>();
    state.scene = scene.get();
    if (pass_result(source, run_pass(source, LoadPass::counting), label, error) != 0)
        return nullptr;
    allocate_records(scene->materials, scene->material_count);
    allocate_records(scene->meshes, scene->mesh_count);
    allocate_records(scene->cameras, scene->camera_count);
    allocate_records(scene->lights, scene->light_count);

    state.next_mesh = state.next_camera = state.next_light = state.next_material = 0;
    state.mesh_names.clear();
    state.camera_names.clear();
    state.light_names.clear();
    state.material_names.clear();
    if (pass_result(source, run_pass(source, LoadPass::filling), label, error) != 0) return nullptr;
    if (!passes_agree(*scene, error)) return nullptr;

    for (MeshObject& mesh : scene->meshes) {
        compute_face_planes(mesh);
        compute_vertex_normals(mesh);
    }
    for (Camera& camera : scene->cameras)
        build_camera_matrix(camera);
    error.clear();
    return scene;
}

// No exception leaves the loader: an allocation failure anywhere is a failed load.
template <typename Load>
std::unique_ptr<Scene> guarded(const std::string& label, std::string& error, Load load) {
    std::unique_ptr<Scene> scene;
    try {
        try {
            reset_loader_state();
            scene = load();
        } catch (const std::bad_alloc&) {
            error = "out of memory while loading " + label;
        } catch (const std::exception& e) {
            error = "cannot load " + label + ": " + e.what();
        }
    } catch (...) {
        // Composing the message ran out of memory too; this text fits the string's inline buffer.
        error = "out of memory";
    }
    loader_state().scene = nullptr;
    return scene;
}

} // namespace

int find_chunk(uint16_t id) {
    for (size_t row = 0; row < chunk_table.size(); ++row)
        if ((chunk_table[row].id & 0xFFFFu) == id) return static_cast<int>(row);
    return -1;
}

const char* chunk_name(uint16_t id) {
    int row = find_chunk(id);
    return row < 0 ? nullptr : chunk_table[static_cast<size_t>(row)].name;
}

int read_chunks(ByteReader& file, size_t end, int depth) {
    while (file.pos < end) {
        size_t start = file.pos;
        uint16_t id = 0;
        uint32_t length = 0;
        if (remaining(file) < kChunkHeaderSize) {
            loader_state().error = "the file ends inside the chunk header at offset " +
                                   std::to_string(start) + " (" + std::to_string(remaining(file)) +
                                   " of 6 bytes left)";
            return -1;
        }
        if (!read_u16(file, id) || !read_u32(file, length))
            return -1; // only an input error gets here; the caller reports it
        // A length that does not even cover the header would make the walk stand still or go
        // backwards; one read as negative in 32 bits is no better.
        if (length < kChunkHeaderSize || length > kMaxFileSize)
            return fail_at(id, start,
                           "invalid chunk length " + std::to_string(length) +
                               " (a chunk counts its own 6-byte header)");
        if (length > file.end - start)
            return fail_at(id, start,
                           "runs past the end of the file (declares " + std::to_string(length) +
                               " bytes, " + std::to_string(file.end - start) + " remain)");
        // A sub-chunk that overran its container would make the container's walk jump back to
        // the container's end and read the overrun bytes again at every level above: a few
        // hundred bytes of such nesting cost exponential time.
        if (length > end - start)
            return fail_at(id, start,
                           "runs past the end of the chunk that contains it (declares " +
                               std::to_string(length) + " bytes, " + std::to_string(end - start) +
                               " remain)");
        size_t chunk_end = start + length;
        int row = find_chunk(id);
        if (row >= 0) {
            const ChunkEntry& entry = chunk_table[static_cast<size_t>(row)];
            ByteReader payload = make_reader(*file.source, file.pos, chunk_end);
            if (entry.handler) {
                LoaderState& state = loader_state();
                state.chunk_id = id;
                state.chunk_offset = start;
                int result = call_handler(entry.handler, payload, chunk_end);
                if (result != 0) return result;
            }
            if (entry.has_children) {
                if (depth + 1 > kMaxChunkDepth)
                    return fail_at(id, start,
                                   "chunks nest deeper than " + std::to_string(kMaxChunkDepth) +
                                       " levels");
                file.pos = payload.pos;
                int result = read_chunks(file, chunk_end, depth + 1);
                if (result != 0) return result;
            }
        }
        file.pos = chunk_end;
    }
    return 0;
}

std::unique_ptr<Scene> load_scene(const std::string& path, std::string& error) {
    return guarded(path, error, [&]() -> std::unique_ptr<Scene> {
        ByteSource source;
        if (!open_file_source(source, path, error)) return nullptr;
        return load_from_source(source, path, error);
    });
}

std::unique_ptr<Scene> load_scene_from_memory(std::span<const uint8_t> bytes, std::string& error) {
    return guarded("the scene in memory", error, [&] {
        ByteSource source = memory_source(bytes);
        return load_from_source(source, "the scene in memory", error);
    });
}
