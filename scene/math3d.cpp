#include "scene/math3d.h"

#include <cmath>

namespace {

// Element (r, c) widened, so that every sum of products below is formed in double and rounded
// to float only when it is stored.
double el(const Matrix4& m, int r, int c) {
    return static_cast<double>(m.at(r, c));
}

Matrix4 identity() {
    Matrix4 m;
    matrix_identity(m);
    return m;
}

} // namespace

void matrix_identity(Matrix4& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m.at(r, c) = (r == c) ? 1.0f : 0.0f;
}

void matrix_multiply(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    // Built in a temporary first: the rotations pass the matrix they change as both a and out.
    Matrix4 product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const double sum = el(b, r, 0) * el(a, 0, c) + el(b, r, 1) * el(a, 1, c) +
                               el(b, r, 2) * el(a, 2, c) + el(b, r, 3) * el(a, 3, c);
            product.at(r, c) = static_cast<float>(sum);
        }
    }
    out = product;
}

void matrix_rotate_x(Matrix4& m, float angle) {
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    Matrix4 r = identity();
    r.at(1, 1) = c;
    r.at(1, 2) = s;
    r.at(2, 1) = -s;
    r.at(2, 2) = c;
    matrix_multiply(m, r, m);
}

void matrix_rotate_y(Matrix4& m, float angle) {
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    Matrix4 r = identity();
    r.at(0, 0) = c;
    r.at(0, 2) = -s;
    r.at(2, 0) = s;
    r.at(2, 2) = c;
    matrix_multiply(m, r, m);
}

void matrix_rotate_z(Matrix4& m, float angle) {
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    Matrix4 r = identity();
    r.at(0, 0) = c;
    r.at(0, 1) = s;
    r.at(1, 0) = -s;
    r.at(1, 1) = c;
    matrix_multiply(m, r, m);
}

void matrix_translate(Matrix4& m, float x, float y, float z) {
    Matrix4 t = identity();
    t.at(3, 0) = x;
    t.at(3, 1) = y;
    t.at(3, 2) = z;
    matrix_multiply(m, t, m);
}

void matrix_inverse(const Matrix4& m, Matrix4& out) {
    const double m00 = el(m, 0, 0), m01 = el(m, 0, 1), m02 = el(m, 0, 2);
    const double m10 = el(m, 1, 0), m11 = el(m, 1, 1), m12 = el(m, 1, 2);
    const double m20 = el(m, 2, 0), m21 = el(m, 2, 1), m22 = el(m, 2, 2);
    const double m30 = el(m, 3, 0), m31 = el(m, 3, 1), m32 = el(m, 3, 2);

    const double det = m00 * m11 * m22 - m00 * m12 * m21 - m01 * m10 * m22 + m01 * m12 * m20 +
                       m02 * m10 * m21 - m02 * m11 * m20;

    // The adjugate is written into the result first and the translation row is formed from
    // those stored (float) elements; only then is every element divided by the determinant. Each
    // of the three steps rounds to float where it stores, so the inverse is the same on every
    // compiler.
    float adj[4][3];
    adj[0][0] = static_cast<float>(m11 * m22 - m12 * m21);
    adj[0][1] = static_cast<float>(m02 * m21 - m01 * m22);
    adj[0][2] = static_cast<float>(m01 * m12 - m02 * m11);
    adj[1][0] = static_cast<float>(m12 * m20 - m10 * m22);
    adj[1][1] = static_cast<float>(m00 * m22 - m02 * m20);
    adj[1][2] = static_cast<float>(m02 * m10 - m00 * m12);
    adj[2][0] = static_cast<float>(m10 * m21 - m11 * m20);
    adj[2][1] = static_cast<float>(m01 * m20 - m00 * m21);
    adj[2][2] = static_cast<float>(m00 * m11 - m01 * m10);
    for (int c = 0; c < 3; ++c)
        adj[3][c] = static_cast<float>(
            -(m30 * double(adj[0][c]) + m31 * double(adj[1][c]) + m32 * double(adj[2][c])));

    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c)
            out.at(r, c) = static_cast<float>(double(adj[r][c]) / det);
        out.at(r, 3) = (r == 3) ? 1.0f : 0.0f;
    }
}

