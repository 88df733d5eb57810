// Eight-point section: areas, widths and conveyances of a rectangular main channel between
// overbanks (hand-computed by Manning's formula), the normal depth round trip (a depth's own
// flow gives the depth back), the worked depths and celerities, and every failure report.
#include "hydro/hydraulics/section_8point.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr int kWidth = 80;
constexpr double kSlope = 0.001;
// Conveyance figures are given to seven significant digits.
constexpr double kConveyanceTolerance = 5e-4;
// Worked depths are quoted to 1e-4 m (within the 0.005 m search tolerance of the truth).
constexpr double kQuotedTolerance = 1e-4;
constexpr double kDepthTolerance = 0.005;

// A rectangular main channel 10 m wide and 5 m deep (stations 20 to 30), overbanks at
// elevation 5 rising to 10 at stations 0 and 50; n = 0.08 on the overbanks, 0.04 in the channel.
struct Section {
  std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50};
  std::array<double, 8> y{10, 5, 5, 0, 0, 5, 5, 10};
  std::array<double, 3> n{0.08, 0.04, 0.08};
};

struct Text {
  std::array<char, kWidth> chars;
  Text() { chars.fill(' '); }
  TextField field() { return {chars.data(), kWidth}; }
  std::string trimmed() const {
    std::string s(chars.data(), chars.size());
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
};

struct Properties {
  double area = 0, conveyance = 0, width = 0;
  std::int32_t status = -1;
};

Properties At(const Section& s, double elevation, Text& text) {
  Properties p;
  Conveyance8Point(elevation, s.x, s.y, s.n, p.area, p.conveyance, p.width, p.status,
                   text.field());
  return p;
}

struct Depth {
  double depth = 0, area = 0, width = 0, celerity = 0;
  std::int32_t status = -1;
};

Depth Solve(const Section& s, double flow, Text& text, double slope = kSlope,
            double initialDepth = 0.0) {
  Depth d;
  ChannelDepth8Point(slope, s.x, s.y, s.n, flow, initialDepth, d.depth, d.area, d.width,
                     d.celerity, d.status, text.field());
  return d;
}

TEST(Conveyance8PointWorked, InTheMainChannel) {
  Section s;
  Text text;
  const Properties p = At(s, 2.0, text);
  EXPECT_DOUBLE_EQ(p.area, 20.0);
  EXPECT_DOUBLE_EQ(p.width, 10.0);
  EXPECT_NEAR(p.conveyance, 634.2171, kConveyanceTolerance);
  EXPECT_EQ(p.status, 0);
  EXPECT_EQ(text.trimmed(), "");
}

TEST(Conveyance8PointWorked, AtBankLevelTheBankPointsAreDry) {
  Section s;
  Text text;
  const Properties p = At(s, 5.0, text);
  EXPECT_DOUBLE_EQ(p.area, 50.0);
  EXPECT_DOUBLE_EQ(p.width, 10.0);
  EXPECT_NEAR(p.conveyance, 2302.520, kConveyanceTolerance);
}

TEST(Conveyance8PointWorked, OverTheBanksTheChannelGainsAreaNotPerimeter) {
  Section s;
  Text text;
  const Properties p = At(s, 7.0, text);
  EXPECT_DOUBLE_EQ(p.area, 118.0);
  EXPECT_DOUBLE_EQ(p.width, 38.0);
  EXPECT_NEAR(p.conveyance, 4874.759, kConveyanceTolerance);
  // Main channel alone: A = 70, P = 20, K = (70/20)^e / 0.04 * 70 with e = 2/3 in single.
  const double channel = std::pow(3.5, 0.6666666865348816) / 0.04 * 70.0;
  const double overbank = std::pow(24.0 / (std::sqrt(20.0) + 10.0), 0.6666666865348816) / 0.08 * 24.0;
  EXPECT_DOUBLE_EQ(p.conveyance, overbank + channel + overbank);
}

TEST(Conveyance8PointWorked, DryAtOrBelowTheLowestPoint) {
  Section s;
  Text text;
  for (double e : {0.0, -3.0}) {
    const Properties p = At(s, e, text);
    EXPECT_EQ(p.area, 0.0);
    EXPECT_EQ(p.conveyance, 0.0);
    EXPECT_EQ(p.width, 0.0);
    EXPECT_EQ(p.status, 0);
  }
}

TEST(Conveyance8PointGeometry, MirroredStationsGiveTheSameResults) {
  Section s;
  Section mirrored;
  mirrored.x = {50, 40, 30, 30, 20, 20, 10, 0};
  Text text;
  for (double e : {2.0, 5.0, 7.0, 12.0}) {
    const Properties a = At(s, e, text);
    const Properties b = At(mirrored, e, text);
    EXPECT_DOUBLE_EQ(a.area, b.area) << e;
    EXPECT_DOUBLE_EQ(a.width, b.width) << e;
    EXPECT_DOUBLE_EQ(a.conveyance, b.conveyance) << e;
    EXPECT_EQ(b.status, 0);
  }
}

TEST(Conveyance8PointGeometry, AWettedWallAddsPerimeterOnly) {
  // The main channel's walls are vertical: at E = 2 its perimeter is 2 + 10 + 2 = 14.
  Section s;
  Text text;
  const Properties p = At(s, 2.0, text);
  EXPECT_DOUBLE_EQ(p.conveyance, std::pow(20.0 / 14.0, 0.6666666865348816) / 0.04 * 20.0);
}

TEST(Conveyance8PointFailures, StationsOutOfOrderNameThePair) {
  Section s;
  s.x = {0, 10, 5, 20, 30, 30, 40, 50};
  Text text;
  const Properties p = At(s, 7.0, text);
  EXPECT_TRUE(isUndefinedDbl(p.area));
  EXPECT_TRUE(isUndefinedDbl(p.conveyance));
  EXPECT_TRUE(isUndefinedDbl(p.width));
  EXPECT_EQ(p.status, EncodeErrorCode(routine::kConveyance8Point, 12, kSeverityError));
  EXPECT_EQ(text.trimmed(), "Cross-section stations are out of order: 10., 5.");
}

TEST(Conveyance8PointFailures, ZeroRoughnessMattersOnlyWhenWetted) {
  Section s;
  s.n[0] = 0.0;
  Text text;
  const Properties dry = At(s, 2.0, text);
  EXPECT_EQ(dry.status, 0);
  EXPECT_EQ(text.trimmed(), "");
  const Properties wet = At(s, 7.0, text);
  EXPECT_EQ(wet.status, EncodeErrorCode(routine::kConveyance8Point, 11, kSeverityError));
  EXPECT_DOUBLE_EQ(wet.area, 118.0);
  EXPECT_DOUBLE_EQ(wet.width, 38.0);
  EXPECT_TRUE(isUndefinedDbl(wet.conveyance));
  EXPECT_EQ(text.trimmed(), "Manning's n is zero or negative: 0.0");
}

TEST(ChannelDepth8PointWorked, InTheMainChannel) {
  Section s;
  Text text;
  const Depth d = Solve(s, 20.0, text);
  EXPECT_NEAR(d.depth, 1.9962, kQuotedTolerance);
  EXPECT_NEAR(d.area, 19.962, 10 * kQuotedTolerance);
  EXPECT_DOUBLE_EQ(d.width, 10.0);
  EXPECT_NEAR(d.celerity, 1.4806, kQuotedTolerance);
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(text.trimmed(), "");
}

TEST(ChannelDepth8PointWorked, JustBelowTheBanksTheDifferenceLooksBack) {
  Section s;
  Text text;
  const Depth d = Solve(s, 72.8, text);
  EXPECT_NEAR(d.depth, 4.9983, kQuotedTolerance);
  EXPECT_NEAR(d.celerity, 1.9411, kQuotedTolerance);
}

TEST(ChannelDepth8PointWorked, AboveTheEndPointsTheWidthIsTheFullSpan) {
  Section s;
  Text text;
  const Depth d = Solve(s, 1000.0, text);
  EXPECT_NEAR(d.depth, 14.874, 1e-3);
  EXPECT_DOUBLE_EQ(d.width, 50.0);
  EXPECT_EQ(d.status, 0);
}

TEST(ChannelDepth8PointWorked, AGoodStartGivesTheSameDepth) {
  Section s;
  Text text;
  const Depth d = Solve(s, 20.0, text, kSlope, 2.0);
  EXPECT_NEAR(d.depth, 1.9962, kDepthTolerance);
  EXPECT_EQ(d.status, 0);
}

TEST(ChannelDepth8PointRoundTrip, ADepthsOwnFlowGivesTheDepthBack) {
  // Q = sqrt(S) K(D) for depths in the channel, at the banks and over them; the search
  // must land within its tolerance of D from the default start and from far-off starts.
  Section s;
  Text text;
  for (double depth : {0.3, 1.0, 4.5, 5.5, 8.0, 12.0}) {
    const Properties p = At(s, depth, text);
    const double flow = std::sqrt(kSlope) * p.conveyance;
    for (double start : {0.0, 0.01, 50.0}) {
      const Depth d = Solve(s, flow, text, kSlope, start);
      EXPECT_NEAR(d.depth, depth, 2 * kDepthTolerance) << depth << " from " << start;
      EXPECT_GT(d.celerity, 0.0);
    }
  }
  EXPECT_EQ(text.trimmed(), "");
}

TEST(ChannelDepth8PointEdges, NoFlowGivesZerosWithoutLookingAtTheSection) {
  Section s;
  s.n = {0, 0, 0};
  Text text;
  for (double q : {0.0, -5.0}) {
    const Depth d = Solve(s, q, text, 0.0);
    EXPECT_EQ(d.depth, 0.0);
    EXPECT_EQ(d.area, 0.0);
    EXPECT_EQ(d.width, 0.0);
    EXPECT_EQ(d.celerity, 0.0);
    EXPECT_EQ(d.status, 0);
  }
  EXPECT_EQ(text.trimmed(), "");
}

TEST(ChannelDepth8PointEdges, MirroredOrSlotBanksStillSolve) {
  // Descending bank stations: the mirrored section solves to the same depth.
  Section mirrored;
  mirrored.x = {50, 40, 30, 30, 20, 20, 10, 0};
  Text text;
  EXPECT_NEAR(Solve(mirrored, 20.0, text).depth, 1.9962, kQuotedTolerance);
  // Equal bank stations: a zero-width slot main channel; the overbanks still carry flow.
  Section slot;
  slot.x = {0, 10, 20, 20, 20, 20, 30, 40};
  slot.y = {10, 5, 5, 0, 0, 5, 5, 10};
  const Properties p = At(slot, 7.0, text);
  const Depth d = Solve(slot, std::sqrt(kSlope) * p.conveyance, text);
  EXPECT_NEAR(d.depth, 7.0, 2 * kDepthTolerance);
  EXPECT_EQ(text.trimmed(), "");
}

TEST(ChannelDepth8PointEdges, ASectionWithoutWidthEndsWithAWarning) {
  Section wall;
  wall.x = {5, 5, 5, 5, 5, 5, 5, 5};
  Text text;
  const Depth d = Solve(wall, 20.0, text);
  EXPECT_EQ(d.status, EncodeErrorCode(routine::kChannelDepth8Point, 1, kSeverityWarning));
  EXPECT_EQ(text.trimmed(), "Interative solution for channel depth failed to converge");
  EXPECT_EQ(d.area, 0.0);
  EXPECT_TRUE(std::isfinite(d.depth));
  EXPECT_TRUE(isUndefinedDbl(d.celerity));
}

TEST(ChannelDepth8PointFailures, ZeroSlope) {
  Section s;
  Text text;
  const Depth d = Solve(s, 20.0, text, 0.0);
  EXPECT_EQ(d.status, EncodeErrorCode(routine::kChannelDepth8Point, 13, kSeverityError));
  EXPECT_EQ(text.trimmed(), "Channel slope is zero or negative: 0.0");
  EXPECT_TRUE(isUndefinedDbl(d.depth));
  EXPECT_TRUE(isUndefinedDbl(d.area));
  EXPECT_TRUE(isUndefinedDbl(d.width));
  EXPECT_TRUE(isUndefinedDbl(d.celerity));
}

TEST(ChannelDepth8PointFailures, EveryRoughnessIsCheckedEvenWhereDry) {
  Section s;
  s.n = {0.08, 0.04, 0.0};
  Text text;
  const Depth d = Solve(s, 20.0, text);
  EXPECT_EQ(d.status, EncodeErrorCode(routine::kChannelDepth8Point, 11, kSeverityError));
  EXPECT_EQ(text.trimmed(), "Manning's n is zero or negative: 0.0");
  EXPECT_TRUE(isUndefinedDbl(d.depth));
}

TEST(ChannelDepth8PointFailures, StationsOutOfOrderKeepTheSectionsReport) {
  Section s;
  s.x = {0, 10, 5, 20, 30, 30, 40, 50};
  Text text;
  const Depth d = Solve(s, 20.0, text);
  EXPECT_EQ(d.status, EncodeErrorCode(routine::kConveyance8Point, 12, kSeverityError));
  EXPECT_EQ(text.trimmed(), "Cross-section stations are out of order: 10., 5.");
  EXPECT_TRUE(isUndefinedDbl(d.depth));
  EXPECT_TRUE(isUndefinedDbl(d.celerity));
}

}  // namespace
}  // namespace tovalin
