// Replaces the global operator new of the render test program with one that
// counts calls, so a test can show that a path allocates nothing. Kept in a
// file of its own so that no call site sees (and inlines) the replacement.
#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> gAllocations{0};
} // namespace

std::size_t allocationCount() {
    return gAllocations.load();
}

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
