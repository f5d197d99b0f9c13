// Test support: exhausted memory at a chosen allocation. A test program that
// compiles allocation_faults.cpp has its global operator new replaced; it
// behaves as usual until a thread arms it, and then the n-th allocation of
// that thread from that moment throws std::bad_alloc, once. Other threads
// are left alone.
#pragma once

namespace allocation_faults {

// Counts this thread's allocations from now; the `n`-th (1: the next) fails.
// 0 only counts.
void failAllocation(long n);
// Stops counting.
void stop();
// The allocations counted since failAllocation, and whether one failed.
long counted();
bool failed();

}  // namespace allocation_faults
