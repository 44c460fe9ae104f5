// scene_textures.h - the pictures of a scene's materials, found beside the scene file (or among
// the files handed over with it, where there is no folder to look in: the web page) and decoded
// once when the scene is opened, never per frame. Both ways follow the same naming rules
// (texture_name.h) and give the same reports.
//
// Each material that names a texture gets a report: found (with the picture's size) or the reason
// it is not used. A picture two materials name is read once and shared. The pictures of one scene
// together hold at most max_total_bytes of texels (kMaxSceneTextureBytes unless told): each
// picture is bounded on its own, but a hostile folder of many small files that decode large could
// otherwise ask for any amount of memory. The pictures past the bound are refused, in material
// order. A texture that cannot be used leaves its material's faces in the material's colour; it
// never fails the scene.
//
// Ownership: SceneTextures owns its pictures; the renderer borrows them for a frame.
// Failure: none of its own; std::bad_alloc is left to the caller, like the loader's callers.
#pragma once

#include "scene/scene.h"
#include "scene/texture_image.h"

#include <cstdint>
#include <memory>
#include <span>
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

// Eight pictures of the largest size a single picture may have.
constexpr uint64_t kMaxSceneTextureBytes = uint64_t{512} << 20;

// Finds and decodes the picture of every material of `scene`, loaded from `scene_path`.
SceneTextures load_scene_textures(const Scene& scene, const std::string& scene_path,
                                  uint64_t max_total_bytes = kMaxSceneTextureBytes);

// A picture file handed over with a scene: its file name and its bytes (borrowed for the call).
struct GivenPicture {
    std::string name;
    std::span<const uint8_t> bytes;
};

// The same for a scene whose folder holds exactly `files`; `scene_name` is the scene's file name.
SceneTextures load_scene_textures_given(const Scene& scene, const std::string& scene_name,
                                        std::span<const GivenPicture> files,
                                        uint64_t max_total_bytes = kMaxSceneTextureBytes);

// The scene's file name as the warnings give it: plain when it is safe on one line, else quoted.
std::string scene_file_label(const std::string& name);

// The warning line for a report that was not found, without a line end:
// texture "NOSUCH.PNG" of material "Crate": not found beside scene.3ds
std::string texture_warning(const Scene& scene, const TextureReport& report);
