// Geometry preparation: face planes, vertex normals (the sort-based grouping must equal the
// vertex-by-corner definition bit for bit) and camera matrices.
#include "loader/geometry.h"
#include "loader/position_groups.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

MeshObject mesh_of(const std::vector<std::array<float, 3>>& points,
                   const std::vector<std::array<int32_t, 3>>& faces) {
    MeshObject mesh;
    for (const auto& p : points) {
        Vertex v;
        v.x = p[0];
        v.y = p[1];
        v.z = p[2];
        mesh.vertices.push_back(v);
    }
    for (const auto& f : faces) {
        Face face;
        face.v = f;
        mesh.faces.push_back(face);
    }
    mesh.vertex_count = static_cast<int32_t>(mesh.vertices.size());
    mesh.face_count = static_cast<int32_t>(mesh.faces.size());
    return mesh;
}

// The definition: every vertex against every corner of every face, in order, positions equal as
// floats; sums in double.
std::vector<std::array<float, 3>> quadratic_normals(const MeshObject& mesh) {
    std::vector<std::array<float, 3>> normals;
    for (const Vertex& v : mesh.vertices) {
        double sx = 0, sy = 0, sz = 0;
        for (const Face& face : mesh.faces) {
            for (int32_t corner : face.v) {
                const Vertex& c = mesh.vertices[static_cast<size_t>(corner)];
                if (c.x == v.x && c.y == v.y && c.z == v.z) {
                    sx += face.plane.a;
                    sy += face.plane.b;
                    sz += face.plane.c;
                }
            }
        }
        double length = std::sqrt(sx * sx + sy * sy + sz * sz);
        if (length == 0.0)
            normals.push_back({0.0f, 0.0f, 0.0f});
        else
            normals.push_back({static_cast<float>(sx / length), static_cast<float>(sy / length),
                               static_cast<float>(sz / length)});
    }
    return normals;
}

// Bit-identical, except that any NaN equals any NaN: the hardware picks a NaN's sign and payload
// from whichever operand the compiler placed first, which is no property of the algorithm.
bool same_bits(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

void expect_same_bits(const MeshObject& mesh) {
    auto expected = quadratic_normals(mesh);
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vertex& v = mesh.vertices[i];
        ASSERT_TRUE(same_bits(v.nx, expected[i][0])) << i << ": " << v.nx << " " << expected[i][0];
        ASSERT_TRUE(same_bits(v.ny, expected[i][1])) << i << ": " << v.ny << " " << expected[i][1];
        ASSERT_TRUE(same_bits(v.nz, expected[i][2])) << i << ": " << v.nz << " " << expected[i][2];
    }
}

} // namespace

TEST(FacePlane, UnitNormalFromTheStoredCornerOrder) {
    // File corners a, b, c = 0, 1, 2 are stored as 0, 2, 1.
    MeshObject mesh = mesh_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 1}});
    Plane p = compute_face_plane(mesh, mesh.faces[0]);
    EXPECT_EQ(p.a, 0.0f);
    EXPECT_EQ(p.b, 0.0f);
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, 0.0f);
    MeshObject lifted = mesh_of({{0, 0, 5}, {3, 0, 5}, {0, 3, 5}}, {{0, 2, 1}});
    EXPECT_EQ(compute_face_plane(lifted, lifted.faces[0]).d, -5.0f);
    MeshObject flat = mesh_of({{1, 1, 1}, {1, 1, 1}, {2, 2, 2}}, {{0, 1, 2}});
    EXPECT_TRUE(std::isnan(compute_face_plane(flat, flat.faces[0]).a)); // tolerated downstream
}

