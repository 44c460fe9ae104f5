// render_options.h - the command line of kalvorant-render, checked strictly.
//
//   kalvorant-render SCENE [--frames N] [--only K] [--out DIR] [--gif FILE] [--quiet]
//
// Any option that takes a value may also be written --name=value (command_line.h).
// Defaults: N is 1, or K when only --only K is given. PNG frames are written to DIR when --out is
// given, and to the current directory when neither --out nor --gif is given. With --only K just
// frame K is written (as one PNG, or as a one-frame GIF); K must lie in 1..N.
// Numbers are plain decimal digits (no sign, no spaces, no suffix) from 1 to kMaxFrames; anything
// else is refused rather than read as a partial or wrapped value.
//
// Failure: parse_render_options returns RenderParse::usage_error with a one-line reason; the
// caller prints it with the usage line and exits 2.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// An hour of frames at 50 a second, far more than anyone renders, small enough that frame
// numbers and file names never overflow.
constexpr int32_t kMaxFrames = 180000;

struct RenderOptions {
    std::string scene;
    int32_t frames = 1;
    int32_t only = 0;     // 0: every frame 1..frames
    std::string out_dir;  // empty: no PNGs
    std::string gif_path; // empty: no GIF
    bool quiet = false;   // no progress, no closing "wrote ..." line
};

enum class RenderParse { ok, help, usage_error };

// Reads a frame number: decimal digits only, value 1..kMaxFrames.
bool parse_frame_number(std::string_view text, int32_t& value);

// args are the arguments after the program name.
RenderParse parse_render_options(std::span<const std::string> args, RenderOptions& options,
                                 std::string& error);

// The one-line synopsis shown after a usage error, ending in a newline.
std::string render_usage();

// The synopsis followed by what each option does and its default, for --help.
std::string render_help();
