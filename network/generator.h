// Synthetic dendritic river networks for tests and benchmarks: a random binary tree of
// reaches with Horton-Strahler orders, reach geometry drawn by order, any mix of the five
// methods, and a storm on part of the basin in the forcing. The distributions are described
// in docs/network.md; the same options and seed give the same files on every machine.
#pragma once

#include <cstdint>
#include <string>

#include "network/network.h"

namespace tovalin::network {

enum class MethodMix { kMixed, kMuskingumCungeTrapezoid };

struct GeneratorOptions {
  std::int64_t reaches = 1000;
  std::int64_t steps = 48;  // ordinates of the forcing
  std::int32_t intervalMinutes = 60;
  std::uint64_t seed = 1;
  MethodMix methods = MethodMix::kMixed;
};

// A generated network in routing order (upstream subtrees before their reach), with its
// Strahler orders.
struct GeneratedNetwork {
  Network network;
  std::vector<std::int32_t> strahlerOrder;  // by file index
  std::vector<ReachId> boundaryReachIds;
};
GeneratedNetwork GenerateNetwork(const GeneratorOptions& options);

// Writes the network and its forcing files.
void WriteGenerated(const GeneratorOptions& options, const GeneratedNetwork& generated,
                    const std::string& networkPath, const std::string& forcingPath);

}  // namespace tovalin::network
