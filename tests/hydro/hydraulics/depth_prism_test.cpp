// Normal depth in trapezoids and circular conduits: depths chosen first and their Manning flows
// solved back, the rectangle and triangle as special trapezoids, the published examples, the
// area limit of the conduit, and every failure with its status, text and undefined outputs.
#include "hydro/hydraulics/depth_prism.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

// Examples are quoted to four significant digits.
constexpr double kQuoted = 5e-4;
// A converged Newton iterate: the last step was at most 0.01 m, and the error after it is
// of the order of that step squared.
constexpr double kSolved = 1e-4;
constexpr int kWidth = 80;

struct Result {
  double depth = -1.0, area = -1.0, topWidth = -1.0, celerity = -1.0;
  std::int32_t status = -1;
  std::string message = std::string(kWidth, ' ');
};

Result Prism(double slope, double n, double b, double z, double q, double start = 0.0) {
  Result r;
  ChannelDepthPrism(slope, n, b, z, q, start, r.depth, r.area, r.topWidth, r.celerity, r.status,
                    TextField(r.message.data(), kWidth));
  return r;
}

Result Circle(double slope, double n, double d, double q) {
  Result r;
  ChannelDepthCircle(slope, n, d, q, r.depth, r.area, r.topWidth, r.celerity, r.status,
                     TextField(r.message.data(), kWidth));
  return r;
}

std::string Padded(const std::string& text) { return text + std::string(kWidth - text.size(), ' '); }

// Manning's flow in a trapezoid at depth y: Q = (1/n) A (A/P)^(2/3) S^(1/2).
double ManningFlow(double slope, double n, double b, double z, double y) {
  const double area = (b + z * y) * y;
  const double perimeter = b + 2.0 * y * std::sqrt(1.0 + z * z);
  return area * std::pow(area / perimeter, 2.0 / 3.0) * std::sqrt(slope) / n;
}

TEST(ChannelDepthPrism, ReproducesTheRectangleExample) {
  // b = 10 m, S = 0.001, n = 0.03, Q = 10 m3/s.
  const Result r = Prism(0.001, 0.03, 10.0, 0.0, 10.0);
  EXPECT_NEAR(r.depth, 1.045, kQuoted);
  EXPECT_NEAR(r.area, 10.45, 10 * kQuoted);
  EXPECT_EQ(r.topWidth, 10.0);
  EXPECT_NEAR(r.celerity, 1.484, kQuoted);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, std::string(kWidth, ' '));
}

TEST(ChannelDepthPrism, SlopeEntersThroughThePowerFunction) {
  // pow(S, 0.5) is 0x1.ab186453168a6p-3 here, one bit above sqrt(S); the depth shows it.
  const Result r = Prism(0.04349002335271861, 0.018843868497956547, 1.1149736872342897, 1.0,
                         1.7536171808970837, 1.0);
  EXPECT_EQ(r.depth, 0.30624524701370637);
}

