// Allocation failure anywhere in a load must come back as a failed load with an "out of memory"
// reason, never as an exception or a crash. The global operator new of this test program fails
// the N-th allocation once armed (failing_allocator.h), for every N until the load no longer
// allocates that often.
#include "failing_allocator.h"
#include "loader/chunk_reader.h"
#include "test_loader_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace loader_test;

TEST(LoaderOutOfMemory, EveryFailedAllocationIsAFailedLoadWithAReason) {
    ChunkWriter w;
    begin_scene(w);
    mesh_object(w, "tri", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (int i = 0; i < 8; ++i)
        write_float(w, 1.0f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB002);
    node_header(w, "tri", 0);
    position_track(w, {{0, {1, 2, 3}}, {5, {4, 5, 6}}});
    end_all_chunks(w);
    std::string path = temp_scene_path();
    std::string error;
    ASSERT_TRUE(write_file(path, chunk_bytes(w), error)) << error;

    int failures_seen = 0;
    for (long n = 0; n < 10000; ++n) {
        fail_allocation_after(n);
        auto scene = load_scene(path, error);
        const bool armed_still = allocation_failure_pending();
        fail_allocation_after(-1);
        if (armed_still) { // the load made fewer than n allocations: every point was tried
            ASSERT_TRUE(scene) << error;
            break;
        }
        EXPECT_EQ(scene, nullptr) << "allocation " << n << " failed but the load went on";
        ++failures_seen;
        EXPECT_NE(error.find("out of memory"), std::string::npos)
            << "allocation " << n << ": " << error;
    }
    EXPECT_GT(failures_seen, 10);
    std::remove(path.c_str());
}
