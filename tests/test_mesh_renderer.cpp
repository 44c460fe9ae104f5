#include "render/mesh_renderer.h"
#include "render/raster.h"
#include "render/view.h"
#include "tests/render_fixtures.h"

#include <gtest/gtest.h>

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
        setup_view(512, 384);
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
        draw_mesh(identity(), camera, mesh, frame, kBase);
    }
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
    MeshObject none;
    draw(none);
    MeshObject bad = facing_triangle(10);
    bad.faces[0].v = {0, 1, 3};
    draw(bad);
    bad.faces[0].v = {-1, 1, 2};
    draw(bad);
    bad = facing_triangle(10);
    bad.face_count = 0;
    draw(bad);
    bad.face_count = 5; // more than the array holds
    frame.assign(512 * 384, 0u);
    draw(bad);
    EXPECT_GT(count(kFull), 0);
    bad.face_count = -1;
    frame.assign(512 * 384, 0u);
    draw(bad);
    EXPECT_EQ(count(0), 512 * 384);
}

// The plain per-face pipeline, written out step by step without any vertex cache, to hold the
// optimised renderer to pixel-identical output.
void reference_draw(const Matrix4& mesh_matrix, const Matrix4& camera, const MeshObject& mesh,
                    std::span<uint32_t> frame, uint32_t colour) {
    Matrix4 mv, mvinv;
    matrix_inverse(camera, mv);
    matrix_multiply(mv, mesh_matrix, mv);
    matrix_inverse(mv, mvinv);
    const ViewSetup& view = view_setup();
    for (const Face& f : mesh.faces) {
        const Plane& p = f.plane;
        const double d = double(p.a) * mvinv.at(3, 0) + double(p.b) * mvinv.at(3, 1) +
                         double(p.c) * mvinv.at(3, 2) + double(p.d);
        if (d > 0.1) continue;
        ClipVertex slot[3];
        for (int i = 0; i < 3; ++i) {
            const Vertex& v = mesh.vertices[size_t(f.v[size_t(i)])];
            float* out[3] = {&slot[i].x, &slot[i].y, &slot[i].z};
            for (int c = 0; c < 3; ++c)
                *out[c] = float(double(v.x) * mv.at(0, c) + double(v.y) * mv.at(1, c) +
                                double(v.z) * mv.at(2, c) + double(mv.at(3, c)));
        }
        ClipPolygon q = clip_triangle(slot[0], slot[1], slot[2], view.planes);
        double n[3];
        for (int c = 0; c < 3; ++c)
            n[c] =
                double(p.a) * mv.at(0, c) + double(p.b) * mv.at(1, c) + double(p.c) * mv.at(2, c);
        const uint32_t shade = shade_colour(colour, face_intensity(n[0], n[1], n[2]));
        if (q.count == 0) continue;
        for (int i = 0; i < q.count; ++i) {
            ClipVertex& v = q.vertices[size_t(i)];
            if (v.z < 0.1 || std::isnan(v.z)) {
                q.count = 0;
                break;
            }
            v.x = float(double(view.focal) * v.x / v.z + 256.0);
            v.y = float(double(view.focal) * v.y / v.z + 192.0);
        }
        fill_polygon(q, frame, shade);
    }
}

TEST_F(MeshRenderer, VertexCacheGivesThePixelsOfThePlainPipeline) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> coord(-60, 60), depth(-5, 80), angle(-3.2f, 3.2f);
    std::uniform_int_distribution<int> pick(0, 39);
    long drawn = 0;
    for (int round = 0; round < 30; ++round) {
        std::vector<Vertex> vs;
        for (int i = 0; i < 40; ++i)
            vs.push_back(vertex(coord(rng), coord(rng), depth(rng)));
        // Some vertices exactly on a frustum plane and at the eye exercise the on-plane rules.
        vs[0] = vertex(0, 0, 0);
        vs[1] = vertex(0.9921875f * 40, 3, 40);
        std::vector<std::array<int32_t, 3>> tris;
        for (int i = 0; i < 120; ++i)
            tris.push_back({pick(rng), pick(rng), pick(rng)});
        const MeshObject m = fixtures::mesh(vs, tris);
        Matrix4 mesh_matrix = identity();
        matrix_rotate_x(mesh_matrix, angle(rng) * 0.2f);
        matrix_rotate_y(mesh_matrix, angle(rng) * 0.2f);
        Matrix4 camera = identity();
        matrix_rotate_z(camera, angle(rng) * 0.1f);
        matrix_translate(camera, coord(rng) * 0.1f, coord(rng) * 0.1f, -20);

        std::vector<uint32_t> expected(512 * 384, 0u);
        reference_draw(mesh_matrix, camera, m, expected, kBase);
        draw_mesh(mesh_matrix, camera, m, frame, kBase);
        ASSERT_EQ(frame, expected) << "round " << round;
        drawn += 512 * 384 - count(0);
        frame.assign(512 * 384, 0u);
    }
    EXPECT_GT(drawn, 30 * 1000) << "the random meshes should cover a fair part of the frames";
}

} // namespace
