#include "network/summary.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "tovalin/result.hpp"

namespace tovalin::network {
namespace {

std::string Figure(double v) {
  if (IsUndefined(v)) return "undefined";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

}  // namespace

std::string RunSummary::BriefReport() const {
  if (!refusal.empty()) {
    std::string s = "refused, nothing routed:\n";
    for (const std::string& p : refusal) s += "  " + p + "\n";
    return s;
  }
  std::string s = std::to_string(reaches) + " reaches x " + std::to_string(timeCount) +
                  " times on " + std::to_string(threads) + " thread" + (threads == 1 ? "" : "s") +
                  ": " + std::to_string(clean) + " routed, " + std::to_string(withWarnings) +
                  " with warnings, " + std::to_string(failed) + " failed, " +
                  std::to_string(upstreamFailed) + " below a failure\n";
  s += "volume balance: in " + Figure(inflowVolume) + " m3, out " + Figure(outletVolume) +
       " m3, storage change " + Figure(storageChange) + " m3, loss " + Figure(lossVolume) +
       " m3, error " + Figure(balanceError);
  if (undefinedAccounts) s += " (" + std::to_string(undefinedAccounts) + " reaches undefined)";
  s += "\ntime: read " + Figure(readSeconds) + " s, route " + Figure(routeSeconds) + " s, write " +
       Figure(writeSeconds) + " s\n";
  return s;
}

void CountReach(std::uint8_t mark, const ReachOutcome& outcome, RunSummary& summary) noexcept {
  if (mark == kReachFailed)
    ++summary.failed;
  else if (mark == kUpstreamFailed)
    ++summary.upstreamFailed;
  else if (outcome.severity > 0)
    ++summary.withWarnings;
  else
    ++summary.clean;
}

NetworkAccount::NetworkAccount(std::size_t reaches)
    : volumes_(kTerms * reaches, kUndefined), outlet_(reaches, 0) {}

void NetworkAccount::Keep(std::int64_t reach, const ReachOutcome& o, bool outlet) noexcept {
  double* v = volumes_.data() + kTerms * static_cast<std::size_t>(reach);
  v[0] = o.inflowVolume, v[1] = o.outflowVolume, v[2] = o.storageStart, v[3] = o.storageEnd;
  v[4] = IsUndefined(o.loss) ? 0.0 : o.loss;
  outlet_[static_cast<std::size_t>(reach)] = outlet ? 1 : 0;
}

void NetworkAccount::Sum(const Network& links, RunSummary& summary) const {
  std::vector<std::int64_t> byId(links.reaches.size());
  std::iota(byId.begin(), byId.end(), std::int64_t{0});
  std::sort(byId.begin(), byId.end(), [&](std::int64_t a, std::int64_t b) {
    return links.reaches[a].id < links.reaches[b].id;
  });
  double in = 0.0, out = 0.0, change = 0.0, lost = 0.0, residual = 0.0;
  std::int64_t undefinedAccounts = 0;
  for (std::int64_t reach : byId) {
    const double* v = volumes_.data() + kTerms * static_cast<std::size_t>(reach);
    const double inflow = v[0], outflow = v[1], start = v[2], end = v[3], loss = v[4];
    if (IsUndefined(inflow) || IsUndefined(outflow) || IsUndefined(start) || IsUndefined(end)) {
      ++undefinedAccounts;
      continue;
    }
    // Inflow from outside the network: every reach's inflow less every outflow that becomes
    // another reach's inflow.
    const bool outlet = outlet_[static_cast<std::size_t>(reach)] != 0;
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
