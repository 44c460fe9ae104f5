#include "render/mesh_renderer.h"

#include "render/face_setup.h"
#include "render/numeric.h"
#include "render/renderer.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

bool grow_face_list(Renderer& r, size_t face_count) {
    return grow_buffer(r.front_faces, face_count) &&
           grow_buffer(r.vertex_used, r.vertex_cache.size());
}

// The loops here take the buffers' addresses into locals first: a store through a byte pointer
// may alias anything, so the compiler would otherwise load each vector's address again after
// every mark.
size_t list_mesh_front_faces(Renderer& r, const MeshPose& pose, const MeshObject& mesh,
                             size_t face_count) {
    uint8_t* const used = r.vertex_used.data();
    return list_front_faces(pose, mesh.faces.data(), 0, face_count, mesh.vertices.size(),
                            r.front_faces.data(), [used](uint32_t v) { used[v] = 1; });
}

void cache_used_vertices(Renderer& r, const VertexTransform& transform, const MeshObject& mesh) {
    const size_t vertex_count = mesh.vertices.size();
    const Vertex* const vertices = mesh.vertices.data();
    CachedVertex* const cache = r.vertex_cache.data();
    uint8_t* const used = r.vertex_used.data();
    for (size_t i = 0; i < vertex_count; ++i) {
        if (!used[i]) continue;
        used[i] = 0;
        cache_vertex(transform, vertices[i], cache[i]);
    }
}

} // namespace

uint32_t shade_colour(uint32_t base_colour, int32_t intensity) {
    const uint32_t i = uint32_t(intensity);
    const uint32_t red = (base_colour >> 16) & 0xFFu;
    const uint32_t green = (base_colour >> 8) & 0xFFu;
    const uint32_t blue = base_colour & 0xFFu;
    return ((red * i) >> 8) << 16 | ((green * i) >> 8) << 8 | ((blue * i) >> 8);
}

int32_t face_intensity(double nx, double ny, double nz) {
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double cosine = nz / length;
    if (!std::isfinite(cosine)) return 0;
    const int32_t intensity = saturate_to_int32(std::fabs(cosine * 255.0));
    return intensity > 255 ? 255 : intensity;
}

bool draw_mesh_reserve(Renderer& renderer, int32_t vertex_count, size_t face_count) {
    return (vertex_count <= 0 || grow_buffer(renderer.vertex_cache, size_t(vertex_count))) &&
           (face_count == 0 || grow_face_list(renderer, face_count));
}

void draw_mesh(Renderer& renderer, const Matrix4& mesh_matrix, const Matrix4& camera_matrix,
               const MeshObject& mesh, const Frame& frame, uint32_t colour) {
    const MeshPose pose = mesh_pose(mesh_matrix, camera_matrix);
    const size_t face_count = drawn_face_count(mesh);
    if (face_count == 0) return;

    const ViewSetup& view = renderer.view;
    const size_t vertex_count = mesh.vertices.size();
    if (!grow_buffer(renderer.vertex_cache, vertex_count)) return;
    const VertexTransform transform = vertex_transform(pose.mv, view);
    const std::span<const CachedVertex> cache(renderer.vertex_cache.data(), vertex_count);
    EdgeTables tables;
    uint32_t face_colour = 0;
    if (!grow_face_list(renderer, face_count)) {
        // Without the list every vertex is transformed and every face culled on the way.
        for (size_t i = 0; i < vertex_count; ++i)
            cache_vertex(transform, mesh.vertices[i], renderer.vertex_cache[i]);
        for (size_t f = 0; f < face_count; ++f)
            if (set_up_face(pose, mesh.faces[f], cache, view, colour, tables, face_colour))
                fill_set_up_face(tables, frame, face_colour);
        return;
    }

    // About half the faces of a closed mesh turn away, and many vertices lie only on those: a
    // vertex costs more than culling a face, so the faces are culled first and only the vertices
    // the others use are transformed. The set-up reads no other vertex.
    const size_t front = list_mesh_front_faces(renderer, pose, mesh, face_count);
    cache_used_vertices(renderer, transform, mesh);
    const FrontFace* const list = renderer.front_faces.data();
    const CachedVertex* const cached = renderer.vertex_cache.data();
    for (size_t i = 0; i < front; ++i) {
        const FrontFace& f = list[i];
        if (set_up_front_corners(pose, f.normal, cached[f.v[0]], cached[f.v[1]], cached[f.v[2]],
                                 view, colour, tables, face_colour))
            fill_set_up_face(tables, frame, face_colour);
    }
}
