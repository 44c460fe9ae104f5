#include "app/orbit_view.h"

#include "scene/bit_cast.h"

#include <algorithm>
#include <cmath>

// The demo camera's tilt of 30 degrees, as the very float the demo uses.
const float kOrbitFitPitch = bit_cast_value<float>(0x3F060A92u); // 0.5235988

namespace {

// The demo camera's half turn about its line of sight (screen y down, scene y up), as the very
// float the demo uses, so that the fitted orbit is the demo's camera bit for bit.
const float kHalfTurn = bit_cast_value<float>(0xC0490FDAu); // -3.1415925
constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxPitch = kPi / 2 - kOrbitPoleMargin;
constexpr double kDefaultDistance = 150.0;

bool finite_point(const std::array<double, 3>& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

double clamp_distance(const OrbitView& view, double distance) {
    return std::clamp(distance, view.fit_distance / kOrbitRange, view.fit_distance * kOrbitRange);
}

// Keeps the target within kOrbitRange fitted distances of the centre, along the line from the
// centre, so that panning never loses the scene for good.
void bound_target(OrbitView& view) {
    std::array<double, 3> offset{};
    double length2 = 0;
    for (size_t i = 0; i < 3; ++i) {
        offset[i] = view.target[i] - view.centre[i];
        length2 += offset[i] * offset[i];
    }
    const double limit = view.fit_distance * kOrbitRange;
    const double length = std::sqrt(length2);
    if (!(length > limit)) return;
    for (size_t i = 0; i < 3; ++i)
        view.target[i] = view.centre[i] + offset[i] * (limit / length);
}

} // namespace

OrbitView orbit_fit(const std::array<double, 3>& centre, double fit_distance) {
    OrbitView view;
    view.centre = finite_point(centre) ? centre : std::array<double, 3>{};
    view.fit_distance =
        std::isfinite(fit_distance) && fit_distance > 0 ? fit_distance : kDefaultDistance;
    orbit_refit(view);
    return view;
}

void orbit_refit(OrbitView& view) {
    view.target = view.centre;
    view.yaw = 0;
    view.pitch = double(kOrbitFitPitch);
    view.distance = view.fit_distance;
}

bool orbit_is_fitted(const OrbitView& view) {
    return view.target == view.centre && view.yaw == 0 && view.pitch == double(kOrbitFitPitch) &&
           view.distance == view.fit_distance;
}

void orbit_turn(OrbitView& view, double dx, double dy, int32_t height) {
    if (!std::isfinite(dx) || !std::isfinite(dy) || height <= 0) return;
    const double rate = kOrbitTurnPerHeight / double(height);
    // The yaw stays within one turn so that its float in the camera matrix keeps its precision
    // however long a person keeps turning.
    view.yaw = std::remainder(view.yaw - dx * rate, 2 * kPi);
    view.pitch = std::clamp(view.pitch + dy * rate, -kMaxPitch, kMaxPitch);
}

void orbit_zoom(OrbitView& view, double steps) {
    if (!std::isfinite(steps)) return;
    // A zoom factor needs no more than single precision, and the float power keeps the web
    // page's module free of the double one's tables (10 KB).
    const float factor = std::pow(float(kOrbitZoomStep), float(steps));
    view.distance = clamp_distance(view, view.distance * double(factor));
}

void orbit_pan(OrbitView& view, double dx, double dy, double focal) {
    if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(focal) || !(focal > 0)) return;
    // At the target's depth one pixel is distance / focal units; the target moves against the
    // pointer along the camera's right and down axes, so the scene moves with it.
    const Matrix4 camera = orbit_camera(view);
    const double units = view.distance / focal;
    for (int i = 0; i < 3; ++i)
        view.target[size_t(i)] -=
            (dx * double(camera.at(0, i)) + dy * double(camera.at(1, i))) * units;
    bound_target(view);
}

Matrix4 orbit_camera(const OrbitView& view) {
    // Applied to a point in camera space, innermost first: back along the line of sight, the
    // tilt, the half turn that puts the scene's up at the top of the picture, the turn about the
    // vertical, and the target's place.
    Matrix4 camera;
    matrix_identity(camera);
    matrix_translate(camera, float(view.target[0]), float(view.target[1]), float(view.target[2]));
    matrix_rotate_y(camera, float(view.yaw));
    matrix_rotate_z(camera, kHalfTurn);
    matrix_rotate_x(camera, float(-view.pitch));
    matrix_translate(camera, 0.0f, 0.0f, float(-view.distance));
    return camera;
}

OrbitView orbit_from_camera(const Matrix4& camera, const std::array<double, 3>& centre,
                            double fit_distance) {
    OrbitView view = orbit_fit(centre, fit_distance);
    std::array<double, 3> eye{}, forward{};
    double forward_length2 = 0, depth = 0;
    for (size_t i = 0; i < 3; ++i) {
        eye[i] = double(camera.at(3, int(i)));
        forward[i] = double(camera.at(2, int(i)));
        forward_length2 += forward[i] * forward[i];
    }
    const double forward_length = std::sqrt(forward_length2);
    if (!finite_point(eye) || !(forward_length > 0) || !std::isfinite(forward_length)) return view;
    for (size_t i = 0; i < 3; ++i) {
        forward[i] /= forward_length;
        depth += (view.centre[i] - eye[i]) * forward[i];
    }
    view.distance = clamp_distance(view, depth);
    for (size_t i = 0; i < 3; ++i)
        view.target[i] = eye[i] + forward[i] * view.distance;
    // The eye sits at distance * (-cos p sin yaw, sin p, -cos p cos yaw) from the target.
    view.pitch = std::clamp(std::asin(std::clamp(-forward[1], -1.0, 1.0)), -kMaxPitch, kMaxPitch);
    view.yaw = std::atan2(forward[0], forward[2]);
    bound_target(view);
    return view;
}
