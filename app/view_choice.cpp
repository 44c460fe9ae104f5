#include "app/view_choice.h"

#include "app/model_frame.h"

#include "loader/quoted.h"
#include "render/view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

using Vec3 = std::array<double, 3>;

constexpr std::string_view kCameraPrefix = "camera:";

// The fitted sphere's picture is a circle whose radius is this share of the frame's smaller half
// side: a tenth of it stays free at every border, about 19 pixels at 512 x 384.
constexpr double kFitFill = 0.9;
// The demo's camera distance, used when a scene has no extent to fit.
constexpr double kFallbackDistance = 150.0;
// 3D Studio's lens is the focal length for a frame 36 mm wide: half a frame is 18 mm.
constexpr double kHalfFrameMm = 18.0;
constexpr double kPi = 3.14159265358979323846;
// Cameras named in the message about one the scene does not have.
constexpr size_t kCamerasNamed = 10;

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool finite3(const Vec3& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// Within a quarter of the float range, so that differences of such points stay finite as well.
bool fits_float(const Vec3& v) {
    const double limit = std::numeric_limits<float>::max() / 4;
    return std::fabs(v[0]) < limit && std::fabs(v[1]) < limit && std::fabs(v[2]) < limit;
}

std::array<float, 3> float_point(const Vec3& v) {
    return {float(v[0]), float(v[1]), float(v[2])};
}

Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vec3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

Vec3 scaled(const Vec3& v, double s) {
    return {v[0] * s, v[1] * s, v[2] * s};
}

Vec3 position_of(const Vertex& v) {
    return {double(v.x), double(v.y), double(v.z)};
}

// Calls visit for every vertex the fit counts: those some face uses, or all of them in a scene
// without faces. A vertex shared by several faces is visited once per use; that changes no
// minimum, maximum or farthest distance.
template <typename Visit> void for_each_drawn_vertex(const Scene& scene, Visit visit) {
    bool any_face = false;
    for (const MeshObject& mesh : scene.meshes) {
        for (const Face& face : mesh.faces) {
            for (int32_t index : face.v) {
                if (index < 0 || size_t(index) >= mesh.vertices.size()) continue;
                any_face = true;
                visit(position_of(mesh.vertices[size_t(index)]));
            }
        }
    }
    if (any_face) return;
    for (const MeshObject& mesh : scene.meshes)
        for (const Vertex& v : mesh.vertices)
            visit(position_of(v));
}

// The scene's middle and the radius of the sphere around it that holds every drawn vertex.
// False when no finite vertex exists.
bool scene_sphere(const Scene& scene, Vec3& centre, double& radius) {
    Vec3 low{}, high{};
    bool any = false;
    for_each_drawn_vertex(scene, [&](const Vec3& p) {
        if (!finite3(p)) return;
        for (size_t i = 0; i < 3; ++i) {
            low[i] = any ? std::min(low[i], p[i]) : p[i];
            high[i] = any ? std::max(high[i], p[i]) : p[i];
        }
        any = true;
    });
    if (!any) return false;
    for (size_t i = 0; i < 3; ++i)
        centre[i] = (low[i] + high[i]) / 2;
    radius = 0;
    for_each_drawn_vertex(scene, [&](const Vec3& p) {
        if (finite3(p)) radius = std::max(radius, length(sub(p, centre)));
    });
    return true;
}

// The map from scene axes into the normalised space of the fit and camera views: subtract the
// centre, scale, and negate x. The loader's axes are the file's with Y and Z exchanged, a mirror;
// negating x as well makes the whole map a proper rotation of the file's world. With Y up, the
// map turns a further quarter turn about x, so that the file's Y becomes the normalised y, which
// the fit view shows upwards as it shows the file's Z otherwise; the map stays a rotation.
struct Normalisation {
    Vec3 centre{};
    double scale = 1;
    bool y_up = false;
};

Vec3 normalise_direction(const Normalisation& n, const Vec3& d) {
    if (n.y_up) return {-d[0], d[2], -d[1]};
    return {-d[0], d[1], d[2]};
}

Vec3 normalise_point(const Normalisation& n, const Vec3& p) {
    return normalise_direction(n, scaled(sub(p, n.centre), n.scale));
}

Normalisation scene_normalisation(const Scene& scene) {
    Normalisation n;
    double radius = 0;
    if (!scene_sphere(scene, n.centre, radius)) return n;
    if (radius > 0 && std::isfinite(radius)) n.scale = kViewSceneRadius / radius;
    return n;
}

// Moves every mesh into the normalised space. The mirror in x reverses each triangle's turning
// sense, so the second and third vertex change places; the face planes then keep their meaning:
// the normal of a face is mirrored with it, (A, B, C) becomes (-A, B, C), and D follows from the
// face's first vertex.
void normalise_scene(Scene& scene, const Normalisation& n) {
    for (MeshObject& mesh : scene.meshes) {
        matrix_identity(mesh.matrix);
        for (Vertex& v : mesh.vertices) {
            const Vec3 p = normalise_point(n, position_of(v));
            v.x = float(p[0]);
            v.y = float(p[1]);
            v.z = float(p[2]);
            const Vec3 normal = normalise_direction(n, {v.nx, v.ny, v.nz});
            v.nx = float(normal[0]);
            v.ny = float(normal[1]);
            v.nz = float(normal[2]);
        }
        for (Face& face : mesh.faces) {
            std::swap(face.v[1], face.v[2]);
            Plane& plane = face.plane;
            const Vec3 normal = normalise_direction(n, {plane.a, plane.b, plane.c});
            plane.a = float(normal[0]);
            plane.b = float(normal[1]);
            plane.c = float(normal[2]);
            const int32_t first = face.v[0];
            if (first < 0 || size_t(first) >= mesh.vertices.size()) continue;
            const Vertex& p = mesh.vertices[size_t(first)];
            plane.d =
                float(-(double(plane.a) * p.x + double(plane.b) * p.y + double(plane.c) * p.z));
        }
    }
}

// tan of the half angle under which the fitted sphere is seen: its picture, a circle of
// focal * t pixels with focal = width / 2, takes kFitFill of the smaller half side.
double fit_tangent(int32_t width, int32_t height) {
    return kFitFill * double(std::min(width, height)) / double(width);
}

// Eye distance from the centre of a sphere of radius r seen under the half angle whose tangent
// is t: r / sin(atan(t)).
double fit_distance(double r, double t) {
    return r * std::sqrt(1 + t * t) / t;
}

Vec3 camera_point(const std::array<float, 3>& chunk_value, const PositionTrack& track,
                  int32_t key_count) {
    if (key_count > 0 && !track.x.empty())
        return {double(track.x[0]), double(track.y[0]), double(track.z[0])};
    // The camera chunk keeps the file's axis order; scene axes exchange Y and Z.
    return {double(chunk_value[0]), double(chunk_value[2]), double(chunk_value[1])};
}

void set_row(Matrix4& m, int row, const Vec3& v) {
    for (int c = 0; c < 3; ++c)
        m.at(row, c) = float(v[size_t(c)]);
    m.at(row, 3) = row == 3 ? 1.0f : 0.0f;
}

// The camera-to-world matrix of a camera at eye looking at target in the normalised space, whose
// y axis is the file's Z, up. Rows: screen right, screen down, line of sight, eye.
Matrix4 look_at(const Vec3& eye, const Vec3& target, double bank) {
    const Vec3 forward = scaled(sub(target, eye), 1 / length(sub(target, eye)));
    Vec3 right = cross(forward, {0, 1, 0});
    // Looking straight down or up the vertical: the file's Y (normalised z) is up in the picture,
    // as in 3D Studio's top view.
    if (length(right) < 1e-9) right = cross(forward, {0, 0, 1});
    right = scaled(right, 1 / length(right));
    const Vec3 up = cross(right, forward);
    const double c = std::cos(bank), s = std::sin(bank);
    // Banking turns the camera clockwise about its line of sight: its up leans towards its right.
    const Vec3 down = {-(c * up[0] + s * right[0]), -(c * up[1] + s * right[1]),
                       -(c * up[2] + s * right[2])};
    const Vec3 banked_right = {c * right[0] - s * up[0], c * right[1] - s * up[1],
                               c * right[2] - s * up[2]};
    Matrix4 m;
    set_row(m, 0, banked_right);
    set_row(m, 1, down);
    set_row(m, 2, forward);
    set_row(m, 3, eye);
    return m;
}

bool size_in_range(int32_t side) {
    return side >= kMinFrameSide && side <= kMaxFrameSide;
}

bool allocate(DemoState& demo, const Scene& scene, std::string& error) {
    if (demo_allocate(demo, scene) != DemoStartFailure::none) {
        error = "not enough memory for a " + std::to_string(demo.width) + "x" +
                std::to_string(demo.height) + " frame of this scene";
        return false;
    }
    return true;
}

// The camera view's scene and camera; false when the camera cannot be used.
bool start_camera_view(DemoState& demo, Scene& scene, const ViewChoice& choice,
                       std::string& error) {
    const Camera* camera = find_view_camera(scene, choice.camera_name, error);
    if (camera == nullptr) return false;
    Matrix4 look;
    float focal = 0;
    if (!camera_look(scene, size_t(camera - scene.cameras.data()),
                     pose_scene(scene, scene.keyframe_start), demo.width, look, focal, error))
        return false;
    if (!allocate(demo, scene, error)) return false;
    normalise_scene(scene, scene_normalisation(scene));
    demo.camera = look;
    setup_view_with_focal(demo.renderer.view, demo.width, demo.height, focal);
    return true;
}

void start_fit_view(DemoState& demo, Scene& scene, UpAxis up) {
    const FitPlacement fit = fit_placement(scene, demo.width, demo.height);
    Normalisation n;
    n.centre = fit.centre;
    n.scale = fit.scale;
    n.y_up = up == UpAxis::y;
    normalise_scene(scene, n);
    demo_orient_camera(demo.camera, float(fit.distance * fit.scale));
    setup_view(demo.renderer.view, demo.width, demo.height);
}

} // namespace

