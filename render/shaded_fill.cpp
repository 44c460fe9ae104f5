#include "render/shaded_fill.h"

#include "render/numeric.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// x * 0 is 0 for every finite x and NaN otherwise, so one test covers all the corners' numbers;
// four lanes at a time (GCC's and Clang's vector extension), as the numbers lie side by side.
typedef float FloatLanes __attribute__((vector_size(16)));

bool finite_triangle(const ShadedTriangle& t) {
    constexpr size_t kNumbers = sizeof(ShadedVertex) * 3 / sizeof(float);
    static_assert(sizeof t.v == kNumbers * sizeof(float) && kNumbers % 4 == 0);
    float numbers[kNumbers];
    std::memcpy(numbers, t.v, sizeof t.v);
    FloatLanes zero = {};
    for (size_t i = 0; i < kNumbers; i += 4) {
        FloatLanes lanes;
        std::memcpy(&lanes, numbers + i, sizeof lanes);
        zero += lanes * 0;
    }
    return zero[0] + zero[1] + zero[2] + zero[3] == 0;
}

// The first pixel whose centre lies at or beyond coordinate p (a row for y, a column for x).
int32_t first_centre_at_or_after(double p) {
    return ceil_to_int32(p - 0.5);
}

// The values a triangle interpolates, four lanes at a time: 1/z and the colour's red, green
// and blue in one group, u/z and v/z (and two unused lanes) in the other.
typedef int32_t IntLanes __attribute__((vector_size(16)));

// How the values change across the screen: value(x, y) = at0 + dx * (x - x0) + dy * (y - y0).
struct Gradients {
    FloatLanes at0, dx, dy;
};

constexpr float kFixedOne = 65536.0f;

// A plane through the three corners' values; x1, y1, x2, y2 are b's and c's places relative to
// a. Worked out in single precision: the values are blended, never compared across faces, and
// a triangle's gradients only matter once it has a pixel to fill.
Gradients gradients(FloatLanes qa, FloatLanes qb, FloatLanes qc, float x1, float y1, float x2,
                    float y2, float per_area) {
    const FloatLanes d1 = qb - qa, d2 = qc - qa;
    return {qa, (d1 * y2 - d2 * y1) * per_area, (d2 * x1 - d1 * x2) * per_area};
}

FloatLanes clamp_lanes(FloatLanes value, float low, float high) {
    value = value >= low ? value : low; // a NaN lane fails the test: it becomes low
    return value <= high ? value : high;
}

// Colour channels in 16.16 fixed point, kept within -1..256 so that stepping along a row cannot
// overflow; the steps within -256..256 a pixel.
IntLanes fixed_lanes(FloatLanes channels) {
    return __builtin_convertvector(clamp_lanes(channels * kFixedOne, -kFixedOne, 256 * kFixedOne),
                                   IntLanes);
}

IntLanes fixed_steps(FloatLanes steps) {
    return __builtin_convertvector(
        clamp_lanes(steps * kFixedOne, -256 * kFixedOne, 256 * kFixedOne), IntLanes);
}

// Inside the triangle a channel only blends its corners' values, which lie in 0..255; a pixel
// centre just outside the exact edge, or rounding, may step a little beyond, hence the clamp.
uint32_t channel_byte(int32_t fixed) {
    return uint32_t(std::clamp(fixed >> 16, 0, 255));
}

// A texel's channel at bit shift times the lit channel (0..255, 255 keeping it as it is).
uint32_t lit_texel_channel(uint32_t texel, int shift, uint32_t lit) {
    return ((texel >> shift & 0xFFu) * lit + 127) / 255 << shift;
}

} // namespace

void fill_shaded_triangle(const ShadedTriangle& triangle, const DepthFrame& target) {
    fill_shaded_triangle_rows(triangle, target, 0, target.frame.height);
}

