// Helpers shared by the loader tests: scene files assembled with the chunk writer, written to a
// temporary file and loaded through the public entry point, exactly as a tool would load them.
#pragma once

#include "loader/chunk_reader.h"
#include "tools/chunk_writer.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace loader_test {

inline std::string temp_scene_path() {
    static int counter = 0;
    return (std::filesystem::temp_directory_path() /
            ("kalv_loader_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
             ".3ds"))
        .string();
}

inline std::unique_ptr<Scene> load_bytes(const std::vector<uint8_t>& bytes, std::string& error) {
    std::string path = temp_scene_path();
    std::string write_error;
    if (!write_file(path, bytes, write_error)) {
        error = "test could not write its scene: " + write_error;
        return nullptr;
    }
    auto scene = load_scene(path, error);
    std::filesystem::remove(path);
    return scene;
}

// Refuses a writer with chunks still open: such a test would not test what it says.
inline std::unique_ptr<Scene> load_writer(const ChunkWriter& w, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!finish(w, bytes)) {
        error = "test left " + std::to_string(open_chunks(w)) + " chunks open";
        return nullptr;
    }
    return load_bytes(bytes, error);
}

inline void end_all_chunks(ChunkWriter& w) {
    while (end_chunk(w)) {
    }
}

using Point = std::array<float, 3>;
using Corners = std::array<uint16_t, 3>;

inline void named_object(ChunkWriter& w, const std::string& name) {
    begin_chunk(w, 0x4000);
    write_name(w, name);
}

inline void vertex_list(ChunkWriter& w, const std::vector<Point>& points) {
    begin_chunk(w, 0x4110);
    write_u16(w, static_cast<uint16_t>(points.size()));
    for (const Point& p : points)
        for (float c : p)
            write_float(w, c);
    end_chunk(w);
}

// Opens the face list and leaves it open so material groups can be nested; close it with
// end_chunk.
inline void begin_face_list(ChunkWriter& w, const std::vector<Corners>& faces) {
    begin_chunk(w, 0x4120);
    write_u16(w, static_cast<uint16_t>(faces.size()));
    for (const Corners& f : faces) {
        for (uint16_t c : f)
            write_u16(w, c);
        write_u16(w, 7); // flags, dropped by the loader
    }
}

// A complete named mesh object: 0x4000 { 0x4100 { vertices, faces } }.
inline void mesh_object(ChunkWriter& w, const std::string& name, const std::vector<Point>& points,
                        const std::vector<Corners>& faces) {
    named_object(w, name);
    begin_chunk(w, 0x4100);
    vertex_list(w, points);
    begin_face_list(w, faces);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
}

inline void begin_scene(ChunkWriter& w) {
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
}

inline void track_header(ChunkWriter& w, uint32_t key_count) {
    write_u16(w, 0);
    for (int i = 0; i < 8; ++i)
        write_u8(w, 0);
    write_u32(w, key_count);
}

inline void key_header(ChunkWriter& w, uint32_t frame, uint16_t flags) {
    write_u32(w, frame);
    write_u16(w, flags);
    for (int bit = 0; bit < 5; ++bit)
        if (flags & (1u << bit)) write_float(w, 99.0f);
}

inline void position_track(ChunkWriter& w, const std::vector<std::pair<uint32_t, Point>>& keys) {
    begin_chunk(w, 0xB020);
    track_header(w, static_cast<uint32_t>(keys.size()));
    for (const auto& [frame, p] : keys) {
        key_header(w, frame, 0);
        for (float c : p)
            write_float(w, c);
    }
    end_chunk(w);
}

inline void node_header(ChunkWriter& w, const std::string& name, uint16_t parent) {
    begin_chunk(w, 0xB010);
    write_name(w, name);
    write_u16(w, 0);
    write_u16(w, 0);
    write_u16(w, parent);
    end_chunk(w);
}

inline void node_id(ChunkWriter& w, uint16_t id) {
    begin_chunk(w, 0xB030);
    write_u16(w, id);
    end_chunk(w);
}

} // namespace loader_test
