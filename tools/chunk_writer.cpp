#include "tools/chunk_writer.h"
#include "scene/bit_cast.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void put_u16_at(std::vector<uint8_t>& data, size_t offset, uint16_t value) {
    data[offset] = static_cast<uint8_t>(value & 0xFF);
    data[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void put_u32_at(std::vector<uint8_t>& data, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void begin_header(ChunkWriter& w, uint16_t id, uint32_t length, bool fixed) {
    size_t at = w.data.size();
    w.data.resize(at + 6);
    put_u16_at(w.data, at, id);
    put_u32_at(w.data, at + 2, length);
    w.open.push_back({at, fixed});
}

} // namespace

void begin_chunk(ChunkWriter& w, uint16_t id) {
    begin_header(w, id, 0, false);
}

void begin_chunk_with_length(ChunkWriter& w, uint16_t id, uint32_t length) {
    begin_header(w, id, length, true);
}

bool end_chunk(ChunkWriter& w) {
    if (w.open.empty()) return false;
    ChunkWriter::Open chunk = w.open.back();
    w.open.pop_back();
    if (!chunk.fixed_length) {
        size_t length = w.data.size() - chunk.header_offset;
        put_u32_at(w.data, chunk.header_offset + 2, static_cast<uint32_t>(length));
    }
    return true;
}

size_t open_chunks(const ChunkWriter& w) {
    return w.open.size();
}

void write_u8(ChunkWriter& w, uint8_t value) {
    w.data.push_back(value);
}

void write_u16(ChunkWriter& w, uint16_t value) {
    size_t at = w.data.size();
    w.data.resize(at + 2);
    put_u16_at(w.data, at, value);
}

void write_u32(ChunkWriter& w, uint32_t value) {
    size_t at = w.data.size();
    w.data.resize(at + 4);
    put_u32_at(w.data, at, value);
}

void write_i32(ChunkWriter& w, int32_t value) {
    write_u32(w, static_cast<uint32_t>(value));
}

void write_float(ChunkWriter& w, float value) {
    write_u32(w, bit_cast_value<uint32_t>(value));
}

void write_name(ChunkWriter& w, std::string_view text) {
    w.data.insert(w.data.end(), text.begin(), text.end());
    w.data.push_back(0);
}

void write_raw(ChunkWriter& w, std::span<const uint8_t> bytes) {
    w.data.insert(w.data.end(), bytes.begin(), bytes.end());
}

void write_leaf_chunk(ChunkWriter& w, uint16_t id, std::span<const uint8_t> payload) {
    begin_chunk(w, id);
    write_raw(w, payload);
    end_chunk(w);
}

const std::vector<uint8_t>& chunk_bytes(const ChunkWriter& w) {
    return w.data;
}

bool finish(const ChunkWriter& w, std::vector<uint8_t>& out) {
    out = w.data;
    return w.open.empty();
}

void truncate(ChunkWriter& w, size_t size) {
    if (size < w.data.size()) w.data.resize(size);
}

bool write_file(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) {
        error = "cannot write " + path + " in full";
        return false;
    }
    error.clear();
    return true;
}
