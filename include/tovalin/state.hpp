// tovalin C++ API: the states that carry a run on from one call to the next.
//
// Muskingum and Puls (StepState): for each routing step, its outflow at the last ordinate of
// the call, and for Puls the storage indicator (and with loss the outflow before the loss)
// there; with them the last inflow of the call. Convention: the next call's hydrograph starts
// at the last ordinate of the previous one (one ordinate of overlap: flows[0] of the second
// call equals lastInflow, which is checked). Under it, two calls equal one call over the whole
// hydrograph bit for bit, outflows and states alike (the overlapping ordinate comes out of the
// second call as the state's outflow of the last step).
//
// Muskingum-Cunge (MuskingumCungeState): a one-call run chooses its computation interval and
// subreach count from the whole hydrograph, so no split of a run can equal it. The
// continuation instead routes at an interval and subreach count chosen before the run from the
// reach and a reference flow (ChooseDiscretisation, start.hpp), held fixed from chunk to chunk
// with the flow and depth at every node, the computation steps aligned on the ordinates (the
// interval is the hydrograph's divided by a whole number); chunks continued this way equal the
// same continuation run over the whole hydrograph in one call, bit for bit. How it differs
// from a one-call run is documented in docs/cpp-api.md.
//
// A run that starts from known flows builds its first state with StartAtFlow or StartAtLevel
// (start.hpp).
//
// The *View types refer to memory owned elsewhere (a workspace, an owning state, the caller);
// the owning types keep their own copy, for instance for a restart file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tovalin {

struct StepStateView {
  // Outflow of each step at the last ordinate, as handed to the next step (net of any loss).
  std::span<const double> outflows;
  // Puls with loss: each step's outflow before the loss at the last ordinate; empty otherwise.
  std::span<const double> grossOutflows;
  // Puls: each step's storage indicator S/dt + O/2 at the last ordinate; empty for Muskingum.
  // A Puls state without them starts each step from its outflow through the table, as a cold
  // start does (and then does not continue bit for bit).
  std::span<const double> storageIndicators;
  // The inflow of the last ordinate: the next call's first ordinate.
  double lastInflow = 0.0;
};

struct StepState {
  std::vector<double> outflows;
  std::vector<double> grossOutflows;
  std::vector<double> storageIndicators;
  double lastInflow = 0.0;

  StepStateView view() const noexcept {
    return {outflows, grossOutflows, storageIndicators, lastInflow};
  }
  // Copies a view; allocates only where a vector's capacity is too small.
  void assign(const StepStateView& from) {
    outflows.assign(from.outflows.begin(), from.outflows.end());
    grossOutflows.assign(from.grossOutflows.begin(), from.grossOutflows.end());
    storageIndicators.assign(from.storageIndicators.begin(), from.storageIndicators.end());
    lastInflow = from.lastInflow;
  }
};

struct MuskingumCungeStateView {
  double computationInterval = 0.0;  // s: the hydrograph's interval divided by a whole number
  std::int32_t subreachCount = 0;    // NSUB, 1 to 200
  std::span<const double> nodeFlows;   // m3/s at the NSUB + 1 nodes, upstream to downstream
  std::span<const double> nodeDepths;  // m: the last depth found at each node (search start)
  double lastInflow = 0.0;             // m3/s: the next call's first ordinate
};

struct MuskingumCungeState {
  double computationInterval = 0.0;
  std::int32_t subreachCount = 0;
  std::vector<double> nodeFlows;
  std::vector<double> nodeDepths;
  double lastInflow = 0.0;

  MuskingumCungeStateView view() const noexcept {
    return {computationInterval, subreachCount, nodeFlows, nodeDepths, lastInflow};
  }
  void assign(const MuskingumCungeStateView& from) {
    computationInterval = from.computationInterval;
    subreachCount = from.subreachCount;
    nodeFlows.assign(from.nodeFlows.begin(), from.nodeFlows.end());
    nodeDepths.assign(from.nodeDepths.begin(), from.nodeDepths.end());
    lastInflow = from.lastInflow;
  }
};

}  // namespace tovalin
