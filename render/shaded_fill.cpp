#include "render/shaded_fill.h"

#include "render/numeric.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

bool finite_vertex(const ShadedVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.inv_z) &&
           std::isfinite(v.r) && std::isfinite(v.g) && std::isfinite(v.b);
}

// The first pixel whose centre lies at or beyond coordinate p (a row for y, a column for x).
int32_t first_centre_at_or_after(double p) {
    return ceil_to_int32(p - 0.5);
}

// How one value changes across the screen: value(x, y) = at0 + dx * (x - x0) + dy * (y - y0).
struct Gradient {
    double at0, dx, dy;
};

// A channel along one row: its values at the first and last pixel of the span, clamped to
// 0..255, in 16.16 fixed point. The channel is linear along the row, so clamping the two ends
// keeps every pixel between them in range too.
struct ChannelStep {
    int32_t value, step;
};

ChannelStep channel_along_row(double first, double last, int32_t pixels) {
    const double a = std::clamp(first, 0.0, 255.0) * 65536.0;
    const double b = std::clamp(last, 0.0, 255.0) * 65536.0;
    return {int32_t(a), pixels > 1 ? int32_t((b - a) / (pixels - 1)) : 0};
}

} // namespace

void fill_shaded_triangle(const ShadedTriangle& triangle, const DepthFrame& target) {
    const Frame& frame = target.frame;
    if (!frame_is_drawable(frame) || target.depth == nullptr || target.depth_stride < frame.width)
        return;
    const ShadedVertex* a = &triangle.v[0];
    const ShadedVertex* b = &triangle.v[1];
    const ShadedVertex* c = &triangle.v[2];
    if (!finite_vertex(*a) || !finite_vertex(*b) || !finite_vertex(*c)) return;
    if (b->y < a->y) std::swap(a, b);
    if (c->y < a->y) std::swap(a, c);
    if (c->y < b->y) std::swap(b, c);

    const int32_t row_begin = std::max(first_centre_at_or_after(a->y), 0);
    const int32_t row_end = std::min(first_centre_at_or_after(c->y), frame.height);
    if (row_begin >= row_end) return;
    const float low_x = std::min({a->x, b->x, c->x}), high_x = std::max({a->x, b->x, c->x});
    if (first_centre_at_or_after(low_x) >= first_centre_at_or_after(high_x)) return;

    const double x0 = a->x, y0 = a->y;
    const double x1 = b->x - x0, y1 = b->y - y0, x2 = c->x - x0, y2 = c->y - y0;
    const double area = x1 * y2 - x2 * y1; // negative: b lies left of the long edge a-c
    if (!(std::fabs(area) > 1e-12) || !std::isfinite(area)) return;
    const auto gradient = [&](float q0, float q1, float q2) {
        const double d1 = double(q1) - q0, d2 = double(q2) - q0;
        return Gradient{q0, (d1 * y2 - d2 * y1) / area, (d2 * x1 - d1 * x2) / area};
    };
    const Gradient depth = gradient(a->inv_z, b->inv_z, c->inv_z);
    const Gradient red = gradient(a->r, b->r, c->r);
    const Gradient green = gradient(a->g, b->g, c->g);
    const Gradient blue = gradient(a->b, b->b, c->b);

    const double long_slope = x2 / y2; // y2 > 0: the triangle covers a row
    const double upper_slope = y1 > 0 ? x1 / y1 : 0;
    const double lower_slope = y2 - y1 > 0 ? (x2 - x1) / (y2 - y1) : 0;
    const bool short_on_left = area < 0;
    const float dz = float(depth.dx);

    for (int32_t row = row_begin; row < row_end; ++row) {
        const double y = row + 0.5 - y0;
        const double long_x = x0 + y * long_slope;
        const double short_x = y < y1 ? x0 + y * upper_slope : x0 + x1 + (y - y1) * lower_slope;
        const double left = short_on_left ? short_x : long_x;
        const double right = short_on_left ? long_x : short_x;
        const int32_t begin = std::max(first_centre_at_or_after(left), 0);
        const int32_t end = std::min(first_centre_at_or_after(right), frame.width);
        if (begin >= end) continue;

        const double x = begin + 0.5 - x0;
        const double last = end - 1 + 0.5 - x0;
        const int32_t pixels = end - begin;
        const auto along = [&](const Gradient& q) {
            return channel_along_row(q.at0 + q.dx * x + q.dy * y, q.at0 + q.dx * last + q.dy * y,
                                     pixels);
        };
        ChannelStep r = along(red), g = along(green), bl = along(blue);
        float z = float(depth.at0 + depth.dx * x + depth.dy * y);
        uint32_t* pixel = frame.pixels + size_t(row) * size_t(frame.stride);
        float* nearest = target.depth + size_t(row) * size_t(target.depth_stride);
        for (int32_t column = begin; column < end; ++column) {
            if (z > nearest[column]) {
                nearest[column] = z;
                pixel[column] = uint32_t(r.value >> 16) << 16 | uint32_t(g.value >> 16) << 8 |
                                uint32_t(bl.value >> 16);
            }
            z += dz;
            r.value += r.step;
            g.value += g.step;
            bl.value += bl.step;
        }
    }
}
