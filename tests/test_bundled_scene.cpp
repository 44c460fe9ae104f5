// The bundled scene: the committed file must be exactly what the generator makes, the loader
// must find in it everything the generator wrote, and the demo must show it well: outward faces
// facing the camera, the whole picture inside the screen, and a good part of the screen covered.
#include "app/demo.h"
#include "loader/chunk_reader.h"
#include "tools/bundled_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

namespace {

const std::string kAsset = std::string(KALV_SOURCE_DIR) + "/assets/object.3ds";

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::unique_ptr<Scene> load_asset() {
    std::string error;
    auto scene = load_scene(kAsset, error);
    EXPECT_TRUE(scene) << kAsset << ": " << error;
    return scene;
}

int material_index(std::string_view name) {
    for (size_t i = 0; i < kBundledMaterials.size(); ++i) {
        if (kBundledMaterials[i] == name) return static_cast<int>(i);
    }
    return -1;
}

} // namespace

TEST(BundledScene, CommittedFileIsExactlyWhatTheGeneratorWrites) {
    std::vector<uint8_t> fresh;
    std::string error;
    ASSERT_TRUE(build_bundled_scene(fresh, error)) << error;
    const std::vector<uint8_t> committed = read_bytes(kAsset);
    ASSERT_FALSE(committed.empty()) << kAsset << " is missing";
    EXPECT_EQ(fresh.size(), committed.size());
    EXPECT_TRUE(fresh == committed)
        << "assets/object.3ds is stale: rebuild it with the regenerate_object_3ds target";

    std::vector<uint8_t> again;
    ASSERT_TRUE(build_bundled_scene(again, error));
    EXPECT_TRUE(again == fresh) << "two runs of the generator differ";
}

TEST(BundledScene, LoaderFindsEveryRecordTheGeneratorWrote) {
    const auto scene = load_asset();
    ASSERT_TRUE(scene);
    const std::vector<BundledMesh> meshes = bundled_meshes();
    ASSERT_EQ(scene->meshes.size(), meshes.size());
    for (size_t i = 0; i < meshes.size(); ++i) {
        const MeshObject& m = scene->meshes[i];
        const ShapeMesh& s = meshes[i].shape;
        SCOPED_TRACE(meshes[i].name);
        EXPECT_EQ(m.name, meshes[i].name);
        EXPECT_EQ(m.vertices.size(), s.positions.size());
        EXPECT_EQ(m.faces.size(), s.faces.size());
        EXPECT_EQ(m.node_id, static_cast<int32_t>(i));
        EXPECT_EQ(m.parent, meshes[i].parent_node);
        EXPECT_EQ(m.position_key_count, 3);
        EXPECT_EQ(m.rotation_key_count, 3);
        ASSERT_EQ(m.rotation_track.angle.size(), 3u);
        EXPECT_EQ(m.rotation_track.frame[2], 62.0f);
        // The loader swaps file Y and Z and keeps the mapping coordinates.
        for (size_t v = 0; v < s.positions.size(); v += 97) {
            EXPECT_EQ(m.vertices[v].x, static_cast<float>(s.positions[v][0]));
            EXPECT_EQ(m.vertices[v].y, static_cast<float>(s.positions[v][2]));
            EXPECT_EQ(m.vertices[v].z, static_cast<float>(s.positions[v][1]));
            EXPECT_EQ(m.vertices[v].u, s.uv[v][0]);
            EXPECT_EQ(m.vertices[v].v, s.uv[v][1]);
        }
        // Every face keeps the material of the group that lists it, the rest have none.
        std::vector<int> expected(s.faces.size(), -1);
        for (const MaterialGroup& g : meshes[i].groups) {
            for (uint16_t f : g.faces)
                expected[f] = material_index(g.material);
        }
        int unlisted = 0;
        for (size_t f = 0; f < m.faces.size(); ++f) {
            EXPECT_EQ(m.faces[f].material, expected[f]) << "face " << f;
            unlisted += expected[f] == -1;
        }
        EXPECT_GT(unlisted, 0);
    }

    ASSERT_EQ(scene->materials.size(), kBundledMaterials.size());
    for (size_t i = 0; i < kBundledMaterials.size(); ++i) {
        EXPECT_EQ(scene->materials[i].name, kBundledMaterials[i]);
    }
    EXPECT_EQ(scene->keyframe_start, kBundledFirstFrame);
    EXPECT_EQ(scene->keyframe_end, kBundledLastFrame);
}

TEST(BundledScene, LightsAndCameraCarryTheirOptionalChunks) {
    const auto scene = load_asset();
    ASSERT_TRUE(scene);
    ASSERT_EQ(scene->lights.size(), 2u);
    const Light& sun = scene->lights[0];
    EXPECT_EQ(sun.name, kBundledLights[0]);
    EXPECT_EQ(sun.spot, 0);
    EXPECT_EQ(sun.off, 0);
    EXPECT_EQ(sun.colour, (std::array<float, 3>{1.0f, 0.95f, 0.8f}));
    EXPECT_EQ(sun.colour_int, (std::array<int32_t, 3>{255, 242, 204}));
    const Light& spot = scene->lights[1];
    EXPECT_EQ(spot.name, kBundledLights[1]);
    EXPECT_EQ(spot.spot, 1);
    EXPECT_EQ(spot.off, 1);
    EXPECT_EQ(spot.raytrace_shadow, 1);
    EXPECT_EQ(spot.hotspot, 30.0f);
    EXPECT_EQ(spot.falloff, 45.0f);
    EXPECT_EQ(spot.inner_range, 50.0f);
    EXPECT_EQ(spot.outer_range, 400.0f);
    EXPECT_EQ(spot.multiplier, 1.5f);
    EXPECT_EQ(spot.position, (std::array<float, 3>{-100, 160, -80})); // scene axes

    ASSERT_EQ(scene->cameras.size(), 1u);
    const Camera& cam = scene->cameras[0];
    EXPECT_EQ(cam.name, kBundledCamera);
    EXPECT_EQ(cam.position, (std::array<float, 3>{0, -160, 70})); // file axes, as stored
    EXPECT_EQ(cam.lens, 35.0f);
    EXPECT_EQ(cam.position_key_count, 2);
    EXPECT_EQ(cam.target_key_count, 1);
    // Built from the first keys: placed at the position key, so row 3 is that point.
    EXPECT_EQ(cam.matrix.at(3, 0), 0.0f);
    EXPECT_EQ(cam.matrix.at(3, 1), 70.0f);
    EXPECT_EQ(cam.matrix.at(3, 2), -160.0f);
}

