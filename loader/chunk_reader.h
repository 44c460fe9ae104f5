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
// Not reentrant: the loader keeps process-wide state (LoaderState), reset at every call.
#pragma once

#include "loader/byte_reader.h"
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

// Row index (0..87) in the chunk table of the first row with this id, or -1.
int find_chunk(uint16_t id);

// Human-readable name of a known chunk id ("vertex list"), or nullptr for an unknown id.
const char* chunk_name(uint16_t id);

// Walks the chunks from file.pos up to end (an absolute offset), calling each known chunk's
// handler and descending into containers; depth counts the containers above. file spans the whole
// file. Returns 0, or -1 with the reason in loader_state().error (chunk_handlers.h).
int read_chunks(ByteReader& file, size_t end, int depth);
