#include "render/model_look.h"

#include "render/face_setup.h"
#include "render/numeric.h"
#include "render/renderer.h"
#include "render/shaded_fill.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace {

// The border planes stand this many pixels outside the frame: faces are cut there, so that
// projected coordinates stay small, and the fill clips the rest exactly to the frame.
constexpr float kBorderMargin = 64.0f;
constexpr uint8_t kNear = 1;

// A corner while a face is cut: camera space, colour and mapping coordinates.
struct CutVertex {
    float x, y, z;
    float r, g, b;
    float u, v;
};

// One face on its way to the span filling: its corners as transformed, their lit colours, the
// mesh vertices they came from (for the mapping coordinates) and its material's picture.
struct FaceToDraw {
    const ModelVertex* corner[3];
    const ScreenPlace* on_screen[3];
    VertexSides sides[3];
    const float* colour[3];
    const Vertex* source[3];
    const TextureMapping* texture;
};

constexpr size_t kMaxCutVertices = 3 + 5; // each of the five planes adds at most one corner

struct CutPolygon {
    size_t count = 0;
    std::array<CutVertex, kMaxCutVertices + 1> v;
};

// The five planes a face is cut by: the near plane, then the right, left, top and bottom planes
// kBorderMargin pixels outside the frame. Each distance is positive inside and scaled as it
// comes (only its sign and the ratio of two distances from the same plane matter).
struct CutPlanes {
    float focal, half_width, half_height; // the borders' half sizes in pixels, margin included
};

CutPlanes cut_planes(const ViewSetup& view) {
    return {view.focal, float(view.Width) / 2 + kBorderMargin,
            float(view.Height) / 2 + kBorderMargin};
}

float distance_to(const CutPlanes& p, size_t k, float x, float y, float z) {
    switch (k) {
    case 0:
        return z - kModelNearZ;
    case 1:
        return p.half_width * z - p.focal * x;
    case 2:
        return p.half_width * z + p.focal * x;
    case 3:
        return p.half_height * z - p.focal * y;
    default:
        return p.half_height * z + p.focal * y;
    }
}

float between(float a, float b, double s) {
    return float(double(a) + s * (double(b) - double(a)));
}

// Keeps the part of polygon on the inner side of plane k (Sutherland and Hodgman).
void cut(CutPolygon& polygon, const CutPlanes& planes, size_t k) {
    CutPolygon out;
    for (size_t i = 0; i < polygon.count; ++i) {
        const CutVertex& p = polygon.v[i];
        const CutVertex& q = polygon.v[(i + 1) % polygon.count];
        const double dp = distance_to(planes, k, p.x, p.y, p.z);
        const double dq = distance_to(planes, k, q.x, q.y, q.z);
        if (dp >= 0 && out.count < kMaxCutVertices) out.v[out.count++] = p;
        if ((dp >= 0) != (dq >= 0) && out.count < kMaxCutVertices) {
            const double s = dp / (dp - dq);
            out.v[out.count++] = {between(p.x, q.x, s), between(p.y, q.y, s), between(p.z, q.z, s),
                                  between(p.r, q.r, s), between(p.g, q.g, s), between(p.b, q.b, s),
                                  between(p.u, q.u, s), between(p.v, q.v, s)};
        }
    }
    polygon = out;
}

// Lit colour of a material where the surface normal meets the direction to the eye at cosine.
void lit_colour(const ModelMaterial& m, float cosine, float* out) {
    const float d = cosine > 0.0f ? std::min(cosine, 1.0f) : 0.0f; // NaN: unlit
    const float highlight = m.has_specular ? std::pow(d, m.exponent) : 0.0f;
    for (size_t c = 0; c < 3; ++c)
        out[c] = std::min(m.base[c] + m.diffuse[c] * d + m.specular[c] * highlight, 255.0f);
}

// The cosine between an object-space normal, carried into camera space by the pose, and the
// direction from the camera-space point (x, y, z) to the eye.
float eye_cosine(const Matrix4& mv, float nx, float ny, float nz, float x, float y, float z) {
    const float cx = nx * mv.at(0, 0) + ny * mv.at(1, 0) + nz * mv.at(2, 0);
    const float cy = nx * mv.at(0, 1) + ny * mv.at(1, 1) + nz * mv.at(2, 1);
    const float cz = nx * mv.at(0, 2) + ny * mv.at(1, 2) + nz * mv.at(2, 2);
    const float lengths = std::sqrt((cx * cx + cy * cy + cz * cz) * (x * x + y * y + z * z));
    return -(cx * x + cy * y + cz * z) / lengths;
}

