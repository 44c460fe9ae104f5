// texture_loop.h - the walk over a scene's materials that both ways of finding pictures share
// (in the scene's folder, or among files handed over with the scene): private to textures/.
#pragma once

#include "textures/scene_textures.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

// The picture of every material: find(name, key, problem) says which file a material's name
// means (key names it, so that a file two materials name is decoded once) or why none;
// decode(key, image, problem, room) reads and decodes that file, refusing a picture of more than
// room texel bytes: what max_total_bytes leaves after the pictures kept so far.
template <class Find, class Decode>
SceneTextures load_textures(const Scene& scene, Find find, Decode decode,
                            uint64_t max_total_bytes) {
    SceneTextures textures;
    uint64_t total_bytes = 0; // never more than max_total_bytes
    textures.by_material.resize(scene.materials.size());
    // Files already tried, with their picture or the reason there is none.
    std::map<std::string, std::pair<std::shared_ptr<const TextureImage>, std::string>> tried;
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        const Material& material = scene.materials[i];
        if (material.texture.empty()) continue;
        TextureReport report;
        report.material = static_cast<int32_t>(i);
        report.name = material.texture;
        std::string key;
        std::shared_ptr<const TextureImage> picture;
        if (find(material.texture, key, report.problem)) {
            auto known = tried.find(key);
            if (known == tried.end()) {
                auto image = std::make_shared<TextureImage>();
                std::string problem;
                const bool ok = decode(key, *image, problem, max_total_bytes - total_bytes);
                if (ok) total_bytes += uint64_t{image->texels.size()} * sizeof(uint32_t);
                known = tried.emplace(key, std::make_pair(ok ? image : nullptr, problem)).first;
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
