// Muskingum-Cunge routing through trapezoids and conduits: steady flow passes unchanged, a
// flood keeps its volume and is attenuated, the computation interval and subreaches follow the
// celerity and the rise of the inflow, the initial profile maps onto the nodes and back, and
// every failure (bad data, no storage, no convergence, undefined inflow) ends as described.
#include "hydro/routing/muskingum_cunge_prism.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

#if defined(__SANITIZE_ADDRESS__)
#define TOVALIN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOVALIN_UNDER_ASAN 1
#endif
#endif

namespace tovalin {
namespace {

constexpr std::size_t kWidth = 80;
constexpr double kCallerValue = -777.0;
constexpr double kSteadyTolerance = 1e-9;

// One routing call: the reach, its section, the hydrographs, and every result.
struct Reach {
  int interval = 60;
  double length = 20000.0, slope = 0.001, n = 0.035;
  std::string shape = "TRAPEZOID";
  double bottomWidth = 20.0, sideSlope = 2.0;
  bool fromProfile = false;
  std::vector<double> initialFlows{50.0, 50.0, 50.0};
  std::vector<double> inflows = std::vector<double>(10, 50.0);
  std::vector<double> lateral;  // zeros when left empty

  std::vector<double> finalFlows, outflows;
  double dt = kCallerValue, dx = kCallerValue, peak = kCallerValue, peakTime = kCallerValue,
         maxCelerity = kCallerValue, initialStorage = kCallerValue, finalStorage = kCallerValue,
         inflowVolume = kCallerValue, outflowVolume = kCallerValue;
  std::int32_t status = -1;
  std::string message = std::string(kWidth, ' ');

