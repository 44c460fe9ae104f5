// The viewer without a window: what keys, buttons, the wheel and drops do to its state, the
// title it shows, and where it saves a picture.
#include "loader/chunk_reader.h"
#include "platform/win32_api.h"
#include "tests/frame_stats.h"
#include "tests/render_fixtures.h"
#include "tests/tools_test_support.h"
#include "viewer/save_path.h"
#include "viewer/viewer_controls.h"
#include "viewer/viewer_frame.h"
#include "viewer/viewer_title.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Kind = WindowEvent::Kind;

WindowEvent key(int code) {
    WindowEvent e;
    e.kind = Kind::key;
    e.key = code;
    return e;
}

WindowEvent pointer(Kind kind, int32_t x, int32_t y, PointerButton button = PointerButton::left,
                    bool shift = false) {
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    e.shift = shift;
    return e;
}

void drag(ViewerControls& c, PointerButton button, bool shift, int32_t dx, int32_t dy) {
    controls_event(c, pointer(Kind::button_down, 100, 100, button, shift));
    controls_event(c, pointer(Kind::motion, 100 + dx / 2, 100 + dy / 2));
    controls_event(c, pointer(Kind::button_up, 100 + dx, 100 + dy, button));
}

ViewerControls scene_with_cameras(int32_t first_key = 0, int32_t last_key = 0) {
    ViewerControls c;
    Matrix4 a, b;
    matrix_identity(a);
    matrix_identity(b);
    matrix_translate(a, 0, 0, -400);
    matrix_translate(b, 50, 0, -300);
    controls_new_scene(c, 300, {a, b}, {"Left", "Right"}, first_key, last_key);
    c.redraw = false;
    return c;
}

TEST(ViewerControls, DragsTurnOrPanAndTheWheelZoomsUntilFBringsTheFitBack) {
    ViewerControls c = scene_with_cameras();
    EXPECT_EQ(controls_view_name(c), "fit");
    drag(c, PointerButton::left, false, 60, -20);
    EXPECT_TRUE(c.redraw);
    EXPECT_NE(c.orbit.yaw, 0);
    EXPECT_EQ(c.orbit.target, c.orbit.centre); // a turn keeps the centre
    EXPECT_EQ(controls_view_name(c), "orbit");
    const double yaw = c.orbit.yaw;
    for (auto [button, shift] :
         {std::pair{PointerButton::right, false}, std::pair{PointerButton::middle, false},
          std::pair{PointerButton::left, true}}) {
        const auto target = c.orbit.target;
        drag(c, button, shift, 30, 10);
        EXPECT_NE(c.orbit.target, target);
        EXPECT_EQ(c.orbit.yaw, yaw);
    }
    WindowEvent wheel;
    wheel.kind = Kind::wheel;
    wheel.wheel = 2;
    const double distance = c.orbit.distance;
    controls_event(c, wheel);
    controls_event(c, pointer(Kind::motion, 90, 10)); // no button held: nothing moves
    EXPECT_NEAR(c.orbit.distance, distance * kOrbitZoomStep * kOrbitZoomStep, distance * 1e-6);

    EXPECT_EQ(controls_event(c, key('F')), ViewerAction::none);
    EXPECT_TRUE(orbit_is_fitted(c.orbit));
    EXPECT_EQ(controls_view_name(c), "fit");
}

TEST(ViewerControls, CamerasDemoLookAndUpKeys) {
    ViewerControls c = scene_with_cameras();
    drag(c, PointerButton::left, false, 40, 0);
    const OrbitView left_orbit = c.orbit;
    controls_event(c, key('C'));
    EXPECT_EQ(controls_view_name(c), "camera Left");
    controls_event(c, key('C'));
    EXPECT_EQ(controls_view_name(c), "camera Right");
    controls_event(c, key('C')); // back to the free orbit as it was
    EXPECT_EQ(c.mode, ViewerMode::orbit);
    EXPECT_EQ(c.orbit.yaw, left_orbit.yaw);
    // A drag in a camera view continues from that camera's eye.
    controls_event(c, key('C'));
    drag(c, PointerButton::left, false, 1, 0);
    EXPECT_EQ(c.mode, ViewerMode::orbit);
    EXPECT_NEAR(orbit_camera(c.orbit).at(3, 2), -400, 5);

    controls_event(c, key('D'));
    EXPECT_EQ(controls_view_name(c), "demo");
    EXPECT_EQ(controls_orbit(c).fit_distance, 150);
    drag(c, PointerButton::left, false, 10, 0); // the demo view turns in its own space
    EXPECT_EQ(c.mode, ViewerMode::demo);
    EXPECT_EQ(controls_view_name(c), "orbit");

    EXPECT_EQ(c.look, ViewerLook::model);
    controls_event(c, key('L'));
    EXPECT_EQ(c.look, ViewerLook::demo);
    EXPECT_EQ(controls_event(c, key('U')), ViewerAction::prepare);
    EXPECT_EQ(c.up, ViewerUp::y);
    EXPECT_EQ(controls_event(c, key('S')), ViewerAction::save);
    EXPECT_EQ(controls_event(c, key(VK_ESCAPE)), ViewerAction::quit);

    ViewerControls none;
    controls_new_scene(none, 300, {}, {}, 0, 0);
    controls_event(none, key('C'));
    EXPECT_EQ(none.mode, ViewerMode::orbit);
    EXPECT_EQ(none.message, "the file has no camera to look through");
}

