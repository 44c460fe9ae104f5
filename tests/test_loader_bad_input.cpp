// Hostile and broken files: each must fail the load with one line naming the chunk and offset
// (or be tolerated where dropping data is harmless), and never read or write out of bounds.
#include "loader/chunk_reader.h"
#include "loader/loader_internal.h"
#include "test_loader_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace loader_test;

namespace {

// Loads bytes that must fail; returns the reason, which must be a single line.
std::string expect_failure(const std::vector<uint8_t>& bytes) {
    std::string error;
    auto scene = load_bytes(bytes, error);
    EXPECT_EQ(scene, nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return error;
}

std::vector<uint8_t> chunk_with_length(uint16_t id, uint32_t length, size_t payload_bytes) {
    ChunkWriter w;
    begin_chunk_with_length(w, id, length);
    write_raw(w, std::vector<uint8_t>(payload_bytes, 0));
    end_chunk(w);
    return chunk_bytes(w);
}

// A valid root and editor chunk around `body`, so a fault sits at a known depth and offset.
std::vector<uint8_t> in_editor(const std::vector<uint8_t>& body) {
    ChunkWriter w;
    begin_scene(w);
    write_raw(w, body);
    end_all_chunks(w);
    return chunk_bytes(w);
}

} // namespace

TEST(LoaderBadLength, LengthsBelowTheHeaderOrNegativeFailAtAnyDepth) {
    for (uint32_t length : {0u, 1u, 5u, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        std::string top = expect_failure(chunk_with_length(0x4D4D, length, 8));
        EXPECT_NE(top.find("chunk 0x4D4D (file root) at offset 0"), std::string::npos) << top;
        // Nested, and for an id the table does not know: still fatal, at offset 12.
        std::string nested = expect_failure(in_editor(chunk_with_length(0x1234, length, 8)));
        EXPECT_NE(nested.find("chunk 0x1234 at offset 12: invalid chunk length"), std::string::npos)
            << nested;
    }
}

TEST(LoaderBadLength, FileCutShortInAHeaderOrBeforeADeclaredEnd) {
    EXPECT_NE(expect_failure({0x4D, 0x4D, 6}).find("ends inside the chunk header at offset 0"),
              std::string::npos);
    std::vector<uint8_t> trailing = chunk_with_length(0x0002, 10, 4);
    trailing.insert(trailing.end(), {0x02, 0x00, 0x0A});
    EXPECT_NE(expect_failure(trailing).find("offset 10"), std::string::npos);

    // An unknown chunk that the walk would only skip still may not claim bytes that do not exist.
    std::string skipped = expect_failure(in_editor(chunk_with_length(0x7777, 500, 4)));
    EXPECT_NE(skipped.find("chunk 0x7777 at offset 12: runs past the end of the file"),
              std::string::npos)
        << skipped;

    ChunkWriter w;
    begin_scene(w);
    mesh_object(w, "m", {{0, 0, 0}, {1, 1, 1}}, {});
    end_all_chunks(w);
    truncate(w, chunk_bytes(w).size() - 3); // cuts the vertex list's last float
    EXPECT_NE(expect_failure(chunk_bytes(w)).find("runs past the end of the file"),
              std::string::npos);
}

TEST(LoaderBadLength, SubChunkRunningPastItsContainerFails) {
    // A named object that claims its name and only the header of the light inside it; the
    // light's end lies beyond the object's, though inside the file.
    ChunkWriter w;
    begin_scene(w);
    begin_chunk_with_length(w, 0x4000, 14);
    write_name(w, "L");
    begin_chunk(w, 0x4600);
    for (int i = 0; i < 3; ++i)
        write_float(w, 0.0f);
    end_all_chunks(w);
    std::string error = expect_failure(chunk_bytes(w));
    EXPECT_NE(error.find("chunk 0x4600 (light) at offset 20: runs past the end of the chunk that "
                         "contains it (declares 18 bytes, 6 remain)"),
              std::string::npos)
        << error;

    // Containers whose last child runs to the end of the file, twenty deep in a row: each level
    // would walk the rest of the file twice, 2^20 chunk visits. It must fail, and at once.
    std::vector<uint8_t> chain;
    const size_t links = 20, file_size = 12 * links + 6;
    auto header = [&](uint16_t id, size_t length) {
        ChunkWriter h;
        begin_chunk_with_length(h, id, static_cast<uint32_t>(length));
        end_chunk(h);
        std::vector<uint8_t> b = chunk_bytes(h);
        chain.insert(chain.end(), b.begin(), b.begin() + 6);
    };
    for (size_t k = 0; k < links; ++k) {
        header(0x4D4D, 12);
        header(0x4D4D, file_size - 12 * k - 6);
    }
    header(0x0002, 6);
    ASSERT_EQ(chain.size(), file_size);
    EXPECT_NE(expect_failure(chain).find("chunk 0x4D4D (file root) at offset 6: runs past the end "
                                         "of the chunk that contains it"),
              std::string::npos);
}

TEST(LoaderBadLength, PayloadShorterThanItsCountsFailsInsteadOfReadingTheNextChunk) {
    ChunkWriter w;
    begin_scene(w);
    named_object(w, "m");
    begin_chunk(w, 0x4100);
    begin_chunk(w, 0x4110);
    write_u16(w, 100); // but only one vertex follows
    for (int i = 0; i < 3; ++i)
        write_float(w, 0.0f);
    end_all_chunks(w);
    std::string error = expect_failure(chunk_bytes(w));
    EXPECT_NE(error.find("chunk 0x4110 (vertex list) at offset 26: vertex list of 100 vertices"),
              std::string::npos)
        << error;

    ChunkWriter keys;
    begin_scene(keys);
    end_chunk(keys);
    begin_chunk(keys, 0xB000);
    begin_chunk(keys, 0xB020);
    track_header(keys, 1);
    key_header(keys, 0, 0x0010); // the ease-from float is missing, so the key is short
    for (int i = 0; i < 3; ++i)
        write_float(keys, 0.0f);
    truncate(keys, chunk_bytes(keys).size() - 4);
    end_all_chunks(keys);
    EXPECT_NE(expect_failure(chunk_bytes(keys)).find("position track key 0 of 1"),
              std::string::npos);
}

TEST(LoaderBadMesh, FaceIndexesMustNameExistingVerticesOfAnEarlierVertexList) {
    ChunkWriter w;
    begin_scene(w);
    mesh_object(w, "tri", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 3, 1}});
    end_all_chunks(w);
    std::string error = expect_failure(chunk_bytes(w));
    EXPECT_NE(error.find("face 1 names vertex 3 but mesh \"tri\" has 3"), std::string::npos)
        << error;

