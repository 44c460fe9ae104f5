// The pose at a key-frame time against values worked out by hand: tracks of each kind, a parent
// with a child, a pivot off the origin, a loop, a camera; then the four animated files of
// assimp-testmodels against what their own saved geometry says.
#include "anim/pose.h"
#include "anim/tracks.h"
#include "loader/chunk_reader.h"
#include "tools/chunk_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

constexpr double kPi = 3.14159265358979323846;

KeyTrack keys(std::vector<std::pair<float, std::array<float, 4>>> list, bool loop = false) {
    KeyTrack track;
    track.loop = loop;
    for (const auto& [frame, value] : list) {
        TrackKey key;
        key.frame = frame;
        key.value = value;
        track.keys.push_back(key);
    }
    return track;
}

void expect_near(const Vector3& a, const Vector3& b, double tolerance = 1e-4) {
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(a[i], b[i], tolerance) << "component " << i;
}

Vector3 point(const Matrix4& m, const Vector3& p) {
    Vector3 out{};
    for (int c = 0; c < 3; ++c)
        out[size_t(c)] = p[0] * m.at(0, c) + p[1] * m.at(1, c) + p[2] * m.at(2, c) + m.at(3, c);
    return out;
}

TEST(AnimTracks, SplinesEaseHoldLoopAndHide) {
    // Two keys: a straight line; scene axes in, file axes out.
    const KeyTrack line = keys({{0, {0, 0, 0}}, {10, {10, 20, 30}}});
    expect_near(vector_track_value(line, 5, {}), {5, 15, 10});
    expect_near(vector_track_value(line, -3, {}), {0, 0, 0});    // before the first key
    expect_near(vector_track_value(line, 99, {}), {10, 30, 20}); // after the last
    expect_near(vector_track_value(KeyTrack{}, 5, {1, 2, 3}), {1, 2, 3});
    // Three keys 0, 10, 0 (Catmull-Rom at the middle key): halfway to it,
    // 0.5 * 0 + 0.5 * 10 + 0.125 * 10 - 0.125 * 0 = 6.25.
    KeyTrack hill = keys({{0, {0}}, {10, {10}}, {20, {0}}});
    EXPECT_NEAR(scalar_track_value(hill, 5, 0), 6.25, 1e-9);
    // Full tension at the first key flattens its tangent: 0.5 * 10 - 0 = 5.
    hill.keys[0].tension = 1;
    EXPECT_NEAR(scalar_track_value(hill, 5, 0), 5, 1e-9);
    // Ease from 1 at the first key of a line: halfway in time is a quarter of the way.
    KeyTrack eased = keys({{0, {0}}, {10, {10}}});
    eased.keys[0].ease_from = 1;
    EXPECT_NEAR(scalar_track_value(eased, 5, 0), 2.5, 1e-9);
    // A loop runs through its keys again, before and after them.
    const KeyTrack loop = keys({{0, {0}}, {10, {10}}}, true);
    EXPECT_NEAR(scalar_track_value(loop, 15, 0), 5, 1e-9);
    EXPECT_NEAR(scalar_track_value(loop, -2, 0), 8, 1e-9);
    // Hide keys turn visibility over: hidden from frame 5 until frame 9.
    const KeyTrack hide = keys({{5, {}}, {9, {}}});
    EXPECT_FALSE(hide_track_value(hide, 4.9));
    EXPECT_TRUE(hide_track_value(hide, 5));
    EXPECT_FALSE(hide_track_value(hide, 9));
}

TEST(AnimTracks, RotationKeysTurnClockwiseAfterTheKeyBeforeAndKeepWholeTurns) {
    // File Z is scene y: the axis (0, 1, 0) below is the file's up axis.
    const KeyTrack quarter = keys({{0, {0, 0, 1, 0}}, {10, {float(kPi / 2), 0, 1, 0}}});
    expect_near(quaternion_rotate(rotation_track_value(quarter, 10), {1, 0, 0}), {0, -1, 0});
    const double h = std::sqrt(0.5);
    expect_near(quaternion_rotate(rotation_track_value(quarter, 5), {1, 0, 0}), {h, -h, 0});
    // A whole turn between two keys: halfway is half a turn, not standing still.
    const KeyTrack spin = keys({{0, {0, 0, 1, 0}}, {10, {float(2 * kPi), 0, 1, 0}}});
    expect_near(quaternion_rotate(rotation_track_value(spin, 5), {1, 0, 0}), {-1, 0, 0});
    // The second key turns after the first: a quarter about Z, then a quarter about X.
    const KeyTrack two = keys({{0, {float(kPi / 2), 0, 1, 0}}, {10, {float(kPi / 2), 1, 0, 0}}});
    expect_near(quaternion_rotate(rotation_track_value(two, 10), {1, 0, 0}), {0, 0, 1});
}

// --- small generated files ------------------------------------------------------------------

