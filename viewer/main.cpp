// kalvorant-view [FILE]: a window to turn, zoom and pan a scene in, open files by dropping them
// on it, and save what it shows. Exit status 0 when closed, 1 when no window can be opened,
// 2 for a bad command line. A file that cannot be opened never ends the program: the title and
// standard error say why, and the picture stays as it was.
#include "loader/chunk_reader.h"
#include "loader/quoted.h"
#include "platform/sdl/viewer_window.h"
#include "textures/scene_textures.h"
#include "tools/output_file.h"
#include "tools/png_writer.h"
#include "tools/scene_check.h"
#include "viewer/save_path.h"
#include "viewer/viewer_frame.h"
#include "viewer/viewer_title.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kStartWidth = 1024, kStartHeight = 768;

struct Viewer {
    ViewerWindowPtr window;
    ViewerControls controls;
    ViewerScene scene;
    DemoState state;
    RenderThreads* threads = nullptr;          // nullptr: draw on the main thread alone
    std::string path;                          // the open file, "" for none
    SceneTextures textures;                    // the open file's pictures, which its frames borrow
    std::vector<const TextureImage*> pictures; // per material: its picture or nullptr
    std::string shown_title;
    Clock::time_point last_present{};
};

void say(const std::string& line) {
    std::fprintf(stderr, "kalvorant-view: %s\n", line.c_str());
}

std::string file_name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The pictures of the scene's materials, found beside path; each one that cannot be used is
// said on standard error, and its faces keep their material's colour.
SceneTextures scene_pictures(const Scene& scene, const std::string& path) {
    try {
        SceneTextures textures = load_scene_textures(scene, path);
        for (const TextureReport& report : textures.reports)
            if (!report.found) say("warning: " + texture_warning(scene, report));
        return textures;
    } catch (const std::bad_alloc&) {
        say("warning: not enough memory for the pictures of " + quoted_text(path));
        return {};
    }
}

// Opens path in place of the current file; on failure the current file stays.
void open_file(Viewer& v, const std::string& path) {
    std::string error;
    std::unique_ptr<Scene> scene = load_scene(path, error);
    if (scene) {
        SceneTextures textures = scene_pictures(*scene, path);
        std::vector<const TextureImage*> pictures;
        for (const auto& picture : textures.by_material)
            pictures.push_back(picture.get());
        if (viewer_prepare(v.scene, std::move(scene), v.state, v.controls, error, pictures)) {
            // The pictures live on the heap: moving their owners keeps the frames' pointers.
            v.textures = std::move(textures);
            v.pictures = std::move(pictures);
            v.path = path;
            // A file that loads with no faces shows an empty window; say why it is empty.
            if (!scene_has_faces(*v.scene.loaded)) {
                say(empty_scene_warning(path));
                v.controls.message = "the file holds no faces, so there is nothing to draw";
            }
            return;
        }
    }
    const std::string line = "cannot open " + quoted_text(path) + ": " + error;
    say(line);
    v.controls.message = "cannot open " + file_name(path) + ": " + error;
    v.controls.redraw = true;
}

// Prepares the open file again (another up axis).
void prepare_again(Viewer& v) {
    if (!v.scene.loaded) return;
    std::string error = "not enough memory to view this scene";
    std::unique_ptr<Scene> copy = viewer_loaded_copy(v.scene);
    if (!copy ||
        !viewer_prepare(v.scene, std::move(copy), v.state, v.controls, error, v.pictures)) {
        say(error);
        v.controls.message = error;
    }
}

void save_picture(Viewer& v) {
    std::string error;
    const std::string path = choose_save_path(v.path);
    StagedFile staged;
    bool saved = false;
    if (path.empty()) {
        error = "every picture name from 001 to 999 is taken";
    } else if (stage_file(path, staged, error)) {
        saved =
            write_png(staged.path, v.state.frame_buffer, v.state.width, v.state.height, error) &&
            commit_file(staged, error);
        if (!saved) discard_file(staged);
    }
    if (saved) {
        v.controls.message = "saved " + std::filesystem::absolute(path).string();
    } else {
        say("cannot save the picture: " + error);
        v.controls.message = "cannot save the picture: " + error;
    }
}

