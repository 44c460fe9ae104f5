#include "render/thread_sync.h"

#include <chrono>
#include <thread>

namespace {

void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Spins until value moves from old or the spin time is up; true when it moved.
bool spin_for_change(const std::atomic<int32_t>& value, int32_t old) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(kSpinMicroseconds);
    do {
        for (int32_t i = 0; i < 64; ++i) {
            if (value.load(std::memory_order_acquire) != old) return true;
            cpu_relax();
        }
        // A thread this one waits for may be queued behind it on the same processor.
        std::this_thread::yield();
    } while (Clock::now() < until);
    return false;
}

} // namespace

void wait_for_change(const std::atomic<int32_t>& value, int32_t old) {
    if (spin_for_change(value, old)) return;
    while (value.load(std::memory_order_acquire) == old)
        value.wait(old, std::memory_order_acquire);
}

int32_t change_and_wake(std::atomic<int32_t>& value, int32_t delta) {
    const int32_t now = value.fetch_add(delta, std::memory_order_acq_rel) + delta;
    value.notify_all();
    return now;
}

void arrive_and_wait(PhaseBarrier& barrier) {
    const int32_t phase = barrier.phase.load(std::memory_order_acquire);
    if (barrier.arrived.fetch_add(1, std::memory_order_acq_rel) + 1 < barrier.count) {
        wait_for_change(barrier.phase, phase);
        return;
    }
    // The last to arrive resets the count before anyone can pass into the next phase's barrier.
    barrier.arrived.store(0, std::memory_order_relaxed);
    change_and_wake(barrier.phase, 1);
}
