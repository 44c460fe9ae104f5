// animation_report.h - what a scene's key-frame data does, for kalvorant-info: whether anything
// moves and by which tracks, and where everything stands at a chosen key frame.
//
// The summary's animation lines: "key frames: none" for a file without key-frame data, "key
// frames: no animation" when no track of any node has more than one key (the segment alone
// moves nothing; a hide track moves with one key, before which the node is visible), and otherwise
// the segment with its length in seconds at 30 key frames a second, then one line per node that
// moves, naming its tracks (position, rotation, scale, field of view, roll, hide; "loops" or
// "repeats" when the track says so).
//
// The pose at key frame T (anim/pose.h): per mesh its name, whether its hide track hides it and
// the box around its finite vertices where they stand at T; per camera its name, position,
// target, roll and field of view. Places are in the file's own axes (right-handed, Z up), roll
// and field of view in degrees. As JSON it is the object
//   {"key_frame": T, "meshes": [{"name", "hidden", "bounds": {"min": [x, y, z],
//    "max": [x, y, z]}}], "cameras": [{"name", "position", "target", "roll", "fov"}]}
// with reals written as scene_json.h writes them (a mesh without a finite vertex has bounds of
// "nan"); in the summary it is a "pose at key frame T" section.
//
// Ownership: reads the scene only. Failure: none of its own; the text goes out through the sink
// record by record (text_sink.h).
#pragma once

#include "scene/scene.h"
#include "tools/text_sink.h"

#include <string>

void append_animation_summary(TextSink& sink, const Scene& scene);

void append_pose_summary(TextSink& sink, const Scene& scene, double key_frame);

// The JSON object alone, without a key before it or anything after it.
void append_pose_json(TextSink& sink, const Scene& scene, double key_frame);

// How a key-frame node is named in reports: its name, its instance name when it has one, its
// kind and its node id, as in "\"Box01\" (object node 0)".
std::string node_label(const KeyframeNode& node);
