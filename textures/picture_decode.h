// picture_decode.h - a picture file's bytes decoded into texels, through stb_image (Debian's
// libstb): PNG, JPEG, BMP, TGA and GIF (its first frame). No decoder of our own.
//
// The size is checked from the file's header before anything is decoded: at most
// kMaxTextureSide texels a side and kMaxTextureBytes of texels, so a hostile file cannot make the
// decoder allocate without bound. Alpha is dropped: the texel replaces a colour, not a coverage.
//
// Failure: false with `problem` set ("cannot be decoded: <the library's reason>", "refused: ...");
// `out` is then left empty.
#pragma once

#include "scene/texture_image.h"

#include <cstdint>
#include <span>
#include <string>

constexpr int32_t kMaxTextureSide = 8192;
constexpr uint64_t kMaxTextureBytes = uint64_t{64} << 20; // of decoded 32-bit texels

// room: the texel bytes the caller has left for this picture, when it bounds several pictures
// together; a picture that needs more is refused before it is decoded.
bool decode_picture(std::span<const uint8_t> bytes, TextureImage& out, std::string& problem,
                    uint64_t room = kMaxTextureBytes);