TEST(ViewerControls, KeyFramesStepWrapAndPlay) {
    ViewerControls still = scene_with_cameras();
    controls_event(still, key(VK_SPACE));
    EXPECT_FALSE(still.playing);
    EXPECT_EQ(still.message, "the file has no animation");

    ViewerControls c = scene_with_cameras(0, 100);
    controls_event(c, key(VK_LEFT));
    EXPECT_EQ(c.key_frame, 100);
    controls_event(c, key(VK_RIGHT));
    controls_event(c, key(VK_RIGHT));
    EXPECT_EQ(c.key_frame, 1);
    controls_event(c, key(VK_HOME));
    EXPECT_EQ(c.key_frame, 0);
    EXPECT_FALSE(controls_play(c, 1.0)); // paused
    controls_event(c, key(VK_SPACE));
    EXPECT_TRUE(c.playing);
    EXPECT_FALSE(controls_play(c, 0.5 / kPlaybackRate)); // not yet a whole key frame
    EXPECT_TRUE(controls_play(c, 0.5 / kPlaybackRate));
    EXPECT_EQ(c.key_frame, 1);
    EXPECT_TRUE(controls_play(c, 100 / kPlaybackRate)); // wraps past the last key frame
    EXPECT_EQ(c.key_frame, 0);

    ViewerControls wide = scene_with_cameras(INT32_MIN, INT32_MAX); // a damaged file's segment
    controls_event(wide, key(VK_LEFT));
    EXPECT_EQ(wide.key_frame, INT32_MAX);
    controls_event(wide, key(VK_HOME));
    EXPECT_EQ(wide.key_frame, INT32_MIN);
    controls_event(wide, key(VK_LEFT));
    controls_event(wide, key(VK_LEFT));
    controls_event(wide, key(VK_SPACE));
    EXPECT_TRUE(controls_play(wide, 1.5 / kPlaybackRate));
    EXPECT_EQ(wide.key_frame, INT32_MAX);
}

TEST(ViewerControls, AResizedPictureKeepsAFittedViewFitted) {
    ViewerControls c = scene_with_cameras();
    WindowEvent size;
    size.kind = Kind::resized;
    size.width = 640;
    size.height = 480;
    EXPECT_EQ(controls_event(c, size), ViewerAction::resize);
    EXPECT_EQ(c.width, 640);
    controls_set_fit(c, 280); // a fitted view stays fitted
    EXPECT_TRUE(orbit_is_fitted(c.orbit));
    EXPECT_EQ(c.orbit.distance, 280);
    controls_event(c, pointer(Kind::button_down, 0, 0));
    controls_event(c, pointer(Kind::motion, 5, 5));
    controls_set_fit(c, 260); // a moved one keeps where it was
    EXPECT_EQ(c.orbit.distance, 280);
    EXPECT_EQ(c.orbit.fit_distance, 260);
}

TEST(ViewerTitle, NamesFileViewLookFrameAndMessage) {
    ViewerControls c = scene_with_cameras(0, 100);
    c.key_frame = 12;
    EXPECT_EQ(viewer_title("horse.3ds", c), "horse.3ds - fit - model - frame 12 of 100");
    controls_event(c, key('L'));
    controls_event(c, key('C'));
    c.message = "saved /tmp/horse-001.png";
    EXPECT_EQ(viewer_title("horse.3ds", c),
              "horse.3ds - camera Left - demo - frame 12 of 100 - saved /tmp/horse-001.png");
    ViewerControls still = scene_with_cameras();
    EXPECT_EQ(viewer_title("a.3ds", still), "a.3ds - fit - model");
    EXPECT_EQ(viewer_title("", still), "kalvorant-view - drop a .3ds file on this window");
}

