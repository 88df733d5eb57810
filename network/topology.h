// Validation of a network (and of its forcing and restart against it) and the order in which
// its reaches are routed: every reach after all of its upstream reaches, each subtree
// contiguous (a depth-first postorder from the outlets), so that blocks of consecutive
// reaches hold whole subtrees and a partition of the network can follow subtrees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network/netcdf_io.h"
#include "network/network.h"

namespace tovalin::network {

// A list of problems, each naming the reaches concerned; empty when the input is sound.
using Problems = std::vector<std::string>;

// Unknown to_id, cycles, duplicate or non-positive ids, unknown methods and each method's
// parameters missing or invalid.
Problems ValidateNetwork(const Network& network);
// The same without the parameters: of a network read as links only.
Problems ValidateLinks(const Network& network);
// Whether every reach's method parameters are sound (of a part of a network).
bool ParametersSound(const Network& network);
// The forcing's reaches (same ids in the same order as the network), its time axis
// (uniform, whole minutes, at least two times) and its boundary reaches (known, once each).
Problems ValidateForcing(const Network& network, const ForcingLayout& forcing);
// A restart's reaches, methods and state counts against the network, and its time and
// interval against the forcing (whose first time is the restart's time).
Problems ValidateRestart(const Network& network, const ForcingLayout& forcing,
                         const RestartData& restart);

// The routing order of a valid network and its links, by file index of the reaches.
struct Topology {
  std::vector<std::int64_t> order;       // routing position -> file index
  std::vector<std::int64_t> position;    // file index -> routing position
  std::vector<std::int64_t> downstream;  // file index -> file index, -1 for an outlet
  // Upstream reaches of file index i: upstream[upstreamStart[i] .. upstreamStart[i + 1]),
  // in ascending reach_id (the order of the sums at junctions).
  std::vector<std::int64_t> upstreamStart;
  std::vector<std::int64_t> upstream;
};
Topology BuildTopology(const Network& network);

}  // namespace tovalin::network
