// The national water model's channel of one link and its forms in the routing library. Below
// bankfull a trapezoid of bottom width BtmWdth and side run z = 1 / ChSlp (horizontal per unit
// rise; ChSlp = 0 is taken as z = 1) up to the bankfull depth db = (TopWdth - BtmWdth) / (2 z);
// above it a rectangle of width TopWdthCC and roughness nCC whose floor is the bankfull level,
// bounded by vertical walls. Depths and widths m, areas m2, flows m3/s.
#pragma once

#include "network/import/basin.h"
#include "tovalin/reach.hpp"

namespace tovalin::network::import {

// The side run z taken where ChSlp is 0 (a vertical-per-horizontal slope of 0 has no run).
inline constexpr double kSideRunWhereSlopeIsZero = 1.0;
// The eight-point section's walls rise to this many bankfull depths above the bed, and at
// least kLeastWallHeight: up to their tops the section has the model's area and wetted
// perimeter at every depth; above them its area still grows as the model's, its perimeter
// no longer does.
inline constexpr double kWallHeightInBankfullDepths = 10.0;
inline constexpr double kLeastWallHeight = 20.0;  // m

// z = 1 / ChSlp (1 where ChSlp is 0; a negative or missing ChSlp gives a z that validation
// refuses).
double SideRun(double channelSideSlope) noexcept;

// db = (TopWdth - BtmWdth) / (2 z), m; 0 or below (or not a number) where the file gives a top
// no wider than the bottom: the link then has no bankfull depth.
double BankfullDepth(const ChannelLink& link) noexcept;

// The link's channel has a floodplain wider than its bankfull top, with a bankfull depth.
bool HasCompoundChannel(const ChannelLink& link) noexcept;

// Flow area, wetted perimeter and top width of the model's shape at a depth above the bed.
struct WettedShape {
  double area = 0.0;       // m2
  double perimeter = 0.0;  // m
  double topWidth = 0.0;   // m
};
// Nothing at depth 0 or below; below bankfull (and for a link without a compound channel, at
// every depth) the trapezoid;
// above it the trapezoid full plus the rectangle: A = (b + z db) db + TopWdthCC (h - db),
// P = b + 2 db sqrt(1 + z^2) + (TopWdthCC - TopWdth) + 2 (h - db).
WettedShape ModelChannelAt(const ChannelLink& link, double depth) noexcept;

// Height of the eight-point section's walls above the bed (m).
double WallHeight(const ChannelLink& link) noexcept;

// The eight-point section of a compound channel, bed at elevation 0: the left wall (points 1
// and 2 at station 0), the left floodplain floor to the bank top (point 3), the trapezoid
// (points 3 to 6), the right floodplain floor and wall (points 7 and 8 at TopWdthCC). Main
// channel roughness n, both overbanks nCC.
EightPointSection CompoundSection(const ChannelLink& link) noexcept;

// The trapezoid of a link without a compound channel: b = BtmWdth, z, n.
TrapezoidSection TrapezoidOf(const ChannelLink& link) noexcept;

// The flow at bankfull depth by Manning's formula through the trapezoid,
// Q = A (A / P)^(2/3) sqrt(So) / n with A and P at db (m3/s); the undefined value where the
// link has no bankfull depth or its slope or roughness is not positive.
double BankfullFlow(const ChannelLink& link) noexcept;

}  // namespace tovalin::network::import
