#include "render/mesh_renderer.h"
#include "render/raster.h"
#include "render/renderer.h"
#include "render/view.h"
#include "tests/render_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using fixtures::vertex;

constexpr uint32_t kBase = 0x00FA8008;
constexpr uint32_t kFull = 0x00F97F07; // kBase at intensity 255

Matrix4 identity() {
    Matrix4 m;
    matrix_identity(m);
    return m;
}

class MeshRenderer : public ::testing::Test {
  protected:
    void SetUp() override {
        setup_view(renderer.view, 512, 384);
        frame.assign(512 * 384, 0u);
    }
    uint32_t pixel(int x, int y) const { return frame[size_t(y) * 512 + size_t(x)]; }
    int count(uint32_t value) const {
        int n = 0;
        for (uint32_t p : frame)
            n += (p == value);
        return n;
    }
    void draw(const MeshObject& mesh, const Matrix4& camera = identity()) {
        draw_mesh(renderer, identity(), camera, mesh, make_frame(frame, 512, 384), kBase);
    }
    Renderer renderer;
    std::vector<uint32_t> frame;
};

// A large triangle at depth z facing the identity camera, counter-clockwise on the screen.
MeshObject facing_triangle(float z) {
    return fixtures::mesh({vertex(-20, -20, z), vertex(-20, 20, z), vertex(20, 20, z)},
                          {{0, 1, 2}});
}

TEST(Shading, ColourFormulaDividesEachChannelBy256) {
    EXPECT_EQ(shade_colour(kBase, 255), 0x00F97F07u);
    EXPECT_EQ(shade_colour(kBase, 200), 0x00C36406u);
    EXPECT_EQ(shade_colour(kBase, 128), 0x007D4004u);
    EXPECT_EQ(shade_colour(kBase, 1), 0u);
    EXPECT_EQ(shade_colour(kBase, 0), 0u);
    EXPECT_EQ(shade_colour(0xFFFFFFFFu, 255), 0x00FEFEFEu); // the top byte never survives
}

TEST(Shading, IntensityDependsOnlyOnTheAngleToTheViewAxis) {
    EXPECT_EQ(face_intensity(0, 0, 1), 255);
    EXPECT_EQ(face_intensity(0, 0, -3), 255);
    EXPECT_EQ(face_intensity(1, 0, 0), 0);
    EXPECT_EQ(face_intensity(0, std::sqrt(3.0), 1), 127); // nz / L = 0.5
    EXPECT_EQ(face_intensity(0, -std::sqrt(3.0), -1), 127);
    EXPECT_EQ(face_intensity(0, 0, 0), 0);
    EXPECT_EQ(face_intensity(std::numeric_limits<double>::quiet_NaN(), 0, 1), 0);
    EXPECT_EQ(face_intensity(0, 0, std::numeric_limits<double>::infinity()), 0);
}

TEST_F(MeshRenderer, SquareFacingTheCameraIsTheExpectedRectangle) {
    // (+-1, +-1, 10) projects to x 230.4..281.6 and y 166.4..217.6: columns 230..280 and
    // rows 167..217, at full intensity because the normal lies along the view axis.
    const MeshObject square =
        fixtures::mesh({vertex(-1, -1, 10), vertex(1, -1, 10), vertex(1, 1, 10), vertex(-1, 1, 10)},
                       {{0, 3, 2}, {0, 2, 1}});
    draw(square);
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) {
            const bool inside = x >= 230 && x <= 280 && y >= 167 && y <= 217;
            ASSERT_EQ(pixel(x, y), inside ? kFull : 0u) << "pixel " << x << "," << y;
        }
    }
}

TEST_F(MeshRenderer, BackFacesAreCulledAndClockwiseFacesAreNotFilled) {
    MeshObject away = fixtures::mesh(
        {vertex(-20, -20, 10), vertex(20, 20, 10), vertex(-20, 20, 10)}, {{0, 1, 2}});
    draw(away);
    EXPECT_EQ(count(0), 512 * 384);
    // Even with a plane that lets it through the cull, a clockwise face fills no pixel.
    away.faces[0].plane = Plane{0, 0, 1, -10};
    draw(away);
    EXPECT_EQ(count(0), 512 * 384);
    draw(facing_triangle(10));
    EXPECT_GT(count(kFull), 1000);
}

