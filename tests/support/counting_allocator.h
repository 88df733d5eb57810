// Counts every allocation of the program that includes it: replaces the global operator new
// and delete. Include it in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

// g++ takes the replaced pair, inlined into the standard allocator, for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace tovalin::testing {
// Allocations made so far by the whole program.
inline std::atomic<long> allocations{0};
}  // namespace tovalin::testing

void* operator new(std::size_t size) {
  tovalin::testing::allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
