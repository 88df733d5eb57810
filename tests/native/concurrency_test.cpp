// Every adapter called from many threads at once, as a multi-threaded host calls the library:
// each call must give, bit for bit, the result of the same call made alone. Built under
// ThreadSanitizer (scripts/hardening) this also shows that the calls share no mutable state.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "tovalin/tovalin.h"

namespace {

constexpr int kThreadCount = 16;
constexpr int kCallsPerThread = 120;
constexpr int kMessageWidth = 80;
constexpr int kShapeWidth = 10;
constexpr int kIntervalMinutes = 60;
// Each scenario comes in variants whose flows are scaled by these factors.
constexpr std::array<double, 3> kFlowScales{0.5, 1.0, 2.5};

// Everything one call hands back: output values, the status and the message text.
struct Outcome {
  std::vector<double> values;
  int status = 0;
  std::string message;

  // Bit-for-bit equality, so that NaN and the undefined value compare by their bits too.
  bool operator==(const Outcome& other) const {
    if (status != other.status || message != other.message ||
        values.size() != other.values.size())
      return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (std::bit_cast<std::uint64_t>(values[i]) != std::bit_cast<std::uint64_t>(other.values[i]))
        return false;
    }
    return true;
  }
};

struct Scenario {
  std::string name;
  std::function<Outcome()> call;
};

// A flood hydrograph of 24 hourly ordinates (m3/s), rising to its peak at ordinate 7.
const std::vector<double> kHydrograph{10, 12, 20, 35, 50, 62, 70, 66, 58, 48, 40, 33,
                                      28, 24, 21, 19, 17, 16, 15, 14, 13, 12, 11, 10};
// A storage-outflow-elevation table of a reach: storage m3, outflow m3/s, elevation m.
const std::vector<double> kStorage{0, 1e5, 3e5, 7e5, 1.4e6, 2.5e6, 4e6, 6e6};
const std::vector<double> kOutflow{0, 5, 10, 20, 40, 70, 110, 160};
const std::vector<double> kElevation{100, 100.5, 101, 101.6, 102.3, 103, 103.8, 104.7};
// An eight-point section: a main channel 10 m wide between banks at 102 m, and overbanks.
const std::array<double, 8> kStations{0, 20, 40, 45, 55, 60, 80, 100};
const std::array<double, 8> kElevations{105, 103, 102, 98, 98, 102, 103, 105};
const std::array<double, 3> kRoughness{0.06, 0.035, 0.06};

std::vector<double> Scaled(const std::vector<double>& values, double factor) {
  std::vector<double> scaled(values);
  for (double& v : scaled) v *= factor;
  return scaled;
}

std::string Text(const std::vector<char>& field) { return {field.begin(), field.end()}; }

// The ten scalar results of the Muskingum-Cunge routines, in argument order.
struct CungeResults {
  std::array<double, 9> values{};
  double* at(std::size_t i) { return &values[i]; }
};

