// The orbit camera: where it starts, how drags, the wheel and panning move the picture, its
// limits, and continuing an orbit from another camera.
#include "app/demo.h"
#include "app/orbit_view.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int32_t kW = 1024, kH = 768;
constexpr double kFocal = kW / 2.0;

struct ScreenPoint {
    double x = 0, y = 0, z = 0; // pixels, and depth in front of the eye
};

// Where the renderer puts a world point: into camera space with the inverse camera, then the
// perspective divide about the middle of the picture.
ScreenPoint project(const OrbitView& view, const std::array<double, 3>& p) {
    Matrix4 inverse;
    matrix_inverse(orbit_camera(view), inverse);
    double c[3];
    for (int j = 0; j < 3; ++j)
        c[j] = p[0] * inverse.at(0, j) + p[1] * inverse.at(1, j) + p[2] * inverse.at(2, j) +
               inverse.at(3, j);
    return {kFocal * c[0] / c[2] + kW / 2.0, kFocal * c[1] / c[2] + kH / 2.0, c[2]};
}

const std::array<double, 3> kCentre{10, -20, 30};
constexpr double kFitDistance = 250;

TEST(OrbitFit, IsTheDemoCameraAndComesBackExactly) {
    Matrix4 demo;
    demo_orient_camera(demo, 150.0f);
    const Matrix4 orbit = orbit_camera(orbit_fit({0, 0, 0}, 150));
    EXPECT_EQ(orbit.m, demo.m);

    OrbitView view = orbit_fit(kCentre, kFitDistance);
    EXPECT_TRUE(orbit_is_fitted(view));
    const Matrix4 fitted = orbit_camera(view);
    orbit_turn(view, 37, -12, kH);
    orbit_zoom(view, 3);
    orbit_pan(view, 5, 9, kFocal);
    EXPECT_FALSE(orbit_is_fitted(view));
    orbit_refit(view);
    EXPECT_TRUE(orbit_is_fitted(view));
    EXPECT_EQ(orbit_camera(view).m, fitted.m);

    // The centre in the middle of the picture, the eye above it on the near side.
    const ScreenPoint middle = project(view, kCentre);
    EXPECT_NEAR(middle.x, kW / 2.0, 1e-3);
    EXPECT_NEAR(middle.y, kH / 2.0, 1e-3);
    EXPECT_NEAR(middle.z, kFitDistance, 1e-3);
    const ScreenPoint above = project(view, {kCentre[0], kCentre[1] + 10, kCentre[2]});
    EXPECT_LT(above.y, middle.y);
    // Bad fits fall back to the demo's distance and the origin.
    const OrbitView bad = orbit_fit({NAN, 0, 0}, -1);
    EXPECT_EQ(bad.fit_distance, 150);
    EXPECT_EQ(bad.centre, (std::array<double, 3>{}));
}

TEST(OrbitTurn, TheSceneFollowsThePointerAndNeverTipsOver) {
    OrbitView view = orbit_fit(kCentre, kFitDistance);
    // A point on the near side of the centre.
    const std::array<double, 3> near{kCentre[0], kCentre[1], kCentre[2] - 50};
    const ScreenPoint before = project(view, near);
    OrbitView right = view;
    orbit_turn(right, 40, 0, kH);
    EXPECT_GT(project(right, near).x, before.x + 5);
    EXPECT_NEAR(project(right, kCentre).x, kW / 2.0, 1e-3); // it turns about the centre
    OrbitView down = view;
    orbit_turn(down, 0, 40, kH);
    EXPECT_GT(project(down, near).y, before.y + 5);
    // A drag over the whole height is half a turn; back and forth cancels.
    OrbitView half = view;
    orbit_turn(half, kH, 0, kH);
    EXPECT_NEAR(std::fabs(half.yaw), M_PI, 1e-9);
    orbit_turn(half, -kH, 0, kH);
    EXPECT_NEAR(half.yaw, 0, 1e-9);

    // However far the drag goes, the tilt stops short of the poles and up stays up.
    for (double dy : {1e6, -1e6}) {
        OrbitView pole = view;
        orbit_turn(pole, 0, dy, kH);
        EXPECT_NEAR(std::fabs(pole.pitch), M_PI / 2 - kOrbitPoleMargin, 1e-12);
        const Matrix4 camera = orbit_camera(pole);
        EXPECT_LT(camera.at(1, 1), 0); // screen down points down in the world
        const ScreenPoint above = project(pole, {kCentre[0], kCentre[1] + 1, kCentre[2]});
        EXPECT_TRUE(std::isfinite(above.x) && std::isfinite(above.y));
    }
    // Nonsense moves nothing.
    OrbitView same = view;
    orbit_turn(same, NAN, 3, kH);
    orbit_turn(same, 3, INFINITY, kH);
    orbit_turn(same, 3, 3, 0);
    EXPECT_TRUE(orbit_is_fitted(same));
}

