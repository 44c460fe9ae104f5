// Writes the fuzzer's seed corpus: small scene files that between them reach every chunk handler,
// plus a few broken ones so that the error paths start covered.
// Usage: kalv_make_seeds DIR. Exits 1 with a one-line reason when a file cannot be written.
#include "tests/test_loader_support.h"

#include <cstdio>
#include <functional>

using namespace loader_test;

namespace {

void material(ChunkWriter& w, const std::string& name, bool textured) {
    begin_chunk(w, 0xAFFF);
    begin_chunk(w, 0xA000);
    write_name(w, name);
    end_chunk(w);
    begin_chunk(w, 0xA020);
    begin_chunk(w, 0x0011);
    for (uint8_t c : {200, 100, 50})
        write_u8(w, c);
    end_chunk(w);
    end_chunk(w);
    if (textured) {
        begin_chunk(w, 0xA200);
        begin_chunk(w, 0xA300);
        write_name(w, "bricks.gif");
        end_chunk(w);
        end_chunk(w);
    }
    end_chunk(w);
}

void textured_mesh(ChunkWriter& w) {
    named_object(w, "box");
    begin_chunk(w, 0x4100);
    vertex_list(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-0.0f, 0, 0}});
    begin_chunk(w, 0x4140);
    write_u16(w, 4);
    for (int i = 0; i < 8; ++i)
        write_float(w, 0.125f * static_cast<float>(i));
    end_chunk(w);
    begin_face_list(w, {{0, 1, 2}, {0, 1, 3}, {4, 2, 3}});
    begin_chunk(w, 0x4130);
    write_name(w, "red");
    write_u16(w, 2);
    write_u16(w, 0);
    write_u16(w, 2);
    end_chunk(w);
    begin_chunk(w, 0x4150);
    for (int i = 0; i < 3; ++i)
        write_u32(w, 1);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0x4160);
    for (int i = 0; i < 12; ++i)
        write_float(w, i % 4 == 0 ? 1.0f : 0.0f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
}

void spot_light(ChunkWriter& w) {
    named_object(w, "spot");
    begin_chunk(w, 0x4600);
    for (float f : {5.0f, 6.0f, 7.0f})
        write_float(w, f);
    begin_chunk(w, 0x0010);
    for (float f : {1.0f, 0.5f, 0.25f})
        write_float(w, f);
    end_chunk(w);
    begin_chunk(w, 0x4610);
    for (float f : {0.0f, 0.0f, 0.0f, 20.0f, 40.0f})
        write_float(w, f);
    end_chunk(w);
    write_leaf_chunk(w, 0x4620, {});
    write_leaf_chunk(w, 0x4627, {});
    for (uint16_t id : {0x4659, 0x465A, 0x465B}) {
        begin_chunk(w, id);
        write_float(w, 3.0f);
        end_chunk(w);
    }
    end_chunk(w);
    end_chunk(w);
}

void camera(ChunkWriter& w) {
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (float f : {0.0f, -50.0f, 10.0f, 0.0f, 0.0f, 0.0f, 0.0f, 35.0f})
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
}

void rotation_track(ChunkWriter& w, uint16_t flags) {
    begin_chunk(w, 0xB021);
    track_header(w, 2);
    for (uint32_t k = 0; k < 2; ++k) {
        key_header(w, k * 20, flags);
        for (float f : {0.5f, 0.0f, 0.0f, 1.0f})
            write_float(w, f);
    }
    end_chunk(w);
}

void keyframes(ChunkWriter& w) {
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB008);
    write_u32(w, 0);
    write_u32(w, 40);
    end_chunk(w);
    begin_chunk(w, 0xB002);
    node_id(w, 0);
    node_header(w, "box", 65535);
    position_track(w, {{0, {0, 0, 0}}, {40, {1, 2, 3}}});
    rotation_track(w, 0x001F);
    end_chunk(w);
    begin_chunk(w, 0xB003);
    node_id(w, 1);
    node_header(w, "cam", 65535);
    position_track(w, {{0, {0, -50, 10}}});
    end_chunk(w);
    begin_chunk(w, 0xB004);
    node_id(w, 2);
    node_header(w, "cam", 65535);
    position_track(w, {{0, {0, 0, 0}}});
    end_chunk(w);
    begin_chunk(w, 0xB007);
    node_header(w, "spot", 65535);
    position_track(w, {{0, {5, 6, 7}}});
    end_chunk(w);
    end_chunk(w);
}

std::vector<uint8_t> full_scene() {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x0002);
    write_u32(w, 3);
    end_chunk(w);
    begin_chunk(w, 0x3D3D);
    material(w, "red", false);
    material(w, "bricks", true);
    begin_chunk(w, 0x2100);
    begin_chunk(w, 0x0013);
    for (float f : {0.1f, 0.1f, 0.1f})
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
    textured_mesh(w);
    spot_light(w);
    camera(w);
    end_chunk(w);
    keyframes(w);
    end_all_chunks(w);
    return chunk_bytes(w);
}

std::vector<uint8_t> shared_positions() {
    ChunkWriter w;
    begin_scene(w);
    mesh_object(w, "a", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {-0.0f, -0.0f, 0}},
                {{0, 1, 2}, {3, 2, 1}, {4, 1, 2}});
    mesh_object(w, "a", {{2, 2, 2}, {2, 2, 2}, {2, 2, 2}}, {{0, 1, 2}});
    end_all_chunks(w);
    return chunk_bytes(w);
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(std::min(bytes.size(), size));
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kalv_make_seeds DIR\n");
        return 1;
    }
    const std::vector<uint8_t> full = full_scene();
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> seeds = {
        {"full_scene.3ds", full},
        {"shared_positions.3ds", shared_positions()},
        {"cut_in_mesh.3ds", cut(full, full.size() / 3)},
        {"cut_in_header.3ds", cut(full, 3)},
        {"unknown_chunk.3ds", {0x34, 0x12, 8, 0, 0, 0, 1, 2}},
    };
    for (const auto& [name, bytes] : seeds) {
        std::string error;
        if (!write_file(std::string(argv[1]) + "/" + name, bytes, error)) {
            std::fprintf(stderr, "kalv_make_seeds: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
