// Speed of the Muskingum-Cunge routing per subreach-step with its normal-depth searches
// prepared once per call (the values no search changes, such as S^(1/2), (1 + z^2)^(1/2) and a
// conduit's flow-law factor, computed once), beside the same routing whose every search
// computes them again (the fixed-width depth routines, as the routing called them before), and
// beside the plainest loop of the same trapezoid routing. Both routings run the same sweep
// and must agree to the bit; a difference fails the benchmark. A 24-hour flood at 15-minute
// ordinates through a 20 km reach.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/hydraulics/section_8point.h"
#include "hydro/routing/muskingum_cunge_common.h"

namespace {

using namespace tovalin;

constexpr int kIntervalMinutes = 15;
constexpr int kOrdinates = 97;            // 24 h at 15 minutes, both ends included
constexpr double kReachLength = 20000.0;  // m
constexpr double kSlope = 0.001;
constexpr double kManningN = 0.035;
constexpr double kBottomWidth = 20.0;  // m
constexpr double kSideSlope = 2.0;
constexpr double kDiameter = 6.0;  // m
constexpr double kBaseFlow = 50.0;  // m3/s
constexpr double kPeakRise = 450.0;  // m3/s above the base flow
constexpr double kPeakHours = 6.0;
constexpr int kProfilePoints = 201;  // 200 subreaches: the searches dominate
constexpr int kWidth = 80;

constexpr std::array<double, 8> kStations{0, 60, 110, 118, 126, 138, 190, 260};
constexpr std::array<double, 8> kElevations{7.5, 4.2, 3.6, 0.4, 0.0, 3.4, 4.0, 8.0};
constexpr std::array<double, 3> kRoughness{0.07, 0.035, 0.06};

// A gamma-shaped flood: Q = Qb + dQ (t/tp)^2 exp(2 (1 - t/tp)).
std::vector<double> Flood() {
  std::vector<double> flows;
  for (int i = 0; i < kOrdinates; ++i) {
    const double ratio = i * 0.25 / kPeakHours;
    flows.push_back(kBaseFlow + kPeakRise * ratio * ratio * std::exp(2.0 * (1.0 - ratio)));
  }
  return flows;
}

bool ReportedError(std::int32_t status) {
  return static_cast<std::uint32_t>(status) % 8U == static_cast<std::uint32_t>(kSeverityError);
}

// The normal flow of each section by its fixed-width routine at every search (before), or by
// the search prepared once (after).
template <bool kPrepared>
struct Trapezoid {
  TextField message;
  TrapezoidDepthSearch search{kSlope, kManningN, kBottomWidth, kSideSlope};
  bool serves(TextField text) const {
    return CheckTrapezoid(kSlope, kManningN, kBottomWidth, kSideSlope, text);
  }
  Trapezoid quiet(TextField field) const { return {field}; }
  NormalFlow operator()(double flow, double startDepth) const {
    NormalFlow h;
    std::int32_t status = 0;
    if constexpr (kPrepared) {
      search.depth(flow, startDepth, h.depth, h.area, h.topWidth, h.celerity, status, message);
    } else {
      ChannelDepthPrism(kSlope, kManningN, kBottomWidth, kSideSlope, flow, startDepth, h.depth,
                        h.area, h.topWidth, h.celerity, status, message);
    }
    h.failed = ReportedError(status);
    return h;
  }
};

template <bool kPrepared>
struct Conduit {
  TextField message;
  ConduitDepthSearch search{kSlope, kManningN, kDiameter};
  bool serves(TextField text) const { return CheckConduit(kSlope, kManningN, kDiameter, text); }
  Conduit quiet(TextField field) const { return {field}; }
  NormalFlow operator()(double flow, double) const {
    NormalFlow h;
    std::int32_t status = 0;
    if constexpr (kPrepared) {
      search.depth(flow, h.depth, h.area, h.topWidth, h.celerity, status, message);
    } else {
      ChannelDepthCircle(kSlope, kManningN, kDiameter, flow, h.depth, h.area, h.topWidth,
                         h.celerity, status, message);
    }
    h.failed = ReportedError(status);
    return h;
  }
};

template <bool kPrepared>
struct EightPoint {
  TextField message;
  EightPointDepthSearch search{kSlope, kStations, kElevations, kRoughness};
  bool serves(TextField text) const {
    return CheckSection8Point(kSlope, kStations, kElevations, kRoughness, text);
  }
  EightPoint quiet(TextField field) const { return {field}; }
  NormalFlow operator()(double flow, double startDepth) const {
    NormalFlow h;
    std::int32_t status = 0;
    if constexpr (kPrepared) {
      search.depth(flow, startDepth, h.depth, h.area, h.topWidth, h.celerity, status, message);
    } else {
      ChannelDepth8Point(kSlope, kStations, kElevations, kRoughness, flow, startDepth, h.depth,
                         h.area, h.topWidth, h.celerity, status, message);
    }
    h.failed = ReportedError(status);
    return h;
  }
};

// The work of one routing, kept between iterations as a workspace keeps it.
struct Run {
  std::vector<double> inflows = Flood(), lateral = std::vector<double>(kOrdinates, 0.0),
                      initial = std::vector<double>(kProfilePoints, kBaseFlow),
                      finals = std::vector<double>(kProfilePoints),
                      outflows = std::vector<double>(kOrdinates);
  std::vector<double> seriesIn, seriesLateral, seriesOut, nodeFlows, nodeDepths, depths,
      velocities;
  std::array<char, kWidth> text{};
  double dt = 0, dx = 0, peak = 0, peakTime = 0, celerity = 0, s0 = 0, s1 = 0, in = 0, out = 0;
  std::int32_t status = 0;
  MuskingumCungeResults::Written written;
  AccountFigures account;

