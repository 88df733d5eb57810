// Muskingum routing and status decoding through the exported adapters, as a native caller
// links them: arguments by reference, the text length last.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tovalin/tovalin.h"

namespace {

constexpr double kTolerance = 5e-7;

// Worked example: 60-minute interval, K = 1 h, x = 0.2, one step starting at 10.
TEST(MuskingumAdapter, RoutesTheWorkedExample) {
  const int interval = 60, steps = 1, ordinates = 5;
  const double k = 1.0, x = 0.2;
  const std::array<double, 1> initial{10.0};
  std::array<double, 1> final{};
  const std::array<double, 5> inflows{10, 20, 30, 20, 10};
  std::array<double, 5> outflows{};
  int status = -1;
  std::string message(80, ' ');
  routemuskingum_(&interval, &k, &x, &steps, initial.data(), final.data(), &ordinates,
                  inflows.data(), outflows.data(), &status, message.data(), 80);
  const std::array<double, 5> expected{10, 12.307692, 20.532544, 25.507510, 18.963272};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(outflows[i], expected[i], kTolerance);
  EXPECT_NEAR(final[0], 18.963272, kTolerance);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(message, std::string(80, ' '));
}

TEST(MuskingumAdapter, NegativeMessageLengthIsAnEmptyField) {
  const int interval = 0, steps = 1, ordinates = 2;
  const double k = 1.0, x = 0.2;
  const std::array<double, 1> initial{1.0};
  std::array<double, 1> final{};
  const std::array<double, 2> inflows{1, 2};
  std::array<double, 2> outflows{};
  int status = 0;
  char guard = 'G';
  routemuskingum_(&interval, &k, &x, &steps, initial.data(), final.data(), &ordinates,
                  inflows.data(), outflows.data(), &status, &guard, -5);
  EXPECT_EQ(status, 7268);
  EXPECT_EQ(guard, 'G');
}

TEST(DecodeAdapter, NameIsCutAtTheGivenLength) {
  const int status = 7268;
  int number = 0, severity = 0;
  std::array<char, 12> name{};
  name.fill('#');
  decodeerrorcode_(&status, name.data(), &number, &severity, 10);
  EXPECT_EQ(std::string(name.data(), 12), "RouteMuski##");
  EXPECT_EQ(number, 12);
  EXPECT_EQ(severity, 4);
}

}  // namespace
