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
#include <string>
#include <vector>

// Looks for `name` in `folder`; `scene_file` is the scene's file name, for the problem text.
// `found` is the real file, a link in the folder followed, so that files reached by several
// names are one file and read_texture_file (which follows no link) can read it.
bool find_texture_file(const std::filesystem::path& folder, const std::string& name,
                       const std::string& scene_file, std::filesystem::path& found,
                       std::string& problem);

// Reads the whole file, refusing anything but a regular file of at most kMaxTextureFileBytes.
bool read_texture_file(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                       std::string& problem);
