#include "web/kalvorant_web.h"

#include "anim/pose.h"
#include "app/demo.h"
#include "app/model_frame.h"
#include "app/view_animation.h"
#include "app/view_choice.h"
#include "loader/chunk_reader.h"
#include "textures/scene_textures.h"
#include "viewer/viewer_frame.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Looking around: the desktop viewer's controls and its copies of the scene, at the page's size.
struct LookState {
    ViewerScene scene;
    DemoState state;
    ViewerControls controls;
    std::string view; // controls_view_name, kept for kalv_look_view
    // The look and up axis looking around started with: a change of either while looking around
    // carries over to the spinning view when the page goes back to it.
    ViewerLook started_look = ViewerLook::model;
    ViewerUp started_up = ViewerUp::z;
};

// Key frames from one frame to the next while a file plays: 30 a second on the 20 ms clock.
constexpr double kKeyFramesPerTick = kKeyFramesPerSecond / 50.0;

// The spinning view: a working copy of the scene whose matrices the frames turn. In the fit and
// camera views of a file that moves it plays the file's animation instead of spinning, as
// kalvorant-render --play does. Kept behind a pointer, because the state borrows the scene.
struct Spin {
    Scene shown;
    DemoState demo;
    bool animated = false;
    ViewAnimation animation;
    double from = 0;      // the key frame of the first frame after a start or a seek
    int64_t ticks = 0;    // frames drawn since
    double key_frame = 0; // of the frame last drawn
};

// The page shows one scene at a time. The loader's result is kept untouched so that every change
// of view starts from the scene as loaded.
struct WebState {
    std::unique_ptr<Scene> loaded;
    std::vector<GivenPicture> given;               // pictures handed over for the next file, with
    std::vector<std::vector<uint8_t>> given_bytes; // their bytes
    SceneTextures textures;                        // the loaded file's pictures, decoded
    std::vector<const TextureImage*> pictures;     // per material, borrowed from textures
    std::string warnings;                          // about the loaded file's pictures, one a line
    ViewChoice choice; // the spinning view: which one, its look and its up axis
    std::unique_ptr<Spin> spin;
    std::unique_ptr<LookState> look; // while looking around
    std::vector<uint32_t> rgba;
    std::string error;
    int frame_number = 0;
};

WebState& web() {
    static WebState state;
    return state;
}

// Prepares a fresh copy of scene for choice into spin, posed at the segment's first key frame when
// the view plays the file. Returns false with a reason in error, leaving spin as it was.
bool start_view(const Scene& scene, const ViewChoice& choice,
                std::span<const TextureImage* const> pictures, std::unique_ptr<Spin>& spin,
                std::string& error) {
    try {
        auto next = std::make_unique<Spin>();
        next->shown = scene;
        next->animated = choice.kind != ViewKind::demo && scene_is_animated(scene);
        next->from = next->key_frame = scene.keyframe_start;
        if (next->animated ? !view_animation_start(next->animation, next->demo, next->shown, choice,
                                                   kWidth, kHeight, next->from, error)
                           : !view_start(next->demo, next->shown, choice, kWidth, kHeight, error))
            return false;
        // The model look paints the pictures the materials name, as kalvorant-render does.
        if (next->demo.model_look && !pictures.empty() &&
            !demo_use_model_look(next->demo, pictures)) {
            error = "not enough memory for the model look of this scene";
            return false;
        }
        spin = std::move(next);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to show this scene";
        return false;
    }
    return true;
}

// The key frame the next frame of spin shows: from, then kKeyFramesPerTick further each frame,
// wrapping over the segment. From the segment's start this is kalvorant-render --play's key frame
// of the same frame, to the bit.
double next_key_frame(const Spin& spin) {
    if (spin.ticks == 0) return spin.from;
    const double start = spin.animation.skeleton.keyframe_start;
    const double end = spin.animation.skeleton.keyframe_end;
    double t = double(spin.ticks) * kKeyFramesPerTick + (spin.from - start);
    if (end > start) t = std::fmod(t, end - start);
    return start + t;
}

// 0x00RRGGBB words become R, G, B, 255 bytes, the layout of a canvas ImageData.
void convert_to_rgba(const std::vector<uint32_t>& pixels, std::vector<uint32_t>& rgba) {
    rgba.resize(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i];
        const uint32_t red = (p >> 16) & 0xFFu, green = (p >> 8) & 0xFFu, blue = p & 0xFFu;
        rgba[i] = 0xFF000000u | (blue << 16) | (green << 8) | red; // little-endian bytes R G B A
    }
}

