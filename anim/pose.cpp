#include "anim/pose.h"

#include "anim/tracks.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// 3D Studio's lens is the focal length for a frame 36 mm wide: half a frame is 18 mm.
constexpr double kHalfFrameMm = 18.0;
// Key frames per 20 ms output frame.
constexpr double kKeyFramesPerFrame = kKeyFramesPerSecond / 50.0;

Matrix4 identity() {
    Matrix4 m;
    matrix_identity(m);
    return m;
}

Matrix4 translation(const Vector3& v) {
    Matrix4 m = identity();
    for (int c = 0; c < 3; ++c)
        m.at(3, c) = float(v[size_t(c)]);
    return m;
}

Matrix4 scaling(const Vector3& s) {
    Matrix4 m = identity();
    for (int c = 0; c < 3; ++c)
        m.at(c, c) = float(s[size_t(c)]);
    return m;
}

// For row vectors: first a, then b.
Matrix4 then(const Matrix4& a, const Matrix4& b) {
    Matrix4 out;
    matrix_multiply(b, a, out);
    return out;
}

Vector3 origin_of(const Matrix4& m) {
    return {double(m.at(3, 0)), double(m.at(3, 1)), double(m.at(3, 2))};
}

// Exchanging Y and Z, as a matrix: its own inverse.
Matrix4 exchange_matrix() {
    Matrix4 m;
    m.at(0, 0) = m.at(1, 2) = m.at(2, 1) = m.at(3, 3) = 1;
    return m;
}

bool all_zero(const Matrix4& m) {
    return std::all_of(m.m.begin(), m.m.end(), [](float v) { return v == 0; });
}

bool node_is_animated(const KeyframeNode& node) {
    return track_is_animated(node.position) || track_is_animated(node.rotation) ||
           track_is_animated(node.scale) || track_is_animated(node.fov) ||
           track_is_animated(node.roll) || hide_track_is_animated(node.hide);
}

// The node's own translate x rotate x scale (not yet its parent's).
Matrix4 local_matrix(const KeyframeNode& node, double t) {
    const Vector3 position = vector_track_value(node.position, t, {0, 0, 0});
    const Quaternion rotation = rotation_track_value(node.rotation, t);
    const Vector3 scale = vector_track_value(node.scale, t, {1, 1, 1});
    return then(then(scaling(scale), quaternion_matrix(rotation)), translation(position));
}

// The turn of a camera at eye looking at target with roll degrees: x right, y up, -z forward.
// The world's Z is up; looking straight up or down, the world's Y is.
Matrix4 camera_frame(const Vector3& eye, const Vector3& target, double roll) {
    const Vector3 forward = vector_normalised(vector_sub(target, eye));
    Vector3 right = vector_normalised(vector_cross(forward, {0, 0, 1}));
    if (right == Vector3{0, 0, 0}) right = vector_normalised(vector_cross(forward, {0, 1, 0}));
    const Vector3 up = vector_cross(right, forward);
    const double a = roll * kPi / 180, c = std::cos(a), s = std::sin(a);
    const Vector3 rows[3] = {vector_add(vector_scale(right, c), vector_scale(up, s)),
                             vector_sub(vector_scale(up, c), vector_scale(right, s)),
                             vector_scale(forward, -1)};
    Matrix4 m = translation(eye);
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            m.at(r, col) = float(rows[r][size_t(col)]);
    return m;
}

// Per mesh and per camera, the first node naming it (-1 for none), found in one pass so that a
// pose costs time in proportion to the scene, not to its meshes times its nodes.
struct NodesOf {
    std::vector<int32_t> object, camera, target;
};

NodesOf nodes_of(const Scene& scene) {
    NodesOf out;
    out.object.assign(scene.meshes.size(), -1);
    out.camera.assign(scene.cameras.size(), -1);
    out.target.assign(scene.cameras.size(), -1);
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const KeyframeNode& node = scene.nodes[i];
        std::vector<int32_t>* slots = nullptr;
        switch (node.type) {
        case KeyframeNodeType::object:
            slots = &out.object;
            break;
        case KeyframeNodeType::camera:
            slots = &out.camera;
            break;
        case KeyframeNodeType::target:
            slots = &out.target;
            break;
        case KeyframeNodeType::dummy:
            continue;
        }
        if (slots == nullptr || node.record < 0 || size_t(node.record) >= slots->size() ||
            (*slots)[size_t(node.record)] >= 0)
            continue;
        (*slots)[size_t(node.record)] = int32_t(i);
    }
    return out;
}

