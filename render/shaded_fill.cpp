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

// A triangle's corners sorted from top to bottom, and b's and c's places relative to a.
struct Corners {
    const ShadedVertex *a, *b, *c;
    double x0, y0, x1, y1, x2, y2;
    double area; // negative: b lies left of the long edge a-c
};

// False when the triangle has no area to fill.
bool sort_corners(const ShadedTriangle& triangle, Corners& s) {
    const ShadedVertex(&v)[3] = triangle.v;
    s.a = &v[0];
    s.b = &v[1];
    s.c = &v[2];
    if (s.b->y < s.a->y) std::swap(s.a, s.b);
    if (s.c->y < s.a->y) std::swap(s.a, s.c);
    if (s.c->y < s.b->y) std::swap(s.b, s.c);
    s.x0 = s.a->x;
    s.y0 = s.a->y;
    s.x1 = s.b->x - s.x0;
    s.y1 = s.b->y - s.y0;
    s.x2 = s.c->x - s.x0;
    s.y2 = s.c->y - s.y0;
    s.area = s.x1 * s.y2 - s.x2 * s.y1;
    return std::fabs(s.area) > 1e-12 && std::isfinite(s.area);
}

FloatLanes colour_lanes(const ShadedVertex* p) {
    return FloatLanes{p->inv_z, p->r, p->g, p->b};
}

FloatLanes mapping_lanes(const ShadedVertex* p) {
    return FloatLanes{p->u * p->inv_z, p->v * p->inv_z, 0, 0};
}

Gradients gradients_of(const Corners& s, float per_area, FloatLanes (*lanes)(const ShadedVertex*)) {
    return gradients(lanes(s.a), lanes(s.b), lanes(s.c), float(s.x1), float(s.y1), float(s.x2),
                     float(s.y2), per_area);
}

// The offsets from corner a of pixel column's centre, and of row's, as the spans take them.
struct CentreOffset {
    float x, y;
};

CentreOffset centre_offset(const Corners& s, int32_t column, int32_t row) {
    return {float(column + 0.5 - s.x0), float(row + 0.5 - s.y0)};
}

FloatLanes value_at(const Gradients& g, CentreOffset at) {
    return g.at0 + g.dx * at.x + g.dy * at.y;
}

// What a triangle interpolates, as planes over the screen, and the fixed-point colour steps.
struct Shading {
    Gradients shade, mapping;
    IntLanes colour_steps;
    const TextureMapping* texture;
};

Shading shading_of(const Corners& s, const TextureMapping* texture) {
    const float per_area = float(1.0 / s.area);
    Shading out{};
    out.texture = texture;
    out.shade = gradients_of(s, per_area, colour_lanes);
    out.colour_steps = fixed_steps(out.shade.dx);
    if (texture != nullptr) out.mapping = gradients_of(s, per_area, mapping_lanes);
    return out;
}