TEST_F(MeshRenderer, BackFaceThresholdIsStrictlyAboveOneTenth) {
    // Camera position in object space = the camera's translation here, so d = Ex + Ey + Ez for
    // the plane (1, 1, 1, 0). Three floats are chosen to sum to exactly the double 0.1.
    const float e1 = float(0.1);
    const float e2 = float(0.1 - double(e1));
    const float e3 = float(0.1 - double(e1) - double(e2));
    ASSERT_EQ(double(e1) + double(e2) + double(e3), 0.1);
    auto drawn_with = [&](float ex, float ey, float ez, float d) {
        MeshObject m = facing_triangle(10);
        m.faces[0].plane = Plane{1, 1, 1, d};
        Matrix4 camera = identity();
        matrix_translate(camera, ex, ey, ez);
        frame.assign(512 * 384, 0u);
        draw(m, camera);
        return count(0) < 512 * 384;
    };
    EXPECT_TRUE(drawn_with(e1, e2, e3, 0.0f)) << "d equal to 0.1 is drawn";
    const double above = std::nextafter(0.1, 1.0);
    const float e3_above = float(above - double(e1) - double(e2));
    ASSERT_EQ(double(e1) + double(e2) + double(e3_above), above);
    EXPECT_FALSE(drawn_with(e1, e2, e3_above, 0.0f)) << "just above is culled";
    EXPECT_FALSE(drawn_with(0, 0, 0, 0.1f)) << "the float 0.1 lies above the double 0.1";
    EXPECT_TRUE(drawn_with(0, 0, 0, std::nextafter(0.1f, 0.0f)));
    EXPECT_TRUE(drawn_with(0, 0, 0, 0.0f)) << "a plane through the camera is drawn";
}

TEST_F(MeshRenderer, PolygonsReachingCloserThanOneTenthAreDropped) {
    MeshObject m =
        fixtures::mesh({vertex(0, 0, 0.05f), vertex(-10, 10, 20), vertex(10, 10, 20)}, {{0, 1, 2}});
    m.faces[0].plane = Plane{0, 0, 1, -20}; // drawn whatever the geometry says
    draw(m);
    EXPECT_EQ(count(0), 512 * 384);
    m.vertices[0].z = 0.1f;
    draw(m);
    EXPECT_GT(count(0), 0);
    EXPECT_LT(count(0), 512 * 384);

    // The same drop on the clipping path: a triangle that also crosses a frustum plane.
    frame.assign(512 * 384, 0u);
    m.vertices[0].z = 0.05f;
    m.vertices[2].x = 1000;
    draw(m);
    EXPECT_EQ(count(0), 512 * 384);
}

TEST_F(MeshRenderer, DegenerateFacesAreDrawnBlack) {
    MeshObject m = facing_triangle(10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    m.faces[0].plane = Plane{nan, nan, nan, nan};
    frame.assign(512 * 384, 0x00FFFFFFu);
    draw(m);
    const int black = count(0);
    EXPECT_GT(black, 1000);
    // Zero-length normal: also black, also never culled.
    m.faces[0].plane = Plane{0, 0, 0, 0};
    frame.assign(512 * 384, 0x00FFFFFFu);
    draw(m);
    EXPECT_EQ(count(0), black);
}

TEST_F(MeshRenderer, LaterFacesCoverEarlierOnes) {
    MeshObject m = fixtures::mesh({vertex(-20, -20, 10), vertex(-20, 20, 10), vertex(20, 20, 10),
                                   vertex(-20, -20, 10), vertex(-20, 20, 10), vertex(20, 20, 12)},
                                  {{0, 1, 2}, {3, 4, 5}});
    draw(m);
    const uint32_t second = pixel(240, 200);
    EXPECT_NE(second, kFull); // the tilted second face is darker and drawn last
    EXPECT_NE(second, 0u);
}

TEST_F(MeshRenderer, EmptyAndMalformedMeshesDrawNothing) {
    // The frame starts black; a case that drew anything would leave a pixel that is not.
    MeshObject none;
    draw(none);
    EXPECT_EQ(count(0), 512 * 384) << "empty mesh";
    MeshObject bad = facing_triangle(10);
    bad.faces[0].v = {0, 1, 3};
    draw(bad);
    EXPECT_EQ(count(0), 512 * 384) << "vertex index past the array";
    bad.faces[0].v = {-1, 1, 2};
    draw(bad);
    EXPECT_EQ(count(0), 512 * 384) << "negative vertex index";
    bad = facing_triangle(10);
    bad.face_count = 0;
    draw(bad);
    EXPECT_EQ(count(0), 512 * 384) << "face count 0";
    bad.face_count = 5; // more than the array holds
    frame.assign(512 * 384, 0u);
    draw(bad);
    EXPECT_GT(count(kFull), 0);
    bad.face_count = -1;
    frame.assign(512 * 384, 0u);
    draw(bad);
    EXPECT_EQ(count(0), 512 * 384);
}

} // namespace

