// face_setup.h - the renderer's per-vertex and per-face work up to a set-up polygon, shared by
// the one-thread draw_mesh and the banded many-thread frame (internal to render/).
//
// A mesh is drawn in two steps: every vertex is transformed, classified against the frustum and
// projected once (cache_vertex, with the mesh's constants widened once in a VertexTransform),
// then every face is culled, clipped when it straddles the
// frustum, shaded and set up for the fill (set_up_face). The per-face pipeline would recompute
// exactly the cached values for each face, so the cache changes no pixel; whoever fills the
// set-up polygons in face order gets the picture of the plain pipeline.
//
// Spaces and units as in view.h and mesh_renderer.h. Everything here is inline: it runs per
// vertex and per face, and a call across files per face costs a measurable share of a frame.
// Failure: none reported; faces that draw nothing make set_up_face return false.
#pragma once

#include "render/mesh_renderer.h"
#include "render/raster.h"
#include "render/view.h"
#include "scene/math3d.h"
#include "scene/scene.h"

#include <algorithm>
#include <cstdint>
#include <span>

// One mesh vertex as every face that uses it sees it in the current frame.
struct CachedVertex {
    float x = 0, y = 0, z = 0; // camera space
    ScreenPoint screen;        // meaningful only with kProjected
    uint8_t in_or_on = 0;      // bit k: inside or on frustum plane k
    uint8_t out_or_on = 0;     // bit k: outside or on plane k (a NaN distance is outside)
    uint8_t projection = 0;    // kProjected and kSmall bits, below
};

constexpr uint8_t kProjected = 1; // z >= 0.1, so the projection may stand
constexpr uint8_t kSmall = 2;     // projected, and the screen point is small (raster.h)

// Where one mesh stands in front of the camera for one frame.
struct MeshPose {
    Matrix4 mv;        // object space -> camera space
    double ex, ey, ez; // the camera position in object space
};

// Two doubles side by side (GCC's and Clang's vector extension): each lane of an operation
// rounds exactly as the scalar operation would, so two plane distances cost one instruction per
// term on SSE2 and come out bit for bit the same.
typedef double DoublePair __attribute__((vector_size(16)));

// The per-vertex constants of one mesh in one view (the matrix and planes widened to double once,
// not once per vertex).
struct VertexTransform {
    double mv[4][3]; // rows 0..3, columns 0..2 of object -> camera space
    // The frustum planes in pairs, right with left and top with bottom: A, B, C, D of each pair.
    DoublePair planes[2][4];
    double focal, half_width, half_height;
};

namespace face_setup_detail {

constexpr uint8_t kAllPlanes = 0x0F;
constexpr double kBackFaceLimit = 0.1;
constexpr double kNearZ = 0.1;

// The exact half, not the integer one: for an odd size the frustum's margin is then 2 pixels on
// both sides. Even sizes, the demo's included, get the very same numbers either way.
inline double half(int32_t size) {
    return double(size) / 2;
}

// Returns false when the vertex must drop the polygon it belongs to (too near or z not a number).
inline bool project(ClipVertex& v, const ViewSetup& view) {
    if (!(double(v.z) >= kNearZ)) return false;
    v.x = static_cast<float>(double(view.focal) * double(v.x) / double(v.z) + half(view.Width));
    v.y = static_cast<float>(double(view.focal) * double(v.y) / double(v.z) + half(view.Height));
    return true;
}

inline ClipVertex camera_space(const CachedVertex& c) {
    ClipVertex v;
    v.x = c.x;
    v.y = c.y;
    v.z = c.z;
    return v;
}

inline uint32_t face_colour(const Matrix4& mv, const float (&normal)[3], uint32_t base_colour) {
    const double a = normal[0], b = normal[1], c = normal[2];
    const double nx = a * double(mv.at(0, 0)) + b * double(mv.at(1, 0)) + c * double(mv.at(2, 0));
    const double ny = a * double(mv.at(0, 1)) + b * double(mv.at(1, 1)) + c * double(mv.at(2, 1));
    const double nz = a * double(mv.at(0, 2)) + b * double(mv.at(1, 2)) + c * double(mv.at(2, 2));
    return shade_colour(base_colour, face_intensity(nx, ny, nz));
}

// The signed distances of one point from a pair of planes, term by term as plane_distance.
inline DoublePair pair_distances(const DoublePair (&p)[4], DoublePair x, DoublePair y,
                                 DoublePair z) {
    return p[0] * x + p[1] * y + p[2] * z + p[3];
}

inline unsigned inside_or_on(double distance) {
    return distance >= 0.0;
}

// A distance that is not a number counts as outside.
inline unsigned outside_or_on(double distance) {
    return !(distance > 0.0);
}

// A negative index becomes a huge unsigned one, so one comparison of the largest refuses both.
inline bool indices_valid(const Face& face, size_t vertex_count) {
    return std::max({uint32_t(face.v[0]), uint32_t(face.v[1]), uint32_t(face.v[2])}) < vertex_count;
}

} // namespace face_setup_detail

