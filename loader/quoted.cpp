#include "loader/quoted.h"

#include <cstdio>

std::string quoted_text(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte >= 0x7F || ch == '"' || ch == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}
