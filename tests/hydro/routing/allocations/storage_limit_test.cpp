// Work storage that no machine should be asked for is refused with message 11 before any of
// it is obtained: the program's allocator (support/counting_allocator.h) refuses and counts
// every single request above 1 GiB, so a call that asks for one shows it, and none can take
// the machine's memory whatever the build's own allocator allows.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "hydro/routing/route_api_fixtures.h"
#include "hydro/routing/work_storage.h"
#include "support/counting_allocator.h"
#include "tovalin/core.hpp"

namespace tovalin {
namespace {

using namespace tovalin::testing;

constexpr std::int32_t kMostSteps = std::numeric_limits<std::int32_t>::max();
constexpr std::string_view kNoStorage = "Cannot allocate memory for dynamic arrays";
constexpr std::string_view kPulsNoStorage = "Cannot allocate memory for dynamic arrays.";
// What a refused call may hold in its workspace (its message field and a few small arrays).
constexpr std::size_t kSmallWorkspace = std::size_t{1} << 20;

// What a call reports, and what its workspace holds after it.
struct Outcome {
  Status status;
  std::string text;
  std::vector<double> outflows;
  std::size_t workspaceBytes = 0;
};

template <class Result>
Outcome Reported(const Result& r, const Workspace& w) {
  return {r.status, std::string(r.text), {r.outflows.begin(), r.outflows.end()},
          w.capacityBytes()};
}
template <class Start>
Outcome Started(const Start& s) {
  return {s.status, s.text, {}, 0};
}

MuskingumCungeReach Millimetre(MuskingumCungeReach reach) {
  reach.length = 0.001;
  return reach;
}

// A reach of 2^31 - 1 routing steps asks for 16 GiB for each array of one value per step; a
// reach of 1 mm has a computation interval below a millisecond, some 10^8 computation steps
// for a day of hourly ordinates. Each call reports its routine's message 11.
TEST(WorkStorage, CallsBeyondTheLimitAreRefusedBeforeAnythingIsObtained) {
  const std::vector<double> day = Flood(25, 300.0, 600.0), profile(3, 300.0);
  RouteOptions gauged;
  gauged.depthAndVelocity = true;
  struct Case {
    const char* call;
    std::function<Outcome(Workspace&)> run;
    std::int32_t routine;
    std::string_view text;
  };
  const std::vector<Case> cases{
      {"Muskingum, cold start", [&](Workspace& w) {
         return Reported(Route(MuskingumReach{2.0, 0.2, kMostSteps}, {60, day, {}}, w), w);
       }, 14, kNoStorage},
      {"Muskingum start state", [&](Workspace&) {
         return Started(StartAtFlow(MuskingumReach{2.0, 0.2, kMostSteps}, 300.0, 300.0));
       }, 14, kNoStorage},
      {"Puls, cold start", [&](Workspace& w) {
         return Reported(Route(Puls(false, kMostSteps), {60, day, {}}, w, gauged), w);
       }, 17, kPulsNoStorage},
      {"Puls with loss, cold start", [&](Workspace& w) {
         return Reported(Route(Puls(true, kMostSteps), {60, day, {}}, w), w);
       }, 18, kPulsNoStorage},
      {"Puls with loss, start state", [&](Workspace&) {
         return Started(StartAtFlow(Puls(true, kMostSteps), 60, 300.0, 300.0));
       }, 18, kPulsNoStorage},
      {"Muskingum-Cunge trapezoid of 1 mm, one call", [&](Workspace& w) {
         return Reported(Route(Millimetre(Trapezoid()), {60, day, {}}, FlowProfile{profile}, w,
                               gauged), w);
       }, 16, kNoStorage},
      {"Muskingum-Cunge eight-point section of 1 mm, continuation", [&](Workspace& w) {
         return Reported(Route(Millimetre(EightPoint()), {60, day, {}}, w, gauged), w);
       }, 15, kNoStorage},
  };
  for (const Case& c : cases) {
    const long refusedBefore = refusedRequests.load();
    Workspace w;
    const Outcome o = c.run(w);
    EXPECT_EQ(o.status.routine, c.routine) << c.call;
    EXPECT_EQ(o.status.messageNumber, 11) << c.call;
    EXPECT_EQ(o.status.severity, Severity::kError) << c.call;
    EXPECT_EQ(o.text, c.text) << c.call;
    for (const double q : o.outflows) EXPECT_TRUE(IsUndefined(q)) << c.call;
    EXPECT_EQ(refusedRequests.load(), refusedBefore) << c.call << ": asked the allocator";
    EXPECT_LT(o.workspaceBytes, kSmallWorkspace) << c.call;
  }
}

// One call's storage is the sum of its arrays: a budget grants arrays up to the limit
// together, refuses the one that would pass it, and takes a count whose size in bytes does not
// fit a size_t for the refusal it is, never for a small request.
TEST(WorkStorage, ABudgetCountsTheWholeCall) {
  const std::size_t limitCount = CallStorageLimit() / sizeof(double);
  StorageBudget budget;
  EXPECT_TRUE(budget.take(limitCount / 2));
  EXPECT_TRUE(budget.take(limitCount - limitCount / 2));
  EXPECT_FALSE(budget.take(1));
  EXPECT_EQ(budget.used(), limitCount * sizeof(double));

  StorageBudget wrapping;
  EXPECT_FALSE(wrapping.take(std::numeric_limits<std::size_t>::max() / sizeof(double) + 2));
  EXPECT_EQ(wrapping.used(), 0u);
  EXPECT_TRUE(wrapping.take(1));
}

}  // namespace
}  // namespace tovalin
