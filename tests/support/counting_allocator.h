// Counts every allocation of the program that includes it: replaces the global operator new
// and delete. A single request above kLargestGrantedRequest is refused with std::bad_alloc
// and counted apart, so that a program that asks for more than it should learns it without
// taking the machine's memory. Include it in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// g++ takes the replaced pair, inlined into the standard allocator, for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace tovalin::testing {
// The largest single request granted: 1 GiB.
inline constexpr std::size_t kLargestGrantedRequest = std::size_t{1} << 30;
// Allocations made so far by the whole program.
inline std::atomic<long> allocations{0};
// Requests above kLargestGrantedRequest refused so far.
inline std::atomic<long> refusedRequests{0};
}  // namespace tovalin::testing

void* operator new(std::size_t size) {
  if (size > tovalin::testing::kLargestGrantedRequest) {
    tovalin::testing::refusedRequests.fetch_add(1, std::memory_order_relaxed);
    throw std::bad_alloc();
  }
  tovalin::testing::allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
