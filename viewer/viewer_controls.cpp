#include "viewer/viewer_controls.h"

#include "platform/win32_api.h"

#include <cmath>
#include <utility>

namespace {

// The demo's camera stands this far from the origin of the scene as loaded.
constexpr double kDemoDistance = 150.0;
constexpr int kKeyF = 'F', kKeyC = 'C', kKeyD = 'D', kKeyL = 'L', kKeyU = 'U', kKeyS = 'S';

bool animated(const ViewerControls& c) {
    return c.last_key > c.first_key;
}

void changed(ViewerControls& c) {
    c.message.clear();
    c.redraw = true;
}

// The orbit a drag or the wheel moves. In a camera view the free orbit first takes over the
// camera's eye and line of sight.
OrbitView& moving_orbit(ViewerControls& c) {
    if (c.mode == ViewerMode::demo) return c.demo_orbit;
    if (c.mode == ViewerMode::camera && c.camera < c.cameras.size())
        c.orbit = orbit_from_camera(c.cameras[c.camera], c.orbit.centre, c.orbit.fit_distance);
    c.mode = ViewerMode::orbit;
    return c.orbit;
}

// Keys that play or step an animation say so when there is none; false then.
bool has_animation(ViewerControls& c) {
    if (animated(c)) return true;
    c.message = "the file has no animation";
    c.redraw = true;
    return false;
}

// In 64 bits: a damaged file's segment may span more key frames than an int32_t counts.
void step_key_frame(ViewerControls& c, int64_t step) {
    if (!has_animation(c)) return;
    const int64_t span = int64_t(c.last_key) - c.first_key + 1;
    int64_t offset = (int64_t(c.key_frame) - c.first_key + step) % span;
    if (offset < 0) offset += span;
    c.key_frame = int32_t(c.first_key + offset);
    c.play_clock = 0;
    changed(c);
}

ViewerAction key(ViewerControls& c, int key) {
    switch (key) {
    case VK_ESCAPE:
        return ViewerAction::quit;
    case kKeyF:
        c.mode = ViewerMode::orbit;
        orbit_refit(c.orbit);
        changed(c);
        return ViewerAction::none;
    case kKeyC:
        if (c.cameras.empty()) {
            c.message = c.no_camera;
            c.redraw = true;
        } else if (c.mode != ViewerMode::camera) {
            c.mode = ViewerMode::camera;
            c.camera = 0;
            changed(c);
        } else if (++c.camera >= c.cameras.size()) {
            c.mode = ViewerMode::orbit; // the free orbit as it was left
            changed(c);
        } else {
            changed(c);
        }
        return ViewerAction::none;
    case kKeyD:
        c.mode = ViewerMode::demo;
        orbit_refit(c.demo_orbit);
        changed(c);
        return ViewerAction::none;
    case kKeyL:
        c.look = c.look == ViewerLook::model ? ViewerLook::demo : ViewerLook::model;
        changed(c);
        return ViewerAction::none;
    case kKeyU:
        c.up = c.up == ViewerUp::z ? ViewerUp::y : ViewerUp::z;
        changed(c);
        return ViewerAction::prepare;
    case kKeyS:
        return ViewerAction::save;
    case VK_SPACE:
        if (!has_animation(c)) return ViewerAction::none;
        c.playing = !c.playing;
        c.play_clock = 0;
        changed(c);
        return ViewerAction::none;
    case VK_LEFT:
        step_key_frame(c, -1);
        return ViewerAction::none;
    case VK_RIGHT:
        step_key_frame(c, 1);
        return ViewerAction::none;
    case VK_HOME:
        step_key_frame(c, int64_t(c.first_key) - c.key_frame);
        return ViewerAction::none;
    default:
        return ViewerAction::none;
    }
}

void press(ViewerControls& c, const WindowEvent& e) {
    if (c.drag != ViewerControls::Drag::none) return; // the first button keeps the drag
    const bool turn = e.button == PointerButton::left && !e.shift;
    c.drag = turn ? ViewerControls::Drag::turn : ViewerControls::Drag::pan;
    c.drag_button = e.button;
    c.drag_x = e.x;
    c.drag_y = e.y;
}

void motion(ViewerControls& c, const WindowEvent& e) {
    if (c.drag == ViewerControls::Drag::none) return;
    const double dx = e.x - c.drag_x, dy = e.y - c.drag_y;
    c.drag_x = e.x;
    c.drag_y = e.y;
    if (dx == 0 && dy == 0) return;
    OrbitView& orbit = moving_orbit(c);
    if (c.drag == ViewerControls::Drag::turn)
        orbit_turn(orbit, dx, dy, c.height);
    else
        orbit_pan(orbit, dx, dy, c.width / 2.0); // the fit's lens: 90 degrees across the width
    changed(c);
}

} // namespace

