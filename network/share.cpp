#include "network/share.h"

#include "network/summary.h"
#include "tovalin/result.hpp"

namespace tovalin::network {

Share::Share(const Topology& topology_, Network parameters_, std::int64_t parametersFirst_,
             std::int32_t intervalMinutes_, std::size_t times_, std::int64_t first_,
             std::int64_t end_)
    : topology(topology_),
      parameters(std::move(parameters_)),
      parametersFirst(parametersFirst_),
      intervalMinutes(intervalMinutes_),
      times(times_),
      first(first_),
      end(end_) {
  const auto n = static_cast<std::size_t>(size());
  outflows.resize(n);
  depthSeries.resize(n);
  velocitySeries.resize(n);
  marks.assign(n, 0);
  states.resize(n);
  outcomes.resize(n);
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

double TrapezoidVolume(std::span<const double> flows, double dt) noexcept {
  // V = dt (q(t) + q(t+1)) / 2 summed over the intervals whose ends are both defined.
  double sum = 0.0;
  for (std::size_t t = 1; t < flows.size(); ++t)
    if (!IsUndefined(flows[t - 1]) && !IsUndefined(flows[t])) sum += flows[t - 1] + flows[t];
  return 0.5 * dt * sum;
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

void Share::Route(std::int64_t slot, LateralColumn lateral, RoutingScratch& scratch,
                  const ReachPlan* plan) {
  const std::int64_t reach = ReachAt(slot);
  const Reach& description = ReachOf(slot);
  const std::size_t n = times;
  scratch.upstream.assign(n, 0.0);
  std::uint8_t upstreamFailure = 0;
  for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
       ++k) {
    const std::int64_t up = Slot(topology.upstream[k]);
    const std::vector<double>& q = outflows[up];
    for (std::size_t t = 0; t < n; ++t) scratch.upstream[t] = AddFlows(scratch.upstream[t], q[t]);
    if (marks[up] != 0) upstreamFailure = kUpstreamFailed;
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
  ReachState& state = states[slot];
  ReachOutcome outcome =
      RouteReach(parameters, description, intervalMinutes,
                 ReachInflow{scratch.upstream, scratch.lateral, upstreamFailure != 0}, out, state,
                 scratch.reach, series, plan);
  const double dt = 60.0 * intervalMinutes;
  outcome.forcingVolume = TrapezoidVolume(scratch.lateral, dt);
  if (boundary != boundaries.end()) outcome.forcingVolume += TrapezoidVolume(boundary->second, dt);
  outcome.writtenOutflowVolume = TrapezoidVolume(out, dt);
  const auto stateCount = static_cast<std::size_t>(StateCount(description, state.subreachCount));
  if (state.values.size() != stateCount)
    state.values.assign(stateCount, kUndefined);  // a call that stopped early left no state
  marks[slot] = outcome.severity >= static_cast<std::int32_t>(Severity::kError) ? kReachFailed
                                                                                 : upstreamFailure;
  outcomes[slot] = std::make_unique<ReachOutcome>(std::move(outcome));
}

}  // namespace tovalin::network
