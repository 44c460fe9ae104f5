#include "render/model_mesh.h"

#include "scene/math3d.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>

namespace {

bool finite3(const Vector3& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

float channel(float value) {
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) * 255.0f : 0.0f;
}

bool indices_valid(const Face& face, size_t vertex_count) {
    return std::all_of(face.v.begin(), face.v.end(),
                       [&](int32_t v) { return v >= 0 && size_t(v) < vertex_count; });
}

Vector3 position(const MeshObject& mesh, int32_t index) {
    const Vertex& v = mesh.vertices[size_t(index)];
    return {v.x, v.y, v.z};
}

// The angle of face at its corner k: the share of the vertex's surroundings the face covers.
double corner_angle(const MeshObject& mesh, const Face& face, size_t k) {
    const Vector3 p = position(mesh, face.v[k]);
    const Vector3 a = vector_sub(position(mesh, face.v[(k + 1) % 3]), p);
    const Vector3 b = vector_sub(position(mesh, face.v[(k + 2) % 3]), p);
    const double angle = std::atan2(vector_length(vector_cross(a, b)), vector_dot(a, b));
    return std::isfinite(angle) ? angle : 0.0;
}

// The faces around each vertex: the corners at vertex v are corners[first[v]..first[v + 1]),
// each a face index times 3 plus the corner.
struct VertexCorners {
    std::vector<uint32_t> first;
    std::vector<uint32_t> corners;
};

VertexCorners corners_by_vertex(const MeshObject& mesh, const std::vector<bool>& usable) {
    VertexCorners out;
    out.first.assign(mesh.vertices.size() + 1, 0);
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        if (usable[f])
            for (int32_t v : mesh.faces[f].v)
                ++out.first[size_t(v) + 1];
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        out.first[v + 1] += out.first[v];
    out.corners.resize(out.first.back());
    std::vector<uint32_t> next(out.first.begin(), out.first.end() - 1);
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        if (usable[f])
            for (size_t k = 0; k < 3; ++k)
                out.corners[next[size_t(mesh.faces[f].v[k])]++] = uint32_t(3 * f + k);
    return out;
}

// The corners around one vertex that lie in some smoothing group, sorted by bits, then material.
struct CornerKey {
    uint32_t bits, material, corner; // corner: face index times 3 plus the corner
};

// The faces around one vertex with the same smoothing bits, and the normal their corners get.
struct BitsGroup {
    uint32_t bits;
    Vector3 sum;    // angle-weighted normals of the group's own faces
    Vector3 normal; // unit: the sum over every group sharing a bit with this one
};

// Groups compared with each other at one vertex, at most: no modeller writes more than a handful
// of different sets of bits around a vertex, and a hostile file must not make the work grow with
// the square of a vertex's faces. A set beyond the limit is smoothed with its own faces only.
constexpr size_t kMaxGroupsCompared = 64;

void group_normals(const MeshObject& mesh, const ModelMesh& out, std::span<const CornerKey> keys,
                   std::vector<BitsGroup>& groups) {
    groups.clear();
    for (const CornerKey& key : keys) {
        if (groups.empty() || groups.back().bits != key.bits) groups.push_back({key.bits, {}, {}});
        const FaceNormal& face = out.normals[key.corner / 3];
        groups.back().sum = vector_add(
            groups.back().sum,
            vector_scale({face.nx, face.ny, face.nz},
                         corner_angle(mesh, mesh.faces[key.corner / 3], key.corner % 3)));
    }
    const bool compare = groups.size() <= kMaxGroupsCompared;
    for (BitsGroup& group : groups) {
        Vector3 sum = group.sum;
        if (compare) {
            sum = {};
            for (const BitsGroup& other : groups)
                if ((other.bits & group.bits) != 0) sum = vector_add(sum, other.sum);
        }
        const double length = vector_length(sum);
        group.normal =
            length > 1e-12 && std::isfinite(length) ? vector_scale(sum, 1.0 / length) : Vector3{};
    }
}

// One shading point per run of corners with the same bits and material.
void add_shading_points(uint32_t vertex, std::span<const CornerKey> keys,
                        std::span<const BitsGroup> groups, ModelMesh& out) {
    size_t group = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        const CornerKey& key = keys[i];
        while (groups[group].bits != key.bits)
            ++group;
        ModelFace& face = out.faces[key.corner / 3];
        if (i > 0 && keys[i - 1].bits == key.bits && keys[i - 1].material == key.material) {
            const CornerKey& previous = keys[i - 1];
            face.shade[key.corner % 3] = out.faces[previous.corner / 3].shade[previous.corner % 3];
            continue;
        }
        ShadingPoint point;
        point.vertex = vertex;
        point.material = key.material;
        const Vector3& n = groups[group].normal;
        const bool none = n[0] == 0 && n[1] == 0 && n[2] == 0;
        const FaceNormal& own = out.normals[key.corner / 3];
        point.nx = none ? own.nx : float(n[0]);
        point.ny = none ? own.ny : float(n[1]);
        point.nz = none ? own.nz : float(n[2]);
        face.shade[key.corner % 3] = uint32_t(out.points.size());
        out.points.push_back(point);
    }
}

} // namespace

