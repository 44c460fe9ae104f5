// raster.h - scan conversion of one convex screen-space polygon into the frame buffer.
//
// Coordinates: the x and y of each ClipVertex are screen pixels (x right, y down = row index).
// A row k samples the polygon's edges at y = k exactly; edges are stepped in 16.16 fixed point
// (65536 = one pixel). A span covers columns floor(left x) up to but not including
// floor(right x); rows ceil(min y) to ceil(max y) - 1 are visited. Polygons whose vertices run
// clockwise on the screen produce empty spans and draw nothing.
//
// Frame: the fill writes only columns 0..width-1 of rows 0..height-1 of the frame it is given
// (frame.h), the colour 0x00RRGGBB unchanged.
// Ownership: the edge tables are locals of each fill; nothing survives between polygons, and the
// fill reads no process-wide state.
// Failure: no error is reported. Whatever polygon arrives (non-convex from rounding, non-finite
// or huge coordinates, counts outside 0..7), the fill never writes outside the frame buffer,
// never reads past a chain and always ends; rows and spans are clamped to the frame, and edges
// that would cover a negative number of rows count as covering none.
#pragma once

#include "render/frame.h"
#include "render/numeric.h"
#include "render/view.h"

#include <algorithm>
#include <array>
#include <cstdint>

// One polygon edge prepared for stepping down the screen. Plain and left uninitialised by
// default: the set-up fills every entry the fill reads, and zeroing the tables of every face
// cost more than setting up a small triangle's edges.
struct EdgeStep {
    int32_t x;     // 16.16 x at the current row (at the first row when built)
    int32_t y;     // first row of the edge
    int32_t lines; // rows still to step (rows covered when built)
    int32_t dx;    // 16.16 change of x per row
};

// The two chains of one polygon. The left chain is stored from the top edge down, the right
// chain from the bottom edge up; the cursors are indices into them. Only the entries below the
// counts are meaningful.
struct EdgeTables {
    std::array<EdgeStep, kMaxClipVertices> left_edges;
    int32_t left_edge_count = 0;
    std::array<EdgeStep, kMaxClipVertices> right_edges;
    int32_t right_edge_count = 0;
    int32_t left_cursor = 0;
    int32_t right_cursor = 0;
};

// A projected vertex together with the first row at or below it. The renderer makes one per mesh
// vertex, so the faces that share a vertex do not take its ceiling again.
struct ScreenPoint {
    float x = 0, y = 0; // screen pixels
    int32_t row = 0;    // ceil(y), saturated to int32
};

inline ScreenPoint screen_point(float x, float y) {
    return ScreenPoint{x, y, ceil_to_int32(double(y))};
}

// A screen point is small when both coordinates lie within 8192 pixels of the origin: its 16.16
// values and its row are then far from every limit, which small_triangle_fills relies on. Every
// point inside the view is small; NaN is not.
inline bool screen_coordinates_are_small(float x, float y) {
    constexpr float limit = 8192.0f;
    return x > -limit && x < limit && y > -limit && y < limit;
}

inline bool screen_point_is_small(const ScreenPoint& p) {
    return screen_coordinates_are_small(p.x, p.y);
}

// screen_point for small coordinates, where the ceiling needs no range checks: the truncation is
// exact and rounds toward zero, so only a positive fraction moves it up.
inline ScreenPoint small_screen_point(float x, float y) {
    const int32_t truncated = static_cast<int32_t>(y);
    return ScreenPoint{x, y, static_cast<float>(truncated) < y ? truncated + 1 : truncated};
}

// For three small points: false when filling the triangle a, b, c certainly writes no pixel,
// true when it may. Most faces of a dense mesh are smaller than a pixel, and this spares them
// the edge set-up.
[[gnu::always_inline]] inline bool small_triangle_fills(const ScreenPoint& a, const ScreenPoint& b,
                                                        const ScreenPoint& c) {
    // No row lies at or below the top vertex and above the bottom one.
    if (std::min({a.row, b.row, c.row}) == std::max({a.row, b.row, c.row})) return false;
    // Every 16.16 x the fill steps to lies within 2 units of the triangle's x range: the slope is
    // truncated toward zero, so each row's x only lags toward its edge's upper end; the start x
    // is truncated once; the double arithmetic is far finer than a unit. So when that range,
    // widened by 4 units, lies within one pixel column, every span starts and ends in that
    // column and is empty. The bias keeps the sums positive, so truncation is the floor.
    constexpr double bias = 1073741824.0; // 2^30, above any small x in 16.16
    const double low = double(std::min({a.x, b.x, c.x})) * 65536.0 - 4.0 + bias;
    const double high = double(std::max({a.x, b.x, c.x})) * 65536.0 + 4.0 + bias;
    return (int32_t(low) >> 16) != (int32_t(high) >> 16);
}

