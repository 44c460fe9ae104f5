// The model look on small generated scenes: depth whatever the file order, material colours, two-
// sided faces, smoothing groups (shared vertex index and a common bit), faces cut at the near
// plane, and a fill that stays inside its frame whatever it is given.
#include "render/model_look.h"
#include "render/model_mesh.h"
#include "render/renderer.h"
#include "render/shaded_fill.h"
#include "tests/render_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using fixtures::vertex;

constexpr int32_t kW = 160, kH = 120;

struct Picture {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kW) * kH);
    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * kW + size_t(x)]; }
};

int channel(uint32_t pixel, int shift) {
    return int(pixel >> shift & 0xFF);
}

// Draws the meshes with the identity camera (eye at the origin looking along +z), each mesh
// turned by its own matrix.
Picture draw(const std::vector<MeshObject>& meshes, const std::vector<Material>& materials = {},
             const std::vector<const TextureImage*>& pictures = {}) {
    Renderer renderer;
    setup_view(renderer.view, kW, kH);
    Picture picture;
    const Frame frame = make_frame(picture.pixels, kW, kH);
    Matrix4 camera;
    matrix_identity(camera);
    EXPECT_TRUE(begin_model_frame(renderer, frame));
    for (const MeshObject& mesh : meshes) {
        ModelMesh shading;
        EXPECT_TRUE(prepare_model_mesh(mesh, materials, shading, pictures));
        draw_model_mesh(renderer, shading, mesh, mesh.matrix, camera, frame);
    }
    return picture;
}

// A square of half side h at depth z facing the eye, in material m.
MeshObject square(float h, float cx, float cy, float z, int32_t m = -1) {
    MeshObject s = fixtures::mesh({vertex(cx - h, cy - h, z), vertex(cx - h, cy + h, z),
                                   vertex(cx + h, cy + h, z), vertex(cx + h, cy - h, z)},
                                  {{0, 1, 2}, {0, 2, 3}});
    for (Face& f : s.faces)
        f.material = m;
    return s;
}

// Turns every face of m so that it is drawn from outside the point (cx, cy, cz), or from inside.
void orient(MeshObject& m, float cx, float cy, float cz, bool from_outside = true) {
    for (Face& f : m.faces) {
        const Vertex& a = m.vertices[size_t(f.v[0])];
        const float side = f.plane.a * (a.x - cx) + f.plane.b * (a.y - cy) + f.plane.c * (a.z - cz);
        if ((side > 0) == from_outside) {
            std::swap(f.v[1], f.v[2]);
            f.plane = fixtures::face_plane(m.vertices, f.v);
        }
    }
}

// A box of half side h around (cx, cy, cz) in material m.
MeshObject box(float h, float cx, float cy, float cz, int32_t m, bool from_outside = true) {
    std::vector<Vertex> v;
    for (int i = 0; i < 8; ++i)
        v.push_back(vertex(cx + (i & 1 ? h : -h), cy + (i & 2 ? h : -h), cz + (i & 4 ? h : -h)));
    std::vector<std::array<int32_t, 3>> tris;
    for (const auto& q : std::vector<std::array<int32_t, 4>>{
             {0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}) {
        tris.push_back({q[0], q[1], q[2]});
        tris.push_back({q[0], q[2], q[3]});
    }
    MeshObject b = fixtures::mesh(v, tris);
    orient(b, cx, cy, cz, from_outside);
    for (Face& f : b.faces)
        f.material = m;
    return b;
}

// A sphere of radius 20 at depth 60, faces drawn from outside, all in smoothing groups bits.
MeshObject sphere(uint32_t bits) {
    const int rings = 12, sides = 16;
    const double pi = 3.14159265358979;
    std::vector<Vertex> vs;
    for (int i = 0; i <= rings; ++i)
        for (int j = 0; j < sides; ++j) {
            const double a = pi * i / rings, b = 2 * pi * j / sides;
            vs.push_back(vertex(float(20 * std::sin(a) * std::cos(b)), float(20 * std::cos(a)),
                                float(60 + 20 * std::sin(a) * std::sin(b))));
        }
    MeshObject m = fixtures::mesh(vs, {});
    const auto add = [&](int32_t p, int32_t q, int32_t r) {
        m.faces.push_back(fixtures::face(m.vertices, p, q, r));
        m.faces.back().smoothing = bits;
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < sides; ++j) {
            const int32_t a = i * sides + j, b = i * sides + (j + 1) % sides;
            if (i > 0) add(a, b, b + sides);
            if (i < rings - 1) add(a, b + sides, a + sides);
        }
    m.face_count = int32_t(m.faces.size());
    orient(m, 0, 0, 60);
    return m;
}

Material coloured(float r, float g, float b) {
    Material m;
    m.diffuse = {r, g, b};
    m.diffuse_set = true;
    return m;
}

// The faces of an (n + 1) x (n + 1) grid of vertices, row after row, two per cell.
std::vector<std::array<int32_t, 3>> grid_triangles(int32_t n) {
    std::vector<std::array<int32_t, 3>> tris;
    for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i) {
            const int32_t k = j * (n + 1) + i;
            tris.push_back({k, k + n + 1, k + n + 2});
            tris.push_back({k, k + n + 2, k + 1});
        }
    return tris;
}

