// Muskingum routing: worked examples, parameter checks, stability, undefined values and the
// behaviour at the edges of the counts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "hydro/messages/message_text.h"
#include "hydro/routing/muskingum.h"

namespace tovalin {
namespace {

constexpr double kTolerance = 5e-7;

struct Reach {
  int interval = 60;
  double k = 1.0;
  double x = 0.2;
  std::vector<double> initial{10.0};
  std::vector<double> inflows{10, 20, 30, 20, 10};
  std::vector<double> finals = std::vector<double>(1, -7.0);
  std::vector<double> outflows = std::vector<double>(5, -7.0);
  std::int32_t status = -1;
  std::string message = std::string(80, ' ');

  void route(int steps, int ordinates) {
    RouteMuskingum(interval, k, x, steps, initial, finals, ordinates, inflows, outflows, status,
                   TextField(message.data(), static_cast<int>(message.size())));
  }
  void route() { route(static_cast<int>(initial.size()), static_cast<int>(inflows.size())); }
};

void ExpectNear(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(actual[i], expected[i], kTolerance) << i;
}

TEST(MuskingumRouting, OneStepWorkedExample) {
  Reach r;
  r.route();
  ExpectNear(r.outflows, {10, 12.307692, 20.532544, 25.507510, 18.963272});
  ExpectNear(r.finals, {18.963272});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, std::string(80, ' '));
}

TEST(MuskingumRouting, TwoStepsAreUnstableButRouted) {
  Reach r;
  r.initial = {10, 10};
  r.finals.assign(2, 0.0);
  r.route();
  EXPECT_EQ(r.status, 7178);
  EXPECT_EQ(r.message, "Muskingum routing is unstable with the given parameters." + std::string(24, ' '));
  ExpectNear(r.outflows, {10, 11.975309, 19.437586, 26.149977, 21.109418});
}

TEST(MuskingumRouting, SteadyFlowComesOutUnchangedAndVolumeBalances) {
  // A steady inflow equal to the initial outflow stays steady; a hydrograph that starts and
  // ends at base flow leaves with the volume it brought (Ca - Cb + 1 - Ca + Cb = 1).
  Reach r;
  r.k = 3.0;
  r.x = 0.1;
  r.initial = {5.0, 5.0, 5.0};
  r.finals.assign(3, 0.0);
  r.inflows.assign(200, 5.0);
  r.outflows.assign(200, 0.0);
  r.route();
  for (double o : r.outflows) EXPECT_DOUBLE_EQ(o, 5.0);
  for (int t = 0; t < 40; ++t) r.inflows[static_cast<std::size_t>(10 + t)] += 50.0 * std::sin(M_PI * t / 40.0);
  r.route();
  double in = 0.0, out = 0.0;
  for (std::size_t t = 0; t < r.inflows.size(); ++t) in += r.inflows[t], out += r.outflows[t];
  EXPECT_NEAR(in, out, 1e-6 * in);
  EXPECT_EQ(r.status, 0);
}

TEST(MuskingumRouting, InvalidParametersLeaveEverythingUndefined) {
  struct Case { int interval; double k, x; int steps; };
  for (const Case c : {Case{0, 1, 0.2, 1}, Case{60, 0, 0.2, 1}, Case{60, 1, 0.2, 0},
                       Case{60, 1, -0.01, 1}, Case{60, 1, 0.51, 1}, Case{-60, 1, 0.2, 1}}) {
    Reach r;
    r.interval = c.interval;
    r.k = c.k;
    r.x = c.x;
    r.route(c.steps, 5);
    EXPECT_EQ(r.status, 7268);
    for (double o : r.outflows) EXPECT_EQ(o, undefinedDbl());
    if (c.steps == 1) {
      EXPECT_EQ(r.finals[0], undefinedDbl());
    }
  }
  Reach r;
  r.k = 2.5;
  r.x = 1.5;
  r.route();
  EXPECT_EQ(r.message, "Invalid Muskingum parameters: K = 2.5, x = 1.5, Number of reaches = 1" +
                           std::string(11, ' '));
}

TEST(MuskingumRouting, WeightsAtTheEndsOfTheRangeAreAccepted) {
  for (double x : {0.0, 0.5}) {
    Reach r;
    r.k = 0.5;
    r.x = x;
    r.route();
    EXPECT_EQ(r.status % 512 / 8, x == 0.5 ? 1 : 0) << x;  // x = 0.5 makes Cb < 0 here
    EXPECT_FALSE(isUndefinedDbl(r.outflows[4]));
  }
}

TEST(MuskingumRouting, ValuesThatAreNotNumbersAreReportedUnstable) {
  Reach r;
  r.k = std::nan("");
  r.route();
  EXPECT_EQ(r.status, 7178);
  Reach s;
  s.x = std::nan("");
  s.route();
  EXPECT_EQ(s.status, 7178);
}

TEST(MuskingumRouting, UndefinedValuesSpreadDownstream) {
  Reach r;
  r.inflows[2] = undefinedDbl();
  r.route();
  EXPECT_NEAR(r.outflows[1], 12.307692, kTolerance);
  for (std::size_t t = 2; t < 5; ++t) EXPECT_TRUE(isUndefinedDbl(r.outflows[t]));
  EXPECT_TRUE(isUndefinedDbl(r.finals[0]));
  EXPECT_EQ(r.status, 0);

  Reach first;
  first.inflows[0] = std::nan("");
  first.route();
  EXPECT_EQ(first.outflows[0], 10.0);
  for (std::size_t t = 1; t < 5; ++t) EXPECT_TRUE(isUndefinedDbl(first.outflows[t]));

  Reach step;
  step.initial = {1.0, undefinedDbl(), 1.0};
  step.finals.assign(3, 0.0);
  step.k = 3.0;
  step.route();
  EXPECT_EQ(step.outflows[0], 1.0);  // the last step's initial outflow
  for (std::size_t t = 1; t < 5; ++t) EXPECT_TRUE(isUndefinedDbl(step.outflows[t]));
  EXPECT_FALSE(isUndefinedDbl(step.finals[0]));
  EXPECT_TRUE(isUndefinedDbl(step.finals[1]));
  EXPECT_TRUE(isUndefinedDbl(step.finals[2]));
}

TEST(MuskingumRouting, OneOrdinateAndNone) {
  Reach r;
  r.initial = {3.0, 4.0};
  r.finals.assign(2, 0.0);
  r.k = 4.0;
  r.route(2, 1);
  EXPECT_EQ(r.outflows[0], 4.0);
  ExpectNear(r.finals, {3.0, 4.0});
  // No ordinate at all: nothing is written into the hydrograph.
  Reach none;
  none.outflows.clear();
  none.route(1, 0);
  EXPECT_EQ(none.finals[0], 10.0);
  EXPECT_EQ(none.status, 0);
}

}  // namespace
}  // namespace tovalin
