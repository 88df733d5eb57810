#include "network/reach_step.h"

#include <oneapi/tbb/info.h>

#include <algorithm>
#include <numeric>

#include "hydro/messages/status_code.h"

namespace tovalin::network {

RoutingThreads::RoutingThreads(int asked)
    : count(asked > 0 ? asked : tbb::info::default_concurrency()),
      parallelism(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(count)),
      arena(count) {}

ReachOutcome RouteSlots(const Network& parameters, const Reach& description,
                        std::int32_t intervalMinutes, std::size_t times, std::int64_t slot,
                        ReachSlots slots, ReachState& state, const std::vector<double>* boundary,
                        const double* lateral, std::size_t stride, StepScratch& scratch) {
  const std::size_t n = times;
  scratch.upstream.assign(n, 0.0);
  std::uint8_t upstreamFailure = 0;
  for (std::int64_t up : scratch.upstreamSlots) {
    const std::vector<double>& q = slots.outflows[up];
    for (std::size_t t = 0; t < n; ++t) scratch.upstream[t] = AddFlows(scratch.upstream[t], q[t]);
    if (slots.failed[up] != 0) upstreamFailure = kUpstreamFailed;
  }
  if (boundary)
    for (std::size_t t = 0; t < n; ++t)
      scratch.upstream[t] = AddFlows(scratch.upstream[t], (*boundary)[t]);
  scratch.lateral.resize(n);
  for (std::size_t t = 0; t < n; ++t) scratch.lateral[t] = lateral[t * stride];
  std::vector<double>& out = slots.outflows[slot];
  out.assign(n, 0.0);
  ReachOutcome outcome = RouteReach(parameters, description, intervalMinutes, scratch.upstream,
                                    scratch.lateral, out, state, scratch.reach);
  const auto stateCount = static_cast<std::size_t>(StateCount(description, state.subreachCount));
  if (state.values.size() != stateCount)
    state.values.assign(stateCount, undefinedDbl());  // a call that stopped early left no state
  slots.failed[slot] = outcome.severity >= kSeverityError ? kReachFailed : upstreamFailure;
  return outcome;
}

void CountReach(std::uint8_t failed, const ReachOutcome& outcome, RunSummary& summary) noexcept {
  if (failed == kReachFailed)
    ++summary.failed;
  else if (failed == kUpstreamFailed)
    ++summary.upstreamFailed;
  else if (outcome.severity > 0)
    ++summary.withWarnings;
  else
    ++summary.clean;
}

VolumeAccount::VolumeAccount(std::size_t reaches) : volumes_(kTerms * reaches, undefinedDbl()) {}

void VolumeAccount::Keep(std::int64_t reach, const ReachOutcome& o) noexcept {
  double* v = volumes_.data() + kTerms * static_cast<std::size_t>(reach);
  v[0] = o.inflowVolume, v[1] = o.outflowVolume, v[2] = o.storageStart, v[3] = o.storageEnd;
  v[4] = isUndefinedDbl(o.loss) ? 0.0 : o.loss;
}

void VolumeAccount::Sum(const Network& network, const Topology& topology,
                        RunSummary& summary) const {
  std::vector<std::int64_t> byId(network.reaches.size());
  std::iota(byId.begin(), byId.end(), std::int64_t{0});
  std::sort(byId.begin(), byId.end(), [&](std::int64_t a, std::int64_t b) {
    return network.reaches[a].id < network.reaches[b].id;
  });
  double in = 0.0, out = 0.0, change = 0.0, lost = 0.0, residual = 0.0;
  std::int64_t undefinedAccounts = 0;
  for (std::int64_t reach : byId) {
    const double* v = volumes_.data() + kTerms * static_cast<std::size_t>(reach);
    const double inflow = v[0], outflow = v[1], start = v[2], end = v[3], loss = v[4];
    if (isUndefinedDbl(inflow) || isUndefinedDbl(outflow) || isUndefinedDbl(start) ||
        isUndefinedDbl(end)) {
      ++undefinedAccounts;
      continue;
    }
    // Inflow from outside the network: every reach's inflow less every outflow that becomes
    // another reach's inflow.
    const bool outlet = topology.downstream[reach] < 0;
    in += inflow;
    if (!outlet) in -= outflow;
    if (outlet) out += outflow;
    change += end - start;
    lost += loss;
    residual += inflow - outflow - (end - start) - loss;
  }
  summary.inflowVolume = in;
  summary.outletVolume = out;
  summary.storageChange = change;
  summary.lossVolume = lost;
  summary.balanceError = in != 0.0 ? residual / in : residual;
  summary.undefinedAccounts = undefinedAccounts;
}

std::vector<std::pair<std::string, double>> SummaryAttributes(const RunSummary& summary) {
  return {{"reaches_routed", static_cast<double>(summary.clean)},
          {"reaches_with_warnings", static_cast<double>(summary.withWarnings)},
          {"reaches_failed", static_cast<double>(summary.failed)},
          {"reaches_below_failure", static_cast<double>(summary.upstreamFailed)},
          {"network_inflow_volume", summary.inflowVolume},
          {"network_outflow_volume", summary.outletVolume},
          {"network_storage_change", summary.storageChange},
          {"network_loss_volume", summary.lossVolume},
          {"network_volume_balance_error", summary.balanceError}};
}

}  // namespace tovalin::network
