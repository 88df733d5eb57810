// Random dendritic networks. The tree: the outlet takes one reach and splits the rest of its
// reaches between two upstream subtrees at a uniform random fraction (one subtree when one
// reach is left), which gives the branching of a random binary search tree. Strahler order:
// 1 at a source; the largest upstream order, plus 1 where two upstream reaches share it.
// Geometry by order w (lognormal factors of median 1 and log-deviation kSpread):
//   length L = 1000 m * 1.3^(w-1) (at most 10 km: a reach is a piece of a stream, not the
//   whole stream of its order), slope S = 0.01 * 0.5^(w-1) (at least 1e-5),
//   bottom width B = 3 m * 1.8^(w-1), side slope z = 2, Manning n 0.035 (0.045 at order 1).
// Muskingum: K = L / (1.5 m/s), x = 0.2, within the stable range (see below). Puls: a table
// of the trapezoid at normal flow. Lateral inflow: a base flow of 0.02 m3/s per km, and on the
// storm's part of the basin (a third of the routing order, i.e. whole subtrees) a triangular storm
// of peak 0.5 m3/s per km rising over the first quarter of the run and falling over the next half.
// Reference flow of a Muskingum-Cunge reach (the flow its discretisation is chosen at): the
// midway flow between the lowest and the highest inflow the forcing brings down to the reach,
// as a one-call run takes the midway flow of its hydrograph: per km of the reach and of every
// reach upstream, the base flow plus half the storm's peak where the storm falls, and half
// way up the boundary hydrograph below the boundary reach.
#include "network/generator.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "network/netcdf_io.h"
#include "network/topology.h"

namespace tovalin::network {
namespace {

constexpr double kBaseLength = 1000.0;  // m, median length at order 1
constexpr double kLengthRatio = 1.3;
constexpr double kMaxLength = 10000.0;  // m
constexpr double kBaseSlope = 0.01;     // m/m
constexpr double kSlopeRatio = 0.5;
constexpr double kMinSlope = 1.0e-5;
constexpr double kBaseWidth = 3.0;  // m
constexpr double kWidthRatio = 1.8;
constexpr double kSideSlope = 2.0;
constexpr double kChannelN = 0.035;
constexpr double kHeadwaterN = 0.045;
constexpr double kOverbankN = 0.06;
constexpr double kSpread = 0.4;        // log-deviation of the lognormal factors
constexpr double kWaveCelerity = 1.5;  // m/s, for the Muskingum K = L / c
constexpr double kMuskingumX = 0.2;
constexpr double kBaseFlowPerKm = 0.02;  // m3/s per km
constexpr double kStormPeakPerKm = 0.5;  // m3/s per km
constexpr double kBoundaryBase = 2.0;    // m3/s, the boundary hydrograph before and after it rises
constexpr double kBoundaryRise = 8.0;    // m3/s, its rise at the storm's peak
constexpr double kBedElevation = 100.0;  // m
constexpr double kLossRate = 1.0e-6;     // m/s
constexpr int kTablePairs = 12;
constexpr double kPi = 3.141592653589793;

// splitmix64: a small generator whose sequence is fixed by its seed on every platform.
struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  // exp(kSpread * N(0, 1)) by Box-Muller.
  double Lognormal() {
    const double u = 1.0 - Uniform(), v = Uniform();
    return std::exp(kSpread * std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * kPi * v));
  }
};

// The storm's part of a network of n reaches: routing positions StormFirst to StormEnd - 1.
std::int64_t StormFirst(std::int64_t n) noexcept { return n / 3; }
std::int64_t StormEnd(std::int64_t n) noexcept { return 2 * n / 3; }

// Normal depth in a wide trapezoid by bisection of Manning's formula Q = A R^(2/3) S^(1/2) / n.
double NormalArea(double q, double b, double z, double n, double s) {
  double lo = 0.0, hi = 1.0;
  const auto flow = [&](double h) {
    const double a = (b + z * h) * h, p = b + 2.0 * h * std::sqrt(1.0 + z * z);
    return a * std::pow(a / p, 2.0 / 3.0) * std::sqrt(s) / n;
  };
  while (flow(hi) < q) hi *= 2.0;
  for (int i = 0; i < 60; ++i) (flow((lo + hi) / 2) < q ? lo : hi) = (lo + hi) / 2;
  const double h = (lo + hi) / 2;
  return (b + z * h) * h;
}

}  // namespace

