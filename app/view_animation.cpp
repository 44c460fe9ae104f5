#include "app/view_animation.h"

#include "anim/pose.h"
#include "loader/quoted.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Key frames between two output frames of playback (30 key frames a second, 50 frames).
constexpr double kPlayStep = kKeyFramesPerSecond / 50.0;
// The fit poses the scene at most this many times, and fewer for a big scene: about this much
// work in all (nodes, keys and box corners per pose), so a scene of any size starts promptly.
constexpr size_t kMaxFitSamples = 4000;
// Fewer times than this and the fit follows box corners instead of vertices.
constexpr size_t kMinFitSamples = 200;
constexpr double kFitWork = 1e7;
constexpr double kNodeWork = 40;
// How far behind the camera a hidden mesh goes, in normalised units (the scene's radius is 100).
constexpr double kHiddenDistance = 1e6;

Matrix4 translation(const Vector3& v) {
    Matrix4 m;
    matrix_identity(m);
    matrix_translate(m, float(v[0]), float(v[1]), float(v[2]));
    return m;
}

// A mesh's placement in scene axes carried into the normalised space, less offset. With A the
// space's turn (row k the image of axis k), c its centre and s its scale, the normalised point q
// stands at p = q A^T / s + c in scene axes, which the placement (R, t) moves to p R + t, which is
// normalised again: q A^T R A + (c R + t - c) s A. The translation is worked out in double,
// because c may be far larger than the scene.
Matrix4 normalised_placement(const ViewSpace& space, const Vector3& offset, const Matrix4& p) {
    Vector3 turn[3];
    for (size_t k = 0; k < 3; ++k)
        turn[k] = view_space_direction(
            space, {k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0});
    Matrix4 out = p;
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c) {
            double sum = 0;
            for (size_t k = 0; k < 3; ++k)
                for (size_t l = 0; l < 3; ++l)
                    sum += turn[k][r] * double(p.at(int(k), int(l))) * turn[l][c];
            out.at(int(r), int(c)) = float(sum);
        }
    const Vector3 moved = view_space_direction(
        space, vector_scale(vector_sub(matrix_transform_point(p, space.centre), space.centre),
                            space.scale));
    for (int c = 0; c < 3; ++c)
        out.at(3, c) = float(moved[size_t(c)] - offset[size_t(c)]);
    return out;
}

bool finite_point(const Vector3& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// Per mesh, the points the fit follows, in scene axes: the finite vertices that faces use (every
// finite vertex in a scene without faces), as the still fit counts them.
std::vector<std::vector<Vector3>> fit_points(const Scene& scene) {
    const bool any_face = std::any_of(scene.meshes.begin(), scene.meshes.end(),
                                      [](const MeshObject& m) { return !m.faces.empty(); });
    std::vector<std::vector<Vector3>> out(scene.meshes.size());
    std::vector<uint8_t> used;
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        const MeshObject& mesh = scene.meshes[m];
        used.assign(mesh.vertices.size(), any_face ? 0 : 1);
        for (const Face& face : mesh.faces)
            for (int32_t v : face.v)
                if (v >= 0 && size_t(v) < used.size()) used[size_t(v)] = 1;
        for (size_t v = 0; v < used.size(); ++v) {
            const Vertex& vertex = mesh.vertices[v];
            const Vector3 p{vertex.x, vertex.y, vertex.z};
            if (used[v] && finite_point(p)) out[m].push_back(p);
        }
    }
    return out;
}

