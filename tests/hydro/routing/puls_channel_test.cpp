// Modified Puls routing without and with channel loss: steady flow, the linear reservoir that
// a proportional storage-outflow table makes, the split into steps, the lookup failures and
// their messages, undefined inflows, counts the routines cannot route with, and a working
// table that cannot be obtained.
#include "hydro/routing/puls_channel.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr int kHour = 60;
// The interval of 60 minutes in seconds, with 1/60 held in single precision.
constexpr double kHourSeconds = 3600.000187754631;
constexpr int kWidth = 80;
constexpr double kTolerance = 1e-9;

std::int32_t Status(int routine, int messageNumber) {
  return EncodeErrorCode(routine, messageNumber, kSeverityError);
}

// Storage-outflow(-elevation) tables, all linear in one parameter p = 0..20: outflow 10 p,
// storage K * 10 p with K = 3600 s (a linear reservoir), elevation p.
struct Tables {
  std::vector<double> storage, outflow, elevation;
};
Tables LinearReservoir(double storagePerFlow = 3600.0) {
  Tables t;
  for (int p = 0; p <= 20; ++p) {
    t.outflow.push_back(10.0 * p);
    t.storage.push_back(storagePerFlow * 10.0 * p);
    t.elevation.push_back(p);
  }
  return t;
}

struct Routed {
  std::vector<double> outflows, finals;
  std::int32_t status = -1;
  std::string message;
  std::string text() const { return message.substr(0, message.find_last_not_of(' ') + 1); }
};

struct Call {
  int interval = kHour;
  int pairCount = -1;  // the tables' length
  int width = kWidth;
};

Routed Route(const Tables& t, const std::vector<double>& initial,
             const std::vector<double>& inflows, Call c = {}) {
  Routed r;
  r.outflows.assign(inflows.size(), -7.0);
  r.finals.assign(initial.size(), -7.0);
  r.message.assign(static_cast<std::size_t>(c.width), ' ');
  const int pairs = c.pairCount >= 0 ? c.pairCount : static_cast<int>(t.outflow.size());
  RoutePulsChannel(c.interval, pairs, t.storage, t.outflow, static_cast<int>(initial.size()),
                   initial, r.finals, static_cast<int>(inflows.size()), inflows, r.outflows,
                   r.status, TextField(r.message.data(), c.width));
  return r;
}

Routed RouteWithLoss(const Tables& t, double lossElevation, double lossRate,
                     const std::vector<double>& initial, const std::vector<double>& inflows,
                     Call c = {}) {
  Routed r;
  r.outflows.assign(inflows.size(), -7.0);
  r.finals.assign(initial.size(), -7.0);
  r.message.assign(static_cast<std::size_t>(c.width), ' ');
  const int pairs = c.pairCount >= 0 ? c.pairCount : static_cast<int>(t.outflow.size());
  RoutePulsChannelWithLoss(c.interval, pairs, t.storage, t.outflow, t.elevation, lossElevation,
                           lossRate, static_cast<int>(initial.size()), initial, r.finals,
                           static_cast<int>(inflows.size()), inflows, r.outflows, r.status,
                           TextField(r.message.data(), c.width));
  return r;
}

bool AllUndefined(const std::vector<double>& values) {
  for (double v : values)
    if (!isUndefinedDbl(v)) return false;
  return true;
}

// ---------------------------------------------------------------------------------------
// Routing without loss

TEST(PulsChannelRouting, SteadyFlowPassesUnchanged) {
  const Tables t = LinearReservoir();
  for (const std::vector<double>& initial : {std::vector<double>{50}, {50, 50, 50}}) {
    const Routed r = Route(t, initial, std::vector<double>(6, 50.0));
    EXPECT_EQ(r.outflows, std::vector<double>(6, 50.0));
    EXPECT_EQ(r.finals, initial);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.text(), "");
  }
}

