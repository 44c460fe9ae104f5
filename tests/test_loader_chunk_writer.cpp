// The chunk writer underpins every hand-built loader test; a wrong length here would make those
// tests prove nothing, so its byte layout is checked against hand-written expectations.
#include "tools/chunk_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

TEST(ChunkWriter, NestedChunksGetLittleEndianLengthsCountingTheirHeaders) {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x0002);
    write_u32(w, 3);
    ASSERT_TRUE(end_chunk(w));
    begin_chunk(w, 0x3D3D);
    write_name(w, "ab");
    write_u16(w, 0x1234);
    write_float(w, 1.0f);
    ASSERT_TRUE(end_chunk(w));
    ASSERT_TRUE(end_chunk(w));
    std::vector<uint8_t> out;
    ASSERT_TRUE(finish(w, out));
    const std::vector<uint8_t> expected = {0x4D, 0x4D, 31, 0,    0,    0, // main, 6 + 10 + 15
                                           0x02, 0x00, 10, 0,    0,    0,    3,    0,    0,
                                           0,                             // version
                                           0x3D, 0x3D, 15, 0,    0,    0, // editor
                                           'a',  'b',  0,  0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
    EXPECT_EQ(out, expected);
}

TEST(ChunkWriter, HostileLengthsAndTruncationAreKeptAsWritten) {
    ChunkWriter w;
    begin_chunk_with_length(w, 0x4110, 0xFFFFFFFAu);
    write_u16(w, 7);
    ASSERT_TRUE(end_chunk(w));
    std::vector<uint8_t> out;
    ASSERT_TRUE(finish(w, out));
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[2], 0xFA);
    EXPECT_EQ(out[5], 0xFF);

    truncate(w, 4);
    EXPECT_EQ(chunk_bytes(w).size(), 4u);
    truncate(w, 100); // past the end: nothing to cut
    EXPECT_EQ(chunk_bytes(w).size(), 4u);
}

TEST(ChunkWriter, UnbalancedChunksAreReported) {
    ChunkWriter w;
    EXPECT_FALSE(end_chunk(w));
    begin_chunk(w, 0x4D4D);
    std::vector<uint8_t> out;
    EXPECT_FALSE(finish(w, out));
    EXPECT_EQ(open_chunks(w), 1u);
}

TEST(ChunkWriter, WritesFilesAndReportsUnwritablePaths) {
    ChunkWriter w;
    write_leaf_chunk(w, 0x0002, std::vector<uint8_t>{1, 2, 3, 4});
    std::string path = (std::filesystem::temp_directory_path() /
                        ("kalv_chunk_writer_test_" + std::to_string(::getpid()) + ".3ds"))
                           .string();
    std::string error;
    ASSERT_TRUE(write_file(path, chunk_bytes(w), error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> back((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(back, chunk_bytes(w));
    std::remove(path.c_str());

    EXPECT_FALSE(write_file("/nonexistent-dir/x.3ds", chunk_bytes(w), error));
    EXPECT_NE(error.find("/nonexistent-dir/x.3ds"), std::string::npos);
}
