#include "textures/scene_textures.h"

#include "loader/quoted.h"
#include "textures/picture_decode.h"
#include "textures/texture_loop.h"
#include "textures/texture_name.h"

std::string scene_file_label(const std::string& name) {
    const std::string quoted = quoted_text(name);
    return quoted == "\"" + name + "\"" ? name : quoted;
}

SceneTextures load_scene_textures_given(const Scene& scene, const std::string& scene_name,
                                        std::span<const GivenPicture> files,
                                        uint64_t max_total_bytes) {
    std::vector<std::string> names;
    for (const GivenPicture& file : files)
        names.push_back(file.name);
    const std::string scene_file = scene_file_label(scene_name);
    const auto find = [&](const std::string& name, std::string& key, std::string& problem) {
        const std::ptrdiff_t at = match_texture_name(names, name);
        if (at < 0) {
            problem = plain_texture_name(name)
                          ? "not found beside " + scene_file
                          : "refused: not a plain file name in the scene's folder";
            return false;
        }
        key = names[size_t(at)];
        return true;
    };
    const auto decode = [&](const std::string& key, TextureImage& image, std::string& problem,
                            uint64_t room) {
        const GivenPicture& file = files[size_t(match_texture_name(names, key))];
        if (file.bytes.size() > kMaxTextureFileBytes) {
            problem = "refused: the file is larger than " +
                      std::to_string(kMaxTextureFileBytes >> 20) + " MiB";
            return false;
        }
        return decode_picture(file.bytes, image, problem, room);
    };
    return load_textures(scene, find, decode, max_total_bytes);
}

std::string texture_warning(const Scene& scene, const TextureReport& report) {
    const std::string material =
        report.material >= 0 && size_t(report.material) < scene.materials.size()
            ? scene.materials[size_t(report.material)].name
            : std::string();
    return "texture " + quoted_text(report.name) + " of material " + quoted_text(material) + ": " +
           report.problem;
}