// The first pixel centre at or after coordinate p (a column for x, a row for y), as the span
// filling finds it.
int32_t first_centre_at_or_after(float p) {
    return ceil_to_int32(double(p) - 0.5);
}

// A face wholly inside the borders whose corners lie between the same two columns or the same
// two rows of pixel centres covers none: most faces of a dense mesh far away. They leave before
// anything else is worked out for them. (Bitwise operators: the answer is a coin toss for the
// processor's branch prediction.)
bool between_centres(VertexSides sides, const ScreenPlace& a, const ScreenPlace& b,
                     const ScreenPlace& c) {
    return (sides == 0) & (((a.column == b.column) & (b.column == c.column)) |
                           ((a.row == b.row) & (b.row == c.row)));
}

// The pixel centres of a face whose bounds hold at most two columns and two rows of them (the
// faces of a dense mesh far away are mostly smaller than a pixel): which it clearly covers, and
// whether it clearly misses the others. "Clearly": farther than kCentreMargin pixels from every
// edge, far above the rounding of any of these sums, so the span filling would decide the same,
// and faces sharing an edge still fill each pixel on it once. Such a face fills its pixels
// without the span filling's search for them, or leaves when it covers none; a face with a centre
// near an edge, or a larger one, is left to the span filling.
constexpr float kCentreMargin = 1.0f / 1024;

struct CentreBlock {
    uint8_t covered; // bit 2 * r + c: the centre c columns right of and r rows below the first
    bool decided;    // the bounds hold at most two by two centres, none near an edge
};

// Four lanes of single-precision numbers (GCC's and Clang's vector extension). Single precision
// keeps the rounding of a small face's sums below a thousandth of kCentreMargin: the differences
// of coordinates a few pixels apart are exact, and each product rounds by a ten-millionth.
typedef float Lanes __attribute__((vector_size(16)));
typedef int32_t LaneMask __attribute__((vector_size(16)));

// The four centres of the block, in lanes: the first column and row, the next column, the next
// row, both. Each edge's sums run side by side; a centre clearly on the inner side of all three
// edges, for either winding, is covered, and one clearly beyond one edge and clearly inside
// another is missed, for either winding. (A face without area has no centre clearly inside all
// three: the three sums add up to twice its area.) Nothing here branches: whether a face is
// decided, and how many centres its bounds hold, are coin tosses for the processor.
CentreBlock meet_centres(const ScreenPlace& a, const ScreenPlace& b, const ScreenPlace& c) {
    const int32_t column = std::min({a.column, b.column, c.column});
    const int32_t row = std::min({a.row, b.row, c.row});
    const int32_t columns = std::max({a.column, b.column, c.column}) - column;
    const int32_t rows = std::max({a.row, b.row, c.row}) - row;
    const float px = float(column) + 0.5f, py = float(row) + 0.5f;
    const Lanes next_column = {0, 1, 0, 1}, next_row = {0, 0, 1, 1};
    const LaneMask in_bounds = (next_column < float(columns)) & (next_row < float(rows));
    LaneMask all_left = in_bounds, all_right = in_bounds, any_left = {}, any_right = {};
    const auto edge = [&](const ScreenPlace& p, const ScreenPlace& q) {
        const float ex = q.sx - p.sx, ey = q.sy - p.sy;
        const float first = ex * (py - p.sy) - ey * (px - p.sx);
        const Lanes side = first + next_row * ex - next_column * ey;
        const float margin = kCentreMargin * (std::fabs(ex) + std::fabs(ey));
        const LaneMask left = side<-margin, right = side> margin;
        all_left &= left;
        all_right &= right;
        any_left |= left;
        any_right |= right;
    };
    edge(a, b);
    edge(b, c);
    edge(c, a);
    const LaneMask inside = all_left | all_right;
    const LaneMask unsure = in_bounds & ~inside & ~(any_left & any_right);
    const uint32_t covered = uint32_t(inside[0] & 1) | uint32_t(inside[1] & 2) |
                             uint32_t(inside[2] & 4) | uint32_t(inside[3] & 8);
    const bool small = (columns <= 2) & (rows <= 2);
    return {uint8_t(covered), bool(small & ((unsure[0] | unsure[1] | unsure[2] | unsure[3]) == 0))};
}

