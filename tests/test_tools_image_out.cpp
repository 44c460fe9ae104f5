// The PNG and GIF writers are checked by decoding their files with libpng and giflib: whatever
// the writers believe, only what a decoder reads back counts.
#include "tools/gif_writer.h"
#include "tools/png_writer.h"
#include "tools_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using tools_test::DecodedGif;
using tools_test::DecodedImage;

namespace {

// A picture with every channel exercised and no two neighbouring rows alike.
std::vector<uint32_t> gradient(int32_t width, int32_t height, uint32_t seed) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t r = (x * 7 + seed) & 0xFF, g = (y * 13 + seed) & 0xFF,
                           b = (x ^ y) & 0xFF;
            pixels[static_cast<size_t>(y) * width + x] = (r << 16) | (g << 8) | b;
        }
    }
    return pixels;
}

// Frames built from a small set of colours, each differing from the one before in a patch.
std::vector<std::vector<uint32_t>> patch_frames(int32_t width, int32_t height, int count) {
    const uint32_t colours[] = {0x000000, 0xF97F07, 0x7D4004, 0x123456, 0xFFFFFF};
    std::vector<std::vector<uint32_t>> frames;
    std::vector<uint32_t> frame(static_cast<size_t>(width) * height, 0);
    for (int k = 0; k < count; ++k) {
        for (int32_t y = k; y < k + 5 && y < height; ++y) {
            for (int32_t x = 2 * k; x < 2 * k + 7 && x < width; ++x) {
                frame[static_cast<size_t>(y) * width + x] = colours[(x + y + k) % 5];
            }
        }
        frames.push_back(frame);
    }
    return frames;
}

bool write_gif(const std::string& path, const std::vector<std::vector<uint32_t>>& frames,
               int32_t width, int32_t height, int delay, std::string& error) {
    GifPalette palette;
    for (const auto& f : frames)
        collect_colours(palette, f);
    GifWriter gif;
    bool ok = gif_begin(gif, path, width, height, palette, error);
    for (size_t i = 0; ok && i < frames.size(); ++i)
        ok = gif_add_frame(gif, frames[i], delay, error);
    ok = ok && gif_finish(gif, error);
    if (!ok) gif_abort(gif);
    return ok;
}

} // namespace

TEST(PngWriter, DecodesToTheSamePixelsAsEightBitRgb) {
    const std::string dir = tools_test::scratch_dir("png");
    const std::string path = dir + "/frame.png";
    // The top byte is never part of a colour; it must not leak into the file.
    std::vector<uint32_t> pixels = gradient(37, 23, 5);
    std::vector<uint32_t> with_junk = pixels;
    for (uint32_t& p : with_junk)
        p |= 0xAB000000u;

    std::string error;
    ASSERT_TRUE(write_png(path, with_junk, 37, 23, error)) << error;
    DecodedImage image;
    ASSERT_TRUE(tools_test::decode_png(path, image, error)) << error;
    EXPECT_EQ(image.bit_depth, 8);
    EXPECT_EQ(image.width, 37);
    EXPECT_EQ(image.height, 23);
    EXPECT_EQ(image.pixels, pixels);
    std::filesystem::remove_all(dir);
}

