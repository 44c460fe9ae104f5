#include "tools/colour_cells.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kSide = 32; // cells per channel

size_t cell_of(uint32_t colour) {
    return size_t((colour >> 19 & 31) << 10 | (colour >> 11 & 31) << 5 | (colour >> 3 & 31));
}

size_t cell_at(const std::array<int, 3>& c) {
    return size_t(c[0] << 10 | c[1] << 5 | c[2]);
}

// Cells lo..hi (inclusive) of each channel, red, green, blue.
struct Box {
    std::array<int, 3> lo, hi;
    uint64_t pixels = 0;
};

template <class Visit> void each_cell(const Box& box, Visit visit) {
    std::array<int, 3> c;
    for (c[0] = box.lo[0]; c[0] <= box.hi[0]; ++c[0])
        for (c[1] = box.lo[1]; c[1] <= box.hi[1]; ++c[1])
            for (c[2] = box.lo[2]; c[2] <= box.hi[2]; ++c[2])
                visit(c);
}

// Shrinks box to the cells that hold pixels and counts them; false when it holds none.
bool fit_box(const std::vector<ColourCell>& cells, Box& box) {
    Box fitted{{kSide, kSide, kSide}, {-1, -1, -1}, 0};
    each_cell(box, [&](const std::array<int, 3>& c) {
        const uint64_t n = cells[cell_at(c)].pixels;
        if (n == 0) return;
        fitted.pixels += n;
        for (size_t k = 0; k < 3; ++k) {
            fitted.lo[k] = std::min(fitted.lo[k], c[k]);
            fitted.hi[k] = std::max(fitted.hi[k], c[k]);
        }
    });
    if (fitted.pixels == 0) return false;
    box = fitted;
    return true;
}

size_t longest_side(const Box& box) {
    size_t axis = 0;
    for (size_t k = 1; k < 3; ++k)
        if (box.hi[k] - box.lo[k] > box.hi[axis] - box.lo[axis]) axis = k;
    return axis;
}

// Halves box along its longest side where the pixels before the cut first reach half of its
// count, keeping at least one slice on each side.
void split(const std::vector<ColourCell>& cells, Box& box, Box& other) {
    const size_t axis = longest_side(box);
    std::vector<uint64_t> slices(size_t(box.hi[axis] - box.lo[axis] + 1), 0);
    each_cell(box, [&](const std::array<int, 3>& c) {
        slices[size_t(c[axis] - box.lo[axis])] += cells[cell_at(c)].pixels;
    });
    uint64_t before = 0;
    size_t cut = 0; // the last slice of the first half
    while (cut + 2 < slices.size() && 2 * (before + slices[cut]) < box.pixels)
        before += slices[cut++];
    other = box;
    box.hi[axis] = box.lo[axis] + int(cut);
    other.lo[axis] = box.hi[axis] + 1;
    fit_box(cells, box);
    fit_box(cells, other);
}

uint32_t mean_colour(const std::vector<ColourCell>& cells, const Box& box) {
    ColourCell sum;
    each_cell(box, [&](const std::array<int, 3>& c) {
        const ColourCell& cell = cells[cell_at(c)];
        sum.pixels += cell.pixels;
        sum.red += cell.red;
        sum.green += cell.green;
        sum.blue += cell.blue;
    });
    const auto mean = [&](uint64_t total) {
        return uint32_t((total + sum.pixels / 2) / sum.pixels);
    };
    return mean(sum.red) << 16 | mean(sum.green) << 8 | mean(sum.blue);
}

} // namespace

void count_colours(ColourCells& counted, std::span<const uint32_t> pixels) {
    if (counted.cells.empty()) counted.cells.resize(size_t(kSide) * kSide * kSide);
    for (const uint32_t pixel : pixels) {
        ColourCell& cell = counted.cells[cell_of(pixel)];
        ++cell.pixels;
        cell.red += pixel >> 16 & 0xFF;
        cell.green += pixel >> 8 & 0xFF;
        cell.blue += pixel & 0xFF;
    }
}

std::vector<uint32_t> stand_in_colours(const ColourCells& counted, size_t most) {
    const std::vector<ColourCell>& cells = counted.cells;
    std::vector<Box> boxes(1, Box{{0, 0, 0}, {kSide - 1, kSide - 1, kSide - 1}, 0});
    if (cells.empty() || !fit_box(cells, boxes[0])) return {};
    while (boxes.size() < std::max<size_t>(most, 1)) {
        // The box with most pixels that spans more than one cell (the first of equals).
        Box* widest = nullptr;
        for (Box& box : boxes)
            if (box.lo != box.hi && (widest == nullptr || box.pixels > widest->pixels))
                widest = &box;
        if (widest == nullptr) break;
        Box other;
        split(cells, *widest, other);
        boxes.push_back(other);
    }
    std::vector<uint32_t> colours;
    for (const Box& box : boxes)
        colours.push_back(mean_colour(cells, box));
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    return colours;
}

size_t nearest_colour(std::span<const uint32_t> palette, uint32_t colour) {
    const auto distance = [&](uint32_t other) {
        int32_t sum = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int32_t d = int32_t(colour >> shift & 0xFF) - int32_t(other >> shift & 0xFF);
            sum += d * d;
        }
        return sum;
    };
    size_t best = 0;
    int32_t best_distance = distance(palette[0]);
    for (size_t i = 1; i < palette.size(); ++i)
        if (const int32_t d = distance(palette[i]); d < best_distance) {
            best = i;
            best_distance = d;
        }
    return best;
}
