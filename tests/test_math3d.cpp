#include "render/numeric.h"
#include "scene/math3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

struct Point {
    double x, y, z;
};

Point transform(const Matrix4& m, Point p) {
    return {p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0),
            p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1),
            p.x * m.at(0, 2) + p.y * m.at(1, 2) + p.z * m.at(2, 2) + m.at(3, 2)};
}

Matrix4 identity() {
    Matrix4 m;
    matrix_identity(m);
    return m;
}

Matrix4 random_rigid(std::mt19937& rng) {
    std::uniform_real_distribution<float> angle(-3.2f, 3.2f), offset(-200.0f, 200.0f);
    Matrix4 m = identity();
    matrix_rotate_x(m, angle(rng));
    matrix_translate(m, offset(rng), offset(rng), offset(rng));
    matrix_rotate_y(m, angle(rng));
    matrix_rotate_z(m, angle(rng));
    matrix_translate(m, offset(rng), offset(rng), offset(rng));
    return m;
}

void expect_near_identity(const Matrix4& m, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m.at(r, c), r == c ? 1.0f : 0.0f, tolerance) << "element " << r << c;
}

TEST(MatrixProduct, SecondArgumentActsFirstOnPoints) {
    Matrix4 translate_x = identity();
    matrix_translate(translate_x, 1, 0, 0);
    Matrix4 quarter_turn = identity();
    matrix_rotate_z(quarter_turn, 1.5707963f);
    Matrix4 out;
    matrix_multiply(translate_x, quarter_turn, out);
    const Point p = transform(out, {1, 0, 0});
    EXPECT_NEAR(p.x, 1.0, 1e-6);
    EXPECT_NEAR(p.y, 1.0, 1e-6);
    EXPECT_NEAR(p.z, 0.0, 1e-6);
}

TEST(MatrixProduct, OutMayAliasEitherFactor) {
    std::mt19937 rng(7);
    const Matrix4 a = random_rigid(rng), b = random_rigid(rng);
    Matrix4 separate;
    matrix_multiply(a, b, separate);
    Matrix4 into_a = a;
    matrix_multiply(into_a, b, into_a);
    Matrix4 into_b = b;
    matrix_multiply(a, into_b, into_b);
    EXPECT_EQ(into_a.m, separate.m);
    EXPECT_EQ(into_b.m, separate.m);
}

TEST(MatrixProduct, SumsAreRoundedToFloatOnlyOnce) {
    // 1 + 2^-24 + 2^-24: float accumulation loses both small terms, a double sum keeps them.
    Matrix4 a, b;
    a.at(0, 0) = 1.0f;
    a.at(1, 0) = std::ldexp(1.0f, -24);
    a.at(2, 0) = std::ldexp(1.0f, -24);
    b.at(0, 0) = b.at(0, 1) = b.at(0, 2) = 1.0f;
    Matrix4 out;
    matrix_multiply(a, b, out);
    EXPECT_EQ(out.at(0, 0), 1.0f + std::ldexp(1.0f, -23));
}

TEST(Rotations, TurnInTheStatedDirections) {
    Matrix4 z = identity();
    matrix_rotate_z(z, 1.5707964f);
    EXPECT_NEAR(z.at(0, 0), 0.0f, 1e-7);
    EXPECT_NEAR(z.at(0, 1), 1.0f, 1e-7);
    EXPECT_NEAR(z.at(1, 0), -1.0f, 1e-7);
    EXPECT_NEAR(z.at(1, 1), 0.0f, 1e-7);

    Matrix4 x = identity();
    matrix_rotate_x(x, 1.5707964f);
    const Point y_axis = transform(x, {0, 1, 0});
    EXPECT_NEAR(y_axis.z, 1.0, 1e-7);

    Matrix4 y = identity();
    matrix_rotate_y(y, 1.5707964f);
    const Point z_axis = transform(y, {0, 0, 1});
    EXPECT_NEAR(z_axis.x, 1.0, 1e-7);
}

TEST(Rotations, ActInTheMatrixOwnFrameAndKeepTheTranslation) {
    Matrix4 m = identity();
    matrix_translate(m, 1, 2, 3);
    EXPECT_EQ(m.at(3, 0), 1.0f);
    EXPECT_EQ(m.at(3, 1), 2.0f);
    EXPECT_EQ(m.at(3, 2), 3.0f);
    EXPECT_EQ(m.at(3, 3), 1.0f);
    matrix_rotate_y(m, 0.7f);
    EXPECT_EQ(m.at(3, 0), 1.0f);
    EXPECT_EQ(m.at(3, 1), 2.0f);
    EXPECT_EQ(m.at(3, 2), 3.0f);

    // Translating a turned matrix moves along its own axes: +x of a quarter turn about z is +y.
    Matrix4 turned = identity();
    matrix_rotate_z(turned, 1.5707964f);
    matrix_translate(turned, 5, 0, 0);
    EXPECT_NEAR(turned.at(3, 0), 0.0f, 1e-6);
    EXPECT_NEAR(turned.at(3, 1), 5.0f, 1e-6);
}

