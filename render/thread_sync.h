// thread_sync.h - the waits of the threaded frame: a barrier between the phases of a frame and a
// wait for a shared counter to move, both spinning briefly before they sleep (internal to
// render/).
//
// A frame of a small scene lasts a fraction of a millisecond, and waking a thread that sleeps in
// the kernel costs tens of microseconds of it. So a waiting thread first spins for about
// kSpinMicroseconds, yielding now and then to threads that share its processor, and only then
// sleeps: threads stay awake between the phases of a frame and between frames drawn back to
// back, while one that waits longer (a tool writing its files between frames) costs nothing.
//
// Ownership: plain records shared by the threads that wait on them; whoever owns them keeps them
// alive while anyone waits. Failure: none; nothing here allocates or throws.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int32_t kSpinMicroseconds = 100;

// Returns once value no longer holds old; what the thread that changed it wrote before is
// visible.
void wait_for_change(const std::atomic<int32_t>& value, int32_t old);

// Adds delta to value and wakes every thread waiting for it to change. Returns the new value.
int32_t change_and_wake(std::atomic<int32_t>& value, int32_t delta);

// Where count threads meet between two phases. Reusable at once for the next phase.
struct PhaseBarrier {
    int32_t count = 1;
    std::atomic<int32_t> arrived{0};
    std::atomic<int32_t> phase{0};
};

// Returns when all count threads have arrived; everything each wrote before arriving is then
// visible to all.
void arrive_and_wait(PhaseBarrier& barrier);
