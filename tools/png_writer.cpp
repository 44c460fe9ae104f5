#include "tools/png_writer.h"

#include "loader/quoted.h"
#include "tools/output_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng reports errors through a callback that must not return; the message is kept here so
// the caller can print it after the longjmp lands.
struct PngErrorSink {
    std::string message;
};

[[noreturn]] void on_png_error(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
    if (sink != nullptr) sink->message = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

void pack_row(std::span<const uint32_t> row, std::vector<png_byte>& out) {
    for (size_t i = 0; i < row.size(); ++i) {
        out[3 * i + 0] = static_cast<png_byte>((row[i] >> 16) & 0xFF);
        out[3 * i + 1] = static_cast<png_byte>((row[i] >> 8) & 0xFF);
        out[3 * i + 2] = static_cast<png_byte>(row[i] & 0xFF);
    }
}

// Everything that touches libpng lives in this one function so that no C++ object with a
// destructor is skipped by the longjmp: the row buffer is owned by the caller.
bool encode(FILE* file, const uint32_t* pixels, png_uint_32 width, png_uint_32 height,
            std::vector<png_byte>& row_bytes, PngErrorSink& sink) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (png == nullptr) {
        sink.message = "out of memory creating the PNG encoder";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        sink.message = "out of memory creating the PNG encoder";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (png_uint_32 y = 0; y < height; ++y) {
        pack_row(std::span<const uint32_t>(pixels + static_cast<size_t>(y) * width, width),
                 row_bytes);
        png_write_row(png, row_bytes.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool write_png(const std::string& path, std::span<const uint32_t> pixels, int32_t width,
               int32_t height, std::string& error) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        error = quoted_text(path) + ": frame size does not match its pixel count";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = quoted_text(path) + ": cannot create: " + std::strerror(errno);
        return false;
    }
    std::vector<png_byte> row_bytes(static_cast<size_t>(width) * 3);
    PngErrorSink sink;
    bool ok = encode(file, pixels.data(), static_cast<png_uint_32>(width),
                     static_cast<png_uint_32>(height), row_bytes, sink);
    if (std::ferror(file)) {
        ok = false;
        if (sink.message.empty()) sink.message = std::strerror(errno);
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        sink.message = std::strerror(errno);
    }
    if (!ok) {
        remove_partial_file(path);
        error = quoted_text(path) + ": cannot write PNG: " + sink.message;
    }
    return ok;
}
