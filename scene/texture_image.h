// texture_image.h - a decoded picture that a material names, as the model look samples it.
//
// Texels are 32-bit 0x00RRGGBB like the frame's pixels, row 0 at the top of the picture (as it is
// stored in the file); mapping coordinates have v growing upwards, so v = 0 is the bottom row.
// textures/ fills these from the files beside a scene; the renderer only reads them.
//
// Ownership: plain data; the record owns its texels. Invariant: texels.size() == width * height,
// and a picture is either empty (0 x 0) or at least 1 x 1.
#pragma once

#include <cstdint>
#include <vector>

struct TextureImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> texels;
};
