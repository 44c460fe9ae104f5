// A frame drawn on several threads must be, pixel for pixel, the frame drawn on one: the scenes
// below mix ordinary faces with those that stress the banding (faces ending exactly on band
// edges or spanning many bands), degenerate, huge and clipped faces, and overlaps whose order
// shows.
#include "app/demo_threads.h"
#include "app/model_frame.h"
#include "app/view_choice.h"
#include "loader/chunk_reader.h"
#include "render/mesh_renderer.h"
#include "render/renderer.h"
#include "render/threaded_frame.h"
#include "render/view.h"
#include "tests/allocation_counter.h"
#include "tests/frame_stats.h"
#include "tests/render_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using fixtures::vertex;

constexpr uint32_t kBase = 0x00FA8008;
constexpr float kDepth =
    256.0f; // with the identity camera, (x, y, 256) lands on (x + 256, y + 192)

Matrix4 identity() {
    Matrix4 m;
    matrix_identity(m);
    return m;
}

// Screen position (sx, sy) at depth kDepth, for the identity camera and a 512 x 384 view.
Vertex at_screen(float sx, float sy, float z = kDepth) {
    return vertex((sx - 256.0f) * z / 256.0f, (sy - 192.0f) * z / 256.0f, z);
}

struct SceneBuilder {
    std::mt19937 rng{20261207};
    std::vector<Vertex> vs;
    std::vector<std::array<int32_t, 3>> tris;

    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    void triangle(const Vertex& a, const Vertex& b, const Vertex& c) {
        const int32_t n = int32_t(vs.size());
        vs.insert(vs.end(), {a, b, c});
        // Either winding: about half face away and are culled or come out clockwise.
        if (rng() & 1)
            tris.push_back({n, n + 1, n + 2});
        else
            tris.push_back({n, n + 2, n + 1});
    }
    MeshObject take() {
        MeshObject m = fixtures::mesh(std::move(vs), tris);
        vs.clear();
        tris.clear();
        return m;
    }
};

// Small faces anywhere on the screen, tilted so their shades differ and overlaps show.
MeshObject small_faces(SceneBuilder& b, int count) {
    for (int i = 0; i < count; ++i) {
        const float x = b.uniform(-20, 530), y = b.uniform(-20, 400), s = b.uniform(0.3f, 30);
        b.triangle(at_screen(x, y, b.uniform(200, 300)), at_screen(x + s, y + b.uniform(-s, s)),
                   at_screen(x + b.uniform(-s, s), y + s, b.uniform(200, 300)));
    }
    return b.take();
}

// Faces whose top or bottom lies on, just above or just below a band edge (one whose last row is
// the band's last stays in that band alone), or that span many bands, for every band height the
// thread counts under test use.
MeshObject band_edge_faces(SceneBuilder& b) {
    for (int32_t threads : {2, 3, 8}) {
        const int32_t rows = render_band_rows(384, threads);
        for (int32_t edge = rows; edge < 384; edge += rows) {
            const float e = float(edge);
            for (float top : {e - 1.0f, e - 0.5f, e, e + 0.25f}) {
                const float x = b.uniform(10, 480);
                b.triangle(at_screen(x, top), at_screen(x + 20, e + b.uniform(0, 3)),
                           at_screen(x - 10, e + 2 * float(rows) + 0.5f));
            }
            b.triangle(at_screen(30, e), at_screen(480, e), at_screen(250, e + 1));
            b.triangle(at_screen(30, e - 2), at_screen(480, e - 1.5f), at_screen(250, e));
            b.triangle(at_screen(30, e - 3), at_screen(480, e + 0.01f), at_screen(250, e));
        }
    }
    return b.take();
}

// Faces over one row, kept as bare spans (band_edge_faces has them at band edges): on the first
// and last rows the view draws (its frustum keeps faces 2 pixels inside it), and across row 200
// and column 300, where a smaller frame ends.
MeshObject one_row_faces(SceneBuilder& b) {
    for (const float top : {1.5f, 2.0f, 199.5f, 200.0f, 381.5f, 382.0f})
        for (const auto& [left, right] : {std::pair{0.0f, 40.0f}, std::pair{250.0f, 350.0f},
                                          std::pair{470.0f, 520.0f}, std::pair{-10.0f, 520.0f}})
            b.triangle(at_screen(left, top), at_screen(right, top + 0.25f),
                       at_screen(b.uniform(left, right), top + 0.9f));
    return b.take();
}