void resize(Viewer& v) {
    std::string error;
    if (v.scene.loaded) {
        if (!viewer_resize(v.scene, v.state, v.controls, error)) {
            say(error);
            v.controls.message = error;
        }
        return;
    }
    v.state.width = v.controls.width;
    v.state.height = v.controls.height;
    v.state.frame_buffer.assign(size_t(v.state.width) * size_t(v.state.height), 0u);
}

// Handles one event; false when the viewer is to end.
bool handle(Viewer& v, const WindowEvent& event) {
    switch (controls_event(v.controls, event)) {
    case ViewerAction::quit:
        return false;
    case ViewerAction::save:
        save_picture(v);
        break;
    case ViewerAction::open:
        open_file(v, event.path);
        break;
    case ViewerAction::resize:
        resize(v);
        break;
    case ViewerAction::prepare:
        prepare_again(v);
        break;
    case ViewerAction::none:
        break;
    }
    return true;
}

void show(Viewer& v) {
    const std::string title = viewer_title(v.path.empty() ? "" : file_name(v.path), v.controls);
    if (title != v.shown_title) {
        window_set_title(*v.window, title);
        v.shown_title = title;
    }
    if (!v.controls.redraw) return;
    v.controls.redraw = false;
    std::string error;
    if (!viewer_draw(v.scene, v.state, v.controls, v.threads)) {
        say("not enough memory to draw the picture");
        v.controls.message = "not enough memory to draw the picture";
        return;
    }
    if (!window_present(*v.window, v.state.frame_buffer, v.state.width, v.state.height, error))
        say(error);
    v.last_present = Clock::now();
}

int milliseconds_until(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

int run(Viewer& v) {
    const auto refresh = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(window_refresh_interval(*v.window)));
    Clock::time_point last_tick = Clock::now();
    for (;;) {
        show(v);
        // Only time spent playing moves the animation: a Space that ends a pause or a long idle
        // wait starts it from the key frame it stands on.
        const bool was_playing = v.controls.playing;
        // Idle, the wait blocks until something happens; while playing, until the next key
        // frame is due.
        const int timeout = v.controls.playing ? int(1000 / kPlaybackRate) : -1;
        if (!handle(v, window_next_event(*v.window, timeout))) return 0;
        // Everything that arrived since is taken together, and the picture waits for the next
        // display refresh: one drawing answers a whole burst of pointer motion.
        for (;;) {
            while (window_event_pending(*v.window))
                if (!handle(v, window_next_event(*v.window, 0))) return 0;
            const int wait = milliseconds_until(v.last_present + refresh);
            if (!v.controls.redraw || wait == 0) break;
            const WindowEvent event = window_next_event(*v.window, wait);
            if (event.kind != WindowEvent::Kind::none && !handle(v, event)) return 0;
        }
        const Clock::time_point now = Clock::now();
        if (was_playing)
            controls_play(v.controls, std::chrono::duration<double>(now - last_tick).count());
        last_tick = now;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: kalvorant-view [FILE]\n");
        return 0;
    }
    // A file whose name starts with a dash is given as ./-name.
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: kalvorant-view [FILE]\n");
        return 2;
    }
    Viewer v;
    std::string error;
    v.window = open_viewer_window("kalvorant-view", kStartWidth, kStartHeight, error);
    if (!v.window) {
        say("cannot open the viewer window: " + error);
        return 1;
    }
    window_picture_size(*v.window, v.controls.width, v.controls.height);
    resize(v);
    // Without helper threads the viewer still works, on its own thread.
    v.threads = render_threads_start(default_render_thread_count(), error);
    if (argc == 2) open_file(v, argv[1]);
    const int status = run(v);
    render_threads_stop(v.threads);
    return status;
}