TEST(ChannelDepthPrism, SolvesBackTheDepthThatGaveTheFlow) {
  // Depth chosen, flow from Manning's formula: the solver must find the depth again.
  for (double y : {0.2, 1.3, 4.0}) {
    const double q = ManningFlow(0.002, 0.035, 4.0, 1.5, y);
    const Result r = Prism(0.002, 0.035, 4.0, 1.5, q);
    EXPECT_NEAR(r.depth, y, kSolved) << "depth " << y;
    EXPECT_DOUBLE_EQ(r.area, (4.0 + 1.5 * r.depth) * r.depth);
    EXPECT_DOUBLE_EQ(r.topWidth, 4.0 + 2.0 * 1.5 * r.depth);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(ChannelDepthPrism, CelerityOfTheSpecialShapes) {
  // Rectangle: dQ/dA = V (5b + 6y) / (3 (b + 2y)). Triangle: dQ/dA = 4/3 V.
  const Result rect = Prism(0.001, 0.03, 6.0, 0.0, 25.0);
  const double rectV = 25.0 / rect.area;
  EXPECT_NEAR(rect.celerity,
              rectV * (5 * 6.0 + 6 * rect.depth) / (3 * (6.0 + 2 * rect.depth)), 1e-3 * rectV);
  const Result tri = Prism(0.001, 0.03, 0.0, 2.0, 10.0);
  EXPECT_EQ(tri.status, 0);
  EXPECT_NEAR(tri.celerity, 4.0 / 3.0 * (10.0 / tri.area), 1e-3);
}

TEST(ChannelDepthPrism, StartingDepthOfZeroMeansAThirdOfTheFlow) {
  const Result defaulted = Prism(0.001, 0.03, 10.0, 2.0, 30.0, 0.0);
  const Result third = Prism(0.001, 0.03, 10.0, 2.0, 30.0, 10.0);
  EXPECT_EQ(defaulted.depth, third.depth);
  EXPECT_EQ(defaulted.celerity, third.celerity);
}

TEST(ChannelDepthPrism, NoFlowIsAnEmptyChannelWithoutChecks) {
  for (double q : {0.0, -5.0}) {
    const Result r = Prism(0.0, -1.0, 7.0, -2.0, q);
    EXPECT_EQ(r.depth, 0.0);
    EXPECT_EQ(r.area, 0.0);
    EXPECT_EQ(r.topWidth, 7.0);
    EXPECT_EQ(r.celerity, 0.0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.message, std::string(kWidth, ' '));
  }
}

TEST(ChannelDepthPrism, NonConvergenceIsAWarningWithTheTwentiethIterate) {
  // A triangle searched from 1 km down to a depth below 1 m: Newton's steps shrink by a
  // constant ratio and are still above 0.01 m after twenty of them.
  const Result r = Prism(0.001, 0.03, 0.0, 1.0, 1.0, 1.0e6);
  EXPECT_EQ(r.status, EncodeErrorCode(21, 1, 2));
  EXPECT_EQ(r.message, Padded("Interative solution for channel depth failed to converge"));
  EXPECT_GT(r.depth, 1.0);
  EXPECT_DOUBLE_EQ(r.area, r.depth * r.depth);
  EXPECT_DOUBLE_EQ(r.topWidth, 2.0 * r.depth);
}

struct PrismFailure {
  double slope, n, b, z;
  int number;
  std::string text;
};

TEST(ChannelDepthPrism, FailuresReportTheFirstBadValue) {
  const PrismFailure cases[] = {
      {0.0, 0.0, 10.0, 1.0, 11, "Manning's n is zero or negative: 0.0 "},
      {0.001, 0.03, 10.0, -0.1, 12, "Channel side slope is negative: -.1 "},
      {-0.002, 0.03, 10.0, 0.0, 13, "Channel slope is zero or negative: -.002 "},
      // A section without width, and a negative bottom width.
      {0.001, 0.03, 0.0, 0.0, 14, "Channel bottom width is invalid: 0.0 "},
      {0.001, 0.03, -3.0, 1.0, 14, "Channel bottom width is invalid: -3. "},
      {0.001, 0.03, 2.0, std::nan(""), 14, "Channel bottom width is invalid: 2. "},
  };
  for (const PrismFailure& c : cases) {
    const Result r = Prism(c.slope, c.n, c.b, c.z, 10.0);
    EXPECT_EQ(r.status, EncodeErrorCode(21, c.number, 4)) << c.text;
    EXPECT_EQ(r.message, Padded(c.text));
    EXPECT_TRUE(isUndefinedDbl(r.depth) && isUndefinedDbl(r.area) &&
                isUndefinedDbl(r.topWidth) && isUndefinedDbl(r.celerity))
        << c.text;
  }
}

TEST(ChannelDepthPrism, StatusDecodesToTheOtherDepthRoutine) {
  const Result r = Prism(0.001, 0.0, 10.0, 0.0, 10.0);
  std::string name(32, ' ');
  std::int32_t number = 0, severity = 0;
  DecodeErrorCode(r.status, TextField(name.data(), 32), number, severity);
  EXPECT_EQ(name.substr(0, 19), "ChannelDepthCircle ");
  EXPECT_EQ(number, 11);
  EXPECT_EQ(severity, 4);
}

TEST(ChannelDepthCircle, ReproducesThePartFullExample) {
  // D = 1 m, S = 0.005, n = 0.013, Q = 0.5 m3/s.
  const Result r = Circle(0.005, 0.013, 1.0, 0.5);
  EXPECT_NEAR(r.area, 0.2567, kQuoted);
  EXPECT_NEAR(r.depth, 0.3623, kQuoted);
  EXPECT_NEAR(r.topWidth, 0.9613, kQuoted);
  EXPECT_NEAR(r.celerity, 2.434, kQuoted);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, std::string(kWidth, ' '));
}

TEST(ChannelDepthCircle, AboveTheAreaLimitTheDepthIsHeld) {
  // Q = 2 m3/s gives a flow-law area of 0.7783 m2 > 0.65 D2.
  const Result r = Circle(0.005, 0.013, 1.0, 2.0);
  EXPECT_EQ(r.depth, 0.7710000276565552);
  EXPECT_NEAR(r.area, 0.7783, kQuoted);
  EXPECT_NEAR(r.topWidth, 0.8404, kQuoted);
  EXPECT_NEAR(r.celerity, 3.212, kQuoted);
  EXPECT_EQ(r.status, EncodeErrorCode(22, 2, 2));
  // The two lines, cut at the field's width.
  const std::string lines =
      "Flow area is greater than 0.65 * diameter-squared.\n"
      "Depth and top width are assumed to be constant.";
  EXPECT_EQ(r.message, lines.substr(0, kWidth));
}

TEST(ChannelDepthCircle, GeometryMatchesTheFlowLawArea) {
  // Below the limit the depth found holds the flow-law area in its circular segment.
  for (double q : {0.05, 0.5, 1.2}) {
    const Result r = Circle(0.005, 0.013, 1.0, q);
    const double u = 0.5 - r.depth;
    const double segment = M_PI / 8.0 - (u * std::sqrt(0.25 - u * u) + 0.25 * std::asin(u / 0.5));
    EXPECT_NEAR(segment, r.area, 1e-4) << "flow " << q;
    EXPECT_EQ(r.status, 0);
  }
}

TEST(ChannelDepthCircle, JustBelowAndAboveTheLimit) {
  // alpha for D = 1: Q = alpha A^1.25 at A = 0.65 m2, a little below and above.
  const double alpha = 0.503 * std::sqrt(0.005) / 0.013;
  const double atLimit = alpha * std::pow(0.65, 1.25);
  EXPECT_EQ(Circle(0.005, 0.013, 1.0, atLimit * 0.999).status, 0);
  EXPECT_EQ(Circle(0.005, 0.013, 1.0, atLimit * 1.001).status, EncodeErrorCode(22, 2, 2));
}

TEST(ChannelDepthCircle, NoFlowGivesZerosWithoutChecks) {
  const Result r = Circle(0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(r.depth, 0.0);
  EXPECT_EQ(r.area, 0.0);
  EXPECT_EQ(r.topWidth, 0.0);
  EXPECT_EQ(r.celerity, 0.0);
  EXPECT_EQ(r.status, 0);
}

TEST(ChannelDepthCircle, FailuresReportTheFirstBadValue) {
  struct Case {
    double slope, n, d;
    int number;
    std::string text;
  };
  const Case cases[] = {
      {0.0, -0.01, 1.0, 11, "Manning's n is zero or negative: -.01 "},
      {0.0, 0.013, 1.0, 13, "Channel slope is zero or negative: 0.0 "},
      {0.005, 0.013, 0.0, 14, "Conduit diameter is zero or negative: 0.0 "},
      {0.005, 0.013, -2.0, 14, "Conduit diameter is zero or negative: -2. "},
  };
  for (const Case& c : cases) {
    const Result r = Circle(c.slope, c.n, c.d, 1.0);
    EXPECT_EQ(r.status, EncodeErrorCode(22, c.number, 4)) << c.text;
    EXPECT_EQ(r.message, Padded(c.text));
    EXPECT_TRUE(isUndefinedDbl(r.depth) && isUndefinedDbl(r.area) &&
                isUndefinedDbl(r.topWidth) && isUndefinedDbl(r.celerity));
  }
}

TEST(ChannelDepthCircle, TinyAndHugeConduitsStayInsideTheCircle) {
  // Extreme sizes must give a depth inside 0..D or the held depth, never a value that is
  // not a number.
  for (double d : {1e-6, 1e-3, 50.0, 1e4}) {
    for (double q : {1e-6, 1.0, 1e3}) {
      const Result r = Circle(0.005, 0.013, d, q);
      EXPECT_GT(r.depth, 0.0) << d << " " << q;
      EXPECT_LT(r.depth, d) << d << " " << q;
      EXPECT_FALSE(std::isnan(r.topWidth));
    }
  }
}

}  // namespace
}  // namespace tovalin
