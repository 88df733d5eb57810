#include "network/summary.h"

#include <algorithm>
#include <cmath>
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
  const std::string inWindows =
      windows > 1 ? " in " + std::to_string(windows) + " windows of " +
                        std::to_string(windowLength)
                  : std::string();
  std::string s = std::to_string(reaches) + " reaches x " + std::to_string(timeCount) +
                  " times" + inWindows + " on " + std::to_string(threads) + " thread" +
                  (threads == 1 ? "" : "s") +
                  ": " + std::to_string(clean) + " routed, " + std::to_string(withWarnings) +
                  " with warnings, " + std::to_string(failed) + " failed, " +
                  std::to_string(upstreamFailed) + " below a failure\n";
  const std::string unrouted =
      unroutedGiven ? " (" + Figure(unroutedVolume) + " of it unrouted)" : std::string();
  s += "volume balance, m3: inflow from the forcing " + Figure(inflowVolume) + unrouted +
       ", outflow at the outlets " + Figure(outletVolume) + unrouted + ", storage " +
       Figure(storageStart) + " at the start and " + Figure(storageEnd) + " at the end";
  if (undefinedAccounts)
    s += " (" + std::to_string(undefinedAccounts) + " reach" + (undefinedAccounts == 1 ? "" : "es") +
         " with an undefined account left out)";
  s += ", channel loss " + Figure(lossVolume) + ", error " + Figure(balanceError);
  if (!IsUndefined(balanceRelative))
    s += " (" + Figure(balanceRelative) + " of the inflow and the storage at the start)";
  s += "\n";
  if (outsideCourantBand) {
    s += "Courant number outside " + Figure(kCourantBandLow) + " to " + Figure(kCourantBandHigh) +
         ": " + std::to_string(outsideCourantBand) + " reach" +
         (outsideCourantBand == 1 ? "" : "es") + " (";
    for (std::size_t i = 0; i < outsideCourantReaches.size(); ++i)
      s += (i ? ", " : "") + std::to_string(outsideCourantReaches[i]);
    if (outsideCourantBand > static_cast<std::int64_t>(outsideCourantReaches.size()))
      s += " and " +
           std::to_string(outsideCourantBand -
                          static_cast<std::int64_t>(outsideCourantReaches.size())) +
           " more";
    s += ")\n";
  }
  if (subreachSteps > 0)
    s += "work: " + std::to_string(subreachSteps) + " Muskingum-Cunge subreach-steps\n";
  s += "time: read " + Figure(readSeconds) + " s, route " + Figure(routeSeconds) + " s, write " +
       Figure(writeSeconds) + " s\n";
  return s;
}

void CountReach(std::uint8_t mark, const ReachOutcome& outcome, RunSummary& summary) noexcept {
  summary.subreachSteps += outcome.subreachSteps;
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
    : volumes_(kTerms * reaches, kUndefined), outsideBand_(reaches, 0) {}

void NetworkAccount::Keep(std::int64_t reach, const ReachOutcome& o, bool outlet) noexcept {
  double* v = volumes_.data() + kTerms * static_cast<std::size_t>(reach);
  v[0] = o.forcingVolume, v[1] = outlet ? o.writtenOutflowVolume : 0.0;
  v[2] = o.storageStart, v[3] = o.storageEnd, v[4] = o.loss;
  // A Courant range leaves the band when either end does (an undefined range does not).
  outsideBand_[static_cast<std::size_t>(reach)] =
      (!IsUndefined(o.courantMin) && o.courantMin < kCourantBandLow) ||
      (!IsUndefined(o.courantMax) && o.courantMax > kCourantBandHigh);
}

void NetworkAccount::Sum(std::span<const ReachId> ids, RunSummary& summary) const {
  std::vector<std::int64_t> byId(ids.size());
  std::iota(byId.begin(), byId.end(), std::int64_t{0});
  std::sort(byId.begin(), byId.end(),
            [&](std::int64_t a, std::int64_t b) { return ids[a] < ids[b]; });
  double in = 0.0, out = 0.0, start = 0.0, end = 0.0, lost = 0.0;
  std::int64_t undefinedAccounts = 0, outside = 0;
  summary.outsideCourantReaches.clear();
  for (std::int64_t reach : byId) {
    const double* v = volumes_.data() + kTerms * static_cast<std::size_t>(reach);
    in += v[0], out += v[1];
    if (IsUndefined(v[2]) || IsUndefined(v[3]) || IsUndefined(v[4])) {
      ++undefinedAccounts;  // counted, never summed as 0
    } else {
      start += v[2], end += v[3], lost += v[4];
    }
    if (outsideBand_[static_cast<std::size_t>(reach)]) {
      if (summary.outsideCourantReaches.size() < kNamedSummaryReaches)
        summary.outsideCourantReaches.push_back(ids[reach]);
      ++outside;
    }
  }
  // The unrouted inflow enters and leaves at once, without storage.
  in += summary.unroutedVolume, out += summary.unroutedVolume;
  summary.inflowVolume = in, summary.outletVolume = out;
  summary.storageStart = start, summary.storageEnd = end, summary.lossVolume = lost;
  summary.undefinedAccounts = undefinedAccounts;
  summary.outsideCourantBand = outside;
  // error = in - out - (end - start) - loss, relative to what the network had to account for.
  const double error = in - out - (end - start) - lost;
  const double base = in + start;
  summary.balanceError = undefinedAccounts == 0 && std::isfinite(error) ? error : kUndefined;
  summary.balanceRelative = !IsUndefined(summary.balanceError) && base >= kSmallestRelativeBase
                                ? summary.balanceError / base
                                : kUndefined;
}

std::vector<std::pair<std::string, double>> SummaryAttributes(const RunSummary& summary) {
  return {{"reaches_routed", static_cast<double>(summary.clean)},
          {"reaches_with_warnings", static_cast<double>(summary.withWarnings)},
          {"reaches_failed", static_cast<double>(summary.failed)},
          {"reaches_below_failure", static_cast<double>(summary.upstreamFailed)},
          {"reaches_with_undefined_account", static_cast<double>(summary.undefinedAccounts)},
          {"reaches_outside_courant_band", static_cast<double>(summary.outsideCourantBand)},
          {"subreach_steps", static_cast<double>(summary.subreachSteps)},
          {"network_inflow_volume", summary.inflowVolume},
          {"network_outflow_volume", summary.outletVolume},
          {"network_storage_start", summary.storageStart},
          {"network_storage_end", summary.storageEnd},
          {"network_storage_change", summary.storageEnd - summary.storageStart},
          {"network_loss_volume", summary.lossVolume},
          {"unrouted_inflow_volume", summary.unroutedVolume},
          {"network_volume_balance_error", summary.balanceError},
          {"network_volume_balance_relative", summary.balanceRelative}};
}

}  // namespace tovalin::network