// An independent picture of the whole per-face pipeline: its own transform, clipper,
// projection, shade and row-by-row span rule, sharing nothing with the renderer but the matrix
// operations. Rows are filled by evaluating each chain's 16.16 edge at the row directly instead
// of stepping, which for a convex polygon is the same value.
namespace independent {

struct V {
    float x, y, z;
};

double distance(const Plane& p, const V& v) {
    return double(p.a) * v.x + double(p.b) * v.y + double(p.c) * v.z + double(p.d);
}

std::vector<V> clip(const std::array<V, 3>& tri, const std::array<Plane, 4>& planes) {
    std::vector<V> poly(tri.begin(), tri.end());
    for (const Plane& plane : planes) {
        int in_or_on = 0, out_or_on = 0;
        for (const V& v : tri) {
            const double d = distance(plane, v);
            in_or_on += d >= 0;
            out_or_on += !(d > 0);
        }
        if (in_or_on < 3 && out_or_on == 3) return {};
    }
    for (const Plane& plane : planes) {
        int in_or_on = 0;
        for (const V& v : tri)
            in_or_on += distance(plane, v) >= 0;
        if (in_or_on == 3) continue;
        std::vector<V> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const V& a = poly[(i + poly.size() - 1) % poly.size()];
            const V& b = poly[i];
            const double da = distance(plane, a), db = distance(plane, b);
            const bool a_in = da > 0, b_in = db > 0, a_out = !(da >= 0), b_out = !(db >= 0);
            const bool b_on = !b_in && !b_out;
            // The cut point is measured from the end nearer the outside (o) towards the other
            // (i), t = do / (do - di) in [0, 1], in extended precision: no formula in common
            // with the renderer's, which steps from the edge's first vertex in double. Both
            // round to the nearest float except within a few units of the 53rd bit of a tie.
            auto cut = [&] {
                if (da == db || std::isnan(da) || std::isnan(db)) return a;
                const bool a_nearer_outside = da < db;
                const V& o = a_nearer_outside ? a : b;
                const V& i = a_nearer_outside ? b : a;
                const long double d_o = a_nearer_outside ? da : db;
                const long double d_i = a_nearer_outside ? db : da;
                const long double t = d_o / (d_o - d_i);
                auto at = [&](float from, float to) {
                    return float(from + t * ((long double)to - from));
                };
                return V{at(o.x, i.x), at(o.y, i.y), at(o.z, i.z)};
            };
            if (b_in && a_out) out.push_back(cut());
            if (b_in) out.push_back(b);
            if (a_in && (b_out || b_on)) out.push_back(cut());
        }
        poly = out;
    }
    return poly;
}

// Out-of-range conversions clamp (a clipped edge almost along a row has a slope far beyond
// 16.16), and fixed-point x wraps like a 32-bit register.
int64_t to_int32(double value) {
    return std::isnan(value) ? 0 : int64_t(std::clamp(value, -2147483648.0, 2147483647.0));
}

int64_t wrap32(int64_t value) {
    return int64_t(int32_t(uint32_t(uint64_t(value))));
}

struct Edge {
    int64_t first = 0, lines = 0, x = 0, dx = 0;
};

bool make_edge(const V& p, const V& q, Edge& e) {
    const double first = std::ceil(double(p.y));
    e.lines = to_int32(std::ceil(double(q.y)) - first);
    if (e.lines <= 0) return false;
    e.dx = to_int32((double(q.x) - p.x) / (double(q.y) - p.y) * 65536.0);
    e.x = to_int32((first - p.y) * double(e.dx) + double(p.x) * 65536.0);
    e.first = to_int32(first);
    return true;
}

int64_t chain_x(const std::vector<Edge>& chain, int64_t row) {
    for (const Edge& e : chain)
        if (row >= e.first && row < e.first + e.lines) return wrap32(e.x + (row - e.first) * e.dx);
    ADD_FAILURE() << "no edge of the chain covers row " << row;
    return 0;
}

int64_t floor_pixel(int64_t fixed) {
    return fixed >= 0 ? fixed / 65536 : -((-fixed + 65535) / 65536);
}

