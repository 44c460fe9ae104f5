// demo.h - the demo's state and one frame, with no platform code.
//
// The window procedure of the real program and the headless render tool both drive the scene
// through these functions, so the tool's frames are exactly the pixels the program presents.
//
// Screen: kWidth x kHeight 32-bit pixels 0x00RRGGBB, rows top to bottom with no gap.
// Time: one frame per 20 ms timer tick; the animation angle advances by 0.1 rad per frame and
// wraps to 0 past 6.28, a cycle of 63 frames.
// Ownership: DemoState borrows the Scene (the caller keeps it alive) and owns the frame buffer.
// A frame allocates nothing.
#pragma once

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
    std::vector<uint32_t> frame_buffer; // kWidth * kHeight pixels once allocated
    float angle = 0.0f;                 // animation angle in radians
};

// Start-up step: the fixed camera (turned half a turn about z, tilted down 30 degrees about x,
// then moved 150 units back along its own z).
void demo_build_camera(DemoState& demo);

// Why a start-up step failed; none when it did not.
enum class DemoStartFailure { none, frame_buffer, vertex_cache };

// The start-up steps that follow loading the scene, in order: every mesh matrix becomes the
// identity (what the file gave is discarded), setup_view(kWidth, kHeight), the kWidth * kHeight
// frame buffer is allocated (cleared), and the renderer's vertex cache is sized for the largest
// mesh so that no frame allocates and a shortage of memory shows at start-up instead of as an
// empty picture. Stops at the first allocation that fails and says which.
DemoStartFailure demo_prepare_scene(DemoState& demo, Scene& scene);

// One line for a start-up failure, naming what could not be allocated ("" for none).
const char* demo_start_failure_text(DemoStartFailure failure);

// Every platform-free start-up step in order for a scene already loaded: demo_build_camera, then
// demo_prepare_scene. The program calls the two itself, because it loads the scene between
// them. Returns false when an allocation fails.
bool demo_start(DemoState& demo, Scene& scene);

// One frame: clear to black, advance the angle, spin and draw every mesh in scene order.
void demo_frame(DemoState& demo);

// Copies the finished frame into a locked surface whose rows are pitch bytes apart
// (pitch >= kWidth * 4): one block copy when the rows are contiguous, row by row otherwise.
void demo_copy_frame(const DemoState& demo, void* surface, std::ptrdiff_t pitch);
