// threaded_frame.h - one frame of meshes drawn on several threads, pixel for pixel the picture
// that draw_mesh gives on one thread.
//
// The frame is drawn sort-middle: the faces of all meshes, in scene order, are cut into slices;
// threads take slices and list the faces that turn towards the camera, then transform the
// vertices those use (no others), then take the slices again, clip, project, shade and set up the
// edges of the listed faces, and file each set-up face under the bands of rows it touches. Then
// threads take bands, clear them and fill each band from the slices in order, so within a band
// faces keep their order and a later face covers an earlier one exactly as on one thread. Bands
// are render_band_rows rows high. Threads that wait, at the phases' ends and for the next frame,
// spin for up to about 100 microseconds before they sleep, so frames drawn back to back do not
// pay for waking them.
//
// Frame: the record of frame.h; only its columns 0..width-1 of rows 0..height-1 are written.
// The view is the caller's (setup_view must have filled it); the frame keeps a copy of it.
// Ownership: RenderThreads owns its worker threads and every buffer of the frame. The buffers
// keep their size between frames, so frames allocate nothing once they have grown to what the
// scene needs. One RenderThreads draws one frame at a time; it is not itself thread-safe.
// Memory: the buffers grow with the faces and vertices drawn (meshes without faces cost nothing
// per frame) and with the bands; the bins, which would otherwise grow with faces times bands,
// hold at most an allowance (64 MiB unless set) plus 256 bytes per face drawn. A frame whose bins
// would need more is drawn in several batches of slices, one after the other, and a slice whose
// faces need more on their own is drawn by one thread without bins: the pixels are the same.
// Failure: render_threads_start returns nullptr with a reason when a thread cannot be started;
// render_frame_threaded returns false when the frame's buffers cannot grow (the frame is then
// incomplete). Nothing here throws.
#pragma once

#include "render/frame.h"
#include "render/view.h"
#include "scene/math3d.h"
#include "scene/scene.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct RenderThreads;

// More than any machine this program meets; a request above it is clamped.
constexpr int32_t kMaxRenderThreads = 256;

// The processor count the system reports, at least 1.
int32_t default_render_thread_count();

// Starts threads - 1 worker threads (the caller's thread is the first of the frame's threads).
// threads is clamped to 1..kMaxRenderThreads.
RenderThreads* render_threads_start(int32_t threads, std::string& error);

// Stops and joins the workers and frees everything. Accepts nullptr.
void render_threads_stop(RenderThreads* threads);

int32_t render_thread_count(const RenderThreads& threads);

// Height in rows of the bands a frame of the given height is filled in by that many threads.
int32_t render_band_rows(int32_t rows, int32_t threads);

// Clears frame to black, then draws every mesh of meshes in order, each with its own matrix,
// seen from camera_matrix, in base colour colour: the pixels of clearing the frame and calling
// draw_mesh for each mesh in turn.
bool render_frame_threaded(RenderThreads& threads, const ViewSetup& view,
                           std::span<const MeshObject> meshes, const Matrix4& camera_matrix,
                           const Frame& frame, uint32_t colour);

// Limits the bins of the following frames to allowance plus bytes_per_face for each face drawn
// (by default 64 MiB and 256), for a caller with less memory to give.
void render_threads_limit_bins(RenderThreads& threads, size_t allowance, size_t bytes_per_face);

// What the last frame took: the bytes of all the frame's buffers and of its bins alone, the
// bins' limit, and the batches it was drawn in (1 unless the bins would have passed the limit).
struct RenderFrameUse {
    size_t buffer_bytes = 0;
    size_t bin_bytes = 0;
    size_t bin_limit = 0;
    int32_t batches = 0;
};
RenderFrameUse render_threads_last_frame(const RenderThreads& threads);