void track(ChunkWriter& w, uint16_t id, uint16_t flags,
           std::vector<std::pair<uint32_t, std::vector<float>>> list) {
    begin_chunk(w, id);
    write_u16(w, flags);
    for (int i = 0; i < 8; ++i)
        write_u8(w, 0);
    write_u32(w, uint32_t(list.size()));
    for (const auto& [frame, values] : list) {
        write_u32(w, frame);
        write_u16(w, 0);
        for (float f : values)
            write_float(w, f);
    }
    end_chunk(w);
}

void node(ChunkWriter& w, uint16_t kind, uint16_t id, const std::string& name, uint16_t parent) {
    begin_chunk(w, kind);
    begin_chunk(w, 0xB030);
    write_u16(w, id);
    end_chunk(w);
    begin_chunk(w, 0xB010);
    write_name(w, name);
    write_u16(w, 0);
    write_u16(w, 0);
    write_u16(w, parent);
    end_chunk(w);
}

// A one-triangle mesh with local axes at origin (file axes).
void mesh(ChunkWriter& w, const std::string& name, std::array<float, 3> origin) {
    begin_chunk(w, 0x4000);
    write_name(w, name);
    begin_chunk(w, 0x4100);
    begin_chunk(w, 0x4110);
    write_u16(w, 3);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f})
        write_float(w, f);
    end_chunk(w);
    begin_chunk(w, 0x4160);
    for (float f : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, origin[0], origin[1], origin[2]})
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
}

std::unique_ptr<Scene> load(ChunkWriter& w) {
    while (end_chunk(w)) {
    }
    std::string error;
    auto scene = load_scene_from_memory(chunk_bytes(w), error);
    EXPECT_TRUE(scene) << error;
    return scene;
}

TEST(AnimPose, ParentChildPivotScaleAndLoopFromAFile) {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
    mesh(w, "Arm", {5, 0, 0});
    mesh(w, "Hand", {0, 0, 0});
    end_chunk(w);
    begin_chunk(w, 0xB000);
    node(w, 0xB002, 0, "Arm", 65535);
    track(w, 0xB020, 3, {{0, {5, 0, 0}}, {10, {15, 0, 0}}});
    track(w, 0xB021, 3, {{0, {0, 0, 0, 1}}, {10, {float(kPi), 0, 0, 1}}});
    track(w, 0xB022, 3, {{0, {1, 1, 1}}, {10, {3, 3, 3}}});
    end_chunk(w);
    node(w, 0xB002, 1, "Hand", 0);
    begin_chunk(w, 0xB013);
    for (float f : {1.f, 0.f, 0.f})
        write_float(w, f);
    end_chunk(w);
    track(w, 0xB020, 0, {{0, {2, 0, 0}}});
    auto scene = load(w);
    ASSERT_TRUE(scene);
    ASSERT_EQ(scene->nodes.size(), 2u);
    EXPECT_TRUE(scene_is_animated(*scene));
    // Frame 0: the arm stands where it was saved; its vertex (1, 0, 0) stays put.
    ScenePose pose = pose_scene(*scene, 0);
    expect_near(point(pose.meshes[0].placement, {1, 0, 0}), {1, 0, 0});
    // Frame 5: the arm at (10, 0, 0), scale 2 (the loop's halfway), turned a quarter clockwise
    // about Z: its vertex 1 - 5 = -4 units along its x lands at (10, 8, 0).
    pose = pose_scene(*scene, 5);
    expect_near(point(pose.meshes[0].placement, {1, 0, 0}), {10, 8, 0});
    // The hand: 2 along the arm's x (x maps to -y, scale 2: (10, -4, 0)), its pivot (1, 0, 0)
    // moved to there: the saved vertex (1, 0, 0) lands on (10, -4, 0), (2, 0, 0) two further.
    expect_near(point(pose.meshes[1].placement, {1, 0, 0}), {10, -4, 0});
    expect_near(point(pose.meshes[1].placement, {2, 0, 0}), {10, -6, 0});
    // Scene axes carry the same map with Y and Z exchanged.
    expect_near(point(pose.meshes[1].scene_placement, {2, 0, 0}), {10, 0, -6});
    // The arm's tracks loop: frame 15 is frame 5 again.
    const ScenePose again = pose_scene(*scene, 15);
    expect_near(point(again.meshes[1].placement, {2, 0, 0}), {10, -6, 0});
}

