#include "tools/command_line.h"

#include <algorithm>

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
