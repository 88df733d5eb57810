// Variable-parameter Muskingum-Cunge routing (Cunge 1969; Ponce & Yevjevich 1978; e.g. Ponce,
// Engineering Hydrology, 9.4) through a reach with an eight-point natural section: for each
// subreach and step O2 = c1 I1 + c2 I2 + c3 O1 + c4 q dx, the coefficients from the Courant
// number Cr = ck dt/dx and the cell Reynolds number Re = Q/(S T ck dx), with the celerity ck
// and top width T of normal flow at a reference flow Q iterated until the outflow settles.
// Flows m3/s, lengths m, times s (minutes at the interface), lateral inflow q in m3/s per m.
#include "hydro/routing/muskingum_cunge_8point.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "hydro/hydraulics/section_8point.h"
#include "hydro/hydraulics/time_interval.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr double kSecondsPerMinute = 60.0;
// The double nearest to 1/60: seconds to minutes for the time of the peak.
constexpr double kMinutesPerSecond = 0.016666666666666666;
// Celerity (m/s) used when the reference flow gives none: 0.15 in single precision.
constexpr double kFallbackCelerity = 0.15000000596046448;
// Reference flow (m3/s) at or below which no depth is sought, 0.01 in single precision.
constexpr double kSmallFlow = 0.009999999776482582;
// Relative change of a subreach's outflow that ends its passes, 0.01 in single precision.
constexpr double kOutflowTolerance = 0.009999999776482582;
// Fraction of the inflow's rise time that bounds the computation interval.
constexpr double kRiseFraction = 0.05;
// Starting minimum (m3/s) of the inflow scan when the first ordinate is undefined.
constexpr double kNoMinimum = 1.0e10;
constexpr double kOneThird = 0.3333333333333333;
constexpr double kOneQuarter = 0.25;
constexpr int kMaxPasses = 20;
constexpr int kMaxSubreaches = 200;
// Starting depths (m): of the reference and first profile searches, and of every node.
constexpr double kReferenceStartDepth = 2.0;
constexpr double kNodeStartDepth = 1.0;

constexpr int kMessageNoConvergence = 1;
constexpr int kMessageInvalid = 12;
constexpr std::string_view kNoConvergenceText =
    "Muskingum-Cunge routing solution failed to converge for one or more periods.";
constexpr std::string_view kIntervalLabel = "Invalid Muskingum-Cunge computation interval:";

// Depth, area (m2), top width (m) and celerity (m/s) of one depth search.
struct Hydraulics {
  double depth = 0.0;
  double area = 0.0;
  double topWidth = 0.0;
  double celerity = 0.0;
};

// The reach's section and the call's message: depth searches whose status is not examined.
struct Section {
  double slope;
  std::span<const double, 8> stations;
  std::span<const double, 8> elevations;
  std::span<const double, 3> manningN;
  TextField message;

  Hydraulics at(double flow, double startDepth) const noexcept {
    Hydraulics h;
    std::int32_t ignored = 0;
    ChannelDepth8Point(slope, stations, elevations, manningN, flow, startDepth, h.depth, h.area,
                       h.topWidth, h.celerity, ignored, message);
    return h;
  }
};

// Range of the total inflow v = I + qL, and the number of ordinates that set a new maximum.
struct InflowRange {
  double minimum;
  double maximum;
  int riseCount;
};

InflowRange ScanInflows(std::span<const double> inflows, std::span<const double> lateralInflows,
                        double length) noexcept {
  InflowRange r{kNoMinimum, 0.0, 0};
  if (!isUndefinedDbl(inflows[0]) && !isUndefinedDbl(lateralInflows[0])) {
    r.minimum = r.maximum = inflows[0] + lateralInflows[0] * length;
  }
  for (std::size_t i = 1; i < inflows.size(); ++i) {
    if (isUndefinedDbl(inflows[i]) || isUndefinedDbl(lateralInflows[i])) continue;
    const double v = inflows[i] + lateralInflows[i] * length;
    if (v > r.maximum) {
      r.maximum = v;
      ++r.riseCount;
    }
    if (v < r.minimum) r.minimum = v;
  }
  return r;
}

// L / dx0 rounded half away from zero and held to 1..200; a quotient that is not a number
// gives 1.
int SubreachCount(double quotient) noexcept {
  const double rounded = std::trunc(quotient >= 0.0 ? quotient + 0.5 : quotient - 0.5);
  if (!(rounded >= 1.0)) return 1;
  if (rounded >= kMaxSubreaches) return kMaxSubreaches;
  return static_cast<int>(rounded);
}

// A count as it enters a profile position: through single precision.
double ThroughSingle(std::int64_t count) noexcept {
  return static_cast<double>(static_cast<float>(count));
}

// The point (1-based) at the whole part of a position, held inside points 1..size.
std::size_t PointAt(std::size_t size, double whole) noexcept {
  return whole >= static_cast<double>(size)
             ? size
             : std::max<std::size_t>(static_cast<std::size_t>(whole), 1);
}

