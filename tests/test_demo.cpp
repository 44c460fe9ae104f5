#include "app/demo.h"
#include "render/mesh_renderer.h"
#include "render/view.h"
#include "tests/allocation_counter.h"
#include "tests/render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using fixtures::vertex;

// A square of side 20 around the origin, facing the demo camera, which looks at the origin from
// above and behind: the camera's view direction is (0, -0.5, 0.866) in world space.
MeshObject square_at_origin() {
    const float c = 0.8660254f, s = 0.5f; // the square's plane is normal to the view direction
    auto p = [&](float u, float v) { return vertex(u, v * c, v * s); };
    return fixtures::mesh({p(-10, -10), p(10, -10), p(10, 10), p(-10, 10)},
                          {{0, 1, 2}, {0, 2, 3}, {0, 3, 2}, {0, 2, 1}});
}

TEST(DemoCamera, SitsAboveAndBehindTheOriginLookingAtIt) {
    DemoState demo;
    demo_build_camera(demo);
    const Matrix4& m = demo.camera;
    // Half a turn about z flips x and y; the 30 degree tilt about x then points the view axis
    // down at the origin from 150 units away: position (0, 75, -129.9).
    EXPECT_NEAR(m.at(0, 0), -1.0f, 1e-6);
    EXPECT_NEAR(m.at(2, 1), -0.5f, 1e-6);
    EXPECT_NEAR(m.at(2, 2), 0.8660254f, 1e-6);
    EXPECT_NEAR(m.at(3, 0), 0.0f, 1e-4);
    EXPECT_NEAR(m.at(3, 1), 75.0f, 1e-4);
    EXPECT_NEAR(m.at(3, 2), -129.90381f, 1e-4);
    EXPECT_EQ(m.at(3, 3), 1.0f);
}

TEST(DemoStart, ResetsMatricesSetsTheViewAndAllocatesTheFrame) {
    Scene scene;
    scene.meshes.push_back(square_at_origin());
    scene.meshes[0].matrix.at(1, 2) = 5; // whatever the file said is discarded
    scene.mesh_count = 1;
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    Matrix4 id;
    matrix_identity(id);
    EXPECT_EQ(scene.meshes[0].matrix.m, id.m);
    EXPECT_EQ(demo.renderer.view.Width, kWidth);
    EXPECT_EQ(demo.renderer.view.Height, kHeight);
    EXPECT_EQ(demo.frame_buffer.size(), size_t(kWidth) * kHeight);
    EXPECT_EQ(demo.scene, &scene);
}

TEST(DemoFrame, AngleRunsACycleOf63Frames) {
    Scene scene;
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    demo_frame(demo);
    EXPECT_EQ(demo.angle, 0.1f);
    for (int i = 2; i <= 62; ++i)
        demo_frame(demo);
    EXPECT_GT(demo.angle, 6.1f);
    EXPECT_LE(demo.angle, 6.28f);
    demo_frame(demo);
    EXPECT_EQ(demo.angle, 0.0f);
    demo_frame(demo);
    EXPECT_EQ(demo.angle, 0.1f);
}

TEST(DemoFrame, EmptySceneGivesABlackFrame) {
    Scene scene;
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    std::fill(demo.frame_buffer.begin(), demo.frame_buffer.end(), 0x00ABCDEFu);
    demo_frame(demo);
    for (uint32_t p : demo.frame_buffer)
        ASSERT_EQ(p, 0u);
}

TEST(DemoFrame, SpinsEachMeshAboutXThenY) {
    Scene scene;
    scene.meshes.push_back(square_at_origin());
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    demo_frame(demo);
    // After one frame m = Ry(b) * Rx(a), a = 0.031415924, b = sin(0.1) * a: a point is turned
    // about y first, then about x. So the y axis goes to (0, cos a, sin a) and the x axis to
    // (cos b, 0, -sin b) turned about x: (cos b, sin a sin b, -cos a sin b).
    const double a = 0.031415924, b = std::sin(0.1) * a;
    const Matrix4& m = scene.meshes[0].matrix;
    EXPECT_NEAR(m.at(1, 0), 0.0, 1e-7);
    EXPECT_NEAR(m.at(1, 1), std::cos(a), 1e-7);
    EXPECT_NEAR(m.at(1, 2), std::sin(a), 1e-7);
    EXPECT_NEAR(m.at(0, 0), std::cos(b), 1e-7);
    EXPECT_NEAR(m.at(0, 1), std::sin(a) * std::sin(b), 1e-7);
    EXPECT_NEAR(m.at(0, 2), -std::cos(a) * std::sin(b), 1e-7);
    EXPECT_EQ(m.at(3, 0), 0.0f);
}