Plane& plane_from_points(Plane& out, float x1, float y1, float z1, float x2, float y2, float z2,
                         float x3, float y3, float z3) {
    const double ux = double(x2) - double(x1), uy = double(y2) - double(y1),
                 uz = double(z2) - double(z1);
    const double wx = double(x3) - double(x1), wy = double(y3) - double(y1),
                 wz = double(z3) - double(z1);
    const double nx = uy * wz - uz * wy;
    const double ny = uz * wx - ux * wz;
    const double nz = ux * wy - uy * wx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    // The offset is formed from the stored (float) normal, so that the first point lies on the
    // plane as the record actually holds it.
    out.a = static_cast<float>(nx / length);
    out.b = static_cast<float>(ny / length);
    out.c = static_cast<float>(nz / length);
    out.d = static_cast<float>(
        -(double(out.a) * double(x1) + double(out.b) * double(y1) + double(out.c) * double(z1)));
    return out;
}

Vector3 vector_add(const Vector3& a, const Vector3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

Vector3 vector_sub(const Vector3& a, const Vector3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vector3 vector_scale(const Vector3& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}

double vector_dot(const Vector3& a, const Vector3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vector3 vector_cross(const Vector3& a, const Vector3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double vector_length(const Vector3& a) {
    return std::sqrt(vector_dot(a, a));
}

Vector3 vector_normalised(const Vector3& a) {
    const double length = vector_length(a);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
    return vector_scale(a, 1 / length);
}

Quaternion quaternion_from_axis_angle(const Vector3& axis, double angle) {
    const Vector3 unit = vector_normalised(axis);
    if (unit == Vector3{0, 0, 0}) return {};
    const double s = std::sin(angle / 2);
    return {std::cos(angle / 2), unit[0] * s, unit[1] * s, unit[2] * s};
}

Quaternion quaternion_multiply(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion quaternion_conjugate(const Quaternion& q) {
    return {q.w, -q.x, -q.y, -q.z};
}

Quaternion quaternion_normalised(const Quaternion& q) {
    const double length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (!(length > 0) || !std::isfinite(length)) return {};
    return {q.w / length, q.x / length, q.y / length, q.z / length};
}

Quaternion quaternion_exp(const Vector3& v) {
    const double half = vector_length(v);
    if (!(half > 0)) return {};
    const double s = std::sin(half) / half;
    return {std::cos(half), v[0] * s, v[1] * s, v[2] * s};
}

Vector3 quaternion_log(const Quaternion& q) {
    const double sine = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (!(sine > 0)) return {0, 0, 0};
    const double half = std::atan2(sine, q.w);
    return {q.x / sine * half, q.y / sine * half, q.z / sine * half};
}

Quaternion quaternion_slerp(const Quaternion& a, const Quaternion& b, double u) {
    double cosine = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    Quaternion to = b;
    if (cosine < 0) { // q and -q are the same turn: take the nearer
        cosine = -cosine;
        to = {-b.w, -b.x, -b.y, -b.z};
    }
    double ka = 1 - u, kb = u;
    if (cosine < 0.9999) {
        const double angle = std::acos(cosine);
        const double sine = std::sin(angle);
        ka = std::sin((1 - u) * angle) / sine;
        kb = std::sin(u * angle) / sine;
    }
    return quaternion_normalised(
        {ka * a.w + kb * to.w, ka * a.x + kb * to.x, ka * a.y + kb * to.y, ka * a.z + kb * to.z});
}

Vector3 quaternion_rotate(const Quaternion& q, const Vector3& v) {
    const Quaternion p =
        quaternion_multiply(quaternion_multiply(q, {0, v[0], v[1], v[2]}), quaternion_conjugate(q));
    return {p.x, p.y, p.z};
}

Matrix4 quaternion_matrix(const Quaternion& q) {
    Matrix4 m;
    matrix_identity(m);
    const Vector3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int row = 0; row < 3; ++row) {
        const Vector3 image = quaternion_rotate(q, axes[row]);
        for (int col = 0; col < 3; ++col)
            m.at(row, col) = static_cast<float>(image[static_cast<size_t>(col)]);
    }
    return m;
}

Vector3 matrix_transform_point(const Matrix4& m, const Vector3& p) {
    Vector3 out{};
    for (int c = 0; c < 3; ++c)
        out[size_t(c)] = p[0] * double(m.at(0, c)) + p[1] * double(m.at(1, c)) +
                         p[2] * double(m.at(2, c)) + double(m.at(3, c));
    return out;
}
