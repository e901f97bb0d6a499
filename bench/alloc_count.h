#pragma once

#include <cstddef>

// Heap allocations made by the whole process so far. Linking alloc_count.cpp
// into a program replaces malloc and its relatives with counting wrappers around
// glibc's own allocator (operator new allocates through malloc, so it counts
// too). Benchmarks only: the program itself never links it.
std::size_t allocationCount();