TEST(FacePlane, DIsFormedFromTheNormalAlreadyRoundedToFloat) {
    // A triangle where rounding A, B, C before or after forming D changes D's last bit.
    MeshObject mesh = mesh_of({{-241, 219, -81}, {-262, -212, 144}, {128, -229, -54}}, {{0, 1, 2}});
    Plane p = compute_face_plane(mesh, mesh.faces[0]);
    const double e1[3] = {-21, -431, 225}, e2[3] = {369, -448, 27}, p0[3] = {-241, 219, -81};
    const double n[3] = {e2[1] * e1[2] - e2[2] * e1[1], e2[2] * e1[0] - e2[0] * e1[2],
                         e2[0] * e1[1] - e2[1] * e1[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const double unit[3] = {n[0] / length, n[1] / length, n[2] / length};
    EXPECT_EQ(p.a, static_cast<float>(unit[0]));
    EXPECT_EQ(p.b, static_cast<float>(unit[1]));
    EXPECT_EQ(p.c, static_cast<float>(unit[2]));
    const float from_rounded =
        static_cast<float>(-(double{p.a} * p0[0] + double{p.b} * p0[1] + double{p.c} * p0[2]));
    const float from_exact =
        static_cast<float>(-(unit[0] * p0[0] + unit[1] * p0[1] + unit[2] * p0[2]));
    ASSERT_NE(from_rounded, from_exact); // the case tells the two orders apart
    EXPECT_EQ(p.d, from_rounded);
}

TEST(VertexNormals, SharedCornersSumAndUntouchedOrCancellingSumsGiveZero) {
    // Two faces meeting at a right angle along the edge (0,0,0)-(1,0,0); vertex 4 duplicates
    // vertex 0's position with other mapping coordinates; vertex 5 is touched by no face.
    MeshObject mesh = mesh_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, {9, 9, 9}},
                              {{0, 2, 1}, {0, 1, 3}});
    mesh.vertices[4].u = 0.5f;
    compute_face_planes(mesh);
    compute_vertex_normals(mesh);
    const float h = static_cast<float>(1.0 / std::sqrt(2.0));
    EXPECT_FLOAT_EQ(mesh.vertices[0].ny, h);
    EXPECT_FLOAT_EQ(mesh.vertices[0].nz, h);
    EXPECT_EQ(mesh.vertices[4].ny, mesh.vertices[0].ny);
    EXPECT_EQ(mesh.vertices[4].nz, mesh.vertices[0].nz);
    EXPECT_EQ(mesh.vertices[2].nz, 1.0f);
    EXPECT_EQ(mesh.vertices[5].nx, 0.0f);
    EXPECT_EQ(mesh.vertices[5].nz, 0.0f);

    // The same triangle twice with opposite windings: the sums cancel to exactly zero.
    MeshObject both = mesh_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}});
    compute_face_planes(both);
    compute_vertex_normals(both);
    for (const Vertex& v : both.vertices)
        EXPECT_FALSE(std::isnan(v.nx) || v.nx != 0.0f);
}

TEST(VertexNormals, SignedZerosMatchAndNaNMatchesNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    MeshObject mesh =
        mesh_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0f, 0, -0.0f}, {nan, 0, 0}}, {{0, 2, 1}});
    compute_face_planes(mesh);
    compute_vertex_normals(mesh);
    EXPECT_EQ(mesh.vertices[3].nz, 1.0f); // -0 equals +0, so vertex 3 shares vertex 0's corner
    EXPECT_EQ(mesh.vertices[4].nz, 0.0f); // NaN position: no corner matches, not even its own
    expect_same_bits(mesh);
}

TEST(VertexNormals, FastGroupingEqualsTheQuadraticDefinitionBitForBit) {
    std::mt19937 rng(1234);
    // Few distinct coordinates, so positions repeat often; signed zeros, a NaN and infinities mixed
    // in.
    const std::vector<float> coords = {0.0f,
                                       -0.0f,
                                       1.0f,
                                       -1.0f,
                                       0.5f,
                                       3.25f,
                                       1e-30f,
                                       -7.0f,
                                       2.0f,
                                       std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::infinity()};
    for (int round = 0; round < 20; ++round) {
        std::vector<std::array<float, 3>> points;
        size_t vertex_count = 20 + rng() % 200;
        for (size_t i = 0; i < vertex_count; ++i) {
            auto pick = [&] { return coords[rng() % (round % 2 ? 9 : coords.size())]; };
            points.push_back({pick(), pick(), pick()});
        }
        std::vector<std::array<int32_t, 3>> faces;
        size_t face_count = rng() % 400;
        for (size_t f = 0; f < face_count; ++f) {
            auto corner = [&] { return static_cast<int32_t>(rng() % vertex_count); };
            faces.push_back({corner(), corner(), corner()});
        }
        MeshObject mesh = mesh_of(points, faces);
        compute_face_planes(mesh);
        compute_vertex_normals(mesh);
        SCOPED_TRACE(round);
        expect_same_bits(mesh);
    }
}

