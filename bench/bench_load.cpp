// Loading the largest mesh the format can hold: 65535 vertices and 65535 faces in one file.
// Target: at most 30 ms per load, both passes and the geometry preparation included.
#include "loader/chunk_reader.h"
#include "tools/chunk_writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kColumns = 255, kRows = 257; // 65535 vertices
constexpr int kFaces = 65535;

// A rippled height field: most positions are shared by six faces, as in a real closed mesh.
std::vector<uint8_t> largest_mesh_file() {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
    begin_chunk(w, 0x4000);
    write_name(w, "grid");
    begin_chunk(w, 0x4100);
    begin_chunk(w, 0x4110);
    write_u16(w, kColumns * kRows);
    for (int row = 0; row < kRows; ++row)
        for (int col = 0; col < kColumns; ++col) {
            write_float(w, static_cast<float>(col));
            write_float(w, static_cast<float>(row));
            write_float(w, static_cast<float>(std::sin(col * 0.1) * std::cos(row * 0.1)));
        }
    end_chunk(w);
    begin_chunk(w, 0x4120);
    write_u16(w, kFaces);
    int written = 0;
    for (int row = 0; row + 1 < kRows && written < kFaces; ++row)
        for (int col = 0; col + 1 < kColumns && written < kFaces; ++col) {
            auto at = [](int r, int c) { return static_cast<uint16_t>(r * kColumns + c); };
            const uint16_t quads[2][3] = {
                {at(row, col), at(row, col + 1), at(row + 1, col)},
                {at(row + 1, col), at(row, col + 1), at(row + 1, col + 1)}};
            for (const auto& tri : quads) {
                if (written == kFaces) break;
                for (uint16_t v : tri)
                    write_u16(w, v);
                write_u16(w, 0);
                ++written;
            }
        }
    while (end_chunk(w)) {
    }
    return chunk_bytes(w);
}

void BM_LoadLargestMesh(benchmark::State& state) {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("kalv_bench_load_" + std::to_string(::getpid()) + ".3ds"))
                           .string();
    std::string error;
    if (!write_file(path, largest_mesh_file(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        auto scene = load_scene(path, error);
        if (!scene || scene->meshes[0].face_count != kFaces) {
            state.SkipWithError(("load failed: " + error).c_str());
            break;
        }
        benchmark::DoNotOptimize(scene->meshes[0].vertices.data());
    }
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_LoadLargestMesh)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
