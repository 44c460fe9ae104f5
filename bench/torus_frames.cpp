// torus_frames: draws a number of one-thread demo frames of the benchmark torus and prints one
// hash over all their pixels. Under callgrind it gives a frame's instruction count, which does
// not vary with the load of a shared machine as times do; the hash shows that a change to the
// renderer left every pixel of those frames as it was.
//
//   torus_frames RINGS SIDES FRAMES [model]   (bench_frame's 100k torus is 500 100, its 1M one
//   1000 500; "model": the model look with every face in one smoothing group, as bench_frame's
//   model rows draw it, counted inside model_look_frame)
//
// Prints "faces F frames N hash H" (H: 64-bit FNV-1a over the pixels' bytes, little-endian, frame
// after frame). Exit status 2 with a usage line for bad arguments, 1 when the frame buffer cannot
// be allocated.
#include "app/demo.h"
#include "app/model_frame.h"
#include "tests/render_fixtures.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

uint64_t hash_pixels(uint64_t h, const std::vector<uint32_t>& pixels) {
    for (uint32_t p : pixels) {
        for (int byte = 0; byte < 4; ++byte) {
            h ^= (p >> (8 * byte)) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

int positive_argument(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0' && value > 0 && value <= 100000) ? int(value) : 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool arguments = argc == 4 || (argc == 5 && std::string_view(argv[4]) == "model");
    const int rings = arguments ? positive_argument(argv[1]) : 0;
    const int sides = arguments ? positive_argument(argv[2]) : 0;
    const int frames = arguments ? positive_argument(argv[3]) : 0;
    if (rings < 3 || sides < 3 || frames == 0) {
        std::fprintf(stderr,
                     "usage: torus_frames RINGS SIDES FRAMES [model] (RINGS, SIDES >= 3)\n");
        return 2;
    }
    const bool model_look = argc == 5;
    Scene scene;
    scene.meshes.push_back(fixtures::torus(rings, sides, 38.0f, 12.0f));
    scene.mesh_count = 1;
    if (model_look)
        for (Face& face : scene.meshes[0].faces)
            face.smoothing = 1;
    DemoState demo;
    if (!demo_start(demo, scene) || (model_look && !demo_use_model_look(demo))) {
        std::fprintf(stderr, "torus_frames: cannot allocate the frame buffer\n");
        return 1;
    }
    uint64_t h = 14695981039346656037ull;
    for (int i = 0; i < frames; ++i) {
        view_frame(demo);
        h = hash_pixels(h, demo.frame_buffer);
    }
    std::printf("faces %zu frames %d hash %016" PRIx64 "\n", scene.meshes[0].faces.size(), frames,
                h);
    return 0;
}