// The canvas bytes of a drawn picture; none when there is no memory for them.
void show(const std::vector<uint32_t>& pixels, std::vector<uint32_t>& rgba) {
    try {
        convert_to_rgba(pixels, rgba);
    } catch (const std::bad_alloc&) {
        rgba.clear();
    }
}

// Shows the loaded scene in choice and restarts at frame 0; on failure the view stays as it was.
int restart_view(WebState& state, const ViewChoice& choice) {
    std::string error;
    if (!start_view(*state.loaded, choice, state.pictures, state.spin, error)) {
        state.error = error;
        return 0;
    }
    state.choice = choice;
    state.frame_number = 0;
    state.error.clear();
    return 1;
}

// Prepares the loaded scene for looking around again, for the up axis the controls now have,
// as the desktop viewer does; without the memory for it the scene stays as it was prepared.
void prepare_look_again(WebState& state) {
    LookState& look = *state.look;
    std::string error;
    try {
        if (viewer_prepare(look.scene, std::make_unique<Scene>(*state.loaded), look.state,
                           look.controls, error, state.pictures))
            return;
    } catch (const std::bad_alloc&) {
        error = "not enough memory to view this scene";
    }
    look.controls.up = look.controls.up == ViewerUp::z ? ViewerUp::y : ViewerUp::z;
    look.controls.message = error;
}

// Hands one event to the viewer's controls. Of what the desktop viewer does for their answer,
// the page asks only for the new up axis here: it quits, saves and opens files itself.
void look_event(const WindowEvent& event) {
    WebState& state = web();
    if (state.look && controls_event(state.look->controls, event) == ViewerAction::prepare)
        prepare_look_again(state);
}

// Poses the picture looking around at the whole key frame nearest key_frame, within the segment.
void look_seek(ViewerControls& controls, double key_frame) {
    if (controls.last_key <= controls.first_key || !std::isfinite(key_frame)) return;
    controls.key_frame = int32_t(
        std::clamp(std::lround(key_frame), long(controls.first_key), long(controls.last_key)));
    controls.play_clock = 0;
    controls.redraw = true;
}

const char* look_name(Look look) {
    return look == Look::demo ? "demo" : "model";
}

const char* up_name(UpAxis up) {
    return up == UpAxis::y ? "y" : "z";
}

} // namespace

