// chunk_reader.h - loading a 3D Studio (.3ds) scene file.
//
// load_scene reads the file twice through one fixed table of known chunk ids: the first pass
// counts meshes, cameras, lights and materials, the arrays are sized exactly, the second pass
// fills them; then face planes, vertex normals and camera matrices are derived (geometry.h).
//
// The file is hostile until proven otherwise: every chunk header, length and payload value goes
// through a checked reader, and any inconsistency fails the whole load with a reason a user can
// act on ("chunk 0x4120 at offset 812: face 7 names vertex 40 but the mesh has 36"). No exception
// leaves this module; an allocation failure is a failed load. The returned scene satisfies the
// invariants documented in scene.h.
//
// Memory is bounded by the input: when the records and arrays the counting pass found would take
// more than 64 times the file's size plus 64 MiB, the load fails before allocating them, with
// both figures in the reason. Each kind of record is counted at a fixed cost, at least its size
// in memory in any build, so every build gives the same verdict and figures for a file.
//
// Each load keeps its working state to itself, so loads on different threads do not meet. The
// loader's parts (the chunk walker, the table, the handlers) are declared in loader_internal.h,
// which only the loader uses.
#pragma once

#include "scene/scene.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

// Loads the scene at path. On failure returns null and sets error to one line (no newline)
// naming the cause; on success error is cleared.
std::unique_ptr<Scene> load_scene(const std::string& path, std::string& error);

// The same for a file image held in memory (the caller keeps bytes alive during the call).
std::unique_ptr<Scene> load_scene_from_memory(std::span<const uint8_t> bytes, std::string& error);

// Human-readable name of a known chunk id ("vertex list"), or nullptr for an unknown id.
const char* chunk_name(uint16_t id);
