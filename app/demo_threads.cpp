#include "app/demo_threads.h"

#include "app/model_frame.h"

#include <algorithm>

bool demo_frame_threaded(DemoState& demo, RenderThreads& threads) {
    if (demo.frame_buffer.empty() ||
        demo.frame_buffer.size() != size_t(demo.width) * size_t(demo.height))
        return true;
    if (demo.model_look) {
        // Filling the model look's triangles in bands on two threads, after its geometry on one,
        // measured slower than one thread (bench_viewer: 9.1 against 6.6 ms a frame of 100 000
        // faces at 1024x768), so it draws on the calling thread.
        model_look_frame(demo);
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
