#include "render/numeric.h"
#include "render/raster.h"
#include "render/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kInk = 0x00123456;

ClipPolygon polygon(std::initializer_list<std::pair<float, float>> points) {
    ClipPolygon p;
    for (const auto& [x, y] : points) {
        p.vertices[size_t(p.count)].x = x;
        p.vertices[size_t(p.count)].y = y;
        ++p.count;
    }
    return p;
}

// Both chains of two edge tables, edge by edge.
::testing::AssertionResult same_edges(const EdgeTables& got, const EdgeTables& want) {
    auto same_chain = [](const auto& a, const auto& b, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            const EdgeStep &g = a[size_t(i)], &w = b[size_t(i)];
            if (!(g.x == w.x && g.y == w.y && g.lines == w.lines && g.dx == w.dx)) return false;
        }
        return true;
    };
    if (got.left_edge_count != want.left_edge_count ||
        got.right_edge_count != want.right_edge_count)
        return ::testing::AssertionFailure()
               << "edge counts " << got.left_edge_count << "+" << got.right_edge_count
               << ", expected " << want.left_edge_count << "+" << want.right_edge_count;
    if (!same_chain(got.left_edges, want.left_edges, want.left_edge_count))
        return ::testing::AssertionFailure() << "left chains differ";
    if (!same_chain(got.right_edges, want.right_edges, want.right_edge_count))
        return ::testing::AssertionFailure() << "right chains differ";
    return ::testing::AssertionSuccess();
}

class Raster : public ::testing::Test {
  protected:
    // No view set-up: the fill takes everything it needs from the frame record.
    void SetUp() override { frame.assign(512 * 384, 0u); }
    Frame whole() { return make_frame(frame, 512, 384); }
    uint32_t pixel(int x, int y) const { return frame[size_t(y) * 512 + size_t(x)]; }
    int inked() const {
        int n = 0;
        for (uint32_t p : frame)
            n += (p == kInk);
        return n;
    }
    // Columns [from, to) of row y inked and the neighbours on both sides not.
    void expect_span(int y, int from, int to) const {
        for (int x = from; x < to; ++x)
            EXPECT_EQ(pixel(x, y), kInk) << "row " << y << " col " << x;
        if (from > 0) {
            EXPECT_EQ(pixel(from - 1, y), 0u) << "row " << y << " col " << from - 1;
        }
        if (to < 512) {
            EXPECT_EQ(pixel(to, y), 0u) << "row " << y << " col " << to;
        }
    }
    std::vector<uint32_t> frame;
};

TEST_F(Raster, WorkedTriangleEdgesAndSpans) {
    const ClipPolygon tri = polygon({{10, 2}, {2, 6}, {18, 6}});
    EdgeTables t;
    ASSERT_EQ(setup_polygon_edges(tri, t), 1);
    ASSERT_EQ(t.left_edge_count, 1);
    EXPECT_EQ(t.left_edges[0].x, 655360);
    EXPECT_EQ(t.left_edges[0].y, 2);
    EXPECT_EQ(t.left_edges[0].lines, 4);
    EXPECT_EQ(t.left_edges[0].dx, -131072);
    ASSERT_EQ(t.right_edge_count, 1); // the horizontal bottom edge is not stored
    EXPECT_EQ(t.right_edges[0].x, 655360);
    EXPECT_EQ(t.right_edges[0].lines, 4);
    EXPECT_EQ(t.right_edges[0].dx, 131072);

    EXPECT_EQ(fill_polygon(tri, whole(), kInk), 1);
    expect_span(3, 8, 12);
    expect_span(4, 6, 14);
    expect_span(5, 4, 16);
    EXPECT_EQ(inked(), 4 + 8 + 12); // rows 2 and 6 get nothing
}

TEST_F(Raster, ClockwiseWindingAndTwoVertexPolygonsDrawNothingButAreStepped) {
    EXPECT_EQ(fill_polygon(polygon({{10, 2}, {18, 6}, {2, 6}}), whole(), kInk), 1);
    EXPECT_EQ(fill_polygon(polygon({{50, 40}, {60, 80}}), whole(), kInk), 1);
    EXPECT_EQ(inked(), 0);
}

