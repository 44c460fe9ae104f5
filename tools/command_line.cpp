#include "tools/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>

bool parse_key_frame(std::string_view text, double& time, bool& start) {
    if (text == "start") {
        start = true;
        return true;
    }
    const char* first = text.data() + (text.size() > 1 && text[0] == '+' ? 1 : 0);
    double t = 0;
    const auto result =
        std::from_chars(first, text.data() + text.size(), t, std::chars_format::general);
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        !std::isfinite(t) || std::fabs(t) > 1e9) // as kKeyFrameWanted says
        return false;
    time = t;
    return true;
}

bool split_inline_values(std::span<const std::string> args, std::span<const std::string_view> flags,
                         std::vector<std::string>& out, std::string& error) {
    out.clear();
    bool options_ended = false;
    for (const std::string& arg : args) {
        const size_t equals = arg.find('=');
        if (options_ended || arg.rfind("--", 0) != 0 || equals == std::string::npos) {
            options_ended = options_ended || arg == kEndOfOptions;
            out.push_back(arg);
            continue;
        }
        std::string name = arg.substr(0, equals);
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            error = name + " takes no value (given '" + arg + "')";
            return false;
        }
        out.push_back(std::move(name));
        out.push_back(arg.substr(equals + 1));
    }
    return true;
}
