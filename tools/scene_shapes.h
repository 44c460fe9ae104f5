// scene_shapes.h - closed triangle meshes for the bundled scene: sphere, torus, knot, twisted bar.
//
// Positions are in the .3ds file's axes (right-handed, Z up) and units; every shape is centred on
// the origin. Faces are wound counter-clockwise seen from outside (their normal by the right-hand
// rule points out of the solid), the winding 3D Studio files use.
//
// Reproducibility: the bundled scene file must come out byte for byte the same on every machine,
// and libm's sin and cos may differ in the last bit between C libraries. So the shapes use
// shape_sin/shape_cos, built from +, -, *, / alone, which IEEE arithmetic makes exact to the bit
// everywhere (the build turns off fused multiply-add contraction).
//
// Ownership: plain values. Failure: none; counts stay far below the format's 65535 limit for the
// sizes used (make_* callers pass small segment counts).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

using Vec3 = std::array<double, 3>;

struct ShapeMesh {
    std::vector<Vec3> positions;
    std::vector<std::array<float, 2>> uv;       // one per position
    std::vector<std::array<uint16_t, 3>> faces; // counter-clockwise from outside
};

double shape_sin(double x);
double shape_cos(double x);

// Icosahedron subdivided `levels` times, projected onto the sphere: 20 * 4^levels faces.
ShapeMesh make_icosphere(double radius, int levels);

// Torus around the Z axis: rings * sides quads, each split in two triangles.
ShapeMesh make_torus(double major_radius, double minor_radius, int rings, int sides);

// Tube of the given radius around the (p, q) torus knot, which winds p times around the Z axis
// and q times through the hole; scale is the radius of the knot's core circle.
ShapeMesh make_knot(double scale, double tube_radius, int p, int q, int segments, int sides);

// Square bar along the Z axis, length long, twisted by `twist` radians end to end, with caps.
ShapeMesh make_twisted_bar(double length, double half_width, double twist, int segments);

// Turns every position by the rotation whose rows are the images of the X, Y, Z axes.
void rotate_shape(ShapeMesh& shape, const std::array<Vec3, 3>& rows);

// Six times the enclosed volume (positive when faces are wound outward): a closed mesh's check
// that no face is inside out.
double signed_volume6(const ShapeMesh& shape);
