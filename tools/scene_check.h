// scene_check.h - plain words for the tools when a file is not what the user thinks it is.
//
// The loader reads any stream of well-formed chunks, so a file that is no 3DS file at all either
// fails with a message about chunk lengths, or (a 0-byte file, one stray chunk) loads as an empty
// scene. The loader is right to do so; the tools add the words a user needs:
//   - not_3ds_hint: appended to a load failure when the file does not start with the main chunk;
//   - empty_scene_warning: one line for standard error when a file loads with no faces at all,
//     since there is then nothing to draw (the tools still succeed).
//
// Only a regular file is looked at (never a pipe or device, which reading could block or drain).
// Ownership: none kept. Failure: a file that cannot be read gives no hint (the load error already
// says why it could not be read).
#pragma once

#include "scene/scene.h"

#include <string>

// The id every 3DS file starts with.
constexpr unsigned kMainChunkId = 0x4D4D;

// " (this does not look like a 3DS file: ...)" when path is a readable regular file whose first
// two bytes are not the main chunk id; otherwise empty.
std::string not_3ds_hint(const std::string& path);

// True when some mesh of the scene has at least one face.
bool scene_has_faces(const Scene& scene);

// The warning text (no program name, no newline) for a scene without faces, with the hint.
std::string empty_scene_warning(const std::string& path);
