// Muskingum-Cunge routing through the C++ API: the section of a reach gives the normal flow
// (eight-point section, trapezoid or circular conduit), the common method routes with it, in
// one call over a whole hydrograph (muskingum_cunge_common.h) or as a continuation that
// carries the node flows and depths from chunk to chunk at a fixed computation interval and
// subreach count, with the computation steps aligned on the ordinates.
// Flows m3/s, lengths and depths m, times s (minutes at the interface).
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <type_traits>
#include <variant>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/hydraulics/section_8point.h"
#include "hydro/routing/api_support.h"
#include "hydro/routing/muskingum_cunge_8point.h"
#include "hydro/routing/muskingum_cunge_common.h"
#include "hydro/routing/muskingum_cunge_prism.h"

namespace tovalin {
namespace {

using namespace muskingum_cunge;

constexpr double kSecondsPerMinute = 60.0;
// The reach's own reference flow where the caller gives none: a trapezoid at a depth of a
// tenth of its bottom width (m per m), a triangle at 1 m, a conduit at the area of its half
// (per D^2, pi/8).
constexpr double kReferenceDepthPerBottomWidth = 0.1;
constexpr double kTriangleReferenceDepth = 1.0;
constexpr double kHalfFullAreaPerDiameterSquared = std::numbers::pi / 8.0;
// Width of the private message field of the searches that choose a discretisation or build a
// state (their texts are not reported).
constexpr int kPrivateMessageWidth = 1;

bool ReportedError(std::int32_t status) noexcept {
  return static_cast<std::uint32_t>(status) % 8U == static_cast<std::uint32_t>(kSeverityError);
}

// Normal flow in an eight-point section; its status is not examined beyond counting failures.
// The searches are made only once serves() has accepted the section, which makes them those
// of ChannelDepth8Point (and ChannelDepthPrism, ChannelDepthCircle below) to the bit.
struct EightPointFlow {
  const EightPointSection& section;
  double slope;
  TextField message;
  EightPointDepthSearch search;  // prepared once for the call's searches
  // The same section writing into another message field.
  EightPointFlow quiet(TextField field) const noexcept { return {section, slope, field, search}; }
  bool serves(TextField text) const noexcept {
    return CheckSection8Point(slope, section.stations, section.elevations, section.manningN, text);
  }
  NormalFlow operator()(double flow, double startDepth) const noexcept {
    NormalFlow h;
    std::int32_t status = 0;
    search.depth(flow, startDepth, h.depth, h.area, h.topWidth, h.celerity, status, message);
    h.failed = ReportedError(status);
    return h;
  }
  // Q = S^(1/2) K with the water at the lower bank point of the main channel (3 or 6), or of
  // the end points (1 or 8) where the banks lie at the bed.
  double ownReferenceFlow() const noexcept {
    const std::array<double, 8>& y = section.elevations;
    const double lowest = *std::min_element(y.begin(), y.end());
    double bank = std::min(y[2], y[5]);
    if (!(bank > lowest)) bank = std::min(y[0], y[7]);
    double area = 0.0, conveyance = 0.0, width = 0.0;
    std::int32_t status = 0;
    Conveyance8Point(bank, section.stations, section.elevations, section.manningN, area,
                     conveyance, width, status, message);
    return std::sqrt(slope) * conveyance;
  }
};

struct TrapezoidFlow {
  const TrapezoidSection& section;
  double slope;
  TextField message;
  TrapezoidDepthSearch search;  // prepared once for the call's searches
  // The same section writing into another message field.
  TrapezoidFlow quiet(TextField field) const noexcept { return {section, slope, field, search}; }
  bool serves(TextField text) const noexcept {
    return CheckTrapezoid(slope, section.manningN, section.bottomWidth, section.sideSlope, text);
  }
  NormalFlow operator()(double flow, double startDepth) const noexcept {
    NormalFlow h;
    std::int32_t status = 0;
    search.depth(flow, startDepth, h.depth, h.area, h.topWidth, h.celerity, status, message);
    h.failed = ReportedError(status);
    return h;
  }
  double ownReferenceFlow() const noexcept {
    const double depth = section.bottomWidth > 0.0
                             ? section.bottomWidth * kReferenceDepthPerBottomWidth
                             : kTriangleReferenceDepth;
    return NormalFlowPrism(slope, section.manningN, section.bottomWidth, section.sideSlope,
                           depth);
  }
};

// The conduit's search has no starting depth.
struct CircleFlow {
  const CircleSection& section;
  double slope;
  TextField message;
  ConduitDepthSearch search;  // prepared once for the call's searches
  // The same section writing into another message field.
  CircleFlow quiet(TextField field) const noexcept { return {section, slope, field, search}; }
  bool serves(TextField text) const noexcept {
    return CheckConduit(slope, section.manningN, section.diameter, text);
  }
  NormalFlow operator()(double flow, double) const noexcept {
    NormalFlow h;
    std::int32_t status = 0;
    search.depth(flow, h.depth, h.area, h.topWidth, h.celerity, status, message);
    h.failed = ReportedError(status);
    return h;
  }
  double ownReferenceFlow() const noexcept {
    const double d = section.diameter;
    return ConduitFlowAtArea(slope, section.manningN, d, kHalfFullAreaPerDiameterSquared * d * d);
  }
};

// Calls run(normalFlow, scheme) with the section's normal flow and scheme.
template <class Run>
void WithSection(const MuskingumCungeReach& reach, TextField message, const Run& run) {
  std::visit(
      [&](const auto& section) {
        using Section = std::decay_t<decltype(section)>;
        if constexpr (std::is_same_v<Section, EightPointSection>) {
          run(EightPointFlow{section, reach.slope, message,
                             EightPointDepthSearch(reach.slope, section.stations,
                                                   section.elevations, section.manningN)},
              kEightPointScheme);
        } else if constexpr (std::is_same_v<Section, TrapezoidSection>) {
          run(TrapezoidFlow{section, reach.slope, message,
                            TrapezoidDepthSearch(reach.slope, section.manningN,
                                                 section.bottomWidth, section.sideSlope)},
              kPrismScheme);
        } else {
          run(CircleFlow{section, reach.slope, message,
                         ConduitDepthSearch(reach.slope, section.manningN, section.diameter)},
              kPrismScheme);
        }
      },
      reach.section);
}

int RoutineOf(const MuskingumCungeReach& reach) noexcept {
  return std::holds_alternative<EightPointSection>(reach.section)
             ? routine::kRouteMuskingumCunge8Point
             : routine::kRouteMuskingumCungePrism;
}

Status StatusFromCode(std::int32_t code) noexcept {
  const auto u = static_cast<std::uint32_t>(code);
  if (code == 0) return {};
  return {static_cast<std::int32_t>((u >> 9) & 16383U), static_cast<std::int32_t>((u >> 3) % 64U),
          static_cast<Severity>(u % 8U)};
}

// The scalar results of one call, where the routine writes them (the routine's own figures,
// which the fixed-width interface returns), and the volume account the API reports.
struct Scalars {
  double computationInterval = 0.0, subreachLength = 0.0, peakOutflow = 0.0,
         peakTimeMinutes = 0.0, maxCelerity = 0.0, initialStorage = 0.0, finalStorage = 0.0,
         inflowVolume = 0.0, outflowVolume = 0.0;
  std::int32_t status = 0;
  MuskingumCungeResults::Written written;
  AccountFigures account;

