#include "render/view.h"

#include <algorithm>
#include <cmath>

namespace {

enum class Side { inside, outside, on };

Side classify(double distance) {
    if (distance > 0.0) return Side::inside;
    if (distance == 0.0) return Side::on;
    return Side::outside; // negative or not a number
}

enum class Verdict { accept, reject, straddle };

Verdict plane_verdict(const Plane& plane, const ClipVertex& a, const ClipVertex& b,
                      const ClipVertex& c) {
    int in_or_on = 0;
    int out_or_on = 0;
    for (const ClipVertex* vertex : {&a, &b, &c}) {
        const Side side = classify(plane_distance(plane, *vertex));
        if (side != Side::outside) ++in_or_on;
        if (side != Side::inside) ++out_or_on;
    }
    if (in_or_on == 3) return Verdict::accept; // tested first: a triangle in the plane stays
    if (out_or_on == 3) return Verdict::reject;
    return Verdict::straddle;
}

void emit(ClipPolygon& polygon, const ClipVertex& vertex) {
    // A convex input never needs more than 7 slots; rounding-damaged input is cut off here.
    if (polygon.count >= kMaxClipVertices) return;
    polygon.vertices[static_cast<size_t>(polygon.count)] = vertex;
    ++polygon.count;
}

float lerp_field(float a, float b, double s) {
    return static_cast<float>(double(a) + s * (double(a) - double(b)));
}

} // namespace

int32_t setup_view(ViewSetup& view, int32_t Width, int32_t Height) {
    const double quarter_pi = 0.785398163397448279;
    return setup_view_with_focal(
        view, Width, Height,
        static_cast<float>(std::fabs(double(Width) / (2.0 * std::tan(quarter_pi)))));
}

int32_t setup_view_with_focal(ViewSetup& view, int32_t Width, int32_t Height, float focal) {
    view.Width = Width;
    view.Height = Height;
    view.focal = focal;
    build_frustum_planes(static_cast<float>(double(Width) - 4.0),
                         static_cast<float>(double(Height) - 4.0), view.focal, view.planes);
    return 1;
}

void build_frustum_planes(float w, float h, float f, std::array<Plane, 4>& planes) {
    const float t = static_cast<float>(2.0 * double(f));
    const float e = static_cast<float>(double(w) / double(t));
    const float g = static_cast<float>(double(h) / double(t));
    plane_from_points(planes[0], 0, 0, 0, e, 0, 1, e, 1, 1);   // right
    plane_from_points(planes[1], 0, 0, 0, -e, 1, 1, -e, 0, 1); // left
    plane_from_points(planes[2], 0, 0, 0, 0, -g, 1, 1, -g, 1); // top
    plane_from_points(planes[3], 0, 0, 0, 1, g, 1, 0, g, 1);   // bottom
}

ClipVertex intersect_edge(const ClipVertex& a, const ClipVertex& b, const Plane& plane) {
    const double da = plane_distance(plane, a);
    const double db = plane_distance(plane, b);
    if (da == db || std::isnan(da) || std::isnan(db)) return a;
    const double s = da / (db - da);
    ClipVertex cut;
    cut.x = lerp_field(a.x, b.x, s);
    cut.y = lerp_field(a.y, b.y, s);
    cut.z = lerp_field(a.z, b.z, s);
    cut.u = lerp_field(a.u, b.u, s);
    cut.v = lerp_field(a.v, b.v, s);
    return cut;
}

ClipPolygon clip_to_plane(const ClipPolygon& polygon, const Plane& plane) {
    ClipPolygon out;
    const int32_t n = std::clamp(polygon.count, 0, kMaxClipVertices);
    if (n == 0) return out;

    std::array<Side, kMaxClipVertices> sides{};
    for (int32_t i = 0; i < n; ++i)
        sides[size_t(i)] = classify(plane_distance(plane, polygon.vertices[size_t(i)]));

    int32_t previous = n - 1;
    for (int32_t current = 0; current < n; previous = current, ++current) {
        const ClipVertex& p = polygon.vertices[size_t(previous)];
        const ClipVertex& q = polygon.vertices[size_t(current)];
        const Side ps = sides[size_t(previous)];
        const Side qs = sides[size_t(current)];
        if (qs == Side::inside) {
            if (ps == Side::outside) emit(out, intersect_edge(p, q, plane));
            emit(out, q);
        } else if (ps == Side::inside) {
            // Leaving the inside, or arriving on the plane: the cut point stands for q.
            emit(out, intersect_edge(p, q, plane));
        }
    }
    return out;
}

ClipPolygon clip_triangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                          const std::array<Plane, 4>& planes) {
    std::array<Verdict, 4> verdicts{};
    for (size_t k = 0; k < 4; ++k)
        verdicts[k] = plane_verdict(planes[k], a, b, c);

    ClipPolygon polygon;
    polygon.count = 3;
    polygon.vertices[0] = a;
    polygon.vertices[1] = b;
    polygon.vertices[2] = c;
    for (Verdict verdict : verdicts) {
        if (verdict == Verdict::reject) {
            polygon.count = 0;
            return polygon;
        }
    }
    for (size_t k = 0; k < 4; ++k)
        if (verdicts[k] == Verdict::straddle) polygon = clip_to_plane(polygon, planes[k]);
    return polygon;
}