TEST(ModelLook, TheNearestFaceShowsWhateverTheFileOrder) {
    const std::vector<Material> materials = {coloured(1, 0, 0), coloured(0, 0, 1)};
    const MeshObject near = box(10, 0, 0, 40, 0), far = box(25, 5, 0, 80, 1);
    const Picture near_first = draw({near, far}, materials);
    const Picture far_first = draw({far, near}, materials);
    EXPECT_GT(channel(near_first.at(kW / 2, kH / 2), 16), 150);
    EXPECT_EQ(channel(near_first.at(kW / 2, kH / 2), 0), 0);
    EXPECT_GT(channel(near_first.at(kW / 2 + 30, kH / 2), 0), 100) << "the far box beside the near";
    EXPECT_EQ(near_first.pixels, far_first.pixels);
    // Within one mesh too: the faces of both boxes in one list, reversed and shuffled.
    MeshObject both = near;
    for (Face f : far.faces) {
        for (int32_t& v : f.v)
            v += int32_t(near.vertices.size());
        both.faces.push_back(f);
    }
    both.vertices.insert(both.vertices.end(), far.vertices.begin(), far.vertices.end());
    both.vertex_count = int32_t(both.vertices.size());
    both.face_count = int32_t(both.faces.size());
    std::mt19937 rng(5);
    for (int round = 0; round < 3; ++round) {
        std::shuffle(both.faces.begin(), both.faces.end(), rng);
        EXPECT_EQ(draw({both}, materials).pixels, near_first.pixels) << "round " << round;
    }
}

bool near_colour(uint32_t pixel, uint32_t expected) {
    for (int shift : {0, 8, 16})
        if (std::abs(channel(pixel, shift) - channel(expected, shift)) > 2) return false;
    return true;
}

TEST(ModelLook, ColoursFollowTheMaterialsAndGreyWithoutOne) {
    Material glowing = coloured(0, 1, 0);
    glowing.self_illum = 1;
    Material shiny = coloured(0.2f, 0.2f, 0.2f);
    shiny.shininess = 0.5f;
    shiny.shininess_strength = 1;
    const std::vector<Material> materials = {coloured(1, 0.5f, 0), glowing, shiny, Material{}};
    // Facing the eye, a face is its diffuse colour: ambient and eye light add up to one.
    EXPECT_TRUE(
        near_colour(draw({square(5, 0, 0, 30, 0)}, materials).at(kW / 2, kH / 2), 0xFF7F00u));
    EXPECT_TRUE(near_colour(draw({square(5, 0, 0, 30)}, materials).at(kW / 2, kH / 2), 0xCCCCCCu));
    EXPECT_TRUE(
        near_colour(draw({square(5, 0, 0, 30, 3)}, materials).at(kW / 2, kH / 2), 0xCCCCCCu));
    // Turned away from the eye a lit face darkens; a self-illuminated one does not.
    for (int32_t m : {0, 1}) {
        MeshObject turned = square(5, 0, 0, 0, m);
        matrix_translate(turned.matrix, 0, 0, 30);
        matrix_rotate_y(turned.matrix, 1.2f);
        const uint32_t p = draw({turned}, materials).at(kW / 2, kH / 2);
        if (m == 0) {
            EXPECT_LT(channel(p, 16), 180);
        } else {
            EXPECT_EQ(p, 0x00FF00u);
        }
    }
    // The highlight of a shiny material whitens the middle of a face seen straight on.
    EXPECT_GT(channel(draw({square(5, 0, 0, 30, 2)}, materials).at(kW / 2, kH / 2), 8), 200);
}

