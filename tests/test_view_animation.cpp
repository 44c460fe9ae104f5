// The file's own animation in the fit and camera views: a camera's roll and field of view turn
// the view as the camera chunk's bank and lens do, hidden meshes vanish, and the real animated
// files play, loop, and stay inside the fit view's frame at every frame.
#include "anim/pose.h"
#include "app/view_animation.h"
#include "test_loader_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace loader_test;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A closed tetrahedron at the origin (file axes).
void shape(ChunkWriter& w) {
    mesh_object(w, "Shape", {{-1, -1, -1}, {2, 0, 0}, {0, 2, 0}, {0, 0, 2}},
                {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
}

// A track of one value per key (field of view, roll) or of none (hide).
void scalar_track(ChunkWriter& w, uint16_t id, const std::vector<std::pair<uint32_t, float>>& keys,
                  bool has_value = true) {
    begin_chunk(w, id);
    track_header(w, uint32_t(keys.size()));
    for (const auto& [frame, value] : keys) {
        key_header(w, frame, 0);
        if (has_value) write_float(w, value);
    }
    end_chunk(w);
}

// The shape and camera "Cam" 10 units in front of it, banked by bank degrees, with key-frame nodes
// for the camera, which gets a roll and a field-of-view track when asked, and for the shape,
// which its hide track hides from key frame 5 to 8 when asked.
std::unique_ptr<Scene> camera_scene(float bank, const float* roll, const float* fov,
                                    bool hide = false) {
    ChunkWriter w;
    begin_scene(w);
    shape(w);
    named_object(w, "Cam");
    begin_chunk(w, 0x4700);
    for (float f : {0.f, -10.f, 0.f, 0.f, 0.f, 0.f, bank, 50.f})
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w); // the 3D editor chunk
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB003);
    node_id(w, 0);
    node_header(w, "Cam", 65535);
    position_track(w, {{0, {0, -10, 0}}});
    if (roll) scalar_track(w, 0xB024, {{0, *roll}});
    if (fov) scalar_track(w, 0xB023, {{0, *fov}});
    end_chunk(w);
    begin_chunk(w, 0xB004);
    node_id(w, 1);
    node_header(w, "Cam", 65535);
    position_track(w, {{0, {0, 0, 0}}});
    end_chunk(w);
    if (hide) {
        begin_chunk(w, 0xB002);
        node_id(w, 2);
        node_header(w, "Shape", 65535);
        scalar_track(w, 0xB029, {{5, 0}, {8, 0}}, false);
    }
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    EXPECT_TRUE(scene) << error;
    return scene;
}

// The smallest distance from a lit pixel to the frame's border (the frame's size when none is).
int32_t border_gap(const DemoState& demo) {
    int32_t gap = demo.width;
    for (int32_t y = 0; y < demo.height; ++y)
        for (int32_t x = 0; x < demo.width; ++x)
            if (demo.frame_buffer[size_t(y * demo.width + x)] != 0)
                gap = std::min({gap, x, y, demo.width - 1 - x, demo.height - 1 - y});
    return gap;
}

// Output frame k of a file playing in a started view.
std::vector<uint32_t> play_frame(const ViewAnimation& a, DemoState& demo, const Scene& segment,
                                 int32_t k) {
    std::string error;
    view_animation_pose(a, demo, play_key_frame(segment, k), error);
    demo_frame(demo);
    return demo.frame_buffer;
}

} // namespace

