// demo_coverage.h - how much of a frame the scene covers, and the hint for a scene too small to
// see in the demo view.
//
// The demo view stands its camera 150 units from the origin, so a file modelled at another scale
// (most real files: a horse 2 units long, a room 10 000 units wide) shows as a speck or not at
// all. The front ends count the pixels the scene lit in the frames they draw and, when even the
// best frame lights less than 1% of the frame, say so once and name the view that frames any
// scene.
//
// Covered pixels are the frame's non-black pixels, counted in the finished frame buffer rather
// than in the renderer: every drawing path (one thread, several, the web page) gives the same
// count without a counter in the span fill the demo's frames depend on, and it is what a person
// sees. A face shaded to exact black counts as uncovered, as it looks uncovered.
//
// Units: pixels. Ownership: none kept. Failure: only first_demo_frame_coverage can fail (no memory
// for the frame).
#pragma once

#include "scene/scene.h"

#include <cstdint>
#include <span>
#include <string>

// The pixels of frame that are not black (0x00RRGGBB with some colour bit set).
int64_t covered_pixels(std::span<const uint32_t> frame);

// True when covered is less than 1% of a width x height frame.
bool covers_too_little(int64_t covered, int32_t width, int32_t height);

// The hint for a demo-view frame that covers too little, without the program's name or a
// newline: "the scene covers 4 pixels in the demo view; --view fit frames it".
std::string small_scene_hint(int64_t covered);

// The pixels the demo program's first frame (kWidth x kHeight, demo view) covers, for a front end
// that draws no frame of its own. Prepares scene for the demo as demo_start does (every mesh
// matrix becomes the identity and spins one step), so the caller must be done with what the file
// gave. False when the frame or the vertex cache cannot be allocated.
bool first_demo_frame_coverage(Scene& scene, int64_t& covered);
