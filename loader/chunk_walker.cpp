// The walk over a file's chunks: checks each header against the file and its container, records
// where it stands for the error messages, calls the chunk's handler and descends into
// containers.
#include "loader/loader_internal.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace {

constexpr size_t kChunkHeaderSize = 6;

// Real files nest six or seven levels deep; the bound keeps a hostile file of nested containers
// from exhausting the stack through the recursive walk.
constexpr int kMaxChunkDepth = 64;

// Offsets are 32-bit signed quantities in the format.
constexpr size_t kMaxFileSize = static_cast<size_t>(std::numeric_limits<int32_t>::max());

void record_place(LoaderState& state, uint16_t id, size_t offset, int row) {
    state.chunk = ChunkPlace{id, offset, row < 0 ? nullptr : chunk_entry(row).name};
}

int call_handler(LoaderState& state, ChunkHandler handler, ByteReader& payload) {
    try {
        return handler(state, payload);
    } catch (const std::bad_alloc&) {
        return loader_fail(state, "out of memory");
    } catch (const std::length_error&) {
        return loader_fail(state, "out of memory");
    }
}

// The header's length against the file and the container; 0, or -1 with the reason.
int check_length(LoaderState& state, const ByteReader& file, size_t start, uint32_t length,
                 size_t end) {
    // A length that does not even cover the header would make the walk stand still or go
    // backwards; one read as negative in 32 bits is no better.
    if (length < kChunkHeaderSize || length > kMaxFileSize)
        return loader_fail(state, "invalid chunk length " + std::to_string(length) +
                                      " (a chunk counts its own 6-byte header)");
    if (length > file.end - start)
        return loader_fail(state, "runs past the end of the file (declares " +
                                      std::to_string(length) + " bytes, " +
                                      std::to_string(file.end - start) + " remain)");
    // A sub-chunk that overran its container would make the container's walk jump back to the
    // container's end and read the overrun bytes again at every level above: a few hundred bytes
    // of such nesting cost exponential time.
    if (length > end - start)
        return loader_fail(state, "runs past the end of the chunk that contains it (declares " +
                                      std::to_string(length) + " bytes, " +
                                      std::to_string(end - start) + " remain)");
    return 0;
}

} // namespace

int read_chunks(LoaderState& state, ByteReader& file, size_t end, int depth) {
    while (file.pos < end) {
        size_t start = file.pos;
        uint16_t id = 0;
        uint32_t length = 0;
        if (remaining(file) < kChunkHeaderSize)
            return fail_in_header(state, start, remaining(file));
        if (!read_u16(file, id) || !read_u32(file, length))
            return -1; // only an input error gets here; the caller reports it
        int row = find_chunk(id);
        record_place(state, id, start, row);
        if (check_length(state, file, start, length, end) != 0) return -1;
        size_t chunk_end = start + length;
        if (row >= 0) {
            const ChunkEntry& entry = chunk_entry(row);
            ByteReader payload = make_reader(*file.source, file.pos, chunk_end);
            if (entry.handler) {
                int result = call_handler(state, entry.handler, payload);
                if (result != 0) return result;
            }
            if (entry.has_children) {
                if (depth + 1 > kMaxChunkDepth)
                    return loader_fail(state, "chunks nest deeper than " +
                                                  std::to_string(kMaxChunkDepth) + " levels");
                file.pos = payload.pos;
                int result = read_chunks(state, file, chunk_end, depth + 1);
                if (result != 0) return result;
            }
        }
        file.pos = chunk_end;
    }
    return 0;
}
