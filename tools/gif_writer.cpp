#include "tools/gif_writer.h"

#include "loader/quoted.h"
#include "tools/output_file.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kMaxColours = 256;

std::string gif_error_text(int code) {
    const char* text = GifErrorString(code);
    return text != nullptr ? text : "unknown GIF error " + std::to_string(code);
}

// giflib hands every encoded byte to this function; writing through our own FILE keeps the
// file's permissions the usual ones and lets a short write (disk full) fail the frame.
int write_to_file(GifFileType* encoder, const GifByteType* bytes, int length) {
    auto* file = static_cast<std::FILE*>(encoder->UserData);
    return static_cast<int>(std::fwrite(bytes, 1, static_cast<size_t>(length), file));
}

// A GIF colour table has a power-of-two size of at least 2 entries.
int colour_table_size(size_t colours) {
    int size = 2;
    while (static_cast<size_t>(size) < colours)
        size *= 2;
    return size;
}

int colour_resolution_bits(int table_size) {
    int bits = 1;
    while ((1 << bits) < table_size)
        ++bits;
    return bits;
}

bool write_loop_forever(GifFileType* encoder) {
    static const char kApplication[] = "NETSCAPE2.0";
    const GifByteType loop_block[3] = {1, 0, 0}; // sub-block 1: loop count 0 = forever
    return EGifPutExtensionLeader(encoder, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(encoder, 11, kApplication) == GIF_OK &&
           EGifPutExtensionBlock(encoder, 3, loop_block) == GIF_OK &&
           EGifPutExtensionTrailer(encoder) == GIF_OK;
}

struct Rect {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

// The smallest rectangle holding every pixel that differs from the previous frame; a 1x1
// rectangle at the origin when nothing changed, because a GIF frame cannot be empty.
Rect changed_rect(std::span<const uint32_t> now, std::span<const uint32_t> before, int32_t width,
                  int32_t height) {
    int32_t min_x = width, min_y = height, max_x = -1, max_y = -1;
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = 0; x < width; ++x) {
            if (((now[row + static_cast<size_t>(x)] ^ before[row + static_cast<size_t>(x)]) &
                 0x00FFFFFFu) == 0)
                continue;
            min_x = std::min(min_x, x);
            max_x = std::max(max_x, x);
            min_y = std::min(min_y, y);
            max_y = std::max(max_y, y);
        }
    }
    if (max_x < 0) return Rect{0, 0, 1, 1};
    return Rect{min_x, min_y, max_x - min_x + 1, max_y - min_y + 1};
}

// Palette index of colour, or -1 when the palette lacks it.
int palette_index(const GifPalette& palette, uint32_t colour) {
    auto it = std::lower_bound(palette.colours.begin(), palette.colours.end(), colour);
    if (it == palette.colours.end() || *it != colour) return -1;
    return static_cast<int>(it - palette.colours.begin());
}

// The palette entry standing for a colour it lacks; each colour is matched once.
int nearest_index(GifWriter& gif, uint32_t colour) {
    const auto [it, added] = gif.nearest.try_emplace(colour, 0);
    if (added) it->second = uint8_t(nearest_colour(gif.palette.colours, colour));
    return it->second;
}

// Fills gif.indices with the rectangle's palette indices. False when a pixel's colour is not in
// the palette.
bool index_rect(GifWriter& gif, std::span<const uint32_t> pixels, const Rect& r,
                std::string& error) {
    gif.indices.resize(static_cast<size_t>(r.width) * static_cast<size_t>(r.height));
    uint32_t last_colour = 0;
    int last_index = palette_index(gif.palette, 0);
    size_t out = 0;
    for (int32_t y = r.top; y < r.top + r.height; ++y) {
        for (int32_t x = r.left; x < r.left + r.width; ++x) {
            const size_t at =
                static_cast<size_t>(y) * static_cast<size_t>(gif.width) + static_cast<size_t>(x);
            const uint32_t colour = pixels[at] & 0x00FFFFFFu;
            if (colour != last_colour || last_index < 0) {
                last_index = palette_index(gif.palette, colour);
                last_colour = colour;
                if (last_index < 0 && !gif.palette.exact) last_index = nearest_index(gif, colour);
                if (last_index < 0) {
                    char hex[16];
                    std::snprintf(hex, sizeof hex, "0x%06X", static_cast<unsigned>(colour));
                    error = quoted_text(gif.path) + ": colour " + hex +
                            " is not in the animation's palette; a GIF frame would lose it";
                    return false;
                }
            }
            gif.indices[out++] = static_cast<uint8_t>(last_index);
        }
    }
    return true;
}

bool put_frame_control(GifFileType* encoder, int delay_cs) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.UserInputFlag = false;
    gcb.DelayTime = delay_cs;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType block[4];
    const size_t length = EGifGCBToExtension(&gcb, block);
    return EGifPutExtension(encoder, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block) ==
           GIF_OK;
}

ColorMapObject* make_colour_map(const GifPalette& palette) {
    const int table_size = colour_table_size(palette.colours.size());
    std::vector<GifColorType> table(static_cast<size_t>(table_size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.colours.size(); ++i) {
        table[i].Red = static_cast<GifByteType>((palette.colours[i] >> 16) & 0xFF);
        table[i].Green = static_cast<GifByteType>((palette.colours[i] >> 8) & 0xFF);
        table[i].Blue = static_cast<GifByteType>(palette.colours[i] & 0xFF);
    }
    return GifMakeMapObject(table_size, table.data());
}

} // namespace

