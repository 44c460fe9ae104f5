// Fuzz target: any byte string the loader accepts is drawn for two frames at the demo's size, so
// hostile geometry (huge, tiny, non-finite, degenerate coordinates) reaches the clipper and the
// span filler under the sanitizers. Whatever the geometry, the frame holds nothing but black and
// shades of the one mesh colour: a channel above the base colour's would be a pixel the filler
// never meant to write.
// Then the same scene is fitted into the view and drawn for two frames in the model look, so
// hostile materials, smoothing groups and faces of every size reach its depth-tested filling:
// whatever it draws, a pixel's top byte stays 0.
#include "app/demo.h"
#include "app/model_frame.h"
#include "app/view_choice.h"
#include "loader/chunk_reader.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool is_mesh_shade(uint32_t pixel) {
    return (pixel & 0xFF000000u) == 0 && ((pixel >> 16) & 0xFF) <= ((kMeshColour >> 16) & 0xFF) &&
           ((pixel >> 8) & 0xFF) <= ((kMeshColour >> 8) & 0xFF) &&
           (pixel & 0xFF) <= (kMeshColour & 0xFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    auto scene = load_scene_from_memory(std::span<const uint8_t>(data, size), error);
    if (!scene) return 0;
    DemoState demo;
    if (!demo_start(demo, *scene)) return 0;
    for (int frame = 0; frame < 2; ++frame) {
        demo_frame(demo);
        for (uint32_t pixel : demo.frame_buffer) {
            if (!is_mesh_shade(pixel)) {
                std::fprintf(stderr, "renderer wrote pixel 0x%08X, no shade of the mesh colour\n",
                             static_cast<unsigned>(pixel));
                std::abort();
            }
        }
    }
    DemoState fitted;
    ViewChoice fit;
    fit.kind = ViewKind::fit;
    if (!view_start(fitted, *scene, fit, kWidth, kHeight, error)) return 0;
    for (int frame = 0; frame < 2; ++frame) {
        view_frame(fitted);
        for (uint32_t pixel : fitted.frame_buffer) {
            if ((pixel & 0xFF000000u) != 0) {
                std::fprintf(stderr, "the model look wrote pixel 0x%08X\n",
                             static_cast<unsigned>(pixel));
                std::abort();
            }
        }
    }
    return 0;
}
