// A basin as the national water model's files describe it, whichever files it came from: the
// channel links with the attributes of the model's own channel, and the lakes with their level
// pools. The readers of each source (RouteLink and LAKEPARM files, a hydrofabric GeoPackage)
// fill it; one mapping turns it into the engine's network, so that both sources route alike.
// Lengths m, slopes m/m, widths m, areas km2 (LkArea) and m2 (OrificeA), elevations m. A value
// the source does not give is NaN (validation then names the reach that needs it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network/network.h"

namespace tovalin::network::import {

// Marks a link that lies in no lake (the model's own "no waterbody" value).
inline constexpr std::int64_t kNoWaterbody = -9999;

// One channel link.
struct ChannelLink {
  ReachId id = 0;
  ReachId toId = 0;  // 0, or a link not in the basin: the link is an outlet
  double length = 0.0;       // Length, m
  double slope = 0.0;        // So, m/m
  double manningN = 0.0;     // n, main channel
  double sideSlope = 0.0;    // ChSlp, vertical per horizontal (z = 1 / ChSlp)
  double bottomWidth = 0.0;  // BtmWdth, m
  double topWidth = 0.0;     // TopWdth, bankfull top width, m
  double topWidthCompound = 0.0;  // TopWdthCC, width of the compound (floodplain) channel, m
  double manningNCompound = 0.0;  // nCC
  double muskingumK = 0.0;   // MusK, s
  double muskingumX = 0.0;   // MusX
  double initialFlow = 0.0;  // Qi, m3/s (undefined where the source gives none)
  std::int64_t waterbody = kNoWaterbody;  // NHDWaterbodyComID: the lake the link lies in
  std::string gage;                       // USGS gauge id, blank-trimmed; empty: none
  std::int32_t order = 0;                 // stream order
  double latitude = 0.0, longitude = 0.0, altitude = 0.0;
};

// One lake's level pool (a row of LAKEPARM or of a hydrofabric's lake table).
struct LakeParameters {
  std::int64_t id = 0;          // lake_id = the links' NHDWaterbodyComID
  double area = 0.0;            // LkArea, km2
  double maxElevation = 0.0;    // LkMxE, m
  double weirCoefficient = 0.0;     // WeirC
  double weirLength = 0.0;          // WeirL, m
  double weirElevation = 0.0;       // WeirE, m
  double orificeCoefficient = 0.0;  // OrificeC
  double orificeArea = 0.0;         // OrificeA, m2
  double orificeElevation = 0.0;    // OrificeE, m
  double damLength = 0.0;           // Dam_Length, m (kept, not used by the level pool)
  double initialFractionalDepth = 0.0;  // ifd
  double latitude = 0.0, longitude = 0.0;  // the lake's centroid (NaN where the source has none)
};

// The links in the source's own order (a state file without ids pairs its values with the
// links in this order) and the lake table's rows in its order (of which only the lakes that
// links name are routed; their levels in a state file follow this order).
struct Basin {
  std::vector<ChannelLink> links;
  std::vector<LakeParameters> lakes;
};

}  // namespace tovalin::network::import
