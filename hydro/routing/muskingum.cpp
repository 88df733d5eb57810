// Muskingum routing (McCarthy's method, e.g. Chow, Maidment & Mays, Applied Hydrology, 8.4):
// the storage S = K (x I + (1 - x) O) of each step, discretised over the interval dt, gives
// O2 = C0 I2 + C1 I1 + C2 O1. Here Cb = C0, Ca - Cb = C1 and 1 - Ca = C2, so that
// O2 = (Ca - Cb) I1 + (1 - Ca) O1 + Cb I2. K and dt in hours; flows in any one unit.
#include "hydro/routing/muskingum.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/api_support.h"
#include "hydro/routing/fault_seam.h"

namespace tovalin {
namespace {

// The double nearest to 1/60: minutes to hours.
constexpr double kHoursPerMinute = 0.016666666666666666;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kLargestWeight = 0.5;


struct Coefficients {
  double ca;  // dt/D * 2: one minus the weight of the previous outflow
  double cb;  // weight of the current inflow
};

// D = ((1 - x)/n) K 2 + dt;  Ca = (dt/D) 2;  Cb = ((x/n) K (-2) + dt) / D, in that order.
Coefficients MuskingumCoefficients(double dt, double k, double x, std::int32_t n) noexcept {
  const double steps = static_cast<double>(n);
  const double d = ((1.0 - x) / steps) * k * 2.0 + dt;
  return {(dt / d) * 2.0, ((x / steps) * k * (-2.0) + dt) / d};
}

// One step's routing: its last outflow and the trapezoidal sums of its inflows and of its
// outflows over their intervals, (Q1 + Q2)/2 added in time order, an interval with an
// undefined end left out (flow units; times the interval, the step's volumes).
struct StepRouting {
  double lastOutflow;
  double inflowSum = 0.0;
  double outflowSum = 0.0;
};

// Routes the working hydrograph (inflow to the step on entry, its outflow on return) through
// one step starting from initialOutflow, its sums going on from those given (a run's so far,
// or 0). An outflow is undefined when I1, I2 or O1 is, so from the first undefined flow on
// every later outflow of the step is undefined.
StepRouting RouteStep(Coefficients c, double initialOutflow, std::span<double> hydrograph,
                      double inflowSum, double outflowSum) noexcept {
  StepRouting step{initialOutflow, inflowSum, outflowSum};
  if (hydrograph.empty()) return step;
  const std::size_t n = hydrograph.size();
  const double previousWeight = c.ca - c.cb;
  const double outflowWeight = 1.0 - c.ca;
  double inflow1 = hydrograph[0];
  double outflow1 = initialOutflow;
  hydrograph[0] = outflow1;
  std::size_t t = 1;
  // I1 and O1 defined: the recurrence, until a flow turns undefined.
  if (!isUndefinedDbl(inflow1) && !isUndefinedDbl(outflow1)) {
    for (; t < n; ++t) {
      const double inflow2 = hydrograph[t];
      if (isUndefinedDbl(inflow2)) break;
      // O2 = (Ca - Cb) I1 + (1 - Ca) O1 + Cb I2, evaluated left to right.
      const double outflow2 = previousWeight * inflow1 + outflowWeight * outflow1 + c.cb * inflow2;
      hydrograph[t] = outflow2;
      // Inflow sum += (I1 + I2)/2.
      step.inflowSum += (inflow1 + inflow2) * 0.5;
      inflow1 = inflow2;
      if (isUndefinedDbl(outflow2)) {
        ++t;
        break;
      }
      // Outflow sum += (O1 + O2)/2.
      step.outflowSum += (outflow1 + outflow2) * 0.5;
      outflow1 = outflow2;
    }
  }
  // From the first undefined flow on: undefined outflows, and the inflow sum goes on over the
  // intervals whose ends are both defined.
  for (; t < n; ++t) {
    const double inflow2 = hydrograph[t];
    if (!isUndefinedDbl(inflow1) && !isUndefinedDbl(inflow2))
      step.inflowSum += (inflow1 + inflow2) * 0.5;
    hydrograph[t] = undefinedDbl();
    inflow1 = inflow2;
  }
  step.lastOutflow = hydrograph[n - 1];
  return step;
}

// Storage of the reach, summed over the steps: S = K/n (x I + (1 - x) O) with I the inflow to
// each step and O its outflow at one ordinate; K/n in seconds. Undefined when a flow is.
double ReachStorage(double stepK, double x, double reachInflow,
                    std::span<const double> stepOutflows) noexcept {
  double storage = 0.0;
  double inflow = reachInflow;
  for (const double outflow : stepOutflows) {
    if (isUndefinedDbl(inflow) || isUndefinedDbl(outflow)) return undefinedDbl();
    storage += stepK * (x * inflow + (1.0 - x) * outflow);
    inflow = outflow;
  }
  return storage;
}

// A routing call from a state, its work storage drawn from budget (which a cold start has
// drawn its start state from already).
MuskingumResult RouteFrom(const MuskingumReach& reach, const Hydrograph& hydrograph,
                          const StepStateView& start, Workspace& workspace,
                          const RouteOptions& options, StorageBudget& budget) {
  const detail::WorkspaceAccess work{workspace};
  const CallMessage message = MessageFor(options, workspace);
  Report report;
  MuskingumResult result;
  const std::span<const double> inflows = hydrograph.flows;
  const std::size_t n = inflows.size();
  const std::int32_t stepCount = reach.steps;
  const std::size_t steps = static_cast<std::size_t>(std::max(stepCount, 0));
  const double dt = hydrograph.intervalMinutes * kHoursPerMinute;
  const double k = reach.kHours;
  const double x = reach.x;
  const double lastInflowOf = n > 0 ? inflows[n - 1] : start.lastInflow;

  std::span<double> outflows = options.outflows.empty()
                                   ? std::span<double>()
                                   : options.outflows.first(std::min(n, options.outflows.size()));
  std::vector<double>& finals = work.stepOutflows();
  // Muskingum has no depth or velocity: asked for, they stay undefined.
  const Gauges gauges = GaugesFor(options, workspace, n, budget);
  result.depth = gauges.depth;
  result.velocity = gauges.velocity;
  if (!gauges.stored || (options.outflows.empty() && !Fit(work.outflows(), n, budget)) ||
      !Fit(finals, steps, budget)) {
    report.raise(message::kMuskingumNoStorage);
    message.field.assign(kNoStorageText);
    result.status = StatusOf(report, routine::kRouteMuskingum);
    result.text = message.text();
    return result;
  }
  if (options.outflows.empty()) outflows = work.outflows();

  // A value that is not a number compares false and passes these checks.
  const bool invalid = dt <= 0.0 || k <= 0.0 || stepCount < 1 || x < 0.0 || x > kLargestWeight;
  Coefficients c{};
  if (invalid) {
    report.error(message::kMuskingumInvalid.number);
    AppendDoubleToString(message::kMuskingumInvalid.text, k, message::kMuskingumInvalid.detail,
                         message.field);
    AppendDoubleToString(message.field.view(), x, ", Number of reaches = ", message.field);
    AppendIntegerToString(message.field.view(), stepCount, " ", message.field);
  } else if (!hydrograph.lateralFlows.empty()) {
    report.error(message::kMuskingumLateral.number);
    message.field.assign(message::kMuskingumLateral.text);
  } else if (start.outflows.size() != steps ||
             (n > 0 && !SameOrdinate(inflows[0], start.lastInflow))) {
    report.error(message::kMuskingumState.number);
    message.field.assign(message::kMuskingumState.text);
  } else {
    c = MuskingumCoefficients(dt, k, x, stepCount);
    // Stable when Ca <= 1 and Cb >= 0; a coefficient that is not a number is unstable.
    if (!(c.ca <= 1.0 && c.cb >= 0.0)) {
      report.warning(message::kMuskingumUnstable.number);
      message.field.assign(message::kMuskingumUnstable.text);
    }
  }

  if (report.failed()) {
    std::fill(outflows.begin(), outflows.end(), undefinedDbl());
    std::fill(finals.begin(), finals.end(), undefinedDbl());
  } else {
    // Volume account in flow unit x seconds: the inflow volume from the first step's inflows
    // and the outflow volume from the last step's outflows. The inflows are read before the
    // outflows, which may be the same array, are written; outflows shorter than the hydrograph
    // route only their ordinates, so the inflow volume is then taken over all of them first.
    const double stepK = k / static_cast<double>(stepCount) * kSecondsPerHour;
    const double seconds = hydrograph.intervalMinutes * kSecondsPerMinute;
    const bool shortOutflows = outflows.size() < n;
    // With a running account the sums go on from the run's so far (see RunningAccount).
    VolumeAccount& v = result.volume;
    RunningAccount* const running = options.runningAccount;
    const double inflowFrom = running != nullptr ? running->inflowSum : 0.0;
    const double outflowFrom = running != nullptr ? running->outflowSum : 0.0;
    double inflowSum = inflowFrom, outflowSum = outflowFrom;
    v.loss = 0.0;
    if (shortOutflows) inflowSum = TrapezoidSum(inflows, inflowFrom);
    if (n > 0) v.storageStart = ReachStorage(stepK, x, inflows[0], start.outflows);
    FaultSeam(inflows);
    if (!outflows.empty()) std::memmove(outflows.data(), inflows.data(), outflows.size_bytes());
    for (std::size_t s = 0; s < steps; ++s) {
      const StepRouting step = RouteStep(c, start.outflows[s], outflows,
                                         s == 0 ? inflowFrom : 0.0,
                                         s + 1 == steps ? outflowFrom : 0.0);
      finals[s] = step.lastOutflow;
      if (s == 0 && !shortOutflows) inflowSum = step.inflowSum;
      if (s + 1 == steps) outflowSum = step.outflowSum;
    }
    v.inflow = inflowSum * seconds;
    v.outflow = outflowSum * seconds;
    if (n > 0) v.storageEnd = ReachStorage(stepK, x, lastInflowOf, finals);
    if (running != nullptr) {
      if (running->started) v.storageStart = running->storageStart;
      running->started = true;
      running->storageStart = v.storageStart;
      running->inflowSum = inflowSum;
      running->outflowSum = outflowSum;
    }
    CloseBalance(v);
  }
  result.outflows = outflows;
  result.status = StatusOf(report, routine::kRouteMuskingum);
  result.text = message.text();
  result.state = {finals, {}, {}, lastInflowOf};
  return result;
}

}  // namespace

MuskingumResult Route(const MuskingumReach& reach, const Hydrograph& hydrograph,
                      const StepStateView& start, Workspace& workspace,
                      const RouteOptions& options) {
  StorageBudget budget;
  return RouteFrom(reach, hydrograph, start, workspace, options, budget);
}

MuskingumResult Route(const MuskingumReach& reach, const Hydrograph& hydrograph,
                      Workspace& workspace, const RouteOptions& options) {
  // Steady flow from the first inflow in every step. A start the budget refuses (or the
  // system) leaves no room for the call's own arrays of as many steps: message 11.
  StorageBudget budget;
  std::vector<double>& start = detail::WorkspaceAccess{workspace}.startOutflows();
  const std::size_t steps = static_cast<std::size_t>(std::max(reach.steps, 0));
  const double first = hydrograph.flows.empty() ? 0.0 : hydrograph.flows[0];
  if (!Fit(start, steps, budget)) start.clear();
  std::fill(start.begin(), start.end(), first);
  return RouteFrom(reach, hydrograph, StepStateView{start, {}, {}, first}, workspace, options,
                   budget);
}

StepStart StartAtFlow(const MuskingumReach& reach, double initialFlow, double firstInflow) {
  StepStart start;
  if (reach.steps < 1) {
    FixedText<Workspace::kMessageWidth> text;
    AppendDoubleToString(message::kMuskingumInvalid.text, reach.kHours,
                         message::kMuskingumInvalid.detail, text.field());
    AppendDoubleToString(text.view(), reach.x, ", Number of reaches = ", text.field());
    AppendIntegerToString(text.view(), reach.steps, " ", text.field());
    start.status = {routine::kRouteMuskingum, message::kMuskingumInvalid.number, Severity::kError};
    start.text = text.trimmed();
    return start;
  }
  StorageBudget budget;
  if (!Fit(start.state.outflows, static_cast<std::size_t>(reach.steps), budget)) {
    start.status = {routine::kRouteMuskingum, message::kMuskingumNoStorage.number,
                    Severity::kError};
    start.text = message::kMuskingumNoStorage.text;
    return start;
  }
  std::fill(start.state.outflows.begin(), start.state.outflows.end(), initialFlow);
  start.state.lastInflow = firstInflow;
  return start;
}

void RouteMuskingum(std::int32_t intervalMinutes, double muskingumK, double muskingumX,
                    std::int32_t stepCount, std::span<const double> initialStepOutflows,
                    std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                    std::span<const double> inflows, std::span<double> outflows,
                    std::int32_t& status, TextField message) {
  // The fixed-width interface has no last inflow: the first ordinate stands for it.
  const std::size_t ordinates = std::min({static_cast<std::size_t>(std::max(ordinateCount, 0)),
                                          inflows.size(), outflows.size()});
  const std::size_t steps = std::min({static_cast<std::size_t>(std::max(stepCount, 0)),
                                      initialStepOutflows.size(), finalStepOutflows.size()});
  const Hydrograph hydrograph{intervalMinutes, inflows.first(ordinates), {}};
  const StepStateView start{initialStepOutflows.first(steps), {}, {},
                            ordinates > 0 ? inflows[0] : 0.0};
  Workspace workspace;
  const MuskingumResult result =
      Route(MuskingumReach{muskingumK, muskingumX, stepCount}, hydrograph, start, workspace,
            {{message.data(), static_cast<std::size_t>(message.width())}, outflows.first(ordinates)});
  if (result.state.outflows.size() == steps)
    std::copy(result.state.outflows.begin(), result.state.outflows.end(), finalStepOutflows.begin());
  status = result.status.code();
}

}  // namespace tovalin
