// Modified Puls routing of 100,000 ordinates through a 50-pair storage-outflow table in 1 and
// 5 steps, without and with channel loss, each beside the plainest loop of the same
// arithmetic (the same halving table search, undefined tests as bare comparisons, no
// messages). Rates are ordinate-steps per second.
#include "hydro/routing/puls_channel.h"

#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "hydro/messages/text_field.h"

namespace {

constexpr int kOrdinates = 100000;
constexpr int kPairs = 50;
constexpr int kIntervalMinutes = 60;
constexpr double kIntervalSeconds = 3600.000187754631;
constexpr double kLossElevation = 1.0;  // m
constexpr double kLossRate = 1e-6;      // m/s
constexpr double kUndefined = std::bit_cast<double>(std::uint64_t{0xC7D2CED320000000});

// Outflow 0..490 m3/s in steps of 10, storage growing like O^0.9 (m3), elevation 0.1 m a pair.
struct Reach {
  std::vector<double> storage, outflow, elevation, inflows;
  Reach() {
    for (int k = 0; k < kPairs; ++k) {
      outflow.push_back(10.0 * k);
      storage.push_back(7200.0 * std::pow(outflow.back(), 0.9));
      elevation.push_back(0.1 * k);
    }
    // Floods between 50 and 350 m3/s, each 500 intervals long.
    for (int t = 0; t < kOrdinates; ++t)
      inflows.push_back(200.0 - 150.0 * std::cos(2.0 * std::numbers::pi * t / 500.0));
  }
};

bool Undefined(double v) { return v == kUndefined || v != v; }

double PlainLookup(const std::vector<double>& xTable, const std::vector<double>& yTable, double v) {
  if (Undefined(v)) return kUndefined;
  const double* x = xTable.data();
  const double* y = yTable.data();
  const int pairs = static_cast<int>(xTable.size());
  int limit = pairs;
  int n = pairs / 2;
  for (;;) {
    const int u = n + 1;
    if (x[u - 1] > v) {
      if (!(x[n - 1] > v)) {
        if (v == x[n - 1]) return y[n - 1];
        const double fraction = (v - x[n - 1]) / (x[u - 1] - x[n - 1]);
        return (y[u - 1] - y[n - 1]) * fraction + y[n - 1];
      }
      if (n <= 1) return kUndefined;
      limit = n;
      n = n / 2;
    } else {
      if (v == x[u - 1]) return y[u - 1];
      if (u >= pairs) return kUndefined;
      n = n + (limit - n) / 2;
    }
  }
}

// The same routing as plain loops: no status, no messages, the loss's initial passes left
// out (they run once a step).
void PlainRoute(const Reach& reach, int steps, bool withLoss, std::vector<double>& hydrograph,
                std::vector<double>& finals) {
  const double inverseInterval = 1.0 / kIntervalSeconds;
  std::vector<double> indicator(reach.storage.size());
  for (std::size_t j = 0; j < indicator.size(); ++j)
    indicator[j] = reach.storage[j] / steps * inverseInterval + 0.5 * reach.outflow[j];
  hydrograph = reach.inflows;
  for (int s = 0; s < steps; ++s) {
    double inflow1 = hydrograph[0];
    double outflow = finals[s];
    hydrograph[0] = outflow;
    double si = PlainLookup(reach.outflow, indicator, outflow);
    for (std::size_t t = 1; t < hydrograph.size(); ++t) {
      const double inflow2 = hydrograph[t];
      double loss = 0.0;
      if (!Undefined(outflow) && !Undefined(inflow1) && !Undefined(inflow2)) {
        si = ((inflow2 + inflow1) * 0.5 - outflow) + si;
        if (si < 0.0) si = 0.0;
        outflow = PlainLookup(indicator, reach.outflow, si);
        if (!withLoss || !Undefined(outflow)) {
          if (outflow < 0.0) outflow = 0.0;
        }
        if (withLoss && !Undefined(outflow)) {
          const double depth = PlainLookup(indicator, reach.elevation, si) - kLossElevation;
          if (depth > 0.0) loss = (outflow * -0.5 + si) / inverseInterval / depth * kLossRate;
        }
      } else {
        si = kUndefined;
        outflow = kUndefined;
      }
      const double net = outflow - loss;
      hydrograph[t] = !withLoss            ? outflow
                      : Undefined(outflow) ? kUndefined
                                           : (net > 0.0 ? net : 0.0);
      inflow1 = inflow2;
    }
    finals[s] = outflow;
  }
}

void Plain(benchmark::State& state, bool withLoss) {
  const Reach reach;
  const int steps = static_cast<int>(state.range(0));
  std::vector<double> outflows, finals(steps);
  for (auto _ : state) {
    std::fill(finals.begin(), finals.end(), 50.0);
    PlainRoute(reach, steps, withLoss, outflows, finals);
    benchmark::DoNotOptimize(outflows.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kOrdinates * steps);
}

void Library(benchmark::State& state, bool withLoss) {
  const Reach reach;
  const int steps = static_cast<int>(state.range(0));
  const std::vector<double> initial(steps, 50.0);
  std::vector<double> outflows(kOrdinates), finals(steps);
  std::string message(80, ' ');
  std::int32_t status = 0;
  for (auto _ : state) {
    if (withLoss) {
      tovalin::RoutePulsChannelWithLoss(kIntervalMinutes, kPairs, reach.storage, reach.outflow,
                                        reach.elevation, kLossElevation, kLossRate, steps, initial,
                                        finals, kOrdinates, reach.inflows, outflows, status,
                                        tovalin::TextField(message.data(), 80));
    } else {
      tovalin::RoutePulsChannel(kIntervalMinutes, kPairs, reach.storage, reach.outflow, steps,
                                initial, finals, kOrdinates, reach.inflows, outflows, status,
                                tovalin::TextField(message.data(), 80));
    }
    benchmark::DoNotOptimize(outflows.data());
    benchmark::ClobberMemory();
  }
  if (status != 0) state.SkipWithError("routing reported a failure");
  state.SetItemsProcessed(state.iterations() * kOrdinates * steps);
}

void BM_PulsPlainLoop(benchmark::State& state) { Plain(state, false); }
void BM_RoutePulsChannel(benchmark::State& state) { Library(state, false); }
void BM_PulsWithLossPlainLoop(benchmark::State& state) { Plain(state, true); }
void BM_RoutePulsChannelWithLoss(benchmark::State& state) { Library(state, true); }

BENCHMARK(BM_PulsPlainLoop)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoutePulsChannel)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PulsWithLossPlainLoop)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoutePulsChannelWithLoss)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
