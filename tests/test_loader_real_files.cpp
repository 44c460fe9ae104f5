// Real .3ds files written by other programs (Debian packages glmark2-data and assimp-testmodels).
// Each must load, and what the loader reports must agree with an independent walk of the file
// by the small reader below, which knows only the handful of chunks it needs.
#include "loader/chunk_reader.h"
#include "tests/real_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

struct Expected {
    std::vector<std::string> mesh_names, material_names;
    std::vector<int> vertex_counts, face_counts;
    int cameras = 0, lights = 0;
};

uint32_t le(const std::vector<uint8_t>& b, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | b[at + static_cast<size_t>(i)];
    return value;
}

std::string c_string(const std::vector<uint8_t>& b, size_t at, size_t end) {
    std::string s;
    while (at < end && b[at] != 0)
        s.push_back(static_cast<char>(b[at++]));
    return s.substr(0, 63);
}

void walk(const std::vector<uint8_t>& b, size_t pos, size_t end, Expected& out,
          std::string& object_name) {
    while (pos + 6 <= end) {
        uint32_t id = le(b, pos, 2), length = le(b, pos + 2, 4);
        if (length < 6 || pos + length > end) return;
        size_t body = pos + 6, next = pos + length;
        switch (id) {
        case 0x4D4D:
        case 0x3D3D:
        case 0xAFFF:
            walk(b, body, next, out, object_name);
            break;
        case 0x4000:
            object_name = c_string(b, body, next);
            walk(b,
                 static_cast<size_t>(std::find(b.begin() + body, b.begin() + next, 0) - b.begin()) +
                     1,
                 next, out, object_name);
            break;
        case 0x4100:
            out.mesh_names.push_back(object_name);
            out.vertex_counts.push_back(0);
            out.face_counts.push_back(0);
            walk(b, body, next, out, object_name);
            break;
        case 0x4110:
            out.vertex_counts.back() = static_cast<int>(le(b, body, 2));
            break;
        case 0x4120:
            out.face_counts.back() = static_cast<int>(le(b, body, 2));
            break;
        case 0x4600:
            ++out.lights;
            break;
        case 0x4700:
            ++out.cameras;
            break;
        case 0xA000:
            out.material_names.push_back(c_string(b, body, next));
            break;
        }
        pos = next;
    }
}

} // namespace

TEST(LoaderRealFiles, EveryPackagedFileLoadsAndAgreesWithAnIndependentWalk) {
    std::vector<fs::path> files = real_files::all_3ds_files();
    if (files.empty()) GTEST_SKIP() << real_files::kMissing;
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        Expected expected;
        std::string object_name;
        walk(bytes, 0, bytes.size(), expected, object_name);

        std::string error;
        auto scene = load_scene(path.string(), error);
        ASSERT_TRUE(scene) << error;
        ASSERT_EQ(scene->mesh_count, static_cast<int>(expected.mesh_names.size()));
        EXPECT_EQ(scene->camera_count, expected.cameras);
        EXPECT_EQ(scene->light_count, expected.lights);
        ASSERT_EQ(scene->materials.size(), expected.material_names.size());
        for (size_t i = 0; i < scene->materials.size(); ++i)
            EXPECT_EQ(scene->materials[i].name, expected.material_names[i]);
        for (size_t i = 0; i < scene->meshes.size(); ++i) {
            const MeshObject& mesh = scene->meshes[i];
            EXPECT_EQ(mesh.name, expected.mesh_names[i]);
            EXPECT_EQ(mesh.vertex_count, expected.vertex_counts[i]);
            ASSERT_EQ(mesh.face_count, expected.face_counts[i]);
            for (const Face& face : mesh.faces)
                for (int32_t v : face.v)
                    ASSERT_LT(v, mesh.vertex_count);
            for (const Vertex& v : mesh.vertices) {
                double length = std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz);
                if (length != 0.0) {
                    EXPECT_NEAR(length, 1.0, 1e-5);
                }
            }
        }
    }
}

TEST(LoaderRealFiles, HandCheckedKeyframeValues) {
    const std::string path = "/usr/share/assimp/models/3DS/TargetCameraAnim.3ds";
    if (!fs::exists(path)) GTEST_SKIP() << path << " absent: install assimp-testmodels";
    std::string error;
    auto scene = load_scene(path, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->keyframe_end, 300);
    ASSERT_EQ(scene->cameras.size(), 1u);
    EXPECT_EQ(scene->cameras[0].name, "Camera01");
    EXPECT_EQ(scene->cameras[0].position_key_count, 4);
    EXPECT_EQ(scene->cameras[0].target_key_count, 3);
    EXPECT_EQ(scene->meshes[0].parent, 65535);
}