TEST(SavePath, BesideTheFileWhenWritableElseHereNeverOverAnother) {
    std::set<std::string> taken{"/models/horse-001.png", "horse-001.png", "horse-002.png"};
    auto exists = [&](const std::string& p) { return taken.count(p) != 0; };
    auto yes = [](const std::string&) { return true; };
    auto no = [](const std::string&) { return false; };
    EXPECT_EQ(choose_save_path("/models/horse.3ds", yes, exists), "/models/horse-002.png");
    EXPECT_EQ(choose_save_path("/models/horse.3ds", no, exists), "horse-003.png");
    EXPECT_EQ(choose_save_path("horse.3ds", yes, exists), "horse-003.png");
    EXPECT_EQ(choose_save_path("", yes, exists), "kalvorant-view-001.png");
    EXPECT_EQ(choose_save_path("/m/x.3ds", yes, yes), "");
}

// A torus lying in the file's X-Y plane (the loader's x-z), seen by a camera above it on the
// file's Z axis: with Z up the fit shows it lying flat, seen from a little above; with Y up it
// stands up and faces the viewer.
std::unique_ptr<Scene> ring_under_a_camera() {
    auto scene = std::make_unique<Scene>();
    scene->meshes.push_back(fixtures::torus(24, 12, 40, 10));
    scene->mesh_count = 1;
    Camera camera;
    camera.name = "Above";
    camera.position = {0, 0, 300};
    camera.target = {0, 0, 0};
    camera.lens = 35;
    scene->cameras.push_back(camera);
    return scene;
}

std::vector<uint32_t> draw(ViewerScene& viewer, DemoState& state, ViewerControls& c) {
    EXPECT_TRUE(viewer_draw(viewer, state, c, nullptr));
    return state.frame_buffer;
}

TEST(ViewerFrame, LookAndUpChangeThePictureAndAFileCameraSeesTheSameWhateverTheUp) {
    ViewerControls c;
    c.width = 200;
    c.height = 150;
    ViewerScene viewer;
    DemoState state;
    std::string error;
    ASSERT_TRUE(viewer_prepare(viewer, ring_under_a_camera(), state, c, error)) << error;
    const std::vector<uint32_t> model = draw(viewer, state, c);
    const auto lit = [&](const std::vector<uint32_t>& p) {
        return frame_stats::lit_area(p, c.width, c.height);
    };
    const auto z_up = lit(model);
    controls_event(c, key('L'));
    const std::vector<uint32_t> demo = draw(viewer, state, c);
    EXPECT_NE(demo, model);
    EXPECT_NEAR(double(lit(demo).count), double(z_up.count), z_up.count / 100.0)
        << "the same faces, another look";
    controls_event(c, key('L'));
    controls_event(c, key('C'));
    const std::vector<uint32_t> camera_z = draw(viewer, state, c);

    ASSERT_EQ(controls_event(c, key('U')), ViewerAction::prepare);
    ASSERT_TRUE(viewer_prepare(viewer, ring_under_a_camera(), state, c, error)) << error;
    const auto y_up = lit(draw(viewer, state, c));
    EXPECT_GT(z_up.bottom - z_up.top, 0);
    EXPECT_GT(y_up.bottom - y_up.top, (z_up.bottom - z_up.top) * 5 / 4) << "standing with Y up";
    controls_event(c, key('C'));
    const std::vector<uint32_t> camera_y = draw(viewer, state, c);
    EXPECT_GT(lit(camera_y).count, 0);
    EXPECT_EQ(camera_y, camera_z);
}

// A file whose only camera cannot be looked through: C says why, not that there is no camera.
TEST(ViewerFrame, CNamesWhyTheFilesCameraCannotBeLookedThrough) {
    ViewerControls c;
    std::unique_ptr<Scene> scene = ring_under_a_camera();
    scene->cameras[0].lens = 0;
    ViewerScene viewer;
    DemoState state;
    std::string error;
    ASSERT_TRUE(viewer_prepare(viewer, std::move(scene), state, c, error)) << error;
    controls_event(c, key('C'));
    EXPECT_EQ(c.mode, ViewerMode::orbit);
    EXPECT_EQ(c.message.rfind("no camera can be looked through: camera \"Above\" has lens 0", 0),
              0u)
        << c.message;
}

} // namespace

