// Straight-line table lookup: results inside the closed range, the five failures and their
// texts, equal x values met by the halving and by the walking search, and termination on
// tables that are not ascending.
#include "hydro/hydraulics/interpolate_linear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr int kWidth = 80;
constexpr int kRoutine = 25;

std::int32_t Status(int messageNumber) {
  return EncodeErrorCode(kRoutine, messageNumber, kSeverityError);
}

// Runs InterpolateLinear on vectors with an 80-character message that starts as "previous".
struct Call {
  std::vector<double> y;
  std::int32_t status = -1;
  std::string message = std::string(kWidth, ' ');

  Call(const std::vector<double>& xTable, const std::vector<double>& yTable,
       const std::vector<double>& values, std::int32_t pairCount = -1) {
    message.replace(0, 8, "previous");
    y.assign(std::max<std::size_t>(values.size(), 1), 0.0);
    const std::int32_t pairs =
        pairCount >= 0 ? pairCount : static_cast<std::int32_t>(xTable.size());
    InterpolateLinear(pairs, xTable, yTable, static_cast<std::int32_t>(values.size()), values, y,
                      status, TextField(message.data(), kWidth));
  }
  // The message without its trailing blanks.
  std::string text() const { return message.substr(0, message.find_last_not_of(' ') + 1); }
};

// Table y = 10 x on x = 0 and 10.
const std::vector<double> kX{0.0, 10.0};
const std::vector<double> kY{0.0, 100.0};

TEST(InterpolateLinearRange, InterpolatesInsideTheClosedRange) {
  const Call call(kX, kY, {2.5, 0.0, 10.0});
  EXPECT_EQ(call.y, (std::vector<double>{25.0, 0.0, 100.0}));
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(call.text(), "previous");
}

TEST(InterpolateLinearRange, AboveTheTableNamesTheMaximum) {
  const Call call(kX, kY, {10.5});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_EQ(call.status, Status(12));
  EXPECT_EQ(call.text(), "Independent variable, 10.5, is above maximum table value, 10.");
}

TEST(InterpolateLinearRange, BelowTheTableNamesTheMinimum) {
  const Call call(kX, kY, {-1.0});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_EQ(call.status, Status(11));
  EXPECT_EQ(call.text(), "Independent variable, -1., is below minimum table value, 0.0");
}

TEST(InterpolateLinearRange, LatestFailureDecidesAndLaterValuesAreStillLookedUp) {
  const Call call(kX, kY, {-1.0, 5.0, 11.0});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_EQ(call.y[1], 50.0);
  EXPECT_TRUE(isUndefinedDbl(call.y[2]));
  EXPECT_EQ(call.status, Status(12));
  EXPECT_EQ(call.text(), "Independent variable, 11., is above maximum table value, 10.");
}

// On a table of y = 3x + 1 every value inside it, in any order, gives 3v + 1: the walk from
// the previous bracket finds the same brackets as a fresh halving search.
TEST(InterpolateLinearRange, WalkingSearchAgreesWithTheLine) {
  std::vector<double> x, y;
  for (int k = 0; k < 37; ++k) {
    x.push_back(0.5 * k * k);
    y.push_back(3.0 * x.back() + 1.0);
  }
  std::mt19937 random(7);
  std::uniform_real_distribution<double> inside(x.front(), x.back());
  std::vector<double> values(500);
  for (double& v : values) v = inside(random);
  values.push_back(x.back());
  values.push_back(x.front());
  const Call call(x, y, values);
  ASSERT_EQ(call.status, 0);
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_NEAR(call.y[i], 3.0 * values[i] + 1.0, 1e-9 * (1.0 + values[i])) << i;
}

TEST(InterpolateLinearEqualX, HalvingSearchMeetsTheEqualPair) {
  // Four pairs: the search starts at n = 2 and meets x(2) = x(3) = 2 with y 20 and 25.
  const Call call({1, 2, 2, 3}, {10, 20, 25, 30}, {2.0});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_EQ(call.status, Status(13));
  EXPECT_EQ(call.text(), "Independent variable, 2., has two dependent values: 20. and 25.");
}