// The eight corners of the box around points (which may be fewer already).
void keep_box_corners(std::vector<Vector3>& points) {
    if (points.size() <= 8) return;
    Vector3 low = points[0], high = points[0];
    for (const Vector3& p : points)
        for (size_t i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
    points.clear();
    for (int k = 0; k < 8; ++k)
        points.push_back(
            {k & 1 ? high[0] : low[0], k & 2 ? high[1] : low[1], k & 4 ? high[2] : low[2]});
}

size_t total_size(const std::vector<std::vector<Vector3>>& points) {
    size_t n = 0;
    for (const std::vector<Vector3>& p : points)
        n += p.size();
    return n;
}

// The key frames the fit looks at: for a scene that moves, the segment at playback's pace and at
// every whole key frame, its end, and key_frame, spread evenly over the segment instead when
// that would cost more than kFitWork (each pose costs about its records, keys and points); for a
// scene that does not move, key_frame alone.
std::vector<double> fit_times(const Scene& scene, double key_frame, size_t points) {
    if (!scene_is_animated(scene)) return {key_frame};
    const double start = scene.keyframe_start, end = scene.keyframe_end;
    const double span = std::max(end - start, 0.0);
    size_t keys = 0;
    for (const KeyframeNode& node : scene.nodes)
        keys += node.position.keys.size() + node.rotation.keys.size() + node.scale.keys.size() +
                node.fov.keys.size() + node.roll.keys.size() + node.hide.keys.size();
    // A node or mesh costs some matrix products and an inverse per pose, about as much as
    // kNodeWork points.
    const double records = double(scene.nodes.size() + scene.meshes.size() + scene.cameras.size());
    const double work = 1.0 + kNodeWork * records + double(keys + points);
    const double budget = std::clamp(kFitWork / work, 2.0, double(kMaxFitSamples));
    std::vector<double> times{start, end, key_frame};
    const double paced = std::floor(span / kPlayStep) + std::floor(span) + 2;
    if (paced <= budget) {
        for (double t = 0; t < span; t += kPlayStep)
            times.push_back(start + t);
        for (double t = 1; t < span; t += 1)
            times.push_back(start + t);
    } else {
        const double step = span / std::floor(budget);
        for (double k = 1; k < std::floor(budget); k += 1)
            times.push_back(start + k * step);
    }
    return times;
}

// The sphere the fit frames, in scene axes: around the box of every mesh's points where they
// stand at every time of fit_times, from the middle of that box, as the still fit does; a mesh
// its hide track hides at a time does not count then. For a scene that moves, each mesh is
// followed by the corners of its box when its vertices would leave too few times to look at.
// False when nothing finite is seen.
bool animation_sphere(const Scene& scene, const Scene& skeleton, double key_frame, Vector3& centre,
                      double& radius) {
    std::vector<std::vector<Vector3>> points = fit_points(scene);
    std::vector<double> times = fit_times(skeleton, key_frame, total_size(points));
    if (times.size() > 1 && times.size() < kMinFitSamples) {
        for (std::vector<Vector3>& p : points)
            keep_box_corners(p);
        times = fit_times(skeleton, key_frame, total_size(points));
    }
    // Two passes, the box and then the radius, so that no list of placed points is kept.
    const auto visit_placed = [&](auto visit) {
        for (double t : times) {
            const ScenePose pose = pose_scene(skeleton, t);
            for (size_t m = 0; m < points.size() && m < pose.meshes.size(); ++m) {
                if (pose.meshes[m].hidden) continue;
                for (const Vector3& p : points[m]) {
                    const Vector3 q = matrix_transform_point(pose.meshes[m].scene_placement, p);
                    if (finite_point(q)) visit(q);
                }
            }
        }
    };
    Vector3 low{}, high{};
    bool any = false;
    visit_placed([&](const Vector3& q) {
        for (size_t i = 0; i < 3; ++i) {
            low[i] = any ? std::min(low[i], q[i]) : q[i];
            high[i] = any ? std::max(high[i], q[i]) : q[i];
        }
        any = true;
    });
    if (!any) return false;
    for (size_t i = 0; i < 3; ++i)
        centre[i] = (low[i] + high[i]) / 2;
    radius = 0;
    visit_placed(
        [&](const Vector3& q) { radius = std::max(radius, vector_length(vector_sub(q, centre))); });
    return std::isfinite(radius);
}

// What posing reads of the scene: nodes, cameras, segment and each mesh's local axes.
Scene skeleton_of(const Scene& scene) {
    Scene out;
    out.keyframe_start = scene.keyframe_start;
    out.keyframe_end = scene.keyframe_end;
    out.nodes = scene.nodes;
    out.node_count = scene.node_count;
    out.cameras = scene.cameras;
    out.camera_count = scene.camera_count;
    out.meshes.resize(scene.meshes.size());
    out.mesh_count = scene.mesh_count;
    for (size_t m = 0; m < scene.meshes.size(); ++m)
        out.meshes[m].matrix = scene.meshes[m].matrix;
    return out;
}

} // namespace