Outcome CungeOutcome(const std::vector<double>& outflows, const std::vector<double>& finalFlows,
                     const CungeResults& results, int status, const std::vector<char>& message) {
  Outcome o{outflows, status, Text(message)};
  o.values.insert(o.values.end(), finalFlows.begin(), finalFlows.end());
  o.values.insert(o.values.end(), results.values.begin(), results.values.end());
  return o;
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> all;
  for (const double scale : kFlowScales) {
    const std::string tag = std::to_string(scale);
    const std::vector<double> inflows = Scaled(kHydrograph, scale);

    all.push_back({"muskingum " + tag, [=] {
      const int interval = kIntervalMinutes, steps = 3, n = static_cast<int>(inflows.size());
      const double k = 2.0, x = 0.2;
      const std::vector<double> initial(steps, inflows[0]);
      std::vector<double> finals(steps), outflows(n);
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      routemuskingum_(&interval, &k, &x, &steps, initial.data(), finals.data(), &n,
                      inflows.data(), outflows.data(), &status, message.data(), kMessageWidth);
      Outcome o{outflows, status, Text(message)};
      o.values.insert(o.values.end(), finals.begin(), finals.end());
      return o;
    }});

    all.push_back({"puls " + tag, [=] {
      const int interval = kIntervalMinutes, pairs = static_cast<int>(kStorage.size()), steps = 2,
                n = static_cast<int>(inflows.size());
      const std::vector<double> initial(steps, inflows[0]);
      std::vector<double> finals(steps), outflows(n);
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      routepulschannel_(&interval, &pairs, kStorage.data(), kOutflow.data(), &steps,
                        initial.data(), finals.data(), &n, inflows.data(), outflows.data(),
                        &status, message.data(), kMessageWidth);
      Outcome o{outflows, status, Text(message)};
      o.values.insert(o.values.end(), finals.begin(), finals.end());
      return o;
    }});

    all.push_back({"puls with loss " + tag, [=] {
      const int interval = kIntervalMinutes, pairs = static_cast<int>(kStorage.size()), steps = 2,
                n = static_cast<int>(inflows.size());
      const double lossElevation = 101.0, lossRate = 1e-6;
      const std::vector<double> initial(steps, inflows[0]);
      std::vector<double> finals(steps), outflows(n);
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      RoutePulsChannelWithLoss_(&interval, &pairs, kStorage.data(), kOutflow.data(),
                                kElevation.data(), &lossElevation, &lossRate, &steps,
                                initial.data(), finals.data(), &n, inflows.data(),
                                outflows.data(), &status, message.data(), kMessageWidth);
      Outcome o{outflows, status, Text(message)};
      o.values.insert(o.values.end(), finals.begin(), finals.end());
      return o;
    }});

    all.push_back({"muskingum-cunge eight-point " + tag, [=] {
      const int interval = kIntervalMinutes, m = 3, fromProfile = 0,
                n = static_cast<int>(inflows.size());
      const double length = 8000.0, slope = 0.0015;
      const std::vector<double> initial(m, inflows[0]), lateral(n, 0.0001);
      std::vector<double> finals(m), outflows(n);
      CungeResults r;
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      RouteMuskingumCunge8Point_(&interval, &length, &slope, kStations.data(),
                                 kElevations.data(), kRoughness.data(), &m, &fromProfile,
                                 initial.data(), finals.data(), &n, inflows.data(),
                                 lateral.data(), outflows.data(), r.at(0), r.at(1), r.at(2),
                                 r.at(3), r.at(4), r.at(5), r.at(6), r.at(7), r.at(8), &status,
                                 message.data(), kMessageWidth);
      return CungeOutcome(outflows, finals, r, status, message);
    }});

    for (const bool circle : {false, true}) {
      all.push_back({std::string(circle ? "muskingum-cunge circle " : "muskingum-cunge trapezoid ") +
                         tag,
                     [=] {
        const int interval = kIntervalMinutes, m = 2, fromProfile = 0,
                  n = static_cast<int>(inflows.size());
        const double length = 6000.0, slope = 0.001, roughness = 0.03;
        const double width = circle ? 6.0 : 12.0, sides = 1.5;
        std::vector<char> shape(kShapeWidth, ' ');
        if (circle) std::string("CIRCLE").copy(shape.data(), kShapeWidth);
        const std::vector<double> initial(m, inflows[0]), lateral(n, 0.0);
        std::vector<double> finals(m), outflows(n);
        CungeResults r;
        std::vector<char> message(kMessageWidth, ' ');
        int status = -1;
        RouteMuskingumCungePrism_(&interval, &length, &slope, &roughness, shape.data(), &width,
                                  &sides, &m, &fromProfile, initial.data(), finals.data(), &n,
                                  inflows.data(), lateral.data(), outflows.data(), r.at(0),
                                  r.at(1), r.at(2), r.at(3), r.at(4), r.at(5), r.at(6), r.at(7),
                                  r.at(8), &status, message.data(), kMessageWidth, kShapeWidth);
        return CungeOutcome(outflows, finals, r, status, message);
      }});
    }

    const double flow = 40.0 * scale;
    all.push_back({"depth trapezoid " + tag, [=] {
      const double slope = 0.001, roughness = 0.03, width = 12.0, sides = 1.5, start = 0.0;
      std::array<double, 4> out{};
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      channeldepthprism_(&slope, &roughness, &width, &sides, &flow, &start, &out[0], &out[1],
                         &out[2], &out[3], &status, message.data(), kMessageWidth);
      return Outcome{{out.begin(), out.end()}, status, Text(message)};
    }});
    all.push_back({"depth eight-point " + tag, [=] {
      const double slope = 0.001, start = 0.0;
      std::array<double, 4> out{};
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      channeldepth8point_(&slope, kStations.data(), kElevations.data(), kRoughness.data(), &flow,
                          &start, &out[0], &out[1], &out[2], &out[3], &status, message.data(),
                          kMessageWidth);
      return Outcome{{out.begin(), out.end()}, status, Text(message)};
    }});
    all.push_back({"depth circle " + tag, [=] {
      const double slope = 0.001, roughness = 0.013, diameter = 6.0;
      std::array<double, 4> out{};
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      channeldepthcircle_(&slope, &roughness, &diameter, &flow, &out[0], &out[1], &out[2],
                          &out[3], &status, message.data(), kMessageWidth);
      return Outcome{{out.begin(), out.end()}, status, Text(message)};
    }});

    // Lookups inside, outside and on the table, in an order that makes each search start
    // from where the one before it ended.
    all.push_back({"interpolation " + tag, [=] {
      const int pairs = static_cast<int>(kOutflow.size());
      const std::vector<double> lookups{flow, -1.0, 3.0 * scale, 200.0, 10.0, 155.0 * scale};
      const int count = static_cast<int>(lookups.size());
      std::vector<double> results(lookups.size());
      std::vector<char> message(kMessageWidth, ' ');
      int status = -1;
      interpolatelinear_(&pairs, kOutflow.data(), kStorage.data(), &count, lookups.data(),
                         results.data(), &status, message.data(), kMessageWidth);
      return Outcome{results, status, Text(message)};
    }});

    all.push_back({"interval change " + tag, [=] {
      const double from = 60.0, to = 17.0 * scale;
      const int oldCount = static_cast<int>(inflows.size()), newCount = 40;
      std::vector<double> series(newCount);
      changetimeinterval_(&from, &to, &oldCount, &newCount, inflows.data(), series.data());
      return Outcome{series, 0, ""};
    }});
  }
  for (const int status : {7268, 7178, 0, -1}) {
    all.push_back({"decode " + std::to_string(status), [=] {
      std::vector<char> name(kShapeWidth * 3, '#');
      int number = -1, severity = -1;
      decodeerrorcode_(&status, name.data(), &number, &severity, static_cast<int>(name.size()));
      return Outcome{{}, number * 8 + severity, Text(name)};
    }});
  }
  return all;
}

