// What the engine does for each reach, whether one process routes the whole network or
// several processes share it: the reach's inflow and routing with its failure mark, the
// counts of the summary and the network's volume account.
#pragma once

#include <oneapi/tbb/enumerable_thread_specific.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "hydro/messages/message_text.h"
#include "network/engine.h"
#include "network/reach_routing.h"

namespace tovalin::network {

// Per-thread scratch of the routing tasks.
struct StepScratch {
  ReachWorkspace reach;
  std::vector<double> upstream, lateral;
  std::vector<std::int64_t> upstreamSlots;  // in ascending reach_id
};

// The routing threads of a run while it lasts: as many as asked (0: every core), even beyond
// the cores (oneTBB otherwise caps its workers at the core count), and their scratch.
struct RoutingThreads {
  explicit RoutingThreads(int asked);
  int count;
  tbb::global_control parallelism;
  tbb::task_arena arena;
  tbb::enumerable_thread_specific<StepScratch> scratch;
};

// A reach's failure mark: 0 sound, 1 its routine failed, 2 a reach upstream failed.
constexpr std::uint8_t kReachFailed = 1;
constexpr std::uint8_t kUpstreamFailed = 2;

// Where a run keeps the outflows and failure marks of the reaches it holds, by slot.
struct ReachSlots {
  std::vector<std::vector<double>>& outflows;
  std::vector<std::uint8_t>& failed;
};

// The sum of a, b; undefined when either is.
inline double AddFlows(double a, double b) noexcept {
  return isUndefinedDbl(a) || isUndefinedDbl(b) ? undefinedDbl() : a + b;
}

// Routes the reach of file index `reach`, described by `description` (whose tables and
// sections are those of `parameters`) and held in slot slotOf(reach): its inflow is the
// outflows of its upstream reaches (slotOf(file index) gives their slots) in ascending
// reach_id, then the boundary inflow (null: none); its lateral inflow is lateral[t * stride].
// Writes its outflow and failure mark into its slot and its state (undefined when the call
// stopped early).
ReachOutcome RouteSlots(const Network& parameters, const Reach& description,
                        std::int32_t intervalMinutes, std::size_t times, std::int64_t slot,
                        ReachSlots slots, ReachState& state, const std::vector<double>* boundary,
                        const double* lateral, std::size_t stride, StepScratch& scratch);
template <class SlotOf>
ReachOutcome RouteInNetwork(const Network& parameters, const Reach& description,
                            const Topology& topology, std::int32_t intervalMinutes,
                            std::size_t times, std::int64_t reach, const SlotOf& slotOf,
                            ReachSlots slots, ReachState& state,
                            const std::vector<double>* boundary, const double* lateral,
                            std::size_t stride, StepScratch& scratch) {
  scratch.upstreamSlots.clear();
  for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1]; ++k)
    scratch.upstreamSlots.push_back(slotOf(topology.upstream[k]));
  return RouteSlots(parameters, description, intervalMinutes, times, slotOf(reach), slots, state,
                    boundary, lateral, stride, scratch);
}

// Counts a routed reach in the summary by its failure mark and outcome.
void CountReach(std::uint8_t failed, const ReachOutcome& outcome, RunSummary& summary) noexcept;

// The network's volume account: each reach's volumes kept by file index as the reaches are
// routed (in any order), summed at the end in ascending reach_id, so that the sums depend
// neither on the routing order nor on how the network was shared out.
class VolumeAccount {
 public:
  explicit VolumeAccount(std::size_t reaches);
  void Keep(std::int64_t reach, const ReachOutcome& outcome) noexcept;
  // The summary's volumes, balance error and undefined accounts.
  void Sum(const Network& network, const Topology& topology, RunSummary& summary) const;

 private:
  static constexpr std::size_t kTerms = 5;  // inflow, outflow, storage start and end, loss
  std::vector<double> volumes_;
};

// The summary's counts and volumes as the results file's global attributes.
std::vector<std::pair<std::string, double>> SummaryAttributes(const RunSummary& summary);

}  // namespace tovalin::network
