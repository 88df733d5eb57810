// The one mapping from a basin (whatever files it came from) to the engine's network: each
// channel link a Muskingum-Cunge reach through the model's channel (an eight-point section
// where the floodplain is wider than the bankfull top, else the trapezoid), each lake one
// modified Puls reach through its level pool's table, with the reach variables the network
// file keeps (reference flow at bankfull, initial flow and level, gauge, order, position),
// and the routing of each link's lateral inflow and initial flow into the reaches.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network/import/basin.h"
#include "network/network.h"
#include "network/topology.h"

namespace tovalin::network::import {

struct MappingOptions {
  // Route lakes as level pools; false (no lake table given): every lake link is a channel.
  bool lakes = true;
  // Merge each link shorter than this (m) into the link it flows into, never across a
  // junction, a lake or a gauged link (see MapBasin); 0: no merging.
  double mergeShorterThan = 0.0;
};

// The imported network and where each reach came from. The reaches are in the engine's
// routing order (so that the engine reads its blocks of forcing as contiguous spans), each
// with its file variables: referenceFlow (m3/s at bankfull; undefined for lakes and links
// without a bankfull depth), initialFlow (undefined until a state gives it), initialLevel (a
// lake's water-surface elevation, m, in the datum of its elevationTable), order (a lake: the
// highest of its links'), latitude and longitude (a lake: its centroid where the lake table
// gives it), and network.gages (a lake: its outlet link's). Per-reach vectors follow the
// reaches.
struct ImportedBasin {
  Network network;
  // The basin links of reach r: links[linkStart[r] .. linkStart[r + 1]), ascending link id (the
  // order in which their lateral inflows are summed).
  std::vector<std::int64_t> linkStart, links;
  std::vector<std::int64_t> outletLink;  // reach -> the basin link whose outflow leaves the reach
  std::vector<std::int64_t> lakeRow;     // reach -> row of basin.lakes, -1 for a channel
  // Rows of basin.lakes that are routed, in row order (a state file's lake levels follow it).
  std::vector<std::int64_t> routedLakes;

  // What the mapping did, for the command's summary.
  std::int64_t eightPointReaches = 0, trapezoidReaches = 0, lakeReaches = 0;
  std::int64_t linksInLakes = 0;         // links that became part of a lake reach
  std::int64_t lakeLinksAsChannels = 0;  // lake links routed as channels (no lake table)
  std::int64_t outletsOutside = 0;       // links whose `to` lies outside the basin
  std::int64_t withoutBankfull = 0;      // links whose top is no wider than their bottom
  std::int64_t gaugesInLakes = 0;        // gauges on lake links other than the outlet, dropped
  std::int64_t mergedLinks = 0;          // links merged into the link they flow into
  std::int64_t steepBeds = 0;            // reaches whose So above 1 m/m was taken as 1
};

struct MappingOutcome {
  Problems refusal;  // non-empty: the basin cannot be routed, nothing else is set
  ImportedBasin basin;
};

// Maps a basin. With a merge length, a link shorter than it merges into the link it flows
// into (a run of short links into the first link below them that does not merge) where
// neither lies in a lake, the short link has no gauge, and the link below receives no other
// link: the merged reach has the summed length, the length-weighted slope (the total fall),
// bottom, bankfull and floodplain widths, side run z and roughnesses, the lateral inflow of all
// its links, and the id, gauge, order and position of the link it merged into. A bed slope
// above 1 m/m (the steepest the engine routes) is taken as 1 m/m and counted. Refused, each problem naming its links or lakes: link ids not positive or
// repeated; a lake without a row in the lake table, whose id is also a link's, whose
// parameters are unsound, without an outlet link or with several; and whatever the engine's
// validation refuses in the mapped network (cycles, a link that flows into itself, missing or
// invalid channel parameters), in the engine's words.
MappingOutcome MapBasin(const Basin& basin, const MappingOptions& options = {});

// Each reach's lateral inflow from each basin link's (m3/s, in basin link order): the sum of
// its links' in ascending link id; undefined where one of them is. Reads only linkStart and
// links (the reaches themselves may have been let go).
void RouteLaterals(const ImportedBasin& imported, std::span<const double> linkValues,
                   std::span<double> reachValues);

// Sets the initial flows from each basin link's flow (in basin link order): a reach's is its
// outlet link's. lakeElevations, empty or one per routed lake (in routedLakes' order), gives
// the lakes' initial levels; without it a lake's initial level becomes undefined, so that it
// starts at the level whose outflow is its initial flow.
void ApplyInitialState(ImportedBasin& imported, std::span<const double> linkFlows,
                       std::span<const double> lakeElevations);

}  // namespace tovalin::network::import
