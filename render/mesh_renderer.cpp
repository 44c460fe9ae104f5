#include "render/mesh_renderer.h"

#include "render/numeric.h"
#include "render/raster.h"
#include "render/view.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// One mesh vertex as every face that uses it sees it in the current call. The per-face pipeline
// would recompute exactly these values for each face, so caching them changes no pixel.
struct CachedVertex {
    float x = 0, y = 0, z = 0; // camera space
    ScreenPoint screen;        // projected, meaningful only when near_ok
    uint8_t in_or_on = 0;      // bit k: inside or on frustum plane k
    uint8_t out_or_on = 0;     // bit k: outside or on plane k (a NaN distance is outside)
    bool near_ok = false;      // z >= 0.1, so the projection may stand
};

constexpr uint8_t kAllPlanes = 0x0F;
constexpr double kBackFaceLimit = 0.1;
constexpr double kNearZ = 0.1;

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

float transform_coordinate(const Matrix4& mv, const Vertex& v, int column) {
    return static_cast<float>(double(v.x) * double(mv.at(0, column)) +
                              double(v.y) * double(mv.at(1, column)) +
                              double(v.z) * double(mv.at(2, column)) + double(mv.at(3, column)));
}

// Returns false when the vertex must drop the polygon it belongs to (too near or z not a number).
bool project(ClipVertex& v, const ViewSetup& view) {
    if (!(double(v.z) >= kNearZ)) return false;
    // The exact half, not the integer one: for an odd size the frustum's margin is then 2 pixels
    // on both sides. Even sizes, the demo's included, get the very same numbers either way.
    const double half_width = double(view.Width) / 2;
    const double half_height = double(view.Height) / 2;
    v.x = static_cast<float>(double(view.focal) * double(v.x) / double(v.z) + half_width);
    v.y = static_cast<float>(double(view.focal) * double(v.y) / double(v.z) + half_height);
    return true;
}

CachedVertex cache_vertex(const Matrix4& mv, const Vertex& vertex, const ViewSetup& view) {
    CachedVertex c;
    ClipVertex v;
    v.x = c.x = transform_coordinate(mv, vertex, 0);
    v.y = c.y = transform_coordinate(mv, vertex, 1);
    v.z = c.z = transform_coordinate(mv, vertex, 2);
    for (int k = 0; k < 4; ++k) {
        const double d = plane_distance(view.planes[size_t(k)], v);
        if (d >= 0.0) c.in_or_on |= uint8_t(1u << k);
        if (!(d > 0.0)) c.out_or_on |= uint8_t(1u << k);
    }
    c.near_ok = project(v, view);
    if (c.near_ok) c.screen = screen_point(v.x, v.y);
    return c;
}

ClipVertex camera_space(const CachedVertex& c) {
    ClipVertex v;
    v.x = c.x;
    v.y = c.y;
    v.z = c.z;
    return v;
}

uint32_t face_colour(const Matrix4& mv, const Plane& plane, uint32_t base_colour) {
    const double a = plane.a, b = plane.b, c = plane.c;
    const double nx = a * double(mv.at(0, 0)) + b * double(mv.at(1, 0)) + c * double(mv.at(2, 0));
    const double ny = a * double(mv.at(0, 1)) + b * double(mv.at(1, 1)) + c * double(mv.at(2, 1));
    const double nz = a * double(mv.at(0, 2)) + b * double(mv.at(1, 2)) + c * double(mv.at(2, 2));
    return shade_colour(base_colour, face_intensity(nx, ny, nz));
}

bool indices_valid(const Face& face, size_t vertex_count) {
    for (int32_t index : face.v)
        if (index < 0 || size_t(index) >= vertex_count) return false;
    return true;
}

// A triangle inside all four planes: the clipper would return it unchanged, so the cached
// projections are the polygon.
void draw_inside_triangle(const CachedVertex* c[3], const Matrix4& mv, const Plane& plane,
                          const Frame& frame, uint32_t base_colour) {
    if (!c[0]->near_ok || !c[1]->near_ok || !c[2]->near_ok) return;
    EdgeTables tables;
    if (!setup_triangle_edges(c[0]->screen, c[1]->screen, c[2]->screen, tables)) return;
    fill_edge_rows(tables, frame, face_colour(mv, plane, base_colour), 0, INT32_MAX);
}

void draw_clipped_triangle(const CachedVertex* c[3], const Matrix4& mv, const Plane& plane,
                           const ViewSetup& view, const Frame& frame, uint32_t base_colour) {
    ClipPolygon q =
        clip_triangle(camera_space(*c[0]), camera_space(*c[1]), camera_space(*c[2]), view.planes);
    for (int32_t i = 0; i < q.count; ++i)
        if (!project(q.vertices[size_t(i)], view)) return;
    if (q.count == 0) return;
    fill_polygon(q, frame, face_colour(mv, plane, base_colour));
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
    Matrix4 mv;
    matrix_inverse(camera_matrix, mv);
    matrix_multiply(mv, mesh_matrix, mv);
    Matrix4 mv_inverse;
    matrix_inverse(mv, mv_inverse);
    const double ex = mv_inverse.at(3, 0), ey = mv_inverse.at(3, 1), ez = mv_inverse.at(3, 2);

    const size_t face_count =
        mesh.face_count <= 0 ? 0 : std::min(size_t(mesh.face_count), mesh.faces.size());
    if (face_count == 0) return;

    const ViewSetup& view = view_setup();
    const size_t vertex_count = mesh.vertices.size();
    if (!grow_cache(vertex_count)) return;
    for (size_t i = 0; i < vertex_count; ++i)
        g_vertex_cache[i] = cache_vertex(mv, mesh.vertices[i], view);

    for (size_t f = 0; f < face_count; ++f) {
        const Face& face = mesh.faces[f];
        const Plane& p = face.plane;
        const double d = double(p.a) * ex + double(p.b) * ey + double(p.c) * ez + double(p.d);
        if (d > kBackFaceLimit) continue; // a NaN distance goes on: never culled
        if (!indices_valid(face, vertex_count)) continue;

        const CachedVertex* c[3] = {&g_vertex_cache[size_t(face.v[0])],
                                    &g_vertex_cache[size_t(face.v[1])],
                                    &g_vertex_cache[size_t(face.v[2])]};
        const uint8_t all_in = c[0]->in_or_on & c[1]->in_or_on & c[2]->in_or_on;
        const uint8_t all_out = c[0]->out_or_on & c[1]->out_or_on & c[2]->out_or_on;
        if (all_in == kAllPlanes)
            draw_inside_triangle(c, mv, p, frame, colour);
        else if ((all_out & ~all_in & kAllPlanes) == 0)
            draw_clipped_triangle(c, mv, p, view, frame, colour);
    }
}