TEST(PngWriter, RefusesBadSizesAndUnwritablePathsWithAReason) {
    const std::string dir = tools_test::scratch_dir("png_bad");
    const std::vector<uint32_t> pixels(12, 0x112233);
    std::string error;
    EXPECT_FALSE(write_png(dir + "/a.png", pixels, 5, 3, error)); // 15 pixels expected
    EXPECT_NE(error.find("pixel count"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir + "/a.png"));

    error.clear();
    EXPECT_FALSE(write_png(dir + "/missing/dir/a.png", pixels, 4, 3, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

TEST(GifWriter, FramesDecodeExactlyWithDelayAndEndlessLoop) {
    const std::string dir = tools_test::scratch_dir("gif");
    const std::string path = dir + "/anim.gif";
    const auto frames = patch_frames(40, 30, 9);
    std::string error;
    ASSERT_TRUE(write_gif(path, frames, 40, 30, 2, error)) << error;

    DecodedGif gif;
    ASSERT_TRUE(tools_test::decode_gif(path, gif, error)) << error;
    EXPECT_EQ(gif.width, 40);
    EXPECT_EQ(gif.height, 30);
    EXPECT_TRUE(gif.loops_forever);
    ASSERT_EQ(gif.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(gif.delays_cs[i], 2) << "frame " << i;
        EXPECT_EQ(gif.frames[i], frames[i]) << "frame " << i;
    }
    std::filesystem::remove_all(dir);
}

TEST(GifWriter, RepeatedAndFullyChangedFramesStayExact) {
    const std::string dir = tools_test::scratch_dir("gif_repeat");
    const std::string path = dir + "/anim.gif";
    // Same frame twice (nothing changed: the smallest possible frame must still decode to it),
    // then a frame that changes every pixel, then back.
    const std::vector<uint32_t> a(16 * 8, 0x00FA8008), b(16 * 8, 0x00000000);
    std::vector<uint32_t> c = a;
    c[16 * 8 - 1] = 0x00010203; // only the last pixel differs: a 1x1 change far from the origin
    const std::vector<std::vector<uint32_t>> frames = {a, a, b, a, c};
    std::string error;
    ASSERT_TRUE(write_gif(path, frames, 16, 8, 7, error)) << error;
    DecodedGif gif;
    ASSERT_TRUE(tools_test::decode_gif(path, gif, error)) << error;
    ASSERT_EQ(gif.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(gif.frames[i], frames[i]) << "frame " << i;
        EXPECT_EQ(gif.delays_cs[i], 7);
    }
    std::filesystem::remove_all(dir);
}

TEST(GifWriter, AFullPaletteOf256ColoursIsLosslessAndMoreStandInForEachOther) {
    const std::string dir = tools_test::scratch_dir("gif_full");
    std::vector<uint32_t> frame(32 * 8);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint32_t>(i * 0x010101u);
    std::string error;
    ASSERT_TRUE(write_gif(dir + "/full.gif", {frame}, 32, 8, 2, error)) << error;
    DecodedGif gif;
    ASSERT_TRUE(tools_test::decode_gif(dir + "/full.gif", gif, error)) << error;
    EXPECT_EQ(gif.global_colours, 256);
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_EQ(gif.frames[0], frame);

    // 1024 shades of a smooth gradient on one half, black on the other, then the gradient
    // shifted: 256 colours stand for them all, near each pixel's own, and black stays black.
    std::vector<uint32_t> smooth(64 * 32, 0), shifted(smooth.size(), 0);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
            smooth[y * 64 + x] = (x * 8) << 16 | (y * 8) << 8 | 0x80;
            shifted[y * 64 + x] = (x * 8) << 16 | (y * 8) << 8 | 0x90;
        }
    ASSERT_TRUE(write_gif(dir + "/smooth.gif", {smooth, shifted}, 64, 32, 2, error)) << error;
    DecodedGif many;
    ASSERT_TRUE(tools_test::decode_gif(dir + "/smooth.gif", many, error)) << error;
    EXPECT_EQ(many.global_colours, 256);
    ASSERT_EQ(many.frames.size(), 2u);
    int worst = 0;
    for (size_t f = 0; f < 2; ++f)
        for (size_t i = 0; i < smooth.size(); ++i) {
            const uint32_t want = (f == 0 ? smooth : shifted)[i], got = many.frames[f][i];
            for (int shift = 0; shift <= 16; shift += 8)
                worst =
                    std::max(worst, std::abs(int(want >> shift & 0xFF) - int(got >> shift & 0xFF)));
            if (want == 0) {
                EXPECT_EQ(got & 0xFFFFFFu, 0u) << "frame " << f << " pixel " << i;
            }
        }
    EXPECT_LE(worst, 16);
    EXPECT_GT(worst, 0) << "1025 colours cannot all be exact";
    std::filesystem::remove_all(dir);
}

TEST(GifWriter, AColourOutsideThePaletteFailsAndRemovesTheFile) {
    const std::string dir = tools_test::scratch_dir("gif_outside");
    const std::string path = dir + "/anim.gif";
    GifPalette palette;
    std::string error;
    const std::vector<uint32_t> known(4 * 4, 0x00102030);
    collect_colours(palette, known);
    GifWriter gif;
    ASSERT_TRUE(gif_begin(gif, path, 4, 4, palette, error)) << error;
    ASSERT_TRUE(gif_add_frame(gif, known, 2, error)) << error;
    std::vector<uint32_t> stray = known;
    stray[9] = 0x00FFFFFF;
    EXPECT_FALSE(gif_add_frame(gif, stray, 2, error));
    EXPECT_NE(error.find("0xFFFFFF"), std::string::npos) << error;
    gif_abort(gif);
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::remove_all(dir);
}

TEST(GifWriter, RefusesUnwritablePathsAndWrongFrameSizes) {
    const std::string dir = tools_test::scratch_dir("gif_bad");
    GifPalette palette;
    palette.colours = {0x000000};
    GifWriter gif;
    std::string error;
    EXPECT_FALSE(gif_begin(gif, dir + "/no/such/dir/a.gif", 4, 4, palette, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    gif_abort(gif);

    ASSERT_TRUE(gif_begin(gif, dir + "/a.gif", 4, 4, palette, error)) << error;
    EXPECT_FALSE(gif_add_frame(gif, std::vector<uint32_t>(15, 0), 2, error));
    gif_abort(gif);
    EXPECT_FALSE(std::filesystem::exists(dir + "/a.gif"));
    std::filesystem::remove_all(dir);
}

TEST(GifWriter, CreatedFilesGetTheUsualPermissions) {
    const std::string dir = tools_test::scratch_dir("gif_mode");
    const mode_t old_mask = umask(022);
    std::string error;
    const bool written = write_gif(dir + "/a.gif", {std::vector<uint32_t>(4, 0)}, 2, 2, 2, error);
    umask(old_mask);
    ASSERT_TRUE(written) << error;
    struct stat info {};
    ASSERT_EQ(stat((dir + "/a.gif").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u); // readable by others, like every other output file
    std::filesystem::remove_all(dir);
}
