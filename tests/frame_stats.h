// frame_stats.h - what a test can say about a finished frame without knowing its exact pixels:
// how much of it is lit (not black), where the lit pixels lie, and a hash of the whole picture.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

namespace frame_stats {

struct LitArea {
    int64_t count = 0;
    int32_t left = 0, top = 0, right = -1, bottom = -1; // inclusive box of lit pixels
};

inline LitArea lit_area(std::span<const uint32_t> frame, int32_t width, int32_t height) {
    LitArea a;
    a.left = width;
    a.top = height;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            if (frame[size_t(y) * size_t(width) + size_t(x)] == 0) continue;
            ++a.count;
            a.left = std::min(a.left, x);
            a.right = std::max(a.right, x);
            a.top = std::min(a.top, y);
            a.bottom = std::max(a.bottom, y);
        }
    }
    return a;
}

// Smallest distance in pixels between a lit pixel and the frame's border.
inline int32_t border_gap(const LitArea& a, int32_t width, int32_t height) {
    return std::min({a.left, a.top, width - 1 - a.right, height - 1 - a.bottom});
}

// FNV-1a over the pixels' bytes, low byte first.
inline uint64_t frame_hash(std::span<const uint32_t> frame) {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t p : frame) {
        for (int b = 0; b < 4; ++b) {
            h ^= (p >> (8 * b)) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

} // namespace frame_stats
