// The viewer's frame function while a person orbits a finely tessellated torus: every frame
// turns the view by a few pixels' drag and draws the whole picture, as a window of 1024x768
// redraws during a drag. On the caller's thread alone and on two threads (wall-clock time).
#include "tests/render_fixtures.h"
#include "viewer/viewer_frame.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int32_t kWidth = 1024, kHeight = 768;

// threads 0: the caller's thread alone; otherwise that many render threads.
void orbit_torus(benchmark::State& state, int rings, int sides, int32_t threads) {
    auto scene = std::make_unique<Scene>();
    scene->meshes.push_back(fixtures::torus(rings, sides, 38.0f, 12.0f));
    scene->mesh_count = 1;
    const double faces = double(scene->meshes[0].faces.size());
    ViewerScene viewer;
    DemoState demo;
    ViewerControls controls;
    controls.width = kWidth;
    controls.height = kHeight;
    std::string error;
    if (!viewer_prepare(viewer, std::move(scene), demo, controls, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    RenderThreads* workers = threads > 0 ? render_threads_start(threads, error) : nullptr;
    if (threads > 0 && workers == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    // A drag to the right and a little down, five pixels a frame.
    WindowEvent press, move;
    press.kind = WindowEvent::Kind::button_down;
    move.kind = WindowEvent::Kind::motion;
    controls_event(controls, press);
    for (auto _ : state) {
        move.x += 5;
        move.y = (move.x / 5) % 40;
        controls_event(controls, move);
        if (!viewer_draw(viewer, demo, controls, workers)) state.SkipWithError("out of memory");
        benchmark::DoNotOptimize(demo.frame_buffer.data());
        benchmark::ClobberMemory();
    }
    render_threads_stop(workers);
    state.counters["faces"] = faces;
}

// The argument is the thread count (0: no render threads).
void BM_viewer_orbit_100k(benchmark::State& state) {
    orbit_torus(state, 500, 100, int32_t(state.range(0)));
}
void BM_viewer_orbit_1M(benchmark::State& state) {
    orbit_torus(state, 1000, 500, int32_t(state.range(0)));
}

BENCHMARK(BM_viewer_orbit_100k)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_viewer_orbit_1M)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
