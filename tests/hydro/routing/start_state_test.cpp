// What the C++ API settles before a run: the Muskingum-Cunge discretisation from the reach and
// a reference flow, never from a hydrograph, and start states built from initial flows or a
// level, which the routing calls take as they take a state of their own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "hydro/routing/route_api_fixtures.h"
#include "tovalin/core.hpp"

namespace tovalin {
namespace {

using namespace tovalin::testing;

constexpr double kSteadyTolerance = 1e-12;  // relative drift of a steady run, per ordinate

// The discretisation does not depend on the hydrograph: a cold continuation of a flood and one
// of a dry spell fix the same interval and subreaches, those chosen without a reference flow.
TEST(StartState, ColdContinuationTakesTheReachsOwnDiscretisation) {
  const std::vector<double> flood = Flood(48, 30.0, 400.0), dry(48, 0.0);
  for (const MuskingumCungeReach& reach : {Trapezoid(), EightPoint(), Circle()}) {
    const MuskingumCungeDiscretisation d = ChooseDiscretisation(reach, 60);
    ASSERT_TRUE(d.status.ok());
    for (const std::vector<double>* flows : {&flood, &dry}) {
      Workspace w;
      const MuskingumCungeResult r = Route(reach, {60, *flows, {}}, w);
      EXPECT_EQ(r.state.computationInterval, d.computationInterval);
      EXPECT_EQ(r.state.subreachCount, d.subreachCount);
    }
    // dt is the ordinate interval divided by a whole number.
    EXPECT_EQ(3600.0 / std::round(3600.0 / d.computationInterval), d.computationInterval);
  }
}

// The reach's own reference flow, by construction: the eight-point fixture full to its banks
// (5 m) is a rectangle of 10 x 5 m in the main channel, A = 50, P = 20, so Q = S^(1/2) A
// (A/P)^(2/3) / n with n = 0.04 and the library's exponent 2/3 in single precision; a trapezoid
// at a tenth of its bottom width. A flow not above 0.01 m3/s gives way to the reach's own.
TEST(StartState, ReferenceFlowOfTheReachAlone) {
  const double bankfull = std::sqrt(0.001) * 50.0 * std::pow(2.5, 0.6666666865348816) / 0.04;
  EXPECT_NEAR(ChooseDiscretisation(EightPoint(), 60).referenceFlow / bankfull, 1.0, 1e-12);
  // Trapezoid 20 m wide, z = 2, at 2 m: A = 48, P = 20 + 4 sqrt(5).
  const double area = 48.0, perimeter = 20.0 + 4.0 * std::sqrt(5.0);
  const double trapezoid = std::sqrt(0.001) / 0.035 * area * std::pow(area / perimeter, 2.0 / 3.0);
  const MuskingumCungeDiscretisation own = ChooseDiscretisation(Trapezoid(), 60);
  EXPECT_NEAR(own.referenceFlow / trapezoid, 1.0, 1e-6);
  for (const double none : {kUndefined, 0.0, 0.005, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()}) {
    const MuskingumCungeDiscretisation d = ChooseDiscretisation(Trapezoid(), 60, none);
    EXPECT_EQ(d.computationInterval, own.computationInterval) << none;
    EXPECT_EQ(d.subreachCount, own.subreachCount) << none;
  }
  // A larger reference flow: a faster wave, so no larger an interval and no more subreaches
  // of a shorter length than its wave travels in one interval.
  const MuskingumCungeDiscretisation flood = ChooseDiscretisation(Trapezoid(), 60, 400.0);
  EXPECT_EQ(flood.referenceFlow, 400.0);
  EXPECT_LE(flood.computationInterval, own.computationInterval);
  // Refused: a reach without length, an interval of 0 minutes.
  const MuskingumCungeReach noLength{0.0, 0.001, TrapezoidSection{20.0, 2.0, 0.035}};
  for (const MuskingumCungeDiscretisation& d :
       {ChooseDiscretisation(noLength, 60), ChooseDiscretisation(Trapezoid(), 0)}) {
    EXPECT_EQ(d.status.messageNumber, 12);
    EXPECT_EQ(d.status.routine, 16);
    EXPECT_EQ(d.subreachCount, 0);
  }
}

// Each method started at its steady flow with that flow coming in stays there to rounding.
TEST(StartState, SteadyReachStartedAtItsFlowStaysThere) {
  constexpr double kFlow = 100.0;  // a pair of the Puls table: level 10
  const std::vector<double> steady(48, kFlow);
  const Hydrograph hydrograph{60, steady, {}};
  std::vector<std::vector<double>> runs;
  Workspace w;
  const StepStart muskingum = StartAtFlow(MuskingumReach{3.0, 0.25, 3}, kFlow, kFlow);
  ASSERT_TRUE(muskingum.status.ok());
  const auto m = Route(MuskingumReach{3.0, 0.25, 3}, hydrograph, muskingum.state.view(), w);
  runs.emplace_back(m.outflows.begin(), m.outflows.end());
  for (const StepStart& puls : {StartAtFlow(Puls(false, 3), 60, kFlow, kFlow),
                                StartAtLevel(Puls(false, 3), 60, 10.0, kFlow)}) {
    ASSERT_TRUE(puls.status.ok()) << puls.text;
    const auto p = Route(Puls(false, 3), hydrograph, puls.state.view(), w);
    ASSERT_TRUE(p.status.ok()) << p.text;
    runs.emplace_back(p.outflows.begin(), p.outflows.end());
  }
  for (const MuskingumCungeReach& reach : {Trapezoid(), EightPoint(), Circle()}) {
    const MuskingumCungeStart start =
        StartAtFlow(reach, ChooseDiscretisation(reach, 60, kFlow), kFlow, kFlow);
    ASSERT_TRUE(start.status.ok()) << start.text;
    const auto c = Route(reach, hydrograph, start.state.view(), w);
    ASSERT_FALSE(c.status.error()) << c.text;
    runs.emplace_back(c.outflows.begin(), c.outflows.end());
  }
  for (std::size_t i = 0; i < runs.size(); ++i)
    for (std::size_t t = 0; t < runs[i].size(); ++t)
      EXPECT_NEAR(runs[i][t], kFlow, kFlow * kSteadyTolerance) << "run " << i << " at " << t;
}

// A Puls state built from the first inflow is what a cold start takes, to the bit; a
// Muskingum-Cunge state at the first inflow starts its nodes at the normal depth instead of
// the search's first guess, a difference within the depth searches' tolerance.
TEST(StartState, StateAtFirstInflowIsTheColdStart) {
  const std::vector<double> flood = Flood(48, 30.0, 400.0);
  const Hydrograph hydrograph{60, flood, {}};
  for (const bool loss : {false, true}) {
    Workspace w1, w2;
    const StepStart start = StartAtFlow(Puls(loss, 2), 60, flood[0], flood[0]);
    ASSERT_TRUE(start.status.ok()) << start.text;
    const auto warm = Route(Puls(loss, 2), hydrograph, start.state.view(), w1);
    const auto cold = Route(Puls(loss, 2), hydrograph, w2);
    EXPECT_TRUE(SameBits(warm.outflows, cold.outflows)) << loss;
  }
  const MuskingumCungeDiscretisation d = ChooseDiscretisation(Trapezoid(), 60);
  const MuskingumCungeStart start = StartAtFlow(Trapezoid(), d, flood[0], flood[0]);
  Workspace w1, w2;
  const auto warm = Route(Trapezoid(), hydrograph, start.state.view(), w1);
  const auto cold = Route(Trapezoid(), hydrograph, d, w2);
  for (std::size_t t = 0; t < flood.size(); ++t)
    EXPECT_NEAR(warm.outflows[t], cold.outflows[t], 1e-3 * cold.outflows[t]) << t;
}

// Start states that cannot be built say why, and leave no state to route from.
TEST(StartState, RefusalsNameTheirReason) {
  const PulsReach noElevations{kTable.storage, kTable.outflow, 2, false, {}, 0.0, 0.0};
  const MuskingumCungeDiscretisation none{};
  struct Case {
    Status status;
    bool empty;
    Status expected;
  };
  const StepStart steps0 = StartAtFlow(MuskingumReach{1.0, 0.2, 0}, 10.0, 10.0);
  const StepStart level = StartAtLevel(noElevations, 60, 3.0, 30.0);
  const StepStart above = StartAtLevel(Puls(true, 2), 60, 70.0, 30.0);  // the table ends at 60
  const StepStart beyond = StartAtFlow(Puls(false, 2), 60, 700.0, 700.0);
  const MuskingumCungeStart cunge = StartAtFlow(Trapezoid(), none, 10.0, 10.0);
  const Case cases[] = {
      {steps0.status, steps0.state.outflows.empty(), {14, 12, Severity::kError}},
      {level.status, level.state.outflows.empty(), {17, 13, Severity::kError}},
      {above.status, above.state.outflows.empty(), {18, 13, Severity::kError}},
      {beyond.status, beyond.state.outflows.empty(), {17, 12, Severity::kError}},
      {cunge.status, cunge.state.nodeFlows.empty(), {16, 16, Severity::kError}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status.routine, c.expected.routine);
    EXPECT_EQ(c.status.messageNumber, c.expected.messageNumber);
    EXPECT_TRUE(c.empty);
  }
  EXPECT_EQ(level.text,
            "Error in Outflow-Elevation interpolation.\nNot enough x-y pairs for interpolation");
  // An undefined level or flow is no error: every value of its state is undefined.
  for (const StepStart& undefined : {StartAtLevel(Puls(true, 2), 60, kUndefined, 30.0),
                                     StartAtFlow(Puls(true, 2), 60, kUndefined, 30.0)}) {
    EXPECT_TRUE(undefined.status.ok()) << undefined.text;
    const StepState& s = undefined.state;
    ASSERT_EQ(s.outflows.size(), 2u);
    for (const double v : {s.outflows[1], s.grossOutflows[1], s.storageIndicators[1]})
      EXPECT_TRUE(IsUndefined(v));
  }
}

}  // namespace
}  // namespace tovalin