TEST(DemoFrame, MeshFacingTheCameraCoversTheScreenCentre) {
    Scene scene;
    scene.meshes.push_back(square_at_origin());
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    demo_frame(demo);
    // The origin projects to the screen centre; the square, 20 wide at distance 150, spans about
    // 34 pixels, and faces the camera almost squarely (both windings are present, so one is
    // always drawn).
    const auto px = [&](int x, int y) { return demo.frame_buffer[size_t(y) * kWidth + size_t(x)]; };
    const uint32_t centre = px(256, 192);
    EXPECT_TRUE(centre == 0x00F97F07u || centre == shade_colour(kMeshColour, 254))
        << std::hex << centre;
    EXPECT_EQ(px(256 + 25, 192), 0u);
    EXPECT_EQ(px(256, 192 + 25), 0u);
    EXPECT_EQ(px(256 + 14, 192 + 14), centre);
    EXPECT_EQ(px(0, 0), 0u);
}

TEST(DemoFrame, LaterMeshesCoverEarlierOnes) {
    // The square leaning back (its far edge pushed away from the camera): smaller on screen,
    // darker, and still over the screen centre.
    MeshObject tilted = square_at_origin();
    for (Vertex& v : tilted.vertices) {
        v.z += v.y * 0.8660254f;
        v.y *= 0.5f;
    }
    tilted = fixtures::mesh(tilted.vertices, {{0, 1, 2}, {0, 2, 3}, {0, 3, 2}, {0, 2, 1}});
    const auto centre_after_one_frame = [](std::vector<MeshObject> meshes) {
        Scene scene;
        scene.meshes = std::move(meshes);
        DemoState demo;
        EXPECT_TRUE(demo_start(demo, scene));
        demo_frame(demo);
        return demo.frame_buffer[size_t(192) * kWidth + 256];
    };
    const uint32_t square_alone = centre_after_one_frame({square_at_origin()});
    const uint32_t tilted_alone = centre_after_one_frame({tilted});
    ASSERT_NE(tilted_alone, 0u);
    ASSERT_NE(tilted_alone, square_alone);
    EXPECT_EQ(centre_after_one_frame({square_at_origin(), tilted}), tilted_alone);
    EXPECT_EQ(centre_after_one_frame({tilted, square_at_origin()}), square_alone);
}

TEST(DemoFrame, AllocatesNothing) {
    Scene scene;
    scene.meshes.push_back(fixtures::torus(40, 20, 40, 12));
    scene.meshes.push_back(square_at_origin());
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    const long before = allocations_so_far();
    for (int i = 0; i < 5; ++i)
        demo_frame(demo);
    EXPECT_EQ(allocations_so_far(), before);
}

TEST(DemoCopy, ContiguousAndPitchedSurfaces) {
    Scene scene;
    DemoState demo;
    ASSERT_TRUE(demo_start(demo, scene));
    for (size_t i = 0; i < demo.frame_buffer.size(); ++i)
        demo.frame_buffer[i] = uint32_t(i * 7);

    std::vector<uint32_t> exact(demo.frame_buffer.size(), 1u);
    demo_copy_frame(demo, exact.data(), kWidth * 4);
    EXPECT_EQ(exact, demo.frame_buffer);

    const int pitch_pixels = kWidth + 16;
    std::vector<uint32_t> padded(size_t(pitch_pixels) * kHeight, 0xDEADu);
    demo_copy_frame(demo, padded.data(), pitch_pixels * 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < pitch_pixels; ++x) {
            const uint32_t got = padded[size_t(y * pitch_pixels + x)];
            if (x < kWidth)
                ASSERT_EQ(got, demo.frame_buffer[size_t(y * kWidth + x)]);
            else
                ASSERT_EQ(got, 0xDEADu) << "padding written at row " << y;
        }
    }

    // A pitch too small for a row would overrun the surface: nothing is copied.
    std::vector<uint32_t> narrow(size_t(kWidth) * kHeight, 3u);
    demo_copy_frame(demo, narrow.data(), kWidth * 4 - 4);
    EXPECT_EQ(narrow[1], 3u);
}

} // namespace