// Vertices in[0..3] into camera space, their sides of each plane, and their places on the
// screen, four lanes at a time (a vertex nearer than the near plane gets numbers that nothing
// reads); the first count of them are stored at out. Every vertex goes through these very lanes,
// so a vertex comes out the same wherever it lies in the mesh.
[[gnu::always_inline]] inline void place_vertices(const ViewSetup& view, const CutPlanes& p,
                                                  const Matrix4& mv, const Vertex* in, size_t count,
                                                  ModelVertex* placed, ScreenPlace* screen,
                                                  VertexSides* sides) {
    const Lanes ix = {in[0].x, in[1].x, in[2].x, in[3].x};
    const Lanes iy = {in[0].y, in[1].y, in[2].y, in[3].y};
    const Lanes iz = {in[0].z, in[1].z, in[2].z, in[3].z};
    const Lanes x = ix * mv.at(0, 0) + iy * mv.at(1, 0) + iz * mv.at(2, 0) + mv.at(3, 0);
    const Lanes y = ix * mv.at(0, 1) + iy * mv.at(1, 1) + iz * mv.at(2, 1) + mv.at(3, 1);
    const Lanes z = ix * mv.at(0, 2) + iy * mv.at(1, 2) + iz * mv.at(2, 2) + mv.at(3, 2);
    // Outside: a comparison that fails, which a coordinate that is not a number always does.
    const Lanes w = p.half_width * z, h = p.half_height * z, fx = p.focal * x, fy = p.focal * y;
    const LaneMask outside = (~(z >= kModelNearZ) & kNear) | (~(fx <= w) & 2) | (~(-fx <= w) & 4) |
                             (~(fy <= h) & 8) | (~(-fy <= h) & 16);
    const Lanes inv_z = 1.0f / z;
    const Lanes sx = view.focal * x * inv_z + float(view.Width) / 2;
    const Lanes sy = view.focal * y * inv_z + float(view.Height) / 2;
    for (size_t k = 0; k < count; ++k) {
        placed[k] = {x[k], y[k], z[k], inv_z[k]};
        screen[k] = {sx[k], sy[k], first_centre_at_or_after(sx[k]),
                     first_centre_at_or_after(sy[k])};
        sides[k] = VertexSides(outside[k]);
    }
}

ShadedVertex projected(const ViewSetup& view, const CutVertex& v) {
    const float inv_z = 1.0f / v.z;
    return {view.focal * v.x * inv_z + float(view.Width) / 2,
            view.focal * v.y * inv_z + float(view.Height) / 2,
            inv_z,
            v.r,
            v.g,
            v.b,
            v.u,
            v.v};
}

struct MeshJob {
    const ViewSetup& view;
    const CutPlanes& planes;
    const DepthFrame& target;
};

DepthFrame depth_frame(ModelScratch& s, const Frame& frame) {
    return {frame, s.depth.data(), frame.width};
}

void draw_cut_face(const MeshJob& job, const FaceToDraw& face) {
    const auto& corner = face.corner;
    CutPolygon polygon;
    polygon.count = 3;
    for (size_t k = 0; k < 3; ++k)
        polygon.v[k] = {corner[k]->x,      corner[k]->y,      corner[k]->z,      face.colour[k][0],
                        face.colour[k][1], face.colour[k][2], face.source[k]->u, face.source[k]->v};
    const uint8_t any = face.sides[0] | face.sides[1] | face.sides[2];
    for (size_t k = 0; k < 5 && polygon.count >= 3; ++k)
        if (any & (1u << k)) cut(polygon, job.planes, k);
    if (polygon.count < 3) return;
    ShadedTriangle t;
    t.texture = face.texture;
    t.v[0] = projected(job.view, polygon.v[0]);
    for (size_t i = 1; i + 1 < polygon.count; ++i) {
        t.v[1] = projected(job.view, polygon.v[i]);
        t.v[2] = projected(job.view, polygon.v[i + 1]);
        fill_shaded_triangle(t, job.target);
    }
}