// A square in no smoothing group, well off the line of sight: its two faces' middles lie in
// different directions from the eye, yet a flat side shows one colour, not its diagonal.
TEST(ModelLook, TheFacesOfOneFlatSideShowOneColour) {
    const Picture picture = draw({square(6, 9, -6, 20)});
    std::vector<uint32_t> colours;
    for (uint32_t p : picture.pixels)
        if ((p & 0xFFFFFFu) != 0 &&
            std::find(colours.begin(), colours.end(), p & 0xFFFFFFu) == colours.end())
            colours.push_back(p & 0xFFFFFFu);
    EXPECT_EQ(colours.size(), 1u);
}

TEST(ModelLook, TwoSidedSheetsShowTheirBackLitAsAFront) {
    Material two_sided = coloured(1, 1, 1);
    two_sided.two_sided = true;
    const std::vector<Material> materials = {coloured(1, 1, 1), two_sided};
    for (int32_t m : {0, 1}) {
        MeshObject sheet = square(8, 0, 0, 0, m);
        const Picture front = draw({[&] {
                                       MeshObject s = sheet;
                                       matrix_translate(s.matrix, 0, 0, 30);
                                       return s;
                                   }()},
                                   materials);
        matrix_translate(sheet.matrix, 0, 0, 30);
        matrix_rotate_y(sheet.matrix, 3.14159265f); // now seen from behind
        const Picture back = draw({sheet}, materials);
        EXPECT_TRUE(near_colour(front.at(kW / 2, kH / 2), 0xFFFFFFu));
        if (m == 1) {
            EXPECT_TRUE(near_colour(back.at(kW / 2, kH / 2), 0xFFFFFFu));
        } else {
            EXPECT_EQ(std::count(back.pixels.begin(), back.pixels.end(), 0u), kW * kH);
        }
    }
}

// Runs of one colour along the middle row: a flat face is one run, a smooth surface many.
int colour_runs(const Picture& p) {
    int runs = 0;
    for (int32_t x = 1; x < kW; ++x)
        runs += p.at(x, kH / 2) != 0 && p.at(x, kH / 2) != p.at(x - 1, kH / 2);
    return runs;
}

TEST(ModelLook, SmoothingGroupsSmoothASphereAndFacesInNoGroupStayFlat) {
    const Picture smooth = draw({sphere(1)}), flat = draw({sphere(0)});
    EXPECT_EQ(std::count(smooth.pixels.begin(), smooth.pixels.end(), 0u),
              std::count(flat.pixels.begin(), flat.pixels.end(), 0u));
    EXPECT_LE(colour_runs(flat), 16);
    EXPECT_GE(colour_runs(smooth), 2 * colour_runs(flat));
}

// Two faces meeting at a vertical ridge at x = 0, leaning back from it by different angles, seen
// from the front; with repeated vertices the right face has its own copies of the ridge's ends.
MeshObject ridge(bool shared, uint32_t left_bits, uint32_t right_bits) {
    std::vector<Vertex> v = {vertex(0, -20, 40), vertex(0, 20, 40), vertex(-20, 0, 55),
                             vertex(20, 0, 45)};
    if (!shared) v.insert(v.end(), {vertex(0, -20, 40), vertex(0, 20, 40)});
    const int32_t top = shared ? 1 : 5, bottom = shared ? 0 : 4;
    MeshObject m = fixtures::mesh(v, {{0, 2, 1}, {bottom, top, 3}});
    m.faces[0].smoothing = left_bits;
    m.faces[1].smoothing = right_bits;
    return m;
}

int step_at_ridge(const Picture& p) {
    const uint32_t left = p.at(kW / 2 - 1, kH / 2), right = p.at(kW / 2, kH / 2);
    EXPECT_NE(left, 0u);
    EXPECT_NE(right, 0u);
    return std::abs(channel(left, 0) - channel(right, 0));
}