TEST_F(Raster, PolygonsBetweenTwoRowsAreSkipped) {
    EXPECT_EQ(fill_polygon(polygon({{10, 10.2f}, {5, 10.9f}, {30, 10.5f}}), whole(), kInk), 0);
    EXPECT_EQ(fill_polygon(polygon({{10, 10}}), whole(), kInk), 0);
    EXPECT_EQ(fill_polygon(ClipPolygon{}, whole(), kInk), 0);
    EXPECT_EQ(inked(), 0);
}

TEST_F(Raster, RowsAreSampledAtIntegralY) {
    // Top exactly on row 10 draws it; bottom exactly on row 20 leaves it.
    EXPECT_EQ(fill_polygon(polygon({{100, 10}, {100, 20}, {120, 20}, {120, 10}}), whole(), kInk),
              1);
    expect_span(10, 100, 120);
    expect_span(19, 100, 120);
    EXPECT_EQ(pixel(110, 9), 0u);
    EXPECT_EQ(pixel(110, 20), 0u);
    EXPECT_EQ(inked(), 200);
}

TEST_F(Raster, SpansRunFromFloorOfLeftToBeforeFloorOfRight) {
    fill_polygon(polygon({{10.9f, 30}, {10.9f, 31}, {20.0f, 31}, {20.0f, 30}}), whole(), kInk);
    expect_span(30, 10, 20);
    EXPECT_EQ(inked(), 10);
}

// Spans of every length from every alignment: wide stores and the pixels left after them must
// cover exactly the span, and the frame's last column too.
TEST_F(Raster, SpansOfEveryLengthAndAlignmentAreExact) {
    for (int from : {0, 1, 2, 3, 5, 7, 490, 497})
        for (int width = 0; from + width <= 512 && width <= 22; ++width) {
            std::fill(frame.begin(), frame.end(), 0u);
            const float l = float(from), r = float(from + width);
            fill_polygon(polygon({{l, 30}, {l, 31}, {r, 31}, {r, 30}}), whole(), kInk);
            expect_span(30, from, from + width);
            ASSERT_EQ(inked(), width) << "from " << from << " width " << width;
        }
}

TEST_F(Raster, SquareTiesGoToTheLowestIndex) {
    const ClipPolygon square = polygon({{0, 0}, {0, 10}, {10, 10}, {10, 0}});
    EdgeTables t;
    ASSERT_EQ(setup_polygon_edges(square, t), 1);
    EXPECT_EQ(t.left_edge_count, 1);
    EXPECT_EQ(t.right_edge_count, 1);
    EXPECT_EQ(t.right_edges[0].x, 10 << 16);
    EXPECT_EQ(fill_polygon(square, whole(), kInk), 1);
    for (int y = 0; y < 10; ++y)
        expect_span(y, 0, 10);
    EXPECT_EQ(inked(), 100);

    // The square cannot tell which of two tied vertices was taken, because the horizontal edge
    // between them is dropped either way. Ties that are not neighbours show it in the tables.
    // Top tie between vertices 0 and 2: from vertex 0 the left chain is 0->1, (1->2 runs
    // upwards and covers no row), 2->3; from vertex 2 it would be 2->3 alone.
    ASSERT_EQ(setup_polygon_edges(polygon({{0, 0}, {5, 10}, {10, 0}, {5, 20}}), t), 1);
    EXPECT_EQ(t.left_edge_count, 2);
    EXPECT_EQ(t.left_edges[1].x, 10 << 16);
    EXPECT_EQ(t.right_edge_count, 1);
    // Bottom tie between vertices 0 and 2: the left chain from the top (vertex 1) ends at
    // vertex 2 only when vertex 2 is not the bottom.
    ASSERT_EQ(setup_polygon_edges(polygon({{0, 20}, {5, 0}, {10, 20}, {5, 10}}), t), 1);
    EXPECT_EQ(t.left_edge_count, 2);
    EXPECT_EQ(t.left_edges[0].x, 5 << 16);
    EXPECT_EQ(t.right_edge_count, 1);
}

