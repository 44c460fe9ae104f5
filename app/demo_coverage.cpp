#include "app/demo_coverage.h"

#include "app/demo.h"

int64_t covered_pixels(std::span<const uint32_t> frame) {
    int64_t covered = 0;
    for (const uint32_t pixel : frame)
        covered += (pixel & 0x00FFFFFFu) != 0 ? 1 : 0;
    return covered;
}

bool covers_too_little(int64_t covered, int32_t width, int32_t height) {
    return covered * 100 < int64_t(width) * int64_t(height);
}

std::string small_scene_hint(int64_t covered) {
    return "the scene covers " + std::to_string(covered) + (covered == 1 ? " pixel" : " pixels") +
           " in the demo view; --view fit frames it";
}

bool first_demo_frame_coverage(Scene& scene, int64_t& covered) {
    DemoState demo;
    if (!demo_start(demo, scene)) return false;
    demo_frame(demo);
    covered = covered_pixels(demo.frame_buffer);
    return true;
}