TEST(ModelLook, SmoothAcrossARidgeOnlyWithASharedVertexAndACommonBit) {
    const Picture both = draw({ridge(true, 1, 1)}), split = draw({ridge(true, 1, 2)}),
                  repeated = draw({ridge(false, 1, 1)}), none = draw({ridge(true, 0, 0)});
    EXPECT_LE(step_at_ridge(both), 3);
    EXPECT_LE(step_at_ridge(draw({ridge(true, 3, 6)})), 3) << "bits 3 and 6 share bit 2";
    EXPECT_GE(step_at_ridge(none), 20);
    EXPECT_GE(step_at_ridge(split), 20);
    EXPECT_GE(step_at_ridge(repeated), 20);
}

TEST(ModelMesh, AVertexSharedByFacesWithNoCommonBitGetsANormalPerGroup) {
    // Three faces around vertex 0: bits 1, 1|2 and 2. The first and last share no bit.
    const MeshObject fan = fixtures::mesh(
        {vertex(0, 0, 0), vertex(10, 0, 0), vertex(0, 10, 1), vertex(-10, 0, 3), vertex(0, -10, 6)},
        {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}});
    MeshObject m = fan;
    m.faces[0].smoothing = 1;
    m.faces[1].smoothing = 3;
    m.faces[2].smoothing = 2;
    ModelMesh shading;
    ASSERT_TRUE(prepare_model_mesh(m, {}, shading));
    const uint32_t a = shading.faces[0].shade[0], b = shading.faces[1].shade[0],
                   c = shading.faces[2].shade[0];
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_NE(a, c);
    const auto normal = [&](uint32_t p) {
        return std::array{shading.points[p].nx, shading.points[p].ny, shading.points[p].nz};
    };
    EXPECT_NE(normal(a), normal(c));
    EXPECT_EQ(shading.points[a].vertex, 0u);
    m.faces[2].smoothing = 0;
    ASSERT_TRUE(prepare_model_mesh(m, {}, shading));
    EXPECT_EQ(shading.faces[2].shade[0], kFlatFace);
}

// A scene of many materials: each mesh keeps only those its faces use, so memory grows with the
// faces, not with meshes times materials.
TEST(ModelMesh, KeepsOnlyTheMaterialsItsFacesUse) {
    std::vector<Material> materials(1000, coloured(0, 0, 1));
    materials[7] = coloured(1, 0, 0);
    MeshObject s = square(5, 0, 0, 20, 7);
    s.faces[1].material = -1;
    ModelMesh shading;
    ASSERT_TRUE(prepare_model_mesh(s, materials, shading));
    ASSERT_EQ(shading.materials.size(), 2u);
    EXPECT_GT(shading.materials[shading.faces[0].material].diffuse[0], 0.0f);
    EXPECT_EQ(shading.materials[shading.faces[0].material].diffuse[2], 0.0f);
    EXPECT_EQ(shading.materials[shading.faces[1].material].diffuse[0],
              shading.materials[shading.faces[1].material].diffuse[2])
        << "grey";
}

TEST(ModelLook, ACameraInsideABoxSeesEveryWall) {
    const Picture inside = draw({box(30, 0, 0, 0, -1, false)});
    EXPECT_EQ(std::count(inside.pixels.begin(), inside.pixels.end(), 0u), 0);
}

// A sheet across the whole view cut into faces much smaller than a pixel, its inner corners
// moved at random: faces that miss every pixel centre are dropped early, and none of those
// drops may leave a pixel of the sheet unfilled.
TEST(ModelLook, ASheetOfFacesSmallerThanAPixelLeavesNoHole) {
    constexpr int n = 400;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.45f, 0.45f);
    std::vector<Vertex> v;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const bool edge = i == 0 || j == 0 || i == n || j == n;
            v.push_back(vertex((i + (edge ? 0 : jitter(random))) * 60.0f / n - 30,
                               (j + (edge ? 0 : jitter(random))) * 60.0f / n - 30, 20));
        }
    const MeshObject sheet = fixtures::mesh(v, grid_triangles(n));
    const Picture picture = draw({sheet});
    EXPECT_EQ(std::count(picture.pixels.begin(), picture.pixels.end(), 0u), 0);
}

