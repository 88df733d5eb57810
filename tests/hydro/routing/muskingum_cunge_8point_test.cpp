// Muskingum-Cunge routing through an eight-point section: steady flow passes unchanged and
// keeps its storage, a flood is attenuated with its volume balanced, tiny flows use the fixed
// coefficients, the interval and subreaches follow the inflow's rise and the initial profile,
// undefined inflows spread downstream, and every failure path leaves the outputs it promises.
#include "hydro/routing/muskingum_cunge_8point.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "hydro/hydraulics/section_8point.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr int kWidth = 80;
constexpr double kSlope = 0.001;
// A value no result takes, to see which outputs were left as passed.
constexpr double kUntouched = -4242.0;

// The worked section: a 10 m wide, 5 m deep rectangular channel between overbanks.
constexpr std::array<double, 8> kStations{0, 10, 20, 20, 30, 30, 40, 50};
constexpr std::array<double, 8> kElevations{10, 5, 5, 0, 0, 5, 5, 10};
constexpr std::array<double, 3> kRoughness{0.08, 0.04, 0.08};

struct Reach {
  // Inputs.
  std::int32_t intervalMinutes = 60;
  double length = 20000.0;
  double slope = kSlope;
  std::array<double, 8> stations = kStations;
  std::array<double, 8> elevations = kElevations;
  std::array<double, 3> roughness = kRoughness;
  std::int32_t fromProfile = 0;
  std::vector<double> initialFlows;
  std::vector<double> inflows;
  std::vector<double> lateral;
  // Outputs.
  std::vector<double> finalFlows;
  std::vector<double> outflows;
  double interval = kUntouched, subreach = kUntouched, peak = kUntouched, peakTime = kUntouched;
  double celerity = kUntouched, storage0 = kUntouched, storage1 = kUntouched;
  double volumeIn = kUntouched, volumeOut = kUntouched;
  std::int32_t status = -1;
  std::array<char, kWidth> text{};

  void route() {
    if (lateral.empty()) lateral.assign(inflows.size(), 0.0);
    finalFlows.assign(initialFlows.size(), kUntouched);
    outflows.assign(inflows.size(), kUntouched);
    text.fill(' ');
    RouteMuskingumCunge8Point(
        intervalMinutes, length, slope, stations, elevations, roughness,
        static_cast<std::int32_t>(initialFlows.size()), fromProfile, initialFlows, finalFlows,
        static_cast<std::int32_t>(inflows.size()), inflows, lateral, outflows, interval,
        subreach, peak, peakTime, celerity, storage0, storage1, volumeIn, volumeOut, status,
        TextField(text.data(), kWidth));
  }
  std::string message() const {
    std::string s(text.data(), text.size());
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
  // Every output undefined, as a refused call leaves them.
  bool refused() const {
    bool all = true;
    for (double v : {interval, subreach, peak, peakTime, celerity, storage0, storage1, volumeIn,
                     volumeOut})
      all = all && isUndefinedDbl(v);
    for (double v : outflows) all = all && isUndefinedDbl(v);
    for (double v : finalFlows) all = all && isUndefinedDbl(v);
    return all &&
           status == EncodeErrorCode(routine::kRouteMuskingumCunge8Point, 12, kSeverityError);
  }
};

// Normal-flow area (m2) and celerity (m/s) of the worked section.
struct Normal {
  double area, celerity;
};
Normal NormalFlow(double flow) {
  double depth, area, width, celerity;
  std::int32_t status;
  std::array<char, kWidth> text{};
  ChannelDepth8Point(kSlope, kStations, kElevations, kRoughness, flow, 2.0, depth, area, width,
                     celerity, status, TextField(text.data(), kWidth));
  return {area, celerity};
}
double AreaAt(double flow) { return NormalFlow(flow).area; }
// Storages agree to the depth search's tolerance (0.005 m) over the channel's width and length.
double StorageTolerance(double length) { return 0.005 * 10.0 * length; }

// A triangular flood at hourly ordinates: 20 m3/s rising to 300 at hour 10, back at hour 30.
std::vector<double> Flood(int ordinates) {
  std::vector<double> q;
  for (int i = 0; i < ordinates; ++i) {
    const double rise = i <= 10 ? 28.0 * i : std::max(0.0, 280.0 - 14.0 * (i - 10));
    q.push_back(20.0 + rise);
  }
  return q;
}

TEST(MuskingumCunge8PointSteady, PassesUnchangedAndKeepsItsStorage) {
  Reach r;
  r.inflows.assign(25, 50.0);
  r.initialFlows.assign(3, 50.0);
  r.route();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message(), "");
  for (double q : r.outflows) EXPECT_NEAR(q, 50.0, 1e-9);
  for (double q : r.finalFlows) EXPECT_NEAR(q, 50.0, 1e-9);
  const double steps = std::trunc(24.0 * 3600.0 / r.interval);
  EXPECT_NEAR(r.volumeIn, steps * r.interval * 50.0, 1e-6);
  EXPECT_NEAR(r.volumeOut, r.volumeIn, 1e-6);
  EXPECT_NEAR(r.peak, 50.0, 1e-9);
  EXPECT_NEAR(r.storage0, r.length * AreaAt(50.0), StorageTolerance(r.length));
  EXPECT_NEAR(r.storage1, r.storage0, StorageTolerance(r.length));
  EXPECT_GT(r.celerity, 0.0);
}

