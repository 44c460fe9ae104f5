// frame.h - the picture the renderer draws into: pixels with their size and row stride.
//
// Pixels are 32-bit 0x00RRGGBB, row 0 at the top. Row y starts at pixels + y * stride; columns
// 0..width-1 of rows 0..height-1 belong to the frame, and nothing else is ever written (the
// pixels between width and stride are left alone, so a frame may be a window into a larger
// picture or a locked surface).
//
// Ownership: the record only points at the pixels; whoever made it keeps them alive while it is
// drawn into.
// Failure: a frame with no pixels, a size below 1, or a stride below its width is not drawable;
// drawing into it writes nothing. make_frame gives such a frame when the buffer is too small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct Frame {
    uint32_t* pixels = nullptr;
    int32_t width = 0;  // columns
    int32_t height = 0; // rows
    int32_t stride = 0; // pixels from the start of one row to the start of the next
};

// True when the frame may be drawn into (see Failure above).
inline bool frame_is_drawable(const Frame& frame) {
    return frame.pixels != nullptr && frame.width > 0 && frame.height > 0 &&
           frame.stride >= frame.width;
}

// A frame over a whole buffer of tightly packed rows (stride = width); not drawable when the
// buffer holds fewer than width * height pixels.
inline Frame make_frame(std::span<uint32_t> pixels, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || pixels.size() / size_t(width) < size_t(height)) return {};
    return Frame{pixels.data(), width, height, width};
}
