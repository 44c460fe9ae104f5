// Chunk handlers for meshes: the object name, the mesh record, its vertices, faces, face
// materials, mapping coordinates, smoothing groups and local axes.
#include "loader/loader_internal.h"
#include "loader/quoted.h"

#include <vector>

namespace {

MeshObject* current_mesh(LoaderState& state) {
    if (state.pass != LoadPass::filling || state.current_mesh < 0) return nullptr;
    return &state.scene->meshes[static_cast<size_t>(state.current_mesh)];
}

} // namespace

int handle_named_object(LoaderState& state, ByteReader& r) {
    // An object name cut short stays as read: the name is only a label.
    read_name(r, state.current_name);
    return 0;
}

int handle_triangle_mesh(LoaderState& state, ByteReader&) {
    MeshObject* mesh = nullptr;
    int32_t index = -1;
    if (create_or_count(state, kMeshes, mesh, index) != 0) return -1;
    if (!mesh) return 0;
    state.current_mesh = index;
    state.current_mesh_has_vertex_list = false;
    return 0;
}

int handle_vertex_list(LoaderState& state, ByteReader& r) {
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short(state, "vertex list", 2, r);
    if (static_cast<size_t>(n) * 12 > remaining(r))
        return fail_short(state, ("vertex list of " + std::to_string(n) + " vertices").c_str(),
                          static_cast<size_t>(n) * 12, r);
    count_memory(state, n, kVertexBytes);
    MeshObject* mesh = current_mesh(state);
    if (!mesh) return skip_bytes(r, static_cast<size_t>(n) * 12), 0;
    if (mesh->face_count > 0)
        return loader_fail(state, "a second vertex list for mesh " + quoted_text(mesh->name) +
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
    state.current_mesh_has_vertex_list = true;
    return 0;
}

int handle_face_list(LoaderState& state, ByteReader& r) {
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short(state, "face list", 2, r);
    if (static_cast<size_t>(n) * 8 > remaining(r))
        return fail_short(state, ("face list of " + std::to_string(n) + " faces").c_str(),
                          static_cast<size_t>(n) * 8, r);
    count_memory(state, n, kFaceBytes);
    MeshObject* mesh = current_mesh(state);
    if (!mesh) return skip_bytes(r, static_cast<size_t>(n) * 8), 0;
    if (n > 0 && !state.current_mesh_has_vertex_list)
        return loader_fail(state, "face list of mesh " + quoted_text(mesh->name) +
                                      " comes before its vertex list");
    std::vector<Face> faces;
    faces.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint16_t corner[4] = {};
        for (uint16_t& value : corner)
            read_u16(r, value);
        for (int k = 0; k < 3; ++k)
            if (corner[k] >= mesh->vertex_count)
                return loader_fail(state, "face " + std::to_string(i) + " names vertex " +
                                              std::to_string(corner[k]) + " but mesh " +
                                              quoted_text(mesh->name) + " has " +
                                              std::to_string(mesh->vertex_count));
        // File corners a, b, c become a, c, b: the axis exchange mirrors, this restores winding.
        faces.emplace_back().v = {corner[0], corner[2], corner[1]};
    }
    mesh->faces = std::move(faces);
    mesh->face_count = n;
    return 0;
}

int handle_face_material(LoaderState& state, ByteReader& r) {
    std::string material_name;
    if (read_name(r, material_name) == NameRead::ran_into_end)
        return loader_fail(state, "material name of a face material group has no end before the "
                                  "end of the chunk");
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short(state, "face material group", 2, r);
    if (static_cast<size_t>(n) * 2 > remaining(r))
        return fail_short(state, ("face material group of " + std::to_string(n) + " faces").c_str(),
                          static_cast<size_t>(n) * 2, r);
    MeshObject* mesh = current_mesh(state);
    int32_t material = mesh ? find_material(state, material_name) : -1;
    for (size_t i = 0; i < n; ++i) {
        uint16_t face = 0;
        read_u16(r, face);
        // Indexes beyond the mesh's faces name nothing; dropping them loses nothing drawable.
        if (mesh && face < mesh->face_count) mesh->faces[face].material = material;
    }
    return 0;
}

int handle_mapping_coords(LoaderState& state, ByteReader& r) {
    uint16_t n = 0;
    if (!read_u16(r, n)) return fail_short(state, "mapping coordinates", 2, r);
    if (static_cast<size_t>(n) * 8 > remaining(r))
        return fail_short(state,
                          ("mapping coordinates of " + std::to_string(n) + " vertices").c_str(),
                          static_cast<size_t>(n) * 8, r);
    MeshObject* mesh = current_mesh(state);
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

int handle_local_axes(LoaderState& state, ByteReader& r) {
    float values[12] = {};
    if (!read_floats(r, values, 12)) return fail_short(state, "local axes", 48, r);
    MeshObject* mesh = current_mesh(state);
    if (!mesh) return 0;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col)
            mesh->matrix.at(row, col) = values[3 * row + col];
        mesh->matrix.at(row, 3) = row == 3 ? 1.0f : 0.0f;
    }
    return 0;
}

int handle_smoothing_groups(LoaderState& state, ByteReader& r) {
    MeshObject* mesh = current_mesh(state);
    if (!mesh) return 0;
    // One word per face of the list it stands in; a chunk too short for that is not trusted in
    // part, and the faces stay in no group.
    const size_t faces = mesh->faces.size();
    if (remaining(r) / 4 < faces) return 0;
    for (Face& face : mesh->faces)
        read_u32(r, face.smoothing);
    return 0;
}
