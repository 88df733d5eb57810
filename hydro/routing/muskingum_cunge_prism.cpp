// Variable-parameter Muskingum-Cunge routing (Cunge 1969; Ponce & Yevjevich 1978; e.g. Ponce,
// Engineering Hydrology, 9.4) through a prismatic or circular reach: for each subreach and
// period O2 = c1 I1 + c2 I2 + c3 O1 + c4 q dx, the coefficients from the Courant number
// Cr = ck dt/dx and the cell Reynolds number Re = Q/(S T ck dx), with the celerity ck and top
// width T of normal flow at a reference flow Q iterated until the outflow settles. Flows m3/s,
// lengths m, times s (minutes at the interface), lateral inflow q in m3/s per m.
#include "hydro/routing/muskingum_cunge_prism.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/hydraulics/time_interval.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr double kSecondsPerMinute = 60.0;
// The double nearest to 1/60: seconds to minutes for the time of the peak.
constexpr double kMinutesPerSecond = 0.016666666666666666;
// Celerity taken when the reference flow gives none, m/s: 0.15 in single precision.
constexpr double kFallbackCelerity = 0.15000000596046448;
// Reference flow at or below which no depth is computed, m3/s, and the relative tolerance
// of the outflow: 0.01 in single precision.
constexpr double kSmallFlow = 0.009999999776482582;
constexpr double kOutflowTolerance = 0.009999999776482582;
// The computation interval is at most this fraction of the time the inflow takes to rise.
constexpr double kRiseFraction = 0.05;
// Inflow minimum before any defined ordinate, m3/s.
constexpr double kNoMinimum = 1.0e10;
constexpr double kOneThird = 0.3333333333333333;
constexpr double kOneQuarter = 0.25;
constexpr int kMaxPasses = 20;
constexpr int kMaxSubreaches = 200;
// Starting depths of the trapezoid search, m: the reference flow and the nodes, and the
// first point of the initial profile.
constexpr double kReferenceStartDepth = 2.0;
constexpr double kNodeStartDepth = 2.0;
constexpr double kProfileStartDepth = 1.0;

// Largest number of computation steps (NCOMP) one call obtains storage for: the three step
// series then take 768 MiB. Beyond it the storage counts as not obtainable.
constexpr double kMaxComputationSteps = 33554432.0;  // 2^25
// Largest number of subreach-steps (NCOMP - 1) x NSUB one call routes: about a minute at a
// few million subreach-steps per second even when every one takes 20 passes.
constexpr double kMaxSubreachSteps = 67108864.0;  // 2^26

constexpr std::string_view kCircleShape = "CIRCLE";
constexpr int kMessageNoConvergence = 1;
constexpr int kMessageInvalid = 12;
constexpr std::string_view kIntervalLabel = "Invalid Muskingum-Cunge computation interval:";
constexpr std::string_view kNoConvergenceText =
    "Muskingum-Cunge routing solution failed to converge for one or more periods.";

// Normal-flow hydraulics at one flow: depth (m), area (m2), top width (m), celerity (m/s).
struct Hydraulics {
  double depth = 0.0;
  double area = 0.0;
  double topWidth = 0.0;
  double celerity = 0.0;
};

// The section of the reach and the status and message its depth computations report into.
struct Section {
  bool circle;
  double channelSlope;
  double manningN;
  double bottomWidth;
  double sideSlope;
  std::int32_t& status;
  TextField message;

  // Normal flow at flow, the trapezoid searching from startDepth (the circle has its own start).
  Hydraulics at(double flow, double startDepth) const noexcept {
    Hydraulics h;
    if (circle) {
      ChannelDepthCircle(channelSlope, manningN, bottomWidth, flow, h.depth, h.area, h.topWidth,
                         h.celerity, status, message);
    } else {
      ChannelDepthPrism(channelSlope, manningN, bottomWidth, sideSlope, flow, startDepth, h.depth,
                        h.area, h.topWidth, h.celerity, status, message);
    }
    return h;
  }
};