// A face that lies wholly beyond no plane; covered: its pixels, when meet_centres knows them
// (0: the span filling finds them).
void draw_face(const MeshJob& job, const FaceToDraw& face, uint32_t covered) {
    if ((face.sides[0] | face.sides[1] | face.sides[2]) != 0) {
        draw_cut_face(job, face);
        return;
    }
    const auto& corner = face.corner;
    const auto& on_screen = face.on_screen;
    ShadedTriangle t;
    t.texture = face.texture;
    for (size_t k = 0; k < 3; ++k)
        t.v[k] = {on_screen[k]->sx,  on_screen[k]->sy,  corner[k]->inv_z,
                  face.colour[k][0], face.colour[k][1], face.colour[k][2]};
    // Mapping coordinates only for a picture: the mesh's vertex records lie far from the rest.
    if (face.texture != nullptr)
        for (size_t k = 0; k < 3; ++k) {
            t.v[k].u = face.source[k]->u;
            t.v[k].v = face.source[k]->v;
        }
    if (covered != 0)
        fill_shaded_block(
            t, job.target,
            std::min({on_screen[0]->column, on_screen[1]->column, on_screen[2]->column}),
            std::min({on_screen[0]->row, on_screen[1]->row, on_screen[2]->row}), covered);
    else
        fill_shaded_triangle(t, job.target);
}

} // namespace

bool begin_model_frame(Renderer& renderer, const Frame& frame) {
    ModelScratch& s = renderer.model;
    if (!frame_is_drawable(frame)) return true;
    for (int32_t y = 0; y < frame.height; ++y)
        std::fill_n(frame.pixels + size_t(y) * size_t(frame.stride), frame.width, 0u);
    if (!grow_buffer(s.depth, size_t(frame.width) * size_t(frame.height))) return false;
    std::fill_n(s.depth.begin(), size_t(frame.width) * size_t(frame.height), 0.0f);
    return true;
}

