// A warm workspace allocates nothing: every allocation of this program is counted, so it is a
// program of its own (a memory checker that replaces the allocator cannot run it).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#include "hydro/routing/route_api_fixtures.h"
#include "tovalin/core.hpp"

// Every allocation of the test program is counted. (g++ takes the replaced pair, inlined into
// the standard allocator, for a mismatch.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<long> allocations{0};
}  // namespace
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tovalin {
namespace {

using namespace tovalin::testing;

TEST(RouteApi, WarmWorkspaceAllocatesNothing) {
  const std::vector<double> inflows = Flood(96, 30.0, 400.0), profile(4, 30.0);
  const std::vector<std::function<void(Workspace&)>> calls{
      [&](Workspace& w) { Route(MuskingumReach{2.0, 0.2, 4}, {60, inflows, {}}, w); },
      [&](Workspace& w) { Route(Puls(false), {60, inflows, {}}, w); },
      [&](Workspace& w) { Route(Puls(true), {60, inflows, {}}, w); },
      [&](Workspace& w) { Route(Trapezoid(), {60, inflows, {}}, FlowProfile{profile}, w); },
      [&](Workspace& w) { Route(EightPoint(), {60, inflows, {}}, w); },
      [&](Workspace& w) {
        const auto first = Route(Circle(), {60, inflows, {}}, w);
        Route(Circle(), {60, inflows, {}}, first.state, w);
      },
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    Workspace w;
    calls[i](w);
    const long before = allocations.load();
    calls[i](w);
    EXPECT_EQ(allocations.load() - before, 0) << "call " << i;
  }
}

}  // namespace
}  // namespace tovalin
