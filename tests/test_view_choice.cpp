// The views: names, the demo view's frames against hashes recorded before the views existed, the
// fitted view on awkward scenes, cameras of generated files (placement, orientation, lens, bank,
// refusals), and frames of any size.
#include "app/model_frame.h"
#include "app/view_choice.h"
#include "render/frame.h"
#include "render/mesh_renderer.h"
#include "render/view.h"
#include "tests/frame_stats.h"
#include "tests/render_fixtures.h"
#include "tests/test_loader_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using fixtures::vertex;
using frame_stats::border_gap;
using frame_stats::lit_area;
using loader_test::Point;

const std::string kAsset = std::string(KALV_SOURCE_DIR) + "/assets/object.3ds";

uint32_t pixel(const DemoState& demo, int32_t x, int32_t y) {
    return demo.frame_buffer[size_t(y) * size_t(demo.width) + size_t(x)];
}

frame_stats::LitArea lit(const DemoState& demo) {
    return lit_area(demo.frame_buffer, demo.width, demo.height);
}

TEST(ViewName, ReadsTheFourFormsAndRefusesTheRest) {
    ViewChoice choice;
    std::string error;
    for (const char* name : {"demo", "fit", "camera", "camera:Camera01", "camera:a:b c"}) {
        ASSERT_TRUE(parse_view_choice(name, choice, error)) << name;
        EXPECT_EQ(view_choice_name(choice), name);
    }
    EXPECT_EQ(choice.kind, ViewKind::camera);
    EXPECT_EQ(choice.camera_name, "a:b c");
    ASSERT_TRUE(parse_view_choice("camera", choice, error));
    EXPECT_TRUE(choice.camera_name.empty()); // a name from before does not stick
    for (const char* bad : {"", "abc", "Fit", "camera:", " demo", "demo "}) {
        error.clear();
        EXPECT_FALSE(parse_view_choice(bad, choice, error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// Recorded from the demo before views existed: FNV-1a of frames 1, 63 and 126 of the bundled
// scene, and of all 126 frame hashes chained (h = (h ^ frame) * prime).
constexpr uint64_t kFrame1 = 0x1fa52abb1076707bull;
constexpr uint64_t kFrame63 = 0x091208f3eb71f347ull;
constexpr uint64_t kFrame126 = 0x98b6bd80a0f11218ull;
constexpr uint64_t kAllFrames = 0x09d831b8e7d918c6ull;

void expect_recorded_demo_frames(DemoState& demo) {
    uint64_t all = 1469598103934665603ull;
    for (int frame = 1; frame <= 126; ++frame) {
        demo_frame(demo);
        const uint64_t h = frame_stats::frame_hash(demo.frame_buffer);
        if (frame == 1) {
            EXPECT_EQ(h, kFrame1);
        } else if (frame == 63) {
            EXPECT_EQ(h, kFrame63);
        } else if (frame == 126) {
            EXPECT_EQ(h, kFrame126);
        }
        all = (all ^ h) * 1099511628211ull;
    }
    EXPECT_EQ(all, kAllFrames);
}

TEST(DemoView, BundledSceneFramesAreTheOnesRecordedBeforeViewsExisted) {
    std::string error;
    auto loaded = load_scene(kAsset, error);
    ASSERT_TRUE(loaded) << error;
    {
        Scene scene = *loaded;
        DemoState demo;
        ASSERT_TRUE(demo_start(demo, scene));
        expect_recorded_demo_frames(demo);
    }
    Scene scene = *loaded;
    DemoState demo;
    ASSERT_TRUE(view_start(demo, scene, ViewChoice{}, kWidth, kHeight, error)) << error;
    expect_recorded_demo_frames(demo);
}

// A cube of half side h centred on (cx, cy, cz), faces drawn from outside.
MeshObject cube(float h, float cx, float cy, float cz) {
    std::vector<Vertex> v;
    for (int i = 0; i < 8; ++i)
        v.push_back(vertex(cx + (i & 1 ? h : -h), cy + (i & 2 ? h : -h), cz + (i & 4 ? h : -h)));
    // Each quad counter-clockwise seen from outside in these axes, then reversed, the order the
    // loader stores (its axes are a mirror of the file's).
    const std::vector<std::array<int32_t, 4>> quads = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                                       {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    std::vector<std::array<int32_t, 3>> tris;
    for (const auto& q : quads) {
        tris.push_back({q[0], q[1], q[2]});
        tris.push_back({q[0], q[2], q[3]});
    }
    return fixtures::mesh(v, tris);
}

Scene scene_of(std::vector<MeshObject> meshes) {
    Scene s;
    s.meshes = std::move(meshes);
    s.mesh_count = int32_t(s.meshes.size());
    return s;
}

bool camera_finite(const DemoState& demo) {
    for (float f : demo.camera.m)
        if (!std::isfinite(f)) return false;
    return true;
}

// Every one of the first 63 frames (a whole turn of the sideways swing) keeps the picture inside
// the frame, away from its borders, and covers a fair part of it.
void expect_fitted_frames(DemoState& demo, double min_lit_share = 0.02) {
    for (int frame = 1; frame <= 63; ++frame) {
        demo_frame(demo);
        const auto a = lit(demo);
        ASSERT_GE(double(a.count), min_lit_share * demo.width * demo.height) << "frame " << frame;
        ASSERT_GE(border_gap(a, demo.width, demo.height), 4) << "frame " << frame;
    }
}

TEST(FitView, TinySceneFarFromTheOriginIsCentredAndFillsTheFrame) {
    Scene scene = scene_of({cube(0.001f, 1000, 2000, -300)});
    const FitPlacement fit = fit_placement(scene, kWidth, kHeight);
    EXPECT_TRUE(fit.fitted);
    EXPECT_NEAR(fit.centre[0], 1000, 1e-4);
    EXPECT_NEAR(fit.centre[1], 2000, 1e-4);
    EXPECT_NEAR(fit.centre[2], -300, 1e-4);
    DemoState demo;
    std::string error;
    ASSERT_TRUE(
        view_start(demo, scene, ViewChoice{ViewKind::fit, "", false}, kWidth, kHeight, error));
    demo_frame(demo);
    const auto a = lit(demo);
    EXPECT_NEAR((a.left + a.right) / 2.0, kWidth / 2.0, 40);
    EXPECT_NEAR((a.top + a.bottom) / 2.0, kHeight / 2.0, 40);
    EXPECT_GT(a.right - a.left, kHeight / 3); // a cube seen from any side is wider than that
    expect_fitted_frames(demo, 0.10);
}

TEST(FitView, CoordinatesNearTheFloatLimitGiveAFinitePicture) {
    Scene scene = scene_of({cube(3.0e38f, 0, 0, 0)});
    const FitPlacement fit = fit_placement(scene, kWidth, kHeight);
    EXPECT_TRUE(fit.fitted);
    EXPECT_TRUE(std::isfinite(fit.distance) && std::isfinite(fit.radius));
    DemoState demo;
    std::string error;
    ASSERT_TRUE(
        view_start(demo, scene, ViewChoice{ViewKind::fit, "", false}, kWidth, kHeight, error));
    EXPECT_TRUE(camera_finite(demo));
    for (const Vertex& v : scene.meshes[0].vertices)
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    expect_fitted_frames(demo);
}

TEST(FitView, EmptySceneAndSinglePointFallBackToTheDemoDistance) {
    Scene empty;
    Scene point = scene_of(
        {fixtures::mesh({vertex(5, 6, 7), vertex(5, 6, 7), vertex(5, 6, 7)}, {{0, 1, 2}})});
    EXPECT_EQ(fit_placement(point, kWidth, kHeight).centre, (std::array<double, 3>{5, 6, 7}));
    for (Scene* scene : {&empty, &point}) {
        const FitPlacement fit = fit_placement(*scene, kWidth, kHeight);
        EXPECT_FALSE(fit.fitted);
        EXPECT_EQ(fit.distance, 150.0);
        EXPECT_EQ(fit.radius, 0.0);
        DemoState demo;
        std::string error;
        ASSERT_TRUE(
            view_start(demo, *scene, ViewChoice{ViewKind::fit, "", false}, kWidth, kHeight, error));
        EXPECT_TRUE(camera_finite(demo));
        demo_frame(demo);
        EXPECT_EQ(lit(demo).count, 0);
    }
}

// A file seen from the front: a square board of side 20 in the file's XZ plane (Z up), facing
// -Y, and a small marker square beyond its upper right corner (+X, +Z). Seen from -Y, the
// faces run counter-clockwise, the way 3D Studio winds faces towards their viewer.
void board_and_marker(ChunkWriter& w) {
    loader_test::mesh_object(w, "Board", {{-10, 0, -10}, {10, 0, -10}, {10, 0, 10}, {-10, 0, 10}},
                             {{0, 1, 2}, {0, 2, 3}});
    loader_test::mesh_object(w, "Marker", {{12, 0, 12}, {16, 0, 12}, {16, 0, 16}, {12, 0, 16}},
                             {{0, 1, 2}, {0, 2, 3}});
}

void camera_object(ChunkWriter& w, const std::string& name, Point position, Point target,
                   float bank, float lens) {
    loader_test::named_object(w, name);
    begin_chunk(w, 0x4700);
    for (float c : position)
        write_float(w, c);
    for (float c : target)
        write_float(w, c);
    write_float(w, bank);
    write_float(w, lens);
    end_chunk(w);
    end_chunk(w);
}

// Key-frame nodes for camera `name`: its own node with a position key, its target node with one.
void camera_keys(ChunkWriter& w, const std::string& name, Point position, Point target) {
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB003);
    loader_test::node_id(w, 0);
    loader_test::node_header(w, name, 0xFFFF);
    loader_test::position_track(w, {{0, position}, {10, {50, 50, 50}}});
    end_chunk(w);
    begin_chunk(w, 0xB004);
    loader_test::node_id(w, 1);
    loader_test::node_header(w, name, 0xFFFF);
    loader_test::position_track(w, {{0, target}});
    end_chunk(w);
    end_chunk(w);
}

struct CameraSpec {
    Point position{0, -100, 0};
    Point target{0, 0, 0};
    float bank = 0;
    float lens = 36; // tan(fov / 2) = 18 / 36: the focal length is the frame's width
    bool keyed = false;
};

std::unique_ptr<Scene> board_scene(const std::vector<CameraSpec>& cameras) {
    ChunkWriter w;
    loader_test::begin_scene(w);
    board_and_marker(w);
    for (size_t i = 0; i < cameras.size(); ++i) {
        const CameraSpec& c = cameras[i];
        // A keyed camera's chunk points the other way: only its keys may place it.
        camera_object(w, "Cam" + std::to_string(i), c.keyed ? Point{0, 100, 0} : c.position,
                      c.keyed ? Point{0, 200, 0} : c.target, c.bank, c.lens);
    }
    end_chunk(w); // 3D editor
    for (size_t i = 0; i < cameras.size(); ++i)
        if (cameras[i].keyed)
            camera_keys(w, "Cam" + std::to_string(i), cameras[i].position, cameras[i].target);
    end_chunk(w); // main
    std::string error;
    auto scene = loader_test::load_writer(w, error);
    EXPECT_TRUE(scene) << error;
    return scene;
}

DemoState still_camera_frame(Scene& scene, const std::string& name, int32_t width = kWidth,
                             int32_t height = kHeight) {
    DemoState demo;
    std::string error;
    EXPECT_TRUE(
        view_start(demo, scene, ViewChoice{ViewKind::camera, name, true}, width, height, error))
        << error;
    demo_frame(demo);
    return demo;
}

// With lens 36 at 512 pixels wide the focal length is 512 pixels, so at 100 units the board's
// half side of 10 is 51.2 pixels and the marker spans 61.4 to 81.9 pixels right and up of the
// centre: columns 317..337, rows 110..130.
void expect_front_view(const DemoState& demo) {
    EXPECT_NE(pixel(demo, 256, 192), 0u) << "the board's centre is the frame's centre";
    EXPECT_NE(pixel(demo, 327, 120), 0u) << "the marker is up and to the right";
    EXPECT_EQ(pixel(demo, 185, 120), 0u) << "mirrored left to right";
    EXPECT_EQ(pixel(demo, 327, 264), 0u) << "upside down";
    const auto a = lit(demo);
    EXPECT_NEAR(a.left, 205, 1);
    EXPECT_NEAR(a.right, 337, 1);
    EXPECT_NEAR(a.top, 110, 1);
    EXPECT_NEAR(a.bottom, 243, 1);
}

TEST(CameraView, ChunkPlacedCameraSeesTheBoardCentredUprightAndNotMirrored) {
    auto scene = board_scene({CameraSpec{}});
    ASSERT_TRUE(scene);
    DemoState demo = still_camera_frame(*scene, "");
    EXPECT_EQ(demo.renderer.view.focal, 512.0f);
    expect_front_view(demo);
}

TEST(CameraView, FirstKeysPlaceTheCameraOverItsChunk) {
    CameraSpec keyed;
    keyed.keyed = true;
    auto scene = board_scene({CameraSpec{{0, 100, 0}, {0, 0, 0}, 0, 36, false}, keyed});
    ASSERT_TRUE(scene);
    CameraPlacement placement;
    std::string error;
    ASSERT_TRUE(camera_placement(scene->cameras[1], placement, error)) << error;
    EXPECT_EQ(placement.position, (std::array<double, 3>{0, 0, -100})); // scene axes
    EXPECT_NEAR(placement.field_of_view, 2 * std::atan(0.5), 1e-12);
    DemoState demo = still_camera_frame(*scene, "Cam1");
    expect_front_view(demo);
    // The first camera looks at the board's back, which culling removes.
    Scene again = *board_scene({CameraSpec{{0, 100, 0}, {0, 0, 0}, 0, 36, false}});
    EXPECT_EQ(lit(still_camera_frame(again, "")).count, 0);
}

TEST(CameraView, BankTurnsThePictureAndLensScalesIt) {
    auto scene = board_scene({CameraSpec{{0, -100, 0}, {0, 0, 0}, 90, 36, false},
                              CameraSpec{{0, -100, 0}, {0, 0, 0}, 0, 18, false}});
    ASSERT_TRUE(scene);
    Scene banked = *scene;
    DemoState demo = still_camera_frame(banked, "Cam0");
    EXPECT_NE(pixel(demo, 184, 121), 0u) << "a quarter turn counter-clockwise: up and left";
    EXPECT_EQ(pixel(demo, 327, 120), 0u);
    // Half the lens, half the focal length: the board's picture is half as wide.
    demo = still_camera_frame(*scene, "Cam1");
    const auto a = lit(demo);
    EXPECT_NEAR(a.right - a.left, (337 - 205) / 2, 2);
}

TEST(CameraView, UnusableCamerasAreRefusedWithOneLineAndTheSceneUntouched) {
    struct Case {
        std::vector<CameraSpec> cameras;
        std::string name, expected;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Case> cases = {
        {{}, "", "no camera"},
        {{CameraSpec{}}, "Nobody", "no camera named \"Nobody\" (the scene has \"Cam0\")"},
        {{CameraSpec{{0, -100, 0}, {0, 0, 0}, 0, 0, false}}, "", "lens 0"},
        {{CameraSpec{{0, -100, 0}, {0, 0, 0}, 0, -35, false}}, "", "lens -35"},
        {{CameraSpec{{0, -100, 0}, {0, 0, 0}, 0, nan, false}}, "", "lens nan"},
        {{CameraSpec{{1, 2, 3}, {1, 2, 3}, 0, 35, false}}, "", "own target"},
    };
    for (const Case& c : cases) {
        auto scene = board_scene(c.cameras);
        ASSERT_TRUE(scene);
        const Scene before = *scene;
        DemoState demo;
        std::string error;
        EXPECT_FALSE(view_start(demo, *scene, ViewChoice{ViewKind::camera, c.name, false}, kWidth,
                                kHeight, error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(scene->meshes[0].vertices[1].x, before.meshes[0].vertices[1].x);
        EXPECT_EQ(scene->meshes[0].faces[0].v, before.meshes[0].faces[0].v);
    }
}

// A file may hold thousands of cameras with any bytes in their names: the line stays short,
// plain ASCII, and says how many it left out.
TEST(CameraView, AnUnknownCameraListsTheFirstTenNamesEscaped) {
    Scene scene;
    scene.cameras.resize(3000);
    for (size_t i = 0; i < scene.cameras.size(); ++i)
        scene.cameras[i].name = "C" + std::to_string(i) + "\xFF";
    std::string error;
    EXPECT_EQ(find_view_camera(scene, "\x80", error), nullptr);
    EXPECT_EQ(error, "no camera named \"\\x80\" (the scene has \"C0\\xFF\", \"C1\\xFF\", "
                     "\"C2\\xFF\", \"C3\\xFF\", \"C4\\xFF\", \"C5\\xFF\", \"C6\\xFF\", "
                     "\"C7\\xFF\", \"C8\\xFF\", \"C9\\xFF\", ... and 2990 more)");
}

TEST(FitView, ShowsTheFileUnmirroredFromTheFrontAndAbove) {
    auto scene = board_scene({});
    ASSERT_TRUE(scene);
    DemoState demo;
    std::string error;
    ASSERT_TRUE(
        view_start(demo, *scene, ViewChoice{ViewKind::fit, "", true}, kWidth, kHeight, error));
    demo_frame(demo);
    // Only the marker reaches the top tenth and the right tenth of the lit box: the top tenth
    // must be lit on the right only (else the picture is mirrored), the right tenth at the top
    // only (else it is upside down).
    const auto a = lit(demo);
    const int32_t mid_x = (a.left + a.right) / 2, mid_y = (a.top + a.bottom) / 2;
    const int32_t tenth_w = (a.right - a.left) / 10, tenth_h = (a.bottom - a.top) / 10;
    int64_t top_right = 0;
    for (int32_t y = a.top; y <= a.bottom; ++y) {
        for (int32_t x = a.left; x <= a.right; ++x) {
            if (pixel(demo, x, y) == 0) continue;
            if (y <= a.top + tenth_h) {
                EXPECT_GT(x, mid_x) << "mirrored at " << x << "," << y;
            }
            if (x >= a.right - tenth_w) {
                EXPECT_LT(y, mid_y) << "upside down at " << x << "," << y;
            }
            top_right += (y <= a.top + tenth_h && x >= a.right - tenth_w);
        }
    }
    EXPECT_GT(top_right, 0);
}

// The board mapped with u along the file's X and v along its Z, painted with a picture whose
// quarters are red and yellow above, blue and cyan below: seen from the front, the picture reads
// the right way round, its top left on the board's upper left.
TEST(CameraView, APictureOnTheBoardReadsTheRightWayRoundFromTheFront) {
    auto scene = board_scene({CameraSpec{}});
    ASSERT_TRUE(scene);
    scene->materials.assign(1, Material{});
    scene->materials[0].texture = "QUARTERS.PNG";
    scene->materials[0].self_illum = 1; // unlit, so colours compare exactly
    for (Vertex& v : scene->meshes[0].vertices) {
        v.u = (v.x + 10) / 20;
        v.v = (v.y + 10) / 20; // scene axes: y is the file's Z
    }
    for (Face& f : scene->meshes[0].faces)
        f.material = 0;
    TextureImage quarters{64, 64, std::vector<uint32_t>(64 * 64)};
    for (size_t i = 0; i < quarters.texels.size(); ++i)
        quarters.texels[i] = (i / 64 < 32 ? 0xFF0000u : 0x0000FFu) | (i % 64 < 32 ? 0 : 0x00FF00u);
    const TextureImage* pictures[] = {&quarters};
    DemoState demo;
    std::string error;
    ASSERT_TRUE(view_start(demo, *scene, ViewChoice{ViewKind::camera, "", true, Look::model},
                           kWidth, kHeight, error))
        << error;
    ASSERT_TRUE(demo_use_model_look(demo, pictures));
    view_frame(demo);
    // The board spans columns 205..307 and rows 141..243 (expect_front_view).
    EXPECT_EQ(pixel(demo, 230, 166) & 0xFFFFFF, 0xFF0000u) << "top left";
    EXPECT_EQ(pixel(demo, 282, 166) & 0xFFFFFF, 0xFFFF00u) << "top right";
    EXPECT_EQ(pixel(demo, 230, 218) & 0xFFFFFF, 0x0000FFu) << "bottom left";
}

TEST(FrameSize, ViewsRefuseSizesOutside16To4096) {
    Scene scene;
    DemoState demo;
    std::string error;
    for (auto [w, h] : {std::pair{15, 16}, {16, 15}, {4097, 16}, {16, 4097}, {0, 0}, {-16, 16}}) {
        EXPECT_FALSE(view_start(demo, scene, ViewChoice{}, w, h, error)) << w << "x" << h;
        EXPECT_NE(error.find("16x16 to 4096x4096"), std::string::npos) << error;
    }
}

// A wall far wider than any view plus a triangle through the eye's plane, drawn into a window of
// a larger picture: whatever the size, the fill stays 2 pixels inside every border and touches
// nothing outside the window, neither around it nor in the gap between its rows.
TEST(FrameSize, EverySizeKeepsTheMarginAndStaysInsideItsWindow) {
    const MeshObject wall = fixtures::mesh(
        {vertex(-1e5f, -1e5f, 50), vertex(-1e5f, 1e5f, 50), vertex(1e5f, 1e5f, 50),
         vertex(1e5f, -1e5f, 50), vertex(0, 0, -10), vertex(30, 0, 40), vertex(0, 30, 40)},
        {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}});
    Matrix4 identity;
    matrix_identity(identity);
    constexpr uint32_t kSentinel = 0xDEADBEEF;
    constexpr int32_t kSide = 8; // spare columns on each side, spare rows above and below
    for (auto [w, h] : {std::pair{16, 16}, {17, 23}, {4096, 16}, {16, 4096}, {1001, 999}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Renderer renderer;
        setup_view(renderer.view, w, h);
        const int32_t stride = w + 2 * kSide;
        std::vector<uint32_t> picture(size_t(stride) * size_t(h + 2 * kSide), kSentinel);
        Frame frame{picture.data() + size_t(kSide) * size_t(stride) + kSide, w, h, stride};
        for (int32_t y = 0; y < h; ++y)
            std::fill_n(frame.pixels + size_t(y) * size_t(stride), w, 0u);
        draw_mesh(renderer, identity, identity, wall, frame, 0x00FA8008);
        std::vector<uint32_t> window;
        for (int32_t y = 0; y < h + 2 * kSide; ++y) {
            for (int32_t x = 0; x < stride; ++x) {
                const uint32_t p = picture[size_t(y) * size_t(stride) + size_t(x)];
                const bool inside = y >= kSide && y < kSide + h && x >= kSide && x < kSide + w;
                if (inside) {
                    window.push_back(p);
                } else {
                    ASSERT_EQ(p, kSentinel) << "written outside the frame at " << x << "," << y;
                }
            }
        }
        // The margin is 2 pixels on every side; a cut point rounded past the frustum by a hair
        // may take one of them.
        const auto a = lit_area(window, w, h);
        EXPECT_GE(border_gap(a, w, h), 1);
        EXPECT_LE(a.left, 3);
        EXPECT_LE(a.top, 3);
        EXPECT_GE(a.right, w - 4);
        EXPECT_GE(a.bottom, h - 4);
        EXPECT_GE(a.count, int64_t(w - 6) * (h - 6));
    }
}

TEST(FrameSize, BundledSceneInEveryViewAtTheSmallestAndLargestSizes) {
    std::string error;
    auto loaded = load_scene(kAsset, error);
    ASSERT_TRUE(loaded) << error;
    for (const char* name : {"demo", "fit", "camera"}) {
        for (auto [w, h] : {std::pair{16, 16}, {4096, 4096}, {300, 50}}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(w) + "x" + std::to_string(h));
            ViewChoice choice;
            ASSERT_TRUE(parse_view_choice(name, choice, error));
            Scene scene = *loaded;
            DemoState demo;
            ASSERT_TRUE(view_start(demo, scene, choice, w, h, error)) << error;
            demo_frame(demo);
            const auto a = lit(demo);
            EXPECT_GT(a.count, 0);
            EXPECT_GE(border_gap(a, w, h), 1);
        }
    }
}

// The render tool draws its GIF pass from the scene its first pass left spun: rewinding must give
// the first pass's frames again in every view, though the view moved the scene only once.
TEST(ViewRewind, EveryViewDrawsItsFramesAgainFromTheSceneItAlreadyPrepared) {
    std::string error;
    auto scene = load_scene(kAsset, error);
    ASSERT_TRUE(scene) << error;
    for (const char* name : {"demo", "fit", "camera"}) {
        SCOPED_TRACE(name);
        ViewChoice choice;
        ASSERT_TRUE(parse_view_choice(name, choice, error));
        DemoState demo;
        ASSERT_TRUE(view_start(demo, *scene, choice, kWidth, kHeight, error)) << error;
        std::vector<uint64_t> first, again;
        for (int frame = 0; frame < 40; ++frame) {
            demo_frame(demo);
            first.push_back(frame_stats::frame_hash(demo.frame_buffer));
        }
        view_rewind(demo);
        for (int frame = 0; frame < 40; ++frame) {
            demo_frame(demo);
            again.push_back(frame_stats::frame_hash(demo.frame_buffer));
        }
        EXPECT_EQ(first, again);
        EXPECT_NE(first.front(), first.back()); // the frames spin, so a rewind has work to do
    }
}

} // namespace

// Posts five times longer than wide along the file's Y or its Z (the loader's z and y): with Y up,
// the first stands exactly as the second does with Z up, upright in the picture.
TEST(FitView, UpYStandsAYUpModelUprightAndLooksAreReadByName) {
    const auto post = [](size_t axis) {
        MeshObject m = cube(10, 0, 0, 0);
        for (Vertex& v : m.vertices)
            (axis == 1 ? v.y : v.z) *= 5;
        for (Face& f : m.faces)
            f.plane = fixtures::face_plane(m.vertices, f.v);
        return m;
    };
    const auto extent = [](const MeshObject& mesh, UpAxis up, Look look) {
        Scene scene = scene_of({mesh});
        ViewChoice choice{ViewKind::fit, "", true};
        choice.up = up;
        choice.look = look;
        DemoState demo;
        std::string error;
        EXPECT_TRUE(view_start(demo, scene, choice, kWidth, kHeight, error)) << error;
        view_frame(demo);
        const auto a = lit(demo);
        return std::pair{a.right - a.left, a.bottom - a.top};
    };
    for (Look look : {Look::demo, Look::model}) {
        const auto z_post = extent(post(1), UpAxis::z, look);
        const auto y_post = extent(post(2), UpAxis::y, look);
        EXPECT_EQ(y_post, z_post);
        EXPECT_GT(y_post.second, 2 * y_post.first) << "upright";
        EXPECT_NE(extent(post(2), UpAxis::z, look), z_post);
    }
    std::string error;
    Look look = Look::automatic;
    UpAxis up = UpAxis::z;
    EXPECT_TRUE(parse_look("model", look, error) && look == Look::model);
    EXPECT_TRUE(parse_up_axis("y", up, error) && up == UpAxis::y);
    EXPECT_FALSE(parse_look("Model", look, error));
    EXPECT_EQ(error, "unknown look \"Model\"; use demo or model");
    EXPECT_FALSE(parse_up_axis("x", up, error));
    EXPECT_EQ(view_look(ViewChoice{ViewKind::demo, "", false}), Look::demo);
    EXPECT_EQ(view_look(ViewChoice{ViewKind::camera, "", false}), Look::model);
}