TEST(InterpolateLinearEqualX, BracketAboveTheEqualPairTakesItsLowerEnd) {
  // Six pairs: the search starts at n = 3 and finds the bracket (3, 4) with v = x(3).
  const Call call({1, 2, 2, 3, 4, 5}, {10, 20, 25, 30, 40, 50}, {2.0});
  EXPECT_EQ(call.y[0], 25.0);
  EXPECT_EQ(call.status, 0);
}

TEST(InterpolateLinearEqualX, EqualYValuesAreNoFailure) {
  const Call call({1, 2, 2, 3}, {10, 20, 20, 30}, {2.0});
  EXPECT_EQ(call.y[0], 20.0);
  EXPECT_EQ(call.status, 0);
}

TEST(InterpolateLinearEqualX, WalkFromBelowReachesTheEqualPairFromItsLowerSide) {
  // 1.5 ends in the bracket (1, 2); the walk for 2 meets the pair (1, 2) and returns y(2).
  const Call call({1, 2, 2, 3}, {10, 20, 25, 30}, {1.5, 2.0});
  EXPECT_EQ(call.y[0], 15.0);
  EXPECT_EQ(call.y[1], 20.0);
  EXPECT_EQ(call.status, 0);
}

TEST(InterpolateLinearEqualX, SearchAfterOnlyUndefinedValuesStartsFromTheMiddle) {
  const Call call({1, 2, 2, 3}, {10, 20, 25, 30}, {undefinedDbl(), 2.0});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_TRUE(isUndefinedDbl(call.y[1]));
  EXPECT_EQ(call.status, Status(13));
}

TEST(InterpolateLinearEdges, UndefinedValueIsNoFailure) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Call call(kX, kY, {undefinedDbl(), 5.0, nan});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_EQ(call.y[1], 50.0);
  EXPECT_TRUE(isUndefinedDbl(call.y[2]));
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(call.text(), "previous");
}

TEST(InterpolateLinearEdges, NoValueIsFailure14) {
  const Call call(kX, kY, {});
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_EQ(call.status, Status(14));
  EXPECT_EQ(call.text(), "No independent variable for interpolation");
}

TEST(InterpolateLinearEdges, SinglePairMatchesOnlyItsOwnX) {
  const Call call({4.0}, {9.0}, {4.0, 4.5});
  EXPECT_EQ(call.y[0], 9.0);
  EXPECT_TRUE(isUndefinedDbl(call.y[1]));
  EXPECT_EQ(call.status, Status(15));
  EXPECT_EQ(call.text(), "Not enough x-y pairs for interpolation");
}

TEST(InterpolateLinearEdges, NoPairsFailEveryValue) {
  const Call call(kX, kY, {5.0, 1.0}, 0);
  EXPECT_TRUE(isUndefinedDbl(call.y[0]));
  EXPECT_TRUE(isUndefinedDbl(call.y[1]));
  EXPECT_EQ(call.status, Status(15));
}

TEST(InterpolateLinearEdges, ShortFieldCutsTheText) {
  std::string message(30, ' ');
  std::vector<double> y(1);
  std::int32_t status = 0;
  InterpolateLinear(2, kX, kY, 1, std::vector<double>{10.5}, y, status,
                    TextField(message.data(), 30));
  EXPECT_EQ(message, "Independent variable, 10.5, is");
  EXPECT_EQ(status, Status(12));
}

// Tables in any order, with values that are not numbers among the x values: every search
// ends, and a defined result never leaves the range of the y values.
TEST(InterpolateLinearEdges, AnyTableEndsAndStaysWithinItsYRange) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> number(-10.0, 10.0);
  std::uniform_int_distribution<int> size(2, 12);
  std::bernoulli_distribution hole(0.15);
  for (int trial = 0; trial < 2000; ++trial) {
    const int pairs = size(random);
    std::vector<double> x(pairs), y(pairs);
    for (int k = 0; k < pairs; ++k) {
      x[k] = hole(random) ? std::numeric_limits<double>::quiet_NaN() : number(random);
      y[k] = number(random);
    }
    std::vector<double> values(8);
    for (double& v : values) v = number(random);
    const Call call(x, y, values);
    for (double result : call.y) {
      if (!isUndefinedDbl(result)) {
        EXPECT_LE(std::abs(result), 10.0 + 1e-9) << result;
      }
    }
  }
}

}  // namespace
}  // namespace tovalin
