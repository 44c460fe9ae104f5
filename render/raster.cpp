#include "render/raster.h"

#include "render/numeric.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    EdgeStep* edges;
    int32_t count;
    int32_t index;
    int32_t direction;
    int32_t x;

    EdgeStep& current() { return edges[index]; }

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

// Spans are where a frame of large faces spends its time. GCC at -O2 stores them one pixel at a
// time, so where SSE2 is there (every x86-64, and the 32-bit Windows build) four pixels go per
// store; the pixels written are the same either way.
void fill_pixels(uint32_t* p, uint32_t* end, uint32_t colour) {
#if defined(__SSE2__)
    const __m128i four = _mm_set1_epi32(static_cast<int>(colour));
    for (; end - p >= 8; p += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), four);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), four);
    }
    if (end - p >= 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), four);
        p += 4;
    }
#endif
    for (; p < end; ++p)
        *p = colour;
}

void fill_span(uint32_t* row, int32_t width, int32_t left_x, int32_t right_x, uint32_t colour) {
    const int32_t l = std::max(left_x >> 16, 0);
    const int32_t r = std::min(right_x >> 16, width);
    if (l < r) fill_pixels(row + l, row + r, colour);
}

// Inside this range the ceiling of a y is an integral float and the sentinels of find_extremes
// never win, so the row-based triangle set-up is exact.
bool row_based_setup_is_exact(const ScreenPoint& p) {
    return p.y > kBottomSentinel && p.y < kTopSentinel;
}

// The edge setup_edge makes from upper to lower, with the ceilings already taken, for an edge
// that covers at least one row. Always inlined, like order_triangle: each runs for every face
// that reaches the fill, and GCC otherwise calls them (3% of a frame of small faces).
[[gnu::always_inline]] inline EdgeStep edge_over_rows(const ScreenPoint& upper,
                                                      const ScreenPoint& lower) {
    EdgeStep e;
    e.dx = saturate_to_int32((double(lower.x) - double(upper.x)) /
                             (double(lower.y) - double(upper.y)) * 65536.0);
    e.x = saturate_to_int32((double(upper.row) - double(upper.y)) * double(e.dx) +
                            double(upper.x) * 65536.0);
    e.y = upper.row;
    e.lines = lower.row - upper.row;
    return e;
}

// setup_edge with the ceilings already taken.
[[gnu::always_inline]] inline int32_t setup_edge_rows(const ScreenPoint& upper,
                                                      const ScreenPoint& lower, EdgeStep& out) {
    if (lower.row - upper.row <= 0) return 0;
    out = edge_over_rows(upper, lower);
    return 1;
}

ClipPolygon triangle_polygon(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c) {
    ClipPolygon polygon;
    polygon.count = 3;
    size_t i = 0;
    for (const ScreenPoint* p : {&a, &b, &c}) {
        polygon.vertices[i].x = p->x;
        polygon.vertices[i].y = p->y;
        ++i;
    }
    return polygon;
}

// A triangle's vertices by height, as find_extremes picks them (ties go to the lowest index), and
// which chain the third one lies on.
struct OrderedTriangle {
    const ScreenPoint* top;
    const ScreenPoint* middle;
    const ScreenPoint* bottom;
    bool middle_on_left; // the middle vertex follows the top one in index order
};

[[gnu::always_inline]] inline OrderedTriangle
order_triangle(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c) {
    const ScreenPoint* v[3] = {&a, &b, &c};
    int32_t top = 0, bottom = 0;
    for (int32_t i = 1; i < 3; ++i) {
        if (v[i]->y < v[top]->y) top = i;
        if (v[i]->y > v[bottom]->y) bottom = i;
    }
    // With equal extremes top and bottom are both 0; the middle is then 1 or 2 and covers no row.
    const int32_t middle = top == bottom ? 1 + (top == 1) : 3 - top - bottom;
    return {v[top], v[middle], v[bottom], middle == (top == 2 ? 0 : top + 1)};
}

void clear_tables(EdgeTables& tables) {
    tables.left_edge_count = 0;
    tables.right_edge_count = 0;
}

