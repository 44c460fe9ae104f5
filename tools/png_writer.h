// png_writer.h - saving one frame buffer as an 8-bit RGB PNG file.
//
// Input: width * height pixels 0x00RRGGBB, rows top to bottom with no gap; the top byte is
// ignored (the frame buffer never sets it). Output: a truecolour PNG without alpha, 8 bits per
// channel, no interlacing, so any viewer shows exactly the frame's colours.
//
// Ownership: the caller keeps the pixels; nothing is retained after the call.
// Failure: returns false with a one-line reason (file cannot be created, disk full, libpng
// error); a partly written file is removed so that no truncated PNG is left behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

bool write_png(const std::string& path, std::span<const uint32_t> pixels, int32_t width,
               int32_t height, std::string& error);