// Pixels begin..end-1 of row, which the triangle covers, where they are nearer than the depth
// buffer holds. Always inlined: GCC otherwise calls one copy per row, which costs the larger
// faces of a mesh of 10 000 faces about 3% of a frame.
[[gnu::always_inline]] inline void fill_span(const Corners& s, const Shading& shading,
                                             const DepthFrame& target, int32_t row, int32_t begin,
                                             int32_t end) {
    const Frame& frame = target.frame;
    const Gradients& shade = shading.shade;
    const CentreOffset at = centre_offset(s, begin, row);
    const FloatLanes start = value_at(shade, at);
    const IntLanes fixed = fixed_lanes(start);
    int32_t r = fixed[1], g = fixed[2], bl = fixed[3];
    const int32_t red_step = shading.colour_steps[1], green_step = shading.colour_steps[2],
                  blue_step = shading.colour_steps[3];
    const float depth_step = shade.dx[0];
    float z = start[0];
    uint32_t* pixel = frame.pixels + size_t(row) * size_t(frame.stride);
    float* nearest = target.depth + size_t(row) * size_t(target.depth_stride);
    if (const TextureMapping* texture = shading.texture; texture != nullptr) {
        const Gradients& mapping = shading.mapping;
        const FloatLanes over_z = value_at(mapping, at);
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
        return;
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

bool target_drawable(const DepthFrame& target) {
    return frame_is_drawable(target.frame) && target.depth != nullptr &&
           target.depth_stride >= target.frame.width;
}

} // namespace

void fill_shaded_block(const ShadedTriangle& triangle, const DepthFrame& target, int32_t column,
                       int32_t row, uint32_t covered) {
    // Numbers that are not finite need no test of their own here: an area that is not a number
    // fails the area test, a value that is not a number fails the depth test or is clamped, and
    // the texture sampler takes any coordinate.
    if (!target_drawable(target)) return;
    // A face this small fills at most four pixels: the values at each centre come straight from
    // the corners, weighted by the centre's place between them, instead of from planes over the
    // screen set up for the face. Corner a's value plus weighted differences, so that a value
    // the corners share (a flat colour) comes out exactly.
    const ShadedVertex& a = triangle.v[0];
    const ShadedVertex& b = triangle.v[1];
    const ShadedVertex& c = triangle.v[2];
    const double bx = double(b.x) - a.x, by = double(b.y) - a.y;
    const double cx = double(c.x) - a.x, cy = double(c.y) - a.y;
    const double area = bx * cy - cx * by;
    if (!(std::fabs(area) > 1e-12)) return;
    const double per_area = 1.0 / area;
    const FloatLanes shade_a = colour_lanes(&a);
    const FloatLanes shade_b = colour_lanes(&b) - shade_a, shade_c = colour_lanes(&c) - shade_a;
    const Frame& frame = target.frame;
    for (uint32_t left = covered & 15u; left != 0; left &= left - 1) {
        const uint32_t bit = uint32_t(__builtin_ctz(left));
        const int64_t x = int64_t(column) + (bit & 1u), y = int64_t(row) + (bit >> 1);
        if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) continue;
        const double px = double(x) + 0.5 - a.x, py = double(y) + 0.5 - a.y;
        const float wb = float((px * cy - cx * py) * per_area);
        const float wc = float((bx * py - px * by) * per_area);
        const FloatLanes value = shade_a + shade_b * wb + shade_c * wc;
        float& nearest = target.depth[size_t(y) * size_t(target.depth_stride) + size_t(x)];
        if (!(value[0] > nearest)) continue;
        nearest = value[0];
        const IntLanes fixed = fixed_lanes(value);
        uint32_t& pixel = frame.pixels[size_t(y) * size_t(frame.stride) + size_t(x)];
        if (triangle.texture == nullptr) {
            pixel =
                channel_byte(fixed[1]) << 16 | channel_byte(fixed[2]) << 8 | channel_byte(fixed[3]);
            continue;
        }
        const FloatLanes mapping_a = mapping_lanes(&a);
        const FloatLanes over_z = mapping_a + (mapping_lanes(&b) - mapping_a) * wb +
                                  (mapping_lanes(&c) - mapping_a) * wc;
        const uint32_t texel =
            sample_texture(*triangle.texture, over_z[0] / value[0], over_z[1] / value[0]);
        pixel = lit_texel_channel(texel, 16, channel_byte(fixed[1])) |
                lit_texel_channel(texel, 8, channel_byte(fixed[2])) |
                lit_texel_channel(texel, 0, channel_byte(fixed[3]));
    }
}

void fill_shaded_triangle(const ShadedTriangle& triangle, const DepthFrame& target) {
    fill_shaded_triangle_rows(triangle, target, 0, target.frame.height);
}

void fill_shaded_triangle_rows(const ShadedTriangle& triangle, const DepthFrame& target,
                               int32_t first_row, int32_t end_row) {
    const Frame& frame = target.frame;
    if (!target_drawable(target)) return;
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
    Corners s;
    if (!sort_corners(triangle, s)) return;
    const double x0 = s.x0, y0 = s.y0, x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
    const double long_slope = x2 / y2; // y2 > 0: the triangle covers a row
    const double upper_slope = y1 > 0 ? x1 / y1 : 0;
    const double lower_slope = y2 - y1 > 0 ? (x2 - x1) / (y2 - y1) : 0;
    const bool short_on_left = s.area < 0;
    // The planes wait for the first row with a pixel to fill: most triangles of a dense mesh
    // have none, even when their bounds hold a pixel centre.
    bool ready = false;
    Shading shading{};
    for (int32_t row = row_begin; row < row_end; ++row) {
        const double y = row + 0.5 - y0;
        const double long_x = x0 + y * long_slope;
        const double short_x = y < y1 ? x0 + y * upper_slope : x0 + x1 + (y - y1) * lower_slope;
        const double left = short_on_left ? short_x : long_x;
        const double right = short_on_left ? long_x : short_x;
        const int32_t begin = std::max(first_centre_at_or_after(left), 0);
        const int32_t end = std::min(first_centre_at_or_after(right), frame.width);
        if (begin >= end) continue;
        if (!ready) {
            shading = shading_of(s, triangle.texture);
            ready = true;
        }
        fill_span(s, shading, target, row, begin, end);
    }
}
