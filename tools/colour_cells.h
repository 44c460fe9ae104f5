// colour_cells.h - choosing at most 256 colours to stand for the many of a run of frames, for a
// GIF, whose palette holds no more.
//
// Colours are 0x00RRGGBB (the top byte ignored). Every colour counted falls into one of 32768
// cells, five bits a channel, which keep how many pixels fell there and the sum of their exact
// colours. stand_in_colours cuts the counted cells into at most `most` boxes (median cut: the box
// holding most pixels is halved along its longest side, at the pixel that halves its count) and
// gives each box the mean of its pixels' exact colours, so a colour that fills a box alone stays
// exact and smooth shading keeps its steps where it has most pixels. The choice depends on the
// counts alone: the same frames give the same colours on every machine.
// Ownership: plain values. Failure: none (memory aside, as for any vector).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct ColourCell {
    uint64_t pixels = 0;
    uint64_t red = 0, green = 0, blue = 0; // sums over those pixels
};

struct ColourCells {
    std::vector<ColourCell> cells; // 32768 once a colour was counted, empty before
};

void count_colours(ColourCells& counted, std::span<const uint32_t> pixels);

// At most `most` (at least 1) colours standing for those counted, sorted ascending, without
// repeats; empty when nothing was counted.
std::vector<uint32_t> stand_in_colours(const ColourCells& counted, size_t most);

// The index of the colour of palette (not empty) nearest to colour, by the sum of the squared
// channel differences; the first of equally near ones.
size_t nearest_colour(std::span<const uint32_t> palette, uint32_t colour);