  MuskingumCungeResults results(TextField message) noexcept {
    return {computationInterval, subreachLength, peakOutflow, peakTimeMinutes, maxCelerity,
            initialStorage, finalStorage, inflowVolume, outflowVolume, status, message,
            written, account};
  }
};

// Whether a count of ordinates or profile points can be the routines' 32-bit count. A
// hydrograph of more ordinates needs more than 2^25 computation steps (NCOMP >= N), storage no
// call obtains; a profile of more points is as much storage again as the call may hold.
constexpr bool RoutineCount(std::size_t count) noexcept {
  return count <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}

// The inputs of one call sized in the workspace: outflows, lateral inflow (zeros when none).
struct CallArrays {
  std::span<double> outflows;
  std::span<const double> lateral;
  bool stored;
  Gauges gauges;  // depth and velocity, when asked for
};

CallArrays ArraysFor(const Hydrograph& hydrograph, const RouteOptions& options,
                     const detail::WorkspaceAccess& work, StorageBudget& budget) noexcept {
  const std::size_t n = hydrograph.flows.size();
  CallArrays arrays{{}, hydrograph.lateralFlows, true, GaugesFor(options, work.w, n, budget)};
  arrays.stored = arrays.gauges.stored;
  if (!options.outflows.empty()) {
    arrays.outflows = options.outflows.first(std::min(n, options.outflows.size()));
  } else if (arrays.stored && Fit(work.outflows(), n, budget)) {
    arrays.outflows = work.outflows();
  } else {
    arrays.stored = false;
  }
  if (hydrograph.lateralFlows.empty()) {
    if (arrays.stored && Fit(work.zeros(), n, budget)) {
      std::fill(work.zeros().begin(), work.zeros().end(), 0.0);
      arrays.lateral = work.zeros();
    } else {
      arrays.stored = false;
    }
  }
  return arrays;
}

// The result of a call from its scalars and figures.
void Complete(MuskingumCungeResult& result, const Scalars& scalars, const SweepStats& stats,
              const CallMessage& message) noexcept {
  result.status = StatusFromCode(scalars.status);
  result.text = message.text();
  VolumeAccount& v = result.volume;
  v.inflow = scalars.account.inflow;
  v.outflow = scalars.account.outflow;
  v.storageStart = scalars.account.storageStart;
  v.storageEnd = scalars.account.storageEnd;
  v.loss = scalars.written.routed ? 0.0 : undefinedDbl();
  CloseBalance(v);
  MuskingumCungeDiagnostics& d = result.diagnostics;
  d.computationInterval = scalars.written.interval ? scalars.computationInterval : 0.0;
  d.subreachLength = scalars.written.subreachLength ? scalars.subreachLength : 0.0;
  d.subreachCount = stats.subreachCount;
  d.computationSteps = stats.computationSteps;
  const double none = std::numeric_limits<double>::quiet_NaN();
  const bool any = stats.depthComputations > 0;
  d.courantMin = any ? stats.courantMin : none;
  d.courantMax = any ? stats.courantMax : none;
  d.reynoldsMin = any ? stats.reynoldsMin : none;
  d.reynoldsMax = any ? stats.reynoldsMax : none;
  d.depthComputations = stats.depthComputations;
  d.passesMax = stats.passesMax;
  d.subreachSteps = stats.subreachSteps;
  d.passesMean = stats.subreachSteps > 0 ? static_cast<double>(stats.passesSum) /
                                               static_cast<double>(stats.subreachSteps)
                                         : 0.0;
  d.nonConverged = stats.nonConverged;
  d.failedDepthSearches = stats.failedDepthSearches;
  d.clampedOutflows = stats.clampedOutflows;
  d.peakOutflow = scalars.written.routed ? scalars.peakOutflow : 0.0;
  d.peakFound = scalars.written.peakTime;
  d.peakTimeMinutes = d.peakFound ? scalars.peakTimeMinutes : 0.0;
  d.maxCelerity = scalars.written.routed ? scalars.maxCelerity : 0.0;
  d.intervalWritten = scalars.written.interval;
  d.subreachLengthWritten = scalars.written.subreachLength;
  d.initialStorageWritten = scalars.written.initialStorage;
  d.routed = scalars.written.routed;
}

// A call refused before the routine ran (the workspace could not be sized): every outflow and
// every figure of the account undefined.
MuskingumCungeResult Refused(int routineNumber, int number, std::string_view text,
                             const CallMessage& message, const CallArrays& arrays) noexcept {
  MuskingumCungeResult result;
  std::fill(arrays.outflows.begin(), arrays.outflows.end(), undefinedDbl());
  message.field.assign(text);
  result.outflows = arrays.outflows;
  result.depth = arrays.gauges.depth;
  result.velocity = arrays.gauges.velocity;
  result.status = {routineNumber, number, Severity::kError};
  result.text = message.text();
  return result;
}

// The continuation: the interval and subreach count of start (or, cold, of the
// discretisation chosen), the node flows and depths of start (or steady flow from the first
// inflow), the computation steps on the ordinates.
template <class NormalFlowAt>
void Continue(const NormalFlowAt& normalFlow, const MuskingumCungeScheme& scheme,
              const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
              std::span<const double> lateral, std::span<double> outflows,
              const MuskingumCungeStateView* start,
              const MuskingumCungeDiscretisation& discretisation, const Gauges& gauges,
              const detail::WorkspaceAccess& work, StorageBudget& budget,
              const MuskingumCungeResults& results, SweepStats& stats, Report& report,
              MuskingumCungeStateView& state, RunningAccount* running) {
  const std::span<const double> inflows = hydrograph.flows;
  const std::size_t n = inflows.size();
  const TextField message = results.message;
  // The checks of a one-call run, on a profile of the first inflow alone.
  double finalDummy = 0.0;
  MuskingumCungeFlows flows{hydrograph.intervalMinutes, reach.length, reach.slope, 1, 0,
                            inflows.first(std::min<std::size_t>(n, 1)),
                            std::span<double>(&finalDummy, 1), static_cast<std::int32_t>(n),
                            inflows, lateral, outflows};
  if (!Accept(flows, scheme, results, report)) return;
  if (!normalFlow.serves(message)) {
    Refuse(scheme, flows, results, report);
    return;
  }
  const auto depthAt = [&](double flow, double startDepth) {
    const NormalFlow h = normalFlow(flow, startDepth);
    if (h.failed) ++stats.failedDepthSearches;
    return h;
  };
  const double inputInterval = hydrograph.intervalMinutes * kSecondsPerMinute;
  const auto refuseState = [&] {
    report.error(message::kCungeState.number);
    message.assign(message::kCungeState.text);
    Fail(message::kCungeState.number, scheme, flows, results, report);
  };

  // The interval divides the ordinates' into k steps, and the state fits the reach.
  const double dt = start != nullptr ? start->computationInterval
                                     : discretisation.computationInterval;
  const int subreaches = start != nullptr ? start->subreachCount : discretisation.subreachCount;
  const double parts = std::round(inputInterval / dt);
  const auto nodeCount = static_cast<std::size_t>(std::max(subreaches, 0)) + 1;
  const bool fits =
      dt > 0.0 && parts >= 1.0 && parts <= kMaxComputationSteps && inputInterval / parts == dt &&
      subreaches >= 1 && subreaches <= kMaxSubreachCount &&
      (start == nullptr ||
       (start->nodeFlows.size() == nodeCount && start->nodeDepths.size() == nodeCount &&
        SameOrdinate(inflows[0], start->lastInflow)));
  if (!fits) {
    refuseState();
    return;
  }
  const auto k = static_cast<std::int32_t>(parts);
  NormalFlow latest;
  const double dx = reach.length / subreaches;
  results.computationInterval = dt;
  results.subreachLength = dx;
  results.written.interval = results.written.subreachLength = true;

  const double steps = static_cast<double>(n - 1) * k + 1.0;
  if (!(steps <= kMaxComputationSteps)) {
    message.assign(kNoStorageText);
    Fail(kMessageNoStorage, scheme, flows, results, report);
    return;
  }
  if ((steps - 1.0) * subreaches > kMaxSubreachSteps) {
    AppendDoubleToString(message::kCungeInterval.text, dt, " ", message);
    Refuse(scheme, flows, results, report);
    return;
  }
  const auto periods = static_cast<std::size_t>(steps);
  const auto nodes = static_cast<std::size_t>(subreaches) + 1;
  stats.computationSteps = static_cast<std::int32_t>(periods);
  stats.subreachCount = subreaches;
  // A state that views this workspace is copied before the node arrays are resized.
  if (!Fit(work.seriesInflow(), periods, budget) || !Fit(work.seriesLateral(), periods, budget) ||
      !Fit(work.seriesOutflow(), periods, budget) || !Fit(work.nodeFlows(), nodes, budget) ||
      !Fit(work.nodeDepths(), nodes, budget)) {
    message.assign(kNoStorageText);
    Fail(kMessageNoStorage, scheme, flows, results, report);
    return;
  }
  const std::span<double> nodeFlows = work.nodeFlows();
  const std::span<double> nodeDepths = work.nodeDepths();
  if (start != nullptr) {
    std::memmove(nodeFlows.data(), start->nodeFlows.data(), nodes * sizeof(double));
    std::memmove(nodeDepths.data(), start->nodeDepths.data(), nodes * sizeof(double));
  } else {
    std::fill(nodeFlows.begin(), nodeFlows.end(), inflows[0]);
    std::fill(nodeDepths.begin(), nodeDepths.end(), scheme.nodeStartDepth);
  }
  const std::span<double> inflowWork = work.seriesInflow();
  const std::span<double> lateralWork = work.seriesLateral();
  const std::span<double> outflowWork = work.seriesOutflow();
  SplitIntervals(inflows, k, inflowWork);
  SplitIntervals(lateral.first(n), k, lateralWork);

  results.initialStorage = NodeStorage(depthAt, nodeFlows, nodeDepths, dx);
  results.written.initialStorage = true;
  results.account.storageStart = results.initialStorage;
  outflowWork[0] = nodeFlows[nodes - 1];
  SweepSums sums;
  sums.outflow = 0.5 * outflowWork[0];
  sums.inflow = 0.5 * (lateralWork[0] * reach.length + inflowWork[0]);
  results.peakOutflow = 0.0;
  results.maxCelerity = 0.0;
  results.written.routed = true;
  FaultSeam(inflows);
  // Asked for, the depth and velocity at the steps on the ordinates, every k-th.
  char privateText = kBlank;
  const EndGauge<NormalFlowAt> gauge{normalFlow.quiet(TextField(&privateText, 1)),
                                     gauges.depth, gauges.velocity, static_cast<std::size_t>(k)};
  gauge.record(0, outflowWork[0], nodeDepths[nodes - 1]);
  Sweep(depthAt, scheme, dt, dx, reach.slope, reach.length, inflowWork, lateralWork, outflowWork,
        nodeFlows, nodeDepths, latest, stats, report, results, sums, gauge);
  results.inflowVolume = dt * sums.inflow;
  results.outflowVolume = dt * sums.outflow;
  // With one step the sweep computes no end storage: the reach is as it started.
  results.finalStorage = periods > 1 ? dx * sums.endArea : results.initialStorage;
  AccountVolumes(dt, reach.length, inflowWork, lateralWork, outflowWork, results.account,
                 running);
  results.account.storageEnd =
      periods == 1 || sums.endDefined ? results.finalStorage : undefinedDbl();
  if (running != nullptr) {
    // The run's storage at its first ordinate, from its first call.
    if (running->started) results.account.storageStart = running->storageStart;
    running->started = true;
    running->storageStart = results.account.storageStart;
  }
  for (std::size_t i = 0; i < n; ++i) outflows[i] = outflowWork[i * static_cast<std::size_t>(k)];
  state = {dt, subreaches, nodeFlows, nodeDepths, inflows[n - 1]};
  results.status = report.status(scheme.routine);
}

MuskingumCungeResult RouteContinued(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                                    const MuskingumCungeStateView* start,
                                    const MuskingumCungeDiscretisation& discretisation,
                                    Workspace& workspace, const RouteOptions& options) {
  const detail::WorkspaceAccess work{workspace};
  const CallMessage message = MessageFor(options, workspace);
  StorageBudget budget;
  const CallArrays arrays = ArraysFor(hydrograph, options, work, budget);
  if (!arrays.stored || !RoutineCount(hydrograph.flows.size()))
    return Refused(RoutineOf(reach), kMessageNoStorage, kNoStorageText, message, arrays);
  Scalars scalars;
  SweepStats stats;
  Report report;
  MuskingumCungeResult result;
  const MuskingumCungeResults results = scalars.results(message.field);
  WithSection(reach, message.field, [&](const auto& normalFlow, const MuskingumCungeScheme& scheme) {
    Continue(normalFlow, scheme, reach, hydrograph, arrays.lateral, arrays.outflows, start,
             discretisation, arrays.gauges, work, budget, results, stats, report, result.state,
             options.runningAccount);
  });
  result.outflows = arrays.outflows;
  result.depth = arrays.gauges.depth;
  result.velocity = arrays.gauges.velocity;
  Complete(result, scalars, stats, message);
  return result;
}

// The one-call run; scalars receives the routine's own figures as well as the account.
MuskingumCungeResult RouteOneCall(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                                  const FlowProfile& initial, Workspace& workspace,
                                  const RouteOptions& options, Scalars& scalars) {
  const detail::WorkspaceAccess work{workspace};
  const CallMessage message = MessageFor(options, workspace);
  StorageBudget budget;
  const CallArrays arrays = ArraysFor(hydrograph, options, work, budget);
  if (!arrays.stored || !RoutineCount(hydrograph.flows.size()) ||
      !RoutineCount(initial.flows.size()) || !Fit(work.profile(), initial.flows.size(), budget)) {
    scalars.inflowVolume = scalars.outflowVolume = scalars.finalStorage = undefinedDbl();
    return Refused(RoutineOf(reach), kMessageNoStorage, kNoStorageText, message, arrays);
  }
  SweepStats stats;
  const MuskingumCungeResults results = scalars.results(message.field);
  const Buffers buffers{work.seriesInflow(), work.seriesLateral(), work.seriesOutflow(),
                        work.nodeFlows(),   work.nodeDepths(),    work.seriesDepth(),
                        work.seriesVelocity(), budget};
  const MuskingumCungeFlows flows{hydrograph.intervalMinutes,
                                  reach.length,
                                  reach.slope,
                                  static_cast<std::int32_t>(initial.flows.size()),
                                  initial.subreachesFromProfile ? 1 : 0,
                                  initial.flows,
                                  work.profile(),
                                  static_cast<std::int32_t>(hydrograph.flows.size()),
                                  hydrograph.flows,
                                  arrays.lateral,
                                  arrays.outflows};
  WithSection(reach, message.field, [&](const auto& normalFlow, const MuskingumCungeScheme& scheme) {
    RouteMuskingumCunge(normalFlow, scheme, flows, results, buffers, stats, arrays.gauges);
  });
  MuskingumCungeResult result;
  result.outflows = arrays.outflows;
  result.depth = arrays.gauges.depth;
  result.velocity = arrays.gauges.velocity;
  if (scalars.written.routed) result.finalFlows = work.profile();
  Complete(result, scalars, stats, message);
  return result;
}

// The discretisation of a continuation from the reach and a reference flow (see
// ChooseDiscretisation), the searches writing into a private field.
template <class NormalFlowAt>
MuskingumCungeDiscretisation Discretise(const NormalFlowAt& normalFlow,
                                        const MuskingumCungeScheme& scheme,
                                        const MuskingumCungeReach& reach,
                                        std::int32_t intervalMinutes, double referenceFlow,
                                        TextField message) {
  MuskingumCungeDiscretisation d;
  const Status refused{scheme.routine, message::kCungeInvalid.number, Severity::kError};
  const double length = reach.length;
  if (intervalMinutes < 1 || !(length > 0.0) || !std::isfinite(length) ||
      !(reach.slope != 0.0) || !normalFlow.serves(message)) {
    d.status = refused;
    return d;
  }
  // Q0: the caller's flow, or the reach's own.
  const bool given = std::isfinite(referenceFlow) && referenceFlow > kSmallFlow;
  const double flow = given ? referenceFlow : normalFlow.ownReferenceFlow();
  const NormalFlow atReference = normalFlow(flow, scheme.referenceStartDepth);
  // The one-call run's choice without a hydrograph: no rise time bounds dt.
  const MuskingumCungeFlows flows{intervalMinutes, length, reach.slope, 1, 0, {}, {}, 1, {},
                                  {}, {}};
  const IntervalChoice choice = ChooseInterval(flows, scheme, {flow, 0}, atReference);
  const double inputInterval = intervalMinutes * kSecondsPerMinute;
  // The smallest whole number of steps per ordinate interval that keeps dt at most the chosen
  // one.
  const double parts = std::max(1.0, std::ceil(inputInterval / choice.dt));
  if (!(choice.dt > 0.0) || !(parts <= kMaxComputationSteps)) {
    d.status = refused;
    return d;
  }
  d.computationInterval = inputInterval / parts;
  d.subreachCount = choice.subreaches;
  d.referenceFlow = flow;
  return d;
}

// The start of a continuation at one flow: every node at it, each depth the normal depth
// there searched from the scheme's node start.
template <class NormalFlowAt>
MuskingumCungeStart StartNodes(const NormalFlowAt& normalFlow, const MuskingumCungeScheme& scheme,
                               const MuskingumCungeReach& reach,
                               const MuskingumCungeDiscretisation& discretisation,
                               double initialFlow, double firstInflow, TextField message) {
  MuskingumCungeStart start;
  const auto refuse = [&](const Message& m) {
    start.status = {scheme.routine, m.number, Severity::kError};
    start.text = message.view().substr(0, static_cast<std::size_t>(message.lastNonBlank()));
    return start;
  };
  const double length = reach.length;
  if (!(length > 0.0) || !std::isfinite(length) || !(reach.slope != 0.0)) {
    AppendDoubleToString(message::kCungeInvalidReach.text, length,
                         message::kCungeInvalidReach.detail, message);
    AppendDoubleToString(message.view(), reach.slope, " ", message);
    return refuse(message::kCungeInvalidReach);
  }
  if (!normalFlow.serves(message)) return refuse(message::kCungeInvalid);
  const double dt = discretisation.computationInterval;
  const int subreaches = discretisation.subreachCount;
  if (!(dt > 0.0) || !std::isfinite(dt) || subreaches < 1 || subreaches > kMaxSubreachCount) {
    message.assign(message::kCungeState.text);
    return refuse(message::kCungeState);
  }
  const double depth = normalFlow(initialFlow, scheme.nodeStartDepth).depth;
  const auto nodes = static_cast<std::size_t>(subreaches) + 1;
  start.state.computationInterval = dt;
  start.state.subreachCount = subreaches;
  start.state.nodeFlows.assign(nodes, initialFlow);
  start.state.nodeDepths.assign(nodes, depth);
  start.state.lastInflow = firstInflow;
  return start;
}

}  // namespace

MuskingumCungeDiscretisation ChooseDiscretisation(const MuskingumCungeReach& reach,
                                                  std::int32_t intervalMinutes,
                                                  double referenceFlow) {
  char text[kPrivateMessageWidth] = {kBlank};
  const TextField message(text, kPrivateMessageWidth);
  MuskingumCungeDiscretisation d;
  WithSection(reach, message, [&](const auto& normalFlow, const MuskingumCungeScheme& scheme) {
    d = Discretise(normalFlow, scheme, reach, intervalMinutes, referenceFlow, message);
  });
  return d;
}

MuskingumCungeStart StartAtFlow(const MuskingumCungeReach& reach,
                                const MuskingumCungeDiscretisation& discretisation,
                                double initialFlow, double firstInflow) {
  std::array<char, Workspace::kMessageWidth> text;
  text.fill(kBlank);
  const TextField message(text.data(), static_cast<int>(text.size()));
  MuskingumCungeStart start;
  WithSection(reach, message, [&](const auto& normalFlow, const MuskingumCungeScheme& scheme) {
    start = StartNodes(normalFlow, scheme, reach, discretisation, initialFlow, firstInflow,
                       message);
  });
  return start;
}

MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           const FlowProfile& initial, Workspace& workspace,
                           const RouteOptions& options) {
  Scalars scalars;
  return RouteOneCall(reach, hydrograph, initial, workspace, options, scalars);
}

MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           Workspace& workspace, const RouteOptions& options) {
  return RouteContinued(reach, hydrograph, nullptr,
                        ChooseDiscretisation(reach, hydrograph.intervalMinutes), workspace,
                        options);
}

MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           const MuskingumCungeDiscretisation& discretisation,
                           Workspace& workspace, const RouteOptions& options) {
  return RouteContinued(reach, hydrograph, nullptr, discretisation, workspace, options);
}

MuskingumCungeResult Route(const MuskingumCungeReach& reach, const Hydrograph& hydrograph,
                           const MuskingumCungeStateView& start, Workspace& workspace,
                           const RouteOptions& options) {
  return RouteContinued(reach, hydrograph, &start, {}, workspace, options);
}

namespace {

// The fixed-width interface onto the API: counts the arrays cannot serve are refused with the
// routine's own checks (whose text names the counts as passed); otherwise the call goes
// through Route and the results it wrote are copied back.
void RouteFixedWidth(const MuskingumCungeReach& reach, const MuskingumCungeScheme& scheme,
                     std::int32_t intervalMinutes, std::int32_t initialFlowCount,
                     std::int32_t subreachesFromInitialFlows,
                     std::span<const double> initialFlows, std::span<double> finalFlows,
                     std::int32_t ordinateCount, std::span<const double> inflows,
                     std::span<const double> lateralInflows, std::span<double> outflows,
                     const MuskingumCungeResults& out) {
  const std::size_t n = static_cast<std::size_t>(std::max(ordinateCount, 0));
  const std::size_t m = static_cast<std::size_t>(std::max(initialFlowCount, 0));
  if (n < 1 || m < 1 || inflows.size() < n || lateralInflows.size() < n ||
      outflows.size() < n || initialFlows.size() < m || finalFlows.size() < m) {
    Report report;
    MuskingumCungeFlows flows{intervalMinutes, reach.length,   reach.slope,
                              initialFlowCount, subreachesFromInitialFlows, initialFlows,
                              finalFlows,       ordinateCount,  inflows,
                              lateralInflows,   outflows};
    Accept(flows, scheme, out, report);
    return;
  }
  Workspace workspace;
  Scalars scalars;
  const MuskingumCungeResult result = RouteOneCall(
      reach, {intervalMinutes, inflows.first(n), lateralInflows.first(n)},
      FlowProfile{initialFlows.first(m), subreachesFromInitialFlows != 0}, workspace,
      {{out.message.data(), static_cast<std::size_t>(out.message.width())}, outflows.first(n)},
      scalars);
  const MuskingumCungeDiagnostics& d = result.diagnostics;
  if (d.intervalWritten) out.computationInterval = d.computationInterval;
  if (d.subreachLengthWritten) out.subreachLength = d.subreachLength;
  if (d.initialStorageWritten) out.initialStorage = scalars.initialStorage;
  if (d.routed) {
    out.peakOutflow = d.peakOutflow;
    out.maxCelerity = d.maxCelerity;
    std::copy(result.finalFlows.begin(), result.finalFlows.end(), finalFlows.begin());
  }
  if (d.peakFound) out.peakTimeMinutes = d.peakTimeMinutes;
  // The routine's own figures, not the account's.
  out.finalStorage = scalars.finalStorage;
  out.inflowVolume = scalars.inflowVolume;
  out.outflowVolume = scalars.outflowVolume;
  out.status = result.status.code();
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
    TextField message) {
  EightPointSection section;
  std::copy(stations.begin(), stations.end(), section.stations.begin());
  std::copy(elevations.begin(), elevations.end(), section.elevations.begin());
  std::copy(manningN.begin(), manningN.end(), section.manningN.begin());
  MuskingumCungeResults::Written written;
  AccountFigures account;
  RouteFixedWidth({reachLength, channelSlope, section}, kEightPointScheme, intervalMinutes,
                  initialFlowCount, subreachesFromInitialFlows, initialFlows, finalFlows,
                  ordinateCount, inflows, lateralInflows, outflows,
                  {computationInterval, subreachLength, peakOutflow, peakTimeMinutes,
                   maxCelerity, initialStorage, finalStorage, inflowVolume, outflowVolume,
                   status, message, written, account});
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
    TextField message) {
  ChannelSection section = TrapezoidSection{bottomWidth, sideSlope, manningN};
  if (IsCircleShape(sectionShape)) section = CircleSection{bottomWidth, manningN};
  MuskingumCungeResults::Written written;
  AccountFigures account;
  RouteFixedWidth({reachLength, channelSlope, section}, kPrismScheme, intervalMinutes,
                  initialFlowCount, subreachesFromInitialFlows, initialFlows, finalFlows,
                  ordinateCount, inflows, lateralInflows, outflows,
                  {computationInterval, subreachLength, peakOutflow, peakTimeMinutes,
                   maxCelerity, initialStorage, finalStorage, inflowVolume, outflowVolume,
                   status, message, written, account});
}

}  // namespace tovalin
