// allocation_counter.h - counts the heap allocations of a test program, so a test can show that a
// steady frame makes none.
//
// Linking allocation_counter.cpp into a test executable replaces the global operator new and
// delete for the whole program (one such replacement per executable). The count only grows;
// tests compare it before and after the work they watch.
#pragma once

long allocations_so_far();
