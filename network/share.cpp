#include "network/share.h"

#include <algorithm>

#include "network/summary.h"
#include "tovalin/result.hpp"

namespace tovalin::network {
namespace {

// The smaller (or larger) of two figures, either of which may be undefined (none made).
double Least(double a, double b) noexcept {
  if (IsUndefined(a)) return b;
  return IsUndefined(b) ? a : std::min(a, b);
}
double Most(double a, double b) noexcept {
  if (IsUndefined(a)) return b;
  return IsUndefined(b) ? a : std::max(a, b);
}

}  // namespace

Share::Share(const Topology& topology_, Network parameters_, std::int64_t parametersFirst_,
             std::int32_t intervalMinutes_, std::int64_t first_, std::int64_t end_)
    : topology(topology_),
      parameters(std::move(parameters_)),
      parametersFirst(parametersFirst_),
      intervalMinutes(intervalMinutes_),
      first(first_),
      end(end_) {
  const auto n = static_cast<std::size_t>(size());
  outflows.resize(n);
  depthSeries.resize(n);
  velocitySeries.resize(n);
  marks.assign(n, 0);
  runs.resize(n);
  // A reach depends on another process when a reach upstream of it lies before the share
  // (upstream reaches come first in the routing order) or depends on one itself.
  std::vector<std::uint8_t> dependent(n, 0);
  sequence.reserve(n);
  for (std::int64_t s = 0; s < size(); ++s) {
    const std::int64_t reach = ReachAt(s);
    for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
         ++k) {
      const std::int64_t up = topology.position[topology.upstream[k]] - first;
      if (up < 0 || dependent[up]) dependent[s] = 1;
    }
    if (!dependent[s]) sequence.push_back(s);
  }
  independent = sequence.size();
  for (std::int64_t s = 0; s < size(); ++s)
    if (dependent[s]) sequence.push_back(s);
}

double TrapezoidSum(std::span<const double> flows, double sum) noexcept {
  for (std::size_t t = 1; t < flows.size(); ++t)
    if (!IsUndefined(flows[t - 1]) && !IsUndefined(flows[t])) sum += flows[t - 1] + flows[t];
  return sum;
}

double TrapezoidVolume(std::span<const double> flows, double dt) noexcept {
  // V = dt (q(t) + q(t+1)) / 2 summed over the intervals whose ends are both defined.
  return 0.5 * dt * TrapezoidSum(flows, 0.0);
}

void CombineWindow(const ReachOutcome& window, bool first, ReachOutcome& run) {
  if (first) {
    run = window;
    return;
  }
  if (window.messageNumber != 0) {
    run.routine = window.routine;
    run.messageNumber = window.messageNumber;
    run.severity = window.severity;
  }
  if (!window.message.empty()) run.message = window.message;
  run.inflowVolume = window.inflowVolume, run.outflowVolume = window.outflowVolume;
  run.storageStart = window.storageStart, run.storageEnd = window.storageEnd;
  run.loss = window.loss;
  run.balanceError = window.balanceError, run.balanceRelative = window.balanceRelative;
  run.computationInterval = window.computationInterval;
  run.subreachCount = window.subreachCount;
  run.subreachSteps += window.subreachSteps;
  run.courantMin = Least(run.courantMin, window.courantMin);
  run.courantMax = Most(run.courantMax, window.courantMax);
  run.reynoldsMin = Least(run.reynoldsMin, window.reynoldsMin);
  run.reynoldsMax = Most(run.reynoldsMax, window.reynoldsMax);
}

bool Share::Holds(std::int64_t reach) const noexcept {
  const std::int64_t p = topology.position[reach];
  return p >= first && p < end;
}

std::int64_t Share::Slot(std::int64_t reach) const {
  return Holds(reach) ? topology.position[reach] - first : remoteSlot_.at(reach);
}

