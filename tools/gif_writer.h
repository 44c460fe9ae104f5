// gif_writer.h - saving a run of frames as a lossless, endlessly looping animated GIF.
//
// Frames are width * height pixels 0x00RRGGBB, rows top to bottom (top byte ignored). A GIF can
// name at most 256 colours, so the animation gets one global palette; the caller gathers it
// first with collect_colours. While the frames use at most 256 colours (the demo look's flat
// shading of one base colour never needs more) the palette holds each exactly and nothing is
// approximated: a colour outside it makes gif_add_frame fail. Frames with more colours (the model
// look's smooth shading and pictures) get 256 chosen to stand for them all (colour_cells.h), and
// each pixel is written as the nearest of those.
//
// To keep files small, every frame after the first stores only the rectangle that changed since
// the frame before; frames are never disposed, so the decoded picture is exactly each frame.
//
// Timing: delay in hundredths of a second per frame (2 = 20 ms). Looping: forever.
// Ownership: GifWriter owns the open file and a copy of the previous frame until gif_finish or
// gif_abort. Failure: every function returns false with a one-line reason; after a failure call
// gif_abort, which closes the file and removes it, so no unfinished GIF is left behind.
#pragma once

#include "tools/colour_cells.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

struct GifFileType;

// The colours of an animation: while exact, each colour of its frames, sorted ascending, at most
// 256; past that, the frames' colours counted, from which gif_begin chooses the palette.
struct GifPalette {
    std::vector<uint32_t> colours;
    bool exact = true;
    ColourCells counted; // every pixel collected, exact or not
};

// Adds the colours of one frame to the palette.
void collect_colours(GifPalette& palette, std::span<const uint32_t> pixels);

struct GifEncoderCloser {
    void operator()(GifFileType* gif) const;
};
struct GifOutputCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct GifWriter {
    std::unique_ptr<std::FILE, GifOutputCloser> file;       // declared first: closed last
    std::unique_ptr<GifFileType, GifEncoderCloser> encoder; // writes into file
    std::string path;
    int32_t width = 0, height = 0;
    GifPalette palette;
    std::vector<uint32_t> previous;                // the last frame written, empty before the first
    std::vector<uint8_t> indices;                  // scratch for one frame's palette indices
    std::unordered_map<uint32_t, uint8_t> nearest; // colours already matched, when not exact
};

// Creates path and writes the header, the palette (chosen from the counted colours when they are
// not exact) and the loop-forever extension.
bool gif_begin(GifWriter& gif, const std::string& path, int32_t width, int32_t height,
               const GifPalette& palette, std::string& error);

// Appends one frame shown for delay_cs hundredths of a second.
bool gif_add_frame(GifWriter& gif, std::span<const uint32_t> pixels, int delay_cs,
                   std::string& error);

// Writes the trailer and closes the file.
bool gif_finish(GifWriter& gif, std::string& error);

// Closes the file if it is open and removes it: for use after any failure.
void gif_abort(GifWriter& gif);
