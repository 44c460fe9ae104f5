#include "textures/scene_textures.h"

#include "textures/picture_decode.h"
#include "textures/texture_file.h"
#include "textures/texture_loop.h"

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

SceneTextures load_scene_textures(const Scene& scene, const std::string& scene_path,
                                  uint64_t max_total_bytes) {
    const fs::path path(scene_path);
    const fs::path folder = path.parent_path();
    const std::string scene_file = scene_file_label(path.filename().string());
    std::optional<TextureFolder> listed; // read at the first picture a material names
    const auto find = [&](const std::string& name, std::string& key, std::string& problem) {
        if (!listed) listed = read_texture_folder(folder);
        fs::path file;
        if (!find_texture_file(*listed, name, scene_file, file, problem)) return false;
        key = file.string();
        return true;
    };
    const auto decode = [](const std::string& key, TextureImage& image, std::string& problem,
                           uint64_t room) {
        std::vector<uint8_t> bytes;
        return read_texture_file(key, bytes, problem) &&
               decode_picture(bytes, image, problem, room);
    };
    return load_textures(scene, find, decode, max_total_bytes);
}