TEST(BundledScene, EveryShapeIsClosedAndWoundOutward) {
    for (const BundledMesh& mesh : bundled_meshes()) {
        SCOPED_TRACE(mesh.name);
        // Each edge of a closed mesh is used once in each direction; a face wound the wrong
        // way uses an edge twice in the same direction. Seams repeat positions under other
        // indices, so edges are compared by position.
        std::map<std::pair<Vec3, Vec3>, int> directed;
        for (const auto& f : mesh.shape.faces) {
            for (int k = 0; k < 3; ++k) {
                ++directed[{mesh.shape.positions[f[k]], mesh.shape.positions[f[(k + 1) % 3]]}];
            }
        }
        for (const auto& [edge, count] : directed) {
            ASSERT_EQ(count, 1) << "edge used twice in one direction";
            ASSERT_EQ(directed.count({edge.second, edge.first}), 1u) << "edge with no partner";
        }
        EXPECT_GT(signed_volume6(mesh.shape), 0.0) << "faces point into the solid";
    }
}

TEST(BundledScene, TheDemoCullsExactlyTheSphereFacesTurnedAwayFromIt) {
    const auto scene = load_asset();
    ASSERT_TRUE(scene);
    DemoState demo;
    demo_build_camera(demo);
    // Mesh matrices start as identity, so the camera's world position is its object position.
    const float ex = demo.camera.at(3, 0), ey = demo.camera.at(3, 1), ez = demo.camera.at(3, 2);
    const auto core_it = std::find_if(scene->meshes.begin(), scene->meshes.end(),
                                      [](const MeshObject& m) { return m.name == "Core"; });
    ASSERT_NE(core_it, scene->meshes.end());
    const MeshObject& core = *core_it;
    int drawn = 0;
    for (const Face& f : core.faces) {
        const Vertex& a = core.vertices[static_cast<size_t>(f.v[0])];
        const Vertex& b = core.vertices[static_cast<size_t>(f.v[1])];
        const Vertex& c = core.vertices[static_cast<size_t>(f.v[2])];
        const float cx = (a.x + b.x + c.x) / 3, cy = (a.y + b.y + c.y) / 3,
                    cz = (a.z + b.z + c.z) / 3;
        // On a sphere round the origin the outward direction at a face is its centroid.
        const float towards_camera = cx * (ex - cx) + cy * (ey - cy) + cz * (ez - cz);
        if (std::fabs(towards_camera) < 50.0f) continue; // edge-on faces: either way is fine
        const float d = f.plane.a * ex + f.plane.b * ey + f.plane.c * ez + f.plane.d;
        const bool is_drawn = d <= 0.1f;
        EXPECT_EQ(is_drawn, towards_camera > 0) << "face " << (&f - core.faces.data());
        drawn += is_drawn;
    }
    EXPECT_GT(drawn, 300);
}

TEST(BundledScene, SizeAndFaceCountSuitTheDemo) {
    const auto scene = load_asset();
    ASSERT_TRUE(scene);
    size_t faces = 0;
    float lo = 0, hi = 0;
    for (const MeshObject& m : scene->meshes) {
        faces += m.faces.size();
        for (const Vertex& v : m.vertices) {
            lo = std::min({lo, v.x, v.y, v.z});
            hi = std::max({hi, v.x, v.y, v.z});
        }
    }
    EXPECT_GE(faces, 2000u);
    EXPECT_LE(faces, 6000u);
    EXPECT_GE(hi - lo, 100.0f);
    EXPECT_LE(hi - lo, 140.0f);
    EXPECT_NEAR(hi + lo, 0.0f, 1.0f) << "not centred on the origin";
}

TEST(BundledScene, EveryFrameOfACycleStaysOnScreenAndFillsAGoodPart) {
    auto scene = load_asset();
    ASSERT_TRUE(scene);
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, *scene));
    for (int frame = 1; frame <= 63; ++frame) {
        demo_frame(demo);
        size_t lit = 0, lit_on_border = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                if (demo.frame_buffer[static_cast<size_t>(y) * kWidth + x] == 0) continue;
                ++lit;
                lit_on_border += x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
            }
        }
        EXPECT_EQ(lit_on_border, 0u) << "frame " << frame << " is cut off at the screen edge";
        EXPECT_GT(lit, static_cast<size_t>(kWidth * kHeight) / 8) << "frame " << frame;
    }
}

TEST(ShapeTrigonometry, AgreesWithTheLibraryToWithinRounding) {
    for (int i = -2000; i <= 2000; ++i) {
        const double x = i * 0.01;
        EXPECT_NEAR(shape_sin(x), std::sin(x), 1e-14) << x;
        EXPECT_NEAR(shape_cos(x), std::cos(x), 1e-14) << x;
    }
}
