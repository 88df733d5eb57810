// Depth and velocity as the routing calls compute them when asked: against hand-computed
// values on one trapezoid and one Puls table, and with every other result unchanged to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "hydro/routing/route_api_fixtures.h"
#include "tovalin/core.hpp"

namespace tovalin {
namespace {

using namespace tovalin::testing;

// The depth searches stop within 0.01 m, and Newton's last step leaves far less: m.
constexpr double kDepthTolerance = 1e-3;

// The trapezoid of the fixtures (b = 20 m, z = 2, n = 0.035, S = 0.001) at a depth of 2 m:
// A = (20 + 2 x 2) 2 = 48 m2, P = 20 + 2 x 2 sqrt(5) m, Q = S^(1/2)/n A (A/P)^(2/3).
TEST(DepthVelocity, SteadyTrapezoidAtItsNormalDepth) {
  const double area = 48.0, perimeter = 20.0 + 4.0 * std::sqrt(5.0);
  const double flow = std::sqrt(0.001) / 0.035 * area * std::pow(area / perimeter, 2.0 / 3.0);
  const std::vector<double> steady(24, flow);
  const MuskingumCungeStart start =
      StartAtFlow(Trapezoid(), ChooseDiscretisation(Trapezoid(), 60, flow), flow, flow);
  Workspace w;
  RouteOptions asked;
  asked.depthAndVelocity = true;
  const MuskingumCungeResult r = Route(Trapezoid(), {60, steady, {}}, start.state.view(), w, asked);
  ASSERT_TRUE(r.status.ok()) << r.text;
  ASSERT_EQ(r.depth.size(), steady.size());
  for (std::size_t t = 0; t < steady.size(); ++t) {
    EXPECT_NEAR(r.depth[t], 2.0, kDepthTolerance) << t;
    EXPECT_NEAR(r.velocity[t], flow / area, flow / area * kDepthTolerance) << t;
  }
}

// Through a flood, every ordinate's depth is the normal depth of its outflow and its velocity
// the outflow over the area at that depth, A = (b + z y) y; asking changes nothing else.
TEST(DepthVelocity, FloodThroughTrapezoidChangesNoOtherResult) {
  const std::vector<double> flood = Flood(48, 30.0, 400.0);
  const std::vector<double> lateral(48, 1e-4);
  RouteOptions asked;
  asked.depthAndVelocity = true;
  const auto check = [&](const MuskingumCungeResult& plain, const MuskingumCungeResult& gauged) {
    EXPECT_TRUE(plain.depth.empty() && plain.velocity.empty());
    EXPECT_TRUE(SameBits(plain.outflows, gauged.outflows));
    EXPECT_TRUE(SameBits(plain.state.nodeDepths, gauged.state.nodeDepths));
    EXPECT_EQ(plain.text, gauged.text);
    EXPECT_EQ(plain.volume.balanceError, gauged.volume.balanceError);
    EXPECT_EQ(plain.diagnostics.depthComputations, gauged.diagnostics.depthComputations);
    for (std::size_t t = 0; t < gauged.outflows.size(); ++t) {
      const double y = gauged.depth[t], q = gauged.outflows[t];
      const double a = (20.0 + 2.0 * y) * y;
      const double p = 20.0 + 2.0 * y * std::sqrt(5.0);
      const double manning = std::sqrt(0.001) / 0.035 * a * std::pow(a / p, 2.0 / 3.0);
      EXPECT_NEAR(manning / q, 1.0, 1e-2) << t;  // 0.01 m of depth: under 1 % of flow
      EXPECT_NEAR(gauged.velocity[t] * a, q, 1e-9 * q) << t;
    }
  };
  Workspace w1, w2;
  check(Route(Trapezoid(), {60, flood, lateral}, w1),
        Route(Trapezoid(), {60, flood, lateral}, w2, asked));
  // A one-call run brings them onto the ordinates as its outflows.
  const std::vector<double> profile(3, 30.0);
  const auto plain = Route(Trapezoid(), {60, flood, lateral}, FlowProfile{profile}, w1);
  const auto gauged = Route(Trapezoid(), {60, flood, lateral}, FlowProfile{profile}, w2, asked);
  EXPECT_TRUE(SameBits(plain.outflows, gauged.outflows));
  EXPECT_EQ(plain.volume.storageEnd, gauged.volume.storageEnd);
  for (std::size_t t = 0; t < flood.size(); t += 6)
    EXPECT_NEAR(gauged.velocity[t] * (20.0 + 2.0 * gauged.depth[t]) * gauged.depth[t],
                gauged.outflows[t], 2e-2 * gauged.outflows[t])
        << t;
}

// The fixtures' linear table with its elevations raised to 100 + p: outflow 10 p and level p
// above the first elevation at every pair, so along the table depth = outflow / 10 for the
// last step; Puls has no velocity, and Muskingum neither.
TEST(DepthVelocity, PulsLevelAboveTheTablesFirstElevation) {
  std::vector<double> raised;
  for (const double e : kTable.elevation) raised.push_back(100.0 + e);
  const std::vector<double> flood = Flood(48, 20.0, 150.0);
  RouteOptions asked;
  asked.depthAndVelocity = true;
  for (const bool loss : {false, true}) {
    PulsReach reach = Puls(loss, 2);
    reach.elevation = raised;
    reach.lossElevation = 1000.0;  // no loss acts: the gross outflow is the net
    Workspace w1, w2;
    const PulsResult plain = Route(reach, {60, flood, {}}, w1);
    const PulsResult gauged = Route(reach, {60, flood, {}}, w2, asked);
    ASSERT_TRUE(gauged.status.ok()) << gauged.text;
    EXPECT_TRUE(SameBits(plain.outflows, gauged.outflows));
    EXPECT_TRUE(SameBits(plain.state.storageIndicators, gauged.state.storageIndicators));
    EXPECT_EQ(plain.diagnostics.failedInterpolations, gauged.diagnostics.failedInterpolations);
    for (std::size_t t = 0; t < flood.size(); ++t) {
      EXPECT_NEAR(gauged.depth[t], gauged.outflows[t] / 10.0, 1e-9) << t;
      EXPECT_TRUE(IsUndefined(gauged.velocity[t]));
    }
  }
  Workspace w1, w2;
  const PulsResult bare =
      Route(PulsReach{kTable.storage, kTable.outflow, 1, false, {}, 0.0, 0.0}, {60, flood, {}}, w1,
            asked);
  const MuskingumResult muskingum =
      Route(MuskingumReach{2.0, 0.2, 2}, {60, flood, {}}, w2, asked);
  for (std::size_t t = 0; t < flood.size(); ++t) {
    EXPECT_TRUE(IsUndefined(bare.depth[t]));  // no elevation column
    EXPECT_TRUE(IsUndefined(muskingum.depth[t]) && IsUndefined(muskingum.velocity[t]));
  }
}

}  // namespace
}  // namespace tovalin