// Degenerate faces (a repeated vertex, collinear corners, a point), faces far larger than the
// view, faces cut by the frustum, and faces reaching behind the near limit.
MeshObject awkward_faces(SceneBuilder& b) {
    const Vertex p = at_screen(100, 100), q = at_screen(300, 250);
    b.triangle(p, p, q);
    b.triangle(p, q, at_screen(500, 400));
    b.triangle(p, p, p);
    b.triangle(at_screen(-1e6f, -1e6f), at_screen(1e6f, -1e6f), at_screen(0, 1e6f));
    b.triangle(vertex(-5e4f, -5e4f, 300), vertex(5e4f, -4e4f, 280), vertex(0, 6e4f, 320));
    for (int i = 0; i < 40; ++i) {
        const float x = b.uniform(-300, 800), y = b.uniform(-300, 700);
        b.triangle(
            at_screen(x, y), at_screen(x + b.uniform(100, 600), y + b.uniform(-50, 400)),
            at_screen(x + b.uniform(-300, 300), y + b.uniform(100, 500), b.uniform(50, 600)));
    }
    b.triangle(vertex(-50, -40, 0.05f), vertex(60, -30, 200), vertex(0, 70, 150));
    b.triangle(vertex(-50, -40, -100), vertex(60, -30, 200), vertex(0, 70, 150));
    MeshObject m = b.take();
    // Faces the cull before the vertex transform must judge as the one-thread frame does, on
    // vertices no other face uses: planes that are not numbers are never culled, so their
    // vertices are needed; indices below or past the vertices are never read.
    const int32_t n = int32_t(m.vertices.size());
    m.vertices.insert(m.vertices.end(),
                      {at_screen(60, 300), at_screen(200, 380), at_screen(20, 370)});
    Face odd = m.faces[0];
    odd.plane.d = std::numeric_limits<float>::quiet_NaN();
    for (const std::array<int32_t, 3>& v :
         {std::array{n, n + 1, n + 2}, std::array{n, n + 2, n + 1}, std::array{-1, n, n + 1},
          std::array{n, n + 1, n + 3}}) {
        odd.v = v;
        m.faces.push_back(odd);
    }
    m.vertex_count = int32_t(m.vertices.size());
    m.face_count = int32_t(m.faces.size());
    return m;
}

ViewSetup view_512x384() {
    ViewSetup view;
    setup_view(view, 512, 384);
    return view;
}

std::vector<uint32_t> one_thread_frame(const std::vector<MeshObject>& meshes,
                                       const Matrix4& camera) {
    std::vector<uint32_t> frame(512 * 384, 0xDEADBEEFu);
    std::fill(frame.begin(), frame.end(), 0u);
    Renderer renderer;
    renderer.view = view_512x384();
    for (const MeshObject& mesh : meshes)
        draw_mesh(renderer, mesh.matrix, camera, mesh, make_frame(frame, 512, 384), kBase);
    return frame;
}

size_t differing_pixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

class ThreadedFrame : public ::testing::Test {
  protected:
    const ViewSetup view = view_512x384();
};

