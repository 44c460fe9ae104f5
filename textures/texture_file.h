// texture_file.h - finding and reading the picture a material names, beside the scene file.
//
// A material names its picture with a bare file name, often an 8.3 name in capitals written by a
// DOS-era tool ("TEST.PNG") while the file on disk is "test.png". The picture is looked for in
// the scene's own folder only: the exact name first, then the folder's entries compared without
// regard to ASCII letter case (the first match in name order). A name that is not a plain file
// name (empty, ".", "..", or holding '/', '\\' or ':') is refused, so a hostile scene can never
// point outside its folder; a match that is not a regular file, or a link that leads out of the
// folder, is never read.
//
// Failure: each function returns false with `problem` set to the words that end the warning line
// ("not found beside scene.3ds", "refused: ..."); nothing is thrown but std::bad_alloc.
#pragma once

#include "textures/texture_name.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A scene's folder, read once for all the pictures its materials name: a hostile scene may name
// tens of thousands, and reading a large folder again for each would take minutes.
struct TextureFolder {
    std::filesystem::path real; // the folder, links followed; empty when it cannot be resolved
    // The names of its entries by their lower_ascii_name, each list in byte order.
    std::map<std::string, std::vector<std::string>> by_lower_name;
};

TextureFolder read_texture_folder(const std::filesystem::path& folder);

// Looks for `name` in a folder read by read_texture_folder; as find_texture_file below.
bool find_texture_file(const TextureFolder& folder, const std::string& name,
                       const std::string& scene_file, std::filesystem::path& found,
                       std::string& problem);

// Looks for `name` in `folder`; `scene_file` is the scene's file name, for the problem text.
// `found` is the real file, a link in the folder followed, so that files reached by several
// names are one file and read_texture_file (which follows no link) can read it.
bool find_texture_file(const std::filesystem::path& folder, const std::string& name,
                       const std::string& scene_file, std::filesystem::path& found,
                       std::string& problem);

// Reads the whole file, refusing anything but a regular file of at most kMaxTextureFileBytes.
bool read_texture_file(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                       std::string& problem);
