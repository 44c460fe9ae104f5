#include "loader/geometry.h"

#include "loader/position_groups.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

struct Vec3d {
    double x, y, z;
};

Vec3d position_of(const MeshObject& mesh, int32_t index) {
    const Vertex& v = mesh.vertices[static_cast<size_t>(index)];
    return {v.x, v.y, v.z};
}

} // namespace

Plane compute_face_plane(const MeshObject& mesh, const Face& face) {
    Vec3d p0 = position_of(mesh, face.v[0]);
    Vec3d p1 = position_of(mesh, face.v[1]);
    Vec3d p2 = position_of(mesh, face.v[2]);
    Vec3d e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
    Vec3d e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
    Vec3d n{e2.y * e1.z - e2.z * e1.y, e2.z * e1.x - e2.x * e1.z, e2.x * e1.y - e2.y * e1.x};
    double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    Plane plane;
    plane.a = static_cast<float>(n.x / length);
    plane.b = static_cast<float>(n.y / length);
    plane.c = static_cast<float>(n.z / length);
    plane.d = static_cast<float>(-(static_cast<double>(plane.a) * p0.x +
                                   static_cast<double>(plane.b) * p0.y +
                                   static_cast<double>(plane.c) * p0.z));
    return plane;
}

void compute_face_planes(MeshObject& mesh) {
    for (Face& face : mesh.faces)
        face.plane = compute_face_plane(mesh, face);
}

void compute_vertex_normals(MeshObject& mesh) {
    int32_t group_count = 0;
    std::vector<int32_t> group = group_equal_positions(mesh.vertices, group_count);
    // Corners are visited in face order, then first, second, third, so each group's sum is
    // accumulated in exactly the order a vertex-by-corner scan would add the same terms.
    std::vector<Vec3d> sums(static_cast<size_t>(group_count), Vec3d{0, 0, 0});
    for (const Face& face : mesh.faces) {
        for (int32_t corner : face.v) {
            int32_t g = group[static_cast<size_t>(corner)];
            if (g < 0) continue;
            Vec3d& s = sums[static_cast<size_t>(g)];
            s.x += face.plane.a;
            s.y += face.plane.b;
            s.z += face.plane.c;
        }
    }
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        Vertex& v = mesh.vertices[i];
        Vec3d s = group[i] < 0 ? Vec3d{0, 0, 0} : sums[static_cast<size_t>(group[i])];
        double length = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
        if (length == 0.0) {
            v.nx = v.ny = v.nz = 0.0f;
            continue;
        }
        v.nx = static_cast<float>(s.x / length);
        v.ny = static_cast<float>(s.y / length);
        v.nz = static_cast<float>(s.z / length);
    }
}

void build_camera_matrix(Camera& camera) {
    matrix_identity(camera.matrix);
    if (camera.position_key_count < 1 || camera.position_track.x.empty()) return;
    const PositionTrack& pos = camera.position_track;
    Vec3d p{pos.x[0], pos.y[0], pos.z[0]};
    Matrix4& m = camera.matrix;
    if (camera.target_key_count < 1 || camera.target_track.x.empty()) {
        // Without a target the translation keeps the file's axis order.
        m.at(3, 0) = pos.x[0];
        m.at(3, 1) = pos.z[0];
        m.at(3, 2) = pos.y[0];
        return;
    }
    const PositionTrack& tgt = camera.target_track;
    Vec3d d{tgt.x[0] - p.x, tgt.y[0] - p.y, tgt.z[0] - p.z};
    double d_length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    Vec3d f{d.x / d_length, d.y / d_length, d.z / d_length};
    Vec3d r{-f.z, 0.0, f.x}; // f x (0, 1, 0)
    Vec3d u{f.y * r.z - f.z * r.y, f.z * r.x - f.x * r.z, f.x * r.y - f.y * r.x};
    double r_length = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    double u_length = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
    const Vec3d rows[3] = {{r.x / r_length, r.y / r_length, r.z / r_length},
                           {u.x / u_length, u.y / u_length, u.z / u_length},
                           f};
    for (int row = 0; row < 3; ++row) {
        m.at(row, 0) = static_cast<float>(rows[row].x);
        m.at(row, 1) = static_cast<float>(rows[row].y);
        m.at(row, 2) = static_cast<float>(rows[row].z);
        m.at(row, 3) = 0.0f;
    }
    m.at(3, 0) = static_cast<float>(p.x);
    m.at(3, 1) = static_cast<float>(p.y);
    m.at(3, 2) = static_cast<float>(p.z);
    m.at(3, 3) = 1.0f;
}
