#include "app/demo_threads.h"

#include "app/model_frame.h"

#include <algorithm>
#include <atomic>
#include <functional>

namespace {

// The model look on several threads: the geometry stays on the calling thread, and each batch of
// triangles it gives is filled by all threads at once, each taking bands of rows. Within a band
// the triangles keep their order, so every pixel gets the picture of the one-thread frame.
void model_look_frame_threaded(DemoState& demo, RenderThreads& threads) {
    const int32_t bands = 2 * render_thread_count(threads);
    demo.renderer.model.fill_batch = [&threads, bands](std::span<const ShadedTriangle> triangles,
                                                       const DepthFrame& target) {
        const int32_t rows = target.frame.height;
        const int32_t band_rows = (rows + bands - 1) / bands;
        std::atomic<int32_t> next{0};
        const std::function<void()> task = [&] {
            for (int32_t band; (band = next++) < bands;) {
                const int32_t first = band * band_rows, end = std::min(rows, first + band_rows);
                // A pixel centre lies half a pixel inside a triangle's highest and lowest point.
                const float top = float(first) - 1, bottom = float(end) + 1;
                for (const ShadedTriangle& t : triangles) {
                    const float low = std::min({t.v[0].y, t.v[1].y, t.v[2].y});
                    const float high = std::max({t.v[0].y, t.v[1].y, t.v[2].y});
                    if (high < top || low > bottom) continue; // also when not a number
                    fill_shaded_triangle_rows(t, target, first, end);
                }
            }
        };
        render_threads_run(threads, task);
    };
    model_look_frame(demo);
    demo.renderer.model.fill_batch = nullptr;
}

} // namespace

bool demo_frame_threaded(DemoState& demo, RenderThreads& threads) {
    if (demo.frame_buffer.empty() ||
        demo.frame_buffer.size() != size_t(demo.width) * size_t(demo.height))
        return true;
    if (demo.model_look) {
        model_look_frame_threaded(demo, threads);
        return true;
    }
    demo_advance(demo);
    if (demo.scene == nullptr) {
        std::fill(demo.frame_buffer.begin(), demo.frame_buffer.end(), 0u);
        return true;
    }
    // Spinning every mesh before drawing any changes nothing: a mesh's picture depends only on
    // its own matrix.
    const Frame frame = make_frame(demo.frame_buffer, demo.width, demo.height);
    return render_frame_threaded(threads, demo.renderer.view, demo.scene->meshes, demo.camera,
                                 frame, kMeshColour);
}