TEST_F(Raster, SlopesUseTheTruncatedStepForThePrestep) {
    // dx = trunc(1/3 * 65536) = 21845; x at row 1 = trunc(0.5 * 21845 + 0) = 10922.
    EdgeStep e;
    ASSERT_EQ(setup_edge(polygon({{0, 0.5f}}).vertices[0], polygon({{1, 3.5f}}).vertices[0], e), 1);
    EXPECT_EQ(e.dx, 21845);
    EXPECT_EQ(e.x, 10922);
    EXPECT_EQ(e.y, 1);
    EXPECT_EQ(e.lines, 3);
    // Here the exact slope would pre-step to x = 65536 (pixel 1); the truncated step gives
    // trunc(0.75 * 87381) = 65535, still in pixel 0.
    ASSERT_EQ(setup_edge(polygon({{0, 0.25f}}).vertices[0], polygon({{2, 1.75f}}).vertices[0], e),
              1);
    EXPECT_EQ(e.dx, 87381);
    EXPECT_EQ(e.x, 65535);
    EXPECT_EQ(e.y, 1);
    EXPECT_EQ(e.lines, 1);
    EdgeStep untouched{1, 2, 3, 4};
    EXPECT_EQ(
        setup_edge(polygon({{0, 4.2f}}).vertices[0], polygon({{9, 4.8f}}).vertices[0], untouched),
        0);
    EXPECT_EQ(untouched.lines, 3);
}

// Input the clipper never produces, but which must neither write outside the frame, read past
// an edge table, loop for ever nor hit undefined behaviour (the asan preset checks the latter).
class HostileRaster : public Raster {
  protected:
    void fill_and_check(const ClipPolygon& p) {
        frame.assign(512 * 384 + kGuard, 0u);
        fill_polygon(p, whole(), kInk);
        for (size_t i = 512 * 384; i < frame.size(); ++i)
            ASSERT_EQ(frame[i], 0u) << "guard " << i;
    }
    static constexpr size_t kGuard = 1024;
};

TEST_F(HostileRaster, HugeAndNonFiniteCoordinates) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    fill_and_check(polygon({{-1e30f, -1e30f}, {1e30f, 1e30f}, {1e30f, -1e30f}}));
    fill_and_check(polygon({{-inf, 0}, {inf, 300}, {0, -inf}}));
    fill_and_check(polygon({{nan, 10}, {100, nan}, {50, 200}, {nan, nan}}));
    fill_and_check(polygon({{-5000, -60000}, {-5000, 60000}, {9000, 60000}, {9000, -60000}}));
    fill_and_check(polygon({{1e9f, 70000}, {2e9f, 65537}, {3, 1e7f}}));
}

TEST_F(HostileRaster, CoveringPolygonsAreClippedToTheFrame) {
    fill_and_check(polygon({{-100, -100}, {-100, 1000}, {1000, 1000}, {1000, -100}}));
    EXPECT_EQ(inked(), 512 * 384);
}

TEST_F(HostileRaster, PolygonsStartingAboveTheFrameKeepTheirShape) {
    // Right edge x = y + 100 from row -100 on: rows above the frame are passed over, the rest
    // are drawn exactly as if every row had been stepped.
    fill_and_check(polygon({{0, -100}, {0, 200}, {300, 200}}));
    expect_span(0, 0, 100);
    expect_span(50, 0, 150);
    expect_span(199, 0, 299);
    EXPECT_EQ(pixel(0, 200), 0u);
    // Rows 0..199 hold 100..299 pixels.
    EXPECT_EQ(inked(), (100 + 299) * 200 / 2);
    // A polygon that ends above the frame draws nothing.
    fill_and_check(polygon({{0, -300}, {0, -10}, {300, -10}}));
    EXPECT_EQ(inked(), 0);
}

