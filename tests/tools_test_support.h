// Helpers for the tool tests: decoding PNG and GIF files with the real libraries (so the tests
// check what any viewer would show), running a tool as a separate process, and scratch paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools_test {

struct DecodedImage {
    int32_t width = 0, height = 0;
    int bit_depth = 0, colour_type = -1; // PNG only
    std::vector<uint32_t> pixels;        // 0x00RRGGBB
};

// False with a reason when libpng cannot read the file.
bool decode_png(const std::string& path, DecodedImage& image, std::string& error);

struct DecodedGif {
    int32_t width = 0, height = 0;
    int global_colours = 0;                    // size of the global colour table, 0 if none
    bool loops_forever = false;                // NETSCAPE2.0 extension with loop count 0
    std::vector<int> delays_cs;                // per frame
    std::vector<std::vector<uint32_t>> frames; // each frame composited as a viewer shows it
};

// False with a reason when giflib cannot read the file or a frame lies outside the screen.
bool decode_gif(const std::string& path, DecodedGif& gif, std::string& error);

struct RunResult {
    int exit_code = -1;
    std::string out, err;
};

// What the child process runs under; zero and empty mean no limit and a captured stream.
struct RunLimits {
    uint64_t address_space_bytes = 0; // RLIMIT_AS
    uint64_t cpu_seconds = 0;         // RLIMIT_CPU: the child dies of SIGXCPU past it
    uint64_t file_size_bytes = 0;     // RLIMIT_FSIZE, with SIGXFSZ ignored: writes past it fail
    std::string stdout_path;          // standard output goes here instead of being captured
};

// Runs argv (argv[0] is the program path) with no shell, capturing both streams. exit_code is
// 128 + the signal number when the child was killed.
RunResult run_program(const std::vector<std::string>& argv, const RunLimits& limits = {});

// A fresh, empty directory under the system's temporary directory.
std::string scratch_dir(const std::string& label);

} // namespace tools_test
