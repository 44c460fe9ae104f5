// One whole demo frame (clear, spin, draw) of a finely tessellated torus, at three sizes.
// The torus is about 100 units across and centred at the origin, where the demo camera looks,
// so roughly half its faces face the camera and are clipped, shaded and filled.
#include "app/demo.h"
#include "tests/render_fixtures.h"

#include <benchmark/benchmark.h>

namespace {

void frame_of_torus(benchmark::State& state, int rings, int sides) {
    Scene scene;
    scene.meshes.push_back(fixtures::torus(rings, sides, 38.0f, 12.0f));
    scene.mesh_count = 1;
    const double faces = double(scene.meshes[0].faces.size());
    DemoState demo;
    if (!demo_start(demo, scene)) {
        state.SkipWithError("demo_start could not allocate the frame buffer");
        return;
    }
    for (auto _ : state) {
        demo_frame(demo);
        benchmark::DoNotOptimize(demo.frame_buffer.data());
        benchmark::ClobberMemory();
    }
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

} // namespace

BENCHMARK_MAIN();
