// Allocation failure anywhere in a load must come back as a failed load with an "out of memory"
// reason, never as an exception or a crash. The global operator new of this test program fails
// the N-th allocation once armed, for every N until the load no longer allocates that often.
#include "loader/chunk_reader.h"
#include "test_loader_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
long g_allocations_until_failure = -1; // -1: never fail
} // namespace

// Replacing the global pair is the standard way to intercept allocation; GCC's mismatch check
// assumes the library's own pair and misfires here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size) {
    if (g_allocations_until_failure == 0) {
        g_allocations_until_failure = -1; // only once: the error path may allocate again
        throw std::bad_alloc();
    }
    if (g_allocations_until_failure > 0) --g_allocations_until_failure;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

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
        g_allocations_until_failure = n;
        auto scene = load_scene(path, error);
        bool armed_still = g_allocations_until_failure >= 0;
        g_allocations_until_failure = -1;
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