TEST_F(ThreadedFrame, AnyThreadCountGivesTheOneThreadPicture) {
    SceneBuilder b;
    std::vector<MeshObject> meshes;
    meshes.push_back(small_faces(b, 3000));
    meshes.push_back(MeshObject{}); // no faces at all
    meshes.push_back(band_edge_faces(b));
    meshes.push_back(awkward_faces(b));
    meshes.push_back(small_faces(b, 500));
    meshes.push_back(one_row_faces(b));
    for (MeshObject& m : meshes)
        matrix_identity(m.matrix);
    // A later mesh turned a little so its faces cross the others at other shades.
    matrix_rotate_z(meshes[4].matrix, 0.3f);

    for (const Matrix4& camera : {identity(), [] {
                                      Matrix4 c = identity();
                                      matrix_rotate_y(c, 0.2f);
                                      matrix_translate(c, 10.0f, -20.0f, -40.0f);
                                      return c;
                                  }()}) {
        const std::vector<uint32_t> expected = one_thread_frame(meshes, camera);
        size_t lit = 0;
        for (uint32_t p : expected)
            lit += p != 0;
        ASSERT_GT(lit, 512u * 384u / 4) << "the scene should cover a good part of the frame";

        for (int32_t threads : {1, 2, 3, 8}) {
            std::string error;
            RenderThreads* rt = render_threads_start(threads, error);
            ASSERT_NE(rt, nullptr) << error;
            EXPECT_EQ(render_thread_count(*rt), threads);
            std::vector<uint32_t> frame(512 * 384, 0xDEADBEEFu);
            for (int repeat = 0; repeat < 2; ++repeat) {
                ASSERT_TRUE(render_frame_threaded(*rt, view, meshes, camera,
                                                  make_frame(frame, 512, 384), kBase));
                EXPECT_EQ(differing_pixels(frame, expected), 0u)
                    << threads << " threads, frame " << repeat;
            }
            render_threads_stop(rt);
        }
    }
}

// A window the size of the view, and one smaller than the view: faces are then cut at the
// window's right side and bottom, and the window holds that part of the full picture.
TEST_F(ThreadedFrame, AWindowIntoALargerPictureIsClearedAndDrawnWithinItsColumns) {
    SceneBuilder b;
    std::vector<MeshObject> meshes;
    meshes.push_back(awkward_faces(b));
    meshes.push_back(small_faces(b, 800));
    meshes.push_back(one_row_faces(b));
    const std::vector<uint32_t> expected = one_thread_frame(meshes, identity());
    constexpr int32_t kStride = 530;
    constexpr uint32_t kGuard = 0xDEADBEEFu;
    for (const auto& [width, height] : {std::pair{512, 384}, std::pair{300, 200}}) {
        std::vector<uint32_t> picture(size_t(kStride) * 390, kGuard);
        const Frame window{picture.data() + 3 * kStride + 7, width, height, kStride};
        std::string error;
        RenderThreads* rt = render_threads_start(3, error);
        ASSERT_NE(rt, nullptr) << error;
        ASSERT_TRUE(render_frame_threaded(*rt, view, meshes, identity(), window, kBase));
        render_threads_stop(rt);
        size_t wrong = 0, touched = 0;
        for (int32_t y = 0; y < 390; ++y)
            for (int32_t x = 0; x < kStride; ++x) {
                const uint32_t p = picture[size_t(y) * kStride + size_t(x)];
                const int32_t fx = x - 7, fy = y - 3;
                if (fx >= 0 && fx < width && fy >= 0 && fy < height)
                    wrong += p != expected[size_t(fy) * 512 + size_t(fx)];
                else
                    touched += p != kGuard;
            }
        EXPECT_EQ(wrong, 0u) << width << "x" << height;
        EXPECT_EQ(touched, 0u) << width << "x" << height << ": pixels outside the window written";
    }
}

TEST_F(ThreadedFrame, ASteadyFrameAllocatesNothing) {
    SceneBuilder b;
    std::vector<MeshObject> meshes;
    meshes.push_back(small_faces(b, 2000));
    meshes.push_back(awkward_faces(b));
    std::string error;
    RenderThreads* rt = render_threads_start(3, error);
    ASSERT_NE(rt, nullptr) << error;
    std::vector<uint32_t> frame(512 * 384);
    ASSERT_TRUE(
        render_frame_threaded(*rt, view, meshes, identity(), make_frame(frame, 512, 384), kBase));
    const long before = allocations_so_far();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(render_frame_threaded(*rt, view, meshes, identity(),
                                          make_frame(frame, 512, 384), kBase));
    EXPECT_EQ(allocations_so_far() - before, 0);
    render_threads_stop(rt);
}