// The value of points 1..size at the whole part i and fraction f of a position:
// y(i) + f (y(i+1) - y(i)); the last point itself where i reaches it.
double Between(std::span<const double> values, double whole, double fraction) noexcept {
  const std::size_t i = PointAt(values.size(), whole);
  if (i >= values.size()) return values[i - 1];
  return values[i - 1] + fraction * (values[i] - values[i - 1]);
}

struct Coefficients {
  double c1, c2, c3, c4;  // weights of I1, I2, O1 and the lateral inflow q dx
};

// c1 = (1 + Cr - Re)/D, c2 = (Cr + Re - 1)/D, c3 = (1 - Cr + Re)/D, c4 = 2 Cr/D with
// D = 1 + Cr + Re; a negative c2 is shared out half to c1 and half to c3.
Coefficients MuskingumCungeCoefficients(double cr, double re) noexcept {
  const double den = 1.0 + cr + re;
  Coefficients c{(1.0 + cr - re) / den, (cr + re - 1.0) / den, (1.0 - cr + re) / den,
                 2.0 * cr / den};
  if (c.c2 < 0.0) {
    c.c1 = c.c1 + 0.5 * c.c2;
    c.c3 = c.c3 + 0.5 * c.c2;
    c.c2 = 0.0;
  }
  return c;
}

}  // namespace