void GifEncoderCloser::operator()(GifFileType* encoder) const {
    int ignored = 0;
    EGifCloseFile(encoder, &ignored);
}

void collect_colours(GifPalette& palette, std::span<const uint32_t> pixels) {
    count_colours(palette.counted, pixels);
    if (!palette.exact) return;
    std::vector<uint32_t>& colours = palette.colours;
    uint32_t last = 0;
    bool have_last = false;
    for (uint32_t pixel : pixels) {
        const uint32_t colour = pixel & 0x00FFFFFFu;
        if (have_last && colour == last) continue; // runs of one colour are the common case
        last = colour;
        have_last = true;
        auto it = std::lower_bound(colours.begin(), colours.end(), colour);
        if (it != colours.end() && *it == colour) continue;
        if (colours.size() == kMaxColours) {
            palette.exact = false;
            colours.clear();
            return;
        }
        colours.insert(it, colour);
    }
}

bool gif_begin(GifWriter& gif, const std::string& path, int32_t width, int32_t height,
               const GifPalette& palette, std::string& error) {
    gif_abort(gif);
    gif = GifWriter{};
    gif.path = path;
    // Past 256 colours the palette is chosen here; the writer keeps only the colours, not the
    // counts they were chosen from.
    gif.palette.colours =
        palette.exact ? palette.colours : stand_in_colours(palette.counted, kMaxColours);
    gif.palette.exact = palette.exact;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        error = quoted_text(path) + ": a GIF frame must be 1 to 65535 pixels wide and high";
        return false;
    }
    if (gif.palette.colours.empty() || gif.palette.colours.size() > kMaxColours) {
        error = quoted_text(path) + ": a GIF palette needs 1 to 256 colours";
        return false;
    }
    gif.width = width;
    gif.height = height;

    gif.file.reset(std::fopen(path.c_str(), "wb"));
    if (!gif.file) {
        error = quoted_text(path) + ": cannot create: " + std::strerror(errno);
        return false;
    }
    int code = 0;
    gif.encoder.reset(EGifOpen(gif.file.get(), write_to_file, &code));
    if (!gif.encoder) {
        error = quoted_text(path) + ": cannot start GIF: " + gif_error_text(code);
        return false;
    }
    EGifSetGifVersion(gif.encoder.get(), true);
    ColorMapObject* map = make_colour_map(gif.palette);
    if (map == nullptr) {
        error = quoted_text(path) + ": out of memory building the GIF palette";
        return false;
    }
    const int background = std::max(palette_index(gif.palette, 0), 0);
    const bool screen_ok =
        EGifPutScreenDesc(gif.encoder.get(), width, height, colour_resolution_bits(map->ColorCount),
                          background, map) == GIF_OK;
    GifFreeMapObject(map);
    if (!screen_ok || !write_loop_forever(gif.encoder.get())) {
        error =
            quoted_text(path) + ": cannot write GIF header: " + gif_error_text(gif.encoder->Error);
        return false;
    }
    return true;
}

bool gif_add_frame(GifWriter& gif, std::span<const uint32_t> pixels, int delay_cs,
                   std::string& error) {
    if (!gif.encoder) {
        error = quoted_text(gif.path) + ": GIF is not open";
        return false;
    }
    if (pixels.size() != static_cast<size_t>(gif.width) * static_cast<size_t>(gif.height)) {
        error = quoted_text(gif.path) + ": frame size does not match the animation";
        return false;
    }
    const Rect r = gif.previous.empty() ? Rect{0, 0, gif.width, gif.height}
                                        : changed_rect(pixels, gif.previous, gif.width, gif.height);
    if (!index_rect(gif, pixels, r, error)) return false;
    GifFileType* encoder = gif.encoder.get();
    if (!put_frame_control(encoder, delay_cs) ||
        EGifPutImageDesc(encoder, r.left, r.top, r.width, r.height, false, nullptr) != GIF_OK ||
        EGifPutLine(encoder, gif.indices.data(), r.width * r.height) != GIF_OK) {
        error =
            quoted_text(gif.path) + ": cannot write GIF frame: " + gif_error_text(encoder->Error);
        return false;
    }
    gif.previous.assign(pixels.begin(), pixels.end());
    return true;
}

bool gif_finish(GifWriter& gif, std::string& error) {
    if (!gif.encoder) {
        error = quoted_text(gif.path) + ": GIF is not open";
        return false;
    }
    int code = 0;
    const bool encoded = EGifCloseFile(gif.encoder.release(), &code) == GIF_OK;
    const bool flushed = std::fflush(gif.file.get()) == 0 && !std::ferror(gif.file.get());
    const bool closed = std::fclose(gif.file.release()) == 0;
    if (encoded && flushed && closed) return true;
    error = quoted_text(gif.path) + ": cannot finish GIF: " +
            (encoded ? std::string(std::strerror(errno)) : gif_error_text(code));
    remove_partial_file(gif.path);
    return false;
}

void gif_abort(GifWriter& gif) {
    if (!gif.encoder && !gif.file) return;
    gif.encoder.reset();
    gif.file.reset();
    remove_partial_file(gif.path);
}
