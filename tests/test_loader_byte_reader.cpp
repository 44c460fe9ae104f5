// The checked reader under every handler: little-endian values, all-or-nothing reads, and a file
// window that must deliver the same bytes wherever the walk jumps, including backwards.
#include "loader/byte_reader.h"
#include "tools/chunk_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

TEST(ByteReader, LittleEndianValuesAndShortReadsLeaveEverythingUntouched) {
    const std::vector<uint8_t> bytes = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
    ByteSource source = memory_source(bytes);
    ByteReader r = make_reader(source, 0, bytes.size());
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    float f = 0;
    ASSERT_TRUE(read_u16(r, u16));
    ASSERT_TRUE(read_u32(r, u32));
    ASSERT_TRUE(read_float(r, f));
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0x12345678u);
    EXPECT_EQ(f, 1.0f);

    ByteReader narrow = make_reader(source, 2, 7); // 5 bytes: one u32, then 1 byte
    float two[2] = {7.0f, 7.0f};
    EXPECT_FALSE(read_floats(narrow, two, 2));
    EXPECT_EQ(narrow.pos, 2u);
    EXPECT_EQ(two[0], 7.0f);
    ASSERT_TRUE(read_u32(narrow, u32));
    EXPECT_FALSE(read_u16(narrow, u16));
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(remaining(narrow), 1u);

    ByteReader beyond = make_reader(source, 50, 100); // clamped to the source
    EXPECT_EQ(remaining(beyond), 0u);
}

TEST(ByteReader, FileWindowFollowsJumpsAndNoticesAShrunkenFile) {
    // 300000 bytes: 75000 little-endian u32 counting up, so every offset has a known value.
    ChunkWriter w;
    for (uint32_t i = 0; i < 75000; ++i)
        write_u32(w, i);
    // Per process: builds tested side by side must not shrink each other's file.
    std::string path = (std::filesystem::temp_directory_path() /
                        ("kalv_byte_reader_" + std::to_string(::getpid()) + ".bin"))
                           .string();
    std::string error;
    ASSERT_TRUE(write_file(path, chunk_bytes(w), error)) << error;

    ByteSource source;
    ASSERT_TRUE(open_file_source(source, path, error)) << error;
    ASSERT_EQ(source.size, 300000u);
    ByteReader r = make_reader(source, 0, source.size);
    for (uint32_t index : {0u, 16383u, 16384u, 74999u, 5u, 40000u, 16383u}) {
        r.pos = 4 * static_cast<size_t>(index);
        uint32_t value = 0;
        ASSERT_TRUE(read_u32(r, value));
        EXPECT_EQ(value, index);
    }
    uint32_t straddle = 0;
    r.pos = 0; // the window now starts at 0 and ends at 65536...
    ASSERT_TRUE(read_u32(r, straddle));
    r.pos = 65534; // ...which this value straddles
    ASSERT_TRUE(read_u32(r, straddle));
    EXPECT_EQ(straddle, (16383u >> 16) | (16384u << 16));

    std::filesystem::resize_file(path, 1000);
    r.pos = 200000;
    uint32_t lost = 0;
    EXPECT_FALSE(read_u32(r, lost));
    EXPECT_TRUE(source.read_failed);
    std::filesystem::remove(path);

    EXPECT_FALSE(open_file_source(source, "/nonexistent/file.3ds", error));
    EXPECT_NE(error.find("cannot open \"/nonexistent/file.3ds\""), std::string::npos);
}
