// load_scene: two walks over the file (count, then fill), then the derived geometry.
#include "loader/chunk_reader.h"

#include "loader/byte_reader.h"
#include "loader/geometry.h"
#include "loader/loader_internal.h"
#include "loader/quoted.h"

#include <new>
#include <vector>

namespace {

template <typename Record> void allocate_records(std::vector<Record>& records, int32_t count) {
    records.assign(static_cast<size_t>(count), Record{});
}

int run_pass(LoaderState& state, ByteSource& source, LoadPass pass) {
    state.pass = pass;
    state.unrecorded_node_start = state.unrecorded_node_end = 0;
    state.current_material = -1;
    state.material_part = 0;
    state.material_has_map = false;
    ByteReader file = make_reader(source, 0, source.size);
    return read_chunks(state, file, source.size, 0);
}

bool passes_agree(const LoaderState& state, const Scene& scene, std::string& error) {
    if (state.next_mesh == scene.mesh_count && state.next_camera == scene.camera_count &&
        state.next_light == scene.light_count && state.next_material == scene.material_count &&
        state.next_node == scene.node_count)
        return true;
    error = "the filling pass created fewer records than the counting pass counted";
    return false;
}

// A pass that failed because the input stopped delivering bytes is an input error, not a
// malformed file; say so instead of blaming the chunk that happened to be read.
int pass_result(const LoaderState& state, ByteSource& source, int result, const std::string& label,
                std::string& error) {
    if (source.read_failed) {
        error = "cannot read " + label + ": it changed or could not be read while loading";
        return -1;
    }
    if (result != 0) error = state.error;
    return result;
}

// The filling pass starts from the names and node kind the counting pass left (a record before
// the first name takes the file's last one), but from empty name indexes and record cursors.
void start_filling_pass(LoaderState& state) {
    state.next_mesh = state.next_camera = state.next_light = state.next_material = 0;
    state.next_node = 0;
    state.current_node = -1;
    state.current_node_end = 0;
    state.mesh_names.clear();
    state.camera_names.clear();
    state.light_names.clear();
    state.material_names.clear();
}

std::unique_ptr<Scene> load_from_source(LoaderState& state, ByteSource& source,
                                        const std::string& label, std::string& error) {
    auto scene = std::make_unique<Scene>();
    state.scene = scene.get();
    if (pass_result(state, source, run_pass(state, source, LoadPass::counting), label, error) != 0)
        return nullptr;
    if (check_memory_need(state, source.size) != 0) {
        error = state.error;
        return nullptr;
    }
    allocate_records(scene->materials, scene->material_count);
    allocate_records(scene->meshes, scene->mesh_count);
    allocate_records(scene->cameras, scene->camera_count);
    allocate_records(scene->lights, scene->light_count);
    allocate_records(scene->nodes, scene->node_count);

    start_filling_pass(state);
    if (pass_result(state, source, run_pass(state, source, LoadPass::filling), label, error) != 0)
        return nullptr;
    if (!passes_agree(state, *scene, error)) return nullptr;
    resolve_node_parents(*scene);

    for (MeshObject& mesh : scene->meshes) {
        compute_face_planes(mesh);
        compute_vertex_normals(mesh);
    }
    for (Camera& camera : scene->cameras)
        build_camera_matrix(camera);
    error.clear();
    return scene;
}

// Every load gets a fresh state, created here and handed down to the walker and the handlers.
// No exception leaves the loader: an allocation failure anywhere is a failed load.
template <typename Load>
std::unique_ptr<Scene> guarded(const std::string& label, std::string& error, Load load) {
    std::unique_ptr<Scene> scene;
    try {
        try {
            LoaderState state;
            scene = load(state);
        } catch (const std::bad_alloc&) {
            error = "out of memory while loading " + label;
        } catch (const std::exception& e) {
            error = "cannot load " + label + ": " + e.what();
        }
    } catch (...) {
        // Composing the message ran out of memory too; this text fits the string's inline buffer.
        error = "out of memory";
    }
    return scene;
}

} // namespace

std::unique_ptr<Scene> load_scene(const std::string& path, std::string& error) {
    std::string label;
    try {
        label = quoted_text(path);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
    return guarded(label, error, [&](LoaderState& state) -> std::unique_ptr<Scene> {
        ByteSource source;
        if (!open_file_source(source, path, error)) return nullptr;
        return load_from_source(state, source, label, error);
    });
}

std::unique_ptr<Scene> load_scene_from_memory(std::span<const uint8_t> bytes, std::string& error) {
    return guarded("the scene in memory", error, [&](LoaderState& state) {
        ByteSource source = memory_source(bytes);
        return load_from_source(state, source, "the scene in memory", error);
    });
}
