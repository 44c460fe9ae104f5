#include "loader/position_groups.h"
#include "scene/bit_cast.h"

#include <algorithm>
#include <cmath>

namespace {

// Positions that compare equal as floats get equal keys: -0 is folded onto +0, the only two
// distinct bit patterns that compare equal. Callers keep NaN positions out.
uint32_t position_key_bits(float value) {
    return bit_cast_value<uint32_t>(value + 0.0f);
}

struct PositionKey {
    uint32_t x, y, z;
};

PositionKey key_of(const Vertex& v) {
    return {position_key_bits(v.x), position_key_bits(v.y), position_key_bits(v.z)};
}

bool same_key(const PositionKey& a, const PositionKey& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool has_nan(const Vertex& v) {
    return std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z);
}

uint32_t hash_key(const PositionKey& k) {
    uint64_t h = (static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull) ^ k.y;
    h = (h * 0xC2B2AE3D27D4EB4Full) ^ k.z;
    h *= 0x165667B19E3779F9ull;
    return static_cast<uint32_t>(h >> 32);
}

} // namespace

int32_t group_positions_by_sorting(const std::vector<Vertex>& vertices,
                                   std::vector<int32_t>& group) {
    struct Entry {
        PositionKey key;
        int32_t vertex;
    };
    std::vector<Entry> entries;
    entries.reserve(vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i)
        if (!has_nan(vertices[i]))
            entries.push_back({key_of(vertices[i]), static_cast<int32_t>(i)});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.key.x != b.key.x) return a.key.x < b.key.x;
        if (a.key.y != b.key.y) return a.key.y < b.key.y;
        return a.key.z < b.key.z;
    });
    std::fill(group.begin(), group.end(), -1);
    int32_t group_count = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && !same_key(entries[i - 1].key, entries[i].key)) ++group_count;
        group[static_cast<size_t>(entries[i].vertex)] = group_count;
    }
    return entries.empty() ? 0 : group_count + 1;
}

// Open addressing over vertex indexes; returns -1 when probing exceeds its budget.
int32_t group_positions_by_hashing(const std::vector<Vertex>& vertices, std::vector<int32_t>& group,
                                   size_t probe_budget) {
    std::fill(group.begin(), group.end(), -1);
    size_t capacity = 16;
    while (capacity < 2 * vertices.size())
        capacity *= 2;
    std::vector<int32_t> slots(capacity, -1); // a vertex standing for its group
    size_t probes = 0;
    int32_t group_count = 0;
    for (size_t i = 0; i < vertices.size(); ++i) {
        const Vertex& v = vertices[i];
        if (has_nan(v)) continue;
        PositionKey key = key_of(v);
        size_t slot = hash_key(key) & (capacity - 1);
        while (true) {
            int32_t other = slots[slot];
            if (other < 0) {
                slots[slot] = static_cast<int32_t>(i);
                group[i] = group_count++;
                break;
            }
            if (same_key(key, key_of(vertices[static_cast<size_t>(other)]))) {
                group[i] = group[static_cast<size_t>(other)];
                break;
            }
            if (++probes > probe_budget) return -1;
            slot = (slot + 1) & (capacity - 1);
        }
    }
    return group_count;
}

std::vector<int32_t> group_equal_positions(const std::vector<Vertex>& vertices,
                                           int32_t& group_count) {
    std::vector<int32_t> group(vertices.size(), -1);
    // Sixteen probes per vertex on average is far beyond what a fair hash needs.
    group_count = group_positions_by_hashing(vertices, group, 16 * vertices.size() + 64);
    if (group_count < 0) group_count = group_positions_by_sorting(vertices, group);
    return group;
}