// Thin faces over every row file an entry in every band: with their bins limited, the frame is
// drawn in batches of slices, or a slice alone without bins, and must still be the same picture.
TEST_F(ThreadedFrame, BinsPastTheirLimitAreDrawnInBatchesGivingTheSamePicture) {
    SceneBuilder b;
    std::vector<MeshObject> meshes;
    for (int i = 0; i < 400; ++i) {
        const float x = b.uniform(0, 500);
        b.triangle(at_screen(x, 1), at_screen(x + b.uniform(0.5f, 9), 383), at_screen(x + 3, 200));
    }
    meshes.push_back(b.take());
    meshes.push_back(small_faces(b, 1500));
    meshes.push_back(band_edge_faces(b));
    const std::vector<uint32_t> expected = one_thread_frame(meshes, identity());
    // No room at all draws every slice alone; a little draws batches; the default, one batch.
    for (const auto& [allowance, per_face] :
         {std::pair{0, 0}, std::pair{0, 256}, std::pair{100000, 256}, std::pair{64 << 20, 256}}) {
        std::string error;
        RenderThreads* rt = render_threads_start(8, error);
        ASSERT_NE(rt, nullptr) << error;
        render_threads_limit_bins(*rt, size_t(allowance), size_t(per_face));
        std::vector<uint32_t> frame(512 * 384, 0xDEADBEEFu);
        for (int repeat = 0; repeat < 2; ++repeat) {
            ASSERT_TRUE(render_frame_threaded(*rt, view, meshes, identity(),
                                              make_frame(frame, 512, 384), kBase));
            EXPECT_EQ(differing_pixels(frame, expected), 0u) << allowance << ", frame " << repeat;
            const RenderFrameUse use = render_threads_last_frame(*rt);
            EXPECT_LE(use.bin_bytes, use.bin_limit) << allowance;
            EXPECT_EQ(use.batches > 1, allowance < (1 << 20)) << allowance;
        }
        render_threads_stop(rt);
    }
}

// A file of empty meshes must not make every frame pay for each of them.
TEST_F(ThreadedFrame, MeshesWithoutFacesTakeNoFrameBuffers) {
    SceneBuilder b;
    std::vector<MeshObject> meshes;
    meshes.push_back(small_faces(b, 500));
    size_t bytes[2] = {};
    for (size_t& taken : bytes) {
        std::string error;
        RenderThreads* rt = render_threads_start(2, error);
        ASSERT_NE(rt, nullptr) << error;
        std::vector<uint32_t> frame(512 * 384);
        ASSERT_TRUE(render_frame_threaded(*rt, view, meshes, identity(),
                                          make_frame(frame, 512, 384), kBase));
        EXPECT_EQ(differing_pixels(frame, one_thread_frame({meshes.back()}, identity())), 0u);
        taken = render_threads_last_frame(*rt).buffer_bytes;
        render_threads_stop(rt);
        meshes.insert(meshes.begin(), 100000, MeshObject{});
    }
    EXPECT_GT(bytes[0], 0u);
    EXPECT_EQ(bytes[1], bytes[0]);
}

TEST_F(ThreadedFrame, BundledSceneFramesMatchTheDemo) {
    std::string error;
    const std::unique_ptr<Scene> loaded =
        load_scene(std::string(KALV_SOURCE_DIR) + "/assets/object.3ds", error);
    ASSERT_TRUE(loaded) << error;
    Scene one = *loaded, many = *loaded;
    DemoState a, b;
    ASSERT_TRUE(demo_start(a, one));
    ASSERT_TRUE(demo_start(b, many));
    RenderThreads* rt = render_threads_start(2, error);
    ASSERT_NE(rt, nullptr) << error;
    for (int frame = 1; frame <= 63; ++frame) {
        demo_frame(a);
        ASSERT_TRUE(demo_frame_threaded(b, *rt));
        ASSERT_EQ(differing_pixels(a.frame_buffer, b.frame_buffer), 0u) << "frame " << frame;
    }
    render_threads_stop(rt);
}