// Two pairs (0, 0) and (360000, 100): one period from rest with inflow 0 then 50 gives
// SI = 25 and O = 100 * 25 / SI(2), SI(2) = 360000 / dt + 50 with dt = 3600.000187754631 s.
TEST(PulsChannelRouting, HourIsTheSinglePrecisionSixtieth) {
  const Tables t{{0.0, 360000.0}, {0.0, 100.0}, {}};
  const Routed r = Route(t, {0.0}, {0.0, 50.0});
  const double indicator2 = 360000.0 * (1.0 / kHourSeconds) + 50.0;
  EXPECT_EQ(r.outflows[1], 100.0 * (25.0 / indicator2));
  EXPECT_NE(r.outflows[1], 100.0 * (25.0 / 150.0));
}

// Storage proportional to outflow, S = K O, makes SI = c O with c = K/dt + 1/2, and the
// routing the linear reservoir O2 = ((I1 + I2)/2 - O1 + c O1) / c.
TEST(PulsChannelRouting, ProportionalTableIsTheLinearReservoir) {
  const Tables t = LinearReservoir();
  const std::vector<double> inflows{10, 40, 90, 150, 120, 80, 50, 30, 20, 10, 10, 10};
  const Routed r = Route(t, {10.0}, inflows);
  ASSERT_EQ(r.status, 0);
  const double c = 3600.0 / kHourSeconds + 0.5;
  double outflow = 10.0;
  for (std::size_t i = 1; i < inflows.size(); ++i) {
    outflow = ((inflows[i - 1] + inflows[i]) * 0.5 - outflow + c * outflow) / c;
    EXPECT_NEAR(r.outflows[i], outflow, kTolerance * outflow) << i;
  }
  EXPECT_EQ(r.finals[0], r.outflows.back());
}

// Two steps route like two one-step reaches of half the storage, one after the other.
TEST(PulsChannelRouting, StepsRouteOneAfterTheOther) {
  const std::vector<double> inflows{10, 60, 120, 90, 40, 20, 10};
  const Routed both = Route(LinearReservoir(), {10.0, 12.0}, inflows);
  const Tables half = LinearReservoir(1800.0);
  const Routed first = Route(half, {10.0}, inflows);
  const Routed second = Route(half, {12.0}, first.outflows);
  EXPECT_EQ(both.outflows, second.outflows);
  EXPECT_EQ(both.outflows[0], 12.0);
  EXPECT_EQ(both.finals, (std::vector<double>{first.finals[0], second.finals[0]}));
}

TEST(PulsChannelRouting, UndefinedInflowSpreadsThroughEveryStep) {
  const std::vector<double> inflows{10, 30, undefinedDbl(), 30, 10};
  const Routed r = Route(LinearReservoir(), {10.0, 10.0}, inflows);
  EXPECT_FALSE(isUndefinedDbl(r.outflows[1]));
  EXPECT_TRUE(AllUndefined({r.outflows.begin() + 2, r.outflows.end()}));
  EXPECT_TRUE(AllUndefined(r.finals));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.text(), "");
}

TEST(PulsChannelRouting, SingleOrdinateRoutesNothing) {
  const Routed r = Route(LinearReservoir(), {20.0, 30.0}, {5.0});
  EXPECT_EQ(r.outflows, std::vector<double>{30.0});
  EXPECT_EQ(r.finals, (std::vector<double>{20.0, 30.0}));
  const Routed none = Route(LinearReservoir(), {20.0, 30.0}, {});
  EXPECT_EQ(none.finals, (std::vector<double>{20.0, 30.0}));
  EXPECT_EQ(none.status, 0);
}

// ---------------------------------------------------------------------------------------
// Lookup failures without loss

// A flood whose storage indicator passes the table's largest, SI(21) = 720000 / dt + 100,
// written 300.: every failing ordinate gets outflow 0 and the storage keeps rising.
TEST(PulsChannelFailures, FloodAboveTheTableGivesZeroOutflow) {
  const Routed r = Route(LinearReservoir(), {0.0}, {0, 1000, 1000, 0, 0}, {.width = 127});
  EXPECT_EQ(r.outflows, std::vector<double>(5, 0.0));
  EXPECT_EQ(r.status, Status(routine::kRoutePulsChannel, 12));
  EXPECT_EQ(r.text(),
            "Error in Storage-Outflow interpolation.\n"
            "Independent variable, 2000., is above maximum table value, 300.");
}

