// Variable-parameter Muskingum-Cunge routing (Cunge 1969; Ponce & Yevjevich 1978; e.g. Ponce,
// Engineering Hydrology, 9.4) through a reach of one uniform section, whatever its shape: for
// each subreach and step O2 = c1 I1 + c2 I2 + c3 O1 + c4 q dx, the coefficients from the
// Courant number Cr = ck dt/dx and the cell Reynolds number Re = Q/(S T ck dx), with the
// celerity ck and top width T of normal flow at a reference flow Q iterated until the outflow
// settles. Internal: the routines supply their section's normal flow and a few choices.
// Flows m3/s, lengths m, times s (minutes at the interface), lateral inflow q in m3/s per m.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "hydro/hydraulics/time_interval.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/messages/text_field.h"
#include "hydro/routing/api_support.h"
#include "hydro/routing/fault_seam.h"

namespace tovalin {

// Largest number of computation steps (NCOMP) one call will obtain storage for: the three
// step series then take 768 MiB.
inline constexpr double kMaxComputationSteps = 33554432.0;  // 2^25
// Largest number of subreach-steps (NCOMP - 1) x NSUB one call will route: room for decades of
// hourly ordinates at a 15-minute computation interval over 200 subreaches, about two minutes
// at a typical million subreach-steps per second, under an hour at 20 passes in every one.
inline constexpr double kMaxSubreachSteps = 134217728.0;  // 2^27
// Largest number of subreaches NSUB of a reach.
inline constexpr int kMaxSubreachCount = 200;

// Normal flow at one flow: depth (m), area (m2), top width (m), celerity (m/s).
struct NormalFlow {
  double depth = 0.0;
  double area = 0.0;
  double topWidth = 0.0;
  double celerity = 0.0;
  bool failed = false;  // the computation reported an error (its outputs are undefined)
};

// How a profile is carried between its M points and the NSUB + 1 nodes: offset k (0, 1, ...)
// of the one lies at position 1 + k other/own on the other (own and other their counts of
// intervals, M - 1 and NSUB), and a position takes y(i) + f (y(i+1) - y(i)) from its whole
// part i and fraction f. The two ways round differently; each routine keeps its own so that
// its flows stay as they are to the last bit.
enum class ProfilePositions {
  // 1 + k / own * other, the two counts through single precision; from the nodes back to
  // the points a whole position is interpolated too (f = 0).
  kRatioInSingle,
  // 1 + k * other / own in double; a whole position takes its point as it is.
  kProductInDouble,
};

// The product S ck T of the subreach-length bound and the cell Reynolds number (times dx
// there), multiplied in one of two orders that round differently.
enum class WidthProduct {
  kCelerityThenWidth,  // S ck T
  kWidthThenCelerity,  // S T ck
};

// What a routine chooses for itself beside its section.
struct MuskingumCungeScheme {
  int routine;                 // row of the routine-name table its statuses carry
  double referenceStartDepth;  // m: start of the search at the reference flow
  double profileStartDepth;    // m: start of the search at the first initial profile point
  double nodeStartDepth;       // m: start of the first search at every node
  WidthProduct widthProduct;
  ProfilePositions profilePositions;
  // A one-point initial profile stores L A computed as L (2 (A/2)), its half-weighted area
  // doubled; otherwise as L A.
  bool singlePointFromHalfWeight;
};

// The choices of the eight-point section (routine 15) and of the trapezoid and conduit
// (routine 16): starting depths of the searches (m) and the orders of two products.
inline constexpr MuskingumCungeScheme kEightPointScheme{
    .routine = routine::kRouteMuskingumCunge8Point,
    .referenceStartDepth = 2.0,
    .profileStartDepth = 2.0,
    .nodeStartDepth = 1.0,
    .widthProduct = WidthProduct::kCelerityThenWidth,
    .profilePositions = ProfilePositions::kRatioInSingle,
    .singlePointFromHalfWeight = true,
};
inline constexpr MuskingumCungeScheme kPrismScheme{
    .routine = routine::kRouteMuskingumCungePrism,
    .referenceStartDepth = 2.0,
    .profileStartDepth = 1.0,
    .nodeStartDepth = 2.0,
    .widthProduct = WidthProduct::kWidthThenCelerity,
    .profilePositions = ProfilePositions::kProductInDouble,
    .singlePointFromHalfWeight = false,
};

// One call's reach and flows as the routine received them (see RouteMuskingumCunge8Point for
// each one's meaning, units and valid range).
struct MuskingumCungeFlows {
  std::int32_t intervalMinutes;
  double reachLength;
  double channelSlope;
  std::int32_t initialFlowCount;
  std::int32_t subreachesFromInitialFlows;
  std::span<const double> initialFlows;
  std::span<double> finalFlows;
  std::int32_t ordinateCount;
  std::span<const double> inflows;
  std::span<const double> lateralInflows;
  std::span<double> outflows;
};

// The volume account of one call as the C++ API reports it (see VolumeAccount): the routine's
// own volumes and storages with every undefined value kept undefined, never summed as a
// number or left out of a storage. Undefined until the call computes them.
struct AccountFigures {
  double inflow = undefinedDbl();
  double outflow = undefinedDbl();
  double storageStart = undefinedDbl();
  double storageEnd = undefinedDbl();
};

// The scalar results, the status and the message of one call.
struct MuskingumCungeResults {
  double& computationInterval;
  double& subreachLength;
  double& peakOutflow;
  double& peakTimeMinutes;
  double& maxCelerity;
  double& initialStorage;
  double& finalStorage;
  double& inflowVolume;
  double& outflowVolume;
  std::int32_t& status;
  TextField message;
  // Which of the results the call has written so far: computationInterval and subreachLength,
  // initialStorage, and peakOutflow, maxCelerity and finalFlows.
  struct Written {
    bool interval = false;
    bool subreachLength = false;
    bool initialStorage = false;
    bool routed = false;
    bool peakTime = false;
  };
  Written& written;
  AccountFigures& account;
};

namespace muskingum_cunge {

// Reference flow (m3/s) at or below which no depth is sought, 0.01 in single precision.
inline constexpr double kSmallFlow = 0.009999999776482582;
// Relative change of a subreach's outflow that ends its passes, 0.01 in single precision.
inline constexpr double kOutflowTolerance = 0.009999999776482582;
inline constexpr double kOneThird = 0.3333333333333333;
inline constexpr double kOneQuarter = 0.25;
inline constexpr int kMaxPasses = 20;
// The double nearest to 1/60: seconds to minutes for the time of the peak.
inline constexpr double kMinutesPerSecond = 0.016666666666666666;

// The work arrays of a call, kept by the caller's workspace between calls, and the call's
// budget they are sized within.
struct Buffers {
  std::vector<double>& inflows;     // I at dt, NCOMP values
  std::vector<double>& lateral;     // q at dt
  std::vector<double>& outflows;    // O at dt
  std::vector<double>& nodeFlows;   // NSUB + 1
  std::vector<double>& nodeDepths;  // NSUB + 1
  std::vector<double>& depths;      // asked for: the depth at the downstream end at dt
  std::vector<double>& velocities;  // and the velocity there
  StorageBudget& budget;
};

// The depth and velocity at the reach's downstream end, recorded when asked for: at every
// stride-th computation step t, the normal depth of the step's outflow and the outflow over its
// flow area, into element t / stride. The depth search is one of its own (normalFlow writes
// into a private message field and counts nothing), started from the downstream node's depth,
// so that the routing's flows, depths, figures and message stay as they are. An undefined
// outflow or a failed search leaves both undefined, an area of 0 the velocity.
template <class NormalFlowAt>
struct EndGauge {
  NormalFlowAt normalFlow;
  std::span<double> depth;  // empty: nothing is recorded
  std::span<double> velocity;
  std::size_t stride = 1;

