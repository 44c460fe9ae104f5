#include "tools/render_options.h"

#include "loader/quoted.h"
#include "render/threaded_frame.h"
#include "tools/command_line.h"

#include <array>
#include <charconv>

namespace {

struct Seen {
    bool frames = false, only = false, out = false, gif = false, png = false, view = false,
         still = false, size = false, threads = false, cpu = false, memory = false, look = false,
         up = false, key_frame = false, play = false;
};

// Fetches the value that follows option args[i]; false when it is missing.
bool take_value(std::span<const std::string> args, size_t& i, std::string& value,
                std::string& error) {
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool mark_once(bool& seen, const std::string& option, std::string& error) {
    if (seen) {
        error = option + " given more than once";
        return false;
    }
    seen = true;
    return true;
}

bool take_number(std::span<const std::string> args, size_t& i, int32_t& number,
                 std::string& error) {
    const std::string option = args[i];
    std::string value;
    if (!take_value(args, i, value, error)) return false;
    if (!parse_frame_number(value, number)) {
        error = option + " wants a whole number from 1 to " + std::to_string(kMaxFrames) +
                ", not " + quoted_text(value);
        return false;
    }
    return true;
}

bool take_thread_count(std::span<const std::string> args, size_t& i, int32_t& count,
                       std::string& error) {
    const std::string option = args[i];
    std::string value;
    if (!take_value(args, i, value, error)) return false;
    if (!parse_frame_number(value, count) || count > kMaxRenderThreads) {
        error = option + " wants a whole number from 1 to " + std::to_string(kMaxRenderThreads) +
                ", not " + quoted_text(value);
        return false;
    }
    return true;
}

bool take_path(std::span<const std::string> args, size_t& i, std::string& path,
               std::string& error) {
    const std::string option = args[i];
    if (!take_value(args, i, path, error)) return false;
    if (path.empty()) {
        error = option + " needs a non-empty path";
        return false;
    }
    return true;
}

bool take_view(std::span<const std::string> args, size_t& i, ViewChoice& view, std::string& error) {
    std::string value;
    if (!take_value(args, i, value, error)) return false;
    return parse_view_choice(value, view, error);
}

bool take_look(std::span<const std::string> args, size_t& i, ViewChoice& view, std::string& error) {
    std::string value;
    return take_value(args, i, value, error) && parse_look(value, view.look, error);
}

bool take_up(std::span<const std::string> args, size_t& i, ViewChoice& view, std::string& error) {
    std::string value;
    return take_value(args, i, value, error) && parse_up_axis(value, view.up, error);
}

bool take_size(std::span<const std::string> args, size_t& i, RenderOptions& options,
               std::string& error) {
    std::string value;
    if (!take_value(args, i, value, error)) return false;
    if (!parse_frame_size(value, options.width, options.height)) {
        error = "--size wants WIDTHxHEIGHT with each side from " + std::to_string(kMinFrameSide) +
                " to " + std::to_string(kMaxFrameSide) + " pixels, not '" + value + "'";
        return false;
    }
    return true;
}

bool take_scene(const std::string& arg, RenderOptions& options, std::string& error) {
    if (!options.scene.empty()) {
        error = "more than one scene file given (" + quoted_text(options.scene) + " and " +
                quoted_text(arg) + ")";
        return false;
    }
    options.scene = arg;
    return true;
}

bool take_key_frame(std::span<const std::string> args, size_t& i, RenderOptions& options,
                    std::string& error) {
    std::string value;
    if (!take_value(args, i, value, error)) return false;
    options.key_frame_set = true;
    options.view.still = true;
    if (!parse_key_frame(value, options.key_frame, options.key_frame_start)) {
        error = std::string(kKeyFrameWanted) + quoted_text(value);
        return false;
    }
    return true;
}

bool check_combination(const Seen& seen, RenderOptions& options, std::string& error) {
    if (seen.key_frame && seen.play) {
        error = "--key-frame and --play cannot be given together";
        return false;
    }
    options.frames_set = seen.frames;
    if (options.scene.empty()) {
        error = "no scene file given";
        return false;
    }
    if (seen.only && !seen.frames) options.frames = options.only;
    if (options.only > options.frames) {
        error = "--only " + std::to_string(options.only) + " lies beyond --frames " +
                std::to_string(options.frames);
        return false;
    }
    if (!seen.out && !seen.gif && !seen.png) options.out_dir = ".";
    return true;
}

} // namespace

bool parse_frame_number(std::string_view text, int32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    int32_t parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return false;
    if (parsed < 1 || parsed > kMaxFrames) return false;
    value = parsed;
    return true;
}

bool parse_frame_size(std::string_view text, int32_t& width, int32_t& height) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    int32_t w = 0, h = 0;
    for (auto [part, value] : {std::pair{text.substr(0, x), &w}, {text.substr(x + 1), &h}}) {
        if (part.empty() || part.size() > 4) return false;
        for (char c : part)
            if (c < '0' || c > '9') return false;
        std::from_chars(part.data(), part.data() + part.size(), *value);
        if (*value < kMinFrameSide || *value > kMaxFrameSide) return false;
    }
    width = w;
    height = h;
    return true;
}

