// Modified Puls routing and the table lookup through the exported adapters, as a native
// caller links them: arguments by reference, the message length last.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tovalin/tovalin.h"

namespace {

// Linear reservoir K = 3600 s: outflow 0, 50, 100 with storage 3600 times as much.
constexpr std::array<double, 3> kStorage{0.0, 180000.0, 360000.0};
constexpr std::array<double, 3> kOutflow{0.0, 50.0, 100.0};
constexpr std::array<double, 3> kElevation{0.0, 1.0, 2.0};

TEST(PulsAdapter, SteadyFlowPassesUnchanged) {
  const int interval = 60, pairs = 3, steps = 2, ordinates = 4;
  const std::array<double, 2> initial{50.0, 50.0};
  std::array<double, 2> final{};
  const std::array<double, 4> inflows{50, 50, 50, 50};
  std::array<double, 4> outflows{};
  int status = -1;
  std::string message(40, ' ');
  routepulschannel_(&interval, &pairs, kStorage.data(), kOutflow.data(), &steps, initial.data(),
                    final.data(), &ordinates, inflows.data(), outflows.data(), &status,
                    message.data(), 40);
  EXPECT_EQ(outflows, inflows);
  EXPECT_EQ(final, initial);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(message, std::string(40, ' '));
}

// With elevation = outflow / 50 above a loss elevation of 0, the loss is S / D * rate =
// 3600 * 50 * 1e-4 = 18 at any outflow: a net initial outflow of 32 has gross outflow 50.
TEST(PulsAdapter, LossTakesTheGrossOutflowDownToTheNet) {
  const int interval = 60, pairs = 3, steps = 1, ordinates = 3;
  const double lossElevation = 0.0, lossRate = 1e-4;
  const std::array<double, 1> initial{32.0};
  std::array<double, 1> final{};
  const std::array<double, 3> inflows{50, 50, 50};
  std::array<double, 3> outflows{};
  int status = -1;
  std::string message(40, ' ');
  RoutePulsChannelWithLoss_(&interval, &pairs, kStorage.data(), kOutflow.data(),
                            kElevation.data(), &lossElevation, &lossRate, &steps, initial.data(),
                            final.data(), &ordinates, inflows.data(), outflows.data(), &status,
                            message.data(), 40);
  EXPECT_EQ(outflows[0], 32.0);
  EXPECT_NEAR(outflows[2], 32.0, 1e-9);
  EXPECT_NEAR(final[0], 50.0, 1e-9);
  EXPECT_EQ(status, 0);
}

TEST(InterpolateAdapter, NoValueStillWritesTheFirstResult) {
  const int pairs = 3, values = 0;
  const double x = 1.0;
  double y = 0.0;
  int status = 0;
  std::string message(50, ' ');
  interpolatelinear_(&pairs, kOutflow.data(), kStorage.data(), &values, &x, &y, &status,
                     message.data(), 50);
  EXPECT_EQ(y, -9.999999680285692e37);
  EXPECT_EQ(status, 25 * 512 + 14 * 8 + 4);
  EXPECT_EQ(message.substr(0, 41), "No independent variable for interpolation");
}

TEST(InterpolateAdapter, NegativeMessageLengthIsAnEmptyField) {
  const int pairs = 3, values = 2;
  const std::array<double, 2> x{25.0, 150.0};
  std::array<double, 2> y{};
  int status = 0;
  char guard = 'G';
  interpolatelinear_(&pairs, kOutflow.data(), kStorage.data(), &values, x.data(), y.data(),
                     &status, &guard, -3);
  EXPECT_EQ(y[0], 90000.0);
  EXPECT_EQ(status, 25 * 512 + 12 * 8 + 4);
  EXPECT_EQ(guard, 'G');
}

}  // namespace
