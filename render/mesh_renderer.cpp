#include "render/mesh_renderer.h"

#include "render/face_setup.h"
#include "render/numeric.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// Transformed vertices of the mesh being drawn, kept between calls so frames do not allocate.
std::vector<CachedVertex> g_vertex_cache;

bool grow_cache(size_t count) {
    if (g_vertex_cache.size() >= count) return true;
    try {
        g_vertex_cache.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
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

bool draw_mesh_reserve(int32_t vertex_count) {
    return vertex_count <= 0 || grow_cache(size_t(vertex_count));
}

void draw_mesh(const Matrix4& mesh_matrix, const Matrix4& camera_matrix, const MeshObject& mesh,
               const Frame& frame, uint32_t colour) {
    const MeshPose pose = mesh_pose(mesh_matrix, camera_matrix);
    const size_t face_count = drawn_face_count(mesh);
    if (face_count == 0) return;

    const ViewSetup& view = view_setup();
    const size_t vertex_count = mesh.vertices.size();
    if (!grow_cache(vertex_count)) return;
    const VertexTransform transform = vertex_transform(pose.mv, view);
    for (size_t i = 0; i < vertex_count; ++i)
        cache_vertex(transform, mesh.vertices[i], g_vertex_cache[i]);

    const std::span<const CachedVertex> cache(g_vertex_cache.data(), vertex_count);
    EdgeTables tables;
    uint32_t face_colour = 0;
    for (size_t f = 0; f < face_count; ++f)
        if (set_up_face(pose, mesh.faces[f], cache, view, colour, tables, face_colour))
            fill_edge_rows(tables, frame, face_colour, 0, INT32_MAX);
}