GeneratedNetwork GenerateNetwork(const GeneratorOptions& options) {
  GeneratedNetwork g;
  const std::int64_t n = std::max<std::int64_t>(1, options.reaches);
  Random random{options.seed};
  // The tree, built from the outlet by splitting reach counts; parent by creation index.
  std::vector<std::int64_t> parent(n, -1);
  std::vector<std::pair<std::int64_t, std::int64_t>> pending{{0, n}};  // (reach, subtree size)
  std::int64_t created = 1;
  while (!pending.empty()) {
    const auto [reach, size] = pending.back();
    pending.pop_back();
    const std::int64_t rest = size - 1;
    if (rest <= 0) continue;
    const std::int64_t left =
        rest == 1 ? 1 : 1 + static_cast<std::int64_t>(random.Uniform() * (rest - 1));
    for (const std::int64_t part : {left, rest - left}) {
      if (part <= 0) continue;
      parent[created] = reach;
      pending.emplace_back(created++, part);
    }
  }
  // Strahler orders: children are created after their parent, so a reverse sweep sees every
  // upstream reach first.
  std::vector<std::int32_t> order(n, 1), best(n, 0), ties(n, 0);
  for (std::int64_t i = n - 1; i >= 0; --i) {
    if (best[i] > 0) order[i] = ties[i] >= 2 ? best[i] + 1 : best[i];
    if (const std::int64_t p = parent[i]; p >= 0) {
      if (order[i] > best[p])
        best[p] = order[i], ties[p] = 1;
      else if (order[i] == best[p])
        ++ties[p];
    }
  }
  // Distinct ids in random order, so that junction sums do not follow creation order.
  std::vector<ReachId> ids(n);
  std::iota(ids.begin(), ids.end(), 1);
  for (std::int64_t i = n - 1; i > 0; --i)
    std::swap(ids[i], ids[static_cast<std::int64_t>(random.Uniform() * (i + 1))]);

  Network net;
  net.reaches.resize(n);
  const double dtHours = options.intervalMinutes / 60.0;
  for (std::int64_t i = 0; i < n; ++i) {
    Reach& r = net.reaches[i];
    const int w = order[i];
    r.id = ids[i];
    r.toId = parent[i] >= 0 ? ids[parent[i]] : 0;
    r.reachLength =
        std::min(kMaxLength, kBaseLength * std::pow(kLengthRatio, w - 1) * random.Lognormal());
    r.channelSlope =
        std::max(kMinSlope, kBaseSlope * std::pow(kSlopeRatio, w - 1) * random.Lognormal());
    r.bottomWidth = kBaseWidth * std::pow(kWidthRatio, w - 1) * random.Lognormal();
    r.sideSlope = kSideSlope;
    r.manningN = w == 1 ? kHeadwaterN : kChannelN;
    r.leftOverbankManningN = r.rightOverbankManningN = kOverbankN;
    // Muskingum is stable for 2 K x / n <= dt <= 2 K (1 - x) / n: K is the travel time
    // L / c but at least dt / (2 (1 - x)), and n the most steps the upper bound allows.
    r.muskingumX = kMuskingumX;
    r.muskingumK =
        std::max(r.reachLength / kWaveCelerity / 3600.0, dtHours / (2.0 * (1.0 - kMuskingumX)));
    r.stepCount = std::max(
        1, static_cast<int>(std::floor(2.0 * r.muskingumK * (1.0 - kMuskingumX) / dtHours)));
    r.lossRate = kLossRate;
    const double u = random.Uniform();
    if (options.methods == MethodMix::kMuskingumCungeTrapezoid)
      r.method = Method::kMuskingumCungePrism;
    else if (u < 0.35)
      r.method = Method::kMuskingumCungePrism;
    else if (u < 0.40)
      r.method = Method::kMuskingumCungePrism, r.circle = true, r.bottomWidth *= 0.5,
      r.bottomWidth += 1.0;
    else if (u < 0.55)
      r.method = Method::kMuskingumCunge8Point;
    else if (u < 0.80)
      r.method = Method::kMuskingum;
    else if (u < 0.95)
      r.method = Method::kPuls;
    else
      r.method = Method::kPulsWithLoss;
    if (r.method == Method::kMuskingumCunge8Point) {
      r.sectionStart = static_cast<std::int64_t>(net.sectionStations.size());
      const double b = r.bottomWidth, d = 1.0 + 0.5 * w;
      const double stations[kSectionPoints] = {0, 20, 40, 45, 45 + b, 50 + b, 70 + b, 90 + b};
      const double heights[kSectionPoints] = {3 * d, 1.5 * d, 1.2 * d, 0,
                                              0,     1.2 * d, 1.5 * d, 3 * d};
      net.sectionStations.insert(net.sectionStations.end(), stations, stations + kSectionPoints);
      net.sectionElevations.insert(net.sectionElevations.end(), heights, heights + kSectionPoints);
    } else {
      r.sectionStart = -1;
    }
    if (r.method == Method::kPuls || r.method == Method::kPulsWithLoss) {
      // A storage-outflow table of the reach's trapezoid at normal flow, flows rising
      // geometrically to well above any storm this generator makes.
      r.tableStart = static_cast<std::int64_t>(net.storageTable.size());
      r.tableCount = kTablePairs;
      const double top = 50.0 * std::pow(3.0, w - 1);
      for (int k = 0; k < kTablePairs; ++k) {
        const double q = k == 0 ? 0.0 : top * std::pow(2.0, k - (kTablePairs - 1));
        const double area =
            k == 0 ? 0.0 : NormalArea(q, r.bottomWidth, kSideSlope, r.manningN, r.channelSlope);
        const double depth =
            (std::sqrt(r.bottomWidth * r.bottomWidth + 4 * kSideSlope * area) - r.bottomWidth) /
            (2 * kSideSlope);
        net.outflowTable.push_back(q);
        net.storageTable.push_back(area * r.reachLength);
        net.elevationTable.push_back(kBedElevation + depth);
      }
      r.lossElevation = kBedElevation + 0.1;
    } else {
      r.tableStart = -1;
      r.tableCount = 0;
    }
  }
  // Files in routing order: then every block of the run reads one contiguous span.
  const Topology topology = BuildTopology(net);
  // Reference flows, summed from the sources down (children come after their parent): the
  // midway flow per km, the base flow plus half the storm's peak on the storm's part of the
  // routing order (as WriteGenerated lays the storm), and the boundary's.
  std::vector<double> midway(n, 0.0);
  for (std::int64_t i = n - 1; i >= 0; --i) {
    const std::int64_t p = topology.position[i];
    const bool stormed = p >= StormFirst(n) && p < StormEnd(n);
    midway[i] += net.reaches[i].reachLength / 1000.0 *
                 (kBaseFlowPerKm + (stormed ? 0.5 * kStormPeakPerKm : 0.0));
    if (parent[i] >= 0) midway[parent[i]] += midway[i];
  }
  if (options.methods == MethodMix::kMixed)
    for (std::int64_t i = topology.order.front(); i >= 0; i = parent[i])
      midway[i] += kBoundaryBase + 0.5 * kBoundaryRise;
  for (std::int64_t i = 0; i < n; ++i) {
    Reach& r = net.reaches[i];
    if (r.method == Method::kMuskingumCunge8Point || r.method == Method::kMuskingumCungePrism)
      r.referenceFlow = midway[i];
  }
  Network sorted;
  sorted.storageTable = std::move(net.storageTable);
  sorted.outflowTable = std::move(net.outflowTable);
  sorted.elevationTable = std::move(net.elevationTable);
  sorted.sectionStations = std::move(net.sectionStations);
  sorted.sectionElevations = std::move(net.sectionElevations);
  sorted.reaches.reserve(n);
  g.strahlerOrder.reserve(n);
  for (std::int64_t i : topology.order) {
    sorted.reaches.push_back(net.reaches[i]);
    g.strahlerOrder.push_back(order[i]);
  }
  g.network = std::move(sorted);
  if (options.methods == MethodMix::kMixed)
    g.boundaryReachIds.push_back(g.network.reaches.front().id);
  return g;
}

