// tovalin C++ API: the routing calls. Each routes one reach's whole hydrograph in one call
// into the caller's workspace and returns a result that explains itself (result.hpp). Every
// problem of the data, and storage that cannot be obtained or lies beyond a call's limit
// (workspace.hpp), is reported in the result's status and text (routine numbers and messages
// as listed in docs/cpp-api.md), never thrown. The calls keep no state of their own: calls on
// different workspaces may run on many threads at once.
#pragma once

#include <span>

#include "tovalin/reach.hpp"
#include "tovalin/result.hpp"
#include "tovalin/start.hpp"
#include "tovalin/state.hpp"
#include "tovalin/workspace.hpp"

namespace tovalin {

// For callers with fixed-width storage of their own (the native adapters use it).
//   messageField  when not empty, the message is written into this blank-padded field of
//                 fixed width instead of the workspace's (left as it is when nothing is
//                 reported, numbers cut at its width), and text views the whole field
//   outflows      when not empty (at least one element per ordinate), the outflows are
//                 written here instead of into the workspace; it may be the flows' own array
//   depthAndVelocity  when true, the result's depth and velocity hold one value per ordinate,
//                 computed as the call routes (see RoutingResult); false spares the call the
//                 extra depth searches
//   runningAccount  when not null, the running sums of the run this call continues (see
//                 RunningAccount): the call adds to them, and its volume is the run's so far
struct RouteOptions {
  std::span<char> messageField;
  std::span<double> outflows;
  bool depthAndVelocity = false;
  RunningAccount* runningAccount = nullptr;
};

// Muskingum routing. Without a state every step starts at steady flow from flows[0]; with one,
// start.outflows holds one outflow per step and flows[0] must equal start.lastInflow.
// Statuses: routine 14; 1 unstable coefficients (routed), 12 invalid K, x or steps,
// 15 lateral inflow given, 16 a state that does not fit the reach or the hydrograph.
MuskingumResult Route(const MuskingumReach& reach, const Hydrograph& hydrograph,
                      Workspace& workspace, const RouteOptions& options = {});
MuskingumResult Route(const MuskingumReach& reach, const Hydrograph& hydrograph,
                      const StepStateView& start, Workspace& workspace,
                      const RouteOptions& options = {});

// Modified Puls routing, with a loss when reach.withLoss. Without a state every step starts
// at steady flow from flows[0]. Statuses: routine 17 (18 with loss); 11 no storage, 12 a
// storage lookup failed, 13 an elevation lookup failed, 14 invalid interval or steps,
// 15 lateral inflow given, 16 a state that does not fit the reach or the hydrograph.
PulsResult Route(const PulsReach& reach, const Hydrograph& hydrograph, Workspace& workspace,
                 const RouteOptions& options = {});
PulsResult Route(const PulsReach& reach, const Hydrograph& hydrograph,
                 const StepStateView& start, Workspace& workspace,
                 const RouteOptions& options = {});

// Muskingum-Cunge, one call over a whole hydrograph from an initial flow profile: the
// computation interval and subreach count are chosen from this hydrograph; finalFlows returns
// the profile's points at the end. Statuses: routine 15 (eight-point) or 16 (trapezoid,
// circle); 1 no convergence in some subreach-step (routed), 11 no storage, 12 invalid data.
MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           const FlowProfile& initial, Workspace& workspace,
                           const RouteOptions& options = {});

// Muskingum-Cunge continuation, cold start: every node at steady flow from flows[0] at the
// discretisation given (see ChooseDiscretisation), returned in result.state; status 16 when it
// has no interval that divides the hydrograph's or a subreach count outside 1 to 200.
MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           const MuskingumCungeDiscretisation& discretisation,
                           Workspace& workspace, const RouteOptions& options = {});
// The same at the reach's own discretisation, ChooseDiscretisation(reach,
// hydrograph.intervalMinutes) without a reference flow: never chosen from the hydrograph's
// flows, so that a run split anywhere equals the run in one call.
MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           Workspace& workspace, const RouteOptions& options = {});
// Muskingum-Cunge continuation from a state: flows[0] must equal start.lastInflow and the
// hydrograph's interval must be a whole multiple of start.computationInterval (status 16
// otherwise).
MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           const MuskingumCungeStateView& start, Workspace& workspace,
                           const RouteOptions& options = {});

}  // namespace tovalin
