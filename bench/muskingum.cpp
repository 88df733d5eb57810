// Muskingum routing of 1,000,000 ordinates through 1 and 10 steps, beside the plainest loop
// of the same arithmetic (the recurrence with its undefined-value test, on a bare array).
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "hydro/messages/message_text.h"
#include "hydro/routing/muskingum.h"

namespace {

constexpr int kOrdinates = 1'000'000;

std::vector<double> Flood() {
  std::vector<double> inflows(kOrdinates);
  for (int t = 0; t < kOrdinates; ++t) inflows[static_cast<std::size_t>(t)] = 100.0 + 50.0 * std::sin(t * 1e-3);
  return inflows;
}

void RouteMuskingumBenchmark(benchmark::State& state) {
  const int steps = static_cast<int>(state.range(0));
  const std::vector<double> inflows = Flood();
  std::vector<double> outflows(kOrdinates);
  const std::vector<double> initial(static_cast<std::size_t>(steps), 100.0);
  std::vector<double> finals(static_cast<std::size_t>(steps));
  std::string message(80, ' ');
  std::int32_t status = 0;
  for (auto _ : state) {
    tovalin::RouteMuskingum(60, 2.0 * steps, 0.2, steps, initial, finals, kOrdinates, inflows,
                            outflows, status, tovalin::TextField(message.data(), 80));
    benchmark::DoNotOptimize(outflows.data());
  }
  state.counters["ordinate_steps_per_s"] =
      benchmark::Counter(static_cast<double>(kOrdinates) * steps, benchmark::Counter::kIsIterationInvariantRate);
}

// The same recurrence and test, written as plainly as possible.
void PlainLoopBenchmark(benchmark::State& state) {
  const int steps = static_cast<int>(state.range(0));
  const std::vector<double> inflows = Flood();
  std::vector<double> outflows(kOrdinates);
  // Coefficients of the routed call (60 minutes, K = 2 h per step, x = 0.2), read at run time.
  volatile double dt = 1.0, k = 2.0, x = 0.2;
  const double d = (1.0 - x) * k * 2.0 + dt;
  const double ca = (dt / d) * 2.0, cb = (x * k * (-2.0) + dt) / d;
  const double undefined = tovalin::undefinedDbl();
  for (auto _ : state) {
    outflows = inflows;
    for (int s = 0; s < steps; ++s) {
      double i1 = outflows[0], o1 = 100.0;
      outflows[0] = o1;
      for (int t = 1; t < kOrdinates; ++t) {
        const double i2 = outflows[static_cast<std::size_t>(t)];
        double o2;
        if (i1 == undefined || i1 != i1 || i2 == undefined || i2 != i2 || o1 == undefined || o1 != o1)
          o2 = undefined;
        else
          o2 = (ca - cb) * i1 + (1.0 - ca) * o1 + cb * i2;
        outflows[static_cast<std::size_t>(t)] = o2;
        i1 = i2;
        o1 = o2;
      }
    }
    benchmark::DoNotOptimize(outflows.data());
  }
  state.counters["ordinate_steps_per_s"] =
      benchmark::Counter(static_cast<double>(kOrdinates) * steps, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(RouteMuskingumBenchmark)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainLoopBenchmark)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