RenderParse parse_render_options(std::span<const std::string> given, RenderOptions& options,
                                 std::string& error) {
    options = RenderOptions{};
    static constexpr std::array<std::string_view, 5> kFlags = {"--help", "--quiet", "--still",
                                                               "--fail-if-empty", "--play"};
    std::vector<std::string> args;
    if (!split_inline_values(given, kFlags, args, error)) return RenderParse::usage_error;
    Seen seen;
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool ok = true;
        if (!options_ended && arg == kEndOfOptions) {
            options_ended = true;
        } else if (options_ended || arg.size() <= 1 || arg[0] != '-') {
            ok = take_scene(arg, options, error);
        } else if (arg == "-h" || arg == "--help") {
            return RenderParse::help;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--fail-if-empty") {
            options.fail_if_empty = true;
        } else if (arg == "--max-cpu-seconds") {
            ok = mark_once(seen.cpu, arg, error) &&
                 take_number(args, i, options.max_cpu_seconds, error);
        } else if (arg == "--max-memory") {
            ok = mark_once(seen.memory, arg, error) &&
                 take_number(args, i, options.max_memory_mib, error);
        } else if (arg == "--frames") {
            ok = mark_once(seen.frames, arg, error) && take_number(args, i, options.frames, error);
        } else if (arg == "--only") {
            ok = mark_once(seen.only, arg, error) && take_number(args, i, options.only, error);
        } else if (arg == "--threads") {
            ok = mark_once(seen.threads, arg, error) &&
                 take_thread_count(args, i, options.threads, error);
        } else if (arg == "--out") {
            ok = mark_once(seen.out, arg, error) && take_path(args, i, options.out_dir, error);
        } else if (arg == "--gif") {
            ok = mark_once(seen.gif, arg, error) && take_path(args, i, options.gif_path, error);
        } else if (arg == "--png") {
            ok = mark_once(seen.png, arg, error) && take_path(args, i, options.png_path, error);
        } else if (arg == "--view") {
            ok = mark_once(seen.view, arg, error) && take_view(args, i, options.view, error);
        } else if (arg == "--still") {
            ok = mark_once(seen.still, arg, error);
            options.view.still = true;
        } else if (arg == "--look") {
            ok = mark_once(seen.look, arg, error) && take_look(args, i, options.view, error);
        } else if (arg == "--up") {
            ok = mark_once(seen.up, arg, error) && take_up(args, i, options.view, error);
        } else if (arg == "--key-frame") {
            ok = mark_once(seen.key_frame, arg, error) && take_key_frame(args, i, options, error);
        } else if (arg == "--play") {
            ok = mark_once(seen.play, arg, error);
            options.play = true;
        } else if (arg == "--size") {
            ok = mark_once(seen.size, arg, error) && take_size(args, i, options, error);
        } else {
            error = "unknown option " + quoted_text(arg);
            ok = false;
        }
        if (!ok) return RenderParse::usage_error;
    }
    return check_combination(seen, options, error) ? RenderParse::ok : RenderParse::usage_error;
}

std::string render_usage() {
    return "usage: kalvorant-render SCENE [--frames N] [--only K] [--out DIR] [--gif FILE] "
           "[--png FILE] [--view demo|fit|camera[:NAME]] [--still] [--size WxH] "
           "[--threads N] [--look demo|model] [--up z|y] [--quiet] [--max-cpu-seconds S] "
           "[--max-memory MIB] [--fail-if-empty] [--key-frame T | --play]\n";
}

std::string render_help() {
    return render_usage() +
           "Runs the demo headless on SCENE and saves its frames exactly as the demo shows them.\n"
           "  --frames N  render N frames, one per 20 ms timer tick (default 1, or K with --only,\n"
           "              or one pass of the animation with --play)\n"
           "  --only K    save only frame K, 1 <= K <= N (frame K is the picture after tick K)\n"
           "  --out DIR   write DIR/frame_0001.png, ... as 8-bit RGB PNG (DIR is created if\n"
           "              missing; default: the current directory when neither --gif nor --png\n"
           "              is given)\n"
           "  --gif FILE  write the frames as one lossless animated GIF, 20 ms a frame, looping\n"
           "  --png FILE  write frame K of --only (default frame 1) to exactly FILE\n"
           "  --view V    demo (default): the demo's own camera, pixel for pixel;\n"
           "              fit: the demo's direction, the whole scene centred and framed;\n"
           "              camera or camera:NAME: through the file's first camera or camera NAME\n"
           "  --still     the meshes stay as the view placed them instead of spinning\n"
           "  --look L    demo: one colour, flat, in file order, as the demo draws;\n"
           "              model: depth, material colours, two-sided faces, smooth shading\n"
           "              (default: demo in the demo view, model in the fit and camera views)\n"
           "  --up A      z (default) or y: the file axis that is up in the fit view\n"
           "  --size WxH  frame size in pixels, each side 16 to 4096 (default 512x384)\n"
           "  --key-frame T  pose the file's own animation at key frame T (a real number, or\n"
           "              'start' for the segment's first key frame); implies --still\n"
           "  --play      play the file's own animation, 30 key frames a second, looping over\n"
           "              its segment (--frames defaults to one pass); the fit view is fitted\n"
           "              to the whole animation, the camera view follows the camera's tracks,\n"
           "              the demo view keeps the demo's own motion\n"
           "  --threads N draw each frame on N threads (default: one per processor); the\n"
           "              pixels are the same for every N\n"
           "  --quiet     print neither progress nor the closing line naming what was written\n"
           "  --max-cpu-seconds S  end with status 1 and no file after S seconds of processor\n"
           "              time (the load included)\n"
           "  --max-memory MIB  end with status 1 and no file where the run would need more\n"
           "              than MIB mebibytes of address space\n"
           "  --fail-if-empty  a scene without faces, or a frame to be written that shows\n"
           "              none of them, ends with status 1 and no file instead of a blank picture\n"
           "  -h, --help  show this help\n"
           "Every option that takes a value may also be written --name=value; after --, every\n"
           "argument is the scene's file name, even one that starts with -.\n"
           "Files appear complete or not at all: each is written beside its name and renamed.\n"
           "Progress goes to standard error when it is a terminal. Exit status: 0 done, 1 the\n"
           "scene or an output failed (one line on standard error), 2 bad arguments or a\n"
           "camera the scene does not have.\n";
}
