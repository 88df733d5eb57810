// Routing of one reach of a network over a window of a run through the C++ API: the method's
// call made with the reach's summed inflow, its lateral inflow, its state and the running sums
// of its volume account, and the result's status, volume account, diagnostics and state taken
// over. The one place of the engine that calls the routing library. Flows m3/s, volumes m3, the
// interval in whole minutes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network/network.h"
#include "tovalin/core.hpp"

namespace tovalin::network {

// The sum of two flows; undefined when either is.
inline double AddFlows(double a, double b) noexcept {
  return IsUndefined(a) || IsUndefined(b) ? kUndefined : a + b;
}

// Characters kept of a routine's message text.
inline constexpr int kMessageWidth = Workspace::kMessageWidth;

// What one reach's routing reports (over a window, or combined over the run).
struct ReachOutcome {
  std::int32_t routine = 0;        // row of the routine-name table, 0 when nothing reported
  std::int32_t messageNumber = 0;  // 1..10 warning, 11 and up error
  std::int32_t severity = 0;       // 0, 2 warning, 4 error
  std::string message;             // the routine's text, trailing blanks removed
  // Volume account over the run so far, m3, as the C++ API gives it (the undefined value where a
  // figure cannot be known, never 0 in its place): inflow (upstream, boundary and lateral) and
  // outflow, Muskingum-Cunge's over its computation steps; storage at the start and the end
  // from the method's own relation; the channel loss; the balance error
  // in - out - (end - start) - loss, and that error relative to in + storage at the start.
  double inflowVolume = kUndefined;
  double outflowVolume = kUndefined;
  double storageStart = kUndefined;
  double storageEnd = kUndefined;
  double loss = kUndefined;
  double balanceError = kUndefined;
  double balanceRelative = kUndefined;
  // The engine's own volumes on the forcing's times (trapezoidal; an interval with an
  // undefined end adds nothing), m3: the forcing's inflow onto the reach (its lateral and
  // boundary inflow) and its outflow as written.
  double forcingVolume = 0.0;
  double writtenOutflowVolume = 0.0;
  // Muskingum-Cunge only (the undefined value, or 0, otherwise): computation interval (s),
  // subreach count, subreach-steps routed, and the ranges of the Courant number ck dt / dx and of the cell Reynolds number
  // Q / (S T ck dx) over the depth computations of the run (undefined when none was made).
  double computationInterval = kUndefined;
  std::int32_t subreachCount = 0;
  std::int64_t subreachSteps = 0;  // subreach-steps routed (the work of the run)
  double courantMin = kUndefined;
  double courantMax = kUndefined;
  double reynoldsMin = kUndefined;
  double reynoldsMax = kUndefined;
};

// The state that carries a reach's routing from one run to the next, as a restart file holds
// it (the API's state types laid flat): the values (Muskingum: each step's outflow; Puls: each
// step's outflow, then its storage indicator, then with loss its outflow before the loss;
// Muskingum-Cunge: the flow, then the depth, at each of the NSUB + 1 nodes), the inflow of the
// run's last ordinate (the next run's first) and, for Muskingum-Cunge, the computation
// interval and subreach count held from run to run.
struct ReachState {
  std::vector<double> values;
  double lastInflow = 0.0;
  double computationInterval = 0.0;  // s
  std::int32_t subreachCount = 0;
};

// Number of state values of a reach; subreachCount is the state's for Muskingum-Cunge.
std::int32_t StateCount(const Reach& reach, std::int32_t subreachCount) noexcept;

// Per-thread memory reused from reach to reach: the API's workspace and the summed series.
struct ReachWorkspace {
  Workspace api;
  std::vector<double> inflows;
  std::vector<double> lateralPerMetre;
};

// What flows into a reach over a window.
struct ReachInflow {
  std::span<const double> upstream;  // sum of the upstream outflows and the boundary inflow
  std::span<const double> lateral;   // lateral inflow, m3/s over the whole reach
  bool belowStartFailure = false;    // a reach upstream failed at its start (routed nothing)
};

// Where a reach's depth and velocity at each ordinate go, when asked for (as many as the
// inflows; empty: not asked for, and not computed): the C++ API's per-ordinate results
// (RouteOptions::depthAndVelocity), computed by the routine as it routes. Muskingum-Cunge: the
// normal depth of the outflow at the reach's downstream end (m) and the outflow over its flow
// area there (m/s); Puls: the water level of the last step above its table's first elevation
// (a lake's level above its level zero; undefined where the reach's elevations are not all
// given), no velocity; Muskingum: neither (undefined).
struct DepthAndVelocity {
  std::span<double> depths;
  std::span<double> velocities;
  bool asked() const noexcept { return !depths.empty() || !velocities.empty(); }
};

// What a reach's routing is planned with before its block is routed: a Muskingum-Cunge
// reach's discretisation, chosen from the reach and its reference flow when it does not start
// from a restart's state (RouteReach then routes at it instead of choosing it again), and the
// estimated work of its call, in Muskingum-Cunge subreach-steps through a trapezoid (the
// other methods and sections by their cost per step against it), by which the engine starts
// the most expensive chains of reaches first.
struct ReachPlan {
  MuskingumCungeDiscretisation discretisation;
  bool chosen = false;  // discretisation holds the choice
  double work = 0.0;
};

// The plan of a reach routed over a window of `times` ordinates from `state` (a restart's or
// the window before's, or no values: the run's first window).
ReachPlan PlanReach(const Network& network, const Reach& reach, const ReachState& state,
                    std::int32_t intervalMinutes, std::size_t times);

// Routes one reach over a window of the run (the run's first window, or one that continues
// the state and the running account of the window before).
//   inflow    at each ordinate (see ReachInflow)
//   outflows  the reach's outflow at each ordinate (as many as the inflows)
//   series    its depth and velocity at each ordinate, where asked for (undefined where the
//             reach's start fails, as its outflows)
//   plan      the reach's plan (PlanReach with the same state), or null: chosen here
//   state     in: the state at the first ordinate (a restart's), or no values: then the
//             reach starts from its initial values where it has them (a Puls reach at its
//             initial_level, else at its initial_flow; any other reach at its initial_flow),
//             in a state the API builds with the first inflow as its last inflow, and
//             otherwise cold (every step, or every node, at steady flow from the first
//             inflow): the run's first window. A Muskingum-Cunge reach without a restart's state routes at the
//             discretisation the API chooses from the reach and its referenceFlow (the
//             reach's own rule where it has none); out: the state at the last ordinate. A
//             state whose last inflow is not the first inflow fails the reach (the API's
//             message 16), except below a failure at the start of a reach upstream: that
//             failure changed the inflow, and the first ordinate, which belongs to the run
//             that wrote the state, takes the state's last inflow, so that the reach is routed
//             on from its state with the inflow that follows. A start the API refuses to build
//             (a flow or level outside a Puls table, ...) fails the reach with the API's
//             status and text, its outflows and state undefined.
//   account   the running sums of the reach's volume account over the run's windows so far
//             (as constructed before the first): the outcome's account is the run's so far.
// Nothing is thrown: a routine's failure is reported in the outcome.
ReachOutcome RouteReach(const Network& network, const Reach& reach, std::int32_t intervalMinutes,
                        const ReachInflow& inflow, std::span<double> outflows, ReachState& state,
                        RunningAccount& account, ReachWorkspace& workspace,
                        const DepthAndVelocity& series = {}, const ReachPlan* plan = nullptr);

}  // namespace tovalin::network
