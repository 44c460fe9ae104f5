// texture_name.h - which file the name a material gives its picture means: the rules shared by
// the lookup in the scene's folder (texture_file.h) and by a front end that is handed the files
// themselves (the web page, given the scene and its pictures together).
//
// A material names its picture with a bare file name, often an 8.3 name in capitals written by a
// DOS-era tool ("TEST.PNG") while the file is called "test.png". The exact name is taken first,
// then a name equal but for ASCII letter case, the first in byte order. A name that is not a plain
// file name (empty, ".", "..", or holding '/', '\\' or ':') is never looked for, so a hostile
// scene cannot point outside its folder.
//
// Failure: none; the functions only compare names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The largest picture file read (bytes): room for an uncompressed 64 MiB picture and its header.
constexpr uintmax_t kMaxTextureFileBytes = uintmax_t{72} << 20;

bool plain_texture_name(const std::string& name);

bool same_name_ignoring_case(const std::string& a, const std::string& b);
// The name with ASCII capitals made small: two names are the same ignoring case when these are.
std::string lower_ascii_name(std::string name);

// The index in files of the file name means (exact, else ignoring case, the first in byte order),
// or -1 when none matches or name is not a plain file name.
std::ptrdiff_t match_texture_name(std::span<const std::string> files, const std::string& name);