TEST_F(HostileRaster, NearlyHorizontalEdgeOverflowsTheSlope) {
    // The slope of a clipped edge lying along row 2 is far beyond 16.16 range.
    fill_and_check(polygon({{2, 2.0f}, {2, 2.0000002f}, {510, 382}, {510, 2}}));
    fill_and_check(polygon({{2, 381.99997f}, {2, 382}, {510, 382.00003f}}));
    fill_and_check(polygon({{-3e9f, 1.5f}, {3e9f, 2.5f}, {3e9f, 383.5f}}));
}

TEST_F(HostileRaster, NonConvexAndCorruptPolygons) {
    // Bow-tie: an edge runs upwards on the left chain, chains of different lengths.
    fill_and_check(polygon({{10, 10}, {100, 100}, {100, 10}, {10, 100}}));
    fill_and_check(
        polygon({{50, 10}, {10, 200}, {60, 50}, {20, 300}, {90, 20}, {5, 380}, {400, 1}}));
    ClipPolygon corrupt = polygon({{10, 10}, {100, 100}, {5, 50}});
    corrupt.count = 500;
    fill_and_check(corrupt);
    corrupt.count = -2;
    fill_and_check(corrupt);
}

TEST_F(HostileRaster, FrameSmallerThanTheViewIsNotOverrun) {
    std::vector<uint32_t> small(512 * 10, 0u);
    EXPECT_EQ(
        fill_polygon(polygon({{0, 0}, {0, 300}, {300, 300}}), make_frame(small, 512, 10), kInk), 1);
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(small[size_t(9 * 512 + x)], kInk);
    // A buffer too small for the size asked for gives a frame that takes nothing.
    std::vector<uint32_t> short_buffer(512 * 383, 0u);
    EXPECT_FALSE(frame_is_drawable(make_frame(short_buffer, 512, 384)));
    EXPECT_EQ(fill_polygon(polygon({{0, 0}, {0, 300}, {300, 300}}),
                           make_frame(short_buffer, 512, 384), kInk),
              1);
    EXPECT_EQ(std::count(short_buffer.begin(), short_buffer.end(), kInk), 0);
}

TEST_F(Raster, AFrameInsideALargerPictureIsDrawnWithinItsOwnRectangle) {
    // A 100x50 frame at column 30, row 20 of the 512-pixel-wide picture: a polygon covering far
    // more than the frame fills exactly its rectangle, with the picture's rows as its stride.
    Frame window{frame.data() + 20 * 512 + 30, 100, 50, 512};
    EXPECT_EQ(
        fill_polygon(polygon({{-500, -500}, {-500, 900}, {900, 900}, {900, -500}}), window, kInk),
        1);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(pixel(x, y) == kInk, x >= 30 && x < 130 && y >= 20 && y < 70)
                << "col " << x << " row " << y;
    // Rows are sampled in the frame's own coordinates: y = 10.5..12.5 is frame rows 11 and 12.
    frame.assign(512 * 384, 0u);
    fill_polygon(polygon({{2, 10.5f}, {2, 12.5f}, {6, 12.5f}, {6, 10.5f}}), window, kInk);
    EXPECT_EQ(inked(), 8);
    EXPECT_EQ(pixel(32, 31), kInk);
    EXPECT_EQ(pixel(35, 32), kInk);
}

// The per-mesh shortcuts must reproduce the plain polygon path exactly: the ceiling without the
// library call, the triangle set-up from cached rows, and a fill split into bands of rows.
TEST(RasterShortcuts, CeilingMatchesTheLibraryCeiling) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v :
         {0.0,           -0.0,         -0.5,         0.5,           1.0,           -1.0,
          2.5,           -2.5,         1e-300,       -1e-300,       382.00003,     2147483646.5,
          2147483647.0,  2147483647.5, 2147483648.0, -2147483647.5, -2147483648.0, -2147483648.5,
          -2147483649.0, 1e30,         -1e30,        inf,           -inf,          nan})
        EXPECT_EQ(ceil_to_int32(v), saturate_to_int32(std::ceil(v))) << v;
    for (float y : {-8191.5f, -2.0f, -1.5f, -0.5f, -1e-30f, -0.0f, 0.0f, 1e-30f, 0.5f, 1.0f,
                    381.99997f, 8191.5f})
        EXPECT_EQ(small_screen_point(3, y).row, screen_point(3, y).row) << y;
}