bool Defined(double value) noexcept { return !isUndefinedDbl(value); }

// Minimum and maximum of the defined total inflows and the number of new running maxima.
struct InflowRange {
  double minimum;
  double maximum;
  int riseCount;
};

InflowRange ScanInflows(std::span<const double> inflows, std::span<const double> lateralInflows,
                        double reachLength) noexcept {
  InflowRange range{kNoMinimum, 0.0, 0};
  if (Defined(inflows[0]) && Defined(lateralInflows[0])) {
    range.minimum = range.maximum = inflows[0] + lateralInflows[0] * reachLength;
  }
  for (std::size_t i = 1; i < inflows.size(); ++i) {
    if (!Defined(inflows[i]) || !Defined(lateralInflows[i])) continue;
    const double total = inflows[i] + lateralInflows[i] * reachLength;
    if (total > range.maximum) {
      ++range.riseCount;
      range.maximum = total;
    }
    if (total < range.minimum) range.minimum = total;
  }
  return range;
}

// Subreach count: the reach length over the target length, rounded half away from zero and
// held to 1..200. Rounded and clamped as a double, so that no quotient overflows the count; a
// quotient that is not a number gives 1.
int SubreachCount(double quotient) noexcept {
  const double rounded = std::trunc(quotient >= 0.0 ? quotient + 0.5 : quotient - 0.5);
  if (!(rounded >= 1.0)) return 1;
  if (rounded >= kMaxSubreaches) return kMaxSubreaches;
  return static_cast<int>(rounded);
}

// The value of a profile of points 1..size at the position p (1 <= p < size, or p = 1 for a
// single point): straight-line interpolation between the points at and after p, the point
// itself where p is whole.
double ProfileAt(std::span<const double> profile, double position) noexcept {
  const double whole = std::trunc(position);
  const std::size_t k = std::clamp<std::size_t>(static_cast<std::size_t>(whole), 1, profile.size());
  const double fraction = position - whole;
  if (fraction == 0.0 || k >= profile.size()) return profile[k - 1];
  return profile[k - 1] + fraction * (profile[k] - profile[k - 1]);
}

// Routing coefficients of one subreach: c1 for I1, c2 for I2, c3 for O1, c4 for q dx.
struct Coefficients {
  double c1, c2, c3, c4;
};

Coefficients RoutingCoefficients(double courant, double reynolds) noexcept {
  // den = 1 + Cr + Re
  const double den = 1.0 + courant + reynolds;
  Coefficients c{(1.0 + courant - reynolds) / den, (courant + reynolds - 1.0) / den,
                 (1.0 - courant + reynolds) / den, 2.0 * courant / den};
  // A negative weight of the new inflow is shared out between c1 and c3; c1 + c2 + c3 = 1.
  if (c.c2 < 0.0) {
    c.c1 = c.c1 + c.c2 * 0.5;
    c.c3 = c.c3 + c.c2 * 0.5;
    c.c2 = 0.0;
  }
  return c;
}

}  // namespace

bool IsCircleShape(std::string_view sectionShape) noexcept {
  return sectionShape.starts_with(kCircleShape) &&
         sectionShape.find_first_not_of(kBlank, kCircleShape.size()) == std::string_view::npos;
}