void fill(const std::vector<V>& poly, std::vector<uint32_t>& frame, uint32_t colour) {
    const size_t n = poly.size();
    size_t top = 0, bottom = 0;
    float min_y = 65536.0f, max_y = -65536.0f;
    for (size_t i = 0; i < n; ++i) {
        if (poly[i].y < min_y) min_y = poly[i].y, top = i;
        if (poly[i].y > max_y) max_y = poly[i].y, bottom = i;
    }
    const int64_t first_row = int64_t(std::ceil(double(min_y)));
    const int64_t end_row = int64_t(std::ceil(double(max_y)));
    if (first_row >= end_row) return;
    std::vector<Edge> left, right;
    Edge e;
    for (size_t i = top; i != bottom; i = (i + 1) % n)
        if (make_edge(poly[i], poly[(i + 1) % n], e)) left.push_back(e);
    for (size_t j = bottom; j != top; j = (j + 1) % n)
        if (make_edge(poly[(j + 1) % n], poly[j], e)) right.push_back(e);
    for (int64_t row = first_row; row < end_row; ++row) {
        const int64_t l = floor_pixel(chain_x(left, row)), r = floor_pixel(chain_x(right, row));
        for (int64_t x = l; x < r; ++x) {
            ASSERT_TRUE(row >= 0 && row < 384 && x >= 0 && x < 512) << x << "," << row;
            frame[size_t(row * 512 + x)] = colour;
        }
    }
}

uint32_t colour_of(const Matrix4& mv, const Plane& p, uint32_t base) {
    double n[3];
    for (int c = 0; c < 3; ++c)
        n[c] = double(p.a) * mv.at(0, c) + double(p.b) * mv.at(1, c) + double(p.c) * mv.at(2, c);
    const double cosine = n[2] / std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    uint32_t i = std::isfinite(cosine) ? uint32_t(std::fabs(cosine * 255.0)) : 0u;
    i = std::min(i, 255u);
    uint32_t out = 0;
    for (int shift : {16, 8, 0})
        out |= ((((base >> shift) & 0xFFu) * i) >> 8) << shift;
    return out;
}

std::vector<uint32_t> picture(const ViewSetup& view, const Matrix4& mesh_matrix,
                              const Matrix4& camera, const MeshObject& mesh, uint32_t base) {
    std::vector<uint32_t> frame(512 * 384, 0u);
    Matrix4 mv, mvinv;
    matrix_inverse(camera, mv);
    matrix_multiply(mv, mesh_matrix, mv);
    matrix_inverse(mv, mvinv);
    for (const Face& f : mesh.faces) {
        const Plane& p = f.plane;
        if (double(p.a) * mvinv.at(3, 0) + double(p.b) * mvinv.at(3, 1) +
                double(p.c) * mvinv.at(3, 2) + double(p.d) >
            0.1)
            continue;
        std::array<V, 3> tri{};
        for (size_t i = 0; i < 3; ++i) {
            const Vertex& s = mesh.vertices[size_t(f.v[i])];
            float* out[3] = {&tri[i].x, &tri[i].y, &tri[i].z};
            for (int c = 0; c < 3; ++c)
                *out[c] = float(double(s.x) * mv.at(0, c) + double(s.y) * mv.at(1, c) +
                                double(s.z) * mv.at(2, c) + double(mv.at(3, c)));
        }
        std::vector<V> poly = clip(tri, view.planes);
        bool near = false;
        for (V& v : poly) {
            if (!(v.z >= 0.1)) {
                near = true;
                break;
            }
            v.x = float(256.0 * v.x / v.z + 256.0);
            v.y = float(256.0 * v.y / v.z + 192.0);
        }
        if (!near) fill(poly, frame, colour_of(mv, p, base));
    }
    return frame;
}

} // namespace independent

