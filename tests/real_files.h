// real_files.h - the real .3ds files of the Debian packages glmark2-data and assimp-testmodels,
// written by other programs, for the tests that check the loader and the views against them.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace real_files {

// Every .3ds file (any letter case) under the packages' model folders, sorted; empty when
// neither package is installed.
inline std::vector<std::filesystem::path> all_3ds_files() {
    std::vector<std::filesystem::path> files;
    for (const char* dir : {"/usr/share/glmark2/models", "/usr/share/assimp/models"}) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::string ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            if (ext == ".3ds") files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline constexpr const char* kMissing = "no .3ds files: install the Debian packages glmark2-data "
                                        "and assimp-testmodels to run this test";

} // namespace real_files
