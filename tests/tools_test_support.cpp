#include "tools_test_support.h"

#include <gif_lib.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tools_test {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

uint32_t rgb(const GifColorType& c) {
    return (static_cast<uint32_t>(c.Red) << 16) | (static_cast<uint32_t>(c.Green) << 8) | c.Blue;
}

bool has_loop_forever(const SavedImage& image) {
    for (int i = 0; i + 1 < image.ExtensionBlockCount; ++i) {
        const ExtensionBlock& app = image.ExtensionBlocks[i];
        const ExtensionBlock& data = image.ExtensionBlocks[i + 1];
        if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
            std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3 &&
            data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0)
            return true;
    }
    return false;
}

void apply_limit(int resource, rlim_t value) {
    if (value == 0) return;
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

} // namespace

// Reads rows as stored, without libpng transformations, so the test sees the file's own bytes;
// anything but 8-bit RGB is reported rather than converted.
bool decode_png(const std::string& path, DecodedImage& image, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(reader);
    std::vector<png_byte> row;
    volatile bool ok = false;
    if (setjmp(png_jmpbuf(reader)) == 0) {
        png_init_io(reader, file);
        png_read_info(reader, info);
        image.width = static_cast<int32_t>(png_get_image_width(reader, info));
        image.height = static_cast<int32_t>(png_get_image_height(reader, info));
        image.bit_depth = png_get_bit_depth(reader, info);
        image.colour_type = png_get_color_type(reader, info);
        if (image.bit_depth == 8 && image.colour_type == PNG_COLOR_TYPE_RGB &&
            png_get_interlace_type(reader, info) == PNG_INTERLACE_NONE) {
            row.resize(static_cast<size_t>(image.width) * 3);
            image.pixels.resize(static_cast<size_t>(image.width) * image.height);
            for (int32_t y = 0; y < image.height; ++y) {
                png_read_row(reader, row.data(), nullptr);
                for (int32_t x = 0; x < image.width; ++x) {
                    image.pixels[static_cast<size_t>(y) * image.width + x] =
                        (static_cast<uint32_t>(row[3 * x]) << 16) |
                        (static_cast<uint32_t>(row[3 * x + 1]) << 8) | row[3 * x + 2];
                }
            }
            png_read_end(reader, nullptr);
            ok = true;
        } else {
            error = "not an 8-bit RGB PNG without interlacing";
        }
    } else {
        error = "libpng could not decode " + path;
    }
    png_destroy_read_struct(&reader, &info, nullptr);
    std::fclose(file);
    return ok;
}

bool decode_gif(const std::string& path, DecodedGif& gif, std::string& error) {
    int code = 0;
    GifFileType* file = DGifOpenFileName(path.c_str(), &code);
    if (file == nullptr) {
        error = GifErrorString(code);
        return false;
    }
    if (DGifSlurp(file) != GIF_OK) {
        error = GifErrorString(file->Error);
        DGifCloseFile(file, &code);
        return false;
    }
    gif.width = file->SWidth;
    gif.height = file->SHeight;
    gif.global_colours = file->SColorMap != nullptr ? file->SColorMap->ColorCount : 0;
    gif.loops_forever = file->ImageCount > 0 && has_loop_forever(file->SavedImages[0]);
    std::vector<uint32_t> canvas(static_cast<size_t>(gif.width) * gif.height, 0);
    bool ok = true;
    for (int i = 0; i < file->ImageCount && ok; ++i) {
        const SavedImage& frame = file->SavedImages[i];
        const GifImageDesc& d = frame.ImageDesc;
        const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : file->SColorMap;
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(file, i, &gcb);
        if (d.Left < 0 || d.Top < 0 || d.Left + d.Width > gif.width ||
            d.Top + d.Height > gif.height || map == nullptr) {
            error = "frame " + std::to_string(i) + " lies outside the screen or has no palette";
            ok = false;
            break;
        }
        const std::vector<uint32_t> before = canvas;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = frame.RasterBits[y * d.Width + x];
                if (index == gcb.TransparentColor) continue;
                if (index >= map->ColorCount) {
                    error = "frame " + std::to_string(i) + " uses an index beyond its palette";
                    ok = false;
                    break;
                }
                canvas[static_cast<size_t>(d.Top + y) * gif.width + d.Left + x] =
                    rgb(map->Colors[index]);
            }
        }
        gif.frames.push_back(canvas);
        gif.delays_cs.push_back(gcb.DelayTime);
        if (gcb.DisposalMode == DISPOSE_BACKGROUND || gcb.DisposalMode == DISPOSE_PREVIOUS) {
            // Neither writer under test uses these; a viewer would clear or restore, so the
            // next frame starts from there.
            canvas = gcb.DisposalMode == DISPOSE_PREVIOUS ? before
                                                          : std::vector<uint32_t>(canvas.size(), 0);
        }
    }
    DGifCloseFile(file, &code);
    return ok;
}

RunResult run_program(const std::vector<std::string>& argv, const RunLimits& limits) {
    RunResult result;
    const std::string dir = scratch_dir("run");
    const std::string out_path = limits.stdout_path.empty() ? dir + "/out" : limits.stdout_path;
    const std::string err_path = dir + "/err";
    const pid_t child = fork();
    if (child == 0) {
        std::freopen(out_path.c_str(), "wb", stdout);
        std::freopen(err_path.c_str(), "wb", stderr);
        apply_limit(RLIMIT_AS, limits.address_space_bytes);
        apply_limit(RLIMIT_CPU, limits.cpu_seconds);
        if (limits.file_size_bytes != 0) signal(SIGXFSZ, SIG_IGN);
        apply_limit(RLIMIT_FSIZE, limits.file_size_bytes);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child) {
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (limits.stdout_path.empty()) result.out = slurp(out_path);
    result.err = slurp(err_path);
    std::filesystem::remove_all(dir);
    return result;
}

std::string scratch_dir(const std::string& label) {
    static int counter = 0;
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("kalv_tools_" + label + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

} // namespace tools_test