TEST(MuskingumCunge8PointSteady, NoFlowStaysZeroAndLeavesThePeakTime) {
  Reach r;
  r.inflows.assign(10, 0.0);
  r.initialFlows.assign(2, 0.0);
  r.route();
  EXPECT_EQ(r.status, 0);
  for (double q : r.outflows) EXPECT_EQ(q, 0.0);
  EXPECT_EQ(r.peak, 0.0);
  EXPECT_EQ(r.peakTime, kUntouched);
  EXPECT_EQ(r.celerity, 0.0);
  EXPECT_EQ(r.storage0, 0.0);
  EXPECT_EQ(r.storage1, 0.0);
}

TEST(MuskingumCunge8PointSteady, TinyFlowsUseOneThirdAndTwoThirds) {
  // Lateral inflow only, q L = 0.005 m3/s <= 0.01 in one subreach: Cr = Re = 1, so
  // c1 = c2 = c3 = 1/3, c4 = 2/3. From rest O(2) = 2/3 qL and O(3) = 1/3 O(2) + 2/3 qL.
  Reach r;
  r.intervalMinutes = 1;
  r.fromProfile = 1;
  const double ql = 0.005;
  r.initialFlows.assign(2, 0.0);
  r.inflows.assign(4, 0.0);
  r.lateral.assign(4, ql / r.length);
  r.route();
  ASSERT_EQ(r.interval, 60.0);
  EXPECT_EQ(r.subreach, r.length);
  EXPECT_NEAR(r.outflows[1], 2.0 / 3.0 * ql, 1e-15);
  EXPECT_NEAR(r.outflows[2], 8.0 / 9.0 * ql, 1e-15);
}

TEST(MuskingumCunge8PointFlood, IsAttenuatedDelayedAndBalanced) {
  Reach r;
  r.inflows = Flood(48);
  r.initialFlows.assign(5, 20.0);
  r.route();
  EXPECT_EQ(r.status, 0) << r.message();
  // Ten hours of rise: the interval is at most 10 x 3600 x 0.05 s.
  EXPECT_LE(r.interval, 1800.0);
  double largest = 0.0;
  std::size_t when = 0;
  for (std::size_t i = 0; i < r.outflows.size(); ++i)
    if (r.outflows[i] > largest) largest = r.outflows[i], when = i;
  EXPECT_LT(largest, 300.0);
  EXPECT_GT(when, 10u);
  EXPECT_GE(r.peak, largest);
  EXPECT_GT(r.peakTime, 600.0);
  // The piecewise-linear inflow is integrated exactly on the finer steps.
  double inflowVolume = 0.0;
  for (std::size_t i = 0; i < r.inflows.size(); ++i)
    inflowVolume += (i == 0 || i + 1 == r.inflows.size() ? 0.5 : 1.0) * r.inflows[i] * 3600.0;
  EXPECT_NEAR(r.volumeIn, inflowVolume, 1e-6 * inflowVolume);
  // What entered either left or is stored (to the accuracy of the trapezoidal storage).
  const double balance = r.volumeIn - r.volumeOut - (r.storage1 - r.storage0);
  EXPECT_LT(std::abs(balance), 0.01 * r.volumeIn);
  EXPECT_GT(r.celerity, 1.0);
}

