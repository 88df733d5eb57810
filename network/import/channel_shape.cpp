// The model's channel shape, its eight-point equivalent and its bankfull flow (Manning's
// formula, Chow, Open-Channel Hydraulics, 5-6, metric coefficient 1).
#include "network/import/channel_shape.h"

#include <algorithm>
#include <cmath>

#include "tovalin/result.hpp"

namespace tovalin::network::import {
namespace {

constexpr double kManningExponent = 2.0 / 3.0;

// Area and wetted perimeter of the trapezoid b, z filled to depth h.
WettedShape Trapezoid(double b, double z, double h) noexcept {
  // A = (b + z h) h, P = b + 2 h sqrt(1 + z^2), T = b + 2 z h
  return {(b + z * h) * h, b + 2.0 * h * std::sqrt(1.0 + z * z), b + 2.0 * z * h};
}

}  // namespace

double SideRun(double channelSideSlope) noexcept {
  return channelSideSlope == 0.0 ? kSideRunWhereSlopeIsZero : 1.0 / channelSideSlope;
}

double BankfullDepth(const ChannelLink& link) noexcept {
  // db = (TopWdth - BtmWdth) / (2 z)
  return (link.topWidth - link.bottomWidth) / (2.0 * SideRun(link.sideSlope));
}

bool HasCompoundChannel(const ChannelLink& link) noexcept {
  return link.topWidthCompound > link.topWidth && BankfullDepth(link) > 0.0;
}

WettedShape ModelChannelAt(const ChannelLink& link, double depth) noexcept {
  const double z = SideRun(link.sideSlope);
  const double bankfull = BankfullDepth(link);
  if (!(depth > 0.0)) return {};
  if (!HasCompoundChannel(link) || depth <= bankfull)
    return Trapezoid(link.bottomWidth, z, depth);
  // Over the banks: the full trapezoid, the water above it over the width TopWdthCC, the
  // floodplain floor beyond the bank tops and the two walls.
  const WettedShape full = Trapezoid(link.bottomWidth, z, bankfull);
  const double above = depth - bankfull;
  return {full.area + link.topWidthCompound * above,
          full.perimeter + (link.topWidthCompound - link.topWidth) + 2.0 * above,
          link.topWidthCompound};
}

double WallHeight(const ChannelLink& link) noexcept {
  return std::max(kWallHeightInBankfullDepths * BankfullDepth(link), kLeastWallHeight);
}

EightPointSection CompoundSection(const ChannelLink& link) noexcept {
  const double z = SideRun(link.sideSlope);
  const double bankfull = BankfullDepth(link);
  const double wall = WallHeight(link);
  // Each floodplain floor: half of what TopWdthCC adds to the bankfull top.
  const double floor = (link.topWidthCompound - link.topWidth) * 0.5;
  const double leftToe = floor + z * bankfull;
  const double rightToe = leftToe + link.bottomWidth;
  EightPointSection s;
  s.stations = {0.0, 0.0, floor, leftToe, rightToe, rightToe + z * bankfull,
                link.topWidthCompound, link.topWidthCompound};
  s.elevations = {wall, bankfull, bankfull, 0.0, 0.0, bankfull, bankfull, wall};
  s.manningN = {link.manningNCompound, link.manningN, link.manningNCompound};
  return s;
}

TrapezoidSection TrapezoidOf(const ChannelLink& link) noexcept {
  return {link.bottomWidth, SideRun(link.sideSlope), link.manningN};
}

double BankfullFlow(const ChannelLink& link) noexcept {
  const double bankfull = BankfullDepth(link);
  if (!(bankfull > 0.0) || !(link.slope > 0.0) || !(link.manningN > 0.0)) return kUndefined;
  const WettedShape at = Trapezoid(link.bottomWidth, SideRun(link.sideSlope), bankfull);
  if (!(at.perimeter > 0.0)) return kUndefined;
  // Q = A (A / P)^(2/3) sqrt(S) / n
  return at.area * std::pow(at.area / at.perimeter, kManningExponent) * std::sqrt(link.slope) /
         link.manningN;
}

}  // namespace tovalin::network::import
