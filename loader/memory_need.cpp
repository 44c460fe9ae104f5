// The memory a scene will need, gathered by the counting pass, and the limit it must stay under.
//
// The counting pass sees every record and every array the filling pass will allocate, so the load
// can refuse a file before allocating anything. The figure is the bytes of the scene's own
// records and arrays: each record and array element at its fixed cost (loader_internal.h), plus
// the heap bytes of names too long for a string's inline buffer. Allocator overhead and the
// loader's transient name indexes are left out; they are small beside the records.
#include "loader/loader_internal.h"

namespace {

// A file of empty mesh chunks is the worst real case: six bytes of file per mesh record. The
// factor lets every sound file through; the constant lets small files carry their fixed costs.
constexpr uint64_t kMemoryPerFileByte = 64;
constexpr uint64_t kMemoryAllowance = uint64_t{64} << 20;

// A name that fits the string's own buffer costs nothing beyond the record.
uint64_t name_heap_bytes(const std::string& name) {
    return name.size() > kInlineNameBytes ? name.size() + 1 : 0;
}

uint64_t memory_limit(uint64_t file_size) {
    return kMemoryPerFileByte * file_size + kMemoryAllowance;
}

} // namespace

void count_memory(LoaderState& state, size_t count, uint64_t element_bytes) {
    if (state.pass != LoadPass::counting) return;
    state.needed_bytes += uint64_t{count} * element_bytes;
}

// A record counted before any name was read takes, in the filling pass, whatever name the file
// read last; which one is known only when the counting pass ends.
void count_record_memory(LoaderState& state, uint64_t record_bytes) {
    if (state.pass != LoadPass::counting) return;
    state.needed_bytes += record_bytes + name_heap_bytes(state.current_name);
    if (state.current_name.empty()) ++state.records_named_late;
}

void count_string_memory(LoaderState& state, const std::string& text) {
    if (state.pass != LoadPass::counting) return;
    state.needed_bytes += name_heap_bytes(text);
}

int check_memory_need(LoaderState& state, size_t file_size) {
    const uint64_t needed = kSceneBytes + state.needed_bytes +
                            state.records_named_late * name_heap_bytes(state.current_name);
    const uint64_t limit = memory_limit(file_size);
    if (needed <= limit) return 0;
    state.error = "the scene would need " + std::to_string(needed) +
                  " bytes of memory, more than the limit of " + std::to_string(limit) +
                  " bytes for a file of " + std::to_string(file_size) +
                  " bytes (64 times its size plus 64 MiB)";
    return -1;
}
