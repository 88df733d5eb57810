// Hydraulics of an eight-point natural cross-section: flow area, conveyance and top width at a
// water-surface elevation (divided-channel method, Chow, Open-Channel Hydraulics, 6-5 and 7-8),
// and the normal depth that carries a flow by Manning's formula Q = K sqrt(S),
// K = A R^(2/3) / n, coefficient 1 (metric units), with the celerity dQ/dA at that depth.
// Stations and elevations in metres, flows in m^3/s, areas in m^2.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "hydro/messages/text_field.h"

namespace tovalin {

inline constexpr std::size_t kSectionPointCount = 8;
inline constexpr std::size_t kSubsectionCount = 3;

// The width and the length of each of the seven segments (m), as the conveyance takes them
// where a segment lies wholly under water.
struct SegmentGeometry {
  std::array<double, kSectionPointCount - 1> width{};
  std::array<double, kSectionPointCount - 1> length{};
};

// Area, conveyance and top width of the water below elevation waterSurfaceElevation (m).
//   stations, elevations   the eight points (m), left bank to right bank; the distance of each
//                          station from the first must never decrease (ascending or
//                          descending, equal neighbours make a vertical wall)
//   manningN               Manning's n of left overbank (points 1-3), main channel (3-6) and
//                          right overbank (6-8)
// Outputs flowArea (m^2), conveyance (m^3/s) and topWidth (m). status 0, or routine 24 with
//   message 12: stations out of order; all three outputs undefined, message names the pair;
//   message 11: a wetted subsection has n <= 0; area and top width computed, conveyance
//               undefined, message names the (last) offending n.
// message is left as passed when nothing fails. A point exactly at the water surface is dry.
void Conveyance8Point(double waterSurfaceElevation, std::span<const double, 8> stations,
                      std::span<const double, 8> elevations, std::span<const double, 3> manningN,
                      double& flowArea, double& conveyance, double& topWidth,
                      std::int32_t& status, TextField message) noexcept;

// Whether the section can carry flow at all, checked without any flow: S > 0 and finite,
// every n > 0 and finite, every station and elevation finite, and the stations in the order
// Conveyance8Point requires. Returns true when it can, leaving message as passed. Otherwise
// writes the first fault found, in that order, and returns false: "Channel slope is zero or
// negative: S", "Manning's n is zero or negative: n" (the texts the depth search writes, a
// value that is not a number included), "Cross-section stations are out of order: x1, x2",
// or for an infinite S or n and a station or elevation that is not finite "Channel slope is
// not finite: S", "Manning's n is not finite: n", "Cross-section station is not finite: x",
// "Cross-section elevation is not finite: y".
bool CheckSection8Point(double channelSlope, std::span<const double, 8> stations,
                        std::span<const double, 8> elevations,
                        std::span<const double, 3> manningN, TextField message) noexcept;

// Normal depth for a flow, by a secant search with bisection on the depth above the lowest
// point, and the area, top width and kinematic celerity dQ/dA there.
//   channelSlope   bed slope S (m/m, > 0)
//   flow           Q (m^3/s); Q <= 0 gives all four outputs 0 and status 0, nothing examined
//   initialDepth   first estimate (m); used when it is a finite value above 0, otherwise two
//                  thirds of the flow per unit width between the bank points 3 and 6
// Outputs depth (m), flowArea (m^2), topWidth (m), celerity (m/s). The search has converged
// when a new estimate lies within 0.005 m of either previous estimate. status:
//   0; routine 23 message 1 (warning): no convergence in 20 passes, results at the last
//   estimate; routine 23 message 13: S <= 0; routine 23 message 11: some n <= 0 (all three are
//   checked); routine 24 message 12: stations out of order. After an error all four outputs
//   are the undefined value and message holds the failure's text; otherwise message is left
//   as passed (except for the convergence warning).
// Bank stations that descend (a mirrored section) start from the width between them taken
// positive; equal bank stations start from the width of the whole section, and a section
// without any width from 1 m. An estimate that
// would fall to or below zero depth, or that is not a finite number, is replaced: by half the
// smaller estimate when the section carries too much at both estimates, by twice the larger
// when it carries too little at both, else by their mean. A section that carries nothing at
// the depth found (no width) has an undefined celerity.
void ChannelDepth8Point(double channelSlope, std::span<const double, 8> stations,
                        std::span<const double, 8> elevations,
                        std::span<const double, 3> manningN, double flow, double initialDepth,
                        double& depth, double& flowArea, double& topWidth, double& celerity,
                        std::int32_t& status, TextField message) noexcept;

// An eight-point section prepared for the many depth searches of one routing call: the values
// no search changes (sqrt(S), the lowest elevation, the width between the bank points, the
// width and length of each segment) found once, and the order of the stations, known to hold,
// not tested again at every conveyance.
// For a section that CheckSection8Point accepts, depth() gives what ChannelDepth8Point gives
// for the same flow and first estimate, to the bit, outputs, status and message alike; other
// data are the caller's to refuse first. The spans must outlive the object.
class EightPointDepthSearch {
 public:
  EightPointDepthSearch(double channelSlope, std::span<const double, 8> stations,
                        std::span<const double, 8> elevations,
                        std::span<const double, 3> manningN) noexcept;
  void depth(double flow, double initialDepth, double& depth, double& flowArea,
             double& topWidth, double& celerity, std::int32_t& status,
             TextField message) const noexcept;

 private:
  std::span<const double, 8> stations_;
  std::span<const double, 8> elevations_;
  std::span<const double, 3> manningN_;
  double rootSlope_;  // sqrt(S)
  double lowest_;     // Ymin, m
  double bankWidth_;  // m
  SegmentGeometry geometry_;
};

}  // namespace tovalin
