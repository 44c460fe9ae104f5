// texture_sampler.h - the colour a material's picture gives a point of a face, laid on as 3D
// Studio lays it: the mapping coordinates scaled and offset by the material (u' = u * u_scale +
// u_offset, the same for v), repeated outside 0..1, v growing upwards (v = 0 is the picture's
// bottom edge), and the texel mixed into the material's diffuse colour by the map's strength
// (100 % shows the picture alone). The result stands in for the diffuse colour and is lit like it.
//
// Two filters. Bilinear mixes the four nearest texel centres, wrapping at the picture's edges: the
// model views bring faces close enough that one texel covers many pixels, where the nearest texel
// alone shows blocks and crawling stair-steps. Where a pixel covers a texel or more (small or far
// faces, a dense mesh), bilinear buys nothing without smaller copies of the picture and costs four
// reads and three mixes instead of one read, so the drawing code chooses per face.
//
// Along a span the mapping coordinates are perspective-correct: u/z, v/z and 1/z change linearly
// across the screen, and every pixel divides them again.
//
// Units: colours are 0x00RRGGBB. Ownership: a mapping borrows its picture; the picture must
// outlive the frame. Failure: none; any coordinate (NaN and infinities included) gives a texel.
#pragma once

#include "scene/scene.h"
#include "scene/texture_image.h"

#include <cstdint>

enum class TextureFilter { nearest, bilinear };

struct TextureMapping {
    const TextureImage* image = nullptr; // at least 1 x 1
    float u_scale = 1, v_scale = 1, u_offset = 0, v_offset = 0;
    uint32_t strength = 256; // of the texel, in 1/256 (0..256)
    uint32_t diffuse = 0;    // the material's colour the rest of the strength keeps
};

// The mapping of a material whose picture is `image`; false (and nothing to map) when the picture
// is null or empty.
bool texture_mapping(const Material& material, const TextureImage* image, TextureMapping& out);

// The colour at mapping coordinates (u, v) as the file gives them.
uint32_t sample_texture(const TextureMapping& mapping, float u, float v,
                        TextureFilter filter = TextureFilter::bilinear);

// The colours of `count` pixels of a span: the pixel i has u/z = uz + i * duz, v/z = vz + i * dvz
// and 1/z = wz + i * dwz. Writes out[0..count).
void sample_texture_span(const TextureMapping& mapping, float uz, float vz, float wz, float duz,
                         float dvz, float dwz, int32_t count, uint32_t* out,
                         TextureFilter filter = TextureFilter::bilinear);