  void record(std::size_t t, double flow, double startDepth) const {
    if (depth.empty() || t % stride != 0) return;
    const std::size_t i = t / stride;
    if (isUndefinedDbl(flow)) return;
    const NormalFlow h = normalFlow(flow, startDepth);
    if (h.failed || isUndefinedDbl(h.depth)) return;
    depth[i] = h.depth;
    // V = Q / A
    velocity[i] = h.area > 0.0 ? flow / h.area : undefinedDbl();
  }
};

// The steps a call routes through and their work series, as Settle chooses them.
struct Plan {
  double inputInterval = 0.0;    // s: the hydrographs' interval
  double dt = 0.0;               // s: the computation interval
  double dx = 0.0;               // m: the subreach length
  int subreaches = 0;            // NSUB
  std::int32_t stepCount = 0;    // NCOMP
  std::span<double> inflows;     // I at dt, NCOMP values
  std::span<double> lateral;     // q at dt
  std::span<double> outflows;    // O at dt
};

// Figures the routing gathers for the diagnostics (see MuskingumCungeDiagnostics).
struct SweepStats {
  std::int32_t computationSteps = 0;  // NCOMP
  std::int32_t subreachCount = 0;     // NSUB
  double courantMin = 0.0, courantMax = 0.0;
  double reynoldsMin = 0.0, reynoldsMax = 0.0;
  std::int64_t depthComputations = 0;
  std::int32_t passesMax = 0;
  std::int64_t passesSum = 0;
  std::int64_t subreachSteps = 0;
  std::int64_t nonConverged = 0;
  std::int64_t failedDepthSearches = 0;
  std::int64_t clampedOutflows = 0;

