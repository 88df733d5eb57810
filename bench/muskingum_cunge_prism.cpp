// Speed of Muskingum-Cunge routing through a trapezoid and a conduit: a 24-hour flood at
// 15-minute ordinates through a 20 km reach, reported as subreach-steps per second (one
// subreach routed over one computation interval, with its reference-flow passes), beside the
// normal-depth search that each pass makes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/routing/muskingum_cunge_prism.h"

namespace {

constexpr int kIntervalMinutes = 15;
constexpr int kOrdinates = 97;  // 24 h at 15 minutes, both ends included
constexpr double kReachLength = 20000.0;  // m
constexpr double kSlope = 0.001;
constexpr double kManningN = 0.035;
constexpr double kBaseFlow = 50.0;       // m3/s
constexpr double kPeakRise = 450.0;      // m3/s above the base flow
constexpr double kPeakHours = 6.0;
constexpr double kHoursPerOrdinate = 0.25;
constexpr int kMessageWidth = 80;

// A gamma-shaped flood: Q = Qb + dQ (t/tp)^2 exp(2 (1 - t/tp)).
std::vector<double> Flood() {
  std::vector<double> flows;
  for (int i = 0; i < kOrdinates; ++i) {
    const double ratio = i * kHoursPerOrdinate / kPeakHours;
    flows.push_back(kBaseFlow + kPeakRise * ratio * ratio * std::exp(2.0 * (1.0 - ratio)));
  }
  return flows;
}

void RouteFlood(benchmark::State& state, std::string_view shape, double widthOrDiameter) {
  const std::vector<double> inflows = Flood();
  const std::vector<double> lateral(kOrdinates, 0.0);
  const std::vector<double> initial(3, kBaseFlow);
  std::vector<double> finals(3), outflows(kOrdinates);
  double dt = 0, dx = 0, peak = 0, peakTime = 0, celerity = 0, storageStart = 0,
         storageEnd = 0, volumeIn = 0, volumeOut = 0;
  std::int32_t status = 0;
  std::string message(kMessageWidth, ' ');
  for (auto _ : state) {
    tovalin::RouteMuskingumCungePrism(
        kIntervalMinutes, kReachLength, kSlope, kManningN, shape, widthOrDiameter, 2.0, 3, 0,
        initial, finals, kOrdinates, inflows, lateral, outflows, dt, dx, peak, peakTime,
        celerity, storageStart, storageEnd, volumeIn, volumeOut, status,
        tovalin::TextField(message.data(), kMessageWidth));
    benchmark::DoNotOptimize(outflows.data());
    benchmark::ClobberMemory();
  }
  // NCOMP - 1 routed intervals, each over NSUB subreaches.
  const double intervals = std::trunc((kOrdinates - 1) * kIntervalMinutes * 60.0 / dt);
  const double subreaches = std::round(kReachLength / dx);
  state.counters["subreaches"] = subreaches;
  state.counters["dt_s"] = dt;
  state.counters["subreach_steps"] =
      benchmark::Counter(intervals * subreaches, benchmark::Counter::kIsIterationInvariantRate);
  if (status != 0) state.SkipWithError("routing reported a status");
}

void BM_RouteTrapezoid(benchmark::State& state) { RouteFlood(state, "TRAPEZOID", 20.0); }
void BM_RouteCircle(benchmark::State& state) { RouteFlood(state, "CIRCLE", 20.0); }

// The search each routing pass makes, alone.
void BM_DepthTrapezoid(benchmark::State& state) {
  double y, a, t, c;
  std::int32_t status;
  std::string message(kMessageWidth, ' ');
  double flow = kBaseFlow;
  for (auto _ : state) {
    tovalin::ChannelDepthPrism(kSlope, kManningN, 20.0, 2.0, flow, 2.0, y, a, t, c, status,
                               tovalin::TextField(message.data(), kMessageWidth));
    benchmark::DoNotOptimize(c);
  }
}

void BM_DepthCircle(benchmark::State& state) {
  double y, a, t, c;
  std::int32_t status;
  std::string message(kMessageWidth, ' ');
  double flow = kBaseFlow;
  for (auto _ : state) {
    tovalin::ChannelDepthCircle(kSlope, kManningN, 20.0, flow, y, a, t, c, status,
                                tovalin::TextField(message.data(), kMessageWidth));
    benchmark::DoNotOptimize(c);
  }
}

BENCHMARK(BM_RouteTrapezoid);
BENCHMARK(BM_RouteCircle);
BENCHMARK(BM_DepthTrapezoid);
BENCHMARK(BM_DepthCircle);

}  // namespace

BENCHMARK_MAIN();
