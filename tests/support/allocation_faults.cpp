#include "allocation_faults.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool t_counting = false;
thread_local long t_counted = 0;
thread_local long t_failAt = 0;
thread_local bool t_failed = false;
}  // namespace

namespace allocation_faults {

void failAllocation(long n) {
    t_counted = 0;
    t_failAt = n;
    t_failed = false;
    t_counting = true;
}

void stop() { t_counting = false; }
long counted() { return t_counted; }
bool failed() { return t_failed; }

}  // namespace allocation_faults

void* operator new(std::size_t size) {
    if (t_counting && ++t_counted == t_failAt) {
        t_failed = true;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
