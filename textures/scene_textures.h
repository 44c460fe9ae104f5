// scene_textures.h - the pictures of a scene's materials, found beside the scene file and decoded
// once when the scene is opened, never per frame.
//
// Each material that names a texture gets a report: found (with the picture's size) or the reason
// it is not used. A picture two materials name is read once and shared. A texture that cannot be
// used leaves its material's faces in the material's colour; it never fails the scene.
//
// Ownership: SceneTextures owns its pictures; the renderer borrows them for a frame.
// Failure: none of its own; std::bad_alloc is left to the caller, like the loader's callers.
#pragma once

#include "scene/scene.h"
#include "scene/texture_image.h"

#include <memory>
#include <string>
#include <vector>

struct TextureReport {
    int32_t material = -1; // index into Scene::materials
    std::string name;      // as the material gives it
    bool found = false;    // decoded and in use
    int32_t width = 0;     // of the picture, when found
    int32_t height = 0;
    std::string problem; // why not, when not found: "not found beside scene.3ds"
};

struct SceneTextures {
    // One entry per material of the scene; null when it names no picture or its picture is not
    // used.
    std::vector<std::shared_ptr<const TextureImage>> by_material;
    std::vector<TextureReport> reports; // materials that name a picture, in material order
};

// Finds and decodes the picture of every material of `scene`, loaded from `scene_path`.
SceneTextures load_scene_textures(const Scene& scene, const std::string& scene_path);

// The warning line for a report that was not found, without a line end:
// texture "NOSUCH.PNG" of material "Crate": not found beside scene.3ds
std::string texture_warning(const Scene& scene, const TextureReport& report);
