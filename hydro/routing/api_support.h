// Internal to the C++ API's routing calls: access to a workspace's arrays, the message field
// of a call, the depth and velocity arrays of a call that asks for them, and the volume
// account's balance (work arrays are sized within a call's budget: work_storage.h).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <bit>
#include <span>
#include <string_view>
#include <vector>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/messages/text_field.h"
#include "hydro/routing/work_storage.h"
#include "tovalin/route.hpp"

namespace tovalin {
namespace detail {

struct WorkspaceAccess {
  Workspace& w;
  std::vector<double>& outflows() const noexcept { return w.outflows_; }
  std::vector<double>& stepOutflows() const noexcept { return w.stepOutflows_; }
  std::vector<double>& stepGross() const noexcept { return w.stepGross_; }
  std::vector<double>& stepIndicators() const noexcept { return w.stepIndicators_; }
  std::vector<double>& startOutflows() const noexcept { return w.startOutflows_; }
  std::vector<double>& table() const noexcept { return w.table_; }
  std::vector<double>& seriesInflow() const noexcept { return w.seriesInflow_; }
  std::vector<double>& seriesLateral() const noexcept { return w.seriesLateral_; }
  std::vector<double>& seriesOutflow() const noexcept { return w.seriesOutflow_; }
  std::vector<double>& nodeFlows() const noexcept { return w.nodeFlows_; }
  std::vector<double>& nodeDepths() const noexcept { return w.nodeDepths_; }
  std::vector<double>& profile() const noexcept { return w.profile_; }
  std::vector<double>& zeros() const noexcept { return w.zeros_; }
  std::vector<double>& depths() const noexcept { return w.depths_; }
  std::vector<double>& velocities() const noexcept { return w.velocities_; }
  std::vector<double>& seriesDepth() const noexcept { return w.seriesDepth_; }
  std::vector<double>& seriesVelocity() const noexcept { return w.seriesVelocity_; }
  std::span<char> message() const noexcept { return w.message_; }
};

}  // namespace detail

// The depth and velocity of a call that asks for them: one value per ordinate in the
// workspace, every one undefined until the routine writes it; empty when not asked. stored is
// false when the storage cannot be obtained within the call's budget.
struct Gauges {
  std::span<double> depth;
  std::span<double> velocity;
  bool stored = true;
};

inline Gauges GaugesFor(const RouteOptions& options, Workspace& workspace,
                        std::size_t ordinates, StorageBudget& budget) noexcept {
  Gauges gauges;
  if (!options.depthAndVelocity) return gauges;
  const detail::WorkspaceAccess work{workspace};
  if (!Fit(work.depths(), ordinates, budget) || !Fit(work.velocities(), ordinates, budget)) {
    gauges.stored = false;
    return gauges;
  }
  gauges.depth = work.depths();
  gauges.velocity = work.velocities();
  std::fill(gauges.depth.begin(), gauges.depth.end(), undefinedDbl());
  std::fill(gauges.velocity.begin(), gauges.velocity.end(), undefinedDbl());
  return gauges;
}

// The message field of a call: the caller's fixed-width field, or the workspace's, blanked.
struct CallMessage {
  TextField field;
  bool external;

