// The eight-point adapters through the shared library, as a native caller links them: every
// argument by reference, the message length last.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "tovalin/tovalin.h"

namespace {

constexpr int kWidth = 80;

TEST(Cunge8Adapters, DepthOfTheWorkedSection) {
  const double slope = 0.001, flow = 20.0, start = 0.0;
  const std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50};
  const std::array<double, 8> y{10, 5, 5, 0, 0, 5, 5, 10};
  const std::array<double, 3> n{0.08, 0.04, 0.08};
  double depth = 0, area = 0, width = 0, celerity = 0;
  int status = -1;
  std::array<char, kWidth> message;
  message.fill(' ');
  channeldepth8point_(&slope, x.data(), y.data(), n.data(), &flow, &start, &depth, &area, &width,
                      &celerity, &status, message.data(), kWidth);
  EXPECT_NEAR(depth, 1.9962, 1e-4);
  EXPECT_EQ(width, 10.0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(std::string(message.data(), kWidth), std::string(kWidth, ' '));
}

TEST(Cunge8Adapters, NegativeMessageLengthWritesNothing) {
  const double slope = 0.0, flow = 20.0, start = 0.0;
  const std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50};
  const std::array<double, 8> y{10, 5, 5, 0, 0, 5, 5, 10};
  const std::array<double, 3> n{0.08, 0.04, 0.08};
  double depth = 0, area = 0, width = 0, celerity = 0;
  int status = 0;
  char guard = '#';
  channeldepth8point_(&slope, x.data(), y.data(), n.data(), &flow, &start, &depth, &area, &width,
                      &celerity, &status, &guard, -5);
  EXPECT_EQ(guard, '#');
  EXPECT_NE(status, 0);
}

TEST(Cunge8Adapters, ChangeTimeIntervalPassesItsArgumentsOn) {
  const double oldInterval = 60, newInterval = 30;
  const int oldCount = 3, newCount = 5;
  const std::array<double, 3> given{0, 10, 20};
  std::array<double, 5> produced{};
  changetimeinterval_(&oldInterval, &newInterval, &oldCount, &newCount, given.data(),
                      produced.data());
  EXPECT_EQ(produced, (std::array<double, 5>{0, 5, 10, 15, 20}));
}

TEST(Cunge8Adapters, RoutingOneOrdinate) {
  const int interval = 60, points = 2, fromProfile = 0, ordinates = 1;
  const double length = 1000, slope = 0.001;
  const std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50};
  const std::array<double, 8> y{10, 5, 5, 0, 0, 5, 5, 10};
  const std::array<double, 3> n{0.08, 0.04, 0.08};
  const std::array<double, 2> initial{30, 40};
  std::array<double, 2> finals{};
  const double inflow = 30, lateral = 0;
  double outflow = 0, dt, dx, peak, peakTime = -1, celerity, s0, s1, vin, vout;
  int status = -1;
  std::array<char, kWidth> message;
  message.fill(' ');
  RouteMuskingumCunge8Point_(&interval, &length, &slope, x.data(), y.data(), n.data(), &points,
                             &fromProfile, initial.data(), finals.data(), &ordinates, &inflow,
                             &lateral, &outflow, &dt, &dx, &peak, &peakTime, &celerity, &s0, &s1,
                             &vin, &vout, &status, message.data(), kWidth);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(outflow, 40.0);
  EXPECT_EQ(finals, initial);
  EXPECT_EQ(s1, 0.0);
  EXPECT_EQ(peakTime, -1.0);
}

}  // namespace
