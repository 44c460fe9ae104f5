// kalvorant-render: the demo's frames without a window, in any view and size, saved as PNG files
// or an animated GIF. Exit status 0 done, 1 the scene or an output failed, 2 bad arguments or a
// camera the scene does not have.
#include "anim/pose.h"
#include "app/demo_coverage.h"
#include "app/demo_threads.h"
#include "app/model_frame.h"
#include "app/view_animation.h"
#include "app/view_choice.h"
#include "loader/chunk_reader.h"
#include "loader/quoted.h"
#include "textures/scene_textures.h"
#include "tools/gif_writer.h"
#include "tools/output_checks.h"
#include "tools/output_file.h"
#include "tools/png_writer.h"
#include "tools/render_options.h"
#include "tools/scene_check.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr int kGifDelayCs = 2; // one 20 ms timer tick

struct Progress {
    bool shown = false;
    const char* stage = "";
};

// True while a progress line waits for its end, so that an error starts on a line of its own.
bool g_progress_line_open = false;

void show_progress(const Progress& p, int32_t frame, int32_t frames) {
    if (!p.shown) return;
    std::fprintf(stderr, "\r%s frame %d/%d", p.stage, frame, frames);
    g_progress_line_open = frame != frames;
    if (!g_progress_line_open) std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool wants_frame(const RenderOptions& o, int32_t frame) {
    return o.only == 0 || o.only == frame;
}

int32_t png_frame(const RenderOptions& o) {
    return o.only != 0 ? o.only : 1;
}

// The frames a pass must run: all of them for a frame directory or a GIF, otherwise up to the
// one frame --png wants.
int32_t last_frame(const RenderOptions& o) {
    if (o.out_dir.empty() && o.gif_path.empty()) return png_frame(o);
    return o.only != 0 ? o.only : o.frames; // nothing after --only K is saved
}

std::string png_path(const std::string& dir, int32_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04d.png", frame);
    return (std::filesystem::path(dir) / name).string();
}

// Every output is checked before the first frame is rendered, so that a bad path costs nothing.
bool check_outputs(const RenderOptions& o, std::string& error) {
    if (!o.out_dir.empty()) {
        if (!prepare_output_dir(o.out_dir, error)) return false;
        for (int32_t frame = 1; frame <= last_frame(o); ++frame)
            if (wants_frame(o, frame) &&
                !check_output_file(png_path(o.out_dir, frame), o.scene, error))
                return false;
    }
    if (!o.png_path.empty() && !check_output_file(o.png_path, o.scene, error)) return false;
    return o.gif_path.empty() || check_output_file(o.gif_path, o.scene, error);
}

// The threads that draw each frame; with one thread the demo's own frame is used as it is.
RenderThreads* g_render_threads = nullptr;

// The file's own animation in the fit and camera views, with --key-frame or --play.
struct Playback {
    const ViewAnimation* animation = nullptr; // null: nothing to pose
    const Scene* scene = nullptr;             // for the segment --play loops over
    bool play = false;
    double key_frame = 0; // --key-frame's time
};
Playback g_playback;

// Poses the scene for output frame k. A moving camera that cannot be aimed at some time keeps
// its last aim while the file plays; a single pose that cannot be shown is a failure.
bool pose_frame(DemoState& demo, int32_t k, std::string& error) {
    const Playback& p = g_playback;
    if (p.animation == nullptr) return true;
    const double t = p.play ? play_key_frame(*p.scene, k) : p.key_frame;
    return view_animation_pose(*p.animation, demo, t, error) || p.play;
}

bool next_frame(DemoState& demo, int32_t k, std::string& error) {
    if (!pose_frame(demo, k, error)) return false;
    if (g_render_threads == nullptr || render_thread_count(*g_render_threads) == 1) {
        view_frame(demo);
        return true;
    }
    if (demo_frame_threaded(demo, *g_render_threads)) return true;
    error = "out of memory while drawing a frame";
    return false;
}

std::span<const uint32_t> frame_pixels(const DemoState& demo) {
    return std::span<const uint32_t>(demo.frame_buffer);
}

// Writes one frame so that path holds either the whole PNG or whatever it held before.
bool write_png_file(const std::string& path, const DemoState& demo, std::string& error) {
    StagedFile staged;
    if (!stage_file(path, staged, error)) return false;
    if (!write_png(staged.path, frame_pixels(demo), demo.width, demo.height, error)) {
        error = about_target(staged, error);
        discard_file(staged);
        return false;
    }
    return commit_file(staged, error);
}

// First pass: the PNG files, and the colours a GIF will need. largest_coverage becomes the most
// pixels any saved frame covers.
bool render_pngs_and_palette(const RenderOptions& o, DemoState& demo, GifPalette& palette,
                             int64_t& largest_coverage, std::string& error) {
    const bool pngs = !o.out_dir.empty();
    const bool gif = !o.gif_path.empty();
    const int32_t frames = last_frame(o);
    const Progress progress{!o.quiet && isatty(STDERR_FILENO) == 1 && frames > 1,
                            pngs || !gif ? "rendering" : "gathering colours,"};
    for (int32_t frame = 1; frame <= frames; ++frame) {
        if (!next_frame(demo, frame, error)) return false;
        const bool png_wanted = !o.png_path.empty() && frame == png_frame(o);
        if (png_wanted || ((pngs || gif) && wants_frame(o, frame))) {
            const int64_t covered = covered_pixels(frame_pixels(demo));
            if (covered == 0 && o.fail_if_empty) {
                error = quoted_text(o.scene) + ": frame " + std::to_string(frame) +
                        " shows nothing, so no picture is written (--fail-if-empty)";
                return false;
            }
            largest_coverage = std::max(largest_coverage, covered);
        }
        if (wants_frame(o, frame)) {
            if (pngs && !write_png_file(png_path(o.out_dir, frame), demo, error)) return false;
            if (gif) collect_colours(palette, frame_pixels(demo));
        }
        if (png_wanted && !write_png_file(o.png_path, demo, error)) return false;
        show_progress(progress, frame, frames);
    }
    return true;
}

// Second pass: the same frames again, straight into the GIF, so memory stays one frame deep.
// The view has already prepared the scene; only the spin of the first pass is undone.
bool render_gif(const RenderOptions& o, DemoState& demo, const GifPalette& palette,
                std::string& error) {
    view_rewind(demo);
    StagedFile staged;
    if (!stage_file(o.gif_path, staged, error)) return false;
    GifWriter gif;
    const auto failed = [&] {
        gif_abort(gif);
        discard_file(staged);
        error = about_target(staged, error);
        return false;
    };
    if (!gif_begin(gif, staged.path, demo.width, demo.height, palette, error)) return failed();
    const Progress progress{!o.quiet && isatty(STDERR_FILENO) == 1, "writing GIF,"};
    for (int32_t frame = 1; frame <= last_frame(o); ++frame) {
        if (!next_frame(demo, frame, error)) return failed();
        if (wants_frame(o, frame) && !gif_add_frame(gif, frame_pixels(demo), kGifDelayCs, error))
            return failed();
        show_progress(progress, frame, o.frames);
    }
    if (!gif_finish(gif, error)) return failed();
    return commit_file(staged, error);
}

std::string frame_count_text(int32_t frames) {
    return std::to_string(frames) + (frames == 1 ? " frame" : " frames");
}

// The closing line, so that a user knows where to look: "wrote frames/frame_0001.png ...
// frames/frame_0010.png (10 frames) and spin.gif (10 frames)".
std::string wrote_line(const RenderOptions& o) {
    const int32_t first = o.only != 0 ? o.only : 1;
    const int32_t last = o.only != 0 ? o.only : o.frames;
    const int32_t count = last - first + 1;
    std::vector<std::string> parts;
    if (!o.out_dir.empty()) {
        parts.push_back(count == 1
                            ? png_path(o.out_dir, first)
                            : png_path(o.out_dir, first) + " ... " + png_path(o.out_dir, last) +
                                  " (" + frame_count_text(count) + ")");
    }
    if (!o.gif_path.empty()) parts.push_back(o.gif_path + " (" + frame_count_text(count) + ")");
    if (!o.png_path.empty())
        parts.push_back(o.png_path + " (frame " + std::to_string(png_frame(o)) + ")");
    std::string line = "wrote";
    for (size_t i = 0; i < parts.size(); ++i)
        line += (i == 0 ? " " : " and ") + parts[i];
    return line;
}

// A camera the scene does not have, or cannot use, is a bad value on the command line.
bool check_camera(const RenderOptions& o, const Scene& scene, std::string& error) {
    if (o.view.kind != ViewKind::camera) return true;
    const Camera* camera = find_view_camera(scene, o.view.camera_name, error);
    CameraPlacement placement;
    return camera != nullptr &&
           camera_start_placement(scene, size_t(camera - scene.cameras.data()),
                                  pose_scene(scene, scene.keyframe_start), placement, error);
}

// Caps the run as the options ask. The processor-time limit stops the process with SIGXCPU,
// which then removes any temporary file and exits with status 1 and one line; the hard limit a
// second later is the kernel's backstop. The memory cap limits the address space, so an
// allocation past it fails and ends the run like any other lack of memory.
bool apply_caps(const RenderOptions& o, std::string& error) {
    if (o.max_cpu_seconds > 0) {
        static const std::string line =
            "kalvorant-render: gave up after " + std::to_string(o.max_cpu_seconds) +
            (o.max_cpu_seconds == 1 ? " second" : " seconds") +
            " of processor time (--max-cpu-seconds); no file is written\n";
        exit_on_signal(SIGXCPU, line.c_str());
        rlimit limit{};
        ::getrlimit(RLIMIT_CPU, &limit);
        const rlim_t soft = rlim_t(o.max_cpu_seconds);
        if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= soft) {
            limit.rlim_cur = limit.rlim_max; // the caller's own cap is already tighter
        } else {
            limit.rlim_cur = soft;
            limit.rlim_max = soft + 1;
        }
        if (::setrlimit(RLIMIT_CPU, &limit) != 0) {
            error = std::string("cannot limit the processor time: ") + std::strerror(errno);
            return false;
        }
    }
#if !defined(__SANITIZE_ADDRESS__)
    // (AddressSanitizer reserves terabytes of address space for itself: under it, no address
    // space limit can be set, and the memory cap is left to the sanitizer's own checks.)
    if (o.max_memory_mib > 0) {
        rlimit limit{};
        ::getrlimit(RLIMIT_AS, &limit);
        const rlim_t bytes = rlim_t(o.max_memory_mib) << 20;
        if (limit.rlim_max == RLIM_INFINITY || bytes < limit.rlim_max) limit.rlim_max = bytes;
        limit.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            error = std::string("cannot limit the memory: ") + std::strerror(errno);
            return false;
        }
    }