// A sheet wider than the view, a little uneven in depth, cut into faces smaller than a pixel,
// each in one of eight unlit colours: the pixels that faces are found to cover without the span
// filling's search must be exactly those the span filling gives them, face for face.
TEST(ModelLook, SmallFacesFillThePixelsTheSpanFillingGivesThem) {
    constexpr int n = 260;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> jitter(-0.15f, 0.15f), depth(-0.3f, 0.3f);
    std::vector<Vertex> v;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            v.push_back(vertex((i + jitter(random)) * 80.0f / n - 40,
                               (j + jitter(random)) * 80.0f / n - 40, 20 + depth(random)));
    MeshObject sheet = fixtures::mesh(v, grid_triangles(n));
    std::vector<Material> palette;
    for (int m = 0; m < 8; ++m) {
        palette.push_back(coloured(float(m & 1), float(m >> 1 & 1), m >> 2 & 1 ? 0.6f : 0.2f));
        palette.back().self_illum = 1;
    }
    for (Face& f : sheet.faces)
        f.material = int32_t(random() % 8);
    const Picture picture = draw({sheet}, palette);

    // Each face filled whole by the span filling, projected as the model look projects it (the
    // camera is the identity, so camera space is the sheet's own).
    Renderer renderer;
    setup_view(renderer.view, kW, kH);
    const float focal = renderer.view.focal;
    Picture expected;
    std::vector<float> nearest(expected.pixels.size(), 0.0f);
    const DepthFrame target{make_frame(expected.pixels, kW, kH), nearest.data(), kW};
    for (const Face& f : sheet.faces) {
        const Material& m = palette[size_t(f.material)];
        ShadedTriangle t;
        for (size_t k = 0; k < 3; ++k) {
            const Vertex& p = sheet.vertices[size_t(f.v[k])];
            const float inv_z = 1.0f / p.z;
            t.v[k] = {focal * p.x * inv_z + float(kW) / 2,
                      focal * p.y * inv_z + float(kH) / 2,
                      inv_z,
                      m.diffuse[0] * 255,
                      m.diffuse[1] * 255,
                      m.diffuse[2] * 255};
        }
        fill_shaded_triangle(t, target);
    }
    size_t differ = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        differ += (picture.pixels[i] & 0xFFFFFFu) != (expected.pixels[i] & 0xFFFFFFu);
    EXPECT_EQ(differ, 0u);
    EXPECT_EQ(std::count(expected.pixels.begin(), expected.pixels.end(), 0u), 0);
}

// Faces within two by two pixel centres, with a different colour and depth at each corner: the
// pixels filled without the span filling's search get the values that filling gives them, to
// the last bit or two of rounding.
TEST(ModelLook, SmallFacesTakeTheSpanFillingsValuesAtTheirCentres) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> place(9.6f, 12.4f), colour(0, 255), inv_z(0.01f, 0.1f);
    size_t compared = 0;
    for (int round = 0; round < 2000; ++round) {
        ShadedTriangle t;
        for (ShadedVertex& v : t.v)
            v = {place(rng), place(rng), inv_z(rng), colour(rng), colour(rng), colour(rng)};
        std::vector<uint32_t> spans(16 * 16, 0xDEADBEEFu), block = spans;
        std::vector<float> spans_depth(spans.size(), 0.0f), block_depth = spans_depth;
        fill_shaded_triangle(t, {make_frame(spans, 16, 16), spans_depth.data(), 16});
        uint32_t covered = 0;
        for (uint32_t bit = 0; bit < 4; ++bit)
            covered |= uint32_t(spans[(10 + bit / 2) * 16 + 10 + bit % 2] != 0xDEADBEEFu) << bit;
        fill_shaded_block(t, {make_frame(block, 16, 16), block_depth.data(), 16}, 10, 10, covered);
        for (size_t i = 0; i < spans.size(); ++i) {
            if (spans[i] == 0xDEADBEEFu) {
                EXPECT_EQ(block[i], 0xDEADBEEFu);
                continue;
            }
            ++compared;
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int(spans[i] >> shift & 0xFFu), int(block[i] >> shift & 0xFFu), 1);
            EXPECT_NEAR(spans_depth[i], block_depth[i], 1e-6f);
        }
    }
    EXPECT_GT(compared, 1000u);
}

