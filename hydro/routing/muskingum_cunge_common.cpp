// Muskingum-Cunge routing, the parts outside the routing sweep: the checks of a call's
// parameters, the reference flow, the choice of the computation interval dt and the subreach
// count NSUB with their limits, and the profile carried between the M points and the nodes.
// Flows m3/s, lengths m, times s, lateral inflow q in m3/s per m.
#include "hydro/routing/muskingum_cunge_common.h"

namespace tovalin::muskingum_cunge {
namespace {

constexpr double kSecondsPerMinute = 60.0;
// Celerity (m/s) used when the reference flow gives none: 0.15 in single precision.
constexpr double kFallbackCelerity = 0.15000000596046448;
// Fraction of the inflow's rise time that bounds the computation interval.
constexpr double kRiseFraction = 0.05;
// Starting minimum (m3/s) of the inflow scan when the first ordinate is undefined.
constexpr double kNoMinimum = 1.0e10;
constexpr int kMaxSubreaches = kMaxSubreachCount;


// L / dx0 rounded half away from zero and held to 1..200. Rounded and clamped as a double, so
// that no quotient overflows the count; a quotient that is not a number gives 1.
int SubreachCount(double quotient) noexcept {
  const double rounded = std::trunc(quotient >= 0.0 ? quotient + 0.5 : quotient - 0.5);
  if (!(rounded >= 1.0)) return 1;
  if (rounded >= kMaxSubreaches) return kMaxSubreaches;
  return static_cast<int>(rounded);
}

// The intervals between the M profile points and between the NSUB + 1 nodes, counted as the
// scheme's positions take them.
struct IntervalCounts {
  double profile;     // M - 1
  double subreaches;  // NSUB
};

IntervalCounts CountIntervals(ProfilePositions positions, std::size_t points,
                              int subreaches) noexcept {
  const auto count = [positions](std::int64_t intervals) {
    return positions == ProfilePositions::kRatioInSingle
               ? static_cast<double>(static_cast<float>(intervals))
               : static_cast<double>(intervals);
  };
  return {count(static_cast<std::int64_t>(points) - 1), count(subreaches)};
}

// Position (1-based) of offset k of a profile of own intervals on a profile of other
// intervals spanning the same reach: 1 + k other/own, in the scheme's order.
double PositionOn(ProfilePositions positions, double offset, double own,
                  double other) noexcept {
  return positions == ProfilePositions::kRatioInSingle ? 1.0 + offset / own * other
                                                       : 1.0 + offset * other / own;
}

// The value of a profile of points 1..size at position p >= 1: y(i) + f (y(i+1) - y(i)),
// i the whole part of p held to 1..size and f its fraction; the last point itself where i
// reaches it. With wholeTakesPoint a whole position takes y(i) without the term in f.
double ProfileAt(std::span<const double> profile, double position,
                 bool wholeTakesPoint) noexcept {
  const double whole = std::trunc(position);
  const std::size_t i = whole >= static_cast<double>(profile.size())
                            ? profile.size()
                            : std::max<std::size_t>(static_cast<std::size_t>(whole), 1);
  const double fraction = position - whole;
  if ((wholeTakesPoint && fraction == 0.0) || i >= profile.size()) return profile[i - 1];
  return profile[i - 1] + fraction * (profile[i] - profile[i - 1]);
}

}  // namespace

void Fail(int number, const MuskingumCungeScheme& scheme, const MuskingumCungeFlows& flows,
          const MuskingumCungeResults& results, Report& report) noexcept {
  report.error(number);
  const double undefined = undefinedDbl();
  const std::size_t n = static_cast<std::size_t>(std::max(flows.ordinateCount, 0));
  std::fill_n(flows.outflows.begin(), std::min(n, flows.outflows.size()), undefined);
  results.inflowVolume = results.outflowVolume = results.finalStorage = undefined;
  results.status = report.status(scheme.routine);
}

void Refuse(const MuskingumCungeScheme& scheme, const MuskingumCungeFlows& flows,
            const MuskingumCungeResults& results, Report& report) noexcept {
  report.error(message::kCungeInvalid.number);
  const double undefined = undefinedDbl();
  const std::size_t n = static_cast<std::size_t>(std::max(flows.ordinateCount, 0));
  const std::size_t m = static_cast<std::size_t>(std::max(flows.initialFlowCount, 0));
  std::fill_n(flows.outflows.begin(), std::min(n, flows.outflows.size()), undefined);
  std::fill_n(flows.finalFlows.begin(), std::min(m, flows.finalFlows.size()), undefined);
  for (double* result : {&results.computationInterval, &results.subreachLength,
                         &results.peakOutflow, &results.peakTimeMinutes, &results.maxCelerity,
                         &results.initialStorage, &results.finalStorage, &results.inflowVolume,
                         &results.outflowVolume}) {
    *result = undefined;
  }
  results.written = {true, true, true, true, true};
  results.status = report.status(scheme.routine);
}

bool Accept(MuskingumCungeFlows& flows, const MuskingumCungeScheme& scheme,
            const MuskingumCungeResults& results, Report& report) noexcept {
  const std::size_t n = static_cast<std::size_t>(std::max(flows.ordinateCount, 0));
  const std::size_t m = static_cast<std::size_t>(std::max(flows.initialFlowCount, 0));
  const double length = flows.reachLength;
  const double slope = flows.channelSlope;
  const TextField message = results.message;

  // Data the arithmetic cannot serve: no interval, no reach, a level bed, no hydrograph.
  const bool countsInvalid =
      n < 1 || m < 1 || flows.inflows.size() < n || flows.lateralInflows.size() < n ||
      flows.outflows.size() < n || flows.initialFlows.size() < m || flows.finalFlows.size() < m;
  if (flows.intervalMinutes < 1 || !(length > 0.0) || !std::isfinite(length) ||
      !(slope != 0.0) || countsInvalid) {
    AppendIntegerToString(message::kCungeInvalid.text, flows.intervalMinutes,
                          message::kCungeInvalid.detail, message);
    AppendDoubleToString(message.view(), length, ", slope =", message);
    AppendDoubleToString(message.view(), slope, countsInvalid ? ", counts =" : " ", message);
    if (countsInvalid) {
      AppendIntegerToString(message.view(), flows.ordinateCount, ",", message);
      AppendIntegerToString(message.view(), flows.initialFlowCount, " ", message);
    }
    Refuse(scheme, flows, results, report);
    return false;
  }
  flows.inflows = flows.inflows.first(n);
  flows.lateralInflows = flows.lateralInflows.first(n);
  flows.outflows = flows.outflows.first(n);
  flows.initialFlows = flows.initialFlows.first(m);
  flows.finalFlows = flows.finalFlows.first(m);
  return true;
}

ReferenceFlow ReferenceFlowOf(const MuskingumCungeFlows& flows) noexcept {
  const std::span<const double> inflows = flows.inflows;
  const std::span<const double> lateralInflows = flows.lateralInflows;
  const double length = flows.reachLength;
  // Range of the total inflow v = I + qL over the defined ordinates.
  double minimum = kNoMinimum;
  double maximum = 0.0;
  int riseCount = 0;
  if (!isUndefinedDbl(inflows[0]) && !isUndefinedDbl(lateralInflows[0])) {
    minimum = maximum = inflows[0] + lateralInflows[0] * length;
  }
  for (std::size_t i = 1; i < inflows.size(); ++i) {
    if (isUndefinedDbl(inflows[i]) || isUndefinedDbl(lateralInflows[i])) continue;
    const double v = inflows[i] + lateralInflows[i] * length;
    if (v > maximum) {
      maximum = v;
      ++riseCount;
    }
    if (v < minimum) minimum = v;
  }
  // Q0 = min + 0.5 (max - min)
  return {minimum + 0.5 * (maximum - minimum), riseCount};
}

IntervalChoice ChooseInterval(const MuskingumCungeFlows& flows, const MuskingumCungeScheme& scheme,
                              ReferenceFlow reference, const NormalFlow& atReference) noexcept {
  const double length = flows.reachLength;
  const double slope = flows.channelSlope;
  const double celerity = atReference.celerity > 0.0 ? atReference.celerity : kFallbackCelerity;
  const double referenceTopWidth = atReference.topWidth;

  // Computation interval: at most the input interval, the travel time L/ck through the reach,
  // and a twentieth of the time the inflow rises.
  const double inputInterval = flows.intervalMinutes * kSecondsPerMinute;
  const double travelTime = length / celerity;
  const double riseTime = reference.riseCount * inputInterval * kRiseFraction;
  double dt = std::min(inputInterval, travelTime);
  if (riseTime > 0.0) dt = std::min(dt, riseTime);

  // Target subreach length: the smaller of ck dt and 0.5 (ck dt + Q0 / (S ck T)). Where the
  // reference computation gave no top width (a flow of 0 or below, a conduit, a failed
  // search) or the bound has no finite value, ck dt stands alone.
  const double wavelength = celerity * dt;
  const double bound =
      0.5 * (wavelength + reference.flow / TimesCelerityAndWidth(scheme.widthProduct, slope,
                                                                 celerity, referenceTopWidth));
  const double target = referenceTopWidth > 0.0 && std::isfinite(bound)
                            ? std::min(wavelength, bound)
                            : wavelength;
  const int subreaches = flows.subreachesFromInitialFlows != 0
                             ? std::clamp(flows.initialFlowCount - 1, 1, kMaxSubreaches)
                             : SubreachCount(length / target);
  return {dt, subreaches};
}

bool Settle(const MuskingumCungeFlows& flows, const MuskingumCungeScheme& scheme,
            ReferenceFlow reference, const NormalFlow& atReference,
            const MuskingumCungeResults& results, Report& report, const Buffers& buffers,
            Plan& plan) {
  const double length = flows.reachLength;
  const TextField message = results.message;
  const IntervalChoice choice = ChooseInterval(flows, scheme, reference, atReference);
  const double inputInterval = flows.intervalMinutes * kSecondsPerMinute;
  const double dt = choice.dt;
  results.computationInterval = dt;
  results.written.interval = true;
  if (!(dt > 0.0)) {
    // Only an infinite celerity (from infinite flows) leaves no time to route in.
    AppendDoubleToString(message::kCungeInterval.text, dt, " ", message);
    Refuse(scheme, flows, results, report);
    return false;
  }
  const int subreaches = choice.subreaches;
  const double dx = length / subreaches;
  results.subreachLength = dx;
  results.written.subreachLength = true;

  // NCOMP = (N - 1) dt_in / dt + 1, the fraction dropped. Beyond the step limit the step
  // series are storage this call will not obtain; beyond the work limit the interval is
  // too small to route in.
  const double steps =
      (static_cast<double>(flows.inflows.size()) - 1.0) * inputInterval / dt + 1.0;
  if (!(steps <= kMaxComputationSteps)) {
    message.assign(kNoStorageText);
    Fail(kMessageNoStorage, scheme, flows, results, report);
    return false;
  }
  const auto stepCount = static_cast<std::int32_t>(steps);
  if (static_cast<double>(stepCount - 1) * subreaches > kMaxSubreachSteps) {
    AppendDoubleToString(message::kCungeInterval.text, dt, " ", message);
    Refuse(scheme, flows, results, report);
    return false;
  }

  const auto periods = static_cast<std::size_t>(stepCount);
  if (!Fit(buffers.outflows, periods, buffers.budget) ||
      !Fit(buffers.inflows, periods, buffers.budget) ||
      !Fit(buffers.lateral, periods, buffers.budget)) {
    message.assign(kNoStorageText);
    Fail(kMessageNoStorage, scheme, flows, results, report);
    return false;
  }
  plan.outflows = buffers.outflows;
  plan.inflows = buffers.inflows;
  plan.lateral = buffers.lateral;
  ChangeTimeInterval(inputInterval, dt, flows.ordinateCount, stepCount, flows.inflows,
                     plan.inflows);
  ChangeTimeInterval(inputInterval, dt, flows.ordinateCount, stepCount, flows.lateralInflows,
                     plan.lateral);
  plan.inputInterval = inputInterval;
  plan.dt = dt;
  plan.dx = dx;
  plan.subreaches = subreaches;
  plan.stepCount = stepCount;
  return true;
}

void SplitIntervals(std::span<const double> series, std::int32_t k,
                    std::span<double> steps) noexcept {
  const double parts = static_cast<double>(k);
  const auto perInterval = static_cast<std::size_t>(k);
  for (std::size_t i = 0; i + 1 < series.size(); ++i) {
    const double y1 = series[i];
    const double y2 = series[i + 1];
    const bool undefined = isUndefinedDbl(y1) || isUndefinedDbl(y2);
    steps[i * perInterval] = y1;
    for (std::size_t r = 1; r < perInterval; ++r) {
      // y = y(i) + (y(i+1) - y(i)) * r / k
      steps[i * perInterval + r] =
          undefined ? undefinedDbl() : y1 + (y2 - y1) * static_cast<double>(r) / parts;
    }
  }
  if (!series.empty()) steps[(series.size() - 1) * perInterval] = series.back();
}

void ProfileOntoNodes(const MuskingumCungeScheme& scheme, std::span<const double> initialFlows,
                      int subreaches, std::span<double> nodeFlows) noexcept {
  // Node j at profile position 1 + (j - 1)(M - 1)/NSUB.
  const ProfilePositions positions = scheme.profilePositions;
  const IntervalCounts intervals = CountIntervals(positions, initialFlows.size(), subreaches);
  for (int j = 1; j <= subreaches; ++j) {
    const double position = PositionOn(positions, static_cast<double>(j - 1),
                                       intervals.subreaches, intervals.profile);
    nodeFlows[static_cast<std::size_t>(j - 1)] = ProfileAt(initialFlows, position, true);
  }
  nodeFlows[static_cast<std::size_t>(subreaches)] = initialFlows.back();
}

void NodesOntoProfile(const MuskingumCungeScheme& scheme, std::span<const double> nodeFlows,
                      int subreaches, std::span<double> finalFlows) noexcept {
  // Point k at node position 1 + (k - 1) NSUB/(M - 1).
  const ProfilePositions positions = scheme.profilePositions;
  const std::size_t m = finalFlows.size();
  const IntervalCounts intervals = CountIntervals(positions, m, subreaches);
  const bool wholeTakesNode = positions == ProfilePositions::kProductInDouble;
  finalFlows[0] = nodeFlows[0];
  for (std::size_t k = 2; k < m; ++k) {
    const double position = PositionOn(positions, static_cast<double>(k - 1), intervals.profile,
                                       intervals.subreaches);
    finalFlows[k - 1] = ProfileAt(nodeFlows, position, wholeTakesNode);
  }
  finalFlows[m - 1] = nodeFlows[static_cast<std::size_t>(subreaches)];
}

}  // namespace tovalin::muskingum_cunge
