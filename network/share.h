// The part of a run that one process holds: the routing positions first .. end - 1 of the
// routing order (all of them in one process), each with a slot, and after them a slot for
// every upstream reach routed by another process whose outflow this process receives. A slot
// holds its reach's outflow over the window being routed and its failure mark; a slot of the
// share itself also the reach's parameters, its run so far (state, running volume account,
// outcome) and its boundary hydrograph over the window. Routing a reach reads the slots of its
// upstream reaches and writes its own, so reaches whose upstream reaches are routed may be
// routed at once, on any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "network/network.h"
#include "network/reach_routing.h"
#include "network/summary.h"
#include "network/topology.h"

namespace tovalin::network {

// The windows of a run of `times` ordinates in windows of `length` (0: one window, the whole
// run). Window 0 routes ordinates 0 .. length - 1; window w > 0 routes from the last ordinate
// of window w - 1 (the state's ordinate, one of overlap) to w length + length - 1, so that
// every ordinate is brought by one window; the last may be shorter.
struct RunWindows {
  std::int64_t times = 0;
  std::int64_t length = 0;

  RunWindows(std::int64_t times_, std::int64_t length_) noexcept
      : times(times_), length(length_ > 0 && length_ < times_ ? length_ : times_) {}
  std::int64_t count() const noexcept { return length > 0 ? (times + length - 1) / length : 0; }
  // The ordinates window w brings: those it writes.
  Ordinates Written(std::int64_t w) const noexcept {
    return {w * length, std::min(length, times - w * length)};
  }
  // The ordinates window w routes: those it writes, after the ordinate of overlap (w > 0).
  Ordinates Routed(std::int64_t w) const noexcept {
    const Ordinates written = Written(w);
    return w == 0 ? written : Ordinates{written.first - 1, written.count + 1};
  }
};

// Per-thread memory of the routing tasks, reused from reach to reach.
struct RoutingScratch {
  ReachWorkspace reach;
  std::vector<double> upstream, lateral;
};

// A reach's lateral inflow in a time-major block read from the forcing: at ordinate t of the
// window, first[t * stride].
struct LateralColumn {
  const double* first = nullptr;
  std::size_t stride = 1;
};

// The trapezoid's sum of a series over its intervals, a + b added in time order to `sum` (the
// sum so far of a run, or 0); an interval with an undefined end adds nothing. Times dt / 2:
// the volume.
double TrapezoidSum(std::span<const double> flows, double sum) noexcept;
// The volume of a series of flows at intervals of dt seconds, trapezoidal.
double TrapezoidVolume(std::span<const double> flows, double dt) noexcept;

// What a reach's routing carries from window to window: its state, the API's running sums of
// its volume account, its outcome over the windows so far, and the engine's own trapezoid sums
// (lateral and boundary inflow, outflow as written).
struct ReachRun {
  ReachState state;
  RunningAccount account;
  ReachOutcome outcome;
  double lateralSum = 0.0, boundarySum = 0.0, writtenSum = 0.0;
  bool boundary = false;  // the reach has a boundary hydrograph
};

// A window's outcome into a reach's run (`first`: the run's first window). The window's call
// reports what the routine reported last over it, as one call over the run does, so the run
// keeps the status of the last window that reported one and the text of the last that wrote
// one; the volume account of the last window (the run's, through the running account) and its
// discretisation; the Courant and cell Reynolds ranges over every window.
void CombineWindow(const ReachOutcome& window, bool first, ReachOutcome& run);

struct Share {
  // The share of routing positions [first, end); `parameters` holds the reaches of file
  // indices parametersFirst onwards (at least the share's) with the tables and sections they
  // use.
  Share(const Topology& topology, Network parameters, std::int64_t parametersFirst,
        std::int32_t intervalMinutes, std::int64_t first, std::int64_t end);

  const Topology& topology;
  const Network parameters;
  const std::int64_t parametersFirst;
  const std::int32_t intervalMinutes;
  const std::int64_t first, end;

  // The share's slots in the order they are routed: first those that need nothing from
  // another process (`independent` of them), then those below a reach routed elsewhere.
  std::vector<std::int64_t> sequence;
  std::size_t independent = 0;

  std::vector<std::vector<double>> outflows;  // by slot, over the window; empty once no one needs it
  // The depth and velocity of every reach of the share over the window, computed as it is
  // routed where asked for (reach_routing.h), by share slot until handed over.
  bool depths = false, velocities = false;
  std::vector<std::vector<double>> depthSeries, velocitySeries;
  std::vector<std::uint8_t> marks;            // by slot, over the run so far (summary.h)
  // By share slot, from its first routing (or its restart state) until its run is closed.
  std::vector<std::unique_ptr<ReachRun>> runs;
  // The boundary hydrographs over the window of the share's reaches that have one, by share
  // slot.
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

  // The run of a share slot, begun where it has none.
  ReachRun& RunOf(std::int64_t slot);

  // Routes the reach of share slot `slot` over a window of `ordinates` (the run's first
  // window when `firstWindow`): its inflow is the outflows of its upstream reaches in
  // ascending reach_id, then its boundary inflow; its lateral inflow is `lateral`. Writes its
  // outflow (and its depth and velocity where asked for) and failure marks, and carries its
  // run on (state, undefined when the call stopped before routing; account; outcome), routing
  // at its plan (PlanReach; null: planned in the call). Nothing is thrown but what memory and
  // the routine's own faults throw.
  void Route(std::int64_t slot, std::size_t ordinates, bool firstWindow, LateralColumn lateral,
             RoutingScratch& scratch, const ReachPlan* plan = nullptr);
  // The outcome of a share slot's run once its last window is routed, its own volumes on the
  // forcing's times joined to it; the run is let go.
  ReachOutcome Close(std::int64_t slot);

 private:
  std::unordered_map<std::int64_t, std::int64_t> remoteSlot_;  // file index -> slot
};

}  // namespace tovalin::network
