#include "textures/picture_decode.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

namespace {

struct StbFree {
    void operator()(unsigned char* p) const { stbi_image_free(p); }
};

bool fail(TextureImage& out, std::string& problem, std::string why) {
    out = TextureImage{};
    problem = std::move(why);
    return false;
}

std::string library_reason() {
    const char* reason = stbi_failure_reason();
    return reason ? reason : "unknown reason";
}

std::string larger_than_allowed(uint64_t width, uint64_t height) {
    return "refused: " + std::to_string(width) + " x " + std::to_string(height) +
           " is larger than " + std::to_string(kMaxTextureSide) + " x " +
           std::to_string(kMaxTextureSide) + " or " + std::to_string(kMaxTextureBytes >> 20) +
           " MiB decoded";
}

// The library turns down a PNG whose header promises more than it will decode, then tries the
// other formats and reports only that none knew the file. The size in its header (big-endian
// after the signature and the IHDR chunk's length and type) says what was wrong.
bool png_header_size(std::span<const uint8_t> bytes, uint64_t& width, uint64_t& height) {
    static const uint8_t kStart[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                       0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    if (bytes.size() < 24 || !std::equal(kStart, kStart + 16, bytes.begin())) return false;
    const auto word = [&](size_t at) {
        return uint64_t(bytes[at]) << 24 | uint64_t(bytes[at + 1]) << 16 |
               uint64_t(bytes[at + 2]) << 8 | uint64_t(bytes[at + 3]);
    };
    width = word(16);
    height = word(20);
    return true;
}

} // namespace

bool decode_picture(std::span<const uint8_t> bytes, TextureImage& out, std::string& problem,
                    uint64_t room) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX))
        return fail(out, problem, "cannot be decoded: the file is empty or too large");
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels)) {
        uint64_t header_width = 0, header_height = 0;
        if (png_header_size(bytes, header_width, header_height) &&
            (header_width > uint64_t(kMaxTextureSide) || header_height > uint64_t(kMaxTextureSide)))
            return fail(out, problem, larger_than_allowed(header_width, header_height));
        return fail(out, problem, "cannot be decoded: " + library_reason());
    }
    const uint64_t texel_bytes = uint64_t(width) * uint64_t(height) * 4;
    if (width < 1 || height < 1 || width > kMaxTextureSide || height > kMaxTextureSide ||
        texel_bytes > kMaxTextureBytes)
        return fail(out, problem, larger_than_allowed(uint64_t(width), uint64_t(height)));
    if (texel_bytes > room)
        return fail(out, problem,
                    "refused: " + std::to_string(width) + " x " + std::to_string(height) +
                        " is more than the memory left for the scene's pictures together");
    int got_width = 0, got_height = 0;
    std::unique_ptr<unsigned char, StbFree> rgb(
        stbi_load_from_memory(bytes.data(), length, &got_width, &got_height, &channels, 3));
    if (!rgb) return fail(out, problem, "cannot be decoded: " + library_reason());
    // The header promised the size that was checked; a decoder that disagrees is not trusted.
    if (got_width != width || got_height != height)
        return fail(out, problem, "cannot be decoded: its size changed while decoding");
    out.width = width;
    out.height = height;
    out.texels.resize(size_t(width) * size_t(height));
    const unsigned char* p = rgb.get();
    for (uint32_t& texel : out.texels) {
        texel = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
        p += 3;
    }
    return true;
}
