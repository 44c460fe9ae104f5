// kalvorant-info: what a .3ds file holds, as the loader sees it; readable text or JSON.
// Exit status 0 done, 1 the scene could not be loaded or the output not written, 2 bad arguments.
#include "loader/chunk_reader.h"
#include "tools/command_line.h"
#include "tools/scene_check.h"
#include "tools/scene_json.h"
#include "tools/scene_summary.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: kalvorant-info SCENE [--json]\n";

void print_help() {
    std::fputs(kUsage, stdout);
    std::fputs(
        "Loads SCENE (.3ds) like the demo does and describes it.\n"
        "  (default)  counts, names, bounding box, key-frame range, per-mesh counts,\n"
        "             cameras, lights and materials\n"
        "  --json     the whole loaded scene as JSON: reals round-trip to the same float,\n"
        "             non-finite reals are the strings \"nan\", \"inf\", \"-inf\", names are\n"
        "             the file's bytes read as Latin-1\n"
        "  -h, --help show this help\n"
        "Exit status: 0 done, 1 the scene could not be loaded (one line on standard\n"
        "error says why), 2 bad arguments.\n",
        stdout);
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "kalvorant-info: %s\n%s", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    static constexpr std::array<std::string_view, 2> kFlags = {"--help", "--json"};
    const std::vector<std::string> given(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    std::string error;
    if (!split_inline_values(given, kFlags, args, error)) return usage_error(error);
    std::string path;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            print_help();
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option " + arg);
        } else if (!path.empty()) {
            return usage_error("more than one scene file given");
        } else {
            path = arg;
        }
    }
    if (path.empty()) return usage_error("no scene file given");

    std::unique_ptr<Scene> scene = load_scene(path, error);
    if (!scene) {
        std::fprintf(stderr, "kalvorant-info: %s: %s%s\n", path.c_str(), error.c_str(),
                     not_3ds_hint(path).c_str());
        return 1;
    }
    if (!scene_has_faces(*scene))
        std::fprintf(stderr, "kalvorant-info: %s\n", empty_scene_warning(path).c_str());
    const std::string text =
        json ? scene_to_json(*scene) : "scene: " + path + "\n" + scene_summary(*scene);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kalvorant-info: cannot write to standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