  Reach& route() {
    if (lateral.empty()) lateral.assign(inflows.size(), 0.0);
    finalFlows.assign(initialFlows.size(), kCallerValue);
    outflows.assign(inflows.size(), kCallerValue);
    RouteMuskingumCungePrism(interval, length, slope, n, shape, bottomWidth, sideSlope,
                             static_cast<std::int32_t>(initialFlows.size()), fromProfile,
                             initialFlows, finalFlows, static_cast<std::int32_t>(inflows.size()),
                             inflows, lateral, outflows, dt, dx, peak, peakTime, maxCelerity,
                             initialStorage, finalStorage, inflowVolume, outflowVolume, status,
                             TextField(message.data(), kWidth));
    return *this;
  }
  int steps() const { return static_cast<int>((inflows.size() - 1) * interval * 60.0 / dt + 1.0); }
  // Every output undefined, as a refused call leaves them.
  bool refused() const {
    bool all = true;
    for (double v : {dt, dx, peak, peakTime, maxCelerity, initialStorage, finalStorage,
                     inflowVolume, outflowVolume})
      all = all && isUndefinedDbl(v);
    for (double v : outflows) all = all && isUndefinedDbl(v);
    for (double v : finalFlows) all = all && isUndefinedDbl(v);
    return all && status == EncodeErrorCode(16, 12, 4);
  }
};

// A text as a field of kWidth holds it: cut or blank-padded.
std::string Padded(const std::string& text) {
  return text.size() >= kWidth ? text.substr(0, kWidth) : text + std::string(kWidth - text.size(), ' ');
}

// A single-peaked flood on a base flow: 24 h at 15-minute ordinates, peak 500 m3/s at 6 h.
std::vector<double> Flood() {
  std::vector<double> flows;
  for (int i = 0; i <= 96; ++i) {
    const double hours = i * 0.25;
    const double shape = hours / 6.0;
    flows.push_back(50.0 + 450.0 * shape * shape * std::exp(2.0 * (1.0 - shape)));
  }
  return flows;
}

// Normal flow in the run's trapezoid.
struct Normal {
  double depth, area, topWidth, celerity;
};
Normal DepthIn(const Reach& r, double q, double start = 2.0);

TEST(MuskingumCungePrismSection, CircleOnlyForCircleAndBlanks) {
  EXPECT_TRUE(IsCircleShape("CIRCLE"));
  EXPECT_TRUE(IsCircleShape("CIRCLE    "));
  EXPECT_FALSE(IsCircleShape("circle"));
  EXPECT_FALSE(IsCircleShape("CIRCLEX"));
  EXPECT_FALSE(IsCircleShape("CIRCLE   x"));
  EXPECT_FALSE(IsCircleShape(std::string_view("CIRCLE\0", 7)));
  EXPECT_FALSE(IsCircleShape(" CIRCLE"));
  EXPECT_FALSE(IsCircleShape("CIRCL"));
}

TEST(MuskingumCungePrismSteady, TrapezoidPassesSteadyFlowUnchanged) {
  Reach r;
  r.route();
  EXPECT_EQ(r.status, 0);
  for (double q : r.outflows) EXPECT_NEAR(q, 50.0, kSteadyTolerance);
  for (double q : r.finalFlows) EXPECT_NEAR(q, 50.0, kSteadyTolerance);
  const double volume = (r.steps() - 1) * r.dt * 50.0;
  EXPECT_NEAR(r.inflowVolume, volume, 1e-9 * volume);
  EXPECT_NEAR(r.outflowVolume, volume, 1e-9 * volume);
  EXPECT_NEAR(r.peak, 50.0, kSteadyTolerance);
  // Both storages are trapezoidal sums over a uniform reach: L times the normal area.
  double y, area, width, celerity;
  std::int32_t status;
  std::string text(kWidth, ' ');
  ChannelDepthPrism(0.001, 0.035, 20.0, 2.0, 50.0, 1.0, y, area, width, celerity, status,
                    TextField(text.data(), kWidth));
  // The profile's depth searches start elsewhere and stop within their tolerance.
  EXPECT_NEAR(r.initialStorage, 20000.0 * area, 1e-4 * r.initialStorage);
  EXPECT_NEAR(r.finalStorage, r.initialStorage, 1e-4 * r.initialStorage);
  EXPECT_EQ(r.message, std::string(kWidth, ' '));
}

TEST(MuskingumCungePrismSteady, CirclePassesSteadyFlowUnchanged) {
  Reach r;
  r.shape = "CIRCLE    ";
  r.bottomWidth = 4.0;
  r.sideSlope = -5.0;  // not used by a conduit
  r.initialFlows.assign(4, 8.0);
  r.inflows.assign(12, 8.0);
  r.route();
  EXPECT_EQ(r.status, 0);
  for (double q : r.outflows) EXPECT_NEAR(q, 8.0, kSteadyTolerance);
  // The conduit's area comes from the flow law.
  double y, area, width, celerity;
  std::int32_t status;
  std::string text(kWidth, ' ');
  ChannelDepthCircle(0.001, 0.035, 4.0, 8.0, y, area, width, celerity, status,
                     TextField(text.data(), kWidth));
  EXPECT_NEAR(r.initialStorage, 20000.0 * area, 1e-9 * r.initialStorage);
  EXPECT_NEAR(r.maxCelerity, celerity, 1e-12);
}

TEST(MuskingumCungePrismSteady, AnyOtherShapeTextIsATrapezoid) {
  Reach lower;
  lower.shape = "circle";
  lower.route();
  Reach trailing;
  trailing.shape = "CIRCLE  x";
  trailing.route();
  Reach trapezoid;
  trapezoid.route();
  EXPECT_EQ(lower.initialStorage, trapezoid.initialStorage);
  EXPECT_EQ(trailing.initialStorage, trapezoid.initialStorage);
}

TEST(MuskingumCungePrismSteady, NoFlowStaysNoFlow) {
  // Every reference flow is at most 0.01: Cr = Re = 1, all coefficients 1/3 and 2/3.
  Reach r;
  r.initialFlows.assign(3, 0.0);
  r.inflows.assign(10, 0.0);
  r.route();
  EXPECT_EQ(r.status, 0);
  for (double q : r.outflows) EXPECT_EQ(q, 0.0);
  EXPECT_EQ(r.peak, 0.0);
  EXPECT_EQ(r.peakTime, kCallerValue);
}

TEST(MuskingumCungePrismFlood, VolumeBalancesAndThePeakIsAttenuatedAndDelayed) {
  for (const char* shape : {"TRAPEZOID", "CIRCLE"}) {
    Reach r;
    r.shape = shape;
    // 20 m wide, or a 20 m conduit that stays below its area limit at the peak.
    r.bottomWidth = 20.0;
    r.interval = 15;
    r.inflows = Flood();
    r.route();
    EXPECT_EQ(r.status, 0) << shape;
    // Inflow volume = outflow volume + the change in storage, to within the method's error.
    const double balance = r.outflowVolume + (r.finalStorage - r.initialStorage);
    EXPECT_NEAR(balance, r.inflowVolume, 0.01 * r.inflowVolume) << shape;
    EXPECT_LT(r.peak, 500.0) << shape;
    EXPECT_GT(r.peakTime, 360.0) << shape;
    EXPECT_EQ(*std::max_element(r.outflows.begin(), r.outflows.end()) <= r.peak + 1e-9, true);
    EXPECT_GT(r.maxCelerity, 0.0) << shape;
  }
}

TEST(MuskingumCungePrismSetup, RiseLimitsTheComputationInterval) {
  // Hourly ordinates rising at ordinates 2 to 11 and falling after: rise count 10, so the
  // interval is at most 10 x 3600 x 0.05 = 1800 s; the reach's travel time is longer.
  Reach r;
  r.inflows.clear();
  for (int i = 0; i < 25; ++i) r.inflows.push_back(i <= 10 ? 50.0 + 10.0 * i : 150.0 - 4.0 * (i - 10));
  r.route();
  EXPECT_EQ(r.dt, 1800.0);
  EXPECT_EQ(r.steps(), 49);
}

TEST(MuskingumCungePrismSetup, SteadyInflowTakesTheTravelTime) {
  // No rise: dt is the smaller of L/ck and the input interval; a 1 km reach is crossed
  // within the hour.
  Reach r;
  r.length = 1000.0;
  r.route();
  EXPECT_DOUBLE_EQ(r.dt, 1000.0 / DepthIn(r, 50.0).celerity);
}

TEST(MuskingumCungePrismSetup, SubreachesFromTheProfile) {
  Reach five;
  five.fromProfile = true;
  five.initialFlows.assign(5, 50.0);
  five.route();
  EXPECT_EQ(five.dx, 5000.0);
  Reach one;
  one.fromProfile = true;
  one.initialFlows.assign(1, 50.0);
  one.route();
  EXPECT_EQ(one.dx, 20000.0);
  Reach many;
  many.fromProfile = true;
  many.initialFlows.assign(302, 50.0);
  many.route();
  EXPECT_EQ(many.dx, 100.0);
}

TEST(MuskingumCungePrismSetup, ALinearProfileSurvivesTheNodes) {
  // One ordinate: no period is routed, and a straight-line profile mapped onto the nodes
  // and back is the same line. The outflow is the last profile flow.
  Reach r;
  r.initialFlows = {100.0, 200.0, 300.0, 400.0};
  r.inflows = {100.0};
  r.route();
  EXPECT_EQ(r.status, 0);
  for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(r.finalFlows[k], r.initialFlows[k], 1e-9);
  EXPECT_EQ(r.outflows[0], 400.0);
  EXPECT_EQ(r.finalStorage, 0.0);
  EXPECT_EQ(r.peak, 0.0);
  EXPECT_EQ(r.maxCelerity, 0.0);
}

TEST(MuskingumCungePrismSetup, SinglePointProfileStoresTheWholeReach) {
  Reach r;
  r.initialFlows = {50.0};
  r.route();
  EXPECT_NEAR(r.initialStorage, 20000.0 * DepthIn(r, 50.0, 1.0).area, 1e-6);
  EXPECT_NEAR(r.finalFlows[0], r.outflows.back(), 1e-9);
}

TEST(MuskingumCungePrismSetup, ConduitWithoutFlowSettlesWithoutTopWidth) {
  // All flows 0 in a conduit: the reference top width is 0 and the second length bound has
  // no value, so the subreach length follows ck dt with the fallback celerity 0.15 m/s.
  Reach r;
  r.shape = "CIRCLE";
  r.length = 1000.0;
  r.initialFlows.assign(2, 0.0);
  r.inflows.assign(5, 0.0);
  r.route();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.dt, 3600.0);
  // 1000 / (0.15 x 3600) = 1.85, rounded to 2 subreaches.
  EXPECT_EQ(r.dx, 500.0);
  for (double q : r.outflows) EXPECT_EQ(q, 0.0);
}

TEST(MuskingumCungePrismFailures, UndefinedInflowSpreadsDownstreamAndOn) {
  Reach r;
  r.inflows = Flood();
  r.interval = 15;
  r.inflows[40] = undefinedDbl();
  r.route();
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(isUndefinedDbl(r.outflows[30]));
  for (std::size_t i = 40; i < r.outflows.size(); ++i) EXPECT_TRUE(isUndefinedDbl(r.outflows[i])) << i;
  EXPECT_FALSE(isUndefinedDbl(r.outflowVolume));
}

TEST(MuskingumCungePrismFailures, NonConvergenceIsAWarning) {
  // Flows hovering at the 0.01 m3/s threshold in one long subreach: the reference flow
  // crosses it on every pass and the outflow flips between two values.
  Reach r;
  r.fromProfile = true;
  r.bottomWidth = 10.0;
  r.sideSlope = 0.0;
  r.initialFlows = {0.0, 0.0};
  r.inflows.assign(4, 0.035);
  r.route();
  EXPECT_EQ(r.status, EncodeErrorCode(16, 1, 2));
  EXPECT_EQ(r.message,
            Padded("Muskingum-Cunge routing solution failed to converge for one or more periods."));
  EXPECT_FALSE(isUndefinedDbl(r.outflows.back()));
}

TEST(MuskingumCungePrismFailures, SectionsThatCarryNoFlowAreRefused) {
  Reach r;
  r.n = 0.0;
  r.route();
  EXPECT_TRUE(r.refused());
  EXPECT_EQ(r.message, Padded("Manning's n is zero or negative: 0.0 "));
  Reach flat;
  flat.bottomWidth = 0.0;
  flat.sideSlope = 0.0;
  flat.route();
  EXPECT_TRUE(flat.refused());
  EXPECT_EQ(flat.message, Padded("Channel bottom width is invalid: 0.0 "));
}

TEST(MuskingumCungePrismFailures, DataTheReachCannotServeIsRejected) {
  struct Case {
    int interval;
    double length, slope;
    std::size_t ordinates, points;
    std::string text;
  };
  const Case cases[] = {
      {0, 20000.0, 0.001, 10, 3,
       "Invalid Muskingum-Cunge parameters: interval = 0, length = 20000., slope = .001 "},
      {60, 0.0, 0.001, 10, 3,
       "Invalid Muskingum-Cunge parameters: interval = 60, length = 0.0, slope = .001 "},
      {60, 20000.0, 0.0, 10, 3,
       "Invalid Muskingum-Cunge parameters: interval = 60, length = 20000., slope = 0.0 "},
      {60, 20000.0, 0.001, 0, 3,
       "Invalid Muskingum-Cunge parameters: interval = 60, length = 20000., slope = .001, counts"},
      {60, 20000.0, 0.001, 10, 0,
       "Invalid Muskingum-Cunge parameters: interval = 60, length = 20000., slope = .001, counts"},
  };
  for (const Case& c : cases) {
    Reach r;
    r.interval = c.interval;
    r.length = c.length;
    r.slope = c.slope;
    r.inflows.assign(c.ordinates, 50.0);
    r.initialFlows.assign(c.points, 50.0);
    r.route();
    EXPECT_TRUE(r.refused()) << c.text;
    EXPECT_EQ(r.message, Padded(c.text));
  }
}

TEST(MuskingumCungePrismFailures, TooManyStepsIsStorageThatCannotBeObtained) {
  // Ordinates 4 years apart through a 1 m reach: far more than 2^25 computation steps.
  Reach r;
  r.interval = 2000000000;
  r.length = 1.0;
  r.inflows = {50.0, 60.0};
  r.route();
  EXPECT_EQ(r.status, EncodeErrorCode(16, 11, 4));
  EXPECT_EQ(r.message, Padded("Cannot allocate memory for dynamic arrays"));
  EXPECT_TRUE(isUndefinedDbl(r.outflows[0]) && isUndefinedDbl(r.outflows[1]));
  EXPECT_GT(r.dt, 0.0);
  EXPECT_EQ(r.finalFlows[0], kCallerValue);
}

TEST(MuskingumCungePrismFailures, TooMuchWorkIsAnIntervalTooSmall) {
  // About 1.3 million steps of 67 s could be stored, but over 200 subreaches they would be
  // more than 2^27 subreach-steps.
  Reach r;
  r.fromProfile = true;
  r.initialFlows.assign(201, 50.0);
  r.length = 100.0;
  r.interval = 1500000;
  r.inflows = {50.0, 50.0};
  r.route();
  EXPECT_TRUE(r.refused());
  EXPECT_EQ(r.message.substr(0, 45), "Invalid Muskingum-Cunge computation interval:");
}

TEST(MuskingumCungePrismFailures, StorageRefusedByTheSystemIsReported) {
#ifdef TOVALIN_UNDER_ASAN
  GTEST_SKIP() << "the address-space limit does not apply under AddressSanitizer";
#else
  // A child process with its address space held to 256 MiB more than it uses asks for three
  // work series of about 18 million values (144 MB each).
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    limit.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (256L << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(2);
    Reach r;
    r.interval = 400000;
    r.length = 2.0;
    r.inflows = {50.0, 50.0};
    r.route();
    const bool reported = r.status == EncodeErrorCode(16, 11, 4) &&
                          r.message == Padded("Cannot allocate memory for dynamic arrays") &&
                          isUndefinedDbl(r.outflows[0]) && r.finalFlows[0] == kCallerValue;
    _exit(reported ? 0 : 1);
  }
  int wstatus = 0;
  ASSERT_EQ(waitpid(child, &wstatus, 0), child);
  ASSERT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), 0);
#endif
}

Normal DepthIn(const Reach& r, double q, double start) {
  Normal h{};
  std::int32_t status;
  std::string text(kWidth, ' ');
  ChannelDepthPrism(r.slope, r.n, r.bottomWidth, r.sideSlope, q, start, h.depth, h.area,
                    h.topWidth, h.celerity, status, TextField(text.data(), kWidth));
  return h;
}

}  // namespace
}  // namespace tovalin
