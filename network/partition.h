// A deterministic split of a network's routing order among processes. Each process gets a
// contiguous run of routing positions (whole subtrees, plus the pieces of the main stems that
// join them), balanced by an estimate of the routing work of each reach. The same network,
// time axis and process count always give the same partition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/topology.h"

namespace tovalin::network {

// Nominal wave celerity of the cost model, m/s.
inline constexpr double kCostCelerity = 2.0;

// Estimated work of routing one reach over `times` ordinates, in units of one Muskingum
// step. Muskingum 1 and Puls 2 (3 with loss) per routing step; Muskingum-Cunge 4 per node
// update (a trapezoid or circle; 8 for an eight-point section) times the node updates per
// ordinate, max(c dt / L, L / (c dt)) with c the nominal celerity: a short reach forces a
// computation interval below L / c, a long one splits into subreaches.
double ReachCost(const Reach& reach, std::int32_t intervalMinutes, std::int64_t times) noexcept;

struct Partition {
  // Process r routes the routing positions first[r] .. first[r + 1] - 1.
  std::vector<std::int64_t> first;
  std::vector<double> cost;  // estimated work of each process
  // Reaches whose downstream reach lies on another process, per process.
  std::vector<std::int64_t> outgoing;
  // Reaches below a reach routed on another process, per process: they wait for it, and
  // their work is the critical path's share of the process (see docs/network-cluster.md).
  std::vector<std::int64_t> waiting;
  std::vector<double> waitingCost;

  int Owner(std::int64_t position) const noexcept;
  // Largest share of the work over the mean share (1 is a perfect balance).
  double Imbalance() const noexcept;
  // A few lines for the start of a run: per process its reaches, work and boundaries.
  std::string Report() const;
};

// Splits the routing order at the positions where the running sum of the reaches' costs
// passes each process's equal share (never leaving a process without a reach while reaches
// remain).
Partition PartitionNetwork(const Network& network, const Topology& topology,
                           std::int32_t intervalMinutes, std::int64_t times, int processes);

}  // namespace tovalin::network
