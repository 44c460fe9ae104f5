#include "textures/texture_name.h"

#include <algorithm>

namespace {

char lower_ascii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool plain_texture_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos;
}

bool same_name_ignoring_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower_ascii(x) == lower_ascii(y);
           });
}

std::string lower_ascii_name(std::string name) {
    for (char& c : name)
        c = lower_ascii(c);
    return name;
}

std::ptrdiff_t match_texture_name(std::span<const std::string> files, const std::string& name) {
    if (!plain_texture_name(name)) return -1;
    const auto exact = std::find(files.begin(), files.end(), name);
    if (exact != files.end()) return exact - files.begin();
    std::ptrdiff_t best = -1;
    for (size_t i = 0; i < files.size(); ++i)
        if (same_name_ignoring_case(files[i], name) && (best < 0 || files[i] < files[size_t(best)]))
            best = std::ptrdiff_t(i);
    return best;
}