// An initial outflow above the table leaves SI undefined; the next update falls below zero
// and is raised to 0, and routing goes on with later lookups succeeding.
TEST(PulsChannelFailures, FailedInitialLookupStaysReported) {
  const Routed r = Route(LinearReservoir(), {250.0}, {0, 0, 20, 20}, {.width = 127});
  EXPECT_EQ(r.outflows[0], 250.0);
  EXPECT_EQ(r.outflows[1], 0.0);
  EXPECT_GT(r.outflows[3], 0.0);
  EXPECT_EQ(r.status, Status(routine::kRoutePulsChannel, 12));
  EXPECT_EQ(r.text(),
            "Error in Storage-Outflow interpolation.\n"
            "Independent variable, 250., is above maximum table value, 200.");
}

TEST(PulsChannelFailures, NoPairsFailEveryLookup) {
  const Routed r = Route(LinearReservoir(), {0.0}, {0, 10, 10}, {.pairCount = 0});
  EXPECT_EQ(r.outflows, std::vector<double>(3, 0.0));
  EXPECT_EQ(r.status, Status(routine::kRoutePulsChannel, 12));
  EXPECT_EQ(r.text(),
            "Error in Storage-Outflow interpolation.\nNot enough x-y pairs for interpolation");
}

TEST(PulsChannelFailures, IntervalAndStepCountBelowOneRouteNothing) {
  const Tables t = LinearReservoir();
  const Routed noInterval = Route(t, {10.0}, {10, 20, 10}, {.interval = 0});
  EXPECT_TRUE(AllUndefined(noInterval.outflows));
  EXPECT_TRUE(AllUndefined(noInterval.finals));
  EXPECT_EQ(noInterval.status, Status(routine::kRoutePulsChannel, 14));
  EXPECT_EQ(noInterval.text(),
            "Invalid Modified Puls parameters: interval = 0 minutes, number of steps = 1");

  const Routed noSteps = Route(t, {}, {10, 20, 10});
  EXPECT_TRUE(AllUndefined(noSteps.outflows));
  EXPECT_EQ(noSteps.text(),
            "Invalid Modified Puls parameters: interval = 60 minutes, number of steps = 0");

  const Routed lossy = RouteWithLoss(t, 0.0, 1e-4, {10.0}, {10, 20}, {.interval = -5});
  EXPECT_TRUE(AllUndefined(lossy.outflows));
  EXPECT_TRUE(AllUndefined(lossy.finals));
  EXPECT_EQ(lossy.status, Status(routine::kRoutePulsChannelWithLoss, 14));
}

// ---------------------------------------------------------------------------------------
// Routing with loss. With the linear tables, lossElevation 0 and rate 1e-4 /s, the loss of
// the whole reach is S / D * rate = 36000 p / p * 1e-4 = 3.6 at any outflow above 0, and 1.8
// for each of two steps.

constexpr double kRate = 1e-4;

TEST(PulsChannelLoss, NoLossRoutesLikeThePlainMethod) {
  const Tables t = LinearReservoir();
  const std::vector<double> inflows{10, 40, 90, 150, 120, 80, 50, 30, 20, 10};
  const Routed plain = Route(t, {10.0, 10.0}, inflows);
  // A zero rate, and elevations that never reach the loss elevation.
  for (const Routed& r : {RouteWithLoss(t, 0.0, 0.0, {10.0, 10.0}, inflows),
                          RouteWithLoss(t, 25.0, 1.0, {10.0, 10.0}, inflows)}) {
    EXPECT_EQ(r.outflows, plain.outflows);
    EXPECT_EQ(r.finals, plain.finals);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.text(), "");
  }
}