bool parse_view_choice(std::string_view text, ViewChoice& choice, std::string& error) {
    if (text == "demo" || text == "fit" || text == "camera") {
        choice.kind = text == "demo"  ? ViewKind::demo
                      : text == "fit" ? ViewKind::fit
                                      : ViewKind::camera;
        choice.camera_name.clear();
        return true;
    }
    if (text.substr(0, kCameraPrefix.size()) == kCameraPrefix) {
        if (text.size() == kCameraPrefix.size()) {
            error = "view 'camera:' names no camera; use 'camera' for the first one";
            return false;
        }
        choice.kind = ViewKind::camera;
        choice.camera_name = std::string(text.substr(kCameraPrefix.size()));
        return true;
    }
    error =
        "unknown view " + quoted_text(std::string(text)) + "; use demo, fit, camera or camera:NAME";
    return false;
}

std::string view_choice_name(const ViewChoice& choice) {
    switch (choice.kind) {
    case ViewKind::demo:
        return "demo";
    case ViewKind::fit:
        return "fit";
    case ViewKind::camera:
        break;
    }
    return choice.camera_name.empty() ? "camera" : std::string(kCameraPrefix) + choice.camera_name;
}

FitPlacement fit_placement(const Scene& scene, int32_t width, int32_t height) {
    FitPlacement fit;
    fit.distance = kFallbackDistance;
    Vec3 centre{};
    double radius = 0;
    if (!scene_sphere(scene, centre, radius)) return fit;
    fit.centre = centre;
    fit.radius = radius;
    if (!(radius > 0) || !std::isfinite(radius) || width <= 0 || height <= 0) return fit;
    // In normalised units the distance is the same for every scene; in scene units it may exceed
    // the float range near the float limit, which is no reason to refuse a picture.
    fit.fitted = true;
    fit.scale = kViewSceneRadius / radius;
    fit.distance = fit_distance(radius, fit_tangent(width, height));
    return fit;
}

