// One whole demo frame (clear, spin, draw) of a finely tessellated torus, at three sizes, on one
// thread as the demo draws it and on several threads as kalvorant-render does (wall-clock time).
// The torus is about 100 units across and centred at the origin, where the demo camera looks,
// so roughly half its faces face the camera and are clipped, shaded and filled. The model look's
// rows draw the same torus with every face in one smoothing group: depth buffer, smooth shading.
#include "app/demo.h"
#include "app/demo_threads.h"
#include "app/model_frame.h"
#include "tests/render_fixtures.h"

#include <benchmark/benchmark.h>

namespace {

// threads 0: the demo's own one-thread frame; otherwise the banded frame on that many threads.
void frame_of_torus(benchmark::State& state, int rings, int sides, int32_t threads = 0,
                    bool model_look = false) {
    Scene scene;
    scene.meshes.push_back(fixtures::torus(rings, sides, 38.0f, 12.0f));
    scene.mesh_count = 1;
    for (Face& face : scene.meshes[0].faces)
        face.smoothing = 1;
    const double faces = double(scene.meshes[0].faces.size());
    DemoState demo;
    if (!demo_start(demo, scene) || (model_look && !demo_use_model_look(demo))) {
        state.SkipWithError("out of memory for the frame buffer or the model look");
        return;
    }
    std::string error;
    RenderThreads* workers = threads > 0 ? render_threads_start(threads, error) : nullptr;
    if (threads > 0 && workers == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        if (workers != nullptr)
            demo_frame_threaded(demo, *workers);
        else
            view_frame(demo);
        benchmark::DoNotOptimize(demo.frame_buffer.data());
        benchmark::ClobberMemory();
    }
    render_threads_stop(workers);
    state.counters["faces"] = faces;
    // Printed as a time per face (for example "47.0ns"), from the CPU time of the frames.
    state.counters["per_face"] = benchmark::Counter(
        faces, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_frame_10k(benchmark::State& state) {
    frame_of_torus(state, 100, 50);
}
void BM_frame_100k(benchmark::State& state) {
    frame_of_torus(state, 500, 100);
}
void BM_frame_1M(benchmark::State& state) {
    frame_of_torus(state, 1000, 500);
}

BENCHMARK(BM_frame_10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_frame_100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_frame_1M)->Unit(benchmark::kMillisecond);

// The model look, one thread.
void BM_model_frame_10k(benchmark::State& state) {
    frame_of_torus(state, 100, 50, 0, true);
}
void BM_model_frame_100k(benchmark::State& state) {
    frame_of_torus(state, 500, 100, 0, true);
}
BENCHMARK(BM_model_frame_10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_model_frame_100k)->Unit(benchmark::kMillisecond);

// The argument is the thread count.
void BM_frame_threads_10k(benchmark::State& state) {
    frame_of_torus(state, 100, 50, int32_t(state.range(0)));
}
void BM_frame_threads_100k(benchmark::State& state) {
    frame_of_torus(state, 500, 100, int32_t(state.range(0)));
}
void BM_frame_threads_1M(benchmark::State& state) {
    frame_of_torus(state, 1000, 500, int32_t(state.range(0)));
}

// Time per frame on the clock: the helpers' processor time is not the caller's.
BENCHMARK(BM_frame_threads_10k)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_frame_threads_100k)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_frame_threads_1M)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
