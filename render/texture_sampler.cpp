#include "render/texture_sampler.h"

#include "render/numeric.h"

#include <algorithm>
#include <cmath>

namespace {

// The fraction of t in [0, 1); 0 for NaN, infinities and values too large to have a fraction.
// Truncation instead of std::floor, which is a library call on the baseline x86-64 instruction
// set and would cost more than the rest of a texel.
float wrap_unit(float t) {
    if (!(t > -8388608.0f && t < 8388608.0f)) return 0.0f; // 2^23: no fraction left; NaN
    float f = t - float(static_cast<int32_t>(t));
    if (f < 0.0f) f += 1.0f;
    return f < 1.0f ? f : 0.0f;
}

// A fraction in [0, 1] as a weight 0..256.
uint32_t to_weight(float fraction) {
    return static_cast<uint32_t>(saturate_to_int32(fraction * 256.0f)) & 0x1FFu;
}

// a * (256 - t) + b * t, channel by channel, for t in 0..256.
uint32_t mix(uint32_t a, uint32_t b, uint32_t t) {
    const uint32_t s = 256 - t;
    const uint32_t rb = (((a & 0xFF00FFu) * s + (b & 0xFF00FFu) * t) >> 8) & 0xFF00FFu;
    const uint32_t g = (((a & 0x00FF00u) * s + (b & 0x00FF00u) * t) >> 8) & 0x00FF00u;
    return rb | g;
}

// The texel whose square holds (u, v): row 0 is the top, v grows upwards.
uint32_t nearest(const TextureImage& image, float u, float v) {
    const int32_t w = image.width, h = image.height;
    // Both products lie in [0, side], so the truncations are defined; the far edge itself
    // belongs to the last texel.
    const int32_t x = std::min(static_cast<int32_t>(wrap_unit(u) * float(w)), w - 1);
    const int32_t y = std::min(static_cast<int32_t>((1.0f - wrap_unit(v)) * float(h)), h - 1);
    return image.texels[size_t(y) * size_t(w) + size_t(x)];
}

uint32_t bilinear(const TextureImage& image, float u, float v) {
    const int32_t w = image.width, h = image.height;
    // Texel centres stand at half-texel places; row 0 is the top, v grows upwards.
    const float x = wrap_unit(u) * float(w) + 0.5f;          // in [0.5, w + 0.5]
    const float y = (1.0f - wrap_unit(v)) * float(h) + 0.5f; // in [0.5, h + 0.5]
    // Texels xi - 1 and xi (wrapped) are the left and right neighbours; x is positive and below
    // the int32 limit, so truncation is the floor and is defined.
    const int32_t xi = static_cast<int32_t>(x), yi = static_cast<int32_t>(y);
    const uint32_t ax = std::min(to_weight(x - float(xi)), 256u);
    const uint32_t ay = std::min(to_weight(y - float(yi)), 256u);
    const int32_t x1 = xi >= w ? 0 : xi, y1 = yi >= h ? 0 : yi;
    const int32_t x0 = (x1 == 0 ? w : x1) - 1, y0 = (y1 == 0 ? h : y1) - 1;
    const uint32_t* top = image.texels.data() + size_t(y0) * size_t(w);
    const uint32_t* bottom = image.texels.data() + size_t(y1) * size_t(w);
    return mix(mix(top[x0], top[x1], ax), mix(bottom[x0], bottom[x1], ax), ay);
}

template <TextureFilter Filter> uint32_t sample(const TextureMapping& mapping, float u, float v) {
    u = u * mapping.u_scale + mapping.u_offset;
    v = v * mapping.v_scale + mapping.v_offset;
    const uint32_t texel = Filter == TextureFilter::bilinear ? bilinear(*mapping.image, u, v)
                                                             : nearest(*mapping.image, u, v);
    return mapping.strength >= 256 ? texel : mix(mapping.diffuse, texel, mapping.strength);
}

template <TextureFilter Filter>
void sample_span(const TextureMapping& mapping, float uz, float vz, float wz, float duz, float dvz,
                 float dwz, int32_t count, uint32_t* out) {
    for (int32_t i = 0; i < count; ++i) {
        const float step = float(i);
        const float z = 1.0f / (wz + step * dwz);
        out[i] = sample<Filter>(mapping, (uz + step * duz) * z, (vz + step * dvz) * z);
    }
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
    out.strength = std::min(to_weight(std::clamp(material.texture_strength, 0.0f, 1.0f)), 256u);
    uint32_t diffuse = 0;
    for (float c : material.diffuse)
        diffuse = diffuse << 8 | static_cast<uint32_t>(
                                     saturate_to_int32(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.5f));
    out.diffuse = diffuse;
    return true;
}

uint32_t sample_texture(const TextureMapping& mapping, float u, float v, TextureFilter filter) {
    return filter == TextureFilter::bilinear ? sample<TextureFilter::bilinear>(mapping, u, v)
                                             : sample<TextureFilter::nearest>(mapping, u, v);
}

void sample_texture_span(const TextureMapping& mapping, float uz, float vz, float wz, float duz,
                         float dvz, float dwz, int32_t count, uint32_t* out, TextureFilter filter) {
    if (filter == TextureFilter::bilinear)
        sample_span<TextureFilter::bilinear>(mapping, uz, vz, wz, duz, dvz, dwz, count, out);
    else
        sample_span<TextureFilter::nearest>(mapping, uz, vz, wz, duz, dvz, dwz, count, out);
}