    // A name is any bytes up to its NUL; the reason stays one line whatever the name holds.
    ChunkWriter odd;
    begin_scene(odd);
    mesh_object(odd, "a\nb\"\\", {{0, 0, 0}}, {{0, 0, 1}});
    end_all_chunks(odd);
    std::string odd_error = expect_failure(chunk_bytes(odd));
    EXPECT_NE(odd_error.find("but mesh \"a\\x0Ab\\x22\\x5C\" has 1"), std::string::npos)
        << odd_error;

    ChunkWriter early;
    begin_scene(early);
    named_object(early, "tri");
    begin_chunk(early, 0x4100);
    begin_face_list(early, {{0, 0, 0}});
    end_chunk(early);
    vertex_list(early, {{0, 0, 0}});
    end_all_chunks(early);
    EXPECT_NE(expect_failure(chunk_bytes(early)).find("comes before its vertex list"),
              std::string::npos);

    ChunkWriter second;
    begin_scene(second);
    named_object(second, "tri");
    begin_chunk(second, 0x4100);
    vertex_list(second, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    begin_face_list(second, {{0, 1, 2}});
    end_chunk(second);
    vertex_list(second, {{0, 0, 0}}); // would leave face corners 1 and 2 dangling
    end_all_chunks(second);
    EXPECT_NE(expect_failure(chunk_bytes(second)).find("already has faces"), std::string::npos);
}

TEST(LoaderBadMesh, OutOfRangeMaterialFacesAndSurplusMappingCoordinatesAreDropped) {
    ChunkWriter w;
    begin_scene(w);
    begin_chunk(w, 0xAFFF);
    begin_chunk(w, 0xA000);
    write_name(w, "red");
    end_chunk(w);
    end_chunk(w);
    named_object(w, "tri");
    begin_chunk(w, 0x4100);
    vertex_list(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    begin_chunk(w, 0x4140);
    write_u16(w, 5);
    for (int i = 0; i < 10; ++i)
        write_float(w, static_cast<float>(i));
    end_chunk(w);
    begin_face_list(w, {{0, 1, 2}});
    begin_chunk(w, 0x4130);
    write_name(w, "red");
    write_u16(w, 3);
    for (uint16_t face : {1, 65535, 0})
        write_u16(w, face);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    const MeshObject& mesh = scene->meshes[0];
    EXPECT_EQ(mesh.faces[0].material, 0);
    EXPECT_EQ(mesh.vertices[2].u, 4.0f);
    EXPECT_EQ(mesh.vertices.size(), 3u);
}

TEST(LoaderBadKeyframes, TracksWithoutAFittingNodeIndexStoreNothing) {
    // Mesh "m" and three cameras; an object node's second header finds camera 2, an index the
    // single-mesh array cannot hold.
    ChunkWriter w;
    begin_scene(w);
    mesh_object(w, "m", {{0, 0, 0}}, {});
    for (const char* name : {"c0", "c1", "c2"}) {
        named_object(w, name);
        begin_chunk(w, 0x4700);
        for (int i = 0; i < 8; ++i)
            write_float(w, 0.0f);
        end_chunk(w);
        end_chunk(w);
    }
    end_chunk(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB002);
    node_header(w, "m", 0);
    node_header(w, "c2", 0);
    position_track(w, {{0, {1, 2, 3}}});
    begin_chunk(w, 0xB021);
    track_header(w, 1);
    key_header(w, 0, 0);
    for (int i = 0; i < 4; ++i)
        write_float(w, 1.0f);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->meshes[0].position_key_count, 0);
    EXPECT_EQ(scene->meshes[0].rotation_key_count, 0);
    EXPECT_EQ(scene->cameras[2].position_key_count, 0);
}

TEST(LoaderBadNames, UnterminatedNamesFailWhereTheFormatNeedsThemButNotForObjects) {
    std::vector<uint8_t> unterminated = {'a', 'b', 'c'};
    ChunkWriter material;
    begin_scene(material);
    begin_chunk(material, 0xAFFF);
    write_leaf_chunk(material, 0xA000, unterminated);
    end_all_chunks(material);
    EXPECT_NE(expect_failure(chunk_bytes(material)).find("material name has no end"),
              std::string::npos);

    ChunkWriter object;
    begin_scene(object);
    write_leaf_chunk(object, 0x4000, unterminated);
    begin_chunk(object, 0x4600);
    for (int i = 0; i < 3; ++i)
        write_float(object, 0.0f);
    end_all_chunks(object);
    std::string error;
    auto scene = load_writer(object, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->lights[0].name, "abc");
}

TEST(LoaderBadStructure, DeepNestingMissingFilesAndDirectoriesFailCleanly) {
    ChunkWriter w;
    for (int i = 0; i < 100000; ++i)
        begin_chunk(w, 0x4D4D);
    end_all_chunks(w);
    EXPECT_NE(expect_failure(chunk_bytes(w)).find("nest deeper than"), std::string::npos);

    std::string error;
    EXPECT_EQ(load_scene("/nonexistent/object.3ds", error), nullptr);
    EXPECT_EQ(error, "cannot open \"/nonexistent/object.3ds\": No such file or directory");
    // A path is any bytes; in a message it stays on one line.
    EXPECT_EQ(load_scene("/nonexistent/two\nlines.3ds", error), nullptr);
    EXPECT_EQ(error, "cannot open \"/nonexistent/two\\x0Alines.3ds\": No such file or directory");
}

// Loads path on another thread; a load that blocks is released after a few seconds by opening
// the named pipe's other end, and reported as blocked.
std::string load_without_blocking(const std::string& path, bool& blocked) {
    auto result = std::async(std::launch::async, [path] {
        std::string error;
        auto scene = load_scene(path, error);
        return scene ? std::string("loaded") : error;
    });
    blocked = result.wait_for(std::chrono::seconds(5)) != std::future_status::ready;
    if (blocked) close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
    return result.get();
}

TEST(LoaderInputFiles, AnythingButARegularFileIsRefusedWithoutBlocking) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kalv_special_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "pipe.3ds").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socket_path = (dir / "sock.3ds").string();
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::pair<std::string, std::string> cases[] = {
        {dir.string(), "it is a directory, not a regular file"},
        {"/dev/zero", "it is a character device, not a regular file"},
        {fifo, "it is a named pipe, not a regular file"},
        {socket_path, "it is a socket, not a regular file"},
        {"/proc/self/status", "its size reads as 0 but it holds data"},
    };
    for (const auto& [path, reason] : cases) {
        bool blocked = false;
        const std::string error = load_without_blocking(path, blocked);
        EXPECT_FALSE(blocked) << path;
        EXPECT_EQ(error.rfind("cannot read \"" + path + "\": " + reason, 0), 0u) << error;
    }
    close(sock);
    std::filesystem::remove_all(dir);
}

