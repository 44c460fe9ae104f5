// chunk_writer.h - building 3D Studio (.3ds) files in memory, for tests, seed corpora and the
// bundled-scene generator.
//
// A 3DS file is a tree of chunks: a 2-byte id, a 4-byte length that counts the 6-byte header plus
// everything nested inside, then the payload. begin_chunk/end_chunk nest like brackets and patch
// each length when the chunk closes, so callers never count bytes. All numbers are written
// little-endian whatever the host; floats are IEEE-754 single precision.
//
// Hostile files are built on purpose: raw() appends arbitrary bytes, begin_chunk_with_length()
// writes a fixed (possibly wrong) length that end_chunk leaves alone, and truncate() cuts the
// finished bytes anywhere.
//
// Ownership: the writer owns its byte buffer; bytes() hands out a copy. Failure: misuse (end_chunk
// without an open chunk, finish with chunks still open) is reported through the bool results,
// never by throwing; write_file returns false with a one-line reason when the file cannot be
// written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ChunkWriter {
    struct Open {
        size_t header_offset = 0;  // where the chunk's id starts
        bool fixed_length = false; // true: the length was given by the caller and is kept
    };
    std::vector<uint8_t> data;
    std::vector<Open> open;
};

// Opens a chunk whose length is filled in by the matching end_chunk.
void begin_chunk(ChunkWriter& w, uint16_t id);
// Opens a chunk with a length written as given, even when it does not match the contents.
void begin_chunk_with_length(ChunkWriter& w, uint16_t id, uint32_t length);
// Closes the innermost open chunk; false when none is open.
bool end_chunk(ChunkWriter& w);
// Number of chunks still open.
size_t open_chunks(const ChunkWriter& w);

void write_u8(ChunkWriter& w, uint8_t value);
void write_u16(ChunkWriter& w, uint16_t value);
void write_u32(ChunkWriter& w, uint32_t value);
void write_i32(ChunkWriter& w, int32_t value);
void write_float(ChunkWriter& w, float value);
// The bytes of text followed by one NUL (3DS names are NUL-terminated).
void write_name(ChunkWriter& w, std::string_view text);
// Arbitrary bytes, copied as they are.
void write_raw(ChunkWriter& w, std::span<const uint8_t> bytes);

// A complete chunk holding exactly payload, with a correct length.
void write_leaf_chunk(ChunkWriter& w, uint16_t id, std::span<const uint8_t> payload);

// The bytes written so far. finish() additionally fails (returns false) when chunks are open.
const std::vector<uint8_t>& chunk_bytes(const ChunkWriter& w);
bool finish(const ChunkWriter& w, std::vector<uint8_t>& out);

// Drops everything from byte offset `size` on (no effect when size is past the end).
void truncate(ChunkWriter& w, size_t size);

// Writes bytes to path; false with a reason in error when the file cannot be written in full.
bool write_file(const std::string& path, std::span<const uint8_t> bytes, std::string& error);