bool view_animation_start(ViewAnimation& animation, DemoState& demo, Scene& scene,
                          const ViewChoice& choice, int32_t width, int32_t height, double key_frame,
                          std::string& error) {
    if (choice.kind == ViewKind::demo) {
        error = "the demo view keeps the demo's own motion; pose the file in the fit or camera "
                "view";
        return false;
    }
    animation = ViewAnimation{};
    animation.kind = choice.kind;
    animation.skeleton = skeleton_of(scene);
    animation.space = view_space(scene, choice);
    if (choice.kind == ViewKind::camera) {
        const Camera* camera = find_view_camera(scene, choice.camera_name, error);
        if (camera == nullptr) return false;
        animation.camera = int32_t(camera - scene.cameras.data());
    }
    // Worked out before view_start moves the vertices.
    const FitPlacement fit = fit_placement(scene, width, height);
    Vector3 centre{};
    double radius = 0;
    const bool swept = choice.kind == ViewKind::fit && fit.fitted &&
                       animation_sphere(scene, animation.skeleton, key_frame, centre, radius) &&
                       radius > 0;
    if (!view_start(demo, scene, choice, width, height, error)) return false;
    demo.spin = false;
    if (swept) {
        animation.offset = view_space_point(animation.space, centre);
        // The fit's distance grows in proportion to the sphere's radius.
        demo_orient_camera(demo.camera,
                           float(radius / fit.radius * fit.distance * animation.space.scale));
    }
    return view_animation_pose(animation, demo, key_frame, error);
}

namespace {

// Places the meshes less offset and, for a camera index in range, aims that camera.
bool pose_view(const ViewAnimation& animation, DemoState& demo, int32_t camera_index,
               const Vector3& offset, double key_frame, std::string& error) {
    if (demo.scene == nullptr) return true;
    const ScenePose pose = pose_scene(animation.skeleton, key_frame);
    bool aimed = true;
    if (camera_index >= 0 && size_t(camera_index) < pose.cameras.size()) {
        const CameraPose& camera = pose.cameras[size_t(camera_index)];
        // The view's bank turns the camera the other way from the pose's roll.
        std::string reason;
        aimed = view_aim_camera(demo, animation.space, exchange_axes(camera.position),
                                exchange_axes(camera.target), -camera.roll * kPi / 180,
                                camera.fov * kPi / 180, reason);
        if (!aimed) {
            char time[32];
            std::snprintf(time, sizeof time, "%g", key_frame);
            error = "camera " + quoted_text(animation.skeleton.cameras[size_t(camera_index)].name) +
                    " at key frame " + time + ": " + reason;
        }
    }
    Scene& scene = *demo.scene;
    const Vector3 eye{demo.camera.at(3, 0), demo.camera.at(3, 1), demo.camera.at(3, 2)};
    const Vector3 forward{demo.camera.at(2, 0), demo.camera.at(2, 1), demo.camera.at(2, 2)};
    for (size_t m = 0; m < scene.meshes.size() && m < pose.meshes.size(); ++m)
        scene.meshes[m].matrix =
            pose.meshes[m].hidden
                ? translation(vector_sub(eye, vector_scale(forward, kHiddenDistance)))
                : normalised_placement(animation.space, offset, pose.meshes[m].scene_placement);
    return aimed;
}

} // namespace

bool view_animation_pose(const ViewAnimation& animation, DemoState& demo, double key_frame,
                         std::string& error) {
    return pose_view(animation, demo, animation.kind == ViewKind::camera ? animation.camera : -1,
                     animation.offset, key_frame, error);
}

bool view_animation_pose_through(const ViewAnimation& animation, DemoState& demo, int32_t camera,
                                 double key_frame, std::string& error) {
    return pose_view(animation, demo, camera, {}, key_frame, error);
}