TEST(CameraMatrix, FirstKeysPlaceTheCameraAndNoTrackGivesIdentity) {
    Camera camera;
    build_camera_matrix(camera);
    Matrix4 identity;
    matrix_identity(identity);
    EXPECT_EQ(camera.matrix.m, identity.m);

    camera.position_key_count = 1;
    camera.position_track = {{0}, {1}, {2}, {3}};
    build_camera_matrix(camera);
    EXPECT_EQ(camera.matrix.at(3, 0), 1.0f); // without a target: file axis order again
    EXPECT_EQ(camera.matrix.at(3, 1), 3.0f);
    EXPECT_EQ(camera.matrix.at(3, 2), 2.0f);
    EXPECT_EQ(camera.matrix.at(0, 0), 1.0f);

    camera.target_key_count = 2;
    camera.target_track = {{0, 5}, {1, 0}, {2, 0}, {13, 0}};
    build_camera_matrix(camera);
    const float expected[16] = {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(camera.matrix.m[static_cast<size_t>(i)], expected[i]) << i;

    camera.target_track = {{0}, {1}, {2}, {3}}; // target on the camera: NaN, but no UB
    camera.target_key_count = 1;
    build_camera_matrix(camera);
    EXPECT_TRUE(std::isnan(camera.matrix.at(2, 0)));
    EXPECT_EQ(camera.matrix.at(3, 3), 1.0f);
}

namespace {
// The partition as "first vertex with an equal position" per vertex, -1 for a NaN position:
// independent of how a method numbers its groups.
std::vector<int32_t> first_equal(const std::vector<int32_t>& group) {
    std::vector<int32_t> first(group.size(), -1);
    for (size_t i = 0; i < group.size(); ++i)
        for (size_t j = 0; j <= i && group[i] >= 0; ++j)
            if (group[j] == group[i]) {
                first[i] = static_cast<int32_t>(j);
                break;
            }
    return first;
}
} // namespace

TEST(PositionGroups, HashingSortingAndFloatEqualityAgree) {
    std::mt19937 rng(99);
    const std::vector<float> coords = {
        0.0f, -0.0f, 1.0f, 2.5f, -3.0f, 1e30f, std::numeric_limits<float>::quiet_NaN()};
    for (int round = 0; round < 10; ++round) {
        std::vector<std::array<float, 3>> points;
        for (int i = 0; i < 300; ++i)
            points.push_back({coords[rng() % 7], coords[rng() % 7], coords[rng() % 7]});
        MeshObject mesh = mesh_of(points, {});
        std::vector<int32_t> by_float(points.size(), -1);
        for (size_t i = 0; i < points.size(); ++i)
            for (size_t j = 0; j <= i; ++j)
                if (points[j] == points[i]) { // std::array == compares as floats do
                    by_float[i] = static_cast<int32_t>(j);
                    break;
                }
        std::vector<int32_t> sorted(points.size()), hashed(points.size());
        int32_t sorted_count = group_positions_by_sorting(mesh.vertices, sorted);
        int32_t hashed_count = group_positions_by_hashing(mesh.vertices, hashed, SIZE_MAX);
        EXPECT_EQ(sorted_count, hashed_count);
        EXPECT_EQ(first_equal(sorted), by_float);
        EXPECT_EQ(first_equal(hashed), by_float);
    }
}

TEST(PositionGroups, HashingGivesUpPastItsProbeBudgetAndTheFallbackStillGroups) {
    // 64 positions in a 128-slot table: some probe past a taken slot, which a zero budget refuses.
    std::vector<std::array<float, 3>> points;
    for (int i = 0; i < 64; ++i)
        points.push_back({static_cast<float>(i), 0.0f, 0.0f});
    points.push_back({-0.0f, 0.0f, 0.0f});
    MeshObject mesh = mesh_of(points, {});
    std::vector<int32_t> group(points.size());
    EXPECT_EQ(group_positions_by_hashing(mesh.vertices, group, 0), -1);
    int32_t count = 0;
    std::vector<int32_t> combined = group_equal_positions(mesh.vertices, count);
    EXPECT_EQ(count, 64);
    EXPECT_EQ(combined[64], combined[0]);
}
