// scene_summary.h - a readable overview of a loaded scene, for kalvorant-info without --json.
//
// Lists the key-frame range ("none" when the file has no key-frame data), the bounding box of
// every mesh vertex, where the fit view puts its camera for the demo's frame size, and each mesh
// (vertex and face counts, node id and parent, track keys, faces per material, missing local axes),
// camera (with where the camera view places it and its field of view), light and material by name,
// then notes on the axis convention, the inward normals and the special values of the JSON output.
// Positions are in scene axes (the file's Y and Z exchanged), except a camera chunk's own position
// and target, which keep the file's order as loaded. Names are quoted like JSON strings (bytes
// shown as Latin-1), so odd bytes in a file cannot garble the terminal.
//
// Ownership: reads the scene only. Failure: none.
#pragma once

#include "scene/scene.h"

#include <array>
#include <string>

// Axis-aligned box around vertex positions; empty when no finite vertex was seen.
struct SceneBounds {
    bool empty = true;
    std::array<float, 3> min{};
    std::array<float, 3> max{};
};

// The box around every vertex of every mesh. Vertices with a non-finite coordinate are left out:
// one stray NaN would otherwise make the whole box meaningless.
SceneBounds scene_bounds(const Scene& scene);

// The summary text, several lines, each ending in a newline.
std::string scene_summary(const Scene& scene);
