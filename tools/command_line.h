// command_line.h - the "--name=value" spelling, shared by the command-line tools.
//
// Every option that takes a value may be written either as two arguments ("--frames 5") or as
// one ("--frames=5"). split_inline_values rewrites the one-argument spelling into the two-argument
// one, so a tool's parser only ever sees the latter. An option that takes no value (a flag) must
// not be given one: "--json=1" is refused rather than quietly read as "--json" and a stray "1".
//
// Only arguments that start with "--" are split, at their first "="; anything else passes through
// unchanged, so a scene file may still contain "=" in its name. "--" alone ends the options, as
// POSIX tools agree: it and everything after it pass through unchanged, and the tool's parser
// reads each later argument as a file name, so a file called "-x" or "--json=1" can be given.
//
// Ownership: the result is a new vector of copies. Failure: returns false with a one-line reason.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kEndOfOptions = "--";

// A key-frame time as the tools take it (--key-frame): a real number in plain decimal or exponent
// notation, at most a billion key frames from 0 (over a year of playback; hexadecimal, infinity and
// NaN are refused), or "start", the first key frame of the file's segment, which sets start. False
// when the text is neither; time and start are then unchanged.
bool parse_key_frame(std::string_view text, double& time, bool& start);
// The start of the line refusing a text parse_key_frame refused; the quoted text follows it.
inline constexpr std::string_view kKeyFrameWanted =
    "--key-frame wants a real number of key frames from -1e9 to 1e9, or 'start', not ";

bool split_inline_values(std::span<const std::string> args, std::span<const std::string_view> flags,
                         std::vector<std::string>& out, std::string& error);