TEST(OrbitZoom, TheWheelEnlargesAboutTheCentreWithinBounds) {
    OrbitView view = orbit_fit(kCentre, kFitDistance);
    const std::array<double, 3> side{kCentre[0] + 40, kCentre[1], kCentre[2]};
    const double before = std::fabs(project(view, side).x - kW / 2.0);
    orbit_zoom(view, 2);
    EXPECT_GT(std::fabs(project(view, side).x - kW / 2.0), before * 1.3);
    EXPECT_NEAR(project(view, kCentre).x, kW / 2.0, 1e-3);
    EXPECT_NEAR(project(view, kCentre).y, kH / 2.0, 1e-3);
    orbit_zoom(view, -2); // undone, to the zoom factor's single precision
    EXPECT_NEAR(view.distance, kFitDistance, kFitDistance * 1e-6);
    orbit_zoom(view, 1e6);
    EXPECT_DOUBLE_EQ(view.distance, kFitDistance / kOrbitRange);
    orbit_zoom(view, -1e6);
    EXPECT_DOUBLE_EQ(view.distance, kFitDistance * kOrbitRange);
    orbit_zoom(view, NAN);
    EXPECT_DOUBLE_EQ(view.distance, kFitDistance * kOrbitRange);
}

TEST(OrbitPan, TheLookedAtPointFollowsThePointerExactly) {
    OrbitView view = orbit_fit(kCentre, kFitDistance);
    orbit_turn(view, 123, -45, kH); // panning works in the camera's own axes, from any angle
    orbit_zoom(view, 1);
    const OrbitView turned = view;
    orbit_pan(view, 30, -20, kFocal);
    const ScreenPoint moved = project(view, kCentre);
    EXPECT_NEAR(moved.x, kW / 2.0 + 30, 1e-2);
    EXPECT_NEAR(moved.y, kH / 2.0 - 20, 1e-2);
    EXPECT_EQ(view.distance, turned.distance); // no zoom, no turn
    EXPECT_EQ(view.yaw, turned.yaw);
    // The target never wanders off farther than the bound.
    orbit_pan(view, 1e9, 1e9, kFocal);
    double offset2 = 0;
    for (size_t i = 0; i < 3; ++i)
        offset2 += (view.target[i] - kCentre[i]) * (view.target[i] - kCentre[i]);
    EXPECT_NEAR(std::sqrt(offset2), kFitDistance * kOrbitRange, 1e-6 * kFitDistance);
    const OrbitView far = view;
    orbit_pan(view, 1, 1, 0);
    orbit_pan(view, NAN, 1, kFocal);
    EXPECT_EQ(view.target, far.target);
}

TEST(OrbitFromCamera, ContinuesFromTheSameEyeAndLineOfSight) {
    OrbitView view = orbit_fit(kCentre, kFitDistance);
    orbit_turn(view, -300, 100, kH);
    orbit_zoom(view, -1.5);
    orbit_pan(view, 12, 7, kFocal);
    const Matrix4 camera = orbit_camera(view);
    const OrbitView again = orbit_from_camera(camera, kCentre, kFitDistance);
    const Matrix4 same = orbit_camera(again);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_NEAR(same.m[i], camera.m[i], 1e-3 * (i >= 12 ? kFitDistance : 1.0)) << i;
    EXPECT_EQ(again.centre, kCentre);

    // The demo's camera from 150 units, with the scene's centre elsewhere: the eye stays put.
    Matrix4 demo;
    demo_orient_camera(demo, 150.0f);
    const OrbitView from_demo = orbit_from_camera(demo, kCentre, kFitDistance);
    const Matrix4 continued = orbit_camera(from_demo);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(continued.at(3, c), demo.at(3, c), 1e-3);
        EXPECT_NEAR(continued.at(2, c), demo.at(2, c), 1e-6);
    }
    // A camera matrix without a line of sight gives the fit.
    Matrix4 broken{};
    EXPECT_TRUE(orbit_is_fitted(orbit_from_camera(broken, kCentre, kFitDistance)));
}

} // namespace
