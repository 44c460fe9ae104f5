#include "render/raster.h"

#include "render/numeric.h"

#include <algorithm>
#include <cmath>

namespace {

// The sentinels bound the y range the fill is meant for; the clipper keeps every vertex well
// inside it.
constexpr float kTopSentinel = 65536.0f;
constexpr float kBottomSentinel = -65536.0f;

struct Extremes {
    int32_t top = 0;
    int32_t bottom = 0;
    float min_y = kTopSentinel;
    float max_y = kBottomSentinel;
};

int32_t vertex_count(const ClipPolygon& polygon) {
    return std::clamp(polygon.count, 0, kMaxClipVertices);
}

// Ties go to the lowest index: only a strictly smaller or larger y takes over.
Extremes find_extremes(const ClipPolygon& polygon) {
    Extremes e;
    const int32_t n = vertex_count(polygon);
    for (int32_t i = 0; i < n; ++i) {
        const float y = polygon.vertices[size_t(i)].y;
        if (y < e.min_y) {
            e.min_y = y;
            e.top = i;
        }
        if (y > e.max_y) {
            e.max_y = y;
            e.bottom = i;
        }
    }
    return e;
}

bool covers_rows(const Extremes& e) {
    return saturate_to_int32(std::ceil(double(e.min_y))) <
           saturate_to_int32(std::ceil(double(e.max_y)));
}

// 16.16 stepping wraps instead of overflowing: hostile slopes must not be undefined behaviour,
// and for well-formed edges the sum is the same.
int32_t wrapping_add(int32_t a, uint32_t b) {
    return int32_t(uint32_t(a) + b);
}

// A chain being stepped row by row, walking its table in one direction.
struct Chain {
    std::array<EdgeStep, kMaxClipVertices>& edges;
    int32_t count;
    int32_t index;
    int32_t direction;
    int32_t x;

    EdgeStep& current() { return edges[size_t(index)]; }

    // Moves to the next edge; false when the chain has none left.
    bool next_edge() {
        const int32_t next = index + direction;
        if (next < 0 || next >= count) return false;
        index = next;
        x = current().x;
        return true;
    }

    // One row down. False when the chain ran out.
    bool step() {
        EdgeStep& e = current();
        if (--e.lines == 0) return next_edge();
        x = wrapping_add(x, uint32_t(e.dx));
        return true;
    }

    // The same as rows calls of step(), in time proportional to the number of edges.
    bool skip(int64_t rows) {
        while (rows > 0) {
            EdgeStep& e = current();
            if (rows < e.lines) {
                e.lines -= int32_t(rows);
                x = wrapping_add(x, uint32_t(e.dx) * uint32_t(rows));
                return true;
            }
            rows -= e.lines;
            e.lines = 0;
            if (!next_edge()) return false;
        }
        return true;
    }
};

void fill_span(uint32_t* row, int32_t width, int32_t left_x, int32_t right_x, uint32_t colour) {
    const int32_t l = std::max(left_x >> 16, 0);
    const int32_t r = std::min(right_x >> 16, width);
    if (l < r) std::fill(row + l, row + r, colour);
}

} // namespace

int32_t setup_edge(const ClipVertex& upper, const ClipVertex& lower, EdgeStep& out) {
    const float first = static_cast<float>(std::ceil(double(upper.y)));
    const int32_t lines = saturate_to_int32(std::ceil(double(lower.y)) - double(first));
    if (lines <= 0) return 0;
    const int32_t dx = saturate_to_int32((double(lower.x) - double(upper.x)) /
                                         (double(lower.y) - double(upper.y)) * 65536.0);
    const int32_t x = saturate_to_int32((double(first) - double(upper.y)) * double(dx) +
                                        double(upper.x) * 65536.0);
    out.x = x;
    out.y = saturate_to_int32(double(first));
    out.lines = lines;
    out.dx = dx;
    return 1;
}

bool polygon_covers_scanline(const ClipPolygon& polygon) {
    return covers_rows(find_extremes(polygon));
}

int32_t setup_polygon_edges(const ClipPolygon& polygon, EdgeTables& tables) {
    tables.left_edge_count = 0;
    tables.right_edge_count = 0;
    const Extremes e = find_extremes(polygon);
    if (!covers_rows(e)) return 0;

    const int32_t n = vertex_count(polygon);
    const auto& v = polygon.vertices;
    for (int32_t i = e.top; i != e.bottom; i = (i + 1) % n) {
        const int32_t next = (i + 1) % n;
        if (setup_edge(v[size_t(i)], v[size_t(next)],
                       tables.left_edges[size_t(tables.left_edge_count)]))
            ++tables.left_edge_count;
    }
    for (int32_t j = e.bottom; j != e.top; j = (j + 1) % n) {
        const int32_t next = (j + 1) % n;
        if (setup_edge(v[size_t(next)], v[size_t(j)],
                       tables.right_edges[size_t(tables.right_edge_count)]))
            ++tables.right_edge_count;
    }
    // A convex polygon always has rows on both chains; damaged input may not.
    if (tables.left_edge_count == 0 || tables.right_edge_count == 0) return 0;
    tables.left_cursor = 0;
    tables.right_cursor = tables.right_edge_count - 1;
    return 1;
}

int32_t fill_polygon(const ClipPolygon& polygon, const Frame& frame, uint32_t colour) {
    EdgeTables tables;
    if (!setup_polygon_edges(polygon, tables)) return 0;

    // An undrawable frame still steps the polygon (the result says whether it covered a row),
    // it just has no rows to write.
    const int32_t rows = frame_is_drawable(frame) ? frame.height : 0;

    Chain left{tables.left_edges, tables.left_edge_count, tables.left_cursor, +1, 0};
    Chain right{tables.right_edges, tables.right_edge_count, tables.right_cursor, -1, 0};
    left.x = left.current().x;
    right.x = right.current().x;

    int64_t row = tables.left_edges[0].y;
    if (row < 0) {
        // Rows above the buffer draw nothing; step past them without a loop per row.
        if (!right.skip(-row) || !left.skip(-row)) return 1;
        row = 0;
    }
    // The right chain ends the polygon; the left one only ends early on non-convex input.
    for (; row < rows; ++row) {
        fill_span(frame.pixels + size_t(row) * size_t(frame.stride), frame.width, left.x, right.x,
                  colour);
        if (!right.step() || !left.step()) return 1;
    }
    return 1;
}