inline MeshPose mesh_pose(const Matrix4& mesh_matrix, const Matrix4& camera_matrix) {
    MeshPose pose;
    matrix_inverse(camera_matrix, pose.mv);
    matrix_multiply(pose.mv, mesh_matrix, pose.mv);
    Matrix4 mv_inverse;
    matrix_inverse(pose.mv, mv_inverse);
    pose.ex = mv_inverse.at(3, 0);
    pose.ey = mv_inverse.at(3, 1);
    pose.ez = mv_inverse.at(3, 2);
    return pose;
}

// The faces of mesh that are drawn: face_count clamped to the faces present.
inline size_t drawn_face_count(const MeshObject& mesh) {
    if (mesh.face_count <= 0) return 0;
    return mesh.faces.size() < size_t(mesh.face_count) ? mesh.faces.size()
                                                       : size_t(mesh.face_count);
}

inline VertexTransform vertex_transform(const Matrix4& mv, const ViewSetup& view) {
    VertexTransform t;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            t.mv[row][column] = mv.at(row, column);
    for (size_t pair = 0; pair < 2; ++pair) {
        const Plane& p = view.planes[2 * pair];
        const Plane& q = view.planes[2 * pair + 1];
        t.planes[pair][0] = DoublePair{p.a, q.a};
        t.planes[pair][1] = DoublePair{p.b, q.b};
        t.planes[pair][2] = DoublePair{p.c, q.c};
        t.planes[pair][3] = DoublePair{p.d, q.d};
    }
    t.focal = view.focal;
    t.half_width = face_setup_detail::half(view.Width);
    t.half_height = face_setup_detail::half(view.Height);
    return t;
}

// The same arithmetic, term by term and in the same order, as transforming the vertex by the
// float matrix, classifying it with plane_distance and projecting it with project(). Written
// field by field into its place in the cache: a vertex built aside and copied in whole is read
// back as one wide load from several narrow stores, which the processor cannot forward and
// waits for (about a tenth of a frame of small faces).
[[gnu::always_inline]] inline void cache_vertex(const VertexTransform& t, const Vertex& vertex,
                                                CachedVertex& c) {
    using namespace face_setup_detail;
    const double x = vertex.x, y = vertex.y, z = vertex.z;
    c.x = static_cast<float>(x * t.mv[0][0] + y * t.mv[1][0] + z * t.mv[2][0] + t.mv[3][0]);
    c.y = static_cast<float>(x * t.mv[0][1] + y * t.mv[1][1] + z * t.mv[2][1] + t.mv[3][1]);
    c.z = static_cast<float>(x * t.mv[0][2] + y * t.mv[1][2] + z * t.mv[2][2] + t.mv[3][2]);
    const double cx = c.x, cy = c.y, cz = c.z;
    const DoublePair x2 = {cx, cx}, y2 = {cy, cy}, z2 = {cz, cz};
    const DoublePair d01 = pair_distances(t.planes[0], x2, y2, z2);
    const DoublePair d23 = pair_distances(t.planes[1], x2, y2, z2);
    const double d0 = d01[0], d1 = d01[1], d2 = d23[0], d3 = d23[1];
    c.in_or_on = uint8_t(inside_or_on(d0) | inside_or_on(d1) << 1 | inside_or_on(d2) << 2 |
                         inside_or_on(d3) << 3);
    c.out_or_on = uint8_t(outside_or_on(d0) | outside_or_on(d1) << 1 | outside_or_on(d2) << 2 |
                          outside_or_on(d3) << 3);
    if (cz >= kNearZ) {
        const float sx = static_cast<float>(t.focal * cx / cz + t.half_width);
        const float sy = static_cast<float>(t.focal * cy / cz + t.half_height);
        if (screen_coordinates_are_small(sx, sy)) {
            c.screen = small_screen_point(sx, sy);
            c.projection = kProjected | kSmall;
        } else {
            c.screen = screen_point(sx, sy);
            c.projection = kProjected;
        }
    } else {
        c.screen = ScreenPoint{};
        c.projection = 0;
    }
}

// Clips a triangle that straddles the frustum, projects the polygon and sets up its edges.
// Returns false when nothing of it is left to fill. Kept out of line: few faces take this way,
// and the per-face code stays small enough to inline.
bool set_up_clipped_triangle(const CachedVertex& a, const CachedVertex& b, const CachedVertex& c,
                             const ViewSetup& view, EdgeTables& tables);

