// shaded_fill.h - the model look's span filling: one screen triangle with a colour per corner,
// depth-tested, into the frame. ShadedTriangle is the one record between the model look's
// geometry (cull, transform, light, clip, project) and its pixels.
//
// Coordinates: x, y are screen pixels (x right, y down); pixel (c, r) is sampled at its centre
// (c + 0.5, r + 0.5), and a centre on an edge belongs to the triangle on its right or below, so
// triangles that share an edge fill each of its pixels once. Either winding fills.
// Depth: inv_z is 1/z (camera space z, the distance along the line of sight). It is linear in
// screen space across a plane, so interpolating it is exact in perspective; a pixel is written
// only where the triangle's 1/z is greater (nearer) than the depth buffer holds, which it then
// takes. The colour (0..255 per channel) is interpolated linearly on the screen (Gouraud).
// Ownership: DepthFrame points at pixels and a depth buffer its maker keeps alive, with the same
// width, height and strides as frame.h describes for pixels.
// Failure: nothing is reported. Whatever the triangle holds (non-finite or huge coordinates, no
// area, colours out of range), the fill writes only inside the frame, clamps colours to 0..255
// and ends; a frame that is not drawable or has no depth buffer gets nothing.
#pragma once

#include "render/frame.h"
#include "render/texture_sampler.h"

#include <cstdint>

struct ShadedVertex {
    float x = 0, y = 0;        // screen pixels
    float inv_z = 0;           // 1 / camera-space z
    float r = 0, g = 0, b = 0; // colour, 0..255 each
    float u = 0, v = 0;        // mapping coordinates, as the file gives them
};

// With a texture, each pixel's colour is the texel at its mapping coordinates (interpolated as
// u/z and v/z, then divided by the pixel's 1/z: exact in perspective) times the interpolated
// colour / 255, so the colour carries the lighting. The mapping is borrowed.
struct ShadedTriangle {
    ShadedVertex v[3];
    const TextureMapping* texture = nullptr;
};

struct DepthFrame {
    Frame frame;
    float* depth = nullptr; // one float per pixel, row y at depth + y * depth_stride
    int32_t depth_stride = 0;
};

void fill_shaded_triangle(const ShadedTriangle& triangle, const DepthFrame& target);

// The same, only in rows first_row..end_row-1 of the frame: each row gets exactly the pixels the
// whole fill gives it, so threads that fill different rows of one frame draw its very picture.
void fill_shaded_triangle_rows(const ShadedTriangle& triangle, const DepthFrame& target,
                               int32_t first_row, int32_t end_row);

// The pixels of a triangle whose centres it is known to cover: the faces of a dense mesh far
// away are mostly smaller than a pixel, and the geometry can often tell more cheaply than the
// span filling which centres such a face covers. Each pixel gets the triangle's values at its
// centre, worked out from the corners directly rather than stepped along a span: the same
// values to the last bit or two of rounding (a value all three corners share, exactly).
// covered: bit 2 * r + c for pixel (column + c, row + r), c and r 0 or 1. Pixels outside the
// frame are left alone.
void fill_shaded_block(const ShadedTriangle& triangle, const DepthFrame& target, int32_t column,
                       int32_t row, uint32_t covered);
