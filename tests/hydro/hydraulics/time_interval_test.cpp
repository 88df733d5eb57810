// Resampling a series between intervals: refinement and coarsening of straight lines (exact by
// construction), end values kept, the undefined value spread to its neighbours, and counts
// outside the usual ranges written within bounds.
#include "hydro/hydraulics/time_interval.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "hydro/messages/message_text.h"

namespace tovalin {
namespace {

// A marker that no resampled value can take, to see which elements were written.
constexpr double kUntouched = -12345.0;

std::vector<double> Resample(double oldInterval, double newInterval,
                             const std::vector<double>& given, std::int32_t newCount) {
  std::vector<double> produced(static_cast<std::size_t>(newCount), kUntouched);
  ChangeTimeInterval(oldInterval, newInterval, static_cast<std::int32_t>(given.size()), newCount,
                     given, produced);
  return produced;
}

TEST(ChangeTimeIntervalLinear, HalvingTheIntervalInterpolatesMidpoints) {
  EXPECT_EQ(Resample(60.0, 30.0, {0.0, 10.0, 20.0}, 5),
            (std::vector<double>{0.0, 5.0, 10.0, 15.0, 20.0}));
}

TEST(ChangeTimeIntervalLinear, DoublingTheIntervalKeepsEveryOtherOrdinate) {
  EXPECT_EQ(Resample(30.0, 60.0, {0.0, 5.0, 10.0, 15.0, 20.0}, 3),
            (std::vector<double>{0.0, 10.0, 20.0}));
}

TEST(ChangeTimeIntervalLinear, AStraightLineStaysStraightAtAnyRatio) {
  // y = 3 t sampled every 7 units, read back every 3 units up to t = 42.
  std::vector<double> given;
  for (int k = 0; k <= 6; ++k) given.push_back(3.0 * 7.0 * k);
  const std::vector<double> produced = Resample(7.0, 3.0, given, 15);
  for (std::size_t j = 0; j < produced.size(); ++j)
    EXPECT_NEAR(produced[j], 3.0 * 3.0 * static_cast<double>(j), 1e-9) << "ordinate " << j;
}

TEST(ChangeTimeIntervalEnds, OrdinatesBeyondTheSeriesRepeatTheLastValue) {
  EXPECT_EQ(Resample(60.0, 60.0, {1.0, 2.0, 3.0}, 6),
            (std::vector<double>{1.0, 2.0, 3.0, 3.0, 3.0, 3.0}));
}

TEST(ChangeTimeIntervalEnds, AShortProductionStillEndsOnTheLastGivenValue) {
  EXPECT_EQ(Resample(1.0, 1.0, {1.0, 2.0, 3.0, 4.0, 5.0}, 3),
            (std::vector<double>{1.0, 2.0, 5.0}));
}

TEST(ChangeTimeIntervalEnds, TwoOrdinatesAreTheTwoEnds) {
  EXPECT_EQ(Resample(1.0, 0.25, {7.0, 8.0, 9.0}, 2), (std::vector<double>{7.0, 9.0}));
}

TEST(ChangeTimeIntervalEnds, OneOrdinateIsTheLastGivenValue) {
  EXPECT_EQ(Resample(1.0, 1.0, {7.0, 8.0, 9.0}, 1), (std::vector<double>{9.0}));
}

TEST(ChangeTimeIntervalUndefined, SpreadsOnlyToOrdinatesItBrackets) {
  const double u = undefinedDbl();
  const std::vector<double> produced = Resample(1.0, 1.0, {1.0, u, 3.0}, 3);
  EXPECT_EQ(produced[0], 1.0);
  EXPECT_TRUE(isUndefinedDbl(produced[1]));
  EXPECT_EQ(produced[2], 3.0);
}

TEST(ChangeTimeIntervalUndefined, AnOrdinateOnAGivenPointWithAnUndefinedNeighbourIsUndefined) {
  const double u = undefinedDbl();
  const std::vector<double> produced = Resample(2.0, 1.0, {1.0, 2.0, u, 4.0}, 7);
  EXPECT_EQ(produced[1], 1.5);
  // t = 2 lies on given ordinate 2, but interpolates towards the undefined ordinate 3.
  EXPECT_TRUE(isUndefinedDbl(produced[2]));
  EXPECT_TRUE(isUndefinedDbl(produced[5]));
  EXPECT_EQ(produced[6], 4.0);
}

TEST(ChangeTimeIntervalBounds, CountsBelowOneWriteNothingOrUndefined) {
  std::array<double, 3> produced{kUntouched, kUntouched, kUntouched};
  const std::array<double, 2> given{1.0, 2.0};
  ChangeTimeInterval(1.0, 1.0, 2, 0, given, produced);
  ChangeTimeInterval(1.0, 1.0, 2, -5, given, produced);
  EXPECT_EQ(produced[0], kUntouched);
  ChangeTimeInterval(1.0, 1.0, 0, 3, std::span<const double>(), produced);
  for (double v : produced) EXPECT_TRUE(isUndefinedDbl(v));
}

TEST(ChangeTimeIntervalBounds, CountsBeyondTheSpansAreCut) {
  std::array<double, 2> produced{kUntouched, kUntouched};
  const std::array<double, 2> given{1.0, 2.0};
  ChangeTimeInterval(1.0, 1.0, 50, 60, given, produced);
  EXPECT_EQ(produced[0], 1.0);
  EXPECT_EQ(produced[1], 2.0);
}

TEST(ChangeTimeIntervalBounds, DegenerateIntervalsStayInsideTheSeries) {
  // Old interval 0: every inner time lies beyond the series.
  EXPECT_EQ(Resample(0.0, 1.0, {1.0, 2.0, 3.0}, 4), (std::vector<double>{1.0, 3.0, 3.0, 3.0}));
  // Both 0: the ratio is not a number.
  const std::vector<double> both = Resample(0.0, 0.0, {1.0, 2.0, 3.0}, 3);
  EXPECT_TRUE(isUndefinedDbl(both[1]));
  // A negative new interval reaches before the first ordinate.
  EXPECT_EQ(Resample(1.0, -1.0, {1.0, 2.0, 3.0}, 4), (std::vector<double>{1.0, 1.0, 1.0, 3.0}));
  // Tiny old interval: the index ratio far exceeds any integer type.
  EXPECT_EQ(Resample(1e-300, 1.0, {1.0, 2.0}, 3), (std::vector<double>{1.0, 2.0, 2.0}));
}

}  // namespace
}  // namespace tovalin
