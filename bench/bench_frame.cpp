// One whole demo frame (clear, spin, draw) of a finely tessellated torus, at three sizes, on one
// thread as the demo draws it and on several threads as kalvorant-render does (wall-clock time).
// The torus is about 100 units across and centred at the origin, where the demo camera looks,
// so roughly half its faces face the camera and are clipped, shaded and filled. The model look's
// rows draw the same torus with every face in one smoothing group: depth buffer, smooth shading;
// the textured rows map every face with a 256 x 256 checker, wrapped 8 times around the ring and
// twice around the tube.
#include "app/demo.h"
#include "app/demo_threads.h"
#include "app/model_frame.h"
#include "tests/render_fixtures.h"

#include <benchmark/benchmark.h>

namespace {

enum class Look { demo, model, textured };

// The benchmark torus's material: a checker of 32-texel cells in two colours.
TextureImage checker_picture() {
    TextureImage picture{256, 256, std::vector<uint32_t>(256 * 256)};
    for (int32_t y = 0; y < 256; ++y)
        for (int32_t x = 0; x < 256; ++x)
            picture.texels[size_t(y) * 256 + size_t(x)] =
                ((x / 32 + y / 32) & 1) != 0 ? 0xE0C080u : 0x406080u;
    return picture;
}

// Mapping coordinates for the torus of fixtures::torus (vertex i * sides + j).
void map_torus(MeshObject& torus, int rings, int sides) {
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < sides; ++j) {
            Vertex& v = torus.vertices[size_t(i) * size_t(sides) + size_t(j)];
            v.u = 8.0f * float(i) / float(rings);
            v.v = 2.0f * float(j) / float(sides);
        }
    for (Face& face : torus.faces)
        face.material = 0;
}

// threads 0: the demo's own one-thread frame; otherwise the banded frame on that many threads.
void frame_of_torus(benchmark::State& state, int rings, int sides, int32_t threads = 0,
                    Look look = Look::demo) {
    Scene scene;
    scene.meshes.push_back(fixtures::torus(rings, sides, 38.0f, 12.0f));
    scene.mesh_count = 1;
    for (Face& face : scene.meshes[0].faces)
        face.smoothing = 1;
    const TextureImage picture = checker_picture();
    const TextureImage* pictures[] = {&picture};
    if (look == Look::textured) {
        map_torus(scene.meshes[0], rings, sides);
        scene.materials.emplace_back();
    }
    const double faces = double(scene.meshes[0].faces.size());
    DemoState demo;
    if (!demo_start(demo, scene) ||
        (look != Look::demo &&
         !demo_use_model_look(demo, look == Look::textured ? std::span(pictures)
                                                           : std::span<const TextureImage*>()))) {
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
    frame_of_torus(state, 100, 50, 0, Look::model);
}
void BM_model_frame_100k(benchmark::State& state) {
    frame_of_torus(state, 500, 100, 0, Look::model);
}
BENCHMARK(BM_model_frame_10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_model_frame_100k)->Unit(benchmark::kMillisecond);

// The model look with every face textured, one thread.
void BM_textured_frame_100k(benchmark::State& state) {
    frame_of_torus(state, 500, 100, 0, Look::textured);
}
BENCHMARK(BM_textured_frame_100k)->Unit(benchmark::kMillisecond);

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