TEST(MuskingumCunge8PointFlood, AnUndefinedInflowUndefinesEveryLaterOutflow) {
  Reach r;
  r.inflows = Flood(30);
  r.inflows[9] = undefinedDbl();  // ordinate 10
  r.initialFlows.assign(2, 20.0);
  r.route();
  // Ordinate 9 already interpolates towards the undefined step at ordinate 10's time.
  for (std::size_t i = 0; i < 8; ++i) EXPECT_FALSE(isUndefinedDbl(r.outflows[i])) << i;
  for (std::size_t i = 8; i < r.outflows.size(); ++i) EXPECT_TRUE(isUndefinedDbl(r.outflows[i])) << i;
  EXPECT_TRUE(isUndefinedDbl(r.finalFlows[1]));
}

TEST(MuskingumCunge8PointReach, SubreachesFromTheProfile) {
  for (auto [points, subreaches] : {std::pair{5, 4}, {1, 1}, {302, 200}}) {
    Reach r;
    r.fromProfile = 1;
    r.inflows.assign(5, 40.0);
    r.initialFlows.assign(static_cast<std::size_t>(points), 40.0);
    r.route();
    EXPECT_DOUBLE_EQ(r.subreach, r.length / subreaches) << points;
  }
}

TEST(MuskingumCunge8PointReach, OneOrdinateRoutesNothing) {
  Reach r;
  r.inflows = {100.0};
  r.initialFlows = {100.0, 200.0, 400.0};
  r.route();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.outflows[0], 400.0);
  EXPECT_EQ(r.finalFlows, r.initialFlows);
  EXPECT_EQ(r.storage1, 0.0);
  EXPECT_EQ(r.peak, 0.0);
  EXPECT_EQ(r.celerity, 0.0);
  EXPECT_EQ(r.peakTime, kUntouched);
  // Trapezoidal storage over the profile: L/2 (A1/2 + A2 + A3/2).
  EXPECT_NEAR(r.storage0,
              r.length / 2.0 * (0.5 * AreaAt(100.0) + AreaAt(200.0) + 0.5 * AreaAt(400.0)),
              StorageTolerance(r.length));
}

TEST(MuskingumCunge8PointReach, ASinglePointProfileEndsWithTheOutflow) {
  Reach r;
  r.inflows = Flood(15);
  r.initialFlows = {20.0};
  r.route();
  EXPECT_NEAR(r.storage0, r.length * AreaAt(20.0), StorageTolerance(r.length));
  EXPECT_EQ(r.finalFlows[0], r.outflows.back());
  EXPECT_GT(r.finalFlows[0], 20.0);
}

TEST(MuskingumCunge8PointReach, BadSectionDataIsRefusedWithTheDepthSearchText) {
  Reach r;
  r.roughness[1] = 0.0;
  r.inflows.assign(6, 50.0);
  r.initialFlows.assign(2, 50.0);
  r.route();
  EXPECT_TRUE(r.refused());
  EXPECT_EQ(r.message(), "Manning's n is zero or negative: 0.0");
}

TEST(MuskingumCunge8PointInvalid, ParametersTheArithmeticCannotServe) {
  const std::int32_t invalid =
      EncodeErrorCode(routine::kRouteMuskingumCunge8Point, 12, kSeverityError);
  auto check = [&](Reach r, const char* what) {
    if (r.inflows.empty()) r.inflows.assign(5, 40.0);
    r.route();
    EXPECT_EQ(r.status, invalid) << what;
    EXPECT_EQ(r.message().rfind("Invalid Muskingum-Cunge parameters: interval =", 0), 0u) << what;
    EXPECT_TRUE(r.refused()) << what;
  };
  Reach base;
  base.initialFlows.assign(2, 40.0);
  Reach r = base;
  r.intervalMinutes = 0;
  check(r, "interval");
  r = base;
  r.length = 0.0;
  check(r, "length");
  r = base;
  r.slope = 0.0;
  check(r, "slope");
  r = base;
  r.initialFlows.clear();
  check(r, "profile");
  Reach none = base;
  none.route();  // no ordinates
  EXPECT_EQ(none.status, invalid);
}

