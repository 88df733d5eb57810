// A lake's level pool and its storage-outflow table for modified Puls routing. At water
// surface elevation H (m): storage S = LkArea 1e6 (H - H0) above the level zero H0, outflow
// O = orifice OrificeC OrificeA sqrt(2 g (H - OrificeE)) for H above OrificeE, plus weir
// WeirC WeirL (H - WeirE)^1.5 for H above WeirE, g = 9.81 m/s2. Dam_Length is not used.
// Areas km2 (LkArea) and m2 (OrificeA), elevations m, storage m3, outflow m3/s.
#pragma once

#include <string>
#include <vector>

#include "network/import/basin.h"

namespace tovalin::network::import {

inline constexpr double kGravity = 9.81;                // m/s2
inline constexpr double kSquareMetresPerKm2 = 1.0e6;    // LkArea km2 -> m2
// The table runs from the level zero to LkMxE + max(LkMxE - H0, kLeastHeadroom).
inline constexpr double kLeastHeadroom = 10.0;  // m
// Linear interpolation in the table stays within kTableRelativeTolerance of the equations'
// outflow plus kTableAbsoluteTolerance everywhere on it.
inline constexpr double kTableRelativeTolerance = 0.005;
inline constexpr double kTableAbsoluteTolerance = 0.01;  // m3/s

// The level zero H0: the orifice invert OrificeE (water below it never leaves and is not
// routed), or the weir crest WeirE where that is lower or the orifice carries nothing
// (OrificeC OrificeA = 0).
double LevelZero(const LakeParameters& lake) noexcept;

// Outflow (m3/s) of the equations at elevation H (m); 0 at and below both outlets.
double LakeOutflow(const LakeParameters& lake, double elevation) noexcept;

// Storage (m3) above the level zero at elevation H (m); 0 at and below it.
double LakeStorage(const LakeParameters& lake, double elevation) noexcept;

// The top of the table (m).
double TableTop(const LakeParameters& lake) noexcept;

// The initial elevation from ifd: H0 + ifd (LkMxE - H0), ifd taken in 0 to 1 (a missing one
// as 0), never below H0.
double InitialElevation(const LakeParameters& lake) noexcept;

// What makes the lake unusable, empty when it is sound: a parameter that is not a finite
// number, LkArea not positive, a negative coefficient, length or area, no outlet that carries
// water.
std::string LakeProblem(const LakeParameters& lake);

// The storage-outflow table of a sound lake, from (0, 0) at the level zero to the top, with the
// elevation of each pair. Pairs at the level zero, WeirE and LkMxE where they lie inside, and
// wherever the chord between two pairs strays from the equations by more than half the
// tolerance, so that the table's interpolation holds the whole tolerance everywhere on it.
struct LakeTable {
  std::vector<double> elevation;  // m
  std::vector<double> storage;    // m3, from 0, ascending
  std::vector<double> outflow;    // m3/s, from 0, ascending
};
LakeTable BuildLakeTable(const LakeParameters& lake);

}  // namespace tovalin::network::import