// Both chains of a triangle whose rows lie within the exact range, each collected in the order
// setup_polygon_edges walks it.
int32_t setup_ordered_triangle(const OrderedTriangle& t, EdgeTables& tables) {
    clear_tables(tables);
    if (t.top->row >= t.bottom->row) return 0;
    // The rows differ, so top and bottom are two different vertices.
    if (t.middle_on_left) {
        tables.left_edge_count += setup_edge_rows(*t.top, *t.middle, tables.left_edges[0]);
        tables.left_edge_count += setup_edge_rows(
            *t.middle, *t.bottom, tables.left_edges[size_t(tables.left_edge_count)]);
        tables.right_edge_count = setup_edge_rows(*t.top, *t.bottom, tables.right_edges[0]);
    } else {
        tables.left_edge_count = setup_edge_rows(*t.top, *t.bottom, tables.left_edges[0]);
        tables.right_edge_count += setup_edge_rows(*t.middle, *t.bottom, tables.right_edges[0]);
        tables.right_edge_count +=
            setup_edge_rows(*t.top, *t.middle, tables.right_edges[size_t(tables.right_edge_count)]);
    }
    if (tables.left_edge_count == 0 || tables.right_edge_count == 0) return 0;
    tables.left_cursor = 0;
    tables.right_cursor = tables.right_edge_count - 1;
    return 1;
}

// A triangle over exactly one row has one edge on each chain across it: the long edge from top
// to bottom, and the upper short edge when the middle vertex lies below the row, else the lower
// one. The other short edge covers no row. Its one span is known at once, and when it is empty
// the triangle draws nothing.
int32_t setup_one_row_triangle(const OrderedTriangle& t, EdgeTables& tables) {
    clear_tables(tables);
    // Each edge is made in its place in the tables: made aside and copied in, it is read back
    // whole from several narrow stores, which stalls the processor.
    EdgeStep& left = tables.left_edges[0];
    EdgeStep& right = tables.right_edges[0];
    EdgeStep& long_edge = t.middle_on_left ? right : left;
    EdgeStep& short_edge = t.middle_on_left ? left : right;
    long_edge = edge_over_rows(*t.top, *t.bottom);
    short_edge = t.middle->row > t.top->row ? edge_over_rows(*t.top, *t.middle)
                                            : edge_over_rows(*t.middle, *t.bottom);
    if ((left.x >> 16) >= (right.x >> 16)) return 0;
    tables.left_edge_count = 1;
    tables.right_edge_count = 1;
    tables.left_cursor = 0;
    tables.right_cursor = 0;
    return 1;
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

int32_t setup_triangle_edges(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c,
                             EdgeTables& tables) {
    if (!row_based_setup_is_exact(a) || !row_based_setup_is_exact(b) ||
        !row_based_setup_is_exact(c))
        return setup_polygon_edges(triangle_polygon(a, b, c), tables);
    return setup_ordered_triangle(order_triangle(a, b, c), tables);
}

int32_t setup_small_triangle_edges(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c,
                                   EdgeTables& tables) {
    const OrderedTriangle t = order_triangle(a, b, c);
    if (t.bottom->row - t.top->row == 1) return setup_one_row_triangle(t, tables);
    return setup_ordered_triangle(t, tables);
}

void fill_edge_rows(EdgeTables& tables, const Frame& frame, uint32_t colour, int32_t row_begin,
                    int32_t row_end) {
    fill_edge_chains(tables.left_edges.data(), tables.left_edge_count, tables.right_edges.data(),
                     tables.right_edge_count, frame, colour, row_begin, row_end);
}

void fill_edge_chains(EdgeStep* left_edges, int32_t left_count, EdgeStep* right_edges,
                      int32_t right_count, const Frame& frame, uint32_t colour, int32_t row_begin,
                      int32_t row_end) {
    // An undrawable frame has no rows to write.
    const int32_t rows = frame_is_drawable(frame) ? frame.height : 0;
    const int64_t first = std::max(row_begin, 0);
    const int64_t end = std::min(row_end, rows);

    Chain left{left_edges, left_count, 0, +1, 0};
    Chain right{right_edges, right_count, right_count - 1, -1, 0};
    left.x = left.current().x;
    right.x = right.current().x;

    int64_t row = left_edges[0].y;
    if (row >= end) return;
    if (row < first) {
        // Rows before the first wanted one draw nothing; step past them without a loop per row.
        if (!right.skip(first - row) || !left.skip(first - row)) return;
        row = first;
    }
    // The right chain ends the polygon; the left one only ends early on non-convex input.
    for (; row < end; ++row) {
        fill_span(frame.pixels + size_t(row) * size_t(frame.stride), frame.width, left.x, right.x,
                  colour);
        if (!right.step() || !left.step()) return;
    }
}

int32_t fill_polygon(const ClipPolygon& polygon, const Frame& frame, uint32_t colour) {
    EdgeTables tables;
    if (!setup_polygon_edges(polygon, tables)) return 0;
    fill_edge_rows(tables, frame, colour, 0, INT32_MAX);
    return 1;
}
