// The C++ API: the volume account closes where a method conserves volume, diagnostics match
// the worked examples, and states carry a run on bit for bit. The numbers themselves stay
// covered by the routines' own tests.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <type_traits>
#include <vector>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/routing/muskingum_cunge_prism.h"
#include "hydro/routing/route_api_fixtures.h"
#include "tovalin/core.hpp"

namespace tovalin {
namespace {

using namespace tovalin::testing;

// The worked example of the Muskingum method: 60 minutes, K = 1 h, x = 0.2, one step at 10.
TEST(RouteApi, MuskingumWorkedExampleAccountsItsVolume) {
  Workspace w;
  const std::vector<double> inflows{10, 20, 30, 20, 10};
  const MuskingumResult r = Route(MuskingumReach{1.0, 0.2, 1}, {60, inflows, {}}, w);
  EXPECT_TRUE(r.status.ok());
  EXPECT_NEAR(r.outflows[4], 18.963272, 5e-7);
  // In: 80 x 3600; storage K (x I + (1 - x) O): 3600 x 10 at the start, 3600 x (2 + 0.8 O5).
  EXPECT_DOUBLE_EQ(r.volume.inflow, 288000.0);
  EXPECT_DOUBLE_EQ(r.volume.storageStart, 36000.0);
  EXPECT_NEAR(r.volume.storageEnd, 3600.0 * (2.0 + 0.8 * r.outflows[4]), 1e-9);
  EXPECT_NEAR(r.volume.balanceError, 0.0, kClosed * 288000.0);
  EXPECT_EQ(r.volume.relativeError, r.volume.balanceError / (288000.0 + 36000.0));
  EXPECT_EQ(r.state.lastInflow, 10.0);
}

// An undefined third inflow leaves its two intervals out of the inflow volume, (15 + 15) x
// 3600, and undefines every outflow from the third on, so that the outflow volume is that of
// the first interval alone, through one step and through two.
TEST(RouteApi, MuskingumVolumesLeaveOutUndefinedIntervals) {
  Workspace w;
  const std::vector<double> inflows{10, 20, kUndefined, 20, 10};
  for (const int steps : {1, 2}) {
    const MuskingumResult r = Route(MuskingumReach{1.0, 0.2, steps}, {60, inflows, {}}, w);
    EXPECT_EQ(r.outflows[4], kUndefined) << steps;
    EXPECT_EQ(r.volume.inflow, 108000.0) << steps;
    EXPECT_EQ(r.volume.outflow, (r.outflows[0] + r.outflows[1]) * 0.5 * 3600.0) << steps;
  }
}

TEST(RouteApi, StatusesAreNamedFields) {
  Workspace w;
  const std::vector<double> inflows{10, 20}, lateral{1, 1};
  struct Case {
    MuskingumResult result;
    Status expected;
  };
  const std::vector<double> wrongState{10.0, 10.0};
  const Case cases[] = {
      {Route(MuskingumReach{1.0, 0.7, 1}, {60, inflows, {}}, w), {14, 12, Severity::kError}},
      {Route(MuskingumReach{1.0, 0.2, 1}, {60, inflows, lateral}, w), {14, 15, Severity::kError}},
      {Route(MuskingumReach{1.0, 0.2, 1}, {60, inflows, {}}, StepStateView{wrongState, {}, {}, 10}, w),
       {14, 16, Severity::kError}},
      {Route(MuskingumReach{0.1, 0.2, 1}, {600, inflows, {}}, w), {14, 1, Severity::kWarning}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result.status.routine, c.expected.routine);
    EXPECT_EQ(c.result.status.messageNumber, c.expected.messageNumber);
    EXPECT_EQ(c.result.status.severity, c.expected.severity);
  }
  EXPECT_EQ(RoutineName(14), "RouteMuskingum");
}

TEST(RouteApi, PulsAccountsStorageAndLoss) {
  Workspace w;
  const std::vector<double> inflows = Flood(48, 20.0, 150.0);
  for (const bool loss : {false, true}) {
    const PulsResult r = Route(Puls(loss), {60, inflows, {}}, w);
    EXPECT_TRUE(r.status.ok()) << r.text;
    EXPECT_NEAR(r.volume.relativeError, 0.0, kClosed) << loss;
    EXPECT_EQ(r.volume.loss > 0.0, loss);
    EXPECT_EQ(r.diagnostics.failedInterpolations, 0);
  }
  // A flood beyond the table from ordinate 2: SI = 2500 lies above its top (about 900) at
  // every ordinate from there, each lookup fails and the outflow is clamped to 0.
  const std::vector<double> beyond{0, 0, 5000, 5000, 5000, 5000};
  const PulsResult r = Route(Puls(false, 1), {60, beyond, {}}, w);
  EXPECT_EQ(r.status.messageNumber, 12);
  EXPECT_EQ(r.diagnostics.ordinatesOutsideTable, 4);
  EXPECT_EQ(r.diagnostics.firstOutsideOrdinate, 2);
  EXPECT_EQ(r.diagnostics.firstOutsideStep, 0);
  EXPECT_EQ(r.diagnostics.failedInterpolations, 4);
}

TEST(RouteApi, MuskingumCungeSteadyFlowDiagnostics) {
  Workspace w;
  const std::vector<double> inflows(10, 50.0), profile(3, 50.0);
  const MuskingumCungeReach reach = Trapezoid();
  const MuskingumCungeResult r = Route(reach, {60, inflows, {}}, FlowProfile{profile}, w);
  ASSERT_TRUE(r.status.ok()) << r.text;
  const MuskingumCungeDiagnostics& d = r.diagnostics;
  // Every subreach-step settles on its first pass at the normal flow of 50 m3/s.
  double depth, area, width, celerity;
  std::int32_t status = 0;
  char text = ' ';
  ChannelDepthPrism(0.001, 0.035, 20.0, 2.0, 50.0, 2.0, depth, area, width, celerity, status,
                    TextField(&text, 1));
  EXPECT_EQ(d.computationSteps, static_cast<int>(9 * 3600.0 / d.computationInterval + 1.0));
  EXPECT_EQ(d.subreachSteps, static_cast<std::int64_t>(d.computationSteps - 1) * d.subreachCount);
  EXPECT_EQ(d.passesMax, 1);
  EXPECT_EQ(d.passesMean, 1.0);
  EXPECT_EQ(d.nonConverged + d.failedDepthSearches + d.clampedOutflows, 0);
  EXPECT_NEAR(d.courantMax, d.computationInterval / d.subreachLength * celerity, 1e-4);
  EXPECT_NEAR(d.reynoldsMin, 50.0 / (d.subreachLength * 0.001 * width * celerity), 1e-4);
  // The depth searches stop within their tolerance, so the figures agree to about 1e-5.
  EXPECT_NEAR(d.courantMin / d.courantMax, 1.0, 1e-4);
  EXPECT_NEAR(r.volume.storageStart / (20000.0 * area), 1.0, 1e-4);
  EXPECT_NEAR(r.volume.relativeError, 0.0, 1e-6);
}

// The account never turns an unknown figure into a number: each case states which figures
// are undefined and the inflow volume known by construction (m3).
TEST(RouteApi, VolumeAccountKeepsUndefinedFiguresUndefined) {
  Workspace w;
  const double u = kUndefined;
  const std::vector<double> lastUndefined{10, 20, 20, u};
  const std::vector<double> firstUndefined{u, 50, 50, 50, 50};
  const std::vector<double> dry(6, 0.0), denormal(6, 1e-310);
  const std::vector<double> beyondTable{700, 700, 700};  // the table ends at 600
  struct Case {
    const char* what;
    VolumeAccount volume;
    double inflow;  // kUndefined: undefined
    bool storageStart, storageEnd, balance, relative;  // defined
  };
  const Case cases[] = {
      // Every outflow from the last ordinate on is undefined, so is the storage at the end.
      {"Muskingum, last inflow undefined",
       Route(MuskingumReach{1.0, 0.2, 2}, {60, lastUndefined, {}}, w).volume,
       (15.0 + 20.0) * 3600.0, true, false, false, false},
      // The storage indicator of the first outflow lies beyond the table.
      {"Puls, start beyond the table", Route(Puls(false, 1), {60, beyondTable, {}}, w).volume,
       2.0 * 700.0 * 3600.000187754631, false, true, false, false},
      // No flow to start the nodes from: only the intervals after the first ordinate count.
      {"Cunge continuation, first inflow undefined",
       Route(Trapezoid(), {60, firstUndefined, {}}, w).volume, 3.0 * 50.0 * 3600.0, false, false,
       false, false},
      {"Cunge one call, first inflow undefined",
       Route(Trapezoid(), {60, firstUndefined, {}},
             FlowProfile{std::span<const double>(firstUndefined).first(1)}, w)
           .volume,
       3.0 * 50.0 * 3600.0, false, false, false, false},
      // A dry reach, and one of denormal flows, balance in m3 without a relative error.
      {"Muskingum, dry", Route(MuskingumReach{1.0, 0.2, 1}, {60, dry, {}}, w).volume, 0.0, true,
       true, true, false},
      {"Muskingum, denormal flows",
       Route(MuskingumReach{1.0, 0.2, 1}, {60, denormal, {}}, w).volume, 5.0 * 3600.0 * 1e-310,
       true, true, true, false},
      {"Cunge, dry", Route(Trapezoid(), {60, dry, {}}, w).volume, 0.0, true, true, true, false},
      // A refused call accounts for nothing.
      {"Muskingum, refused", Route(MuskingumReach{0.0, 0.2, 1}, {60, dry, {}}, w).volume, u, false,
       false, false, false},
      {"Cunge, refused", Route(MuskingumCungeReach{0.0, 0.001, TrapezoidSection{20.0, 2.0, 0.035}},
                               {60, dry, {}}, w).volume,
       u, false, false, false, false},
  };
  for (const Case& c : cases) {
    const VolumeAccount& v = c.volume;
    if (IsUndefined(c.inflow))
      EXPECT_TRUE(IsUndefined(v.inflow)) << c.what;
    else
      EXPECT_NEAR(v.inflow, c.inflow, 1e-12 * c.inflow) << c.what;
    EXPECT_EQ(!IsUndefined(v.storageStart), c.storageStart) << c.what;
    EXPECT_EQ(!IsUndefined(v.storageEnd), c.storageEnd) << c.what;
    EXPECT_EQ(!IsUndefined(v.balanceError), c.balance) << c.what;
    EXPECT_EQ(!IsUndefined(v.relativeError), c.relative) << c.what;
    for (const double figure : {v.inflow, v.outflow, v.storageStart, v.storageEnd, v.loss,
                                v.balanceError, v.relativeError})
      EXPECT_TRUE(IsUndefined(figure) || std::isfinite(figure)) << c.what;
  }
}

TEST(RouteApi, StatesCarryARunOnBitForBit) {
  const std::vector<double> inflows = Flood(73, 30.0, 400.0);
  const std::vector<double> lateral(73, 2e-4);
  const std::size_t n = inflows.size();
  // Outflows and volume account of the whole run, and of two chunks, the second continuing
  // the first's state and running account; every method starts cold, Muskingum-Cunge at its
  // discretisation chosen from the reach: equal to the bit.
  struct Run {
    std::vector<double> outflows, account;
  };
  const auto run = [&](const auto& reach, bool withLateral, std::size_t split) {
    Workspace w1, w2;
    RunningAccount running;
    const auto span = [&](const std::vector<double>& v, std::size_t a, std::size_t b) {
      return std::span<const double>(v).subspan(a, b - a);
    };
    const auto hydrograph = [&](std::size_t a, std::size_t b) {
      return Hydrograph{60, span(inflows, a, b),
                        withLateral ? span(lateral, a, b) : std::span<const double>()};
    };
    const auto figures = [](const VolumeAccount& v) {
      return std::vector<double>{v.inflow, v.outflow,      v.storageStart, v.storageEnd,
                                 v.loss,   v.balanceError, v.relativeError};
    };
    const RouteOptions carried{{}, {}, false, &running};
    const auto first = Route(reach, hydrograph(0, split == 0 ? n : split + 1), w1,
                             split == 0 ? RouteOptions{} : carried);
    Run out{{first.outflows.begin(), first.outflows.end()}, figures(first.volume)};
    EXPECT_FALSE(first.status.error()) << first.text;
    if (split == 0) return out;
    const auto second = Route(reach, hydrograph(split, n), first.state, w2, carried);
    EXPECT_FALSE(second.status.error()) << second.text;
    out.outflows.insert(out.outflows.end(), second.outflows.begin() + 1, second.outflows.end());
    out.account = figures(second.volume);
    return out;
  };
  const auto same = [&](const auto& reach, bool withLateral, std::size_t split) {
    const Run whole = run(reach, withLateral, 0), chunks = run(reach, withLateral, split);
    return SameBits(whole.outflows, chunks.outflows) && SameBits(whole.account, chunks.account);
  };
  for (const std::size_t split : {1, 17, 40, 71}) {
    EXPECT_TRUE(same(MuskingumReach{3.0, 0.25, 3}, false, split)) << split;
    for (const bool loss : {false, true}) EXPECT_TRUE(same(Puls(loss, 3), false, split)) << split;
    for (const MuskingumCungeReach& reach : {Trapezoid(), EightPoint(), Circle()})
      EXPECT_TRUE(same(reach, true, split)) << split;
  }
}

// The fixed-width routine keeps its own figures, which the account equals to the bit while
// every flow is defined; an undefined first ordinate is summed into the routine's inflow
// volume as a number, and left out of the account's.
TEST(RouteApi, OneCallAccountIsTheRoutinesOwnWhileEveryFlowIsDefined) {
  const std::vector<double> lateral(49, 1e-4);
  for (const bool firstUndefined : {false, true}) {
    std::vector<double> inflows = Flood(49, 30.0, 400.0);
    if (firstUndefined) inflows[0] = kUndefined;
    const std::vector<double> profile{30.0, 30.0, 30.0};
    std::vector<double> outflows(49), finals(3);
    double dt, dx, peak, peakTime, celerity, storageStart, storageEnd, in, out;
    std::int32_t status = 0;
    char text[80];
    RouteMuskingumCungePrism(60, 20000.0, 0.001, 0.035, "TRAPEZOID", 20.0, 2.0, 3, 0, profile,
                             finals, 49, inflows, lateral, outflows, dt, dx, peak, peakTime,
                             celerity, storageStart, storageEnd, in, out, status,
                             TextField(text, 80));
    Workspace w;
    const VolumeAccount v =
        Route(Trapezoid(), {60, inflows, lateral}, FlowProfile{profile}, w).volume;
    const std::vector<double> routine{in, out, storageStart, storageEnd};
    const std::vector<double> account{v.inflow, v.outflow, v.storageStart, v.storageEnd};
    EXPECT_EQ(SameBits(routine, account), !firstUndefined);
    if (firstUndefined) {
      // The steps of the first interval are undefined (dt < 60 min), and with them every
      // outflow from there on: the account keeps the inflow of the later intervals, no
      // outflow and no storage at the end.
      EXPECT_LT(in, -1e37);
      EXPECT_GT(v.inflow, 0.0);
      EXPECT_EQ(v.outflow, 0.0);
      EXPECT_TRUE(IsUndefined(v.storageEnd) && IsUndefined(v.balanceError));
    }
  }
}

}  // namespace
}  // namespace tovalin
