#include "tools/scene_shapes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

Vec3 add(const Vec3& a, const Vec3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 scale(const Vec3& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 normalised(const Vec3& a) {
    return scale(a, 1.0 / std::sqrt(dot(a, a)));
}

// Taylor series about 0 after reducing to [-pi, pi]; accurate to a few ulps there, which is far
// finer than the float positions the file stores.
double taylor_sin(double x) {
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n < 30; ++n) {
        term = -term * x2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double reduce_angle(double x) {
    const double turns = std::floor((x + kPi) / kTwoPi); // floor is exact in IEEE arithmetic
    return x - turns * kTwoPi;
}

uint16_t add_vertex(ShapeMesh& s, const Vec3& p, float u, float v) {
    s.positions.push_back(p);
    s.uv.push_back({u, v});
    return static_cast<uint16_t>(s.positions.size() - 1);
}

// Two triangles for the quad a-b-c-d; outward_hint points out of the solid near the quad.
// The winding is chosen from the geometry so that every builder gets it right by construction.
void add_triangle(ShapeMesh& s, uint16_t a, uint16_t b, uint16_t c, const Vec3& outward_hint) {
    const Vec3& pa = s.positions[a];
    const Vec3 n = cross(sub(s.positions[b], pa), sub(s.positions[c], pa));
    if (dot(n, outward_hint) >= 0) {
        s.faces.push_back({a, b, c});
    } else {
        s.faces.push_back({a, c, b});
    }
}

Vec3 centroid(const ShapeMesh& s, uint16_t a, uint16_t b, uint16_t c) {
    return scale(add(add(s.positions[a], s.positions[b]), s.positions[c]), 1.0 / 3.0);
}

// A grid of (cols + 1) x (rows + 1) vertices wrapped into a tube: the last column and row repeat
// the first positions (so mapping coordinates run 0..1) but share their exact coordinates.
template <typename PointFn, typename CentreFn>
ShapeMesh make_tube(int cols, int rows, PointFn point, CentreFn centre_of_col) {
    ShapeMesh s;
    for (int i = 0; i <= cols; ++i) {
        for (int j = 0; j <= rows; ++j) {
            add_vertex(s, point(i % cols, j % rows), static_cast<float>(i) / cols,
                       static_cast<float>(j) / rows);
        }
    }
    auto at = [rows](int i, int j) { return static_cast<uint16_t>(i * (rows + 1) + j); };
    for (int i = 0; i < cols; ++i) {
        for (int j = 0; j < rows; ++j) {
            const uint16_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            const Vec3 mid = scale(add(centre_of_col(i), centre_of_col((i + 1) % cols)), 0.5);
            add_triangle(s, a, b, c, sub(centroid(s, a, b, c), mid));
            add_triangle(s, a, c, d, sub(centroid(s, a, c, d), mid));
        }
    }
    return s;
}

uint16_t midpoint(ShapeMesh& s, std::map<std::pair<uint16_t, uint16_t>, uint16_t>& cache,
                  uint16_t a, uint16_t b, double radius) {
    const auto key = std::minmax(a, b);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    const Vec3 p = scale(normalised(add(s.positions[a], s.positions[b])), radius);
    const float u = static_cast<float>(0.5 + p[0] / (2.0 * radius));
    const float v = static_cast<float>(0.5 + p[2] / (2.0 * radius));
    const uint16_t m = add_vertex(s, p, u, v);
    cache.emplace(key, m);
    return m;
}

} // namespace

double shape_sin(double x) {
    const double r = reduce_angle(x);
    return taylor_sin(r);
}

double shape_cos(double x) {
    return shape_sin(x + kPi / 2.0);
}

ShapeMesh make_icosphere(double radius, int levels) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    const Vec3 corners[12] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                              {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                              {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    const int triangles[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                  {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                  {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                  {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    ShapeMesh s;
    for (const Vec3& c : corners) {
        const Vec3 p = scale(normalised(c), radius);
        add_vertex(s, p, static_cast<float>(0.5 + p[0] / (2.0 * radius)),
                   static_cast<float>(0.5 + p[2] / (2.0 * radius)));
    }
    std::vector<std::array<uint16_t, 3>> current;
    for (const auto& tri : triangles) {
        current.push_back({static_cast<uint16_t>(tri[0]), static_cast<uint16_t>(tri[1]),
                           static_cast<uint16_t>(tri[2])});
    }
    for (int level = 0; level < levels; ++level) {
        std::map<std::pair<uint16_t, uint16_t>, uint16_t> cache;
        std::vector<std::array<uint16_t, 3>> next;
        for (const auto& f : current) {
            const uint16_t ab = midpoint(s, cache, f[0], f[1], radius);
            const uint16_t bc = midpoint(s, cache, f[1], f[2], radius);
            const uint16_t ca = midpoint(s, cache, f[2], f[0], radius);
            next.push_back({f[0], ab, ca});
            next.push_back({f[1], bc, ab});
            next.push_back({f[2], ca, bc});
            next.push_back({ab, bc, ca});
        }
        current = std::move(next);
    }
    for (const auto& f : current)
        add_triangle(s, f[0], f[1], f[2], centroid(s, f[0], f[1], f[2]));
    return s;
}

ShapeMesh make_torus(double major_radius, double minor_radius, int rings, int sides) {
    auto point = [=](int i, int j) {
        const double a = kTwoPi * i / rings, b = kTwoPi * j / sides;
        const double r = major_radius + minor_radius * shape_cos(b);
        return Vec3{r * shape_cos(a), r * shape_sin(a), minor_radius * shape_sin(b)};
    };
    auto centre = [=](int i) {
        const double a = kTwoPi * i / rings;
        return Vec3{major_radius * shape_cos(a), major_radius * shape_sin(a), 0.0};
    };
    return make_tube(rings, sides, point, centre);
}

ShapeMesh make_knot(double scale_radius, double tube_radius, int p, int q, int segments,
                    int sides) {
    auto curve = [=](double t) {
        const double r = scale_radius * (1.0 + 0.45 * shape_cos(q * t));
        return Vec3{r * shape_cos(p * t), r * shape_sin(p * t),
                    scale_radius * 0.45 * shape_sin(q * t)};
    };
    // A rotation-minimising frame would need a closing twist; the knot's curvature never
    // vanishes, so the Frenet frame from central differences is smooth and closes by itself.
    auto frame = [=](int i, Vec3& centre, Vec3& n, Vec3& b) {
        const double t = kTwoPi * i / segments, h = 1e-4;
        centre = curve(t);
        const Vec3 before = curve(t - h), after = curve(t + h);
        const Vec3 tangent = normalised(sub(after, before));
        const Vec3 bend = sub(add(after, before), scale(centre, 2.0));
        b = normalised(cross(tangent, bend));
        n = cross(b, tangent);
    };
    auto point = [=](int i, int j) {
        Vec3 c, n, b;
        frame(i, c, n, b);
        const double a = kTwoPi * j / sides;
        return add(c,
                   add(scale(n, tube_radius * shape_cos(a)), scale(b, tube_radius * shape_sin(a))));
    };
    auto centre = [=](int i) {
        Vec3 c, n, b;
        frame(i, c, n, b);
        return c;
    };
    return make_tube(segments, sides, point, centre);
}

ShapeMesh make_twisted_bar(double length, double half_width, double twist, int segments) {
    ShapeMesh s;
    const double corner_x[4] = {1, -1, -1, 1}, corner_y[4] = {1, 1, -1, -1};
    auto corner = [&](int k, int i) {
        const double z = -length / 2 + length * i / segments;
        const double a = -twist / 2 + twist * i / segments;
        const double c = shape_cos(a), sn = shape_sin(a);
        const double x = corner_x[k] * half_width, y = corner_y[k] * half_width;
        return Vec3{x * c - y * sn, x * sn + y * c, z};
    };
    // Each side gets vertices of its own so that its mapping runs 0..1 across it.
    for (int side = 0; side < 4; ++side) {
        const int k0 = side, k1 = (side + 1) % 4;
        const uint16_t first = static_cast<uint16_t>(s.positions.size());
        for (int i = 0; i <= segments; ++i) {
            const float v = static_cast<float>(i) / segments;
            add_vertex(s, corner(k0, i), 0.0f, v);
            add_vertex(s, corner(k1, i), 1.0f, v);
        }
        for (int i = 0; i < segments; ++i) {
            const uint16_t a = static_cast<uint16_t>(first + 2 * i), b = a + 1, c = a + 3,
                           d = a + 2;
            const double z = -length / 2 + length * (i + 0.5) / segments;
            const Vec3 axis{0, 0, z};
            add_triangle(s, a, b, c, sub(centroid(s, a, b, c), axis));
            add_triangle(s, a, c, d, sub(centroid(s, a, c, d), axis));
        }
    }
    for (int end = 0; end < 2; ++end) {
        const int i = end == 0 ? 0 : segments;
        uint16_t v[4];
        for (int k = 0; k < 4; ++k) {
            v[k] = add_vertex(s, corner(k, i), static_cast<float>(corner_x[k] > 0),
                              static_cast<float>(corner_y[k] > 0));
        }
        const Vec3 out{0, 0, end == 0 ? -1.0 : 1.0};
        add_triangle(s, v[0], v[1], v[2], out);
        add_triangle(s, v[0], v[2], v[3], out);
    }
    return s;
}

void rotate_shape(ShapeMesh& shape, const std::array<Vec3, 3>& rows) {
    for (Vec3& p : shape.positions) {
        p = add(add(scale(rows[0], p[0]), scale(rows[1], p[1])), scale(rows[2], p[2]));
    }
}

double signed_volume6(const ShapeMesh& shape) {
    double sum = 0;
    for (const auto& f : shape.faces) {
        sum += dot(shape.positions[f[0]], cross(shape.positions[f[1]], shape.positions[f[2]]));
    }
    return sum;
}
