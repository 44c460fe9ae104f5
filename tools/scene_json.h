// scene_json.h - the whole loaded scene as JSON, for kalvorant-info --json and for scripts.
//
// Schema (one object): keyframe_start, keyframe_end, meshes, cameras, lights, materials; each
// record with the fields of scene/scene.h as loaded (scene axes, after geometry preparation).
// Face "v" holds indices into the mesh's own vertex array; a face's "material" is -1 when no
// material group lists it. Two additions describe the views (view_choice.h): each camera's
// "view" {"position", "target" (scene axes, at the first key frame), "field_of_view" (horizontal,
// degrees; "nan" for a lens that is no positive number)}, and the field "fit" {"centre",
// "radius" of the bounding sphere, "distance" of the fitted camera from the centre, for the
// demo's 512x384 frame; 0, 0 and 150 when there is nothing to fit}, which is the last one unless
// a pose is asked for.
//
// Reals are written in the shortest form that reads back as the same 32-bit float; a non-finite
// real, which JSON cannot express as a number, becomes the string "nan", "inf" or "-inf".
// Names are arbitrary bytes from the file: each byte is taken as the Latin-1 character of the
// same value and written as UTF-8, with quotes, backslashes and control characters escaped, so
// any name yields valid JSON and can be mapped back to its bytes.
//
// The text goes out record by record through a TextSink, so a huge scene's JSON is never held
// whole in memory.
//
// Ownership: reads the scene only. Failure: every scene has a JSON form; a failed write is
// recorded in the sink (text_sink.h).
#pragma once

#include "scene/scene.h"
#include "textures/scene_textures.h"
#include "tools/text_sink.h"

#include <string>
#include <string_view>

// Appends one real in the form described above.
void append_json_real(std::string& out, float value);

// Appends bytes as a quoted JSON string (Latin-1 to UTF-8, escaped).
void append_json_name(std::string& out, std::string_view bytes);

// Writes the whole scene, ending in a newline, and drains the sink completely. With textures (the
// reports of load_scene_textures), each material says whether its picture was found.
// With key_frame, a last field "pose" holds the pose at that key frame (animation_report.h).
void write_scene_json(TextSink& sink, const Scene& scene,
                      const std::vector<TextureReport>* textures = nullptr,
                      const double* key_frame = nullptr);

// The whole scene as one string, ending in a newline.
std::string scene_to_json(const Scene& scene);