TEST(Concurrency, EveryCallFromSixteenThreadsEqualsTheSameCallAlone) {
  const std::vector<Scenario> scenarios = Scenarios();
  std::vector<Outcome> alone;
  for (const Scenario& s : scenarios) alone.push_back(s.call());
  // The scenarios reach every branch that matters here: some report, some do not.
  bool anyReport = false;
  for (const Outcome& o : alone) anyReport = anyReport || o.status > 0;
  ASSERT_TRUE(anyReport);

  // mismatches[t] lists the scenarios whose concurrent result differed in thread t.
  std::vector<std::vector<std::string>> mismatches(kThreadCount);
  std::latch start(kThreadCount);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreadCount; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int c = 0; c < kCallsPerThread; ++c) {
        // Each thread walks the scenarios in its own order, so that different calls overlap.
        const std::size_t i = (static_cast<std::size_t>(t) * 7 + static_cast<std::size_t>(c) * (t + 1)) %
                              scenarios.size();
        if (!(scenarios[i].call() == alone[i])) mismatches[t].push_back(scenarios[i].name);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreadCount; ++t) {
    EXPECT_TRUE(mismatches[t].empty())
        << "thread " << t << ": " << mismatches[t].size() << " differing calls, first "
        << mismatches[t].front();
  }
}

TEST(Concurrency, ACallDoesNotDependOnTheCallBeforeIt) {
  const std::vector<Scenario> scenarios = Scenarios();
  std::vector<Outcome> first;
  for (const Scenario& s : scenarios) first.push_back(s.call());
  // The same calls in reverse order, each now preceded by a different call.
  for (std::size_t i = scenarios.size(); i-- > 0;) {
    EXPECT_TRUE(scenarios[i].call() == first[i]) << scenarios[i].name;
  }
}

}  // namespace