// Steady inflow 30 with a net initial outflow of 26.4: the passes find the gross outflow 30,
// which the storage keeps; the net outflow is 30 - 3.6 and the final outflow is gross.
TEST(PulsChannelLoss, SteadyFlowCarriesGrossAndHandsOnNet) {
  const Routed r =
      RouteWithLoss(LinearReservoir(), 0.0, kRate, {26.4}, std::vector<double>(5, 30.0));
  EXPECT_EQ(r.outflows[0], 26.4);
  for (std::size_t i = 1; i < r.outflows.size(); ++i) EXPECT_NEAR(r.outflows[i], 26.4, kTolerance);
  EXPECT_NEAR(r.finals[0], 30.0, kTolerance);
  EXPECT_NEAR(r.finals[0] - r.outflows.back(), 3.6, kTolerance);
  EXPECT_EQ(r.status, 0);
}

// The initial passes of each step use the whole reach's storage (loss 3.6), the periods one
// step's half of it (loss 1.8). Step 2 then sees inflow 26.4, 28.2: SI falls by 2.7 from
// SI(30) = 30 (one step's K is 1800 s, so c = 1), the gross outflow is 27.3 and net 25.5.
TEST(PulsChannelLoss, PassesUseTheWholeReachAndPeriodsOneStep) {
  const Routed r = RouteWithLoss(LinearReservoir(), 0.0, kRate, {26.4, 26.4}, {30, 30, 30});
  EXPECT_EQ(r.outflows[0], 26.4);
  EXPECT_NEAR(r.outflows[1], 25.5, 1e-5);
  EXPECT_NEAR(r.finals[0], 30.0, kTolerance);
}

// A loss larger than the gross outflow hands on 0; the gross outflow, which alone enters the
// storage equation, is that of the plain method.
TEST(PulsChannelLoss, LossLargerThanTheFlowLeavesZero) {
  const Tables t = LinearReservoir();
  const std::vector<double> inflows{0, 50, 50, 50, 50};
  const Routed r = RouteWithLoss(t, 0.0, 1e-2, {0.0}, inflows);
  EXPECT_EQ(r.outflows, std::vector<double>(5, 0.0));
  EXPECT_EQ(r.finals, Route(t, {0.0}, inflows).finals);
  EXPECT_GT(r.finals[0], 0.0);
}

TEST(PulsChannelLoss, FailedOutflowLookupLeavesTheStepUndefined) {
  const Routed r = RouteWithLoss(LinearReservoir(), 0.0, kRate, {0.0}, {0, 1000, 0, 0});
  EXPECT_EQ(r.outflows[0], 0.0);
  EXPECT_TRUE(AllUndefined({r.outflows.begin() + 1, r.outflows.end()}));
  EXPECT_TRUE(AllUndefined(r.finals));
  EXPECT_EQ(r.status, Status(routine::kRoutePulsChannelWithLoss, 12));
}

// The pair at outflow 10 appears twice with elevations 1 and 1.5: both elevation lookups meet
// two dependent values, report number 13 with their own line, and no loss is taken.
TEST(PulsChannelLoss, FailedElevationLookupTakesNoLoss) {
  const Tables t{{0, 36000, 36000, 72000}, {0, 10, 10, 20}, {0, 1, 1.5, 2}};
  const Routed passes = RouteWithLoss(t, 0.0, kRate, {10.0}, {10.0}, {.width = 127});
  EXPECT_EQ(passes.finals, std::vector<double>{10.0});
  EXPECT_EQ(passes.status, Status(routine::kRoutePulsChannelWithLoss, 13));
  EXPECT_EQ(passes.text(),
            "Error in Outflow-Elevation interpolation.\n"
            "Independent variable, 10., has two dependent values: 1. and 1.5");

  const Routed period = RouteWithLoss(t, 0.0, kRate, {10.0}, {10.0, 10.0}, {.width = 127});
  EXPECT_EQ(period.outflows, (std::vector<double>{10.0, 10.0}));
  EXPECT_EQ(period.status, Status(routine::kRoutePulsChannelWithLoss, 13));
  EXPECT_EQ(
      period.text().rfind("Error in Storage-Elevation interpolation.\nIndependent variable, ", 0),
      0u);
  EXPECT_TRUE(period.text().ends_with(", has two dependent values: 1. and 1.5"));
}