namespace {

// A file of assimp-testmodels open in the viewer, its picture width x height.
struct OpenModel {
    std::string path;
    ViewerControls c;
    ViewerScene viewer;
    DemoState state;
    std::string error; // why it is not open: "" when the package is absent
};

bool open_model(OpenModel& m, const std::string& name, int32_t width, int32_t height) {
    m.path = "/usr/share/assimp/models/3DS/" + name;
    std::unique_ptr<Scene> scene = load_scene(m.path, m.error);
    if (!scene) {
        m.error.clear();
        return false;
    }
    m.c.width = width;
    m.c.height = height;
    return viewer_prepare(m.viewer, std::move(scene), m.state, m.c, m.error);
}

#define OPEN_MODEL_OR_SKIP(m, name, width, height)                                                 \
    if (!open_model(m, name, width, height)) {                                                     \
        ASSERT_TRUE(m.error.empty()) << m.error;                                                   \
        GTEST_SKIP() << m.path << " absent: install assimp-testmodels";                            \
    }

TEST(ViewerFrame, AFileThatMovesPlaysItsOwnAnimation) {
    OpenModel m;
    OPEN_MODEL_OR_SKIP(m, "RotatingCube.3DS", 96, 72);
    auto& [path, c, viewer, state, error] = m;
    EXPECT_EQ(c.first_key, 0);
    EXPECT_EQ(c.last_key, 300);
    const std::vector<uint32_t> first = draw(viewer, state, c);
    controls_event(c, key(VK_SPACE));
    controls_play(c, 1.5); // 45 key frames on
    EXPECT_NE(c.key_frame, 0);
    const std::vector<uint32_t> later = draw(viewer, state, c);
    EXPECT_NE(later, first);
    controls_event(c, key(VK_HOME));
    EXPECT_EQ(draw(viewer, state, c), first);
}

} // namespace

namespace {

// A file camera that moves is seen as kalvorant-render sees it at the same key frame; the still
// camera view is the first of those pictures.
TEST(ViewerFrame, AFileCameraFollowsItsTracksAsTheRenderToolShowsIt) {
    const std::string path = "/usr/share/assimp/models/3DS/CameraRollAnim.3ds";
    std::string error;
    std::unique_ptr<Scene> scene = load_scene(path, error);
    if (!scene) GTEST_SKIP() << path << " absent: install assimp-testmodels";
    const std::string dir = tools_test::scratch_dir("viewer_camera");
    const auto rendered = [&](const std::vector<std::string>& view) {
        std::vector<std::string> argv{KALV_RENDER_TOOL, path,     "--view", "camera",
                                      "--size",         "128x96", "--png",  dir + "/out.png"};
        argv.insert(argv.end(), view.begin(), view.end());
        const tools_test::RunResult r = tools_test::run_program(argv);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        tools_test::DecodedImage image;
        EXPECT_TRUE(tools_test::decode_png(dir + "/out.png", image, error)) << error;
        return image.pixels;
    };
    ViewerControls c;
    c.width = 128;
    c.height = 96;
    ViewerScene viewer;
    DemoState state;
    ASSERT_TRUE(viewer_prepare(viewer, std::move(scene), state, c, error)) << error;
    controls_event(c, key('C'));
    const auto shown = [&](int32_t key_frame) {
        c.key_frame = key_frame;
        return draw(viewer, state, c);
    };
    const std::vector<uint32_t> first = shown(0);
    EXPECT_EQ(first, rendered({"--key-frame", "0"}));
    EXPECT_EQ(first, rendered({"--still"})) << "the still camera view is the first pose";
    const std::vector<uint32_t> later = shown(150); // rolled by about 77 degrees
    EXPECT_EQ(later, rendered({"--key-frame", "150"}));
    EXPECT_NE(later, first);
    // With Y up the scene and the moving camera turn together: the same picture.
    ASSERT_EQ(controls_event(c, key('U')), ViewerAction::prepare);
    ASSERT_TRUE(viewer_prepare(viewer, viewer_loaded_copy(viewer), state, c, error)) << error;
    controls_event(c, key('C'));
    EXPECT_EQ(shown(150), later);
}

// TargetCameraAnim's camera climbs and its target slides between key frames 0 and 50: the wheel
// in the camera view at key frame 50 must take over from the camera as shown there.
TEST(ViewerFrame, TheWheelTakesOverFromAMovingCameraWhereItIsShown) {
    OpenModel m;
    OPEN_MODEL_OR_SKIP(m, "TargetCameraAnim.3ds", 128, 96);
    auto& [path, c, viewer, state, error] = m;
    controls_event(c, key('C'));
    const auto turn_from = [&](int32_t key_frame) {
        c.key_frame = key_frame;
        draw(viewer, state, c);
        const OrbitView expected =
            orbit_from_camera(state.camera, c.orbit.centre, c.orbit.fit_distance);
        WindowEvent wheel;
        wheel.kind = Kind::wheel;
        wheel.wheel = 1;
        controls_event(c, wheel);
        EXPECT_EQ(c.mode, ViewerMode::orbit);
        EXPECT_NEAR(c.orbit.yaw, expected.yaw, 1e-9);
        EXPECT_NEAR(c.orbit.pitch, expected.pitch, 1e-9);
        const double yaw = c.orbit.yaw;
        controls_event(c, key('C')); // back through the camera for the next key frame
        return yaw;
    };
    const double first = turn_from(0);
    EXPECT_GT(std::fabs(turn_from(50) - first), 0.05);
}

} // namespace
