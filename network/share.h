// The part of a run that one process holds: the routing positions first .. end - 1 of the
// routing order (all of them in one process), each with a slot, and after them a slot for
// every upstream reach routed by another process whose outflow this process receives. A slot
// holds its reach's outflow over the ordinates being routed and its failure mark; a slot of
// the share itself also the reach's parameters, state, outcome and boundary hydrograph.
// Routing a reach reads the slots of its upstream reaches and writes its own, so reaches
// whose upstream reaches are routed may be routed at once, on any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "network/network.h"
#include "network/reach_routing.h"
#include "network/topology.h"

namespace tovalin::network {

// Per-thread memory of the routing tasks, reused from reach to reach.
struct RoutingScratch {
  ReachWorkspace reach;
  std::vector<double> upstream, lateral;
};

// A reach's lateral inflow in a time-major block read from the forcing: at ordinate t,
// first[t * stride].
struct LateralColumn {
  const double* first = nullptr;
  std::size_t stride = 1;
};

// The volume of a series of flows at intervals of dt seconds, trapezoidal; an interval with
// an undefined end adds nothing.
double TrapezoidVolume(std::span<const double> flows, double dt) noexcept;

struct Share {
  // The share of routing positions [first, end); `parameters` holds the reaches of file
  // indices parametersFirst onwards (at least the share's) with the tables and sections they
  // use; `times` ordinates are routed.
  Share(const Topology& topology, Network parameters, std::int64_t parametersFirst,
        std::int32_t intervalMinutes, std::size_t times, std::int64_t first, std::int64_t end);

  const Topology& topology;
  const Network parameters;
  const std::int64_t parametersFirst;
  const std::int32_t intervalMinutes;
  const std::size_t times;
  const std::int64_t first, end;

  // The share's slots in the order they are routed: first those that need nothing from
  // another process (`independent` of them), then those below a reach routed elsewhere.
  std::vector<std::int64_t> sequence;
  std::size_t independent = 0;

  std::vector<std::vector<double>> outflows;  // by slot; empty once no one needs it
  // The depth and velocity of every reach of the share at each ordinate, computed as it is
  // routed where asked for (reach_routing.h), by share slot until handed over.
  bool depths = false, velocities = false;
  std::vector<std::vector<double>> depthSeries, velocitySeries;
  std::vector<std::uint8_t> marks;            // by slot
  std::vector<ReachState> states;             // by share slot
  // By share slot, from its routing until its results are handed over (then null).
  std::vector<std::unique_ptr<ReachOutcome>> outcomes;
  // The boundary hydrographs of the share's reaches that have one, by share slot.
  std::unordered_map<std::int64_t, std::vector<double>> boundaries;

  std::int64_t size() const noexcept { return end - first; }
  bool Holds(std::int64_t reach) const noexcept;
  // The slot of a reach (file index) of the share or received from elsewhere.
  std::int64_t Slot(std::int64_t reach) const;
  // The reach (file index) of a share slot.
  std::int64_t ReachAt(std::int64_t slot) const noexcept { return topology.order[first + slot]; }
  // The parameters and the id of the reach of a share slot.
  const Reach& ReachOf(std::int64_t slot) const noexcept {
    return parameters.reaches[ReachAt(slot) - parametersFirst];
  }
  // Gives the next slot to a reach routed elsewhere whose outflow this process receives.
  std::int64_t AddInbound(std::int64_t reach);

  // Routes the reach of share slot `slot`: its inflow is the outflows of its upstream reaches
  // in ascending reach_id, then its boundary inflow; its lateral inflow is `lateral`. Writes
  // its outflow (and its depth and velocity where asked for), failure mark, state (undefined
  // when the call stopped before routing) and outcome, routing at its plan (PlanReach; null:
  // planned in the call). Nothing is thrown but what memory and the routine's own faults
  // throw.
  void Route(std::int64_t slot, LateralColumn lateral, RoutingScratch& scratch,
             const ReachPlan* plan = nullptr);

 private:
  std::unordered_map<std::int64_t, std::int64_t> remoteSlot_;  // file index -> slot
};

}  // namespace tovalin::network
