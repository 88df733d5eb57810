// Modified Puls (storage-indication) channel routing (Chow, Maidment & Mays, Applied
// Hydrology, 8.2): with the storage indicator SI = S/dt + O/2 of one step, the continuity
// equation 2S2/dt + O2 = I1 + I2 + 2S1/dt - O1 becomes SI2 = (I1 + I2)/2 - O1 + SI1, and O2
// follows from SI2 through the storage-outflow table. The channel loss L = S / D * rate
// (storage over depth above the loss elevation, times a loss rate) comes off each step's
// outflow. S in flow unit x seconds, dt in seconds, flows in any one unit.
#include "hydro/routing/puls_channel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "hydro/hydraulics/interpolate_linear.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/api_support.h"
#include "hydro/routing/fault_seam.h"

namespace tovalin {
namespace {

// 1/60 held in single precision (0.01666666753590107): minutes to hours. It multiplies, so
// 60 minutes are 3600.000187754631 s.
constexpr double kHoursPerMinute = 0.01666666753590107;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kHalf = 0.5;
// Relative tolerance of the passes for the initial gross outflow: 1e-4 held in single
// precision (9.999999747378752e-05), and the number of passes after which the latest is taken.
constexpr double kPassTolerance = 9.999999747378752e-05;
constexpr int kMaxPasses = 10;


static_assert(message::kPulsNoStorage.text.starts_with(kNoStorageText));
constexpr std::string_view kClosingTrailer = " ";

struct ChannelLoss {
  double elevation;  // elevation above which the loss acts, length unit
  double rate;       // loss per unit of area, length unit per second
};

// Failed lookups of one call, for the diagnostics.
struct LookupTally {
  std::int64_t failed = 0;
  std::int64_t outsideOrdinates = 0;
  std::int32_t firstOrdinate = -1;
  std::int32_t firstStep = -1;
};

// The reach of one call: its tables, the working table of storage indicators of one step,
// 1/dt, and the status, message and report of the call that every lookup writes.
struct Reach {
  std::span<const double> storage;
  std::span<const double> outflow;
  std::span<const double> elevation;
  std::span<const double> indicator;
  double inverseInterval;
  std::int32_t& status;
  TextField message;
  Report& report;
  LookupTally& tally;

  // One value looked up in the table x -> y. A failure records its message number and puts
  // its line in front of the text the lookup wrote; the result is then the undefined value.
  double lookUp(std::span<const double> x, std::span<const double> y, double value, int number,
                std::string_view line) const noexcept {
    const double result = InterpolateLinearValue(x, y, value, status, message);
    if (status > 0) [[unlikely]] {
      report.error(number);
      PrependLineToMessage(line, message.view(), message);
      ++tally.failed;
    }
    return result;
  }
};

// Gross outflow Q of a step whose loss brings it down to the net outflow given: Q = O + L(Q)
// by direct substitution from Q = O, with the loss of the whole reach's storage; the tenth
// pass is taken without a convergence test.
double InitialGrossOutflow(const Reach& reach, ChannelLoss loss, double netOutflow) noexcept {
  if (isUndefinedDbl(netOutflow)) return undefinedDbl();
  double outflow = netOutflow;
  for (int pass = 1;; ++pass) {
    double channelLoss = 0.0;
    // D = E(O) - lossElevation
    const double depth = reach.lookUp(reach.outflow, reach.elevation, outflow,
                                      message::kPulsStorageElevation.number, message::kPulsOutflowElevation.text) -
                         loss.elevation;
    if (depth > 0.0) {
      const double storage = reach.lookUp(reach.outflow, reach.storage, outflow,
                                          message::kPulsStorageLookup.number, message::kPulsStorageLookup.text);
      // L = S / D * rate
      channelLoss = storage / depth * loss.rate;
    }
    // Q = O0 + L, converged when |Q - O| <= Q * 1e-4
    const double gross = netOutflow + channelLoss;
    const double tolerance = gross * kPassTolerance;
    if (pass >= kMaxPasses || std::abs(gross - outflow) <= tolerance) return gross;
    outflow = gross;
    if (isUndefinedDbl(outflow)) return undefinedDbl();
  }
}

// Loss of one period from the storage of one step held at indicator SI with gross outflow Q;
// 0 while the water surface E(SI) stands at or below the loss elevation.
double PeriodLoss(const Reach& reach, ChannelLoss loss, double indicator,
                  double outflow) noexcept {
  // D = E(SI) - lossElevation
  const double depth = reach.lookUp(reach.indicator, reach.elevation, indicator,
                                    message::kPulsStorageElevation.number, message::kPulsStorageElevation.text) -
                       loss.elevation;
  if (!(depth > 0.0)) return 0.0;
  // S = (SI - Q/2) dt, computed as (Q * -0.5 + SI) / (1/dt)
  const double storage = (outflow * -kHalf + indicator) / reach.inverseInterval;
  // L = S / D * rate
  return storage / depth * loss.rate;
}

// Where one step starts: its net outflow at the first ordinate, and, when a state carries
// them on, its gross outflow and storage indicator there (NaN: found from the outflow).
struct StepFrom {
  double netOutflow;
  double grossOutflow;
  double indicator;
  bool carried;  // gross outflow and indicator given
};

// Where one step ends, the sum of its loss flows (flow units; carried on by a running
// account) and the volume its loss took (flow unit x seconds).
struct StepEnd {
  double grossOutflow;
  double indicator;
  double startGross;
  double startIndicator;
  double lossSum;
  double lossVolume;
};

// Storage of one step held at indicator SI with gross outflow Q: S = (SI - Q/2) dt; undefined
// when either is.
double StepStorage(const Reach& reach, double indicator, double outflow) noexcept {
  if (isUndefinedDbl(indicator) || isUndefinedDbl(outflow)) return undefinedDbl();
  return (outflow * -kHalf + indicator) / reach.inverseInterval;
}

// The water level of a step asked for with the routing: the elevation of its storage
// indicator SI in the table's elevation column, above the column's first elevation; looked up
// in private, so that nothing of the call's status, message or tally changes. Undefined for
// an undefined SI or one outside the table.
struct LevelGauge {
  std::span<const double> indicator;  // the working table
  std::span<const double> elevation;  // the elevation column (empty: no levels)
  std::span<double> levels;           // one per ordinate

