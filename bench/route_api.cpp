// Each method through the C++ API with a reused workspace beside its native adapter on the
// same inputs (the adapter translates onto the API and obtains its work storage per call),
// with the allocations per call counted; and the Muskingum recurrence as a plain loop.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "tovalin/core.hpp"
#include "tests/support/counting_allocator.h"
#include "tovalin/tovalin.h"

namespace {

// Floods of 24 hours (50 -> 500 m3/s) one after the other at 15-minute ordinates.
std::vector<double> Floods(int count) {
  std::vector<double> flows;
  for (int f = 0; f < count; ++f) {
    for (int i = 0; i < 96; ++i) {
      const double s = i * 0.25 / 6.0;
      flows.push_back(50.0 + 450.0 * s * s * std::exp(2.0 * (1.0 - s)));
    }
  }
  return flows;
}

struct Table {
  std::vector<double> storage, outflow, elevation;
  Table() {
    for (int p = 0; p <= 40; ++p) {
      outflow.push_back(20.0 * p), storage.push_back(144000.0 * p), elevation.push_back(0.25 * p);
    }
  }
};

// Runs body once per iteration and reports the allocations per call.
template <class Body>
void Measure(benchmark::State& state, std::size_t ordinates, const Body& body) {
  body();  // warm: the workspace reaches its size
  const long before = tovalin::testing::allocations.load();
  for (auto _ : state) body();
  state.counters["allocations_per_call"] = benchmark::Counter(
      static_cast<double>(tovalin::testing::allocations.load() - before) /
      static_cast<double>(state.iterations()));
  state.counters["ordinates_per_s"] = benchmark::Counter(
      static_cast<double>(ordinates), benchmark::Counter::kIsIterationInvariantRate);
}

constexpr int kMuskingumFloods = 1000;  // 96,000 ordinates
constexpr int kCungeFloods = 20;        // 1,920 ordinates

void MuskingumApi(benchmark::State& state) {
  const std::vector<double> flows = Floods(kMuskingumFloods);
  tovalin::Workspace w;
  Measure(state, flows.size(), [&] {
    const auto r = tovalin::Route(tovalin::MuskingumReach{2.0, 0.1, 4}, {15, flows, {}}, w);
    benchmark::DoNotOptimize(r.outflows.data());
  });
}

void MuskingumAdapter(benchmark::State& state) {
  const std::vector<double> flows = Floods(kMuskingumFloods);
  std::vector<double> outflows(flows.size()), initial(4, flows[0]), finals(4);
  std::string message(80, ' ');
  const int interval = 15, steps = 4, n = static_cast<int>(flows.size());
  const double k = 2.0, x = 0.1;
  Measure(state, flows.size(), [&] {
    int status = 0;
    routemuskingum_(&interval, &k, &x, &steps, initial.data(), finals.data(), &n, flows.data(),
                    outflows.data(), &status, message.data(), 80);
    benchmark::DoNotOptimize(outflows.data());
  });
}

// The recurrence of four steps as plainly as it can be written.
void MuskingumPlainLoop(benchmark::State& state) {
  const std::vector<double> flows = Floods(kMuskingumFloods);
  std::vector<double> work(flows.size());
  volatile double dtv = 0.25, kv = 2.0, xv = 0.1;
  const double n = 4.0, dt = dtv, k = kv, x = xv;
  const double d = ((1.0 - x) / n) * k * 2.0 + dt;
  const double ca = (dt / d) * 2.0, cb = ((x / n) * k * (-2.0) + dt) / d;
  Measure(state, flows.size(), [&] {
    work = flows;
    for (int s = 0; s < 4; ++s) {
      double i1 = work[0], o1 = flows[0];
      work[0] = o1;
      for (std::size_t t = 1; t < work.size(); ++t) {
        const double i2 = work[t];
        const double o2 = (ca - cb) * i1 + (1.0 - ca) * o1 + cb * i2;
        work[t] = o2, i1 = i2, o1 = o2;
      }
    }
    benchmark::DoNotOptimize(work.data());
  });
}

void PulsApi(benchmark::State& state) {
  const std::vector<double> flows = Floods(kMuskingumFloods / 10);
  const Table t;
  tovalin::PulsReach reach;
  reach.storage = t.storage, reach.outflow = t.outflow, reach.steps = 2;
  reach.withLoss = state.range(0) != 0, reach.elevation = t.elevation;
  reach.lossElevation = 1.0, reach.lossRate = 2e-6;
  tovalin::Workspace w;
  Measure(state, flows.size(), [&] {
    const auto r = tovalin::Route(reach, {15, flows, {}}, w);
    benchmark::DoNotOptimize(r.outflows.data());
  });
}

void PulsAdapter(benchmark::State& state) {
  const std::vector<double> flows = Floods(kMuskingumFloods / 10);
  Table t;
  std::vector<double> outflows(flows.size()), initial(2, flows[0]), finals(2);
  std::string message(81, ' ');
  const int interval = 15, pairs = static_cast<int>(t.outflow.size()), steps = 2,
            n = static_cast<int>(flows.size());
  const double lossElevation = 1.0, lossRate = 2e-6;
  const bool loss = state.range(0) != 0;
  Measure(state, flows.size(), [&] {
    int status = 0;
    if (loss) {
      RoutePulsChannelWithLoss_(&interval, &pairs, t.storage.data(), t.outflow.data(),
                                t.elevation.data(), &lossElevation, &lossRate, &steps,
                                initial.data(), finals.data(), &n, flows.data(), outflows.data(),
                                &status, message.data(), 80);
    } else {
      routepulschannel_(&interval, &pairs, t.storage.data(), t.outflow.data(), &steps,
                        initial.data(), finals.data(), &n, flows.data(), outflows.data(),
                        &status, message.data(), 80);
    }
    benchmark::DoNotOptimize(outflows.data());
  });
}

// The three sections of the benchmark: trapezoid, eight-point section, conduit.
tovalin::MuskingumCungeReach CungeReach(int section) {
  switch (section) {
    case 0: return {20000.0, 0.001, tovalin::TrapezoidSection{20.0, 2.0, 0.035}};
    case 1:
      return {20000.0, 0.001,
              tovalin::EightPointSection{{0, 10, 20, 20, 60, 60, 70, 80},
                                         {10, 5, 5, 0, 0, 5, 5, 10}, {0.08, 0.035, 0.08}}};
    default: return {2000.0, 0.01, tovalin::CircleSection{9.0, 0.013}};
  }
}

void CungeApi(benchmark::State& state) {
  const std::vector<double> flows = Floods(kCungeFloods), profile(3, flows[0]);
  const tovalin::MuskingumCungeReach reach = CungeReach(static_cast<int>(state.range(0)));
  tovalin::Workspace w;
  Measure(state, flows.size(), [&] {
    const auto r = tovalin::Route(reach, {15, flows, {}}, tovalin::FlowProfile{profile}, w);
    benchmark::DoNotOptimize(r.outflows.data());
  });
}

void CungeAdapter(benchmark::State& state) {
  const std::vector<double> flows = Floods(kCungeFloods), profile(3, flows[0]);
  const std::vector<double> lateral(flows.size(), 0.0);
  std::vector<double> outflows(flows.size()), finals(3), scalars(9);
  std::string message(81, ' ');
  const int section = static_cast<int>(state.range(0));
  const tovalin::MuskingumCungeReach reach = CungeReach(section);
  const int interval = 15, m = 3, fromProfile = 0, n = static_cast<int>(flows.size());
  double* o = scalars.data();
  Measure(state, flows.size(), [&] {
    int status = 0;
    if (section == 1) {
      const auto& s = std::get<tovalin::EightPointSection>(reach.section);
      RouteMuskingumCunge8Point_(&interval, &reach.length, &reach.slope, s.stations.data(),
                                 s.elevations.data(), s.manningN.data(), &m, &fromProfile,
                                 profile.data(), finals.data(), &n, flows.data(), lateral.data(),
                                 outflows.data(), o, o + 1, o + 2, o + 3, o + 4, o + 5, o + 6,
                                 o + 7, o + 8, &status, message.data(), 80);
    } else {
      const bool circle = section == 2;
      const double width = circle ? std::get<tovalin::CircleSection>(reach.section).diameter
                                  : std::get<tovalin::TrapezoidSection>(reach.section).bottomWidth;
      const double z = circle ? 0.0 : std::get<tovalin::TrapezoidSection>(reach.section).sideSlope;
      const double roughness = circle ? std::get<tovalin::CircleSection>(reach.section).manningN
                                      : std::get<tovalin::TrapezoidSection>(reach.section).manningN;
      const char* shape = circle ? "CIRCLE" : "TRAPEZOID";
      RouteMuskingumCungePrism_(&interval, &reach.length, &reach.slope, &roughness, shape,
                                &width, &z, &m, &fromProfile, profile.data(), finals.data(), &n,
                                flows.data(), lateral.data(), outflows.data(), o, o + 1, o + 2,
                                o + 3, o + 4, o + 5, o + 6, o + 7, o + 8, &status,
                                message.data(), 80, circle ? 6 : 9);
    }
    benchmark::DoNotOptimize(outflows.data());
  });
}

}  // namespace

BENCHMARK(MuskingumApi)->Unit(benchmark::kMicrosecond);
BENCHMARK(MuskingumAdapter)->Unit(benchmark::kMicrosecond);
BENCHMARK(MuskingumPlainLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(PulsApi)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(PulsAdapter)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(CungeApi)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(CungeAdapter)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
