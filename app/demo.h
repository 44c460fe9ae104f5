// demo.h - the demo's state and one frame, with no platform code.
//
// The window procedure of the real program and the headless render tool both drive the scene
// through these functions, so the tool's frames are exactly the pixels the program presents.
//
// Screen: width x height 32-bit pixels 0x00RRGGBB, rows top to bottom with no gap; the demo
// program is always kWidth x kHeight, the tools may choose another size (view_choice.h).
// Time: one frame per 20 ms timer tick; the animation angle advances by 0.1 rad per frame and
// wraps to 0 past 6.28, a cycle of 63 frames.
// Ownership: DemoState borrows the Scene (the caller keeps it alive) and owns the frame buffer and
// the renderer object that draws into it (its view and buffers), so several DemoStates may draw
// at the same time on different threads. A frame allocates nothing.
#pragma once

#include "render/renderer.h"
#include "scene/math3d.h"
#include "scene/scene.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t kWidth = 512;
constexpr int32_t kHeight = 384;
constexpr uint32_t kMeshColour = 0x00FA8008;

struct DemoState {
    Matrix4 camera;                     // camera space -> world space, fixed for the whole run
    Scene* scene = nullptr;             // borrowed
    std::vector<uint32_t> frame_buffer; // width * height pixels once allocated
    float angle = 0.0f;                 // animation angle in radians
    int32_t width = kWidth;             // frame size in pixels, matching renderer.view's
    int32_t height = kHeight;
    bool spin = true;  // false: every mesh keeps the matrix it had at start-up
    Renderer renderer; // the view and the drawing's buffers
    bool model_look = false;             // frames in the model look (model_frame.h)
    std::vector<ModelMesh> model_meshes; // its shading, one per mesh of the scene
};

// Start-up step: the fixed camera (turned half a turn about z, tilted down 30 degrees about x,
// then moved 150 units back along its own z).
void demo_build_camera(DemoState& demo);

// The demo camera's orientation, moved distance units back from the origin along its own z
// (demo_build_camera uses 150).
void demo_orient_camera(Matrix4& camera, float distance);

// Every mesh matrix becomes the identity; what the file gave is discarded.
void demo_reset_mesh_matrices(Scene& scene);

// Why a start-up step failed; none when it did not.
enum class DemoStartFailure { none, frame_buffer, vertex_cache };

// The start-up steps that follow loading the scene, in order: every mesh matrix becomes the
// identity (what the file gave is discarded), the renderer's view for kWidth x kHeight, the
// kWidth * kHeight
// frame buffer is allocated (cleared), and the renderer's vertex cache is sized for the largest
// mesh so that no frame allocates and a shortage of memory shows at start-up instead of as an
// empty picture. Stops at the first allocation that fails and says which.
DemoStartFailure demo_prepare_scene(DemoState& demo, Scene& scene);

// The allocations of start-up: the width * height frame buffer (cleared) and the renderer's vertex
// cache for the scene's largest mesh. Stops at the first that fails and says which.
DemoStartFailure demo_allocate(DemoState& demo, const Scene& scene);

// One line for a start-up failure, naming what could not be allocated ("" for none).
const char* demo_start_failure_text(DemoStartFailure failure);

// Every platform-free start-up step in order for a scene already loaded: demo_build_camera, then
// demo_prepare_scene. The program calls the two itself, because it loads the scene between
// them. Returns false when an allocation fails.
bool demo_start(DemoState& demo, Scene& scene);

// One frame: clear to black, advance the angle, spin (unless spin is off) and draw every mesh in
// scene order.
void demo_frame(DemoState& demo);

// The motion of one frame without drawing: advance the angle and spin every mesh that has faces
// (unless spin is off); the matrices of meshes without faces are left as they are.
void demo_advance(DemoState& demo);

// Copies the finished frame into a locked surface whose rows are pitch bytes apart
// (pitch >= width * 4): one block copy when the rows are contiguous, row by row otherwise.
void demo_copy_frame(const DemoState& demo, void* surface, std::ptrdiff_t pitch);
