// tovalin C++ API: what a routing call is given. One description type per method, the
// hydrograph routed through it, and the initial flow profile of a one-call Muskingum-Cunge
// run. Every type here only refers to the caller's data (spans); nothing is copied or owned.
// Units: flows in m3/s (any one unit for Muskingum and Puls), lengths in m, times as named.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <variant>

namespace tovalin {

// An inflow hydrograph: flows at a fixed interval of whole minutes, the first ordinate at
// time 0.
//   intervalMinutes  interval between ordinates, minutes (>= 1)
//   flows            inflow at each ordinate (m3/s); at least one ordinate
//   lateralFlows     Muskingum-Cunge only: lateral inflow per metre of reach (m3/s per m) at
//                    the same ordinates; empty means none. Muskingum and Puls take no lateral
//                    inflow (add it to flows); a non-empty span is refused by them.
// The undefined value (about -1e38, see tovalin::kUndefined) or a NaN marks a missing ordinate.
struct Hydrograph {
  std::int32_t intervalMinutes = 60;
  std::span<const double> flows;
  std::span<const double> lateralFlows;
};

// Muskingum: storage S = K (x I + (1 - x) O), the reach split into `steps` equal routing steps
// each with K / steps.
//   kHours  storage constant K of the whole reach, hours (> 0)
//   x       weighting factor, 0 to 0.5
//   steps   number of routing steps (>= 1)
struct MuskingumReach {
  double kHours = 1.0;
  double x = 0.2;
  std::int32_t steps = 1;
};

// Modified Puls: the reach's storage-outflow table (storage of the whole reach, in flow unit x
// seconds, both columns ascending), split into `steps` equal routing steps.
// With withLoss, an elevation for every pair and a loss rate, a channel loss
// L = S / D * lossRate is taken off each step's outflow while the water surface stands above
// lossElevation (D the depth above it, S the step's storage).
//   storage, outflow   the table, pairs of equal index (>= 1 pair; the shorter span counts)
//   steps              number of routing steps (>= 1)
//   withLoss           route with the channel loss (routine 18 instead of 17)
//   elevation          water-surface elevation of each pair: needed with loss, and for a
//                      start at a level (StartAtLevel); ascending like the other columns
//   lossElevation      elevation above which the loss acts (length unit of elevation)
//   lossRate           loss per unit of area storage/depth (length unit per second)
struct PulsReach {
  std::span<const double> storage;
  std::span<const double> outflow;
  std::int32_t steps = 1;
  bool withLoss = false;
  std::span<const double> elevation;
  double lossElevation = 0.0;
  double lossRate = 0.0;
};

// An eight-point natural cross-section: stations and elevations (m) of eight points from left
// to right (the distance of each station from the first never decreasing), Manning's n of the
// left overbank (points 1-3), main channel (3-6) and right overbank (6-8).
struct EightPointSection {
  std::array<double, 8> stations{};
  std::array<double, 8> elevations{};
  std::array<double, 3> manningN{};
};

// A trapezoid of bottom width b (m) and side slope z (horizontal per unit vertical, both sides);
// z = 0 is a rectangle, b = 0 a triangle.
struct TrapezoidSection {
  double bottomWidth = 0.0;
  double sideSlope = 0.0;
  double manningN = 0.0;
};

// A circular conduit of diameter D (m), its flow area from the power law Q = alpha A^1.25.
struct CircleSection {
  double diameter = 0.0;
  double manningN = 0.0;
};

using ChannelSection = std::variant<EightPointSection, TrapezoidSection, CircleSection>;

// Muskingum-Cunge (variable parameter): a reach of one uniform section.
//   length   reach length L, m (> 0)
//   slope    bed slope S, m/m (> 0)
struct MuskingumCungeReach {
  double length = 0.0;
  double slope = 0.0;
  ChannelSection section;
};

// The flows along a Muskingum-Cunge reach at time 0 for a one-call run: M >= 1 values at
// equally spaced points from the upstream to the downstream end. With subreachesFromProfile
// the reach has M - 1 subreaches (1 to 200) instead of a count chosen from the celerity.
struct FlowProfile {
  std::span<const double> flows;
  bool subreachesFromProfile = false;
};

}  // namespace tovalin