void fill_shaded_triangle_rows(const ShadedTriangle& triangle, const DepthFrame& target,
                               int32_t first_row, int32_t end_row) {
    const Frame& frame = target.frame;
    if (!frame_is_drawable(frame) || target.depth == nullptr || target.depth_stride < frame.width)
        return;
    // Most triangles of a dense mesh cover no pixel centre at all: they leave before anything
    // else is worked out. (A coordinate that is not a number is caught by the finite test.)
    const ShadedVertex(&v)[3] = triangle.v;
    const int32_t row_begin =
        std::max({first_centre_at_or_after(std::min({v[0].y, v[1].y, v[2].y})), first_row, 0});
    const int32_t row_end = std::min(
        {first_centre_at_or_after(std::max({v[0].y, v[1].y, v[2].y})), end_row, frame.height});
    if (row_begin >= row_end) return;
    const float low_x = std::min({v[0].x, v[1].x, v[2].x});
    const float high_x = std::max({v[0].x, v[1].x, v[2].x});
    if (first_centre_at_or_after(low_x) >= first_centre_at_or_after(high_x)) return;
    if (!finite_triangle(triangle)) return;
    const ShadedVertex* a = &v[0];
    const ShadedVertex* b = &v[1];
    const ShadedVertex* c = &v[2];
    if (b->y < a->y) std::swap(a, b);
    if (c->y < a->y) std::swap(a, c);
    if (c->y < b->y) std::swap(b, c);

    const double x0 = a->x, y0 = a->y;
    const double x1 = b->x - x0, y1 = b->y - y0, x2 = c->x - x0, y2 = c->y - y0;
    const double area = x1 * y2 - x2 * y1; // negative: b lies left of the long edge a-c
    if (!(std::fabs(area) > 1e-12) || !std::isfinite(area)) return;
    // The gradients wait for the first row with a pixel to fill: most triangles of a dense mesh
    // have none, even when their bounds hold a pixel centre.
    const float per_area = float(1.0 / area);
    const auto colour_lanes = [](const ShadedVertex* p) {
        return FloatLanes{p->inv_z, p->r, p->g, p->b};
    };
    const auto mapping_lanes = [](const ShadedVertex* p) {
        return FloatLanes{p->u * p->inv_z, p->v * p->inv_z, 0, 0};
    };
    const TextureMapping* texture = triangle.texture;
    bool ready = false;
    Gradients shade{}, mapping{};
    IntLanes colour_steps{};
    const auto prepare = [&] {
        shade = gradients(colour_lanes(a), colour_lanes(b), colour_lanes(c), float(x1), float(y1),
                          float(x2), float(y2), per_area);
        colour_steps = fixed_steps(shade.dx);
        if (texture != nullptr)
            mapping = gradients(mapping_lanes(a), mapping_lanes(b), mapping_lanes(c), float(x1),
                                float(y1), float(x2), float(y2), per_area);
        ready = true;
    };

    const double long_slope = x2 / y2; // y2 > 0: the triangle covers a row
    const double upper_slope = y1 > 0 ? x1 / y1 : 0;
    const double lower_slope = y2 - y1 > 0 ? (x2 - x1) / (y2 - y1) : 0;
    const bool short_on_left = area < 0;

    for (int32_t row = row_begin; row < row_end; ++row) {
        const double y = row + 0.5 - y0;
        const double long_x = x0 + y * long_slope;
        const double short_x = y < y1 ? x0 + y * upper_slope : x0 + x1 + (y - y1) * lower_slope;
        const double left = short_on_left ? short_x : long_x;
        const double right = short_on_left ? long_x : short_x;
        const int32_t begin = std::max(first_centre_at_or_after(left), 0);
        const int32_t end = std::min(first_centre_at_or_after(right), frame.width);
        if (begin >= end) continue;

        if (!ready) prepare();
        const float x = float(begin + 0.5 - x0), yf = float(y);
        const FloatLanes start = shade.at0 + shade.dx * x + shade.dy * yf;
        const IntLanes fixed = fixed_lanes(start);
        int32_t r = fixed[1], g = fixed[2], bl = fixed[3];
        const int32_t red_step = colour_steps[1], green_step = colour_steps[2],
                      blue_step = colour_steps[3];
        const float depth_step = shade.dx[0];
        float z = start[0];
        uint32_t* pixel = frame.pixels + size_t(row) * size_t(frame.stride);
        float* nearest = target.depth + size_t(row) * size_t(target.depth_stride);
        if (texture != nullptr) {
            const FloatLanes over_z = mapping.at0 + mapping.dx * x + mapping.dy * yf;
            float uz = over_z[0], vz = over_z[1];
            for (int32_t column = begin; column < end; ++column) {
                if (z > nearest[column]) {
                    nearest[column] = z;
                    const uint32_t texel = sample_texture(*texture, uz / z, vz / z);
                    pixel[column] = lit_texel_channel(texel, 16, channel_byte(r)) |
                                    lit_texel_channel(texel, 8, channel_byte(g)) |
                                    lit_texel_channel(texel, 0, channel_byte(bl));
                }
                z += depth_step;
                uz += mapping.dx[0];
                vz += mapping.dx[1];
                r += red_step;
                g += green_step;
                bl += blue_step;
            }
            continue;
        }
        for (int32_t column = begin; column < end; ++column) {
            if (z > nearest[column]) {
                nearest[column] = z;
                pixel[column] = channel_byte(r) << 16 | channel_byte(g) << 8 | channel_byte(bl);
            }
            z += depth_step;
            r += red_step;
            g += green_step;
            bl += blue_step;
        }
    }
}