bool camera_placement(const Camera& camera, CameraPlacement& placement, std::string& error) {
    const std::string name = "camera " + quoted_text(camera.name);
    const double lens = camera.lens;
    placement.position =
        camera_point(camera.position, camera.position_track, camera.position_key_count);
    placement.target = camera_point(camera.target, camera.target_track, camera.target_key_count);
    placement.bank = std::isfinite(camera.bank) ? double(camera.bank) * kPi / 180.0 : 0.0;
    placement.lens = lens;
    placement.field_of_view = std::numeric_limits<double>::quiet_NaN();
    if (!std::isfinite(lens) || !(lens > 0)) {
        error = name + " has lens " + number_text(lens) +
                ": a lens must be a positive focal length in millimetres";
        return false;
    }
    placement.field_of_view = 2 * std::atan(kHalfFrameMm / lens);
    if (!finite3(placement.position) || !finite3(placement.target)) {
        error = name + " has a position or target that is not a finite number";
        return false;
    }
    if (placement.position == placement.target) {
        error = name + " stands on its own target, so it looks in no direction";
        return false;
    }
    return true;
}

bool camera_start_placement(const Scene& scene, size_t index, const ScenePose& first,
                            CameraPlacement& placement, std::string& error) {
    const Camera& camera = scene.cameras[index];
    if (index >= first.cameras.size() || !first.cameras[index].from_nodes)
        return camera_placement(camera, placement, error);
    const CameraPose& pose = first.cameras[index];
    const std::string name = "camera " + quoted_text(camera.name);
    placement.position = exchange_axes(pose.position);
    placement.target = exchange_axes(pose.target);
    // The pose's roll turns the camera the other way from the bank.
    placement.bank = -pose.roll * kPi / 180;
    placement.field_of_view = pose.fov * kPi / 180;
    placement.lens = kHalfFrameMm / std::tan(placement.field_of_view / 2);
    placement.posed = true;
    if (!std::isfinite(placement.field_of_view) || !(placement.field_of_view > 0) ||
        !(placement.field_of_view < kPi)) {
        error = name + " has a field of view of " + number_text(pose.fov) +
                " degrees at key frame " + std::to_string(scene.keyframe_start) +
                ": it must lie between 0 and 180 degrees";
        return false;
    }
    if (!finite3(placement.position) || !finite3(placement.target) ||
        !std::isfinite(placement.bank)) {
        error = name + " has a position, target or roll that is not a finite number at key frame " +
                std::to_string(scene.keyframe_start);
        return false;
    }
    if (placement.position == placement.target) {
        error = name + " stands on its own target at key frame " +
                std::to_string(scene.keyframe_start) + ", so it looks in no direction";
        return false;
    }
    return true;
}

