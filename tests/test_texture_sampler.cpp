// Laying a picture on a face: which texel a mapping coordinate reaches (v up, repeat, scale and
// offset), the bilinear mix between texel centres, the map's strength, and perspective along a
// span.
#include "render/texture_sampler.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Top row red, green; bottom row blue, white.
TextureImage two_by_two() {
    return TextureImage{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
}

TextureMapping plain(const TextureImage& image) {
    TextureMapping mapping;
    Material material;
    EXPECT_TRUE(texture_mapping(material, &image, mapping));
    return mapping;
}

} // namespace

TEST(TextureSampler, VGrowsUpwardsAndCoordinatesRepeat) {
    const TextureImage image = two_by_two();
    const TextureMapping m = plain(image);
    EXPECT_EQ(sample_texture(m, 0.25f, 0.75f), 0xFF0000u); // top left
    EXPECT_EQ(sample_texture(m, 0.75f, 0.75f), 0x00FF00u);
    EXPECT_EQ(sample_texture(m, 0.25f, 0.25f), 0x0000FFu); // bottom left
    EXPECT_EQ(sample_texture(m, 0.75f, 0.25f), 0xFFFFFFu);
    EXPECT_EQ(sample_texture(m, 1.25f, -0.25f), 0xFF0000u);
    EXPECT_EQ(sample_texture(m, -3.75f, 2.25f), 0x0000FFu);
    // Halfway between centres, across the picture's wrapped edge too: an even mix.
    EXPECT_EQ(sample_texture(m, 0.5f, 0.75f), 0x7F7F00u);
    EXPECT_EQ(sample_texture(m, 0.0f, 0.75f), 0x7F7F00u);
    // The nearest texel: the whole square, edges included, up to the far edges.
    EXPECT_EQ(sample_texture(m, 0.49f, 0.51f, TextureFilter::nearest), 0xFF0000u);
    EXPECT_EQ(sample_texture(m, 0.0f, 0.0f, TextureFilter::nearest), 0x0000FFu);
    EXPECT_EQ(sample_texture(m, 0.99999994f, 0.99999994f, TextureFilter::nearest), 0x00FF00u);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(), 3e38f, -3e38f})
        for (TextureFilter filter : {TextureFilter::nearest, TextureFilter::bilinear})
            EXPECT_NE(sample_texture(m, bad, bad, filter), 0xDEADu); // any texel, no fault
}

TEST(TextureSampler, ScaleOffsetAndStrengthFollowTheMaterial) {
    const TextureImage image = two_by_two();
    Material material;
    material.texture_scale = {2.0f, 1.0f};
    material.texture_offset = {0.0f, 0.5f};
    material.diffuse = {0.0f, 0.0f, 0.0f};
    material.texture_strength = 0.5f;
    TextureMapping m;
    ASSERT_TRUE(texture_mapping(material, &image, m));
    // u 0.375 * 2 = 0.75; v 0.25 + 0.5 = 0.75: green, half of it over black.
    EXPECT_EQ(sample_texture(m, 0.375f, 0.25f), 0x007F00u);
    EXPECT_FALSE(texture_mapping(material, nullptr, m));
    const TextureImage empty;
    EXPECT_FALSE(texture_mapping(material, &empty, m));
}

TEST(TextureSampler, SpansArePerspectiveCorrect) {
    // Eight columns of distinct colours; a span from u = 0 at depth 1 to u = 1 at depth 3.
    TextureImage image{8, 1, {}};
    for (uint32_t i = 0; i < 8; ++i)
        image.texels.push_back(i * 0x102030u);
    const TextureMapping m = plain(image);
    const int32_t count = 9;
    const float w0 = 1.0f, w1 = 1.0f / 3.0f, uz1 = 1.0f / 3.0f;
    std::vector<uint32_t> out(count);
    sample_texture_span(m, 0.0f, 0.5f * w0, w0, uz1 / 8, (0.5f * w1 - 0.5f * w0) / 8, (w1 - w0) / 8,
                        count, out.data());
    for (int32_t i = 0; i < count; ++i) {
        const float t = float(i) / 8;
        const float wz = w0 + t * (w1 - w0);
        const float u = t * uz1 / wz; // not t: the far half of the face takes fewer pixels
        EXPECT_EQ(out[size_t(i)], sample_texture(m, u, 0.5f)) << i;
    }
    EXPECT_EQ(out[4], sample_texture(m, 0.25f, 0.5f));
}