TEST_F(MeshRenderer, PicturesMatchAnIndependentPerFacePipeline) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> coord(-60, 60), depth(-5, 80), angle(-3.2f, 3.2f);
    const std::array<Plane, 4>& planes = renderer.view.planes;
    // Camera-space points exactly on each frustum plane (the products are exact in double), at
    // the eye, at the near limit and just short of it.
    std::vector<Vertex> special;
    for (float k : {8.0f, 32.0f}) {
        special.push_back(vertex(planes[0].c * k, 3, -planes[0].a * k));
        special.push_back(vertex(-planes[1].c * k, -5, planes[1].a * k));
        special.push_back(vertex(7, -planes[2].c * k, planes[2].b * k));
        special.push_back(vertex(-2, -planes[3].c * k, planes[3].b * k));
    }
    for (size_t k = 0; k < 4; ++k) {
        const ClipVertex on{special[k].x, special[k].y, special[k].z};
        ASSERT_EQ(plane_distance(planes[k], on), 0.0) << "plane " << k;
    }
    special.push_back(vertex(0, 0, 0));
    special.push_back(vertex(0.01f, 0.02f, 0.1f));
    special.push_back(vertex(0.01f, 0.02f, std::nextafter(0.1f, 0.0f)));

    long drawn = 0;
    for (int round = 0; round < 40; ++round) {
        const bool identity_view = round % 2 == 0; // keeps the on-plane points on their planes
        std::vector<Vertex> vs = special;
        while (vs.size() < 48)
            vs.push_back(vertex(coord(rng), coord(rng), depth(rng)));
        std::uniform_int_distribution<int32_t> pick(0, int32_t(vs.size()) - 1);
        std::vector<std::array<int32_t, 3>> tris;
        for (int i = 0; i < 150; ++i)
            tris.push_back({pick(rng), pick(rng), pick(rng)});
        // Both windings of every triangle, so the cull does not hide half of them.
        for (int i = 0; i < 150; ++i)
            tris.push_back({tris[size_t(i)][0], tris[size_t(i)][2], tris[size_t(i)][1]});
        const MeshObject m = fixtures::mesh(vs, tris);
        Matrix4 mesh_matrix = identity(), camera = identity();
        if (!identity_view) {
            matrix_rotate_x(mesh_matrix, angle(rng) * 0.2f);
            matrix_rotate_y(mesh_matrix, angle(rng) * 0.2f);
            matrix_rotate_z(camera, angle(rng) * 0.1f);
            matrix_translate(camera, coord(rng) * 0.1f, coord(rng) * 0.1f, -20);
        }
        const std::vector<uint32_t> expected =
            independent::picture(renderer.view, mesh_matrix, camera, m, kBase);
        frame.assign(512 * 384, 0u);
        draw_mesh(renderer, mesh_matrix, camera, m, make_frame(frame, 512, 384), kBase);
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < frame.size(); ++i)
            if (frame[i] != expected[i] && differing++ == 0) first = i;
        if (differing != 0) {
            // Name the first face whose picture alone differs.
            for (size_t f = 0; f < m.faces.size(); ++f) {
                MeshObject one = m;
                one.faces = {m.faces[f]};
                one.face_count = 1;
                frame.assign(512 * 384, 0u);
                draw_mesh(renderer, mesh_matrix, camera, one, make_frame(frame, 512, 384), kBase);
                if (frame != independent::picture(renderer.view, mesh_matrix, camera, one, kBase)) {
                    ADD_FAILURE() << "face " << f << ": " << m.faces[f].v[0] << " "
                                  << m.faces[f].v[1] << " " << m.faces[f].v[2];
                    break;
                }
            }
        }
        ASSERT_EQ(differing, 0u) << "round " << round << ", first at column " << first % 512
                                 << " row " << first / 512;
        drawn += 512 * 384 - count(0);
    }
    EXPECT_GT(drawn, 40 * 1000);
}

TEST(ScanConversion, MatchesTheIndependentRowRuleOnRandomConvexPolygons) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> fine(2, 382), unit(0, 1);
    std::uniform_int_distribution<int> corners(3, 7), grid(1, 190);
    long inked = 0;
    for (int round = 0; round < 400; ++round) {
        // Points on a circle in angle order form a convex polygon; counter-clockwise on the
        // screen unless reversed. Every third polygon sits on whole and half pixels, so that
        // vertices on rows, horizontal edges and tied extremes are common.
        const int n = corners(rng);
        const bool snapped = round % 3 == 0;
        std::vector<float> angles;
        for (int i = 0; i < n; ++i)
            angles.push_back(unit(rng) * 6.2831853f);
        std::sort(angles.begin(), angles.end());
        const float cx = snapped ? 256 : fine(rng) * 1.3f, cy = snapped ? 192 : fine(rng);
        const float radius = snapped ? float(grid(rng)) : unit(rng) * 120;
        std::vector<independent::V> poly;
        for (float a : angles) {
            float x = std::clamp(cx + radius * std::cos(a), 2.0f, 510.0f);
            float y = std::clamp(cy - radius * std::sin(a), 2.0f, 382.0f);
            if (snapped) {
                x = std::round(x * 2) / 2;
                y = std::round(y * 2) / 2;
            }
            poly.push_back({x, y, 1});
        }
        if (round % 2 == 1) std::reverse(poly.begin(), poly.end());
        ClipPolygon q;
        q.count = int32_t(poly.size());
        for (size_t i = 0; i < poly.size(); ++i)
            q.vertices[i] = ClipVertex{poly[i].x, poly[i].y, 1};

        std::vector<uint32_t> expected(512 * 384, 0u), got(512 * 384, 0u);
        independent::fill(poly, expected, 0x00ABCDEF);
        fill_polygon(q, make_frame(got, 512, 384), 0x00ABCDEF);
        ASSERT_EQ(got, expected) << "polygon " << round;
        for (uint32_t p : got)
            inked += p != 0;
    }
    EXPECT_GT(inked, 400 * 1000);
}