CameraPlacement camera_view_placement(const Scene& scene, size_t index, const ScenePose& first) {
    CameraPlacement placement;
    std::string unused;
    camera_start_placement(scene, index, first, placement, unused);
    return placement;
}

bool camera_look(const Scene& scene, size_t index, const ScenePose& first, int32_t width,
                 Matrix4& look, float& focal, std::string& error) {
    CameraPlacement placement;
    if (!camera_start_placement(scene, index, first, placement, error)) return false;
    const std::string& name = scene.cameras[index].name;
    const Normalisation n = scene_normalisation(scene);
    const Vec3 eye = normalise_point(n, placement.position);
    const Vec3 target = normalise_point(n, placement.target);
    // The field of view spans the frame's width: focal = (width / 2) / tan(fov / 2), worked out
    // from the lens a camera chunk gives and from the angle a pose gives, each as it is stored.
    const double wide = placement.posed ? double(width) / 2 / std::tan(placement.field_of_view / 2)
                                        : double(width) / 2 * placement.lens / kHalfFrameMm;
    if (!std::isfinite(float(wide)) || !(float(wide) > 0)) {
        error = "camera " + quoted_text(name) + " has lens " + number_text(placement.lens) +
                ", too far from any field of view a frame can show";
        return false;
    }
    // Positions are stored as floats: an eye whose distance in scene radii does not fit one
    // (or comes within rounding of its target) cannot be drawn.
    if (!fits_float(eye) || !fits_float(target) || float_point(eye) == float_point(target)) {
        error = "camera " + quoted_text(name) + " stands too far from the scene to be drawn";
        return false;
    }
    look = look_at(eye, target, placement.bank);
    focal = float(wide);
    return true;
}

Matrix4 camera_turned_y_up(const Matrix4& z_up_camera) {
    // Each row is a direction or the eye in the space with Z up; the turn that takes that space
    // to the one with Y up maps (x, y, z) to (x, z, -y), as normalise_direction does.
    Matrix4 out = z_up_camera;
    for (int r = 0; r < 4; ++r) {
        out.at(r, 1) = z_up_camera.at(r, 2);
        out.at(r, 2) = -z_up_camera.at(r, 1);
    }
    return out;
}

const Camera* find_view_camera(const Scene& scene, const std::string& name, std::string& error) {
    if (scene.cameras.empty()) {
        error = "the scene has no camera to look through";
        return nullptr;
    }
    if (name.empty()) return &scene.cameras.front();
    for (const Camera& camera : scene.cameras)
        if (camera.name == name) return &camera;
    // A file may hold thousands of cameras: the line names the first few and counts the rest.
    std::string names;
    const size_t shown = std::min(scene.cameras.size(), kCamerasNamed);
    for (size_t i = 0; i < shown; ++i)
        names += (i == 0 ? "" : ", ") + quoted_text(scene.cameras[i].name);
    if (shown < scene.cameras.size())
        names += ", ... and " + std::to_string(scene.cameras.size() - shown) + " more";
    error = "no camera named " + quoted_text(name) + " (the scene has " + names + ")";
    return nullptr;
}

