#include "network/partition.h"

#include <algorithm>
#include <cstdio>

namespace tovalin::network {

double ReachCost(const Reach& reach, std::int32_t intervalMinutes, std::int64_t times) noexcept {
  const double steps = static_cast<double>(times);
  const double perStep = std::max(1, reach.stepCount);
  switch (reach.method) {
    case Method::kMuskingum:
      return steps * perStep;
    case Method::kPuls:
      return 2.0 * steps * perStep;
    case Method::kPulsWithLoss:
      return 3.0 * steps * perStep;
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism: {
      const double travel = kCostCelerity * 60.0 * intervalMinutes;  // m per ordinate
      const double length = reach.reachLength > 1.0 ? reach.reachLength : 1.0;
      const double updates = std::max(travel / length, length / travel);
      const double node = reach.method == Method::kMuskingumCunge8Point ? 8.0 : 4.0;
      return node * steps * std::min(updates, 1.0e6);
    }
  }
  return steps;
}

Partition PartitionNetwork(const Network& network, const Topology& topology,
                           std::int32_t intervalMinutes, std::int64_t times, int processes) {
  const auto n = static_cast<std::int64_t>(topology.order.size());
  const int parts = std::max(1, processes);
  std::vector<double> prefix(static_cast<std::size_t>(n) + 1, 0.0);
  for (std::int64_t p = 0; p < n; ++p)
    prefix[p + 1] =
        prefix[p] + ReachCost(network.reaches[topology.order[p]], intervalMinutes, times);
  Partition part;
  part.first.assign(parts + 1, n);
  part.first[0] = 0;
  for (int r = 1; r < parts; ++r) {
    const double target = prefix[n] * r / parts;
    auto cut = static_cast<std::int64_t>(std::lower_bound(prefix.begin(), prefix.end(), target) -
                                         prefix.begin());
    // Whichever side of the crossing reach is closer to the target, and at least one reach
    // per process where there are enough.
    if (cut > 0 && cut <= n && target - prefix[cut - 1] < prefix[cut] - target) --cut;
    cut = std::min(cut, n - (parts - r));
    cut = std::max(cut, std::min(n, part.first[r - 1] + 1));
    part.first[r] = cut;
  }
  part.cost.resize(parts);
  part.outgoing.assign(parts, 0);
  part.waiting.assign(parts, 0);
  part.waitingCost.assign(parts, 0.0);
  std::vector<std::uint8_t> waits(static_cast<std::size_t>(n), 0);
  for (int r = 0; r < parts; ++r) {
    part.cost[r] = prefix[part.first[r + 1]] - prefix[part.first[r]];
    for (std::int64_t p = part.first[r]; p < part.first[r + 1]; ++p) {
      const std::int64_t reach = topology.order[p], down = topology.downstream[reach];
      if (down >= 0 && topology.position[down] >= part.first[r + 1]) ++part.outgoing[r];
      for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
           ++k) {
        const std::int64_t up = topology.position[topology.upstream[k]];
        if (up < part.first[r] || waits[up]) waits[p] = 1;
      }
      if (waits[p]) ++part.waiting[r], part.waitingCost[r] += prefix[p + 1] - prefix[p];
    }
  }
  return part;
}

int Partition::Owner(std::int64_t position) const noexcept {
  return static_cast<int>(std::upper_bound(first.begin() + 1, first.end() - 1, position) -
                          (first.begin() + 1));
}

double Partition::Imbalance() const noexcept {
  double total = 0.0, most = 0.0;
  for (double c : cost) total += c, most = std::max(most, c);
  return total > 0.0 ? most / (total / static_cast<double>(cost.size())) : 1.0;
}

std::string Partition::Report() const {
  char line[256];
  std::snprintf(line, sizeof line, "partition: %zu processes, largest share %.4f of the mean\n",
                cost.size(), Imbalance());
  std::string s = line;
  double total = 0.0;
  for (double c : cost) total += c;
  for (std::size_t r = 0; r < cost.size(); ++r) {
    if (first[r + 1] == first[r]) {  // more processes than reaches
      std::snprintf(line, sizeof line, "  process %zu: no reaches\n", r);
      s += line;
      continue;
    }
    std::snprintf(line, sizeof line,
                  "  process %zu: %lld reaches (routing positions %lld-%lld), work %.2f%%, "
                  "%lld boundary reaches out, %lld reaches (%.2f%% of its work) wait for "
                  "another process\n",
                  r, static_cast<long long>(first[r + 1] - first[r]),
                  static_cast<long long>(first[r]), static_cast<long long>(first[r + 1] - 1),
                  total > 0.0 ? 100.0 * cost[r] / total : 0.0, static_cast<long long>(outgoing[r]),
                  static_cast<long long>(waiting[r]),
                  cost[r] > 0.0 ? 100.0 * waitingCost[r] / cost[r] : 0.0);
    s += line;
  }
  return s;
}

}  // namespace tovalin::network