// A square lying in the plane x = 2 (z - 40), receding to the right, mapped u 0..1 from its near
// left edge to its far right edge and v 0..1 from bottom to top, with a 64 x 64 picture: red and
// green in its top half, blue and white in its bottom one.
TEST(ModelLook, TexturesAreMappedInPerspectiveWithVUpwards) {
    TextureImage picture{64, 64, std::vector<uint32_t>(64 * 64)};
    for (size_t i = 0; i < picture.texels.size(); ++i) {
        const bool top = i / 64 < 32, left = i % 64 < 32;
        picture.texels[i] = top ? (left ? 0xFF0000u : 0x00FF00u) : (left ? 0x0000FFu : 0xFFFFFFu);
    }
    Material material;
    material.texture = "CHECK.PNG";
    material.self_illum = 1; // unlit, so colours compare exactly
    const float near_z = 30, far_z = 90, h = 20;
    std::vector<Vertex> v = {
        vertex(2 * (near_z - 40), h, near_z), vertex(2 * (near_z - 40), -h, near_z),
        vertex(2 * (far_z - 40), -h, far_z), vertex(2 * (far_z - 40), h, far_z)};
    const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}}; // camera y grows downwards
    for (size_t i = 0; i < 4; ++i) {
        v[i].u = uv[i][0];
        v[i].v = uv[i][1];
    }
    MeshObject square = fixtures::mesh(v, {{0, 1, 2}, {0, 2, 3}});
    orient(square, 1000, 0, 0, false);
    for (Face& f : square.faces)
        f.material = 0;
    const Picture p = draw({square}, {material}, {&picture});
    // The square's middle (u = 0.5) lies at x = 40, z = 60: that column, not the middle of the
    // square's picture, parts left from right.
    const int32_t focal = kW / 2, middle = kW / 2 + int32_t(std::lround(focal * 40.0 / 60));
    const int32_t left_edge = kW / 2 + focal * 2 * (near_z - 40) / near_z;
    const int32_t right_edge = kW / 2 + int32_t(focal * 2 * (far_z - 40) / far_z);
    ASSERT_GT(std::abs((left_edge + right_edge) / 2 - middle), 8) << "the test tells the two apart";
    EXPECT_EQ(p.at(middle - 4, kH / 2 - 6) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(p.at(middle + 4, kH / 2 - 6) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(p.at(middle - 4, kH / 2 + 6) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(p.at(middle + 4, kH / 2 + 6) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(ShadedFill, StaysInsideItsFrameWhateverTheTriangle) {
    constexpr int32_t stride = kW + 10;
    std::vector<uint32_t> pixels(size_t(stride) * (kH + 4), 0xDEADBEEFu);
    std::vector<float> depth(pixels.size(), -1.0f);
    const DepthFrame target{Frame{pixels.data() + 2 * stride + 5, kW, kH, stride},
                            depth.data() + 2 * stride + 5, stride};
    for (int32_t y = 0; y < kH; ++y)
        std::fill_n(target.depth + size_t(y) * stride, kW, 0.0f);
    std::mt19937 rng(11);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              1e30f,
                              -1e30f,
                              0.5f,
                              kW,
                              kH};
    std::uniform_real_distribution<float> coord(-400, 600), colour(-100, 400);
    std::uniform_int_distribution<int> pick(0, 20);
    for (int round = 0; round < 4000; ++round) {
        ShadedTriangle t;
        for (ShadedVertex& v : t.v) {
            const int k = pick(rng);
            v = {k < 7 ? specials[k] : coord(rng),
                 coord(rng),
                 1.0f / (1 + float(k)),
                 colour(rng),
                 colour(rng),
                 colour(rng)};
        }
        fill_shaded_triangle(t, target);
        fill_shaded_block(t, target, int32_t(coord(rng)), int32_t(coord(rng)),
                          uint32_t(pick(rng)) & 15);
    }
    size_t outside = 0, inside = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        const int64_t x = int64_t(i % stride) - 5, y = int64_t(i / stride) - 2;
        const bool in = x >= 0 && x < kW && y >= 0 && y < kH;
        outside += !in && pixels[i] != 0xDEADBEEFu;
        inside += in && pixels[i] != 0xDEADBEEFu;
    }
    EXPECT_EQ(outside, 0u);
    EXPECT_GT(inside, size_t(kW) * kH / 2);
}

} // namespace
