// Routing of one reach over a window of a run through the C++ API: the reach's description and
// hydrograph built from the network's record, its start (a restart's state, a state built by
// the API from the reach's initial flow or level, or the cold start), one call, and the
// result's status, volume account, diagnostics and state taken over into the outcome. Restart
// values per method: Muskingum each step's outflow; Puls each step's outflow then its storage
// indicator (and, with loss, its outflow before the loss); Muskingum-Cunge the flow then the
// depth at each of the NSUB + 1 nodes.
#include "network/reach_routing.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "tovalin/core.hpp"

namespace tovalin::network {
namespace {

// The state values of a step method laid end to end: outflows, indicators, gross outflows.
void SaveSteps(const StepStateView& view, ReachState& state) {
  state.values.assign(view.outflows.begin(), view.outflows.end());
  state.values.insert(state.values.end(), view.storageIndicators.begin(),
                      view.storageIndicators.end());
  state.values.insert(state.values.end(), view.grossOutflows.begin(), view.grossOutflows.end());
  state.lastInflow = view.lastInflow;
}

StepStateView StepView(const ReachState& state, std::size_t steps, bool indicators, bool gross) {
  const std::span<const double> v(state.values);
  StepStateView view;
  view.outflows = v.first(steps);
  if (indicators) view.storageIndicators = v.subspan(steps, steps);
  if (gross) view.grossOutflows = v.subspan(2 * steps, steps);
  view.lastInflow = state.lastInflow;
  return view;
}

template <typename Result>
void TakeStatus(const Result& result, ReachOutcome& outcome) {
  outcome.routine = result.status.routine;
  outcome.messageNumber = result.status.messageNumber;
  outcome.severity = static_cast<std::int32_t>(result.status.severity);
  outcome.message.assign(result.text.begin(), result.text.end());
  outcome.inflowVolume = result.volume.inflow;
  outcome.outflowVolume = result.volume.outflow;
  outcome.storageStart = result.volume.storageStart;
  outcome.storageEnd = result.volume.storageEnd;
  outcome.loss = result.volume.loss;
  outcome.balanceError = result.volume.balanceError;
  outcome.balanceRelative = result.volume.relativeError;
}

// Whether two ordinates are the same as the API's state check takes them: both undefined,
// or the same bits.
bool SameOrdinate(double a, double b) noexcept {
  if (IsUndefined(a) || IsUndefined(b)) return IsUndefined(a) && IsUndefined(b);
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The result's depth and velocity into the series asked for; undefined where the call gave
// none (a call that routed nothing).
template <typename Result>
void TakeSeries(const Result& result, const DepthAndVelocity& series) {
  const auto take = [](std::span<const double> from, std::span<double> into) {
    if (from.size() >= into.size())
      std::copy_n(from.begin(), into.size(), into.begin());
    else
      std::fill(into.begin(), into.end(), kUndefined);
  };
  take(result.depth, series.depths);
  take(result.velocity, series.velocities);
}

// Whether every elevation of a Puls reach's table is given (a lake's levels can be taken).
bool ElevationsGiven(const Network& network, const Reach& reach) noexcept {
  const auto first = static_cast<std::size_t>(reach.tableStart);
  const auto count = static_cast<std::size_t>(reach.tableCount);
  if (first > network.elevationTable.size() || count > network.elevationTable.size() - first)
    return false;
  return std::none_of(network.elevationTable.begin() + static_cast<std::ptrdiff_t>(first),
                      network.elevationTable.begin() + static_cast<std::ptrdiff_t>(first + count),
                      [](double e) { return IsUndefined(e) || !std::isfinite(e); });
}

// The undefined value for a NaN (a figure the API could not compute).
double Figure(double v) noexcept { return std::isnan(v) ? kUndefined : v; }

// The Puls description of a reach: its table (and elevations with loss, or where asked for a
// start at a level), steps and loss.
PulsReach PulsDescription(const Network& network, const Reach& reach, bool withElevation) {
  const auto first = static_cast<std::size_t>(reach.tableStart);
  const auto count = static_cast<std::size_t>(reach.tableCount);
  const bool loss = reach.method == Method::kPulsWithLoss;
  PulsReach description;
  description.storage = std::span(network.storageTable).subspan(first, count);
  description.outflow = std::span(network.outflowTable).subspan(first, count);
  description.steps = reach.stepCount;
  description.withLoss = loss;
  if (loss || withElevation)
    description.elevation = std::span(network.elevationTable).subspan(first, count);
  description.lossElevation = reach.lossElevation;
  description.lossRate = reach.lossRate;
  return description;
}

// Muskingum and Puls, with or without loss: the lateral inflow joins the reach's inflow. A
// Puls reach asked for its levels is given its elevations where they are all known.
void RouteSteps(const Network& network, const Reach& reach, const Hydrograph& hydrograph,
                const RouteOptions& options, bool warm, ReachState& state, ReachOutcome& outcome,
                const DepthAndVelocity& series, Workspace& workspace) {
  const auto steps = static_cast<std::size_t>(reach.stepCount);
  if (reach.method == Method::kMuskingum) {
    const MuskingumReach description{reach.muskingumK, reach.muskingumX, reach.stepCount};
    const MuskingumResult r =
        warm ? Route(description, hydrograph, StepView(state, steps, false, false), workspace,
                     options)
             : Route(description, hydrograph, workspace, options);
    TakeStatus(r, outcome);
    TakeSeries(r, series);
    SaveSteps(r.state, state);
    return;
  }
  const bool loss = reach.method == Method::kPulsWithLoss;
  const PulsReach description =
      PulsDescription(network, reach, series.asked() && ElevationsGiven(network, reach));
  const PulsResult r =
      warm ? Route(description, hydrograph, StepView(state, steps, true, loss), workspace, options)
           : Route(description, hydrograph, workspace, options);
  TakeStatus(r, outcome);
  TakeSeries(r, series);
  SaveSteps(r.state, state);
}

// The Muskingum-Cunge description of a reach: its length, slope and section.
MuskingumCungeReach CungeReach(const Network& network, const Reach& reach) {
  MuskingumCungeReach description{reach.reachLength, reach.channelSlope, {}};
  if (reach.method == Method::kMuskingumCunge8Point) {
    EightPointSection section;
    const auto first = static_cast<std::size_t>(reach.sectionStart);
    std::copy_n(network.sectionStations.begin() + first, kSectionPoints, section.stations.begin());
    std::copy_n(network.sectionElevations.begin() + first, kSectionPoints,
                section.elevations.begin());
    section.manningN = {reach.leftOverbankManningN, reach.manningN, reach.rightOverbankManningN};
    description.section = section;
  } else if (reach.circle) {
    description.section = CircleSection{reach.bottomWidth, reach.manningN};
  } else {
    description.section = TrapezoidSection{reach.bottomWidth, reach.sideSlope, reach.manningN};
  }
  return description;
}

// A Muskingum-Cunge reach's discretisation where it does not start from a restart's state:
// its plan's, or chosen from the reach and its reference flow.
MuskingumCungeDiscretisation Discretisation(const Network& network, const Reach& reach,
                                            std::int32_t intervalMinutes, const ReachPlan* plan) {
  if (plan && plan->chosen) return plan->discretisation;
  return ChooseDiscretisation(CungeReach(network, reach), intervalMinutes, reach.referenceFlow);
}

// Muskingum-Cunge: the lateral inflow enters along the reach, per metre.
void RouteCunge(const Network& network, const Reach& reach, std::int32_t intervalMinutes,
                std::span<const double> inflows, std::span<const double> lateral,
                const RouteOptions& options, bool warm, ReachState& state, ReachOutcome& outcome,
                const DepthAndVelocity& series, const ReachPlan* plan,
                ReachWorkspace& workspace) {
  std::vector<double>& perMetre = workspace.lateralPerMetre;
  perMetre.resize(lateral.size());
  for (std::size_t t = 0; t < lateral.size(); ++t)
    perMetre[t] = IsUndefined(lateral[t]) ? kUndefined : lateral[t] / reach.reachLength;
  const MuskingumCungeReach description = CungeReach(network, reach);
  const Hydrograph hydrograph{intervalMinutes, inflows, perMetre};
  MuskingumCungeResult r;
  if (warm) {
    const std::size_t nodes = state.values.size() / 2;
    const std::span<const double> v(state.values);
    const MuskingumCungeStateView start{state.computationInterval, state.subreachCount,
                                        v.first(nodes), v.subspan(nodes, nodes),
                                        state.lastInflow};
    r = Route(description, hydrograph, start, workspace.api, options);
  } else {
    r = Route(description, hydrograph, Discretisation(network, reach, intervalMinutes, plan),
              workspace.api, options);
  }
  TakeStatus(r, outcome);
  TakeSeries(r, series);
  const MuskingumCungeDiagnostics& d = r.diagnostics;
  outcome.computationInterval = d.intervalWritten ? d.computationInterval : kUndefined;
  outcome.subreachCount = d.subreachCount;
  outcome.subreachSteps = d.subreachSteps;
  outcome.courantMin = Figure(d.courantMin), outcome.courantMax = Figure(d.courantMax);
  outcome.reynoldsMin = Figure(d.reynoldsMin), outcome.reynoldsMax = Figure(d.reynoldsMax);
  state.values.assign(r.state.nodeFlows.begin(), r.state.nodeFlows.end());
  state.values.insert(state.values.end(), r.state.nodeDepths.begin(), r.state.nodeDepths.end());
  state.lastInflow = r.state.lastInflow;
  state.computationInterval = r.state.computationInterval;
  state.subreachCount = r.state.subreachCount;
}

// Whether a reach without a restart's state starts from its initial values: a Puls reach
// from its level or its flow, any other from its flow.
bool StartsFromInitialValues(const Reach& reach) noexcept {
  const bool puls = reach.method == Method::kPuls || reach.method == Method::kPulsWithLoss;
  return !IsUndefined(reach.initialFlow) || (puls && !IsUndefined(reach.initialLevel));
}

// The state a reach starts from at its initial values, built by the API with firstInflow
// (the reach's inflow at the first ordinate, as its method takes it) as its last inflow:
// every Muskingum step, or every Muskingum-Cunge node at the reach's discretisation, at the
// initial flow; a Puls reach at its initial level where given (a water-surface elevation in
// the datum of its elevationTable), else at the storage whose outflow is the initial flow.
// False, with the API's status and text in the outcome, when the API refuses to build it.
bool BuildStart(const Network& network, const Reach& reach, std::int32_t intervalMinutes,
                double firstInflow, const ReachPlan* plan, ReachState& state,
                ReachOutcome& outcome) {
  const auto refused = [&](const Status& status, const std::string& text) {
    if (status.ok() || status.warning()) return false;
    outcome.routine = status.routine;
    outcome.messageNumber = status.messageNumber;
    outcome.severity = static_cast<std::int32_t>(status.severity);
    outcome.message = text;
    return true;
  };
  switch (reach.method) {
    case Method::kMuskingum: {
      const StepStart start =
          StartAtFlow(MuskingumReach{reach.muskingumK, reach.muskingumX, reach.stepCount},
                      reach.initialFlow, firstInflow);
      if (refused(start.status, start.text)) return false;
      SaveSteps(start.state.view(), state);
      return true;
    }
    case Method::kPuls:
    case Method::kPulsWithLoss: {
      const bool atLevel = !IsUndefined(reach.initialLevel);
      const PulsReach description = PulsDescription(network, reach, atLevel);
      const StepStart start =
          atLevel ? StartAtLevel(description, intervalMinutes, reach.initialLevel, firstInflow)
                  : StartAtFlow(description, intervalMinutes, reach.initialFlow, firstInflow);
      if (refused(start.status, start.text)) return false;
      SaveSteps(start.state.view(), state);
      return true;
    }
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism: {
      const MuskingumCungeReach description = CungeReach(network, reach);
      const MuskingumCungeStart start =
          StartAtFlow(description, Discretisation(network, reach, intervalMinutes, plan),
                      reach.initialFlow, firstInflow);
      if (refused(start.status, start.text)) return false;
      state.values.assign(start.state.nodeFlows.begin(), start.state.nodeFlows.end());
      state.values.insert(state.values.end(), start.state.nodeDepths.begin(),
                          start.state.nodeDepths.end());
      state.lastInflow = start.state.lastInflow;
      state.computationInterval = start.state.computationInterval;
      state.subreachCount = start.state.subreachCount;
      return true;
    }
  }
  return false;
}

}  // namespace

namespace {

// The work of routing, in units of one Muskingum-Cunge subreach-step through a trapezoid (about
// 400 ns on the development machine), measured reach by reach on a generated network of every
// method and from the C++ API's benchmarks (docs/cpp-api.md): a subreach-step through an
// eight-point section 1.6 units and through a conduit 0.57; a Muskingum step at an ordinate
// 0.003 units, a Puls step 0.05 (0.1 with loss); the engine's own per ordinate of every reach
// (its inflow summed, its lateral inflow copied, its volumes) 0.02, and per reach (its task,
// the call's set-up) 5.
constexpr double kWorkConduitSubreachStep = 0.57;
constexpr double kWorkEightPointSubreachStep = 1.6;
constexpr double kWorkMuskingumStep = 0.003;
constexpr double kWorkPulsStep = 0.05;
constexpr double kWorkPulsWithLossStep = 0.1;
constexpr double kWorkEngineOrdinate = 0.02;
constexpr double kWorkReach = 5.0;

}  // namespace

ReachPlan PlanReach(const Network& network, const Reach& reach, const ReachState& state,
                    std::int32_t intervalMinutes, std::size_t times) {
  ReachPlan plan;
  const double ordinates = static_cast<double>(times);
  const double steps = static_cast<double>(std::max(1, reach.stepCount)) * ordinates;
  plan.work = kWorkReach + kWorkEngineOrdinate * ordinates;
  switch (reach.method) {
    case Method::kMuskingum:
      plan.work += kWorkMuskingumStep * steps;
      return plan;
    case Method::kPuls:
      plan.work += kWorkPulsStep * steps;
      return plan;
    case Method::kPulsWithLoss:
      plan.work += kWorkPulsWithLossStep * steps;
      return plan;
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism:
      break;
  }
  double interval = state.computationInterval;  // s
  std::int32_t subreaches = state.subreachCount;
  if (state.values.empty()) {
    plan.discretisation = Discretisation(network, reach, intervalMinutes, nullptr);
    plan.chosen = true;
    interval = plan.discretisation.computationInterval;
    subreaches = plan.discretisation.subreachCount;
  }
  // Subreach-steps: NSUB over the computation steps after the first ordinate (none for a
  // reach that cannot be routed).
  if (!(interval > 0.0) || subreaches < 1 || times < 2) return plan;
  const double perOrdinate = std::round(60.0 * intervalMinutes / interval);
  const double section = reach.method == Method::kMuskingumCunge8Point ? kWorkEightPointSubreachStep
                         : reach.circle                               ? kWorkConduitSubreachStep
                                                                      : 1.0;
  plan.work += section * subreaches * perOrdinate * (ordinates - 1.0);
  return plan;
}

std::int32_t StateCount(const Reach& reach, std::int32_t subreachCount) noexcept {
  switch (reach.method) {
    case Method::kMuskingum:
      return reach.stepCount;
    case Method::kPuls:
      return 2 * reach.stepCount;
    case Method::kPulsWithLoss:
      return 3 * reach.stepCount;
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism:
      return 2 * (subreachCount + 1);
  }
  return 0;
}

ReachOutcome RouteReach(const Network& network, const Reach& reach, std::int32_t intervalMinutes,
                        const ReachInflow& inflow, std::span<double> outflows, ReachState& state,
                        RunningAccount& account, ReachWorkspace& workspace,
                        const DepthAndVelocity& series, const ReachPlan* plan) {
  ReachOutcome outcome;
  const std::size_t n = inflow.upstream.size();
  bool warm = !state.values.empty();
  const RouteOptions options{{}, outflows.first(n), series.asked(), &account};
  const bool cunge = reach.method == Method::kMuskingumCunge8Point ||
                     reach.method == Method::kMuskingumCungePrism;
  // The reach's inflow as its method takes it: Muskingum and Puls with the lateral inflow
  // added, Muskingum-Cunge without (it enters along the reach).
  std::vector<double>& inflows = workspace.inflows;
  inflows.resize(n);
  for (std::size_t t = 0; t < n; ++t)
    inflows[t] = cunge ? inflow.upstream[t] : AddFlows(inflow.upstream[t], inflow.lateral[t]);
  if (warm && inflow.belowStartFailure && n > 0 && !SameOrdinate(inflows[0], state.lastInflow))
    inflows[0] = state.lastInflow;
  if (!warm && n > 0 && StartsFromInitialValues(reach)) {
    if (!BuildStart(network, reach, intervalMinutes, inflows[0], plan, state, outcome)) {
      // Nothing routed: the outflows and the state are undefined, as after a routine that
      // stops before routing.
      std::fill(outflows.begin(), outflows.begin() + static_cast<std::ptrdiff_t>(n), kUndefined);
      std::fill(series.depths.begin(), series.depths.end(), kUndefined);
      std::fill(series.velocities.begin(), series.velocities.end(), kUndefined);
      state = ReachState{};
      state.lastInflow = kUndefined;
      return outcome;
    }
    warm = true;
  }
  if (cunge)
    RouteCunge(network, reach, intervalMinutes, inflows, inflow.lateral, options, warm, state,
               outcome, series, plan, workspace);
  else
    RouteSteps(network, reach, Hydrograph{intervalMinutes, inflows, {}}, options, warm, state,
               outcome, series, workspace.api);
  return outcome;
}

}  // namespace tovalin::network