extern "C" {

int kalv_give_picture(const char* name, const uint8_t* bytes, uint32_t size) {
    WebState& state = web();
    try {
        state.given_bytes.emplace_back(bytes, bytes + (bytes == nullptr ? 0 : size));
        state.given.push_back({name == nullptr ? "" : name, state.given_bytes.back()});
    } catch (const std::bad_alloc&) {
        state.given.clear();
        state.given_bytes.clear();
        return 0;
    }
    return 1;
}

int kalv_load(const char* name, const uint8_t* bytes, uint32_t size, const char* view) {
    WebState& state = web();
    std::string error;
    // The pictures given count for this file only, whatever becomes of it.
    const std::vector<GivenPicture> given = std::move(state.given);
    const std::vector<std::vector<uint8_t>> given_bytes = std::move(state.given_bytes);
    state.given.clear();
    state.given_bytes.clear();
    std::unique_ptr<Scene> scene =
        load_scene_from_memory(std::span<const uint8_t>(bytes, bytes == nullptr ? 0 : size), error);
    if (!scene) {
        state.error = error;
        return 0;
    }
    SceneTextures textures;
    std::vector<const TextureImage*> pictures;
    std::string warnings;
    try {
        textures = load_scene_textures_given(*scene, name == nullptr ? "" : name, given);
        for (const auto& picture : textures.by_material)
            pictures.push_back(picture.get());
        for (const TextureReport& report : textures.reports)
            if (!report.found) warnings += "warning: " + texture_warning(*scene, report) + "\n";
    } catch (const std::bad_alloc&) {
        state.error = "not enough memory for the pictures of this scene";
        return 0;
    }
    // A new file starts with the view's own look and 3D Studio's Z up.
    ViewChoice choice;
    if (!parse_view_choice(view == nullptr ? "" : view, choice, error) ||
        !start_view(*scene, choice, pictures, state.spin, error)) {
        state.error = error;
        return 0;
    }
    state.loaded = std::move(scene);
    state.textures = std::move(textures);
    state.pictures = std::move(pictures);
    state.warnings = std::move(warnings);
    state.choice = choice;
    state.look.reset();
    state.frame_number = 0;
    state.error.clear();
    return 1;
}

const char* kalv_error(void) {
    return web().error.c_str();
}

const char* kalv_warnings(void) {
    return web().warnings.c_str();
}

int kalv_set_view(const char* view) {
    WebState& state = web();
    if (!state.loaded) {
        state.error = "no scene is loaded";
        return 0;
    }
    ViewChoice choice = state.choice; // keeps the look and the up axis
    if (!parse_view_choice(view == nullptr ? "" : view, choice, state.error)) return 0;
    return restart_view(state, choice);
}

int kalv_set_options(const char* look, const char* up) {
    WebState& state = web();
    if (!state.loaded) {
        state.error = "no scene is loaded";
        return 0;
    }
    ViewChoice choice = state.choice;
    const std::string_view look_text = look == nullptr ? "" : look;
    if (look_text.empty())
        choice.look = Look::automatic;
    else if (!parse_look(look_text, choice.look, state.error))
        return 0;
    if (!parse_up_axis(up == nullptr ? "" : up, choice.up, state.error)) return 0;
    return restart_view(state, choice);
}

const char* kalv_view_look(void) {
    return look_name(view_look(web().choice));
}

const char* kalv_view_up(void) {
    return up_name(web().choice.up);
}

int kalv_file_animated(void) {
    const WebState& state = web();
    return state.loaded && scene_is_animated(*state.loaded) ? 1 : 0;
}

int kalv_view_animated(void) {
    const WebState& state = web();
    return state.loaded && state.spin && state.spin->animated ? 1 : 0;
}

int kalv_first_key_frame(void) {
    const WebState& state = web();
    return state.loaded ? state.loaded->keyframe_start : 0;
}

int kalv_last_key_frame(void) {
    const WebState& state = web();
    return state.loaded ? std::max(state.loaded->keyframe_start, state.loaded->keyframe_end) : 0;
}

double kalv_key_frame(void) {
    const WebState& state = web();
    return state.loaded && state.spin ? state.spin->key_frame : 0;
}

int kalv_seek(double key_frame) {
    WebState& state = web();
    if (!state.loaded || !state.spin || !state.spin->animated || !std::isfinite(key_frame))
        return 0;
    Spin& spin = *state.spin;
    spin.from =
        std::clamp(key_frame, double(kalv_first_key_frame()), double(kalv_last_key_frame()));
    spin.ticks = 0;
    return 1;
}

void kalv_step(void) {
    WebState& state = web();
    if (!state.loaded) return;
    Spin& spin = *state.spin;
    if (spin.animated) {
        // A moving camera that cannot be aimed at some time keeps its last aim, as in
        // kalvorant-render --play.
        spin.key_frame = next_key_frame(spin);
        std::string unused;
        view_animation_pose(spin.animation, spin.demo, spin.key_frame, unused);
        ++spin.ticks;
    }
    view_frame(spin.demo);
    ++state.frame_number;
    show(spin.demo.frame_buffer, state.rgba);
}

const uint32_t* kalv_pixels(void) {
    const WebState& state = web();
    if (state.look) return state.look->state.frame_buffer.data();
    return state.spin ? state.spin->demo.frame_buffer.data() : nullptr;
}

const uint8_t* kalv_rgba(void) {
    return reinterpret_cast<const uint8_t*>(web().rgba.data());
}

int kalv_width(void) {
    return kWidth;
}

int kalv_height(void) {
    return kHeight;
}

int kalv_frame_number(void) {
    return web().frame_number;
}

int kalv_mesh_count(void) {
    const WebState& state = web();
    return state.loaded ? int(state.loaded->meshes.size()) : 0;
}

int kalv_face_count(void) {
    const WebState& state = web();
    if (!state.loaded) return 0;
    size_t faces = 0;
    for (const MeshObject& mesh : state.loaded->meshes)
        faces += mesh.faces.size();
    return int(faces);
}

int kalv_camera_count(void) {
    const WebState& state = web();
    return state.loaded ? int(state.loaded->cameras.size()) : 0;
}

const char* kalv_camera_name(int i) {
    const WebState& state = web();
    if (!state.loaded || i < 0 || size_t(i) >= state.loaded->cameras.size()) return "";
    return state.loaded->cameras[size_t(i)].name.c_str();
}

int kalv_look_start(void) {
    WebState& state = web();
    if (state.look) return 1;
    if (!state.loaded) {
        state.error = "no scene is loaded";
        return 0;
    }
    std::string error;
    try {
        auto look = std::make_unique<LookState>();
        look->controls.width = kWidth;
        look->controls.height = kHeight;
        // The person's look, else the fit view's own; the spinning view's up axis.
        look->controls.look =
            state.choice.look == Look::demo ? ViewerLook::demo : ViewerLook::model;
        look->controls.up = state.choice.up == UpAxis::y ? ViewerUp::y : ViewerUp::z;
        look->started_look = look->controls.look;
        look->started_up = look->controls.up;
        if (!viewer_prepare(look->scene, std::make_unique<Scene>(*state.loaded), look->state,
                            look->controls, error, state.pictures)) {
            state.error = error;
            return 0;
        }
        // The pose goes on from the key frame the spinning view had reached.
        look_seek(look->controls, state.spin->key_frame);
        state.look = std::move(look);
    } catch (const std::bad_alloc&) {
        state.error = "not enough memory to look around this scene";
        return 0;
    }
    state.error.clear();
    return 1;
}

int kalv_look_stop(void) {
    WebState& state = web();
    if (!state.look) return 0;
    const ViewerControls& controls = state.look->controls;
    ViewChoice choice = state.choice;
    if (controls.look != state.look->started_look)
        choice.look = controls.look == ViewerLook::demo ? Look::demo : Look::model;
    if (controls.up != state.look->started_up)
        choice.up = controls.up == ViewerUp::y ? UpAxis::y : UpAxis::z;
    const bool changed = choice.look != state.choice.look || choice.up != state.choice.up;
    state.look.reset();
    if (!changed) return 0;
    return restart_view(state, choice) != 0 ? 1 : -1;
}

int kalv_look_active(void) {
    return web().look ? 1 : 0;
}

void kalv_look_key(int key) {
    WindowEvent event;
    event.kind = WindowEvent::Kind::key;
    event.key = key;
    look_event(event);
}

void kalv_look_pointer(int kind, int button, int x, int y, int shift) {
    using Kind = WindowEvent::Kind;
    WindowEvent event;
    event.kind = kind == 0 ? Kind::button_down : kind == 1 ? Kind::motion : Kind::button_up;
    event.button = button == 1   ? PointerButton::middle
                   : button == 2 ? PointerButton::right
                                 : PointerButton::left;
    event.x = x;
    event.y = y;
    event.shift = shift != 0;
    look_event(event);
}

void kalv_look_wheel(double steps) {
    WindowEvent event;
    event.kind = WindowEvent::Kind::wheel;
    event.wheel = steps;
    look_event(event);
}

void kalv_look_pinch(double ratio) {
    // Each wheel step multiplies the distance to the target by kOrbitZoomStep; the scene grows by
    // the inverse, so ratio times larger takes log(ratio) / log(1 / kOrbitZoomStep) steps. Single
    // precision, as the zoom itself.
    if (!(ratio > 0) || !std::isfinite(ratio)) return;
    kalv_look_wheel(double(std::log(float(ratio)) / -std::log(float(kOrbitZoomStep))));
}

int kalv_look_draw(void) {
    WebState& state = web();
    if (!state.look || !state.look->controls.redraw) return 0;
    LookState& look = *state.look;
    look.controls.redraw = false;
    if (!viewer_aim(look.scene, look.state, look.controls)) return 0;
    view_frame(look.state);
    viewer_release(look.scene, look.state, look.controls);
    show(look.state.frame_buffer, state.rgba);
    return 1;
}

const char* kalv_look_view(void) {
    WebState& state = web();
    if (!state.look) return "";
    state.look->view = controls_view_name(state.look->controls);
    return state.look->view.c_str();
}

int kalv_look_play(double seconds) {
    WebState& state = web();
    return state.look && controls_play(state.look->controls, seconds) ? 1 : 0;
}

void kalv_look_seek(double key_frame) {
    WebState& state = web();
    if (state.look) look_seek(state.look->controls, key_frame);
}

int kalv_look_playing(void) {
    const WebState& state = web();
    return state.look && state.look->controls.playing ? 1 : 0;
}

int kalv_look_key_frame(void) {
    const WebState& state = web();
    return state.look ? state.look->controls.key_frame : 0;
}

const char* kalv_look_look(void) {
    const WebState& state = web();
    if (!state.look) return "";
    return state.look->controls.look == ViewerLook::demo ? "demo" : "model";
}

const char* kalv_look_up(void) {
    const WebState& state = web();
    if (!state.look) return "";
    return state.look->controls.up == ViewerUp::y ? "y" : "z";
}

const char* kalv_look_message(void) {
    const WebState& state = web();
    return state.look ? state.look->controls.message.c_str() : "";
}
}