TEST(LoaderBadStructure, FillingPassRefusesMoreRecordsThanCounted) {
    Scene scene; // counted nothing
    LoaderState state;
    state.scene = &scene;
    state.pass = LoadPass::filling;
    ByteSource empty = memory_source({});
    ByteReader none = make_reader(empty, 0, 0);
    EXPECT_EQ(handle_triangle_mesh(state, none), -1);
    EXPECT_NE(state.error.find("more meshes than the counting pass found"), std::string::npos);
    std::vector<uint8_t> light_payload(12, 0);
    ByteSource light_source = memory_source(light_payload);
    ByteReader light = make_reader(light_source, 0, light_payload.size());
    EXPECT_EQ(handle_light(state, light), -1);
    EXPECT_NE(state.error.find("more lights than the counting pass found"), std::string::npos);
}

// Six bytes of file make a mesh record of a few hundred bytes, and a name read after the last
// mesh is copied into every mesh before the first name: enough such meshes must be refused from
// their counts, before the arrays are allocated.
TEST(LoaderMemoryBound, CountsNeedingMoreThanTheLimitAreRefusedBeforeAllocating) {
    constexpr size_t kMeshes = 1'500'000;
    ChunkWriter w;
    begin_scene(w);
    for (size_t i = 0; i < kMeshes; ++i)
        write_leaf_chunk(w, 0x4100, {});
    named_object(w, std::string(63, 'n'));
    end_all_chunks(w);
    const uint64_t file_size = chunk_bytes(w).size();
    const uint64_t limit = 64 * file_size + (uint64_t{64} << 20);

    const std::string error = expect_failure(chunk_bytes(w));
    const std::string prefix = "the scene would need ";
    ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
    const uint64_t needed = std::stoull(error.substr(prefix.size()));
    EXPECT_GT(needed, limit);
    EXPECT_GE(needed, kMeshes * (sizeof(MeshObject) + 64));
    EXPECT_NE(error.find(" bytes of memory, more than the limit of " + std::to_string(limit) +
                         " bytes for a file of " + std::to_string(file_size) + " bytes"),
              std::string::npos)
        << error;
}