// Every node's matrix with its parent's; camera nodes as their chosen matrix (camera_matrix).
template <typename CameraMatrix>
std::vector<Matrix4> node_matrices(const Scene& scene, double t, CameraMatrix camera_matrix) {
    std::vector<Matrix4> out(scene.nodes.size());
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const KeyframeNode& node = scene.nodes[i];
        const int32_t parent = node.parent_node;
        const Matrix4 local = local_matrix(node, t);
        out[i] = parent >= 0 && size_t(parent) < i ? then(local, out[size_t(parent)]) : local;
        if (node.type == KeyframeNodeType::camera) out[i] = camera_matrix(i, out[i]);
    }
    return out;
}

CameraPose camera_pose(const Scene& scene, const NodesOf& of, size_t index,
                       const std::vector<Matrix4>& nodes, double t) {
    const Camera& camera = scene.cameras[index];
    CameraPose pose;
    // The camera chunk keeps the file's axis order.
    pose.position = {camera.position[0], camera.position[1], camera.position[2]};
    pose.target = {camera.target[0], camera.target[1], camera.target[2]};
    pose.roll = -double(camera.bank);
    pose.fov = 2 * std::atan(kHalfFrameMm / double(camera.lens)) * 180 / kPi;
    const int32_t eye = of.camera[index];
    const int32_t target = of.target[index];
    pose.from_nodes = eye >= 0 || target >= 0;
    if (eye >= 0) {
        const KeyframeNode& node = scene.nodes[size_t(eye)];
        if (!node.position.keys.empty()) pose.position = origin_of(nodes[size_t(eye)]);
        pose.roll = scalar_track_value(node.roll, t, pose.roll);
        pose.fov_from_track = !node.fov.keys.empty();
        pose.fov = scalar_track_value(node.fov, t, pose.fov);
    }
    if (target >= 0 && !scene.nodes[size_t(target)].position.keys.empty())
        pose.target = origin_of(nodes[size_t(target)]);
    return pose;
}

PosedMesh mesh_pose(const Scene& scene, const NodesOf& of, size_t index,
                    const std::vector<Matrix4>& nodes, double t) {
    PosedMesh pose;
    pose.node = of.object[index];
    pose.placement = identity();
    if (pose.node >= 0) {
        const KeyframeNode& node = scene.nodes[size_t(pose.node)];
        pose.hidden = hide_track_value(node.hide, t);
        const Matrix4& axes = scene.meshes[index].matrix;
        Matrix4 unplace = identity();
        if (!all_zero(axes)) matrix_inverse(axes, unplace);
        const Vector3 pivot =
            exchange_axes({double(node.pivot[0]), double(node.pivot[1]), double(node.pivot[2])});
        pose.placement =
            then(then(unplace, translation(vector_scale(pivot, -1))), nodes[size_t(pose.node)]);
    }
    const Matrix4 exchange = exchange_matrix();
    pose.scene_placement = then(then(exchange, pose.placement), exchange);
    return pose;
}

} // namespace

Vector3 exchange_axes(const Vector3& p) {
    return {p[0], p[2], p[1]};
}

bool scene_is_animated(const Scene& scene) {
    return std::any_of(scene.nodes.begin(), scene.nodes.end(), node_is_animated);
}

ScenePose pose_scene(const Scene& scene, double key_frame) {
    ScenePose pose;
    pose.key_frame = key_frame;
    // First every node with cameras standing unturned, to find where each camera and its target
    // stand; then again with each camera turned towards its target, for the camera's children.
    const std::vector<Matrix4> unturned =
        node_matrices(scene, key_frame, [](size_t, const Matrix4& m) { return m; });
    const NodesOf of = nodes_of(scene);
    std::vector<CameraPose> cameras;
    for (size_t c = 0; c < scene.cameras.size(); ++c)
        cameras.push_back(camera_pose(scene, of, c, unturned, key_frame));
    pose.nodes = node_matrices(scene, key_frame, [&](size_t i, const Matrix4& m) {
        const int32_t record = scene.nodes[i].record;
        if (record < 0 || size_t(record) >= cameras.size()) return m;
        const CameraPose& camera = cameras[size_t(record)];
        return camera_frame(origin_of(m), camera.target, camera.roll);
    });
    for (size_t c = 0; c < scene.cameras.size(); ++c)
        pose.cameras.push_back(camera_pose(scene, of, c, pose.nodes, key_frame));
    for (size_t m = 0; m < scene.meshes.size(); ++m)
        pose.meshes.push_back(mesh_pose(scene, of, m, pose.nodes, key_frame));
    return pose;
}

double play_key_frame(const Scene& scene, int64_t frame) {
    const double start = scene.keyframe_start, end = scene.keyframe_end;
    double t = double(frame - 1) * kKeyFramesPerFrame;
    if (end > start) t = std::fmod(t, end - start);
    return start + t;
}

int32_t play_frame_count(const Scene& scene) {
    const double span = double(scene.keyframe_end) - double(scene.keyframe_start);
    if (!(span > 0)) return 1;
    return int32_t(std::min(std::ceil(span / kKeyFramesPerFrame), 180000.0));
}