bool parse_look(std::string_view text, Look& look, std::string& error) {
    if (text == "demo" || text == "model") {
        look = text == "demo" ? Look::demo : Look::model;
        return true;
    }
    error = "unknown look " + quoted_text(std::string(text)) + "; use demo or model";
    return false;
}

bool parse_up_axis(std::string_view text, UpAxis& up, std::string& error) {
    if (text == "z" || text == "y") {
        up = text == "z" ? UpAxis::z : UpAxis::y;
        return true;
    }
    error = "unknown up axis " + quoted_text(std::string(text)) + "; use z or y";
    return false;
}

Look view_look(const ViewChoice& choice) {
    if (choice.look != Look::automatic) return choice.look;
    return choice.kind == ViewKind::demo ? Look::demo : Look::model;
}

bool view_start(DemoState& demo, Scene& scene, const ViewChoice& choice, int32_t width,
                int32_t height, std::string& error) {
    if (!size_in_range(width) || !size_in_range(height)) {
        error = "frame size " + std::to_string(width) + "x" + std::to_string(height) +
                " is outside " + std::to_string(kMinFrameSide) + "x" +
                std::to_string(kMinFrameSide) + " to " + std::to_string(kMaxFrameSide) + "x" +
                std::to_string(kMaxFrameSide);
        return false;
    }
    demo = DemoState{};
    demo.scene = &scene;
    demo.width = width;
    demo.height = height;
    demo.spin = !choice.still;
    switch (choice.kind) {
    case ViewKind::demo:
        if (!allocate(demo, scene, error)) return false;
        demo_build_camera(demo);
        demo_reset_mesh_matrices(scene);
        setup_view(demo.renderer.view, width, height);
        break;
    case ViewKind::fit:
        if (!allocate(demo, scene, error)) return false;
        start_fit_view(demo, scene, choice.up);
        break;
    case ViewKind::camera:
        if (!start_camera_view(demo, scene, choice, error)) return false;
        break;
    }
    if (view_look(choice) == Look::model && !demo_use_model_look(demo)) {
        error = "not enough memory for the model look of this scene";
        return false;
    }
    return true;
}

void view_rewind(DemoState& demo) {
    demo.angle = 0.0f;
    if (demo.scene != nullptr) demo_reset_mesh_matrices(*demo.scene);
}

ViewSpace view_space(const Scene& scene, const ViewChoice& choice) {
    const Normalisation n = scene_normalisation(scene);
    return {n.centre, n.scale, choice.kind == ViewKind::fit && choice.up == UpAxis::y};
}

std::array<double, 3> view_space_point(const ViewSpace& space, const std::array<double, 3>& p) {
    return normalise_point({space.centre, space.scale, space.y_up}, p);
}

std::array<double, 3> view_space_direction(const ViewSpace& space, const std::array<double, 3>& d) {
    return normalise_direction({space.centre, space.scale, space.y_up}, d);
}

bool view_aim_camera(DemoState& demo, const ViewSpace& space, const std::array<double, 3>& eye,
                     const std::array<double, 3>& target, double bank, double field_of_view,
                     std::string& error) {
    // The camera is aimed with the file's Z up, where look_at knows the vertical, and then turned
    // with the scene.
    ViewSpace upright = space;
    upright.y_up = false;
    const Vec3 from = view_space_point(upright, eye), to = view_space_point(upright, target);
    // The field of view spans the frame's width: focal = (width / 2) / tan(fov / 2).
    const double focal = double(demo.width) / 2 / std::tan(field_of_view / 2);
    if (!finite3(from) || !finite3(to) || !fits_float(from) || !fits_float(to) ||
        float_point(from) == float_point(to)) {
        error = "the camera stands on its target or too far from the scene to be drawn";
        return false;
    }
    if (!std::isfinite(bank) || !std::isfinite(float(focal)) || !(float(focal) > 0)) {
        error = "the camera has a field of view of " + number_text(field_of_view * 180 / kPi) +
                " degrees, which no frame can show";
        return false;
    }
    demo.camera = look_at(from, to, bank);
    if (space.y_up) demo.camera = camera_turned_y_up(demo.camera);
    setup_view_with_focal(demo.renderer.view, demo.width, demo.height, float(focal));
    return true;
}
