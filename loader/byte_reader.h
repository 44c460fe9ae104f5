// byte_reader.h - bounds-checked little-endian reading from a file or from memory.
//
// A ByteSource is the whole input: either a span the caller keeps alive, or an open file read
// through a 64 KiB window that moves on demand (files are walked twice and mostly in order, so
// the file is never held whole in memory). A ByteReader reads [pos, end) of a source; the loader
// narrows `end` to a chunk's end so that a handler never reads a neighbouring chunk's bytes.
//
// Every read either succeeds in full and advances, or fails, returns false and leaves pos and the
// destination untouched: a value from a short read is never seen. A file that cannot deliver a
// byte below its measured size (it shrank, or the disk failed) sets read_failed, so the caller can
// tell an input error from a malformed file. Integers are little-endian whatever the host; floats
// are IEEE-754 single precision.
#pragma once

#include "scene/bit_cast.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct ByteSource {
    std::unique_ptr<std::FILE, FileCloser> file; // null: window holds all the bytes
    size_t size = 0;                             // bytes in the whole input
    std::span<const uint8_t> window;             // input bytes [window_start, ... + size())
    size_t window_start = 0;
    std::vector<uint8_t> buffer; // backs the window of a file
    bool read_failed = false;
};

ByteSource memory_source(std::span<const uint8_t> bytes);

// Opens path for reading and measures it; files of 2 GiB or more are refused, since the format's
// offsets are 32-bit signed. False with a one-line reason.
bool open_file_source(ByteSource& source, const std::string& path, std::string& error);

// Moves the window of a file source so that it holds [pos, pos + count); null when it cannot.
const uint8_t* refill_window(ByteSource& source, size_t pos, size_t count);

// Pointer to count bytes at pos, or null (count must be small: at most a few bytes).
inline const uint8_t* source_bytes(ByteSource& source, size_t pos, size_t count) {
    if (pos >= source.window_start && pos - source.window_start + count <= source.window.size())
        return source.window.data() + (pos - source.window_start);
    return refill_window(source, pos, count);
}

struct ByteReader {
    ByteSource* source = nullptr;
    size_t pos = 0;
    size_t end = 0; // first offset that may not be read; never beyond the source's size
};

inline ByteReader make_reader(ByteSource& source, size_t pos, size_t end) {
    if (end > source.size) end = source.size;
    if (pos > end) pos = end;
    return ByteReader{&source, pos, end};
}

inline size_t remaining(const ByteReader& r) {
    return r.end - r.pos;
}

inline bool skip_bytes(ByteReader& r, size_t count) {
    if (count > remaining(r)) return false;
    r.pos += count;
    return true;
}

inline bool read_u8(ByteReader& r, uint8_t& out) {
    if (remaining(r) < 1) return false;
    const uint8_t* p = source_bytes(*r.source, r.pos, 1);
    if (!p) return false;
    out = p[0];
    r.pos += 1;
    return true;
}

inline bool read_u16(ByteReader& r, uint16_t& out) {
    if (remaining(r) < 2) return false;
    const uint8_t* p = source_bytes(*r.source, r.pos, 2);
    if (!p) return false;
    out = static_cast<uint16_t>(p[0] | (p[1] << 8));
    r.pos += 2;
    return true;
}

inline bool read_u32(ByteReader& r, uint32_t& out) {
    if (remaining(r) < 4) return false;
    const uint8_t* p = source_bytes(*r.source, r.pos, 4);
    if (!p) return false;
    out = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
          (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    r.pos += 4;
    return true;
}

inline bool read_float(ByteReader& r, float& out) {
    uint32_t bits = 0;
    if (!read_u32(r, bits)) return false;
    out = bit_cast_value<float>(bits);
    return true;
}

// Reads count floats into out[0..count); all or nothing.
inline bool read_floats(ByteReader& r, float* out, size_t count) {
    if (count > remaining(r) / 4) return false;
    ByteReader attempt = r;
    for (size_t i = 0; i < count; ++i)
        if (!read_float(attempt, out[i])) return false;
    r = attempt;
    return true;
}