void draw_model_mesh(Renderer& renderer, const ModelMesh& shading, const MeshObject& mesh,
                     const Matrix4& mesh_matrix, const Matrix4& camera_matrix, const Frame& frame) {
    const size_t face_count = drawn_face_count(mesh);
    const size_t vertex_count = mesh.vertices.size();
    ModelScratch& s = renderer.model;
    if (face_count == 0 || !frame_is_drawable(frame) || shading.faces.size() < face_count ||
        shading.normals.size() < face_count || shading.vertex_count != vertex_count ||
        s.depth.size() < size_t(frame.width) * size_t(frame.height) ||
        shading.materials.size() > kMaxModelMaterials)
        return;
    if (!grow_buffer(s.vertices, vertex_count) || !grow_buffer(s.screen, vertex_count) ||
        !grow_buffer(s.sides, vertex_count) || !grow_buffer(s.faces, face_count) ||
        !grow_buffer(s.point_sides, shading.points.size()) ||
        !grow_buffer(s.point_colours, shading.points.size() * 6))
        return;
    const MeshPose pose = mesh_pose(mesh_matrix, camera_matrix);
    const ViewSetup& view = renderer.view;
    const CutPlanes planes = cut_planes(view);
    const Matrix4& mv = pose.mv;

    // The loops below read sizes and arrays through locals: their byte stores may alias anything,
    // and would otherwise make the compiler load each size and array again for every face.
    const size_t material_count = shading.materials.size();
    const size_t point_count = shading.points.size();
    const ModelFace* const model_faces = shading.faces.data();
    const ModelMaterial* const materials = shading.materials.data();
    const Face* const faces = mesh.faces.data();
    ModelListedFace* const to_draw = s.faces.data();
    ModelVertex* const placed = s.vertices.data();
    ScreenPlace* const screen = s.screen.data();
    VertexSides* const sides = s.sides.data();
    uint8_t* const point_sides = s.point_sides.data();

    // Every vertex is placed, used or not: one plain pass over them costs less than finding
    // first which ones the faces that turn towards the camera use.
    const Vertex* const vertices = mesh.vertices.data();
    size_t i = 0;
    for (; i + 4 <= vertex_count; i += 4)
        place_vertices(view, planes, mv, vertices + i, 4, placed + i, screen + i, sides + i);
    if (i < vertex_count) {
        Vertex last[4];
        for (size_t k = 0; k < 4; ++k)
            last[k] = vertices[std::min(i + k, vertex_count - 1)];
        place_vertices(view, planes, mv, last, vertex_count - i, placed + i, screen + i, sides + i);
    }

    // The faces that turn towards the camera, and the two-sided ones that turn away, that are
    // not wholly beyond one plane nor between two rows or columns of pixel centres (most faces
    // of a dense mesh far away). Whether a face that turns towards the camera stays is a coin
    // toss for the processor's branch prediction, so each is written and the count moves on
    // only for those that stay. A mesh whose faces are all drawable and one-sided (most are)
    // need not read its shading's faces for those that turn away.
    const bool plain = shading.plain;
    size_t near_centres = 0;
    for (size_t f = 0; f < face_count; ++f) {
        const Face& face = faces[f];
        const bool back = face_turns_away(pose, face);
        if (plain && back) continue;
        const ModelFace& model_face = model_faces[f];
        const uint32_t material = model_face.material;
        if (!plain) {
            if (material >= material_count) continue; // bad indices
            if (back && !materials[material].two_sided) continue;
        }
        ModelListedFace& out = to_draw[near_centres];
        out.v[0] = uint32_t(face.v[0]);
        out.v[1] = uint32_t(face.v[1]);
        out.v[2] = uint32_t(face.v[2]);
        out.shade[0] = model_face.shade[0];
        out.shade[1] = model_face.shade[1];
        out.shade[2] = model_face.shade[2];
        out.material = material;
        out.face = uint32_t(f);
        out.back = back;
        out.covered = 0;
        const VertexSides a = sides[out.v[0]], b = sides[out.v[1]], c = sides[out.v[2]];
        near_centres += ((a & b & c) == 0) & !between_centres(a | b | c, screen[out.v[0]],
                                                              screen[out.v[1]], screen[out.v[2]]);
    }

    // Of those, the faces to draw: those whose pixel centres are not known to be missed. Each
    // marks its shading points on the side it shows, so that only those are lit.
    size_t listed = 0;
    for (size_t i = 0; i < near_centres; ++i) {
        ModelListedFace candidate = to_draw[i];
        const uint32_t i0 = candidate.v[0], i1 = candidate.v[1], i2 = candidate.v[2];
        const CentreBlock block = (sides[i0] | sides[i1] | sides[i2]) == 0
                                      ? meet_centres(screen[i0], screen[i1], screen[i2])
                                      : CentreBlock{0, false};
        candidate.covered = block.decided ? block.covered : 0;
        to_draw[listed] = candidate;
        const bool stays = !block.decided || block.covered != 0;
        const uint8_t side = uint8_t((candidate.back ? 2 : 1) * stays);
        for (const uint32_t point : candidate.shade)
            if (point < point_count) point_sides[point] |= side;
        listed += stays;
    }

    const ShadingPoint* const points = shading.points.data();
    float* const point_colours = s.point_colours.data();
    for (size_t p = 0; p < point_count; ++p) {
        const uint8_t sides = point_sides[p];
        if (sides == 0) continue;
        point_sides[p] = 0;
        const ShadingPoint& point = points[p];
        const ModelVertex& v = placed[point.vertex];
        const float cosine = eye_cosine(mv, point.nx, point.ny, point.nz, v.x, v.y, v.z);
        const ModelMaterial& material = materials[point.material];
        float* colours = point_colours + 3 * p;
        if (sides & 1) lit_colour(material, cosine, colours);
        if (sides & 2) lit_colour(material, -cosine, colours + 3 * point_count);
    }

    const DepthFrame target = depth_frame(s, frame);
    const MeshJob job{view, planes, target};
    for (size_t i = 0; i < listed; ++i) {
        const ModelListedFace& face = to_draw[i];
        const ModelMaterial& material = materials[face.material];
        const uint32_t i0 = face.v[0], i1 = face.v[1], i2 = face.v[2];
        FaceToDraw draw{{&placed[i0], &placed[i1], &placed[i2]},
                        {&screen[i0], &screen[i1], &screen[i2]},
                        {sides[i0], sides[i1], sides[i2]},
                        {},
                        {&vertices[i0], &vertices[i1], &vertices[i2]},
                        material.textured ? &material.texture : nullptr};
        const bool smooth = face.shade[0] < point_count && face.shade[1] < point_count &&
                            face.shade[2] < point_count;
        if (smooth) {
            const size_t side = face.back ? 3 * point_count : 0;
            for (size_t k = 0; k < 3; ++k)
                draw.colour[k] = point_colours + 3 * face.shade[k] + side;
            draw_face(job, draw, face.covered);
            continue;
        }
        // A flat face has one colour, and the faces of one plane (the two halves of a box's
        // side) the same one: lit along the line of sight, not towards the face's own middle,
        // which differs from face to face and split a flat side into two shades.
        const FaceNormal& normal = shading.normals[face.face];
        const float cosine = eye_cosine(mv, normal.nx, normal.ny, normal.nz, 0, 0, 1);
        float flat[3];
        lit_colour(material, face.back ? -cosine : cosine, flat);
        draw.colour[0] = draw.colour[1] = draw.colour[2] = flat;
        draw_face(job, draw, face.covered);
    }
}