void WriteGenerated(const GeneratorOptions& options, const GeneratedNetwork& g,
                    const std::string& networkPath, const std::string& forcingPath) {
  WriteNetwork(networkPath, g.network);
  ForcingLayout layout;
  layout.intervalMinutes = options.intervalMinutes;
  layout.timeCount = std::max<std::int64_t>(2, options.steps);
  layout.timeUnits = "minutes since 2026-01-01 00:00:00";
  const std::int64_t n = static_cast<std::int64_t>(g.network.reaches.size());
  for (const Reach& r : g.network.reaches) layout.reachIds.push_back(r.id);
  layout.boundaryReachIds = g.boundaryReachIds;
  const std::size_t nt = static_cast<std::size_t>(layout.timeCount);
  std::vector<double> times(nt);
  for (std::size_t t = 0; t < nt; ++t) times[t] = static_cast<double>(t) * options.intervalMinutes;
  // Storm shape: 0 -> 1 over the first quarter of the run, 1 -> 0 over the next half.
  std::vector<double> storm(nt);
  const double rise = std::max(1.0, 0.25 * (nt - 1)), fall = std::max(1.0, 0.5 * (nt - 1));
  for (std::size_t t = 0; t < nt; ++t)
    storm[t] = t <= rise ? t / rise : std::max(0.0, 1.0 - (t - rise) / fall);
  const std::int64_t stormFirst = StormFirst(n), stormLast = StormEnd(n);
  const auto lateral = [&](Ordinates ordinates, std::int64_t first, std::int64_t count,
                           std::vector<double>& block) {
    const auto times = static_cast<std::size_t>(ordinates.count);
    block.assign(times * static_cast<std::size_t>(count), 0.0);
    for (std::int64_t j = 0; j < count; ++j) {
      const Reach& r = g.network.reaches[first + j];
      const double km = r.reachLength / 1000.0;
      const bool stormed = first + j >= stormFirst && first + j < stormLast;
      for (std::size_t t = 0; t < times; ++t) {
        const double s = storm[static_cast<std::size_t>(ordinates.first) + t];
        block[t * count + j] = km * (kBaseFlowPerKm + (stormed ? kStormPeakPerKm * s : 0.0));
      }
    }
  };
  std::vector<double> boundary(nt * g.boundaryReachIds.size());
  for (std::size_t t = 0; t < nt; ++t)
    for (std::size_t b = 0; b < g.boundaryReachIds.size(); ++b)
      boundary[t * g.boundaryReachIds.size() + b] = kBoundaryBase + kBoundaryRise * storm[t];
  WriteForcing(forcingPath, layout, times, lateral, boundary);
}

}  // namespace tovalin::network