TEST(PulsChannelLoss, SingleOrdinateGivesTheInitialGrossOutflow) {
  const Routed r = RouteWithLoss(LinearReservoir(), 0.0, kRate, {20.0, 20.0}, {5.0});
  EXPECT_EQ(r.outflows, std::vector<double>{20.0});
  EXPECT_NEAR(r.finals[0], 23.6, kTolerance);
  EXPECT_NEAR(r.finals[1], 23.6, kTolerance);
}

// Calls running at the same time share nothing: each gets what it gets alone, failures and
// messages included.
TEST(PulsChannelLoss, ConcurrentCallsAgreeWithOneCallAlone) {
  const Tables t = LinearReservoir();
  const std::vector<double> inflows{0, 40, 120, 260, 180, 90, 30};
  const Routed alone = RouteWithLoss(t, 0.5, kRate, {0.0, 5.0}, inflows);
  std::vector<int> agreed(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t k = 0; k < agreed.size(); ++k) {
    threads.emplace_back([&, k] {
      for (int call = 0; call < 200; ++call) {
        const Routed r = RouteWithLoss(t, 0.5, kRate, {0.0, 5.0}, inflows);
        agreed[k] += r.outflows == alone.outflows && r.finals == alone.finals &&
                     r.status == alone.status && r.message == alone.message;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(alone.status, Status(routine::kRoutePulsChannelWithLoss, 12));
  EXPECT_EQ(agreed, std::vector<int>(4, 200));
}

// ---------------------------------------------------------------------------------------
// A working table that cannot be obtained. In a child process whose address space is limited
// to what it already uses plus a little, a table of 2^22 pairs (32 MiB) cannot be allocated.

constexpr std::size_t kHugePairs = std::size_t{1} << 22;
constexpr std::size_t kHeadroom = std::size_t{8} << 20;

std::size_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

template <bool kWithLoss>
[[noreturn]] void RouteWithoutRoom() {
  const std::vector<double> table(kHugePairs, 1.0);
  const std::vector<double> initial{5.0, 5.0}, inflows{5, 6, 7};
  std::vector<double> finals(2, 0.0), outflows(3, 0.0);
  std::string message(kWidth, ' ');
  std::int32_t status = 0;
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = AddressSpaceInUse() + kHeadroom;
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
  const auto pairs = static_cast<std::int32_t>(kHugePairs);
  if constexpr (kWithLoss) {
    RoutePulsChannelWithLoss(kHour, pairs, table, table, table, 0.0, kRate, 2, initial, finals, 3,
                             inflows, outflows, status, TextField(message.data(), kWidth));
  } else {
    RoutePulsChannel(kHour, pairs, table, table, 2, initial, finals, 3, inflows, outflows, status,
                     TextField(message.data(), kWidth));
  }
  const int routine = kWithLoss ? routine::kRoutePulsChannelWithLoss : routine::kRoutePulsChannel;
  const bool reported = status == Status(routine, kMessageNoStorage) &&
                        message.starts_with("Cannot allocate memory for dynamic arrays. ") &&
                        AllUndefined(finals) && AllUndefined(outflows);
  std::fprintf(stderr, "status %d, message '%s'\n", status, message.c_str());
  std::_Exit(reported ? 0 : 1);
}

TEST(PulsChannelStorageDeathTest, NoWorkingTableRoutesNothing) {
  if (kAddressSanitizer) GTEST_SKIP() << "the address-space limit cannot hold a sanitized process";
  EXPECT_EXIT(RouteWithoutRoom<false>(), testing::ExitedWithCode(0), "status 8796");
  EXPECT_EXIT(RouteWithoutRoom<true>(), testing::ExitedWithCode(0), "status 9308");
}

}  // namespace
}  // namespace tovalin