// Faces of a pixel or two whose corners project within rounding of whole and half pixels: the
// row a vertex starts, the column a span ends and whether a face has any pixel at all then hang
// on the last bit of every rounding between object space and the screen, where a shortcut for
// small faces or a compiler that loses a rounding would show.
TEST_F(MeshRenderer, TinyFacesOnPixelCornersMatchTheIndependentPipeline) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> column(8, 500), row(8, 372), step(-4, 4);
    std::uniform_real_distribution<float> depth(0.3f, 40.0f), angle(-3.2f, 3.2f);
    Matrix4 mesh_matrix = identity();
    matrix_rotate_x(mesh_matrix, angle(rng));
    matrix_rotate_y(mesh_matrix, angle(rng));
    Matrix4 to_object;
    matrix_inverse(mesh_matrix, to_object);
    // A camera-space point on the screen position (sx, sy) at depth z, carried back to object
    // space: the renderer's transform brings it back to within rounding of that position.
    auto at = [&](double sx, double sy, float z) {
        const double c[3] = {(sx - 256) * z / 256, (sy - 192) * z / 256, z};
        float o[3];
        for (int k = 0; k < 3; ++k)
            o[k] = float(c[0] * to_object.at(0, k) + c[1] * to_object.at(1, k) +
                         c[2] * to_object.at(2, k) + to_object.at(3, k));
        return vertex(o[0], o[1], o[2]);
    };
    std::vector<Vertex> vs;
    std::vector<std::array<int32_t, 3>> tris;
    for (int i = 0; i < 3000; ++i) {
        const double x = column(rng), y = row(rng);
        const float z = depth(rng);
        const int32_t first = int32_t(vs.size());
        vs.push_back(at(x, y, z));
        vs.push_back(at(x + step(rng) * 0.5, y + step(rng) * 0.5, z));
        vs.push_back(at(x + step(rng) * 0.5, y + step(rng) * 0.5, z));
        tris.push_back({first, first + 1, first + 2});
        tris.push_back({first, first + 2, first + 1});
    }
    const MeshObject m = fixtures::mesh(vs, tris);
    const std::vector<uint32_t> expected =
        independent::picture(renderer.view, mesh_matrix, identity(), m, kBase);
    draw_mesh(renderer, mesh_matrix, identity(), m, make_frame(frame, 512, 384), kBase);
    size_t differing = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        differing += frame[i] != expected[i];
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(512 * 384 - count(0), 2000);

    // Windows smaller than the view cut faces at their right side and bottom: each holds that
    // part of the picture, and the pixels around it stay as they were.
    constexpr int32_t kStride = 530, kOffset = 2 * kStride + 5;
    constexpr uint32_t kUntouched = 0xABCDEFu;
    for (const auto& [width, height] : {std::pair{300, 200}, std::pair{97, 301}, std::pair{451, 57},
                                        std::pair{203, 150}, std::pair{376, 263}}) {
        std::vector<uint32_t> picture(size_t(kStride) * size_t(height + 4), kUntouched);
        const Frame window{picture.data() + kOffset, width, height, kStride};
        for (int32_t y = 0; y < height; ++y)
            std::fill_n(window.pixels + size_t(y) * kStride, width, 0u);
        draw_mesh(renderer, mesh_matrix, identity(), m, window, kBase);
        size_t outside = 0, inside = 0;
        for (size_t i = 0; i < picture.size(); ++i) {
            const int64_t x = (int64_t(i) - kOffset) % kStride,
                          y = (int64_t(i) - kOffset) / kStride;
            if (int64_t(i) >= kOffset && x < width && y < height)
                inside += picture[i] != expected[size_t(y * 512 + x)];
            else
                outside += picture[i] != kUntouched;
        }
        EXPECT_EQ(inside, 0u) << width << "x" << height;
        EXPECT_EQ(outside, 0u) << width << "x" << height;
    }
}