  // The text the result shows: the whole caller's field, or the workspace's without its
  // trailing blanks.
  std::string_view text() const noexcept {
    if (external) return field.view();
    return field.view().substr(0, static_cast<std::size_t>(field.lastNonBlank()));
  }
};

inline CallMessage MessageFor(const RouteOptions& options, Workspace& workspace) noexcept {
  if (!options.messageField.empty()) {
    const std::size_t width =
        std::min<std::size_t>(options.messageField.size(), std::numeric_limits<int>::max());
    return {TextField(options.messageField.data(), static_cast<int>(width)), true};
  }
  const std::span<char> own = detail::WorkspaceAccess{workspace}.message();
  std::fill(own.begin(), own.end(), kBlank);
  return {TextField(own.data(), static_cast<int>(own.size())), false};
}

inline Status StatusOf(const Report& report, int routine) noexcept {
  if (report.messageNumber == 0) return {};
  return {routine, report.messageNumber, static_cast<Severity>(report.severity)};
}

// Trapezoidal sum of a series over its intervals, (a + b)/2 added in time order to `sum` (0 for
// a series of its own, a run's sum so far to carry it on); an interval with an undefined end
// adds nothing.
inline double TrapezoidSum(std::span<const double> series, double sum) noexcept {
  for (std::size_t t = 1; t < series.size(); ++t) {
    const double a = series[t - 1];
    const double b = series[t];
    if (isUndefinedDbl(a) || isUndefinedDbl(b)) continue;
    sum += (a + b) * 0.5;
  }
  return sum;
}

// The same times dt: the volume of the series.
inline double TrapezoidVolume(std::span<const double> series, double dt) noexcept {
  return TrapezoidSum(series, 0.0) * dt;
}

// A sum of figures of the account: undefined as soon as one of them is.
inline double AddDefined(double sum, double term) noexcept {
  return isUndefinedDbl(sum) || isUndefinedDbl(term) ? undefinedDbl() : sum + term;
}

// A trapezoidal sum over values in time order carried from call to call of one run: the sum
// of the values before the last one seen, and whether the value before that last one was
// defined. The last value is left out, for the next call begins with it.
struct CarriedSum {
  double sum = 0.0;
  bool previousDefined = false;
};

// The trapezoidal sum of a series over its intervals, written as a sum over its values in time
// order: each defined value weighs half the number of its intervals whose ends are both
// defined (1/2, 1, ..., 1, 1/2 when every value is), so that an interval with an undefined end
// adds nothing. valueAt(t) gives value t of count. The sum goes on from `carried` (value 0 is
// the last value of the call before, whose earlier intervals it holds) and leaves there every
// value but the last; the return is the sum with the last value at its closing weight. From a
// CarriedSum as constructed, the sum of the series alone.
template <class ValueAt>
double CarryWeightedSum(std::size_t count, const ValueAt& valueAt, CarriedSum& carried) noexcept {
  if (count == 0) return carried.sum;
  double sum = carried.sum;
  bool previousDefined = carried.previousDefined;
  double current = valueAt(0);
  bool currentDefined = !isUndefinedDbl(current);
  for (std::size_t t = 0; t + 1 < count; ++t) {
    const double next = valueAt(t + 1);
    const bool nextDefined = !isUndefinedDbl(next);
    const double weight = (previousDefined ? 0.5 : 0.0) + (nextDefined ? 0.5 : 0.0);
    if (currentDefined && weight > 0.0) sum = sum + weight * current;
    previousDefined = currentDefined;
    current = next;
    currentDefined = nextDefined;
  }
  carried.sum = sum;
  carried.previousDefined = previousDefined;
  // The last value closes the series: its interval after it is not there (yet).
  const double weight = previousDefined ? 0.5 : 0.0;
  if (currentDefined && weight > 0.0) sum = sum + weight * current;
  return sum;
}

// The sum of one series alone.
template <class ValueAt>
double IntervalWeightedSum(std::size_t count, const ValueAt& valueAt) noexcept {
  CarriedSum alone;
  return CarryWeightedSum(count, valueAt, alone);
}

// balanceError = in - out - (end - start) - loss, and relativeError = balanceError /
// (in + start) where that base is at least kSmallestRelativeBase; each undefined when a term
// is undefined or the figure is not finite.
inline void CloseBalance(VolumeAccount& v) noexcept {
  v.balanceError = v.relativeError = undefinedDbl();
  for (const double term : {v.inflow, v.outflow, v.storageStart, v.storageEnd, v.loss})
    if (isUndefinedDbl(term)) return;
  const double residual = v.inflow - v.outflow - (v.storageEnd - v.storageStart) - v.loss;
  if (!std::isfinite(residual)) return;
  v.balanceError = residual;
  const double base = v.inflow + v.storageStart;
  if (base >= kSmallestRelativeBase && std::isfinite(base)) v.relativeError = residual / base;
}

// Equal bit for bit, or both undefined: the test of a continuation's first ordinate.
inline bool SameOrdinate(double a, double b) noexcept {
  if (isUndefinedDbl(a) || isUndefinedDbl(b)) return isUndefinedDbl(a) && isUndefinedDbl(b);
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace tovalin