class TriangleShortcut : public Raster {
  protected:
    std::vector<uint32_t> whole_fill(const ClipPolygon& p) {
        std::vector<uint32_t> f(512 * 384, 0u);
        fill_polygon(p, make_frame(f, 512, 384), kInk);
        return f;
    }
};

TEST_F(TriangleShortcut, SetUpAndBandedFillMatchThePolygonPath) {
    std::mt19937 rng(7);
    // Coordinates snapped to quarters and whole pixels give ties in y and exact-row vertices;
    // a few reach beyond the range the row-based set-up handles itself.
    std::uniform_real_distribution<float> coord(-40.0f, 560.0f);
    std::uniform_int_distribution<int> kind(0, 9);
    auto pick = [&]() {
        const int k = kind(rng);
        float x = coord(rng), y = coord(rng);
        if (k < 3) y = std::round(y * 4.0f) / 4.0f;
        if (k == 3) y = std::round(y);
        if (k == 4) y = y * 200.0f;
        return screen_point(x, y);
    };
    for (int n = 0; n < 3000; ++n) {
        ScreenPoint p[3] = {pick(), pick(), pick()};
        if (n % 7 == 0) p[2] = screen_point(p[2].x, p[0].y);
        ClipPolygon q = polygon({{p[0].x, p[0].y}, {p[1].x, p[1].y}, {p[2].x, p[2].y}});
        EdgeTables want, got;
        const int32_t expected = setup_polygon_edges(q, want);
        ASSERT_EQ(setup_triangle_edges(p[0], p[1], p[2], got), expected) << n;
        if (expected == 0) continue;
        ASSERT_TRUE(same_edges(got, want)) << n;
        // Bands of 5 rows, some starting above the frame, one running past its bottom.
        frame.assign(512 * 384, 0u);
        for (int32_t band = -10; band < 400; band += 5) {
            EdgeTables copy = got;
            fill_edge_rows(copy, whole(), kInk, band, band + 5);
        }
        ASSERT_EQ(frame, whole_fill(q)) << n;
    }
}

// Triangles of a pixel or two, their corners on and near whole and half pixels: the small-triangle
// shortcuts may only refuse a triangle whose fill writes nothing, and otherwise set up the very
// tables of the general triangle set-up.
TEST_F(TriangleShortcut, SmallTrianglesAreRefusedOnlyWhenTheyDrawNothing) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> corner(4, 380), halves(-5, 5), nudge(-2, 2);
    auto near = [&](float base) {
        float v = base + float(halves(rng)) * 0.5f;
        const int k = nudge(rng); // a unit or two in the last place either way, or none
        for (int i = 0; i < std::abs(k); ++i)
            v = std::nextafter(v, k > 0 ? 1e9f : -1e9f);
        return v;
    };
    // Every refused triangle is filled into the one frame, which must stay empty.
    frame.assign(512 * 384, 0u);
    int refused = 0, kept = 0;
    for (int n = 0; n < 20000; ++n) {
        const float x = float(corner(rng)), y = float(corner(rng));
        ScreenPoint p[3];
        for (ScreenPoint& q : p)
            q = screen_point(near(x), near(y));
        ASSERT_TRUE(screen_point_is_small(p[0]));
        const ClipPolygon q = polygon({{p[0].x, p[0].y}, {p[1].x, p[1].y}, {p[2].x, p[2].y}});
        EdgeTables want, got;
        const bool fills = small_triangle_fills(p[0], p[1], p[2]);
        if (!fills || !setup_small_triangle_edges(p[0], p[1], p[2], got)) {
            ++refused;
            fill_polygon(q, whole(), kInk);
            continue;
        }
        ++kept;
        ASSERT_EQ(setup_triangle_edges(p[0], p[1], p[2], want), 1) << n;
        ASSERT_TRUE(same_edges(got, want)) << n;
    }
    EXPECT_EQ(inked(), 0);
    EXPECT_GT(refused, 2000);
    EXPECT_GT(kept, 2000);
}

} // namespace
