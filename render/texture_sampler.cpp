#include "render/texture_sampler.h"

#include "render/numeric.h"

#include <algorithm>
#include <cmath>

namespace {

// The fraction of t in [0, 1); 0 for NaN, infinities and values too large to have a fraction.
float wrap_unit(float t) {
    const float f = t - std::floor(t);
    return f >= 0.0f && f < 1.0f ? f : 0.0f;
}

uint32_t to_channel_weight(float fraction) {
    return static_cast<uint32_t>(saturate_to_int32(fraction * 256.0f)) & 0x1FFu;
}

// a * (256 - t) + b * t, channel by channel, for t in 0..256.
uint32_t mix(uint32_t a, uint32_t b, uint32_t t) {
    const uint32_t s = 256 - t;
    const uint32_t rb = (((a & 0xFF00FFu) * s + (b & 0xFF00FFu) * t) >> 8) & 0xFF00FFu;
    const uint32_t g = (((a & 0x00FF00u) * s + (b & 0x00FF00u) * t) >> 8) & 0x00FF00u;
    return rb | g;
}

uint32_t bilinear(const TextureImage& image, float u, float v) {
    const int32_t w = image.width, h = image.height;
    // Texel centres stand at half-texel places; row 0 is the top, v grows upwards.
    const float x = wrap_unit(u) * float(w) - 0.5f;          // in [-0.5, w - 0.5)
    const float y = (1.0f - wrap_unit(v)) * float(h) - 0.5f; // in (-0.5, h - 0.5]
    // Both are above -1, so truncating x + 1 is the floor of x plus one.
    int32_t x0 = saturate_to_int32(x + 1.0f) - 1;
    int32_t y0 = saturate_to_int32(y + 1.0f) - 1;
    const uint32_t ax = std::min(to_channel_weight(x - float(x0)), 256u);
    const uint32_t ay = std::min(to_channel_weight(y - float(y0)), 256u);
    x0 = std::clamp(x0, -1, w - 1);
    y0 = std::clamp(y0, -1, h - 1);
    const int32_t x1 = x0 + 1 >= w ? 0 : x0 + 1;
    const int32_t y1 = y0 + 1 >= h ? 0 : y0 + 1;
    if (x0 < 0) x0 = w - 1;
    if (y0 < 0) y0 = h - 1;
    const uint32_t* top = image.texels.data() + size_t(y0) * size_t(w);
    const uint32_t* bottom = image.texels.data() + size_t(y1) * size_t(w);
    return mix(mix(top[x0], top[x1], ax), mix(bottom[x0], bottom[x1], ax), ay);
}

} // namespace

bool texture_mapping(const Material& material, const TextureImage* image, TextureMapping& out) {
    if (!image || image->width < 1 || image->height < 1 ||
        image->texels.size() != size_t(image->width) * size_t(image->height))
        return false;
    out.image = image;
    out.u_scale = material.texture_scale[0];
    out.v_scale = material.texture_scale[1];
    out.u_offset = material.texture_offset[0];
    out.v_offset = material.texture_offset[1];
    out.strength =
        std::min(to_channel_weight(std::clamp(material.texture_strength, 0.0f, 1.0f)), 256u);
    uint32_t diffuse = 0;
    for (float c : material.diffuse)
        diffuse = diffuse << 8 | static_cast<uint32_t>(
                                     saturate_to_int32(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.5f));
    out.diffuse = diffuse;
    return true;
}

uint32_t sample_texture(const TextureMapping& mapping, float u, float v) {
    const uint32_t texel = bilinear(*mapping.image, u * mapping.u_scale + mapping.u_offset,
                                    v * mapping.v_scale + mapping.v_offset);
    return mapping.strength >= 256 ? texel : mix(mapping.diffuse, texel, mapping.strength);
}

void sample_texture_span(const TextureMapping& mapping, float uz, float vz, float wz, float duz,
                         float dvz, float dwz, int32_t count, uint32_t* out) {
    for (int32_t i = 0; i < count; ++i) {
        const float step = float(i);
        const float z = 1.0f / (wz + step * dwz);
        out[i] = sample_texture(mapping, (uz + step * duz) * z, (vz + step * dvz) * z);
    }
}
