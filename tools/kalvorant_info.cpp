// kalvorant-info: what a .3ds file holds, as the loader sees it; readable text or JSON.
// Exit status 0 done, 1 the scene could not be loaded or the output not written, 2 bad arguments.
#include "app/demo.h"
#include "app/demo_coverage.h"
#include "loader/chunk_reader.h"
#include "loader/quoted.h"
#include "tools/command_line.h"
#include "tools/scene_check.h"
#include "tools/scene_json.h"
#include "tools/scene_summary.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: kalvorant-info SCENE [--json] [--key-frame T]\n";

// The help goes to standard output, which may be a full disk or a closed pipe: a help that was
// not delivered is a failure like any other output.
bool print_help() {
    std::fputs(kUsage, stdout);
    std::fputs(
        "Loads SCENE (.3ds) like the demo does and describes it.\n"
        "  (default)  counts, names, bounding box, key-frame range, per-mesh counts,\n"
        "             cameras, lights, materials and their pictures (found or not, size)\n"
        "  --json     the whole loaded scene as JSON: reals round-trip to the same float,\n"
        "             non-finite reals are the strings \"nan\", \"inf\", \"-inf\", names are\n"
        "             the file's bytes read as Latin-1\n"
        "  --key-frame T  also where everything stands at key frame T (a real number, or\n"
        "             'start' for the segment's first key frame): each mesh's box and whether\n"
        "             it is hidden, each camera's position, target, roll and field of view,\n"
        "             in the file's own axes (Z up), angles in degrees; \"pose\" in the JSON\n"
        "  -h, --help show this help\n"
        "  --         ends the options: the next argument is SCENE even if it starts with -\n"
        "Exit status: 0 done, 1 the scene could not be loaded or the output not written (one\n"
        "line on standard error says why), 2 bad arguments.\n",
        stdout);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "kalvorant-info: %s\n", message.c_str());
    return 1;
}

int write_failure(int error_number) {
    return failure(std::string("cannot write to standard output: ") +
                   std::strerror(error_number != 0 ? error_number : EIO));
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "kalvorant-info: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// Everything after the arguments are read. The report is written as it is made, so its size
// does not count against memory; anything else that runs out of memory ends here as a failure.
int describe(const std::string& path, bool json, const double* key_frame, bool key_frame_start) {
    std::string error;
    std::unique_ptr<Scene> scene = load_scene(path, error);
    if (!scene) return failure(quoted_text(path) + ": " + error + not_3ds_hint(path));
    if (!scene_has_faces(*scene))
        std::fprintf(stderr, "kalvorant-info: %s\n", empty_scene_warning(path).c_str());
    // The pictures beside the file: whether each is found and its size are part of the report.
    const SceneTextures textures = load_scene_textures(*scene, path);
    const double start = scene->keyframe_start;
    if (key_frame_start) key_frame = &start;
    TextSink sink;
    sink.stream = stdout;
    if (json) {
        write_scene_json(sink, *scene, &textures.reports, key_frame);
    } else {
        sink.pending = "scene: " + quoted_text(path) + "\n";
        write_scene_summary(sink, *scene, &textures.reports, key_frame);
    }
    if (sink.failed) return write_failure(sink.error_number);
    // Described as the file gave it, the scene may now be drawn: a scene made at another scale
    // than the demo's is a speck in the demo's first frame, and the render tool's fit view
    // frames it. A frame that cannot be allocated just leaves the hint out.
    int64_t covered = 0;
    if (scene_has_faces(*scene) && first_demo_frame_coverage(*scene, covered) &&
        covers_too_little(covered, kWidth, kHeight))
        std::fprintf(stderr, "kalvorant-info: warning: %s\n", small_scene_hint(covered).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        static constexpr std::array<std::string_view, 2> kFlags = {"--help", "--json"};
        const std::vector<std::string> given(argv + (argc > 0 ? 1 : 0), argv + argc);
        std::vector<std::string> args;
        std::string error;
        if (!split_inline_values(given, kFlags, args, error)) return usage_error(error);
        std::string path;
        bool json = false, key_frame_given = false, key_frame_start = false;
        double key_frame = 0;
        bool options_ended = false;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            const bool option = !options_ended && arg.size() > 1 && arg[0] == '-';
            if (option && arg == kEndOfOptions) {
                options_ended = true;
            } else if (option && (arg == "-h" || arg == "--help")) {
                return print_help() ? 0 : write_failure(errno);
            } else if (option && arg == "--json") {
                json = true;
            } else if (option && arg == "--key-frame") {
                if (key_frame_given) return usage_error("--key-frame given more than once");
                if (i + 1 == args.size()) return usage_error("--key-frame needs a value");
                if (!parse_key_frame(args[++i], key_frame, key_frame_start))
                    return usage_error(std::string(kKeyFrameWanted) + quoted_text(args[i]));
                key_frame_given = true;
            } else if (option) {
                return usage_error("unknown option " + quoted_text(arg));
            } else if (!path.empty()) {
                return usage_error("more than one scene file given");
            } else {
                path = arg;
            }
        }
        if (path.empty()) return usage_error("no scene file given");
        return describe(path, json, key_frame_given ? &key_frame : nullptr, key_frame_start);
    } catch (const std::bad_alloc&) {
        std::fputs("kalvorant-info: out of memory\n", stderr);
        return 1;
    }
}