TEST(AffineInverse, UndoesRigidTransformsInEitherOrder) {
    std::mt19937 rng(3);
    for (int i = 0; i < 50; ++i) {
        const Matrix4 m = random_rigid(rng);
        Matrix4 inv, product;
        matrix_inverse(m, inv);
        matrix_multiply(m, inv, product);
        expect_near_identity(product, 1e-4f);
        matrix_multiply(inv, m, product);
        expect_near_identity(product, 1e-4f);
    }
}

TEST(AffineInverse, IgnoresColumnThreeOfTheInput) {
    std::mt19937 rng(5);
    Matrix4 m = random_rigid(rng);
    Matrix4 clean;
    matrix_inverse(m, clean);
    m.at(0, 3) = 7;
    m.at(1, 3) = -3;
    m.at(2, 3) = 0.5f;
    m.at(3, 3) = 42;
    Matrix4 dirty;
    matrix_inverse(m, dirty);
    EXPECT_EQ(dirty.m, clean.m);
    EXPECT_EQ(dirty.at(0, 3), 0.0f);
    EXPECT_EQ(dirty.at(3, 3), 1.0f);
}

TEST(AffineInverse, ScalesWithTheDeterminant) {
    // Not a rigid matrix, but it pins the division by det: diag(2, 4, 8) shifted by (2, 4, 8).
    Matrix4 m = identity();
    m.at(0, 0) = 2;
    m.at(1, 1) = 4;
    m.at(2, 2) = 8;
    m.at(3, 0) = 2;
    m.at(3, 1) = 4;
    m.at(3, 2) = 8;
    Matrix4 inv;
    matrix_inverse(m, inv);
    EXPECT_EQ(inv.at(0, 0), 0.5f);
    EXPECT_EQ(inv.at(1, 1), 0.25f);
    EXPECT_EQ(inv.at(2, 2), 0.125f);
    EXPECT_EQ(inv.at(3, 0), -1.0f);
    EXPECT_EQ(inv.at(3, 1), -1.0f);
    EXPECT_EQ(inv.at(3, 2), -1.0f);
}

TEST(PlaneFromPoints, NormalFollowsTheWindingAndOffsetPutsP1OnThePlane) {
    Plane p;
    plane_from_points(p, 0, 0, 0, 1, 0, 0, 0, 1, 0);
    EXPECT_EQ(p.a, 0.0f);
    EXPECT_EQ(p.b, 0.0f);
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, 0.0f);
    plane_from_points(p, 0, 0, 0, 0, 1, 0, 1, 0, 0);
    EXPECT_EQ(p.c, -1.0f);
    plane_from_points(p, 0, 0, 5, 1, 0, 5, 0, 1, 5);
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, -5.0f);
    plane_from_points(p, 1, 1, 1, 4, 1, 5, 1, 1, 1); // coincident points
    EXPECT_FALSE(std::isfinite(p.a));
}

TEST(SaturatingConversion, IsDefinedForEveryDouble) {
    EXPECT_EQ(saturate_to_int32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(saturate_to_int32(1e300), INT32_MAX);
    EXPECT_EQ(saturate_to_int32(-std::numeric_limits<double>::infinity()), INT32_MIN);
    EXPECT_EQ(saturate_to_int32(2147483648.0), INT32_MAX);
    EXPECT_EQ(saturate_to_int32(2147483647.9), INT32_MAX);
    EXPECT_EQ(saturate_to_int32(-2147483648.9), INT32_MIN);
    EXPECT_EQ(saturate_to_int32(-2147483649.0), INT32_MIN);
    EXPECT_EQ(saturate_to_int32(-7.9), -7);
    EXPECT_EQ(saturate_to_int32(7.9), 7);
}

} // namespace

namespace {

// The inverse written out step by step, with the result record holding floats: the adjugate is
// stored first, the translation row is formed from those stored elements, and only then is
// every stored element divided by the determinant (kept in double, as it is never stored).
Matrix4 stepwise_inverse(const Matrix4& m) {
    auto e = [&](int r, int c) { return double(m.at(r, c)); };
    const double det = e(0, 0) * e(1, 1) * e(2, 2) - e(0, 0) * e(1, 2) * e(2, 1) -
                       e(0, 1) * e(1, 0) * e(2, 2) + e(0, 1) * e(1, 2) * e(2, 0) +
                       e(0, 2) * e(1, 0) * e(2, 1) - e(0, 2) * e(1, 1) * e(2, 0);
    Matrix4 out;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            // Cofactor of element (c, r): the rows and columns left over, in cyclic order.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            out.at(r, c) = float(e(r1, c1) * e(r2, c2) - e(r1, c2) * e(r2, c1));
        }
    }
    for (int c = 0; c < 3; ++c)
        out.at(3, c) = float(-(e(3, 0) * double(out.at(0, c)) + e(3, 1) * double(out.at(1, c)) +
                               e(3, 2) * double(out.at(2, c))));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            out.at(r, c) = float(double(out.at(r, c)) / det);
    out.at(3, 3) = 1.0f;
    return out;
}

TEST(AffineInverse, RoundsWhereTheResultIsStored) {
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i) {
        const Matrix4 m = random_rigid(rng);
        Matrix4 inv;
        matrix_inverse(m, inv);
        ASSERT_EQ(inv.m, stepwise_inverse(m).m) << "matrix " << i;
    }
}

} // namespace
