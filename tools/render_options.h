// render_options.h - the command line of kalvorant-render, checked strictly.
//
//   kalvorant-render SCENE [--frames N] [--only K] [--out DIR] [--gif FILE] [--png FILE]
//                          [--view demo|fit|camera[:NAME]] [--still] [--size WxH]
//                          [--threads N] [--look demo|model] [--up z|y] [--quiet]
//                          [--max-cpu-seconds S] [--max-memory MIB]
//                          [--fail-if-empty] [--key-frame T | --play]
//
// Any option that takes a value may also be written --name=value (command_line.h).
// Defaults: N is 1, or K when only --only K is given. PNG frames are written to DIR when --out is
// given, and to the current directory when none of --out, --gif and --png is given. With --only K
// just frame K is written (as one PNG, or as a one-frame GIF); K must lie in 1..N. --png FILE
// writes the one frame --only selects (frame 1 without --only) to exactly that path. The view is
// the demo's, spinning, at 512x384 unless --view, --still or --size say otherwise; a size is
// WIDTHxHEIGHT in pixels, each side from kMinFrameSide to kMaxFrameSide.
// --key-frame T poses the file's own animation at key frame T (a real number, or "start" for the
// segment's first key frame) and implies --still; --play plays it, frame K showing key frame
// start + (K - 1) x 0.6 (30 key frames a second), looping over the segment, with N one pass of the
// segment unless --frames gives it (or 1 for a file that does not move). Both pose the fit and
// camera views; the demo view keeps the demo's own motion.
// --threads N draws each frame on N threads (1..kMaxRenderThreads; default: one per processor);
// every count gives the same pixels. --look and --up are the view's (view_choice.h): the look
// defaults to the demo's in the demo view and to the model look in the others.
// --max-cpu-seconds S and --max-memory MIB cap the run's processor time and memory (beyond
// either, the run ends with status 1, one line and no file); --fail-if-empty makes a scene
// without faces, or a frame to be written that shows none, a failure with no file.
// Numbers are plain decimal digits (no sign, no spaces, no suffix) from 1 to kMaxFrames; anything
// else is refused rather than read as a partial or wrapped value.
//
// Failure: parse_render_options returns RenderParse::usage_error with a one-line reason; the
// caller prints it with the usage line and exits 2.
#pragma once

#include "app/view_choice.h"

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
    std::string png_path; // empty: no single PNG
    ViewChoice view;      // the demo's own view unless --view / --still
    int32_t width = kWidth, height = kHeight;
    int32_t threads = 0; // 0: one per processor
    bool quiet = false;  // no progress, no closing "wrote ..." line
    // Caps for callers that run the tool on files nobody has looked at (a thumbnailer): 0 is none.
    int32_t max_cpu_seconds = 0;  // processor time of the whole run, load included
    int32_t max_memory_mib = 0;   // address space of the process
    bool fail_if_empty = false;   // no faces, or a written frame with none drawn, is a failure
    bool frames_set = false;      // --frames was given
    bool key_frame_set = false;   // --key-frame: pose the file's animation at key_frame
    bool key_frame_start = false; // --key-frame start: at the segment's first key frame
    double key_frame = 0;
    bool play = false; // --play: frame K shows key frame start + (K - 1) x 0.6
};

enum class RenderParse { ok, help, usage_error };

// Reads a frame number: decimal digits only, value 1..kMaxFrames.
bool parse_frame_number(std::string_view text, int32_t& value);

// Reads WIDTHxHEIGHT: two plain decimal numbers joined by a lower-case x, each side
// kMinFrameSide..kMaxFrameSide. width and height are unchanged on failure.
bool parse_frame_size(std::string_view text, int32_t& width, int32_t& height);

// args are the arguments after the program name.
RenderParse parse_render_options(std::span<const std::string> args, RenderOptions& options,
                                 std::string& error);

// The one-line synopsis shown after a usage error, ending in a newline.
std::string render_usage();

// The synopsis followed by what each option does and its default, for --help.
std::string render_help();
