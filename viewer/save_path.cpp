#include "viewer/save_path.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

std::string choose_save_path(const std::string& scene_path,
                             const std::function<bool(const std::string&)>& writable,
                             const std::function<bool(const std::string&)>& exists) {
    const fs::path scene(scene_path);
    const std::string stem = scene_path.empty() ? "kalvorant-view" : scene.stem().string();
    std::string folder = scene.parent_path().string();
    if (scene_path.empty() || !writable(folder)) folder.clear();
    for (int number = 1; number <= 999; ++number) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-%03d.png", number);
        const std::string name = stem + suffix;
        const std::string path = folder.empty() ? name : (fs::path(folder) / name).string();
        if (!exists(path)) return path;
    }
    return "";
}

std::string choose_save_path(const std::string& scene_path) {
    return choose_save_path(
        scene_path,
        [](const std::string& folder) {
            return access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
        },
        [](const std::string& path) {
            std::error_code error;
            return fs::exists(fs::symlink_status(path, error));
        });
}