TEST(AnimPose, CamerasFollowTheirNodesWithRollAndFieldOfView) {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
    mesh(w, "Box", {0, 0, 0});
    begin_chunk(w, 0x4000);
    write_name(w, "Cam");
    begin_chunk(w, 0x4700);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 18.f}) // lens 18: 90 degrees
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB000);
    node(w, 0xB003, 0, "Cam", 65535);
    track(w, 0xB020, 0, {{0, {0, -10, 0}}, {10, {0, -20, 0}}});
    track(w, 0xB024, 0, {{0, {0}}, {10, {90}}});
    end_chunk(w);
    node(w, 0xB004, 1, "Cam", 65535);
    track(w, 0xB020, 0, {{0, {0, 0, 0}}});
    end_chunk(w);
    node(w, 0xB002, 2, "Box", 0); // a child of the camera, 10 along its line of sight
    track(w, 0xB020, 0, {{0, {0, 0, -10}}});
    auto scene = load(w);
    ASSERT_TRUE(scene);
    const ScenePose start = pose_scene(*scene, 0);
    ASSERT_EQ(start.cameras.size(), 1u);
    expect_near(start.cameras[0].position, {0, -10, 0});
    expect_near(start.cameras[0].target, {0, 0, 0});
    EXPECT_FALSE(start.cameras[0].fov_from_track);
    EXPECT_NEAR(start.cameras[0].fov, 90, 1e-9);
    expect_near(point(start.meshes[0].placement, {0, 0, 0}), {0, 0, 0});
    const ScenePose end = pose_scene(*scene, 10);
    expect_near(end.cameras[0].position, {0, -20, 0});
    EXPECT_NEAR(end.cameras[0].roll, 90, 1e-9);
    // Rolled a quarter turn counter-clockwise: the camera's x (right, file +X at roll 0) now
    // points up (+Z); the child stands 10 ahead of the camera.
    expect_near(point(end.nodes[0], {1, 0, 0}), {0, -20, 1});
    expect_near(point(end.meshes[0].placement, {0, 0, 0}), {0, -10, 0});
}

// --- the files of assimp-testmodels -----------------------------------------------------------

std::unique_ptr<Scene> assimp_file(const char* name) {
    const std::string path = std::string("/usr/share/assimp/models/3DS/") + name;
    if (!std::filesystem::exists(path)) return nullptr;
    std::string error;
    auto scene = load_scene(path, error);
    EXPECT_TRUE(scene) << error;
    return scene;
}

// The largest distance any of the mesh's vertices moves under its placement.
double largest_move(const Scene& scene, const ScenePose& pose, size_t mesh) {
    double most = 0;
    for (const Vertex& v : scene.meshes[mesh].vertices) {
        const Vector3 p{v.x, v.y, v.z};
        most = std::max(most,
                        vector_length(vector_sub(point(pose.meshes[mesh].scene_placement, p), p)));
    }
    return most;
}

TEST(AnimRealFiles, TheFourAnimatedFilesOfAssimpTestmodels) {
    auto cube = assimp_file("RotatingCube.3DS");
    auto roll = assimp_file("CameraRollAnim.3ds");
    auto target = assimp_file("TargetCameraAnim.3ds");
    auto child = assimp_file("CameraRollAnimWithChildObject.3ds");
    if (!cube || !roll || !target || !child)
        GTEST_SKIP() << "install the Debian package assimp-testmodels to run this test";
    // The cube was saved at key frame 180: 180 relative rotation keys bring it back exactly
    // where its vertices stand (a box about 70 units across), and at frame 90 it is turned away.
    EXPECT_TRUE(scene_is_animated(*cube));
    EXPECT_LT(largest_move(*cube, pose_scene(*cube, 180), 0), 0.05);
    EXPECT_GT(largest_move(*cube, pose_scene(*cube, 90), 0), 20);
    // The rolling camera: field of view 45 from its track (its lens says 37.3), roll from -0.05
    // to -77.3 over frames 0 to 120, halfway (two keys) at 60.
    const ScenePose rolled = pose_scene(*roll, 60);
    EXPECT_TRUE(rolled.cameras[0].fov_from_track);
    EXPECT_NEAR(rolled.cameras[0].fov, 45, 1e-6);
    EXPECT_NEAR(rolled.cameras[0].roll, (-0.0532355 - 77.3054) / 2, 1e-4);
    EXPECT_NEAR(pose_scene(*roll, 200).cameras[0].roll, -77.3054, 1e-4);
    // The target camera's keys are met exactly; between its equal keys 30 and 60 the spline
    // swings over them, as a Kochanek-Bartels curve through 0, 85, 85, -90 does.
    const ScenePose moved = pose_scene(*target, 30);
    EXPECT_GT(pose_scene(*target, 45).cameras[0].position[2], 85.5);
    expect_near(moved.cameras[0].position, {-65.8677, 16.1213, 85.4181}, 1e-3);
    expect_near(pose_scene(*target, 60).cameras[0].target, {100.41, 28.2159, 0}, 1e-3);
    // The box that is a child of the rolling camera stands where it was saved at frame 0, and
    // as the camera rolls its origin (the box's local axes) slides along the ground (Z near 0)
    // to Box01's edge at Y = -24.8; rolled the other way it would fly 100 units up.
    ASSERT_EQ(child->meshes[1].name, "Box02");
    EXPECT_LT(largest_move(*child, pose_scene(*child, 0), 1), 0.05);
    const Matrix4& axes = child->meshes[1].matrix;
    const Vector3 origin{axes.at(3, 0), axes.at(3, 1), axes.at(3, 2)};
    expect_near(point(pose_scene(*child, 120).meshes[1].placement, origin), {-5.4, -24.2, -1.8},
                0.5);
}

} // namespace