std::int64_t Share::AddInbound(std::int64_t reach) {
  const auto slot = static_cast<std::int64_t>(outflows.size());
  remoteSlot_.emplace(reach, slot);
  outflows.emplace_back();
  marks.push_back(0);
  return slot;
}

void Share::Route(std::int64_t slot, std::size_t ordinates, bool firstWindow,
                  LateralColumn lateral, RoutingScratch& scratch, const ReachPlan* plan) {
  const std::int64_t reach = ReachAt(slot);
  const Reach& description = ReachOf(slot);
  const std::size_t n = ordinates;
  scratch.upstream.assign(n, 0.0);
  std::uint8_t upstreamFailure = 0, startFailure = 0;
  for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
       ++k) {
    const std::int64_t up = Slot(topology.upstream[k]);
    const std::vector<double>& q = outflows[up];
    for (std::size_t t = 0; t < n; ++t) scratch.upstream[t] = AddFlows(scratch.upstream[t], q[t]);
    if (FailureOf(marks[up]) != 0) upstreamFailure = kUpstreamFailed;
    startFailure |= marks[up] & kStartFailure;
  }
  const auto boundary = boundaries.find(slot);
  if (boundary != boundaries.end())
    for (std::size_t t = 0; t < n; ++t)
      scratch.upstream[t] = AddFlows(scratch.upstream[t], boundary->second[t]);
  scratch.lateral.resize(n);
  for (std::size_t t = 0; t < n; ++t) scratch.lateral[t] = lateral.first[t * lateral.stride];
  std::vector<double>& out = outflows[slot];
  out.assign(n, 0.0);
  DepthAndVelocity series;
  if (depths) depthSeries[slot].assign(n, kUndefined), series.depths = depthSeries[slot];
  if (velocities)
    velocitySeries[slot].assign(n, kUndefined), series.velocities = velocitySeries[slot];
  ReachRun& run = RunOf(slot);
  const ReachOutcome window =
      RouteReach(parameters, description, intervalMinutes,
                 ReachInflow{scratch.upstream, scratch.lateral, startFailure != 0}, out,
                 run.state, run.account, scratch.reach, series, plan);
  CombineWindow(window, firstWindow, run.outcome);
  run.lateralSum = TrapezoidSum(scratch.lateral, run.lateralSum);
  if (boundary != boundaries.end()) {
    run.boundary = true;
    run.boundarySum = TrapezoidSum(boundary->second, run.boundarySum);
  }
  run.writtenSum = TrapezoidSum(out, run.writtenSum);
  const auto stateCount =
      static_cast<std::size_t>(StateCount(description, run.state.subreachCount));
  if (run.state.values.size() != stateCount)
    run.state.values.assign(stateCount, kUndefined);  // a call that stopped early left no state
  const bool failed = run.outcome.severity >= static_cast<std::int32_t>(Severity::kError);
  // A failure at the start: the run's first call reported an error and routed nothing.
  if (firstWindow && failed && n > 0 && IsUndefined(out[0])) startFailure = kStartFailure;
  marks[slot] = static_cast<std::uint8_t>((failed ? kReachFailed : upstreamFailure) |
                                          (marks[slot] & kStartFailure) | startFailure);
}

ReachRun& Share::RunOf(std::int64_t slot) {
  std::unique_ptr<ReachRun>& run = runs[slot];
  if (!run) run = std::make_unique<ReachRun>();
  return *run;
}

ReachOutcome Share::Close(std::int64_t slot) {
  const std::unique_ptr<ReachRun> closed = std::move(runs[slot]);
  const ReachRun& run = *closed;
  ReachOutcome outcome = std::move(closed->outcome);
  const double dt = 60.0 * intervalMinutes;
  outcome.forcingVolume = 0.5 * dt * run.lateralSum;
  if (run.boundary) outcome.forcingVolume += 0.5 * dt * run.boundarySum;
  outcome.writtenOutflowVolume = 0.5 * dt * run.writtenSum;
  return outcome;
}

}  // namespace tovalin::network
