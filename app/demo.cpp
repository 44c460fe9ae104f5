#include "app/demo.h"

#include "render/mesh_renderer.h"
#include "render/view.h"
#include "scene/bit_cast.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// The constants are given by their bit patterns so that every build starts from the very same
// floats, whatever the compiler makes of a decimal literal.
const float kCameraTurnZ = bit_cast_value<float>(0xC0490FDAu); // -3.1415925
const float kCameraTiltX = bit_cast_value<float>(0xBF060A92u); // -0.5235988
const float kAngleStep = bit_cast_value<float>(0x3DCCCCCDu);   // 0.1
const float kSpinStep = bit_cast_value<float>(0x3D00ADFCu);    // 0.031415924
constexpr float kCameraDistance = 150.0f;
constexpr double kAngleWrap = 6.28;

size_t pixel_count(const DemoState& demo) {
    if (demo.width <= 0 || demo.height <= 0) return 0;
    return size_t(demo.width) * size_t(demo.height);
}

int32_t largest_vertex_count(const Scene& scene) {
    int32_t largest = 0;
    for (const MeshObject& mesh : scene.meshes)
        largest = std::max(largest, int32_t(std::min<size_t>(mesh.vertices.size(), INT32_MAX)));
    return largest;
}

size_t largest_face_count(const Scene& scene) {
    size_t largest = 0;
    for (const MeshObject& mesh : scene.meshes)
        largest = std::max(largest, mesh.faces.size());
    return largest;
}

void advance_angle(float& angle) {
    angle = static_cast<float>(double(angle) + double(kAngleStep));
    if (double(angle) > kAngleWrap) angle = 0.0f;
}

void spin_mesh(Matrix4& matrix, float angle) {
    matrix_rotate_x(matrix, kSpinStep);
    matrix_rotate_y(matrix, static_cast<float>(std::sin(double(angle)) * double(kSpinStep)));
}

bool allocate_frame_buffer(DemoState& demo) {
    try {
        demo.frame_buffer.assign(pixel_count(demo), 0u);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool reserve_renderer(Renderer& renderer, const Scene& scene) {
    return draw_mesh_reserve(renderer, largest_vertex_count(scene), largest_face_count(scene));
}

} // namespace

void demo_build_camera(DemoState& demo) {
    demo_orient_camera(demo.camera, kCameraDistance);
}

void demo_orient_camera(Matrix4& camera, float distance) {
    matrix_identity(camera);
    matrix_rotate_z(camera, kCameraTurnZ);
    matrix_rotate_x(camera, kCameraTiltX);
    matrix_translate(camera, 0.0f, 0.0f, -distance);
}

void demo_reset_mesh_matrices(Scene& scene) {
    for (MeshObject& mesh : scene.meshes)
        matrix_identity(mesh.matrix);
}

DemoStartFailure demo_allocate(DemoState& demo, const Scene& scene) {
    if (!allocate_frame_buffer(demo)) return DemoStartFailure::frame_buffer;
    if (!reserve_renderer(demo.renderer, scene)) return DemoStartFailure::vertex_cache;
    return DemoStartFailure::none;
}

DemoStartFailure demo_prepare_scene(DemoState& demo, Scene& scene) {
    demo.scene = &scene;
    demo.width = kWidth;
    demo.height = kHeight;
    demo_reset_mesh_matrices(scene);
    setup_view(demo.renderer.view, kWidth, kHeight);
    return demo_allocate(demo, scene);
}

const char* demo_start_failure_text(DemoStartFailure failure) {
    switch (failure) {
    case DemoStartFailure::frame_buffer:
        return "cannot allocate the 512x384 frame buffer: out of memory";
    case DemoStartFailure::vertex_cache:
        return "cannot allocate the renderer's vertex cache: out of memory";
    case DemoStartFailure::none:
        break;
    }
    return "";
}

bool demo_start(DemoState& demo, Scene& scene) {
    demo_build_camera(demo);
    return demo_prepare_scene(demo, scene) == DemoStartFailure::none;
}

void demo_frame(DemoState& demo) {
    if (demo.frame_buffer.empty() || demo.frame_buffer.size() != pixel_count(demo)) return;
    std::fill(demo.frame_buffer.begin(), demo.frame_buffer.end(), 0u);
    advance_angle(demo.angle);
    if (demo.scene == nullptr) return;
    const Frame frame = make_frame(demo.frame_buffer, demo.width, demo.height);
    for (MeshObject& mesh : demo.scene->meshes) {
        if (demo.spin) spin_mesh(mesh.matrix, demo.angle);
        draw_mesh(demo.renderer, mesh.matrix, demo.camera, mesh, frame, kMeshColour);
    }
}

void demo_advance(DemoState& demo) {
    advance_angle(demo.angle);
    if (demo.scene == nullptr) return;
    if (!demo.spin) return;
    // A mesh without faces draws nothing: turning it would only make a file of many empty meshes
    // cost every frame as much as a real scene.
    for (MeshObject& mesh : demo.scene->meshes)
        if (!mesh.faces.empty()) spin_mesh(mesh.matrix, demo.angle);
}

void demo_copy_frame(const DemoState& demo, void* surface, std::ptrdiff_t pitch) {
    const size_t pixels = pixel_count(demo);
    const std::ptrdiff_t row_bytes = std::ptrdiff_t(demo.width) * 4;
    if (surface == nullptr || pixels == 0 || pitch < row_bytes ||
        demo.frame_buffer.size() != pixels)
        return;
    auto* target = static_cast<unsigned char*>(surface);
    if (pitch == row_bytes) {
        std::memcpy(target, demo.frame_buffer.data(), pixels * 4);
        return;
    }
    for (int32_t row = 0; row < demo.height; ++row)
        std::memcpy(target + row * pitch,
                    demo.frame_buffer.data() + size_t(row) * size_t(demo.width), size_t(row_bytes));
}