  double at(double storageIndicator) const noexcept {
    if (isUndefinedDbl(storageIndicator) || elevation.empty()) return undefinedDbl();
    std::int32_t status = 0;
    char text = kBlank;
    const double surface =
        InterpolateLinearValue(indicator, elevation, storageIndicator, status, TextField(&text, 1));
    // depth = E(SI) - E(1)
    return status > 0 ? undefinedDbl() : surface - elevation[0];
  }
};

// Routes the working hydrograph through one step: on entry it holds the inflow to the step,
// on return the step's outflow (net of the loss, when there is one). Its loss sum goes on from
// lossSum (a run's so far, or 0). With kLevels the gauge receives the step's level at every
// ordinate.
template <bool kWithLoss, bool kLevels = false>
StepEnd RouteStep(const Reach& reach, ChannelLoss loss, StepFrom start, std::int32_t step,
                  std::span<double> hydrograph, double lossSum,
                  const LevelGauge& gauge = {}) noexcept {
  const double undefined = undefinedDbl();
  const double initialOutflow = start.netOutflow;
  double inflow1 = undefined;
  if (!hydrograph.empty()) {
    inflow1 = hydrograph[0];
    hydrograph[0] = initialOutflow;
  }
  double outflow = initialOutflow;
  const bool carried = start.carried;
  if constexpr (kWithLoss) {
    outflow = carried ? start.grossOutflow : InitialGrossOutflow(reach, loss, initialOutflow);
  }
  double indicator = carried ? start.indicator
                             : reach.lookUp(reach.outflow, reach.indicator, outflow,
                                            message::kPulsStorageLookup.number, message::kPulsStorageLookup.text);
  StepEnd end{undefined, undefined, outflow, indicator, 0.0, 0.0};
  if constexpr (kLevels) {
    if (!hydrograph.empty()) gauge.levels[0] = gauge.at(indicator);
  }

  // Loss flow gross - net at the previous ordinate, for the loss volume.
  double lossFlow1 = kWithLoss ? outflow - initialOutflow : 0.0;
  // Whether the flows of the period are defined, carried from one ordinate to the next.
  bool inflow1Defined = !isUndefinedDbl(inflow1);
  bool outflowDefined = !isUndefinedDbl(outflow);
  for (std::size_t t = 1; t < hydrograph.size(); ++t) {
    const double inflow2 = hydrograph[t];
    const bool inflow2Defined = !isUndefinedDbl(inflow2);
    double channelLoss = 0.0;
    if (outflowDefined && inflow1Defined && inflow2Defined) {
      // SI2 = ((I1 + I2) / 2 - O1) + SI1, no lower than 0
      indicator = ((inflow2 + inflow1) * kHalf - outflow) + indicator;
      if (indicator < 0.0) indicator = 0.0;
      const std::int64_t failedBefore = reach.tally.failed;
      outflow = reach.lookUp(reach.indicator, reach.outflow, indicator, message::kPulsStorageLookup.number,
                             message::kPulsStorageLookup.text);
      if (reach.tally.failed != failedBefore) [[unlikely]] {
        if (reach.tally.outsideOrdinates++ == 0) {
          reach.tally.firstOrdinate = static_cast<std::int32_t>(t);
          reach.tally.firstStep = step;
        }
      }
      if constexpr (kWithLoss) {
        // A failed lookup leaves the outflow undefined for the rest of the step.
        outflowDefined = !isUndefinedDbl(outflow);
        if (outflowDefined) {
          if (outflow < 0.0) outflow = 0.0;
          channelLoss = PeriodLoss(reach, loss, indicator, outflow);
        }
      } else {
        // The undefined value of a failed lookup lies below zero and becomes 0 too; what is
        // left below zero is only a value that is not a number.
        if (outflow < 0.0) outflow = 0.0;
        outflowDefined = outflow >= 0.0;
      }
    } else {
      indicator = undefined;
      outflow = undefined;
      outflowDefined = false;
    }
    if constexpr (kWithLoss) {
      // Net outflow Q - L, 0 when the loss takes it all.
      const double net = outflow - channelLoss;
      hydrograph[t] = outflowDefined ? (net > 0.0 ? net : 0.0) : undefined;
      const double lossFlow2 = outflowDefined ? outflow - hydrograph[t] : undefined;
      if (!isUndefinedDbl(lossFlow1) && !isUndefinedDbl(lossFlow2))
        lossSum += (lossFlow1 + lossFlow2) * kHalf;
      lossFlow1 = lossFlow2;
    } else {
      hydrograph[t] = outflow;
    }
    if constexpr (kLevels) gauge.levels[t] = gauge.at(indicator);
    inflow1 = inflow2;
    inflow1Defined = inflow2Defined;
  }
  end.grossOutflow = outflow;
  end.indicator = indicator;
  end.lossSum = lossSum;
  end.lossVolume = lossSum / reach.inverseInterval;
  return end;
}

// dt = minutes * (1/60) * 3600 seconds
double IntervalSeconds(std::int32_t intervalMinutes) noexcept {
  return static_cast<double>(intervalMinutes) * kHoursPerMinute * kSecondsPerHour;
}

// The working table of storage indicators of one step, SI = S / n * (1/dt) + 0.5 O for each
// pair: half of 2S/dt + O for the storage of one step.
void FillIndicators(std::span<const double> storage, std::span<const double> outflow,
                    std::int32_t stepCount, double inverseInterval,
                    std::span<double> indicator) noexcept {
  const double stepsAsDouble = static_cast<double>(stepCount);
  for (std::size_t j = 0; j < indicator.size(); ++j)
    indicator[j] = storage[j] / stepsAsDouble * inverseInterval + kHalf * outflow[j];
}

// Number of elements of a span a count covers: count, limited to the span, 0 below 1.
std::size_t Covered(std::int32_t count, std::size_t available) noexcept {
  return count < 1 ? 0 : std::min(static_cast<std::size_t>(count), available);
}


// One routing call: checks the divisors, obtains the working table, routes every step and
// packs the status. elevation is empty for routing without loss. The work storage is drawn
// from budget (which a cold start has drawn its start state from already).
template <bool kWithLoss>
PulsResult RouteCall(const PulsReach& reach, const Hydrograph& hydrograph,
                     const StepStateView& start, Workspace& workspace,
                     const RouteOptions& options, StorageBudget& budget) {
  const int routineNumber =
      kWithLoss ? routine::kRoutePulsChannelWithLoss : routine::kRoutePulsChannel;
  const detail::WorkspaceAccess work{workspace};
  const CallMessage message = MessageFor(options, workspace);
  Report report;
  LookupTally tally;
  PulsResult result;
  const std::int32_t intervalMinutes = hydrograph.intervalMinutes;
  const std::int32_t stepCount = reach.steps;
  const std::span<const double> inflows = hydrograph.flows;
  const std::size_t n = inflows.size();
  std::size_t pairs = std::min(reach.storage.size(), reach.outflow.size());
  if constexpr (kWithLoss) pairs = std::min(pairs, reach.elevation.size());
  const std::span<const double> storage = reach.storage.first(pairs);
  const std::span<const double> outflow = reach.outflow.first(pairs);
  const std::span<const double> elevation =
      kWithLoss ? reach.elevation.first(pairs) : std::span<const double>();
  const std::size_t steps = Covered(stepCount, std::numeric_limits<std::int32_t>::max());
  const double lastInflow = n > 0 ? inflows[n - 1] : start.lastInflow;

  std::span<double> hydrograph_ = options.outflows.empty()
                                      ? std::span<double>()
                                      : options.outflows.first(std::min(n, options.outflows.size()));
  std::vector<double>& finals = work.stepOutflows();
  std::vector<double>& gross = work.stepGross();
  std::vector<double>& indicators = work.stepIndicators();
  const Gauges gauges = GaugesFor(options, workspace, n, budget);
  const bool stored = gauges.stored &&
                      (!options.outflows.empty() || Fit(work.outflows(), n, budget)) &&
                      Fit(finals, steps, budget) && Fit(gross, kWithLoss ? steps : 0, budget) &&
                      Fit(indicators, steps, budget);
  if (options.outflows.empty() && stored) hydrograph_ = work.outflows();
  std::span<double> outflows = hydrograph_;

  auto finish = [&] {
    result.outflows = outflows;
    result.depth = gauges.depth;
    result.velocity = gauges.velocity;
    result.status = StatusOf(report, routineNumber);
    result.text = message.text();
    result.state = {std::span<const double>(finals).first(stored ? steps : 0),
                    std::span<const double>(gross).first(stored && kWithLoss ? steps : 0),
                    std::span<const double>(indicators).first(stored ? steps : 0), lastInflow};
    result.diagnostics = {tally.outsideOrdinates, tally.firstOrdinate, tally.firstStep,
                          tally.failed};
    return result;
  };
  // A call that routes nothing leaves every outflow undefined.
  auto abandon = [&](int number) {
    report.error(number);
    std::fill(outflows.begin(), outflows.end(), undefinedDbl());
    if (stored) {
      std::fill(finals.begin(), finals.end(), undefinedDbl());
      std::fill(gross.begin(), gross.end(), undefinedDbl());
      std::fill(indicators.begin(), indicators.end(), undefinedDbl());
    }
    return finish();
  };

  // The interval and the step count are divisors.
  if (intervalMinutes < 1 || stepCount < 1) {
    AppendIntegerToString(message::kPulsInvalid.text, intervalMinutes, message::kPulsInvalid.detail, message.field);
    AppendIntegerToString(message.field.view(), stepCount, kClosingTrailer, message.field);
    return abandon(message::kPulsInvalid.number);
  }
  if (!stored || !Fit(work.table(), pairs, budget)) {
    message.field.assign(message::kPulsNoStorage.text);
    return abandon(kMessageNoStorage);
  }
  if (!hydrograph.lateralFlows.empty()) {
    message.field.assign(message::kPulsLateral.text);
    return abandon(message::kPulsLateral.number);
  }
  const bool carriesIndicators = !start.storageIndicators.empty();
  const bool carriesGross = kWithLoss && !start.grossOutflows.empty();
  if (start.outflows.size() != steps || (carriesIndicators && start.storageIndicators.size() != steps) ||
      (carriesGross && start.grossOutflows.size() != steps) ||
      (kWithLoss && carriesIndicators != carriesGross) ||
      (n > 0 && !SameOrdinate(inflows[0], start.lastInflow))) {
    message.field.assign(message::kPulsState.text);
    return abandon(message::kPulsState.number);
  }
  FaultSeam(inflows);

  const double interval = IntervalSeconds(intervalMinutes);
  const double inverseInterval = 1.0 / interval;
  VolumeAccount& volume = result.volume;
  // With a running account the sums go on from the run's so far (see RunningAccount).
  RunningAccount* const running = options.runningAccount;
  if (running != nullptr && kWithLoss && running->stepLossSums.size() != steps) {
    if (running->started) {
      message.field.assign(message::kPulsState.text);
      return abandon(message::kPulsState.number);
    }
    try {
      running->stepLossSums.assign(steps, 0.0);
    } catch (const std::bad_alloc&) {
      message.field.assign(message::kPulsNoStorage.text);
      return abandon(kMessageNoStorage);
    }
  }
  const double inflowSum = TrapezoidSum(inflows, running != nullptr ? running->inflowSum : 0.0);
  volume.inflow = inflowSum * interval;

  // inflows may be the outflow array itself.
  if (!outflows.empty()) std::memmove(outflows.data(), inflows.data(), outflows.size_bytes());

  std::vector<double>& indicator = work.table();
  FillIndicators(storage, outflow, stepCount, inverseInterval, indicator);

  std::int32_t status = 0;
  const Reach routed{storage, outflow, elevation, indicator, inverseInterval, status,
                     message.field, report, tally};
  const ChannelLoss loss{reach.lossElevation, reach.lossRate};
  const LevelGauge levelGauge{indicator,
                              reach.elevation.first(std::min(pairs, reach.elevation.size())),
                              gauges.depth.first(std::min(n, outflows.size()))};
  const double carriedNothing = std::numeric_limits<double>::quiet_NaN();
  volume.storageStart = volume.storageEnd = volume.loss = 0.0;
  for (std::size_t s = 0; s < steps; ++s) {
    const StepFrom from{start.outflows[s],
                         carriesGross ? start.grossOutflows[s] : start.outflows[s],
                         carriesIndicators ? start.storageIndicators[s] : carriedNothing,
                         carriesIndicators};
    // The levels, when asked for, are those of the last step.
    const auto step = static_cast<std::int32_t>(s);
    const double lossFrom = running != nullptr && kWithLoss ? running->stepLossSums[s] : 0.0;
    const StepEnd end =
        s + 1 == steps && !gauges.depth.empty()
            ? RouteStep<kWithLoss, true>(routed, loss, from, step, outflows, lossFrom, levelGauge)
            : RouteStep<kWithLoss>(routed, loss, from, step, outflows, lossFrom);
    if (running != nullptr && kWithLoss) running->stepLossSums[s] = end.lossSum;
    volume.storageStart =
        AddDefined(volume.storageStart, StepStorage(routed, end.startIndicator, end.startGross));
    volume.storageEnd =
        AddDefined(volume.storageEnd, StepStorage(routed, end.indicator, end.grossOutflow));
    volume.loss += end.lossVolume;
    finals[s] = outflows.empty() ? start.outflows[s] : outflows.back();
    if constexpr (kWithLoss) gross[s] = end.grossOutflow;
    indicators[s] = end.indicator;
  }
  const double outflowSum =
      TrapezoidSum(outflows, running != nullptr ? running->outflowSum : 0.0);
  volume.outflow = outflowSum * interval;
  if (running != nullptr) {
    if (running->started) volume.storageStart = running->storageStart;
    running->started = true;
    running->storageStart = volume.storageStart;
    running->inflowSum = inflowSum;
    running->outflowSum = outflowSum;
  }
  CloseBalance(volume);
  return finish();
}

template <bool kWithLoss>
PulsResult RouteCold(const PulsReach& reach, const Hydrograph& hydrograph, Workspace& workspace,
                     const RouteOptions& options) {
  // Steady flow from the first inflow in every step. A start the budget refuses (or the
  // system) leaves no room for the call's own arrays of as many steps: message 11.
  StorageBudget budget;
  std::vector<double>& start = detail::WorkspaceAccess{workspace}.startOutflows();
  const std::size_t steps = static_cast<std::size_t>(std::max(reach.steps, 0));
  const double first = hydrograph.flows.empty() ? 0.0 : hydrograph.flows[0];
  if (!Fit(start, steps, budget)) start.clear();
  std::fill(start.begin(), start.end(), first);
  return RouteCall<kWithLoss>(reach, hydrograph, StepStateView{start, {}, {}, first}, workspace,
                              options, budget);
}

// The fixed-width interface onto the API: counts limit the spans, the first ordinate stands
// for the last inflow, and each step's final outflow is the gross one.
template <bool kWithLoss>
void RouteFixedWidth(std::int32_t intervalMinutes, std::int32_t pairCount,
                     std::span<const double> storageTable, std::span<const double> outflowTable,
                     std::span<const double> elevationTable, ChannelLoss loss,
                     std::int32_t stepCount, std::span<const double> initialStepOutflows,
                     std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                     std::span<const double> inflows, std::span<double> outflows,
                     std::int32_t& status, TextField message) {
  const std::size_t pairs = Covered(pairCount, storageTable.size());
  const std::size_t ordinates =
      Covered(ordinateCount, std::min(inflows.size(), outflows.size()));
  const std::size_t steps =
      Covered(stepCount, std::min(initialStepOutflows.size(), finalStepOutflows.size()));
  PulsReach reach{storageTable.first(pairs),
                  outflowTable.first(std::min(pairs, outflowTable.size())),
                  stepCount,
                  kWithLoss,
                  elevationTable.first(std::min(pairs, elevationTable.size())),
                  loss.elevation,
                  loss.rate};
  const Hydrograph hydrograph{intervalMinutes, inflows.first(ordinates), {}};
  const StepStateView start{initialStepOutflows.first(steps), {}, {},
                            ordinates > 0 ? inflows[0] : 0.0};
  Workspace workspace;
  StorageBudget budget;
  const PulsResult result = RouteCall<kWithLoss>(
      reach, hydrograph, start, workspace,
      {{message.data(), static_cast<std::size_t>(message.width())}, outflows.first(ordinates)},
      budget);
  const std::span<const double> finals =
      kWithLoss ? result.state.grossOutflows : result.state.outflows;
  if (finals.size() == steps) std::copy(finals.begin(), finals.end(), finalStepOutflows.begin());
  status = result.status.code();
}

// Where each step of a start state stands: its outflow handed on, its outflow before any loss
// and its storage indicator.
struct StepStand {
  double netOutflow;
  double grossOutflow;
  double indicator;
};

// A start state with every step alike: at the storage whose outflow is `value` (a flow), or
// at the water-surface level `value`, looked up in the reach's table as the routing looks up.
template <bool kWithLoss>
StepStart StartSteps(const PulsReach& reach, std::int32_t intervalMinutes, double value,
                     bool atLevel, double firstInflow) {
  const int routineNumber =
      kWithLoss ? routine::kRoutePulsChannelWithLoss : routine::kRoutePulsChannel;
  StepStart start;
  FixedText<Workspace::kMessageWidth> text;
  const TextField message = text.field();
  Report report;
  const auto finish = [&] {
    start.status = StatusOf(report, routineNumber);
    start.text = text.trimmed();
    if (report.failed()) start.state = {};
    return start;
  };
  if (intervalMinutes < 1 || reach.steps < 1) {
    AppendIntegerToString(message::kPulsInvalid.text, intervalMinutes, message::kPulsInvalid.detail,
                          message);
    AppendIntegerToString(message.view(), reach.steps, kClosingTrailer, message);
    report.error(message::kPulsInvalid.number);
    return finish();
  }
  std::size_t pairs = std::min(reach.storage.size(), reach.outflow.size());
  if (kWithLoss || atLevel) pairs = std::min(pairs, reach.elevation.size());
  const std::span<const double> storage = reach.storage.first(pairs);
  const std::span<const double> outflow = reach.outflow.first(pairs);
  const std::span<const double> elevation =
      reach.elevation.first(std::min(pairs, reach.elevation.size()));
  const auto steps = static_cast<std::size_t>(reach.steps);
  std::vector<double> indicator;
  StepState& state = start.state;
  StorageBudget budget;
  if (!Fit(indicator, pairs, budget) || !Fit(state.outflows, steps, budget) ||
      !Fit(state.storageIndicators, steps, budget) ||
      !Fit(state.grossOutflows, kWithLoss ? steps : 0, budget)) {
    message.assign(message::kPulsNoStorage.text);
    report.error(kMessageNoStorage);
    return finish();
  }
  const double inverseInterval = 1.0 / IntervalSeconds(intervalMinutes);
  FillIndicators(storage, outflow, reach.steps, inverseInterval, indicator);
  std::int32_t status = 0;
  LookupTally tally;
  const Reach table{storage, outflow, elevation, indicator, inverseInterval, status, message,
                    report, tally};
  const ChannelLoss loss{reach.lossElevation, reach.lossRate};
  StepStand stand{};
  if (!atLevel) {
    // The outflow handed on is the flow; with a loss, the outflow before it found as a cold
    // start finds it; SI from that outflow.
    stand.netOutflow = value;
    stand.grossOutflow = kWithLoss ? InitialGrossOutflow(table, loss, value) : value;
    stand.indicator = table.lookUp(outflow, indicator, stand.grossOutflow,
                                   message::kPulsStorageLookup.number,
                                   message::kPulsStorageLookup.text);
  } else {
    // O and S of the level; SI = S / n * (1/dt) + 0.5 O; the loss of a period at SI.
    stand.grossOutflow = table.lookUp(elevation, outflow, value,
                                      message::kPulsOutflowElevation.number,
                                      message::kPulsOutflowElevation.text);
    if (report.failed()) return finish();
    const double levelStorage =
        table.lookUp(elevation, storage, value, message::kPulsStorageElevation.number,
                     message::kPulsStorageElevation.text);
    stand.indicator = isUndefinedDbl(levelStorage) || isUndefinedDbl(stand.grossOutflow)
                          ? undefinedDbl()
                          : levelStorage / static_cast<double>(reach.steps) * inverseInterval +
                                kHalf * stand.grossOutflow;
    stand.netOutflow = stand.grossOutflow;
    if constexpr (kWithLoss) {
      if (!report.failed() && !isUndefinedDbl(stand.grossOutflow)) {
        // Net outflow Q - L, 0 when the loss takes it all.
        const double net = stand.grossOutflow - PeriodLoss(table, loss, stand.indicator,
                                                          stand.grossOutflow);
        stand.netOutflow = net > 0.0 ? net : 0.0;
      }
    }
  }
  std::fill(state.outflows.begin(), state.outflows.end(), stand.netOutflow);
  std::fill(state.grossOutflows.begin(), state.grossOutflows.end(), stand.grossOutflow);
  std::fill(state.storageIndicators.begin(), state.storageIndicators.end(), stand.indicator);
  state.lastInflow = firstInflow;
  return finish();
}

}  // namespace

PulsResult Route(const PulsReach& reach, const Hydrograph& hydrograph, const StepStateView& start,
                 Workspace& workspace, const RouteOptions& options) {
  StorageBudget budget;
  return reach.withLoss ? RouteCall<true>(reach, hydrograph, start, workspace, options, budget)
                        : RouteCall<false>(reach, hydrograph, start, workspace, options, budget);
}

PulsResult Route(const PulsReach& reach, const Hydrograph& hydrograph, Workspace& workspace,
                 const RouteOptions& options) {
  return reach.withLoss ? RouteCold<true>(reach, hydrograph, workspace, options)
                        : RouteCold<false>(reach, hydrograph, workspace, options);
}

StepStart StartAtFlow(const PulsReach& reach, std::int32_t intervalMinutes, double initialFlow,
                      double firstInflow) {
  return reach.withLoss
             ? StartSteps<true>(reach, intervalMinutes, initialFlow, false, firstInflow)
             : StartSteps<false>(reach, intervalMinutes, initialFlow, false, firstInflow);
}

StepStart StartAtLevel(const PulsReach& reach, std::int32_t intervalMinutes, double level,
                       double firstInflow) {
  return reach.withLoss ? StartSteps<true>(reach, intervalMinutes, level, true, firstInflow)
                        : StartSteps<false>(reach, intervalMinutes, level, true, firstInflow);
}

void RoutePulsChannel(std::int32_t intervalMinutes, std::int32_t pairCount,
                      std::span<const double> storageTable, std::span<const double> outflowTable,
                      std::int32_t stepCount, std::span<const double> initialStepOutflows,
                      std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                      std::span<const double> inflows, std::span<double> outflows,
                      std::int32_t& status, TextField message) {
  RouteFixedWidth<false>(intervalMinutes, pairCount, storageTable, outflowTable, {},
                         ChannelLoss{}, stepCount, initialStepOutflows, finalStepOutflows,
                         ordinateCount, inflows, outflows, status, message);
}

void RoutePulsChannelWithLoss(std::int32_t intervalMinutes, std::int32_t pairCount,
                              std::span<const double> storageTable,
                              std::span<const double> outflowTable,
                              std::span<const double> elevationTable, double lossElevation,
                              double lossRate, std::int32_t stepCount,
                              std::span<const double> initialStepOutflows,
                              std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                              std::span<const double> inflows, std::span<double> outflows,
                              std::int32_t& status, TextField message) {
  RouteFixedWidth<true>(intervalMinutes, pairCount, storageTable, outflowTable, elevationTable,
                        ChannelLoss{lossElevation, lossRate}, stepCount, initialStepOutflows,
                        finalStepOutflows, ordinateCount, inflows, outflows, status, message);
}

}  // namespace tovalin
