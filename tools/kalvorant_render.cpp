// kalvorant-render: the demo's frames without a window, saved as PNG files or an animated GIF.
// Exit status 0 done, 1 the scene or an output failed, 2 bad arguments.
#include "app/demo.h"
#include "loader/chunk_reader.h"
#include "tools/gif_writer.h"
#include "tools/png_writer.h"
#include "tools/render_options.h"
#include "tools/scene_check.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
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

std::string png_path(const std::string& dir, int32_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04d.png", frame);
    return (std::filesystem::path(dir) / name).string();
}

bool make_out_dir(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        error = dir + ": cannot use as output directory" + (ec ? ": " + ec.message() : "");
        return false;
    }
    return true;
}

// Every pass starts from the scene as loaded: the demo spins the mesh matrices in place, and a
// second run must see exactly the frames of the first.
bool start_demo(DemoState& demo, Scene& working, const Scene& loaded, std::string& error) {
    working = loaded;
    demo = DemoState{};
    if (!demo_start(demo, working)) {
        error = "cannot allocate the frame buffer";
        return false;
    }
    return true;
}

std::span<const uint32_t> frame_pixels(const DemoState& demo) {
    return std::span<const uint32_t>(demo.frame_buffer);
}

// First pass: the PNG files, and the colours a GIF will need.
bool render_pngs_and_palette(const RenderOptions& o, const Scene& loaded, GifPalette& palette,
                             std::string& error) {
    Scene working;
    DemoState demo;
    if (!start_demo(demo, working, loaded, error)) return false;
    const bool pngs = !o.out_dir.empty();
    const bool gif = !o.gif_path.empty();
    const Progress progress{!o.quiet && isatty(STDERR_FILENO) == 1,
                            pngs ? "rendering" : "gathering colours,"};
    for (int32_t frame = 1; frame <= o.frames; ++frame) {
        demo_frame(demo);
        if (wants_frame(o, frame)) {
            if (pngs &&
                !write_png(png_path(o.out_dir, frame), frame_pixels(demo), kWidth, kHeight, error))
                return false;
            if (gif && !collect_colours(palette, frame_pixels(demo), error)) {
                error = o.gif_path + ": frame " + std::to_string(frame) + ": " + error;
                return false;
            }
        }
        show_progress(progress, frame, o.frames);
    }
    return true;
}

// Second pass: the same frames again, straight into the GIF, so memory stays one frame deep.
bool render_gif(const RenderOptions& o, const Scene& loaded, const GifPalette& palette,
                std::string& error) {
    Scene working;
    DemoState demo;
    if (!start_demo(demo, working, loaded, error)) return false;
    GifWriter gif;
    if (!gif_begin(gif, o.gif_path, kWidth, kHeight, palette, error)) {
        gif_abort(gif);
        return false;
    }
    const Progress progress{!o.quiet && isatty(STDERR_FILENO) == 1, "writing GIF,"};
    for (int32_t frame = 1; frame <= o.frames; ++frame) {
        demo_frame(demo);
        if (wants_frame(o, frame) && !gif_add_frame(gif, frame_pixels(demo), kGifDelayCs, error)) {
            gif_abort(gif);
            return false;
        }
        show_progress(progress, frame, o.frames);
    }
    if (!gif_finish(gif, error)) {
        gif_abort(gif);
        return false;
    }
    return true;
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
    std::string line = "wrote";
    for (size_t i = 0; i < parts.size(); ++i)
        line += (i == 0 ? " " : " and ") + parts[i];
    return line;
}

int fail(const std::string& message) {
    if (g_progress_line_open) std::fputc('\n', stderr);
    std::fprintf(stderr, "kalvorant-render: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    RenderOptions options;
    std::string error;
    switch (parse_render_options(args, options, error)) {
    case RenderParse::help:
        std::fputs(render_help().c_str(), stdout);
        return 0;
    case RenderParse::usage_error:
        std::fprintf(stderr, "kalvorant-render: %s\n%s", error.c_str(), render_usage().c_str());
        return 2;
    case RenderParse::ok:
        break;
    }
    std::unique_ptr<Scene> scene = load_scene(options.scene, error);
    if (!scene) return fail(options.scene + ": " + error + not_3ds_hint(options.scene));
    if (!scene_has_faces(*scene))
        std::fprintf(stderr, "kalvorant-render: %s\n", empty_scene_warning(options.scene).c_str());
    if (!options.out_dir.empty() && !make_out_dir(options.out_dir, error)) return fail(error);

    GifPalette palette;
    if (!render_pngs_and_palette(options, *scene, palette, error)) return fail(error);
    if (!options.gif_path.empty() && !render_gif(options, *scene, palette, error))
        return fail(error);
    if (!options.quiet) std::printf("%s\n", wrote_line(options).c_str());
    return 0;
}
