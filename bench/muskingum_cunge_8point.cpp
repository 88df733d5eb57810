// Speed of the eight-point Muskingum-Cunge routing: a day-long flood at 15-minute ordinates
// through a 20 km natural channel in 200 subreaches (subreach-steps per second), beside the
// section evaluation it spends its time in (conveyance evaluations per second) and the
// normal-depth search that calls it.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "hydro/hydraulics/section_8point.h"
#include "hydro/routing/muskingum_cunge_8point.h"

namespace {

using tovalin::TextField;

constexpr int kWidth = 80;
constexpr int kIntervalMinutes = 15;
constexpr int kOrdinates = 24 * 4 + 1;
constexpr double kReachLength = 20000.0;  // m
constexpr double kSlope = 0.0005;
constexpr int kProfilePoints = 201;  // 200 subreaches
constexpr double kBaseFlow = 30.0;   // m3/s
constexpr double kPeakFlow = 450.0;  // m3/s
constexpr double kPeakHour = 6.0;

// A natural channel: a 20 m wide main channel 3-4 m deep between wide, rougher overbanks.
constexpr std::array<double, 8> kStations{0, 60, 110, 118, 126, 138, 190, 260};
constexpr std::array<double, 8> kElevations{7.5, 4.2, 3.6, 0.4, 0.0, 3.4, 4.0, 8.0};
constexpr std::array<double, 3> kRoughness{0.07, 0.035, 0.06};

// Inflow: a gamma-shaped flood rising to its peak in six hours over a steady base flow.
std::vector<double> Flood() {
  std::vector<double> q(kOrdinates);
  for (int i = 0; i < kOrdinates; ++i) {
    const double hours = i * kIntervalMinutes / 60.0;
    const double shape = std::pow(hours / kPeakHour * std::exp(1.0 - hours / kPeakHour), 3.0);
    q[static_cast<std::size_t>(i)] = kBaseFlow + (kPeakFlow - kBaseFlow) * shape;
  }
  return q;
}

void BM_RouteFlood(benchmark::State& state) {
  const std::vector<double> inflows = Flood();
  const std::vector<double> lateral(kOrdinates, 0.0);
  const std::vector<double> initial(kProfilePoints, kBaseFlow);
  std::vector<double> finals(kProfilePoints);
  std::vector<double> outflows(kOrdinates);
  std::array<char, kWidth> text{};
  double dt = 0, dx, peak, peakTime, celerity, s0, s1, vin, vout;
  std::int32_t status = 0;
  for (auto _ : state) {
    tovalin::RouteMuskingumCunge8Point(
        kIntervalMinutes, kReachLength, kSlope, kStations, kElevations, kRoughness,
        kProfilePoints, 1, initial, finals, kOrdinates, inflows, lateral, outflows, dt, dx, peak,
        peakTime, celerity, s0, s1, vin, vout, status, TextField(text.data(), kWidth));
    benchmark::DoNotOptimize(outflows.data());
  }
  const double steps = std::trunc((kOrdinates - 1) * kIntervalMinutes * 60.0 / dt);
  const double subreachSteps = steps * (kProfilePoints - 1);
  state.counters["dt_s"] = dt;
  state.counters["status"] = status;
  state.counters["subreach_steps"] = subreachSteps;
  state.counters["subreach_steps_per_s"] = benchmark::Counter(
      subreachSteps * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RouteFlood)->Unit(benchmark::kMillisecond);

void BM_Conveyance8Point(benchmark::State& state) {
  std::array<char, kWidth> text{};
  double area, conveyance, width;
  std::int32_t status;
  double elevation = 0.25;
  for (auto _ : state) {
    tovalin::Conveyance8Point(elevation, kStations, kElevations, kRoughness, area, conveyance,
                              width, status, TextField(text.data(), kWidth));
    benchmark::DoNotOptimize(conveyance);
    // Walk the water surface through the main channel and over the banks.
    elevation = elevation > 7.0 ? 0.25 : elevation + 0.37;
  }
  state.counters["evaluations_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Conveyance8Point);

void BM_ChannelDepth8Point(benchmark::State& state) {
  std::array<char, kWidth> text{};
  double depth = 1.0, area, width, celerity;
  std::int32_t status;
  double flow = kBaseFlow;
  for (auto _ : state) {
    // A warm start from the previous depth, as the routing gives each node.
    tovalin::ChannelDepth8Point(kSlope, kStations, kElevations, kRoughness, flow, depth, depth,
                                area, width, celerity, status, TextField(text.data(), kWidth));
    benchmark::DoNotOptimize(celerity);
    flow = flow > kPeakFlow ? kBaseFlow : flow * 1.01;
  }
  state.counters["depths_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChannelDepth8Point);

}  // namespace

BENCHMARK_MAIN();