  // One routing; returns its subreach-steps.
  template <class Section>
  std::int64_t route(const MuskingumCungeScheme& scheme) {
    const TextField message(text.data(), kWidth);
    const MuskingumCungeFlows flows{kIntervalMinutes, kReachLength, kSlope, kProfilePoints, 1,
                                    initial, finals, kOrdinates, inflows, lateral, outflows};
    const MuskingumCungeResults results{dt, dx, peak, peakTime, celerity, s0, s1, in, out,
                                        status, message, written, account};
    StorageBudget budget;  // each routing is a call of its own
    const muskingum_cunge::Buffers buffers{seriesIn,   seriesLateral, seriesOut, nodeFlows,
                                           nodeDepths, depths,        velocities, budget};
    muskingum_cunge::SweepStats stats;
    RouteMuskingumCunge(Section{message}, scheme, flows, results, buffers, stats, Gauges{});
    return stats.subreachSteps;
  }
};

template <class Section>
void Routing(benchmark::State& state, const MuskingumCungeScheme& scheme) {
  Run run;
  std::int64_t steps = 0;
  for (auto _ : state) {
    steps = run.route<Section>(scheme);
    benchmark::DoNotOptimize(run.outflows.data());
    benchmark::ClobberMemory();
  }
  state.counters["subreach_steps"] = static_cast<double>(steps);
  state.counters["time_per_subreach_step"] = benchmark::Counter(
      static_cast<double>(steps), benchmark::Counter::kIsIterationInvariantRate |
                                      benchmark::Counter::kInvert);
  if (run.status != 0) state.SkipWithError("the routing reported a status");
}

// The prepared and the recomputing routing of one section must agree to the bit.
template <class Before, class After>
bool Agree(const MuskingumCungeScheme& scheme) {
  Run before, after;
  before.route<Before>(scheme);
  after.route<After>(scheme);
  for (int i = 0; i < kOrdinates; ++i)
    if (std::bit_cast<std::uint64_t>(before.outflows[i]) !=
        std::bit_cast<std::uint64_t>(after.outflows[i]))
      return false;
  return before.s1 == after.s1 && before.dt == after.dt;
}

void TrapezoidBefore(benchmark::State& state) {
  if (!Agree<Trapezoid<false>, Trapezoid<true>>(kPrismScheme))
    state.SkipWithError("prepared searches differ");
  Routing<Trapezoid<false>>(state, kPrismScheme);
}
void TrapezoidAfter(benchmark::State& state) { Routing<Trapezoid<true>>(state, kPrismScheme); }
void ConduitBefore(benchmark::State& state) {
  if (!Agree<Conduit<false>, Conduit<true>>(kPrismScheme))
    state.SkipWithError("prepared searches differ");
  Routing<Conduit<false>>(state, kPrismScheme);
}
void ConduitAfter(benchmark::State& state) { Routing<Conduit<true>>(state, kPrismScheme); }
void EightPointBefore(benchmark::State& state) {
  if (!Agree<EightPoint<false>, EightPoint<true>>(kEightPointScheme))
    state.SkipWithError("prepared searches differ");
  Routing<EightPoint<false>>(state, kEightPointScheme);
}
void EightPointAfter(benchmark::State& state) {
  Routing<EightPoint<true>>(state, kEightPointScheme);
}

// The same trapezoid routing as plainly as it can be written: the routing's interval and
// subreach count, the flows resampled onto it, then per subreach-step the passes of Qr ->
// Newton depth -> Cr, Re -> O2, with no test for undefined values and no figure gathered.
void TrapezoidPlainLoop(benchmark::State& state) {
  Run reference;
  reference.route<Trapezoid<true>>(kPrismScheme);
  const double dt = reference.dt, dx = reference.dx;
  const auto subreaches = static_cast<std::size_t>(std::lround(kReachLength / dx));
  const std::size_t periods = reference.seriesIn.size();
  const std::vector<double> inflow = reference.seriesIn;
  std::vector<double> node(subreaches + 1), depth(subreaches + 1), outflow(periods);
  const double b = kBottomWidth, z = kSideSlope, k = std::sqrt(kSlope) / kManningN,
               s = std::sqrt(1.0 + z * z);
  std::int64_t steps = 0;
  for (auto _ : state) {
    std::fill(node.begin(), node.end(), kBaseFlow);
    std::fill(depth.begin(), depth.end(), 2.0);
    steps = 0;
    for (std::size_t t = 1; t < periods; ++t) {
      double in2 = inflow[t];
      for (std::size_t j = 1; j <= subreaches; ++j) {
        const double in1 = node[j - 1], out1 = node[j];
        double q = (in1 + out1 + in2) / 3.0, previous = q, out2 = 0.0;
        for (int pass = 1; pass <= 20; ++pass) {
          double y = depth[j];
          for (int i = 0; i < 20; ++i) {
            const double a = (b + z * y) * y, p = b + 2.0 * y * s, w = b + 2.0 * z * y;
            const double a53 = std::pow(a, 5.0 / 3.0), p23 = 1.0 / std::pow(p, 2.0 / 3.0);
            const double f = k * a53 * p23 - q;
            const double df = k * (5.0 / 3.0 * w * std::pow(a, 2.0 / 3.0) * p23 -
                                   2.0 / 3.0 * (2.0 * s / std::pow(p, 5.0 / 3.0)) * a53);
            const double next = y - f / df;
            const bool done = std::fabs(next - y) <= 0.01;
            y = next;
            if (done) break;
          }
          depth[j] = y;
          const double a = (b + z * y) * y, p = b + 2.0 * y * s, w = b + 2.0 * z * y;
          const double v = k * std::pow(a / p, 2.0 / 3.0);
          const double c = v * (5.0 * b * w + (6.0 * b + 16.0 * z * y) * y * s) / (3.0 * p * w);
          const double cr = dt / dx * c, re = q / (dx * kSlope * w * c), den = 1.0 + cr + re;
          double c1 = (1.0 + cr - re) / den, c2 = (cr + re - 1.0) / den, c3 = (1.0 - cr + re) / den;
          if (c2 < 0.0) c1 += 0.5 * c2, c3 += 0.5 * c2, c2 = 0.0;
          out2 = std::max(0.0, c1 * in1 + c3 * out1 + c2 * in2);
          if (std::fabs(previous - out2) <= 0.01 * previous) break;
          q = (in1 + out2 + out1 + in2) * 0.25, previous = out2;
        }
        node[j - 1] = in2;
        in2 = out2;
        ++steps;
      }
      node[subreaches] = in2;
      outflow[t] = in2;
    }
    benchmark::DoNotOptimize(outflow.data());
    benchmark::ClobberMemory();
  }
  state.counters["subreach_steps"] = static_cast<double>(steps);
  state.counters["time_per_subreach_step"] = benchmark::Counter(
      static_cast<double>(steps), benchmark::Counter::kIsIterationInvariantRate |
                                      benchmark::Counter::kInvert);
}

BENCHMARK(TrapezoidBefore)->Unit(benchmark::kMillisecond);
BENCHMARK(TrapezoidAfter)->Unit(benchmark::kMillisecond);
BENCHMARK(TrapezoidPlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(ConduitBefore)->Unit(benchmark::kMillisecond);
BENCHMARK(ConduitAfter)->Unit(benchmark::kMillisecond);
BENCHMARK(EightPointBefore)->Unit(benchmark::kMillisecond);
BENCHMARK(EightPointAfter)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
