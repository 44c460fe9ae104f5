#include "textures/scene_textures.h"

#include "loader/quoted.h"
#include "textures/picture_decode.h"
#include "textures/texture_file.h"

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// The scene's file name as the warning shows it: plain when it is safe on one line.
std::string scene_file_label(const fs::path& scene_path) {
    const std::string name = scene_path.filename().string();
    const std::string quoted = quoted_text(name);
    return quoted == "\"" + name + "\"" ? name : quoted;
}

} // namespace

SceneTextures load_scene_textures(const Scene& scene, const std::string& scene_path) {
    SceneTextures textures;
    textures.by_material.resize(scene.materials.size());
    const fs::path path(scene_path);
    const fs::path folder = path.parent_path();
    const std::string scene_file = scene_file_label(path);
    // Files already tried, with their picture or the reason there is none: each is read once.
    std::map<fs::path, std::pair<std::shared_ptr<const TextureImage>, std::string>> tried;
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        const Material& material = scene.materials[i];
        if (material.texture.empty()) continue;
        TextureReport report;
        report.material = static_cast<int32_t>(i);
        report.name = material.texture;
        fs::path file;
        std::shared_ptr<const TextureImage> picture;
        if (find_texture_file(folder, material.texture, scene_file, file, report.problem)) {
            auto known = tried.find(file);
            if (known == tried.end()) {
                std::vector<uint8_t> bytes;
                auto image = std::make_shared<TextureImage>();
                std::string problem;
                const bool ok = read_texture_file(file, bytes, problem) &&
                                decode_picture(bytes, *image, problem);
                known = tried.emplace(file, std::make_pair(ok ? image : nullptr, problem)).first;
            }
            picture = known->second.first;
            report.problem = known->second.second;
        }
        if (picture) {
            report.found = true;
            report.width = picture->width;
            report.height = picture->height;
            report.problem.clear();
        }
        textures.by_material[i] = picture;
        textures.reports.push_back(std::move(report));
    }
    return textures;
}

std::string texture_warning(const Scene& scene, const TextureReport& report) {
    const std::string material =
        report.material >= 0 && size_t(report.material) < scene.materials.size()
            ? scene.materials[size_t(report.material)].name
            : std::string();
    return "texture " + quoted_text(report.name) + " of material " + quoted_text(material) + ": " +
           report.problem;
}