TEST(MuskingumCunge8PointInvalid, AnIntervalTooSmallToRouteIn) {
  // A 1 m reach over ten days at one-minute ordinates: the wave crosses it in about 0.3 s,
  // some 2.6 x 10^6 steps in 200 subreaches, refused before any storage is obtained.
  Reach r;
  r.intervalMinutes = 1;
  r.length = 1.0;
  r.fromProfile = 1;
  r.initialFlows.assign(201, 300.0);
  r.inflows.assign(10 * 24 * 60, 300.0);
  r.route();
  EXPECT_EQ(r.status, EncodeErrorCode(routine::kRouteMuskingumCunge8Point, 12, kSeverityError));
  EXPECT_EQ(r.message().rfind("Invalid Muskingum-Cunge computation interval:", 0), 0u);
  EXPECT_TRUE(r.refused());
}

TEST(MuskingumCunge8PointStorage, TooManyStepsAreRefusedAsStorage) {
  // A 1 mm reach: the interval falls below 0.001 s, some 3 x 10^8 steps for two days.
  Reach r;
  r.length = 0.001;
  r.inflows.assign(48, 300.0);
  r.initialFlows.assign(2, 300.0);
  r.route();
  EXPECT_EQ(r.status, EncodeErrorCode(routine::kRouteMuskingumCunge8Point, 11, kSeverityError));
  EXPECT_EQ(r.message(), "Cannot allocate memory for dynamic arrays");
  EXPECT_NE(r.interval, kUntouched);
  EXPECT_NE(r.subreach, kUntouched);
  EXPECT_EQ(r.storage0, kUntouched);
  EXPECT_TRUE(isUndefinedDbl(r.volumeIn));
  EXPECT_TRUE(isUndefinedDbl(r.volumeOut));
  EXPECT_TRUE(isUndefinedDbl(r.storage1));
  for (double q : r.outflows) EXPECT_TRUE(isUndefinedDbl(q));
  EXPECT_EQ(r.finalFlows[0], kUntouched);
  EXPECT_EQ(r.peak, kUntouched);
  EXPECT_EQ(r.peakTime, kUntouched);
  EXPECT_EQ(r.celerity, kUntouched);
}

#if defined(__SANITIZE_ADDRESS__)
#define TOVALIN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOVALIN_UNDER_ASAN 1
#endif
#endif

TEST(MuskingumCunge8PointStorage, WorkArraysThatCannotBeObtainedAreReported) {
#ifdef TOVALIN_UNDER_ASAN
  GTEST_SKIP() << "address space limits do not apply under AddressSanitizer";
#else
  // A reach short enough for 2 x 10^7 steps (160 MB per step series), under an address-space
  // limit only 64 MB above the current one.
  constexpr int kOrdinates = 22000;
  constexpr double kSteps = 2.0e7;
  const double length = NormalFlow(300.0).celerity * (kOrdinates - 1) * 60.0 / kSteps;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Reach r;
    r.intervalMinutes = 1;
    r.length = length;
    r.fromProfile = 1;
    r.initialFlows.assign(2, 300.0);
    r.inflows.assign(kOrdinates, 300.0);
    r.outflows.reserve(r.inflows.size());
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                     (64u << 20);
    setrlimit(RLIMIT_AS, &limit);
    r.route();
    const bool ok =
        r.status == EncodeErrorCode(routine::kRouteMuskingumCunge8Point, 11, kSeverityError) &&
        r.message() == "Cannot allocate memory for dynamic arrays" && isUndefinedDbl(r.volumeIn) &&
        isUndefinedDbl(r.outflows[0]) && r.peak == kUntouched && r.interval > 0.0;
    _exit(ok ? 0 : 1);
  }
  int result = 0;
  ASSERT_EQ(waitpid(child, &result, 0), child);
  ASSERT_TRUE(WIFEXITED(result));
  EXPECT_EQ(WEXITSTATUS(result), 0);
#endif
}

}  // namespace
}  // namespace tovalin