// The back-face test: true when the face turns away from the camera (a face whose plane gives no
// number is never culled).
[[gnu::always_inline]] inline bool face_turns_away(const MeshPose& pose, const Face& face) {
    const Plane& p = face.plane;
    const double d =
        double(p.a) * pose.ex + double(p.b) * pose.ey + double(p.c) * pose.ez + double(p.d);
    return d > face_setup_detail::kBackFaceLimit;
}

// A face that turns towards the camera, with its (checked) vertex indices and its normal: the
// set-up reads a list of these in order and never the face again, whose record was read a whole
// mesh ago and has left the cache by then.
struct FrontFace {
    uint32_t v[3];
    float normal[3]; // the face plane's a, b, c
};

// Lists the faces first..stop-1 that turn towards the camera and have indices below
// vertex_count into out, in order, and calls mark(v) for each vertex index they use. Returns how
// many it listed. Faces it leaves out are those set_up_face drops before reading any vertex.
template <typename Mark>
[[gnu::always_inline]] inline size_t
list_front_faces(const MeshPose& pose, const Face* faces, size_t first, size_t stop,
                 size_t vertex_count, FrontFace* out, Mark&& mark) {
    FrontFace* next = out;
    for (size_t f = first; f < stop; ++f) {
        const Face& face = faces[f];
        if (face_turns_away(pose, face) || !face_setup_detail::indices_valid(face, vertex_count))
            continue;
        const FrontFace kept{{uint32_t(face.v[0]), uint32_t(face.v[1]), uint32_t(face.v[2])},
                             {face.plane.a, face.plane.b, face.plane.c}};
        *next++ = kept;
        mark(kept.v[0]);
        mark(kept.v[1]);
        mark(kept.v[2]);
    }
    return size_t(next - out);
}

// set_up_face for a face that face_turns_away kept, given its cached vertices a, b, c and its
// normal (the plane's a, b, c), which gives the colour of a face that is drawn.
[[gnu::always_inline]] inline bool
set_up_front_corners(const MeshPose& pose, const float (&normal)[3], const CachedVertex& a,
                     const CachedVertex& b, const CachedVertex& c, const ViewSetup& view,
                     uint32_t base_colour, EdgeTables& tables, uint32_t& colour) {
    using namespace face_setup_detail;
    const uint8_t all_in = a.in_or_on & b.in_or_on & c.in_or_on;
    const uint8_t all_out = a.out_or_on & b.out_or_on & c.out_or_on;
    if (all_in == kAllPlanes) {
        // Inside all four planes: the clipper would return the triangle unchanged, so the
        // cached projections are the polygon.
        const uint8_t projection = a.projection & b.projection & c.projection;
        if (!(projection & kProjected)) return false;
        if (projection & kSmall) {
            if (!small_triangle_fills(a.screen, b.screen, c.screen)) return false;
            if (!setup_small_triangle_edges(a.screen, b.screen, c.screen, tables)) return false;
        } else if (!setup_triangle_edges(a.screen, b.screen, c.screen, tables)) {
            return false;
        }
    } else {
        if ((all_out & ~all_in & kAllPlanes) != 0) return false; // wholly outside one plane
        if (!set_up_clipped_triangle(a, b, c, view, tables)) return false;
    }
    colour = face_colour(pose.mv, normal, base_colour);
    return true;
}

// set_up_face for a face that face_turns_away kept: reads only the cached vertices of this face.
[[gnu::always_inline]] inline bool set_up_front_face(const MeshPose& pose, const Face& face,
                                                     std::span<const CachedVertex> cache,
                                                     const ViewSetup& view, uint32_t base_colour,
                                                     EdgeTables& tables, uint32_t& colour) {
    return face_setup_detail::indices_valid(face, cache.size()) &&
           set_up_front_corners(pose, {face.plane.a, face.plane.b, face.plane.c},
                                cache[size_t(face.v[0])], cache[size_t(face.v[1])],
                                cache[size_t(face.v[2])], view, base_colour, tables, colour);
}

// Culls, clips, projects and shades one face against the cached vertices of its mesh. Returns
// true with the edge tables and the face colour set when the face has rows to fill. Always
// inlined: GCC otherwise keeps one out-of-line copy, and the call per face costs about 5%.
[[gnu::always_inline]] inline bool set_up_face(const MeshPose& pose, const Face& face,
                                               std::span<const CachedVertex> cache,
                                               const ViewSetup& view, uint32_t base_colour,
                                               EdgeTables& tables, uint32_t& colour) {
    return !face_turns_away(pose, face) &&
           set_up_front_face(pose, face, cache, view, base_colour, tables, colour);
}