void RouteMuskingumCungePrism(
    std::int32_t intervalMinutes, double reachLength, double channelSlope, double manningN,
    std::string_view sectionShape, double bottomWidth, double sideSlope,
    std::int32_t initialFlowCount, std::int32_t subreachesFromInitialFlows,
    std::span<const double> initialFlows, std::span<double> finalFlows,
    std::int32_t ordinateCount, std::span<const double> inflows,
    std::span<const double> lateralInflows, std::span<double> outflows,
    double& computationInterval, double& subreachLength, double& peakOutflow,
    double& peakTimeMinutes, double& maxCelerity, double& initialStorage,
    double& finalStorage, double& inflowVolume, double& outflowVolume, std::int32_t& status,
    TextField message) noexcept {
  Report report;
  const double length = reachLength;
  const double slope = channelSlope;
  const std::size_t n = static_cast<std::size_t>(std::max(ordinateCount, 0));
  const std::size_t m = static_cast<std::size_t>(std::max(initialFlowCount, 0));

  // The error exit: no hydrograph, no volumes, no final storage.
  auto fail = [&](int number) {
    report.error(number);
    const double undefined = undefinedDbl();
    std::fill_n(outflows.begin(), std::min(n, outflows.size()), undefined);
    inflowVolume = outflowVolume = finalStorage = undefined;
    status = report.status(routine::kRouteMuskingumCungePrism);
  };

  // Data the arithmetic below cannot serve: no interval, no reach, a level bed, no hydrograph.
  const bool countsInvalid = n < 1 || m < 1 || inflows.size() < n ||
                             lateralInflows.size() < n || outflows.size() < n ||
                             initialFlows.size() < m || finalFlows.size() < m;
  if (intervalMinutes < 1 || !(length > 0.0) || !std::isfinite(length) || !(slope != 0.0) ||
      countsInvalid) {
    AppendIntegerToString("Invalid Muskingum-Cunge parameters: interval =", intervalMinutes,
                          ", length =", message);
    AppendDoubleToString(message.view(), length, ", slope =", message);
    AppendDoubleToString(message.view(), slope, countsInvalid ? ", counts =" : " ", message);
    if (countsInvalid) {
      AppendIntegerToString(message.view(), ordinateCount, ",", message);
      AppendIntegerToString(message.view(), initialFlowCount, " ", message);
    }
    fail(kMessageInvalid);
    return;
  }
  inflows = inflows.first(n);
  lateralInflows = lateralInflows.first(n);
  initialFlows = initialFlows.first(m);

  const Section section{IsCircleShape(sectionShape), slope, manningN, bottomWidth, sideSlope,
                        status, message};
  // The results of the latest depth computation of this call.
  Hydraulics latest;

  // Reference flow halfway between the smallest and largest total inflow, and its celerity.
  const InflowRange range = ScanInflows(inflows, lateralInflows, length);
  // Q0 = Qmin + (Qmax - Qmin) 0.5
  const double referenceFlow = range.minimum + (range.maximum - range.minimum) * 0.5;
  latest = section.at(referenceFlow, kReferenceStartDepth);
  const double celerity = latest.celerity > 0.0 ? latest.celerity : kFallbackCelerity;
  const double referenceTopWidth = latest.topWidth;

  // Computation interval: at most the input interval, the travel time L/ck through the reach,
  // and a twentieth of the time the inflow rises.
  const double inputInterval = intervalMinutes * kSecondsPerMinute;
  const double travelTime = length / celerity;
  const double riseTime = range.riseCount * inputInterval * kRiseFraction;
  double dt = std::min(travelTime, inputInterval);
  if (riseTime > 0.0) dt = std::min(dt, riseTime);
  computationInterval = dt;
  if (!(dt > 0.0)) {
    // Only an infinite celerity (from infinite flows) leaves no time to route in.
    AppendDoubleToString(kIntervalLabel, dt, " ", message);
    fail(kMessageInvalid);
    return;
  }

  // Target subreach length: the smaller of ck dt and 0.5 (ck dt + Q0 / (S T ck)). Where the
  // reference search gave no top width (a conduit at a flow of 0 or below, a failed search)
  // or the bound has no finite value, ck dt stands alone.
  const double wavelength = celerity * dt;
  const double bound = 0.5 * (wavelength + referenceFlow / (slope * referenceTopWidth * celerity));
  const double target =
      referenceTopWidth > 0.0 && std::isfinite(bound) ? std::min(wavelength, bound) : wavelength;
  const int subreaches = subreachesFromInitialFlows != 0
                             ? std::clamp(initialFlowCount - 1, 1, kMaxSubreaches)
                             : SubreachCount(length / target);
  const double dx = length / subreaches;
  subreachLength = dx;

  // NCOMP = (N - 1) dt_in / dt + 1, the fraction dropped. Beyond the step limit the step
  // series are storage this call will not obtain; beyond the work limit the interval is too
  // small to route in.
  const double steps = (static_cast<double>(n) - 1.0) * inputInterval / dt + 1.0;
  if (!(steps <= kMaxComputationSteps)) {
    message.assign(kNoStorageText);
    fail(kMessageNoStorage);
    return;
  }
  const auto stepCount = static_cast<std::int32_t>(steps);
  if (static_cast<double>(stepCount - 1) * subreaches > kMaxSubreachSteps) {
    AppendDoubleToString(kIntervalLabel, dt, " ", message);
    fail(kMessageInvalid);
    return;
  }
  const auto periods = static_cast<std::size_t>(stepCount);

  std::vector<double> outflowWork;
  std::vector<double> inflowWork;
  std::vector<double> lateralWork;
  try {
    outflowWork.resize(periods);
    inflowWork.resize(periods);
    lateralWork.resize(periods);
  } catch (const std::bad_alloc&) {
    message.assign(kNoStorageText);
    fail(kMessageNoStorage);
    return;
  }
  ChangeTimeInterval(inputInterval, dt, ordinateCount, stepCount, inflows, inflowWork);
  ChangeTimeInterval(inputInterval, dt, ordinateCount, stepCount, lateralInflows, lateralWork);

  // Storage at the start: trapezoidal sum of the areas at the initial flows, each trapezoid
  // search starting from the depth found at the point before.
  double areaSum = 0.0;
  double startDepth = kProfileStartDepth;
  for (std::size_t k = 0; k < m; ++k) {
    latest = section.at(initialFlows[k], startDepth);
    startDepth = latest.depth;
    const double weight = (k == 0 || k == m - 1) ? 0.5 : 1.0;
    areaSum = areaSum + weight * latest.area;
  }
  initialStorage = m > 1 ? length / static_cast<double>(m - 1) * areaSum : length * latest.area;

  outflowWork[0] = initialFlows[m - 1];
  double outflowSum = 0.5 * outflowWork[0];
  double inflowSum = 0.5 * (lateralWork[0] * length + inflowWork[0]);
  double endAreaSum = 0.0;

  std::vector<double> nodeFlows;
  std::vector<double> nodeDepths;
  const auto nodes = static_cast<std::size_t>(subreaches) + 1;
  try {
    nodeFlows.resize(nodes);
    nodeDepths.assign(nodes, kNodeStartDepth);
  } catch (const std::bad_alloc&) {
    message.assign(kNoStorageText);
    fail(kMessageNoStorage);
    return;
  }
  // The initial profile onto the nodes: node j at profile position 1 + (j - 1)(M - 1)/NSUB.
  const double profileIntervals = static_cast<double>(m - 1);
  for (int j = 1; j <= subreaches; ++j) {
    nodeFlows[j - 1] = ProfileAt(initialFlows, 1.0 + (j - 1) * profileIntervals / subreaches);
  }
  nodeFlows[nodes - 1] = initialFlows[m - 1];

  peakOutflow = 0.0;
  maxCelerity = 0.0;
  const double undefined = undefinedDbl();

  for (std::size_t t = 1; t < periods; ++t) {
    const bool lastPeriod = t == periods - 1;
    const double lateral = lateralWork[t];
    // I2: the flow entering the subreach in hand at this period.
    double inflow2 = inflowWork[t];
    for (std::size_t j = 0; j + 1 < nodes; ++j) {
      const double inflow1 = nodeFlows[j];
      const double outflow1 = nodeFlows[j + 1];
      if (!Defined(inflow2) || !Defined(outflow1) || !Defined(inflow1) || !Defined(lateral)) {
        // Undefined from here down the reach, and at these nodes for the rest of the run.
        nodeFlows[j] = inflow2;
        outflowWork[t] = undefined;
        inflow2 = undefined;
        continue;
      }
      // Qr = (I1 + O1 + I2)/3 + q dx
      double referenceQ = (inflow1 + outflow1 + inflow2) * kOneThird + lateral * dx;
      double previousQ = referenceQ;
      double outflow2 = 0.0;
      for (int pass = 1;;) {
        double courant = 1.0;
        double reynolds = 1.0;
        if (referenceQ > kSmallFlow) {
          latest = section.at(referenceQ, nodeDepths[j + 1]);
          nodeDepths[j + 1] = latest.depth;
          // Cr = dt/dx ck;  Re = Qr / (S dx T ck)
          courant = dt / dx * latest.celerity;
          reynolds = referenceQ / (slope * dx * latest.topWidth * latest.celerity);
        }
        const Coefficients c = RoutingCoefficients(courant, reynolds);
        // O2 = c4 q dx + c1 I1 + c3 O1 + c2 I2, not below 0
        outflow2 = c.c4 * lateral * dx + c.c1 * inflow1 + c.c3 * outflow1 + c.c2 * inflow2;
        if (outflow2 < 0.0) outflow2 = 0.0;
        outflowWork[t] = outflow2;
        if (std::fabs(previousQ - outflow2) <= kOutflowTolerance * previousQ) break;
        ++pass;
        // Qr = (I1 + O2 + O1 + I2)/4, the lateral inflow not added again
        referenceQ = (inflow1 + outflow2 + outflow1 + inflow2) * kOneQuarter;
        previousQ = outflow2;
        if (pass > kMaxPasses) {
          report.warning(kMessageNoConvergence);
          message.assign(kNoConvergenceText);
          break;
        }
      }
      if (latest.celerity > maxCelerity) maxCelerity = latest.celerity;
      nodeFlows[j] = inflow2;
      inflow2 = outflow2;
      if (lastPeriod) {
        latest = section.at(outflow2, nodeDepths[j + 1]);
        const double weight = j + 2 == nodes ? 0.5 : 1.0;
        endAreaSum = endAreaSum + weight * latest.area;
      }
    }
    nodeFlows[nodes - 1] = outflowWork[t];
    if (lastPeriod && Defined(nodeFlows[0])) {
      // The upstream node at half weight, as in the storage at the start.
      latest = section.at(nodeFlows[0], nodeDepths[0]);
      endAreaSum = endAreaSum + 0.5 * latest.area;
    }

    const double outflow = outflowWork[t];
    if (Defined(outflow)) {
      outflowSum = outflowSum + (lastPeriod ? 0.5 * outflow : outflow);
      if (outflow > peakOutflow) {
        peakOutflow = outflow;
        peakTimeMinutes = static_cast<double>(t) * dt * kMinutesPerSecond;
      }
    }
    if (Defined(inflowWork[t]) && Defined(lateral)) {
      const double total = lateral * length + inflowWork[t];
      inflowSum = inflowSum + (lastPeriod ? 0.5 * total : total);
    }
  }

  inflowVolume = dt * inflowSum;
  outflowVolume = dt * outflowSum;
  finalStorage = dx * endAreaSum;
  ChangeTimeInterval(dt, inputInterval, stepCount, ordinateCount, outflowWork, outflows);

  // The nodes back onto the profile points: point k at node position 1 + (k - 1) NSUB/(M - 1).
  finalFlows[0] = nodeFlows[0];
  for (std::size_t k = 1; k + 1 < m; ++k) {
    finalFlows[k] = ProfileAt(nodeFlows, 1.0 + static_cast<double>(k) * subreaches / profileIntervals);
  }
  finalFlows[m - 1] = nodeFlows[nodes - 1];
  status = report.status(routine::kRouteMuskingumCungePrism);
}

}  // namespace tovalin