TEST(ViewAnimation, RollAndFieldOfViewTracksTurnTheViewAsBankAndLensDo) {
    // The camera chunk's bank of 30 degrees and lens of 50 mm, in the camera view as it stood.
    auto banked = camera_scene(30, nullptr, nullptr);
    ASSERT_TRUE(banked);
    Scene plain_scene = *banked;
    ViewChoice choice;
    choice.kind = ViewKind::camera;
    choice.still = true;
    std::string error;
    DemoState plain, posed;
    ASSERT_TRUE(view_start(plain, plain_scene, choice, 96, 64, error)) << error;
    // Posed without roll or field-of-view tracks, the camera keeps that bank and lens.
    ViewAnimation a;
    ASSERT_TRUE(view_animation_start(a, posed, *banked, choice, 96, 64, 0, error)) << error;
    const auto expect_same_camera = [&](const DemoState& other) {
        for (size_t i = 0; i < 16; ++i)
            EXPECT_NEAR(plain.camera.m[i], other.camera.m[i], 1e-4) << "element " << i;
        EXPECT_NEAR(plain.renderer.view.focal, other.renderer.view.focal, 1e-3);
    };
    expect_same_camera(posed);
    // A roll of -30 turns the camera as a bank of 30 does (positive roll turns it
    // counter-clockwise seen from behind, positive bank clockwise), and a field of view of
    // 2 atan(18 / 50) degrees is the lens of 50 mm.
    const float roll = -30, fov = float(2 * std::atan(18.0 / 50.0) * 180 / kPi);
    auto rolled = camera_scene(0, &roll, &fov);
    ASSERT_TRUE(rolled);
    DemoState by_tracks;
    ViewAnimation b;
    ASSERT_TRUE(view_animation_start(b, by_tracks, *rolled, choice, 96, 64, 0, error)) << error;
    expect_same_camera(by_tracks);
}

TEST(ViewAnimation, AMeshItsHideTrackHidesIsNotDrawn) {
    auto scene = camera_scene(0, nullptr, nullptr, true);
    ASSERT_TRUE(scene);
    ViewChoice choice;
    choice.kind = ViewKind::fit;
    DemoState demo;
    ViewAnimation a;
    std::string error;
    ASSERT_TRUE(view_animation_start(a, demo, *scene, choice, 64, 48, 0, error)) << error;
    for (const auto& [t, shown] : {std::pair{0.0, true}, {6.0, false}, {9.0, true}}) {
        ASSERT_TRUE(view_animation_pose(a, demo, t, error)) << error;
        demo_frame(demo);
        EXPECT_EQ(border_gap(demo) < demo.width, shown) << "key frame " << t;
    }
}

TEST(ViewAnimationRealFiles, FilesPlayLoopStayInsideTheFitFrameAndUseTheirFieldOfView) {
    const std::string dir = "/usr/share/assimp/models/3DS/";
    if (!std::filesystem::exists(dir + "RotatingCube.3DS"))
        GTEST_SKIP() << "install the Debian package assimp-testmodels to run this test";
    for (const char* name : {"RotatingCube.3DS", "CameraRollAnimWithChildObject.3ds"}) {
        SCOPED_TRACE(name);
        std::string error;
        auto scene = load_scene(dir + name, error);
        ASSERT_TRUE(scene) << error;
        const Scene segment = *scene;
        const int32_t pass = play_frame_count(segment);
        EXPECT_EQ(pass, 500); // key frames 0 to 300 at 0.6 a frame
        ViewChoice choice;
        choice.kind = ViewKind::fit;
        DemoState demo;
        ViewAnimation a;
        ASSERT_TRUE(view_animation_start(a, demo, *scene, choice, 128, 96, 0, error)) << error;
        // The fit leaves a tenth of the frame's half height free at every border (about five
        // pixels here) at every time of the segment.
        for (int32_t k = 1; k <= pass; k += 7) {
            play_frame(a, demo, segment, k);
            const int32_t gap = border_gap(demo);
            ASSERT_TRUE(gap >= 3 && gap < demo.width) << "frame " << k << ", gap " << gap;
        }
        // The file moves, and the pass ends where it began.
        const std::vector<uint32_t> first = play_frame(a, demo, segment, 1);
        EXPECT_NE(play_frame(a, demo, segment, 150), first);
        EXPECT_EQ(play_frame(a, demo, segment, pass + 1), first);
    }
    // CameraRollAnim.3ds looks through its field-of-view track: 45 degrees, not the 37.3 of its
    // lens, so focal = 100 / tan(22.5 degrees) in a frame 200 pixels wide.
    std::string error;
    auto scene = load_scene(dir + "CameraRollAnim.3ds", error);
    ASSERT_TRUE(scene) << error;
    ViewChoice choice;
    choice.kind = ViewKind::camera;
    DemoState demo;
    ViewAnimation a;
    ASSERT_TRUE(view_animation_start(a, demo, *scene, choice, 200, 100, 0, error)) << error;
    EXPECT_NEAR(demo.renderer.view.focal, 100 / std::tan(22.5 * kPi / 180), 1e-3);
}
