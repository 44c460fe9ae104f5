#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {
long g_allocations_until_failure = -1; // -1: never fail
} // namespace

void fail_allocation_after(long allocations) {
    g_allocations_until_failure = allocations < 0 ? -1 : allocations;
}

bool allocation_failure_pending() {
    return g_allocations_until_failure >= 0;
}

// Replacing the global pair is the standard way to intercept allocation; GCC's mismatch check
// assumes the library's own pair and misfires here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size) {
    if (g_allocations_until_failure == 0) {
        g_allocations_until_failure = -1;
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
