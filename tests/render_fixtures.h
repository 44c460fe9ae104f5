// render_fixtures.h - small meshes built in memory for the renderer's tests and benchmark.
//
// Faces carry their plane the way the loader derives it: the normal is
// (third - first) x (second - first), normalised, so a face is drawn when the camera is behind
// its plane. Coordinates are in object space; vertex indices refer to the mesh's own array.
#pragma once

#include "scene/math3d.h"
#include "scene/scene.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace fixtures {

inline Vertex vertex(float x, float y, float z) {
    Vertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

inline Plane face_plane(const std::vector<Vertex>& vs, const std::array<int32_t, 3>& idx) {
    const Vertex& p0 = vs[size_t(idx[0])];
    const Vertex& p1 = vs[size_t(idx[1])];
    const Vertex& p2 = vs[size_t(idx[2])];
    Plane plane;
    return plane_from_points(plane, p0.x, p0.y, p0.z, p2.x, p2.y, p2.z, p1.x, p1.y, p1.z);
}

inline Face face(const std::vector<Vertex>& vs, int32_t a, int32_t b, int32_t c) {
    Face f;
    f.v = {a, b, c};
    f.plane = face_plane(vs, f.v);
    return f;
}

inline MeshObject mesh(std::vector<Vertex> vs, const std::vector<std::array<int32_t, 3>>& tris) {
    MeshObject m;
    m.vertices = std::move(vs);
    for (const auto& t : tris)
        m.faces.push_back(face(m.vertices, t[0], t[1], t[2]));
    m.vertex_count = int32_t(m.vertices.size());
    m.face_count = int32_t(m.faces.size());
    matrix_identity(m.matrix);
    return m;
}

// A torus around the y axis, centred at the origin: rings segments around the big circle,
// sides around the tube, 2 * rings * sides faces, each facing outwards (drawn from outside).
inline MeshObject torus(int rings, int sides, float major_radius, float minor_radius) {
    MeshObject m;
    const double two_pi = 6.283185307179586;
    for (int i = 0; i < rings; ++i) {
        const double a = two_pi * i / rings;
        for (int j = 0; j < sides; ++j) {
            const double b = two_pi * j / sides;
            const double r = major_radius + minor_radius * std::cos(b);
            m.vertices.push_back(vertex(float(r * std::cos(a)), float(minor_radius * std::sin(b)),
                                        float(r * std::sin(a))));
        }
    }
    auto index = [&](int i, int j) { return int32_t((i % rings) * sides + (j % sides)); };
    auto add = [&](int32_t p, int32_t q, int32_t s, int i, int j) {
        Face f = face(m.vertices, p, q, s);
        // Outward direction at the quad: from the tube's centre line to the surface.
        const double a = two_pi * (i + 0.5) / rings, b = two_pi * (j + 0.5) / sides;
        const double ox = std::cos(b) * std::cos(a), oy = std::sin(b),
                     oz = std::cos(b) * std::sin(a);
        if (f.plane.a * ox + f.plane.b * oy + f.plane.c * oz > 0) {
            f.v = {p, s, q};
            f.plane = face_plane(m.vertices, f.v);
        }
        m.faces.push_back(f);
    };
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < sides; ++j) {
            add(index(i, j), index(i + 1, j), index(i + 1, j + 1), i, j);
            add(index(i, j), index(i + 1, j + 1), index(i, j + 1), i, j);
        }
    }
    m.vertex_count = int32_t(m.vertices.size());
    m.face_count = int32_t(m.faces.size());
    matrix_identity(m.matrix);
    return m;
}

} // namespace fixtures
