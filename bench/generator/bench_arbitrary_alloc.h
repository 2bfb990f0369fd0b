// Heap allocations of the whole process so far (operator new replaced in
// bench_arbitrary_alloc.cpp), to show that a code path does not allocate.
#pragma once

long long HeapAllocations();
