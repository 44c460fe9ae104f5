// position_groups.h - partitioning a mesh's vertices into groups of equal positions.
//
// Two positions are equal when x, y and z each compare equal as floats: +0 and -0 are equal, and a
// position with a NaN coordinate equals nothing, not even itself (its group is -1). Vertex normals
// sum face planes per group, so this partition decides which vertices share a normal.
//
// Each function fills group[i] (group must hold one entry per vertex) with a group id in
// [0, returned count) or -1, and returns the number of groups. Group ids are numbered differently
// by the two methods; the partition is the same. Nothing here keeps state.
#pragma once

#include "scene/scene.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Hashing with a sorting fallback: linear on ordinary meshes, n log n on hostile ones.
std::vector<int32_t> group_equal_positions(const std::vector<Vertex>& vertices,
                                           int32_t& group_count);

// n log n whatever the input.
int32_t group_positions_by_sorting(const std::vector<Vertex>& vertices,
                                   std::vector<int32_t>& group);

// Open addressing; gives up and returns -1 once it has probed past a taken slot more than
// probe_budget times (a file crafted to collide would otherwise cost n squared).
int32_t group_positions_by_hashing(const std::vector<Vertex>& vertices, std::vector<int32_t>& group,
                                   size_t probe_budget);
