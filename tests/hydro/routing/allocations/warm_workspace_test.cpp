// A warm workspace allocates nothing: every allocation of this program is counted, so it is a
// program of its own (a memory checker that replaces the allocator cannot run it).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "hydro/routing/route_api_fixtures.h"
#include "support/counting_allocator.h"
#include "tovalin/core.hpp"

namespace tovalin {
namespace {

using namespace tovalin::testing;

TEST(RouteApi, WarmWorkspaceAllocatesNothing) {
  const std::vector<double> inflows = Flood(96, 30.0, 400.0), profile(4, 30.0);
  RouteOptions gauged;
  gauged.depthAndVelocity = true;
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
      // Depth and velocity asked for: a one-call run and a Puls run with its elevations.
      [&](Workspace& w) {
        Route(Trapezoid(), {60, inflows, {}}, FlowProfile{profile}, w, gauged);
        Route(Puls(false), {60, inflows, {}}, w, gauged);
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