// The views choose the frame size (odd sizes too) and may hold the meshes still: the threaded
// frame follows both.
TEST_F(ThreadedFrame, ViewsAtOtherSizesMatchTheOneThreadFrames) {
    std::string error;
    const std::unique_ptr<Scene> loaded =
        load_scene(std::string(KALV_SOURCE_DIR) + "/assets/object.3ds", error);
    ASSERT_TRUE(loaded) << error;
    struct Case {
        ViewKind kind;
        bool still;
        int32_t width, height, threads;
    };
    for (const Case& c :
         {Case{ViewKind::fit, false, 333, 197, 2}, Case{ViewKind::fit, true, 97, 601, 3},
          Case{ViewKind::demo, false, 16, 16, 8}}) {
        ViewChoice choice;
        choice.kind = c.kind;
        choice.still = c.still;
        Scene one = *loaded, many = *loaded;
        DemoState a, b;
        ASSERT_TRUE(view_start(a, one, choice, c.width, c.height, error)) << error;
        ASSERT_TRUE(view_start(b, many, choice, c.width, c.height, error)) << error;
        RenderThreads* rt = render_threads_start(c.threads, error);
        ASSERT_NE(rt, nullptr) << error;
        size_t lit = 0;
        for (int frame = 1; frame <= 9; ++frame) {
            view_frame(a);
            std::fill(b.frame_buffer.begin(), b.frame_buffer.end(), 0xDEADBEEFu);
            ASSERT_TRUE(demo_frame_threaded(b, *rt));
            ASSERT_EQ(a.frame_buffer.size(), size_t(c.width) * size_t(c.height));
            ASSERT_EQ(b.frame_buffer.size(), a.frame_buffer.size());
            ASSERT_EQ(differing_pixels(a.frame_buffer, b.frame_buffer), 0u)
                << c.width << "x" << c.height << ", frame " << frame;
            for (uint32_t p : a.frame_buffer)
                lit += p != 0;
        }
        EXPECT_GT(lit, 0u) << c.width << "x" << c.height << " should show the scene";
        render_threads_stop(rt);
    }
}

// Every picture is drawn through its own renderer object, so two views of different sizes drawn at
// the same time on two threads give exactly the frames each gives alone.
TEST(RendererObject, TwoViewsDrawnAtOnceOnTwoThreadsGiveTheirOwnFrames) {
    std::string error;
    const std::unique_ptr<Scene> loaded =
        load_scene(std::string(KALV_SOURCE_DIR) + "/assets/object.3ds", error);
    ASSERT_TRUE(loaded) << error;
    struct View {
        ViewKind kind;
        int32_t width, height;
    };
    const View views[2] = {{ViewKind::demo, 512, 384}, {ViewKind::fit, 301, 173}};
    const auto frames = [&](const View& v, Scene& scene, std::vector<uint64_t>& hashes) {
        ViewChoice choice;
        choice.kind = v.kind;
        DemoState demo;
        std::string why;
        if (!view_start(demo, scene, choice, v.width, v.height, why)) return;
        for (int frame = 0; frame < 40; ++frame) {
            demo_frame(demo);
            hashes.push_back(frame_stats::frame_hash(demo.frame_buffer));
        }
    };
    std::vector<uint64_t> alone[2], together[2];
    for (int i = 0; i < 2; ++i) {
        Scene scene = *loaded;
        frames(views[i], scene, alone[i]);
        ASSERT_EQ(alone[i].size(), 40u);
    }
    Scene first = *loaded, second = *loaded;
    std::thread other([&] { frames(views[1], second, together[1]); });
    frames(views[0], first, together[0]);
    other.join();
    EXPECT_EQ(together[0], alone[0]);
    EXPECT_EQ(together[1], alone[1]);
    EXPECT_NE(alone[0], alone[1]);
}

TEST(RenderThreads, CountsAreClampedAndBandsCoverTheFrame) {
    std::string error;
    RenderThreads* rt = render_threads_start(0, error);
    ASSERT_NE(rt, nullptr) << error;
    EXPECT_EQ(render_thread_count(*rt), 1);
    render_threads_stop(rt);
    render_threads_stop(nullptr);
    EXPECT_GE(default_render_thread_count(), 1);
    for (int32_t rows : {1, 16, 384, 4096})
        for (int32_t threads : {1, 2, 8, 256})
            EXPECT_GE(render_band_rows(rows, threads) * threads * 8, rows);
}

} // namespace