void RouteMuskingumCunge8Point(
    std::int32_t intervalMinutes, double reachLength, double channelSlope,
    std::span<const double, 8> stations, std::span<const double, 8> elevations,
    std::span<const double, 3> manningN, std::int32_t initialFlowCount,
    std::int32_t subreachesFromInitialFlows, std::span<const double> initialFlows,
    std::span<double> finalFlows, std::int32_t ordinateCount, std::span<const double> inflows,
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
    status = report.status(routine::kRouteMuskingumCunge8Point);
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
  outflows = outflows.first(n);
  initialFlows = initialFlows.first(m);
  finalFlows = finalFlows.first(m);

  const Section section{slope, stations, elevations, manningN, message};
  // The results of the latest depth search of this call.
  Hydraulics latest;

  // Reference flow halfway between the smallest and largest total inflow, and its celerity.
  const InflowRange range = ScanInflows(inflows, lateralInflows, length);
  // Q0 = min + 0.5 (max - min)
  const double referenceFlow = range.minimum + 0.5 * (range.maximum - range.minimum);
  latest = section.at(referenceFlow, kReferenceStartDepth);
  const double celerity = latest.celerity > 0.0 ? latest.celerity : kFallbackCelerity;
  const double referenceTopWidth = latest.topWidth;

  // Computation interval: at most the input interval, the travel time L/ck through the reach,
  // and a twentieth of the time the inflow rises.
  const double inputInterval = intervalMinutes * kSecondsPerMinute;
  const double travelTime = length / celerity;
  const double riseTime = range.riseCount * inputInterval * kRiseFraction;
  double dt = std::min(inputInterval, travelTime);
  if (riseTime > 0.0) dt = std::min(dt, riseTime);
  computationInterval = dt;
  if (!(dt > 0.0)) {
    // Only an infinite celerity (from infinite flows) leaves no time to route in.
    AppendDoubleToString(kIntervalLabel, dt, " ", message);
    fail(kMessageInvalid);
    return;
  }

  // Target subreach length: the smaller of ck dt and 0.5 (ck dt + Q0 / (S ck T)). Where the
  // reference search gave no top width (a flow of 0 or below, or a failed search) or the
  // bound has no finite value, ck dt stands alone.
  const double wavelength = celerity * dt;
  const double bound =
      0.5 * (celerity * dt + referenceFlow / (slope * celerity * referenceTopWidth));
  const double target = referenceTopWidth > 0.0 && std::isfinite(bound)
                            ? std::min(wavelength, bound)
                            : wavelength;
  const int subreaches = subreachesFromInitialFlows != 0
                             ? std::clamp(initialFlowCount - 1, 1, kMaxSubreaches)
                             : SubreachCount(length / target);
  const double dx = length / subreaches;
  subreachLength = dx;

  // NCOMP = (N - 1) dt_in / dt + 1, the fraction dropped. Beyond the step limit the step
  // series are storage this call will not obtain; beyond the work limit the interval is
  // too small to route in.
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

  // Storage at the start: trapezoidal sum of the areas at the initial flows, each search
  // starting from the depth found at the point before.
  double areaSum = 0.0;
  double startDepth = kReferenceStartDepth;
  for (std::size_t k = 0; k < m; ++k) {
    latest = section.at(initialFlows[k], startDepth);
    startDepth = latest.depth;
    const double weight = (k == 0 || k == m - 1) ? 0.5 : 1.0;
    areaSum = areaSum + weight * latest.area;
  }
  // V0 = L/(M - 1) * sum, or L A for a single point (twice its half-weighted area).
  initialStorage = m > 1 ? length / static_cast<double>(m - 1) * areaSum
                         : length * (2.0 * areaSum);

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

  // The initial profile onto the nodes: node j at profile position 1 + (j - 1)/NSUB (M - 1),
  // a whole position taking its point unchanged.
  const double profileIntervals = ThroughSingle(initialFlowCount - 1);
  const double subreachCount = ThroughSingle(subreaches);
  for (int j = 1; j <= subreaches; ++j) {
    const double position = 1.0 + static_cast<double>(j - 1) / subreachCount * profileIntervals;
    const double whole = std::trunc(position);
    const double fraction = position - whole;
    nodeFlows[static_cast<std::size_t>(j - 1)] =
        fraction == 0.0 ? initialFlows[PointAt(m, whole) - 1]
                        : Between(initialFlows, whole, fraction);
  }
  nodeFlows[nodes - 1] = initialFlows[m - 1];
  peakOutflow = 0.0;
  maxCelerity = 0.0;

  const double undefined = undefinedDbl();
  // Routing sweep: each step from upstream to downstream, each subreach taking as inflow the
  // outflow just computed above it.
  for (std::size_t t = 1; t < periods; ++t) {
    const bool lastStep = t + 1 == periods;
    const double lateral = lateralWork[t];
    double inflow2 = inflowWork[t];
    for (std::size_t j = 1; j < nodes; ++j) {
      const double inflow1 = nodeFlows[j - 1];
      const double outflow1 = nodeFlows[j];
      if (isUndefinedDbl(inflow2) || isUndefinedDbl(outflow1) || isUndefinedDbl(inflow1) ||
          isUndefinedDbl(lateral)) {
        // An undefined value passes on to every subreach below.
        nodeFlows[j - 1] = inflow2;
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
          latest = section.at(referenceQ, nodeDepths[j]);
          nodeDepths[j] = latest.depth;
          // Cr = dt/dx ck;  Re = Q / (dx S ck T)
          courant = dt / dx * latest.celerity;
          reynolds = referenceQ / (dx * slope * latest.celerity * latest.topWidth);
        }
        const Coefficients c = MuskingumCungeCoefficients(courant, reynolds);
        // O2 = c4 q dx + c1 I1 + c3 O1 + c2 I2, never below 0
        outflow2 = c.c4 * lateral * dx + c.c1 * inflow1 + c.c3 * outflow1 + c.c2 * inflow2;
        if (outflow2 < 0.0) outflow2 = 0.0;
        outflowWork[t] = outflow2;
        if (std::abs(previousQ - outflow2) <= kOutflowTolerance * previousQ) break;
        ++pass;
        // Qr = (I1 + O2 + O1 + I2)/4
        referenceQ = (inflow1 + outflow2 + outflow1 + inflow2) * kOneQuarter;
        previousQ = outflow2;
        if (pass > kMaxPasses) {
          report.warning(kMessageNoConvergence);
          message.assign(kNoConvergenceText);
          break;
        }
      }
      if (latest.celerity > maxCelerity) maxCelerity = latest.celerity;
      nodeFlows[j - 1] = inflow2;
      inflow2 = outflow2;
      if (lastStep) {
        // Storage at the end: node areas of the last step, the downstream end at half weight.
        const Hydraulics end = section.at(outflow2, nodeDepths[j]);
        latest = end;
        endAreaSum = endAreaSum + (j + 1 == nodes ? 0.5 : 1.0) * end.area;
      }
    }
    if (lastStep) {
      // The upstream end at half weight, as in the storage at the start.
      latest = section.at(nodeFlows[0], nodeDepths[0]);
      endAreaSum = endAreaSum + 0.5 * latest.area;
    }
    const double outflow = outflowWork[t];
    nodeFlows[nodes - 1] = outflow;
    const double weight = lastStep ? 0.5 : 1.0;
    if (!isUndefinedDbl(outflow)) {
      outflowSum = outflowSum + weight * outflow;
      if (outflow > peakOutflow) {
        peakOutflow = outflow;
        // Time of the peak after the first ordinate, minutes.
        peakTimeMinutes = static_cast<double>(t) * dt * kMinutesPerSecond;
      }
    }
    if (!isUndefinedDbl(inflowWork[t]) && !isUndefinedDbl(lateralWork[t])) {
      inflowSum = inflowSum + weight * (lateralWork[t] * length + inflowWork[t]);
    }
  }

  inflowVolume = dt * inflowSum;
  outflowVolume = dt * outflowSum;
  finalStorage = dx * endAreaSum;
  ChangeTimeInterval(dt, inputInterval, stepCount, ordinateCount, outflowWork, outflows);

  // The node flows back onto the M profile points: point k at node position
  // 1 + (k - 1)/(M - 1) NSUB.
  finalFlows[0] = nodeFlows[0];
  for (std::size_t k = 2; k < m; ++k) {
    const double position =
        1.0 + static_cast<double>(k - 1) / profileIntervals * subreachCount;
    const double whole = std::trunc(position);
    finalFlows[k - 1] = Between(nodeFlows, whole, position - whole);
  }
  finalFlows[m - 1] = nodeFlows[nodes - 1];
  status = report.status(routine::kRouteMuskingumCunge8Point);
}

}  // namespace tovalin
