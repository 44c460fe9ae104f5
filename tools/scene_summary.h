// scene_summary.h - a readable overview of a loaded scene, for kalvorant-info without --json.
//
// Lists what the key-frame data does (animation_report.h), the bounding box of every mesh
// vertex, where the fit view puts its camera for the demo's frame size, and each mesh (vertex and
// face counts, node id and the parent node, track keys, faces per material, smoothing groups,
// missing local axes), camera (with where the camera view places it and its field of view), light,
// and material by name (with the colours the file gave it, two-sided and its texture's file name),
// then notes on the axis convention, the inward normals and the special values of the JSON output.
// Positions are in scene axes (the file's Y and Z exchanged), a camera chunk's own position and
// target included; a pose is in the file's own axes. Names are quoted like JSON strings (bytes
// shown as Latin-1), so odd bytes in a file cannot garble the terminal.
//
// The text goes out line by line through a TextSink, so the summary of a scene of millions of
// records is never held whole in memory.
//
// Ownership: reads the scene only. Failure: none of its own; a failed write is recorded in the
// sink (text_sink.h).
#pragma once

#include "scene/scene.h"
#include "textures/scene_textures.h"
#include "tools/text_sink.h"

#include <array>
#include <string>

// Axis-aligned box around vertex positions; empty when no finite vertex was seen.
struct SceneBounds {
    bool empty = true;
    bool has_vertices = false; // any vertex at all, finite or not
    std::array<float, 3> min{};
    std::array<float, 3> max{};
};

// How many of the 32 smoothing groups the mesh's faces use.
int smoothing_group_count(const MeshObject& mesh);

// The box around every vertex of every mesh. Vertices with a non-finite coordinate are left out:
// one stray NaN would otherwise make the whole box meaningless.
SceneBounds scene_bounds(const Scene& scene);

// Writes the summary, several lines each ending in a newline, and drains the sink completely.
// With textures (the reports of load_scene_textures), a last section lists each material's
// picture: found with its size, or why not.
// With key_frame, a section before the notes gives the pose at that key frame
// (animation_report.h).
void write_scene_summary(TextSink& sink, const Scene& scene,
                         const std::vector<TextureReport>* textures = nullptr,
                         const double* key_frame = nullptr);

// The summary as one string.
std::string scene_summary(const Scene& scene);
