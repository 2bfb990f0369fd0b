// Replaces the global operator new/delete of the benchmark program with
// counting versions. Kept in its own file so that the compiler never sees
// malloc/free paired with a new-expression.
#include <atomic>
#include <cstdlib>
#include <new>

#include "bench_arbitrary_alloc.h"

namespace {
std::atomic<long long> allocations{0};
}

long long HeapAllocations() { return allocations.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