// Prepares the edge from upper to lower. Returns 1 and fills out when the edge covers at least
// one row, 0 (out untouched) otherwise.
int32_t setup_edge(const ClipVertex& upper, const ClipVertex& lower, EdgeStep& out);

// True when the polygon's vertices span at least one row boundary, i.e. a fill would step rows.
bool polygon_covers_scanline(const ClipPolygon& polygon);

// Builds both chains and cursors. Returns 1 when there is at least one row to step, else 0.
int32_t setup_polygon_edges(const ClipPolygon& polygon, EdgeTables& tables);

// The same tables and result as setup_polygon_edges for the polygon a, b, c, with the rows taken
// from the points instead of recomputed per edge.
int32_t setup_triangle_edges(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c,
                             EdgeTables& tables);

// For three small points (screen_point_is_small): 0 when filling the triangle a, b, c writes no
// pixel for certain (a triangle over one row whose span is empty, or one over no row), else 1
// with the very tables setup_triangle_edges gives.
int32_t setup_small_triangle_edges(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c,
                                   EdgeTables& tables);

// Steps a polygon set up by setup_polygon_edges or setup_triangle_edges down the screen and fills
// the rows from row_begin up to, not including, row_end (both clamped to the frame). Filling a
// polygon in bands of rows this way gives the pixels of one whole fill. The tables are consumed.
void fill_edge_rows(EdgeTables& tables, const Frame& frame, uint32_t colour, int32_t row_begin,
                    int32_t row_end);

// Most faces of a dense mesh that fill anything fill one row: their right chain is one edge over
// one row, and stepping the tables would fill just row left_edges[0].y, from the first edges' x.
inline bool fills_one_row(const EdgeTables& tables) {
    return tables.right_edge_count == 1 && tables.right_edges[0].lines == 1;
}

// The pixels such a face fills in a frame of width x height: columns begin..end-1 of row, none
// when begin >= end.
struct RowSpan {
    int32_t row, begin, end;
};

inline RowSpan one_row_span(const EdgeTables& tables, int32_t width, int32_t height) {
    const int32_t row = tables.left_edges[0].y;
    if (row < 0 || row >= height) return {0, 0, 0};
    return {row, std::max(tables.left_edges[0].x >> 16, 0),
            std::min(tables.right_edges[0].x >> 16, width)};
}

// fill_edge_rows over all rows, a face over one row filled at once.
[[gnu::always_inline]] inline void fill_set_up_face(EdgeTables& tables, const Frame& frame,
                                                    uint32_t colour) {
    if (!fills_one_row(tables)) {
        fill_edge_rows(tables, frame, colour, 0, INT32_MAX);
        return;
    }
    if (!frame_is_drawable(frame)) return;
    const RowSpan span = one_row_span(tables, frame.width, frame.height);
    uint32_t* const pixels = frame.pixels + size_t(span.row) * size_t(frame.stride);
    for (int32_t x = span.begin; x < span.end; ++x)
        pixels[x] = colour;
}

// fill_edge_rows for chains kept outside an EdgeTables, as the banded frame stores them: left
// holds left_count edges from the top down, right holds right_count edges from the bottom up,
// both counts at least 1, exactly as the set-up leaves its tables. Both chains are consumed.
void fill_edge_chains(EdgeStep* left, int32_t left_count, EdgeStep* right, int32_t right_count,
                      const Frame& frame, uint32_t colour, int32_t row_begin, int32_t row_end);

// Fills polygon with colour. Returns 1 when the polygon was stepped, 0 when it covers no row.
// A frame that is not drawable is left alone.
int32_t fill_polygon(const ClipPolygon& polygon, const Frame& frame, uint32_t colour);