void controls_new_scene(ViewerControls& c, double fit_distance, std::vector<Matrix4> cameras,
                        std::vector<std::string> camera_names, int32_t first_key, int32_t last_key,
                        const std::string& unusable_camera) {
    c.mode = ViewerMode::orbit;
    c.orbit = orbit_fit({0, 0, 0}, fit_distance);
    c.demo_orbit = orbit_fit({0, 0, 0}, kDemoDistance);
    c.cameras = std::move(cameras);
    c.camera_names = std::move(camera_names);
    c.camera = 0;
    c.no_camera = unusable_camera.empty() ? "the file has no camera to look through"
                                          : "no camera can be looked through: " + unusable_camera;
    c.drag = ViewerControls::Drag::none;
    c.first_key = first_key;
    c.last_key = std::max(first_key, last_key);
    c.key_frame = first_key;
    c.playing = false;
    c.play_clock = 0;
    changed(c);
}

void controls_set_fit(ViewerControls& c, double fit_distance) {
    const bool fitted = orbit_is_fitted(c.orbit);
    const OrbitView fit = orbit_fit(c.orbit.centre, fit_distance);
    c.orbit.fit_distance = fit.fit_distance;
    if (fitted) orbit_refit(c.orbit);
    c.redraw = true;
}

ViewerAction controls_event(ViewerControls& c, const WindowEvent& e) {
    using Kind = WindowEvent::Kind;
    switch (e.kind) {
    case Kind::key:
        return key(c, e.key);
    case Kind::button_down:
        press(c, e);
        return ViewerAction::none;
    case Kind::button_up:
        if (c.drag != ViewerControls::Drag::none && e.button == c.drag_button) {
            motion(c, e);
            c.drag = ViewerControls::Drag::none;
        }
        return ViewerAction::none;
    case Kind::motion:
        motion(c, e);
        return ViewerAction::none;
    case Kind::wheel:
        if (e.wheel == 0 || !std::isfinite(e.wheel)) return ViewerAction::none;
        orbit_zoom(moving_orbit(c), e.wheel);
        changed(c);
        return ViewerAction::none;
    case Kind::drop:
        return ViewerAction::open;
    case Kind::resized:
        if (e.width <= 0 || e.height <= 0) return ViewerAction::none;
        c.width = e.width;
        c.height = e.height;
        c.redraw = true;
        return ViewerAction::resize;
    case Kind::exposed:
        c.redraw = true;
        return ViewerAction::none;
    case Kind::close:
        return ViewerAction::quit;
    case Kind::none:
        break;
    }
    return ViewerAction::none;
}

bool controls_play(ViewerControls& c, double seconds) {
    if (!c.playing || !animated(c) || !(seconds > 0)) return false;
    c.play_clock += seconds * kPlaybackRate;
    const double whole = std::floor(c.play_clock);
    if (whole < 1) return false;
    c.play_clock -= whole;
    const int64_t span = int64_t(c.last_key) - c.first_key + 1;
    const int64_t offset =
        (int64_t(c.key_frame) - c.first_key + int64_t(std::fmod(whole, double(span)))) % span;
    c.key_frame = int32_t(c.first_key + offset);
    c.redraw = true;
    return true;
}

const OrbitView& controls_orbit(const ViewerControls& c) {
    return c.mode == ViewerMode::demo ? c.demo_orbit : c.orbit;
}

std::string controls_view_name(const ViewerControls& c) {
    switch (c.mode) {
    case ViewerMode::camera:
        return "camera " + (c.camera < c.camera_names.size() ? c.camera_names[c.camera] : "");
    case ViewerMode::demo:
        return orbit_is_fitted(c.demo_orbit) ? "demo" : "orbit";
    case ViewerMode::orbit:
        break;
    }
    return orbit_is_fitted(c.orbit) ? "fit" : "orbit";
}