ModelMaterial model_material(const Material* material, const TextureImage* picture) {
    ModelMaterial m;
    float diffuse[3] = {kModelGrey, kModelGrey, kModelGrey};
    if (material != nullptr && material->diffuse_set)
        std::copy(material->diffuse.begin(), material->diffuse.end(), diffuse);
    m.textured = material != nullptr && texture_mapping(*material, picture, m.texture);
    if (m.textured) std::fill_n(diffuse, 3, 1.0f);
    if (material == nullptr) {
        for (size_t c = 0; c < 3; ++c) {
            m.base[c] = channel(diffuse[c]) * kAmbientLight;
            m.diffuse[c] = channel(diffuse[c]) * kEyeLight;
        }
        return m;
    }
    const float glow =
        std::isfinite(material->self_illum) ? std::clamp(material->self_illum, 0.0f, 1.0f) : 0.0f;
    const float lit = 1.0f - glow;
    const float strength = std::isfinite(material->shininess_strength)
                               ? std::clamp(material->shininess_strength, 0.0f, 1.0f)
                               : 0.0f;
    const float shininess =
        std::isfinite(material->shininess) ? std::clamp(material->shininess, 0.0f, 1.0f) : 0.0f;
    m.has_specular = strength > 0 && shininess > 0 && lit > 0;
    m.exponent = std::max(1.0f, kMaxSpecularExponent * shininess);
    m.two_sided = material->two_sided;
    for (size_t c = 0; c < 3; ++c) {
        const float ambient =
            material->ambient_set && !m.textured ? material->ambient[c] : diffuse[c];
        const float specular = material->specular_set ? material->specular[c] : 1.0f;
        m.base[c] = lit * channel(ambient) * kAmbientLight + glow * channel(diffuse[c]);
        m.diffuse[c] = lit * channel(diffuse[c]) * kEyeLight;
        m.specular[c] = m.has_specular ? lit * strength * channel(specular) : 0.0f;
    }
    return m;
}

bool prepare_model_mesh(const MeshObject& mesh, std::span<const Material> materials, ModelMesh& out,
                        std::span<const TextureImage* const> pictures) {
    try {
        out = ModelMesh{};
        // Only the materials the mesh's faces use, in the order they are first met: a scene of
        // many meshes and many materials must not give every mesh a copy of them all.
        std::unordered_map<size_t, uint32_t> local; // scene material (its count: none) -> ours
        const auto local_material = [&](size_t scene_material) {
            const auto [it, added] = local.try_emplace(scene_material, uint32_t(local.size()));
            if (added)
                out.materials.push_back(scene_material == materials.size()
                                            ? model_material(nullptr)
                                            : model_material(&materials[scene_material],
                                                             scene_material < pictures.size()
                                                                 ? pictures[scene_material]
                                                                 : nullptr));
            return it->second;
        };

        const size_t face_count = mesh.faces.size();
        out.vertex_count = mesh.vertices.size();
        out.faces.resize(face_count);
        out.normals.resize(face_count);
        std::vector<bool> usable(face_count);
        for (size_t f = 0; f < face_count; ++f) {
            const Face& face = mesh.faces[f];
            ModelFace& m = out.faces[f];
            m.material =
                local_material(face.material >= 0 && size_t(face.material) < materials.size()
                                   ? size_t(face.material)
                                   : materials.size());
            const Vector3 normal = {-double(face.plane.a), -double(face.plane.b),
                                    -double(face.plane.c)};
            const double length = vector_length(normal);
            if (finite3(normal) && length > 0)
                out.normals[f] = {float(normal[0] / length), float(normal[1] / length),
                                  float(normal[2] / length)};
            const bool drawn = indices_valid(face, mesh.vertices.size());
            if (!drawn) m.material = kUndrawnFace;
            usable[f] = drawn && finite3(normal) && length > 0;
        }

        out.plain = std::all_of(out.faces.begin(), out.faces.end(), [&](const ModelFace& face) {
            return face.material < out.materials.size() && !out.materials[face.material].two_sided;
        });

        const VertexCorners around = corners_by_vertex(mesh, usable);
        std::vector<CornerKey> keys;
        std::vector<BitsGroup> groups;
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            keys.clear();
            for (uint32_t i = around.first[v]; i < around.first[v + 1]; ++i) {
                const uint32_t corner = around.corners[i];
                const uint32_t bits = mesh.faces[corner / 3].smoothing;
                if (bits != 0) keys.push_back({bits, out.faces[corner / 3].material, corner});
            }
            if (keys.empty()) continue;
            std::sort(keys.begin(), keys.end(), [](const CornerKey& a, const CornerKey& b) {
                return a.bits != b.bits ? a.bits < b.bits : a.material < b.material;
            });
            group_normals(mesh, out, keys, groups);
            add_shading_points(uint32_t(v), keys, groups, out);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
