// math3d.h - the 4x4 matrix and the plane that the loader and the renderer share.
//
// Conventions
//   * Matrix4 holds 16 floats, row-major: element (r, c) is m[4 * r + c].
//   * Points are row vectors: (x, y, z, 1) * M. Rows 0..2 are the images of the x, y, z axes,
//     row 3 (m[12], m[13], m[14]) is the translation. Column 3 is (0, 0, 0, 1) for every matrix
//     these functions build and is never used to transform a point (there is no w divide).
//   * The rotations and the translation pre-multiply: m becomes R * m, so the new transform acts
//     in the matrix's own frame (a point is rotated first, then carried by the old transform).
//   * Plane: unit normal (A, B, C) and offset D; A*x + B*y + C*z + D is the signed distance,
//     positive on the side the normal points to.
//   * Angles are radians.
//
// Precision: every intermediate sum and product is carried in double precision and each stored
// element is rounded to float once. Fixing that choice makes every frame reproducible across
// compilers and optimisation levels.
//
// Failure: nothing here checks input or reports errors. A singular matrix or three collinear
// points give non-finite results, which the renderer tolerates. Nothing allocates or keeps state.
#pragma once

#include <array>
#include <cstddef>

struct Matrix4 {
    std::array<float, 16> m{};

    float& at(int row, int col) { return m[static_cast<size_t>(4 * row + col)]; }
    float at(int row, int col) const { return m[static_cast<size_t>(4 * row + col)]; }
};

struct Plane {
    float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
};

// m becomes the identity.
void matrix_identity(Matrix4& m);

// out = b * a in matrix terms: a point is transformed by b first and by a second,
// v * out = (v * b) * a. out may be the same record as a or b.
void matrix_multiply(const Matrix4& a, const Matrix4& b, Matrix4& out);

// m = Rx(angle) * m, Ry(angle) * m, Rz(angle) * m. For positive angles rotate_x turns +y
// towards +z, rotate_y turns +z towards +x, rotate_z turns +x towards +y.
void matrix_rotate_x(Matrix4& m, float angle);
void matrix_rotate_y(Matrix4& m, float angle);
void matrix_rotate_z(Matrix4& m, float angle);

// m = T(x, y, z) * m: row 3 becomes row3 + x*row0 + y*row1 + z*row2 (an offset in m's own axes).
void matrix_translate(Matrix4& m, float x, float y, float z);

// out = the affine inverse of m (column 3 of m is ignored; out's column 3 becomes 0, 0, 0, 1).
// out must be a different record from m.
void matrix_inverse(const Matrix4& m, Matrix4& out);

// The plane through P1, P2, P3 with normal (P2 - P1) x (P3 - P1), normalised; D puts P1 on it.
Plane& plane_from_points(Plane& out, float x1, float y1, float z1, float x2, float y2, float z2,
                         float x3, float y3, float z3);
