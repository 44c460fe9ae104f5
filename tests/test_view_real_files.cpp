// The views on real .3ds files written by other programs (Debian packages glmark2-data and
// assimp-testmodels): every file with faces is seen well in the fit view, and every camera of
// those files shows what an independent pinhole projection in the file's own axes predicts.
#include "app/view_choice.h"
#include "loader/chunk_reader.h"
#include "tests/frame_stats.h"
#include "tests/real_files.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using frame_stats::border_gap;
using frame_stats::lit_area;

bool has_faces(const Scene& scene) {
    for (const MeshObject& mesh : scene.meshes)
        if (!mesh.faces.empty()) return true;
    return false;
}

TEST(ViewRealFiles, FitViewKeepsEveryFileInsideAndLitForAWholeSwing) {
    const auto files = real_files::all_3ds_files();
    if (files.empty()) GTEST_SKIP() << real_files::kMissing;
    int checked = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        std::string error;
        auto scene = load_scene(path.string(), error);
        ASSERT_TRUE(scene) << error;
        if (!has_faces(*scene)) continue;
        DemoState demo;
        ASSERT_TRUE(
            view_start(demo, *scene, ViewChoice{ViewKind::fit, "", false}, kWidth, kHeight, error))
            << error;
        for (int frame = 1; frame <= 63; ++frame) {
            demo_frame(demo);
            const auto a = lit_area(demo.frame_buffer, kWidth, kHeight);
            ASSERT_GE(double(a.count), 0.02 * kWidth * kHeight) << "frame " << frame;
            ASSERT_GE(border_gap(a, kWidth, kHeight), 4) << "frame " << frame;
        }
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

using Vec = std::array<double, 3>;

Vec sub(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec unit(const Vec& v) {
    const double l = std::sqrt(dot(v, v));
    return {v[0] / l, v[1] / l, v[2] / l};
}

// A loaded position back in the file's axes (the loader exchanges Y and Z).
Vec file_axes(double x, double y, double z) {
    return {x, z, y};
}

Vec first_key(const PositionTrack& track, int32_t keys, const std::array<float, 3>& chunk) {
    if (keys > 0) return file_axes(track.x[0], track.y[0], track.z[0]);
    return {chunk[0], chunk[1], chunk[2]};
}

struct Box {
    double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
};

// The camera's horizontal field of view in degrees: its field-of-view track's first key, which a
// player shows before the file moves, else the angle of its lens.
double field_of_view(const Scene& scene, const Camera& camera) {
    for (const KeyframeNode& node : scene.nodes)
        if (node.type == KeyframeNodeType::camera && node.record >= 0 &&
            size_t(node.record) < scene.cameras.size() &&
            &scene.cameras[size_t(node.record)] == &camera && !node.fov.keys.empty())
            return node.fov.keys[0].value[0];
    return 2 * std::atan(18.0 / camera.lens) * 180 / 3.14159265358979323846;
}

// The screen box of a mesh as a right-handed, Z-up pinhole camera sees it: right is forward x up,
// the picture's y grows downward. False when some vertex lies behind the camera.
bool projected_box(const MeshObject& mesh, const Camera& camera, double fov, Box& box) {
    const Vec eye = first_key(camera.position_track, camera.position_key_count, camera.position);
    const Vec target = first_key(camera.target_track, camera.target_key_count, camera.target);
    const Vec forward = unit(sub(target, eye));
    const Vec right = unit(cross(forward, {0, 0, 1}));
    const Vec up = cross(right, forward);
    const double focal = kWidth / 2.0 / std::tan(fov / 2 * 3.14159265358979323846 / 180);
    for (const Face& face : mesh.faces) {
        for (int32_t index : face.v) {
            const Vertex& v = mesh.vertices[size_t(index)];
            const Vec d = sub(file_axes(v.x, v.y, v.z), eye);
            const double depth = dot(d, forward);
            if (depth < 0.1) return false;
            const double x = kWidth / 2.0 + focal * dot(d, right) / depth;
            const double y = kHeight / 2.0 - focal * dot(d, up) / depth;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                   std::max(box.bottom, y)};
        }
    }
    return true;
}

bool inside_frame(const Box& b) {
    return b.left >= 3 && b.top >= 3 && b.right <= kWidth - 4 && b.bottom <= kHeight - 4;
}

// Each mesh in front of a camera is drawn alone through that camera. Its lit pixels must lie in
// the box the projection predicts and, when the camera sees it whole, fill that box: a picture
// turned, mirrored or shifted would not.
TEST(ViewRealFiles, CamerasShowWhatAnIndependentProjectionPredicts) {
    const auto files = real_files::all_3ds_files();
    if (files.empty()) GTEST_SKIP() << real_files::kMissing;
    int checked = 0;
    for (const auto& path : files) {
        std::string error;
        auto loaded = load_scene(path.string(), error);
        ASSERT_TRUE(loaded) << error;
        for (const Camera& camera : loaded->cameras) {
            ASSERT_EQ(camera.bank, 0.0f) << "the projection below knows no bank";
            for (const MeshObject& mesh : loaded->meshes) {
                SCOPED_TRACE(path.string() + " camera " + camera.name + " mesh " + mesh.name);
                Box expected;
                if (!projected_box(mesh, camera, field_of_view(*loaded, camera), expected))
                    continue;
                Scene scene = *loaded;
                scene.meshes = {mesh};
                DemoState demo;
                ASSERT_TRUE(view_start(demo, scene, ViewChoice{ViewKind::camera, camera.name, true},
                                       kWidth, kHeight, error))
                    << error;
                demo_frame(demo);
                const auto a = lit_area(demo.frame_buffer, kWidth, kHeight);
                ASSERT_GT(a.count, 0);
                // One pixel for the fill's sampling, one more for a face seen almost edge-on.
                EXPECT_GE(a.left, expected.left - 2);
                EXPECT_LE(a.right, expected.right + 2);
                EXPECT_GE(a.top, expected.top - 2);
                EXPECT_LE(a.bottom, expected.bottom + 2);
                if (inside_frame(expected)) {
                    EXPECT_LE(a.left, expected.left + 2);
                    EXPECT_GE(a.right, expected.right - 2);
                    EXPECT_LE(a.top, expected.top + 2);
                    EXPECT_GE(a.bottom, expected.bottom - 2);
                }
                ++checked;
            }
        }
    }
    EXPECT_GE(checked, 4) << "assimp-testmodels has three files with a camera, four meshes";
}

} // namespace
