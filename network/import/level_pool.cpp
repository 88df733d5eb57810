// Level-pool outflow (orifice and broad weir, e.g. Chow, Maidment & Mays, Applied Hydrology,
// 8.3) and its storage-outflow table, refined by halving until every chord between two pairs
// stays within half the tolerance of the equations at points along it.
#include "network/import/level_pool.h"

#include <algorithm>
#include <cmath>

namespace tovalin::network::import {
namespace {

constexpr double kWeirExponent = 1.5;
// Points checked inside each chord, evenly spaced, and the share of the tolerance a chord may
// use (the rest is margin for the stretches between the points checked).
constexpr int kChordChecks = 8;
constexpr double kChordShareOfTolerance = 0.5;

bool OrificeCarries(const LakeParameters& lake) noexcept {
  return lake.orificeCoefficient * lake.orificeArea > 0.0;
}
bool WeirCarries(const LakeParameters& lake) noexcept {
  return lake.weirCoefficient * lake.weirLength > 0.0;
}

// Outflow at the level `level` above the level zero `zero`, the heads over each outlet taken
// from the level so that a level just above the zero keeps its precision.
double OutflowAtLevel(const LakeParameters& lake, double zero, double level) noexcept {
  double outflow = 0.0;
  const double orificeHead = level - (lake.orificeElevation - zero);
  if (orificeHead > 0.0) {
    // O = C A sqrt(2 g h)
    outflow += lake.orificeCoefficient * lake.orificeArea * std::sqrt(2.0 * kGravity * orificeHead);
  }
  const double weirHead = level - (lake.weirElevation - zero);
  if (weirHead > 0.0) {
    // O = C L h^1.5
    outflow += lake.weirCoefficient * lake.weirLength * std::pow(weirHead, kWeirExponent);
  }
  return outflow;
}

// The chord from (a, qa) to (b, qb) holds the equations within its share of the tolerance.
bool ChordHolds(const LakeParameters& lake, double zero, double a, double qa, double b,
                double qb) noexcept {
  for (int k = 1; k <= kChordChecks; ++k) {
    const double r = static_cast<double>(k) / (kChordChecks + 1);
    const double level = a + (b - a) * r;
    const double exact = OutflowAtLevel(lake, zero, level);
    const double chord = qa + (qb - qa) * r;
    const double allowed =
        kChordShareOfTolerance * (kTableRelativeTolerance * exact + kTableAbsoluteTolerance);
    if (!(std::abs(chord - exact) <= allowed)) return false;
  }
  return true;
}

}  // namespace

double LevelZero(const LakeParameters& lake) noexcept {
  if (!OrificeCarries(lake)) return lake.weirElevation;
  if (WeirCarries(lake)) return std::min(lake.orificeElevation, lake.weirElevation);
  return lake.orificeElevation;
}

double LakeOutflow(const LakeParameters& lake, double elevation) noexcept {
  const double zero = LevelZero(lake);
  return OutflowAtLevel(lake, zero, elevation - zero);
}

double LakeStorage(const LakeParameters& lake, double elevation) noexcept {
  // S = LkArea 1e6 (H - H0)
  return lake.area * kSquareMetresPerKm2 * std::max(0.0, elevation - LevelZero(lake));
}

double TableTop(const LakeParameters& lake) noexcept {
  const double zero = LevelZero(lake);
  const double depth = std::max(0.0, lake.maxElevation - zero);
  return zero + depth + std::max(depth, kLeastHeadroom);
}

double InitialElevation(const LakeParameters& lake) noexcept {
  const double zero = LevelZero(lake);
  const double fraction = std::isfinite(lake.initialFractionalDepth)
                              ? std::clamp(lake.initialFractionalDepth, 0.0, 1.0)
                              : 0.0;
  // H = H0 + ifd (LkMxE - H0)
  return zero + fraction * std::max(0.0, lake.maxElevation - zero);
}

std::string LakeProblem(const LakeParameters& lake) {
  const double values[] = {lake.area,          lake.maxElevation,       lake.weirCoefficient,
                           lake.weirLength,    lake.weirElevation,      lake.orificeCoefficient,
                           lake.orificeArea,   lake.orificeElevation};
  for (double v : values)
    if (!std::isfinite(v)) return "a level-pool parameter is missing or not finite";
  if (!(lake.area > 0.0)) return "LkArea is not positive";
  for (double v : {lake.weirCoefficient, lake.weirLength, lake.orificeCoefficient,
                   lake.orificeArea})
    if (v < 0.0) return "a weir or orifice coefficient, length or area is negative";
  if (!OrificeCarries(lake) && !WeirCarries(lake)) return "neither orifice nor weir carries water";
  return {};
}

LakeTable BuildLakeTable(const LakeParameters& lake) {
  const double zero = LevelZero(lake);
  const double top = TableTop(lake) - zero;
  // Levels above the zero where the table must have a pair: the zero, the other outlet, the
  // maximum elevation and the top.
  std::vector<double> fixed{0.0, top};
  for (double elevation : {lake.weirElevation, lake.orificeElevation, lake.maxElevation})
    if (elevation - zero > 0.0 && elevation - zero < top) fixed.push_back(elevation - zero);
  std::sort(fixed.begin(), fixed.end());
  fixed.erase(std::unique(fixed.begin(), fixed.end()), fixed.end());

  std::vector<double> levels{0.0}, flows{0.0};
  // Each stretch between fixed levels, halved depth first so the pairs come out ascending;
  // a stretch too short to halve any further in double precision is kept as it is.
  std::vector<std::pair<double, double>> pending;
  for (std::size_t k = fixed.size() - 1; k > 0; --k) pending.emplace_back(fixed[k - 1], fixed[k]);
  while (!pending.empty()) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    const double qa = flows.back(), qb = OutflowAtLevel(lake, zero, b);
    const double middle = a + (b - a) * 0.5;
    if (!ChordHolds(lake, zero, a, qa, b, qb) && middle > a && middle < b) {
      pending.emplace_back(middle, b);
      pending.emplace_back(a, middle);
      continue;
    }
    levels.push_back(b);
    flows.push_back(qb);
  }
  LakeTable table;
  table.outflow = std::move(flows);
  table.elevation.reserve(levels.size());
  table.storage.reserve(levels.size());
  for (double level : levels) {
    table.elevation.push_back(zero + level);
    // S = LkArea 1e6 h
    table.storage.push_back(lake.area * kSquareMetresPerKm2 * level);
  }
  return table;
}

}  // namespace tovalin::network::import
