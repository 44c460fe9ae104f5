// math3d.h - the 4x4 matrix, the plane, vectors and quaternions that every module shares.
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

// --- vectors and quaternions, in double precision --------------------------------------------
//
// Vector3 is a point or a direction. A Quaternion (w, x, y, z) is a rotation in the usual
// sense for column vectors: q turns v into q v q*, and a * b turns by b first, then by a.
// quaternion_matrix gives the same rotation as a Matrix4 for this module's row vectors.

using Vector3 = std::array<double, 3>;

Vector3 vector_add(const Vector3& a, const Vector3& b);
Vector3 vector_sub(const Vector3& a, const Vector3& b);
Vector3 vector_scale(const Vector3& a, double s);
double vector_dot(const Vector3& a, const Vector3& b);
Vector3 vector_cross(const Vector3& a, const Vector3& b);
double vector_length(const Vector3& a);
// a / |a|; a zero or non-finite length gives (0, 0, 0).
Vector3 vector_normalised(const Vector3& a);

struct Quaternion {
    double w = 1, x = 0, y = 0, z = 0;
};

// The turn by angle radians about axis (any length; a zero axis gives the identity), counter-
// clockwise when the axis points at the viewer.
Quaternion quaternion_from_axis_angle(const Vector3& axis, double angle);
Quaternion quaternion_multiply(const Quaternion& a, const Quaternion& b);
Quaternion quaternion_conjugate(const Quaternion& q);
// q / |q|; a zero quaternion gives the identity.
Quaternion quaternion_normalised(const Quaternion& q);
// exp of the pure quaternion (0, v): the turn by 2 |v| about v. Its inverse for a unit q is
// quaternion_log, which gives the half angle in [0, pi] times the axis.
Quaternion quaternion_exp(const Vector3& v);
Vector3 quaternion_log(const Quaternion& q);
// The shorter arc from a (u = 0) to b (u = 1) at constant speed; a and b unit quaternions.
Quaternion quaternion_slerp(const Quaternion& a, const Quaternion& b, double u);
Vector3 quaternion_rotate(const Quaternion& q, const Vector3& v);
// The rotation as a row-vector matrix (rows 0..2 the images of the axes, no translation).
Matrix4 quaternion_matrix(const Quaternion& q);

// Where the affine matrix m places the point p: the row vector (p, 1) times m, in double.
Vector3 matrix_transform_point(const Matrix4& m, const Vector3& p);
