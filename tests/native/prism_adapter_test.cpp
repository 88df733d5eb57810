// Depth and Muskingum-Cunge routing through the exported adapters, as a native caller links
// them: arguments by reference, the message length and then the shape length last.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tovalin/tovalin.h"
#include "hydro/messages/message_text.h"

using tovalin::isUndefinedDbl;

namespace {

TEST(PrismAdapters, DepthInTheRectangleExample) {
  const double slope = 0.001, n = 0.03, b = 10.0, z = 0.0, q = 10.0, start = 0.0;
  double y = 0, a = 0, t = 0, c = 0;
  int status = -1;
  std::string message(40, ' ');
  channeldepthprism_(&slope, &n, &b, &z, &q, &start, &y, &a, &t, &c, &status, message.data(), 40);
  EXPECT_NEAR(y, 1.045, 5e-4);
  EXPECT_EQ(status, 0);
}

TEST(PrismAdapters, NegativeMessageLengthWritesNothing) {
  const double slope = 0.005, n = 0.013, d = 1.0, q = 2.0;
  double y = 0, a = 0, t = 0, c = 0;
  int status = 0;
  char guard = 'G';
  channeldepthcircle_(&slope, &n, &d, &q, &y, &a, &t, &c, &status, &guard, -3);
  EXPECT_EQ(status, 22 * 512 + 2 * 8 + 2);
  EXPECT_EQ(guard, 'G');
}

// Steady 8 m3/s with a negative side slope: a conduit ignores it, a trapezoid refuses it.
int RouteWithShape(const char* shape, int shapeLength, std::string& message) {
  const int interval = 60, points = 2, ordinates = 4, fromProfile = 0;
  const double length = 20000.0, slope = 0.001, n = 0.035, width = 4.0, sides = -1.0;
  const std::array<double, 2> initial{8.0, 8.0};
  std::array<double, 2> finals{};
  const std::array<double, 4> inflows{8.0, 8.0, 8.0, 8.0}, lateral{};
  std::array<double, 4> outflows{};
  double dt, dx, peak, peakTime = 0, celerity, s0, s1, v0, v1;
  int status = -1;
  RouteMuskingumCungePrism_(&interval, &length, &slope, &n, shape, &width, &sides, &points,
                            &fromProfile, initial.data(), finals.data(), &ordinates,
                            inflows.data(), lateral.data(), outflows.data(), &dt, &dx, &peak,
                            &peakTime, &celerity, &s0, &s1, &v0, &v1, &status, message.data(),
                            static_cast<int>(message.size()), shapeLength);
  EXPECT_EQ(isUndefinedDbl(outflows[3]), status != 0);
  return status;
}

TEST(PrismAdapters, ShapeLengthComesAfterTheMessageLength) {
  std::string message(60, ' ');
  EXPECT_EQ(RouteWithShape("CIRCLE--", 6, message), 0);
  EXPECT_EQ(message, std::string(60, ' '));
  EXPECT_EQ(RouteWithShape("CIRCLE--", 8, message), 16 * 512 + 12 * 8 + 4);
  EXPECT_EQ(message.substr(0, 31), "Channel side slope is negative:");
}

TEST(PrismAdapters, NegativeShapeLengthIsAnEmptyShape) {
  std::string message(60, ' ');
  RouteWithShape("CIRCLE", -1, message);
  EXPECT_EQ(message.substr(0, 31), "Channel side slope is negative:");
}

}  // namespace
