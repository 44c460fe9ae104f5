// kalvorant_web.h - the C entry the web page (and its Node tests) call through WebAssembly.
//
// The page is the platform: it hands over the bytes of a .3ds file, picks a view, asks for one
// frame per 20 ms tick and draws the pixels itself. Everything here is the same loader, view and
// demo frame that the native program and tools use, so a frame equals theirs bit for bit.
//
// Units: the frame is kalv_width() x kalv_height() pixels, rows top to bottom with no gap;
// kalv_pixels() holds them as 0x00RRGGBB words, kalv_rgba() as R, G, B, 255 bytes for a canvas.
// Ownership: the module owns the scene and both pixel buffers; the pointers it returns stay valid
// until the next call of kalv_load, kalv_set_view or kalv_step. Strings are NUL-terminated and
// live until the next call that changes them. The caller owns the bytes given to kalv_load.
// Failures: kalv_load and kalv_set_view return 0 and leave the current scene and view untouched;
// kalv_error() then gives a one-line reason. No exception leaves these functions.
#pragma once

#include <cstdint>

extern "C" {

// Loads a scene from a file image, shows it in view (as kalv_set_view names them) and restarts
// at frame 0. The scene is prepared for that view alone, so a scene that only has memory for one
// view can still be opened in the view a person wants. Returns 1, or 0 with the reason in
// kalv_error() (the previous scene keeps its state).
int kalv_load(const uint8_t* bytes, uint32_t size, const char* view);

// The reason of the last refused load or view, or "" after a success.
const char* kalv_error(void);

// Chooses the view of the loaded scene: "demo", "fit", "camera" (the first camera) or
// "camera:NAME", and restarts at frame 0. Returns 1, or 0 with the reason in kalv_error().
int kalv_set_view(const char* view);

// Draws the next frame (frame numbers start at 1) and prepares both pixel buffers.
void kalv_step(void);

const uint32_t* kalv_pixels(void);
const uint8_t* kalv_rgba(void);
int kalv_width(void);
int kalv_height(void);

// The number of the frame now in the buffers (0 before the first step).
int kalv_frame_number(void);

// Counts of the loaded scene (0 when none is loaded).
int kalv_mesh_count(void);
int kalv_face_count(void);
int kalv_camera_count(void);

// The bytes of camera i's name (Latin-1 as the file has them), or "" when i is out of range.
const char* kalv_camera_name(int i);
}
