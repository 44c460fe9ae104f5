// byte_reader.h - bounds-checked little-endian reading from a byte span.
//
// A ByteReader walks [pos, end) of a span that it does not own (the caller keeps the bytes alive).
// `end` may lie before the span's size: the loader narrows it to a chunk's end so that a handler
// can never read a neighbouring chunk's bytes. Every read either succeeds in full and advances, or
// fails, returns false and leaves pos and the destination untouched: a value from a short read is
// never seen. Integers are little-endian whatever the host; floats are IEEE-754 single precision.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

struct ByteReader {
    std::span<const uint8_t> bytes;
    size_t pos = 0;
    size_t end = 0; // first offset that may not be read; never beyond bytes.size()
};

inline ByteReader make_reader(std::span<const uint8_t> bytes, size_t pos, size_t end) {
    if (end > bytes.size()) end = bytes.size();
    if (pos > end) pos = end;
    return ByteReader{bytes, pos, end};
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
    out = r.bytes[r.pos++];
    return true;
}

inline bool read_u16(ByteReader& r, uint16_t& out) {
    if (remaining(r) < 2) return false;
    const uint8_t* p = r.bytes.data() + r.pos;
    out = static_cast<uint16_t>(p[0] | (p[1] << 8));
    r.pos += 2;
    return true;
}

inline bool read_u32(ByteReader& r, uint32_t& out) {
    if (remaining(r) < 4) return false;
    const uint8_t* p = r.bytes.data() + r.pos;
    out = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
          (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    r.pos += 4;
    return true;
}

inline bool read_float(ByteReader& r, float& out) {
    uint32_t bits = 0;
    if (!read_u32(r, bits)) return false;
    out = std::bit_cast<float>(bits);
    return true;
}

// Reads count floats into out[0..count); all or nothing.
inline bool read_floats(ByteReader& r, float* out, size_t count) {
    if (count > remaining(r) / 4) return false;
    for (size_t i = 0; i < count; ++i)
        read_float(r, out[i]);
    return true;
}