  void courantAndReynolds(double cr, double re) noexcept {
    if (depthComputations++ == 0) {
      courantMin = courantMax = cr;
      reynoldsMin = reynoldsMax = re;
      return;
    }
    courantMin = std::min(courantMin, cr), courantMax = std::max(courantMax, cr);
    reynoldsMin = std::min(reynoldsMin, re), reynoldsMax = std::max(reynoldsMax, re);
  }
};

// The exit of storage that cannot be obtained: the report takes the error number; outflows
// (the first N), inflowVolume, outflowVolume and finalStorage become the undefined value;
// status is packed. The other results stay as written so far.
void Fail(int number, const MuskingumCungeScheme& scheme, const MuskingumCungeFlows& flows,
          const MuskingumCungeResults& results, Report& report) noexcept;

// The exit of a call refused as invalid (message 12, its text already written): every result
// becomes the undefined value (the first N outflows, the first M final flows and the nine
// scalars); status is packed.
void Refuse(const MuskingumCungeScheme& scheme, const MuskingumCungeFlows& flows,
            const MuskingumCungeResults& results, Report& report) noexcept;

// Checks the interval, L, S = 0 and the counts against their arrays; on a failure writes the
// invalid-parameter message, refuses the call and returns false. Otherwise cuts the spans of
// flows to their counts and returns true.
bool Accept(MuskingumCungeFlows& flows, const MuskingumCungeScheme& scheme,
            const MuskingumCungeResults& results, Report& report) noexcept;

// Q0: halfway between the smallest and largest defined total inflow I + qL (m3/s), with the
// number of ordinates that set a new maximum. The flows as Accept has cut them (N >= 1).
struct ReferenceFlow {
  double flow;
  int riseCount;
};
ReferenceFlow ReferenceFlowOf(const MuskingumCungeFlows& flows) noexcept;

// Chooses dt (from the input interval, the travel time L/ck and the rise of the inflow) and
// NSUB (from the initial profile, or from ck dt and Q0/(S ck T)), writes computationInterval
// and subreachLength, obtains the three step series and resamples the inflows onto dt. On a
// failure (storage: message 11; an interval it cannot route in: refused, message 12) returns
// false. Storage that cannot be obtained is reported; any other exception propagates.
bool Settle(const MuskingumCungeFlows& flows, const MuskingumCungeScheme& scheme,
            ReferenceFlow reference, const NormalFlow& atReference,
            const MuskingumCungeResults& results, Report& report, const Buffers& buffers,
            Plan& plan);

// The computation interval and the subreach count Settle chooses, without writing anything:
// dt (s), NSUB, and whether dt is positive.
struct IntervalChoice {
  double dt;
  int subreaches;
};
IntervalChoice ChooseInterval(const MuskingumCungeFlows& flows, const MuskingumCungeScheme& scheme,
                              ReferenceFlow reference, const NormalFlow& atReference) noexcept;

// The step series of a continuation: each ordinate interval split into k computation steps,
// y = y(i) + (y(i+1) - y(i)) * r / k at step r of interval i (undefined when either end is),
// so that the series of a chunk are those of the whole hydrograph over the same ordinates.
void SplitIntervals(std::span<const double> series, std::int32_t k,
                    std::span<double> steps) noexcept;

// The initial profile onto the NSUB + 1 nodes, the last node taking the last point.
void ProfileOntoNodes(const MuskingumCungeScheme& scheme, std::span<const double> initialFlows,
                      int subreaches, std::span<double> nodeFlows) noexcept;

// The node flows back onto the M profile points, the end points taking the end nodes.
void NodesOntoProfile(const MuskingumCungeScheme& scheme, std::span<const double> nodeFlows,
                      int subreaches, std::span<double> finalFlows) noexcept;

// scale x ck x T in the scheme's order.
inline double TimesCelerityAndWidth(WidthProduct order, double scale, double celerity,
                                    double topWidth) noexcept {
  return order == WidthProduct::kCelerityThenWidth ? scale * celerity * topWidth
                                                   : scale * topWidth * celerity;
}

struct Coefficients {
  double c1, c2, c3, c4;  // weights of I1, I2, O1 and the lateral inflow q dx
};

// c1 = (1 + Cr - Re)/D, c2 = (Cr + Re - 1)/D, c3 = (1 - Cr + Re)/D, c4 = 2 Cr/D with
// D = 1 + Cr + Re; a negative c2 is shared out half to c1 and half to c3 (c1 + c2 + c3 = 1).
inline Coefficients RoutingCoefficients(double cr, double re) noexcept {
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


// The subreach length of a routing and the products that no subreach-step changes, formed once
// in the order the step's expressions form them.
struct Spacing {
  double dx;                  // m
  double intervalPerLength;   // dt / dx, s/m: the Courant number per unit celerity
  double lengthSlope;         // dx S, m: the cell Reynolds number's denominator per S ck T

  Spacing(double dt, double subreachLength, double slope) noexcept
      : dx(subreachLength), intervalPerLength(dt / subreachLength),
        lengthSlope(subreachLength * slope) {}
};

// One subreach-step: the flows at its upstream and downstream nodes at the previous step
// (I1, O1), the inflow at this step (I2) and the lateral inflow q (m3/s per m).
struct SubreachFlows {
  double inflow1, outflow1, inflow2, lateral;
};

// The outflow O2 of one subreach-step: passes of Qr -> depth -> Cr, Re -> O2 until O2 settles
// within 1 % of the reference flow (at most 20). nodeDepth is the depth search's start at the
// subreach's downstream node and receives the depth found; latest the last normal flow.
template <class DepthAt>
double RouteSubreachStep(const DepthAt& depthAt, const MuskingumCungeScheme& scheme,
                         const Spacing& spacing, SubreachFlows f, double& nodeDepth,
                         NormalFlow& latest, SweepStats& stats, Report& report,
                         TextField message) {
  const double dx = spacing.dx;
  // Qr = (I1 + O1 + I2)/3 + q dx
  double referenceQ = (f.inflow1 + f.outflow1 + f.inflow2) * kOneThird + f.lateral * dx;
  double previousQ = referenceQ;
  double outflow2 = 0.0;
  int pass = 1;
  for (;;) {
    double courant = 1.0;
    double reynolds = 1.0;
    if (referenceQ > kSmallFlow) {
      latest = depthAt(referenceQ, nodeDepth);
      nodeDepth = latest.depth;
      // Cr = dt/dx ck;  Re = Qr / (dx S ck T)
      courant = spacing.intervalPerLength * latest.celerity;
      reynolds = referenceQ / TimesCelerityAndWidth(scheme.widthProduct, spacing.lengthSlope,
                                                    latest.celerity, latest.topWidth);
      stats.courantAndReynolds(courant, reynolds);
    }
    const Coefficients c = RoutingCoefficients(courant, reynolds);
    // O2 = c4 q dx + c1 I1 + c3 O1 + c2 I2, never below 0
    outflow2 = c.c4 * f.lateral * dx + c.c1 * f.inflow1 + c.c3 * f.outflow1 + c.c2 * f.inflow2;
    const bool clamped = outflow2 < 0.0;
    if (clamped) outflow2 = 0.0;
    if (std::abs(previousQ - outflow2) <= kOutflowTolerance * previousQ) {
      stats.clampedOutflows += clamped ? 1 : 0;
      break;
    }
    ++pass;
    // Qr = (I1 + O2 + O1 + I2)/4, the lateral inflow not added again
    referenceQ = (f.inflow1 + outflow2 + f.outflow1 + f.inflow2) * kOneQuarter;
    previousQ = outflow2;
    if (pass > kMaxPasses) {
      report.warning(message::kCungeNoConvergence.number);
      message.assign(message::kCungeNoConvergence.text);
      ++stats.nonConverged;
      stats.clampedOutflows += clamped ? 1 : 0;
      pass = kMaxPasses;
      break;
    }
  }
  ++stats.subreachSteps;
  stats.passesSum += pass;
  stats.passesMax = std::max(stats.passesMax, pass);
  return outflow2;
}

// Storage at the nodes, a trapezoidal sum of the areas at the node flows times dx, each
// search starting from the node's depth (which is not changed); undefined when a flow or an
// area is.
template <class DepthAt>
double NodeStorage(const DepthAt& depthAt, std::span<const double> nodeFlows,
                   std::span<const double> nodeDepths, double dx) {
  double areaSum = 0.0;
  for (std::size_t j = 0; j < nodeFlows.size(); ++j) {
    if (isUndefinedDbl(nodeFlows[j])) return undefinedDbl();
    const double weight = (j == 0 || j + 1 == nodeFlows.size()) ? 0.5 : 1.0;
    const double area = depthAt(nodeFlows[j], nodeDepths[j]).area;
    if (isUndefinedDbl(area)) return undefinedDbl();
    areaSum = areaSum + weight * area;
  }
  return dx * areaSum;
}

// A storage as the routine sums it, and whether every flow and area in the sum was defined
// (an undefined flow has the area of no flow, a failed depth search an undefined one).
struct StorageSum {
  double volume;
  bool defined;
};

// Storage at the start of a one-call run: trapezoidal sum of the areas at the M initial
// flows, each search starting from the depth found at the point before, times L/(M - 1); for
// a single point L A. latest receives the last normal flow.
template <class DepthAt>
StorageSum ProfileStorage(const DepthAt& depthAt, const MuskingumCungeScheme& scheme,
                          std::span<const double> initialFlows, double length,
                          NormalFlow& latest) {
  const std::size_t m = initialFlows.size();
  double areaSum = 0.0;
  double startDepth = scheme.profileStartDepth;
  bool defined = true;
  for (std::size_t k = 0; k < m; ++k) {
    latest = depthAt(initialFlows[k], startDepth);
    startDepth = latest.depth;
    defined = defined && !isUndefinedDbl(initialFlows[k]) && !isUndefinedDbl(latest.area);
    const double weight = (k == 0 || k == m - 1) ? 0.5 : 1.0;
    areaSum = areaSum + weight * latest.area;
  }
  // V0 = L/(M - 1) * sum, or L A for a single point.
  if (m > 1) return {length / static_cast<double>(m - 1) * areaSum, defined};
  return {scheme.singlePointFromHalfWeight ? length * (2.0 * areaSum) : length * latest.area,
          defined};
}

// The sums of the routing: inflow and outflow (trapezoidal over the steps, each times dt
// later) and the end storage's areas, with whether every node's area entered that sum
// defined.
struct SweepSums {
  double inflow = 0.0;
  double outflow = 0.0;
  double endArea = 0.0;
  bool endDefined = true;
};

// Storage at the end, one node of the last step: the area at the node's flow, the search
// starting from the node's depth (which is not changed), at half weight at either end.
template <class DepthAt>
void AddEndArea(const DepthAt& depthAt, double flow, double nodeDepth, bool reachEnd,
                NormalFlow& latest, SweepSums& sums) {
  latest = depthAt(flow, nodeDepth);
  if (isUndefinedDbl(latest.area)) sums.endDefined = false;
  sums.endArea = sums.endArea + (reachEnd ? 0.5 : 1.0) * latest.area;
}

// The account's inflow and outflow volumes of the step series, m3: the trapezoid over the
// computation steps of the total inflow qL + I and of the outflow, an interval with an
// undefined end adding nothing. Where every value is defined they are the routing's own sums
// to the bit. With a running account (a continuation carried on from call to call) the sums
// go on from the run's so far, and are left there for the next call.
inline void AccountVolumes(double dt, double length, std::span<const double> inflowWork,
                           std::span<const double> lateralWork,
                           std::span<const double> outflowWork, AccountFigures& account,
                           RunningAccount* running = nullptr) noexcept {
  const auto totalInflow = [&](std::size_t t) {
    const double lateral = lateralWork[t];
    const double inflow = inflowWork[t];
    return isUndefinedDbl(lateral) || isUndefinedDbl(inflow) ? undefinedDbl()
                                                               : lateral * length + inflow;
  };
  const auto outflow = [&](std::size_t t) { return outflowWork[t]; };
  if (running == nullptr) {
    account.inflow = dt * IntervalWeightedSum(outflowWork.size(), totalInflow);
    account.outflow = dt * IntervalWeightedSum(outflowWork.size(), outflow);
    return;
  }
  CarriedSum in{running->inflowSum, running->inflowBeforeLastDefined};
  CarriedSum out{running->outflowSum, running->outflowBeforeLastDefined};
  account.inflow = dt * CarryWeightedSum(outflowWork.size(), totalInflow, in);
  account.outflow = dt * CarryWeightedSum(outflowWork.size(), outflow, out);
  running->inflowSum = in.sum, running->inflowBeforeLastDefined = in.previousDefined;
  running->outflowSum = out.sum, running->outflowBeforeLastDefined = out.previousDefined;
}

// Routes computation steps 2 to NCOMP of the series from the node flows and depths of step 1:
// each step from upstream to downstream, each subreach taking as inflow the outflow just
// computed above it. Updates peak, celerity and the sums; at the last step adds the areas of
// the end storage.
template <class DepthAt, class Gauge>
void Sweep(const DepthAt& depthAt, const MuskingumCungeScheme& scheme, double dt, double dx,
           double slope, double length, std::span<const double> inflowWork,
           std::span<const double> lateralWork, std::span<double> outflowWork,
           std::span<double> nodeFlows, std::span<double> nodeDepths, NormalFlow& latest,
           SweepStats& stats, Report& report, const MuskingumCungeResults& results,
           SweepSums& sums, const Gauge& gauge) {
  const double undefined = undefinedDbl();
  const std::size_t nodes = nodeFlows.size();
  const std::size_t periods = outflowWork.size();
  const Spacing spacing(dt, dx, slope);
  for (std::size_t t = 1; t < periods; ++t) {
    const bool lastStep = t + 1 == periods;
    const double lateral = lateralWork[t];
    // I2: the flow entering the subreach in hand at this step.
    double inflow2 = inflowWork[t];
    for (std::size_t j = 1; j < nodes; ++j) {
      const double inflow1 = nodeFlows[j - 1];
      const double outflow1 = nodeFlows[j];
      if (isUndefinedDbl(inflow2) || isUndefinedDbl(outflow1) || isUndefinedDbl(inflow1) ||
          isUndefinedDbl(lateral)) {
        // Undefined from here down the reach, and at these nodes for the rest of the run.
        nodeFlows[j - 1] = inflow2;
        outflowWork[t] = undefined;
        inflow2 = undefined;
        if (lastStep) sums.endDefined = false;
        continue;
      }
      const double outflow2 =
          RouteSubreachStep(depthAt, scheme, spacing, {inflow1, outflow1, inflow2, lateral},
                            nodeDepths[j], latest, stats, report, results.message);
      outflowWork[t] = outflow2;
      if (latest.celerity > results.maxCelerity) results.maxCelerity = latest.celerity;
      nodeFlows[j - 1] = inflow2;
      inflow2 = outflow2;
      if (lastStep) AddEndArea(depthAt, outflow2, nodeDepths[j], j + 1 == nodes, latest, sums);
    }
    // The upstream end at half weight, as in the storage at the start; an undefined flow adds
    // nothing.
    if (lastStep && !isUndefinedDbl(nodeFlows[0]))
      AddEndArea(depthAt, nodeFlows[0], nodeDepths[0], true, latest, sums);
    else if (lastStep)
      sums.endDefined = false;
    const double outflow = outflowWork[t];
    nodeFlows[nodes - 1] = outflow;
    gauge.record(t, outflow, nodeDepths[nodes - 1]);
    const double weight = lastStep ? 0.5 : 1.0;
    if (!isUndefinedDbl(outflow)) {
      sums.outflow = sums.outflow + weight * outflow;
      if (outflow > results.peakOutflow) {
        results.peakOutflow = outflow;
        // Time of the peak after the first ordinate, minutes.
        results.peakTimeMinutes = static_cast<double>(t) * dt * kMinutesPerSecond;
        results.written.peakTime = true;
      }
    }
    if (!isUndefinedDbl(inflowWork[t]) && !isUndefinedDbl(lateral)) {
      sums.inflow = sums.inflow + weight * (lateral * length + inflowWork[t]);
    }
  }
}

}  // namespace muskingum_cunge

// Routes flows.inflows (plus flows.lateralInflows along the reach) through the reach whose
// section normalFlow describes, at the computation interval dt and over the NSUB subreaches
// of length dx that Settle chooses. Arguments, results, statuses and messages as
// RouteMuskingumCunge8Point describes them, under the scheme's routine number and choices.
// normalFlow.serves(message) tells, before any flow is looked at, whether the section data
// can carry flow at all; when it cannot, it has written its text and the call is refused
// (message 12). normalFlow(flow, startDepth) gives the NormalFlow at flow (m3/s), a section
// that searches for its depth starting from startDepth (m). Its failures are not examined:
// they leave their text in the message and the routing runs on with what they returned. The
// work arrays are the caller's (kept between calls); stats receives the figures of the
// routing. Storage that cannot be obtained is reported (message 11); any other exception
// propagates to the caller.
template <class NormalFlowAt>
void RouteMuskingumCunge(const NormalFlowAt& normalFlow, const MuskingumCungeScheme& scheme,
                         MuskingumCungeFlows flows, const MuskingumCungeResults& results,
                         const muskingum_cunge::Buffers& buffers,
                         muskingum_cunge::SweepStats& stats, const Gauges& gauges) {
  using namespace muskingum_cunge;
  Report report;
  if (!Accept(flows, scheme, results, report)) return;
  if (!normalFlow.serves(results.message)) {
    Refuse(scheme, flows, results, report);
    return;
  }
  const auto depthAt = [&](double flow, double startDepth) {
    const NormalFlow h = normalFlow(flow, startDepth);
    if (h.failed) ++stats.failedDepthSearches;
    return h;
  };
  const double length = flows.reachLength;
  const double slope = flows.channelSlope;
  const std::size_t m = flows.initialFlows.size();
  const TextField message = results.message;

  // Reference flow and its celerity, and from them the computation the call routes.
  const ReferenceFlow reference = ReferenceFlowOf(flows);
  NormalFlow latest = depthAt(reference.flow, scheme.referenceStartDepth);
  Plan plan;
  if (!Settle(flows, scheme, reference, latest, results, report, buffers, plan)) return;
  const double dt = plan.dt;
  const double dx = plan.dx;
  stats.computationSteps = plan.stepCount;
  stats.subreachCount = plan.subreaches;
  const std::span<double> outflowWork = plan.outflows;
  const std::span<const double> inflowWork = plan.inflows;
  const std::span<const double> lateralWork = plan.lateral;

  const StorageSum initialStorage =
      ProfileStorage(depthAt, scheme, flows.initialFlows, length, latest);
  results.initialStorage = initialStorage.volume;
  results.written.initialStorage = true;
  results.account.storageStart = initialStorage.defined ? initialStorage.volume : undefinedDbl();

  outflowWork[0] = flows.initialFlows[m - 1];
  SweepSums sums;
  sums.outflow = 0.5 * outflowWork[0];
  sums.inflow = 0.5 * (lateralWork[0] * length + inflowWork[0]);

  const auto nodes = static_cast<std::size_t>(plan.subreaches) + 1;
  if (!Fit(buffers.nodeFlows, nodes, buffers.budget) ||
      !Fit(buffers.nodeDepths, nodes, buffers.budget)) {
    message.assign(kNoStorageText);
    Fail(kMessageNoStorage, scheme, flows, results, report);
    return;
  }
  // Asked for, the depth and velocity at every computation step, brought onto the ordinates
  // as the outflows are.
  const bool gauged = !gauges.depth.empty();
  const auto periods = static_cast<std::size_t>(plan.stepCount);
  if (gauged && (!Fit(buffers.depths, periods, buffers.budget) ||
                 !Fit(buffers.velocities, periods, buffers.budget))) {
    message.assign(kNoStorageText);
    Fail(kMessageNoStorage, scheme, flows, results, report);
    return;
  }
  const std::size_t gaugedSteps = gauged ? periods : 0;
  char privateText = kBlank;
  const EndGauge<NormalFlowAt> gauge{normalFlow.quiet(TextField(&privateText, 1)),
                                     std::span<double>(buffers.depths).first(gaugedSteps),
                                     std::span<double>(buffers.velocities).first(gaugedSteps), 1};
  std::fill(gauge.depth.begin(), gauge.depth.end(), undefinedDbl());
  std::fill(gauge.velocity.begin(), gauge.velocity.end(), undefinedDbl());
  const std::span<double> nodeFlows = buffers.nodeFlows;
  const std::span<double> nodeDepths = buffers.nodeDepths;
  std::fill(nodeDepths.begin(), nodeDepths.end(), scheme.nodeStartDepth);
  FaultSeam(flows.inflows);
  ProfileOntoNodes(scheme, flows.initialFlows, plan.subreaches, nodeFlows);
  results.peakOutflow = 0.0;
  results.maxCelerity = 0.0;
  results.written.routed = true;

  gauge.record(0, outflowWork[0], nodeDepths[nodes - 1]);
  Sweep(depthAt, scheme, dt, dx, slope, length, inflowWork, lateralWork, outflowWork, nodeFlows,
        nodeDepths, latest, stats, report, results, sums, gauge);

  results.inflowVolume = dt * sums.inflow;
  results.outflowVolume = dt * sums.outflow;
  results.finalStorage = dx * sums.endArea;
  // With one step the reach ends as it started.
  AccountVolumes(dt, length, inflowWork, lateralWork, outflowWork, results.account);
  results.account.storageEnd = plan.stepCount == 1 ? results.account.storageStart
                               : sums.endDefined   ? results.finalStorage
                                                   : undefinedDbl();
  ChangeTimeInterval(dt, plan.inputInterval, plan.stepCount, flows.ordinateCount, outflowWork,
                     flows.outflows);
  if (gauged) {
    ChangeTimeInterval(dt, plan.inputInterval, plan.stepCount, flows.ordinateCount, gauge.depth,
                       gauges.depth);
    ChangeTimeInterval(dt, plan.inputInterval, plan.stepCount, flows.ordinateCount,
                       gauge.velocity, gauges.velocity);
  }
  NodesOntoProfile(scheme, nodeFlows, plan.subreaches, flows.finalFlows);
  results.status = report.status(scheme.routine);
}

}  // namespace tovalin
