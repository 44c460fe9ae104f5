// failing_allocator.h - makes one heap allocation of a test program fail, so a test can show what
// the code under test does when memory runs out there.
//
// Linking failing_allocator.cpp into a test executable replaces the global operator new and
// delete for the whole program (one such replacement per executable). Nothing fails until armed.
#pragma once

// Lets `allocations` more allocations succeed and makes the next one throw std::bad_alloc, once
// (whatever handles the failure may allocate again). A negative count disarms.
void fail_allocation_after(long allocations);

// True while an armed failure has not happened yet.
bool allocation_failure_pending();