#endif
    return true;
}

int fail(const std::string& message, int status = 1) {
    if (g_progress_line_open) std::fputc('\n', stderr);
    std::fprintf(stderr, "kalvorant-render: %s\n", message.c_str());
    return status;
}

// The help goes to standard output, which may be a full disk or a closed pipe: a help that was
// not delivered is a failure like any other output.
int print_help() {
    const std::string help = render_help();
    if (std::fputs(help.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return 0;
    return fail(std::string("cannot write to standard output: ") + std::strerror(errno));
}

int run(const std::vector<std::string>& args) {
    RenderOptions options;
    std::string error;
    switch (parse_render_options(args, options, error)) {
    case RenderParse::help:
        return print_help();
    case RenderParse::usage_error:
        std::fprintf(stderr, "kalvorant-render: %s\n%s", error.c_str(), render_usage().c_str());
        return 2;
    case RenderParse::ok:
        break;
    }
    if (!apply_caps(options, error)) return fail(error);
    std::unique_ptr<Scene> scene = load_scene(options.scene, error);
    if (!scene)
        return fail(quoted_text(options.scene) + ": " + error + not_3ds_hint(options.scene));
    if (!check_camera(options, *scene, error))
        return fail(quoted_text(options.scene) + ": " + error, 2);
    if (options.play && !options.frames_set) {
        // One pass of the segment; a file that does not move plays as a still.
        options.frames =
            std::max(scene_is_animated(*scene) ? play_frame_count(*scene) : 1, options.only);
    }
    if (options.key_frame_start) options.key_frame = scene->keyframe_start;
    if (!check_outputs(options, error)) return fail(error);
    if (!scene_has_faces(*scene)) {
        if (options.fail_if_empty)
            return fail(quoted_text(options.scene) +
                        ": holds no faces, so no picture is written (--fail-if-empty)");
        std::fprintf(stderr, "kalvorant-render: %s\n", empty_scene_warning(options.scene).c_str());
    }
    // The demo view keeps the demo's own motion, and it is the default: asked to pose or play a
    // file that moves, say where its animation is seen rather than show the demo's spin silently.
    if ((options.play || options.key_frame_set) && options.view.kind == ViewKind::demo &&
        scene_is_animated(*scene))
        std::fprintf(stderr, "kalvorant-render: warning: the demo view keeps the demo's own "
                             "motion; --view fit or --view camera shows the file's animation\n");

    // The view prepares the loaded scene itself; both passes draw it, so it is never copied.
    DemoState demo;
    ViewAnimation animation;
    if ((options.play || options.key_frame_set) && options.view.kind != ViewKind::demo) {
        g_playback = {&animation, scene.get(), options.play, options.key_frame};
        const double first = options.play ? play_key_frame(*scene, 1) : options.key_frame;
        if (!view_animation_start(animation, demo, *scene, options.view, options.width,
                                  options.height, first, error))
            return fail(quoted_text(options.scene) + ": " + error);
    } else if (!view_start(demo, *scene, options.view, options.width, options.height, error)) {
        return fail(error);
    }
    // The model look paints the pictures the materials name; one that cannot be used leaves its
    // faces in the material's colour, with a warning.
    SceneTextures textures;
    if (demo.model_look) {
        textures = load_scene_textures(*scene, options.scene);
        for (const TextureReport& report : textures.reports)
            if (!report.found)
                std::fprintf(stderr, "kalvorant-render: warning: %s\n",
                             texture_warning(*scene, report).c_str());
        std::vector<const TextureImage*> pictures;
        for (const auto& picture : textures.by_material)
            pictures.push_back(picture.get());
        if (!demo_use_model_look(demo, pictures))
            return fail("not enough memory for the model look of this scene");
    }
    const int32_t threads = options.threads > 0 ? options.threads : default_render_thread_count();
    {
        // The render threads leave the signals that remove staged files to this thread, which
        // stages them, so that no signal can fall between creating a file and noting it.
        const CleanupSignalsHeld held;
        g_render_threads = render_threads_start(threads, error);
    }
    if (g_render_threads == nullptr) return fail(error);
    GifPalette palette;
    int64_t coverage = 0;
    const bool done = render_pngs_and_palette(options, demo, palette, coverage, error) &&
                      (options.gif_path.empty() || render_gif(options, demo, palette, error));
    render_threads_stop(g_render_threads);
    g_render_threads = nullptr;
    if (!done) return fail(error);
    // Only the model look's pictures and smooth shading use more colours than a GIF holds.
    if (!options.gif_path.empty() && !palette.exact)
        std::fprintf(stderr,
                     "kalvorant-render: warning: %s: the frames use more than 256 colours; the "
                     "GIF holds 256 chosen to stand for them (--out DIR writes PNG frames with "
                     "every colour)\n",
                     quoted_text(options.gif_path).c_str());
    // A scene modelled at another scale than the demo's is a speck in its view; say which view
    // shows it (a scene without faces has had its own warning).
    if (options.view.kind == ViewKind::demo && scene_has_faces(*scene) &&
        covers_too_little(coverage, demo.width, demo.height))
        std::fprintf(stderr, "kalvorant-render: warning: %s\n", small_scene_hint(coverage).c_str());
    if (!options.quiet &&
        (std::printf("%s\n", wrote_line(options).c_str()) < 0 || std::fflush(stdout) != 0))
        return fail(std::string("cannot write to standard output: ") + std::strerror(errno));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
}
