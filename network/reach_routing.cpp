// Routing of one reach over a run through the routing core, and its volume account:
// trapezoidal volumes over the ordinates (dt in seconds) and storages from each method's own
// relation, S = K (x I + (1 - x) O) per Muskingum step, the storage-outflow table per Puls
// step, the routine's node storages for Muskingum-Cunge.
#include "network/reach_routing.h"

#include <algorithm>
#include <cmath>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/messages/text_field.h"
#include "hydro/routing/muskingum.h"
#include "hydro/routing/muskingum_cunge_8point.h"
#include "hydro/routing/muskingum_cunge_prism.h"
#include "hydro/routing/puls_channel.h"

namespace tovalin::network {
namespace {

constexpr double kSecondsPerMinute = 60.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr std::string_view kCircle = "CIRCLE";
constexpr std::string_view kTrapezoid = "TRAPEZOID";

// Sum of two flows; undefined when either is.
double AddFlows(double a, double b) noexcept {
  return isUndefinedDbl(a) || isUndefinedDbl(b) ? undefinedDbl() : a + b;
}

// Trapezoidal volume of a hydrograph at interval dt (s); undefined when an ordinate is.
double Volume(std::span<const double> flows, double dt) noexcept {
  double volume = 0.0;
  for (std::size_t t = 1; t < flows.size(); ++t) {
    if (isUndefinedDbl(flows[t - 1]) || isUndefinedDbl(flows[t])) return undefinedDbl();
    volume += (flows[t - 1] + flows[t]) * 0.5 * dt;
  }
  return volume;
}

// Storage of a reach of Muskingum steps: sum over steps of (K/n) (x I + (1 - x) O), each
// step's inflow being the previous step's outflow, in m3 (K in hours).
double MuskingumStorage(const Reach& reach, double inflow, std::span<const double> stepOutflows) {
  const double stepK = reach.muskingumK / reach.stepCount * kSecondsPerHour;
  double storage = 0.0;
  double stepInflow = inflow;
  for (double outflow : stepOutflows) {
    storage += stepK * (reach.muskingumX * stepInflow + (1.0 - reach.muskingumX) * outflow);
    stepInflow = outflow;
  }
  return storage;
}

// Storage of a reach of Puls steps: the tabulated storage at each step's outflow (linear
// between pairs, the end pairs beyond the table), 1/n of it per step.
double PulsStorage(const Network& network, const Reach& reach,
                   std::span<const double> stepOutflows) {
  const auto first = static_cast<std::size_t>(reach.tableStart);
  const std::span<const double> outflow(network.outflowTable.data() + first, reach.tableCount);
  const std::span<const double> storage(network.storageTable.data() + first, reach.tableCount);
  double total = 0.0;
  for (double q : stepOutflows) {
    if (isUndefinedDbl(q)) return undefinedDbl();
    std::size_t i = 1;
    while (i + 1 < outflow.size() && outflow[i] < q) ++i;
    const double span = outflow[i] - outflow[i - 1];
    const double f = span > 0.0 ? (q - outflow[i - 1]) / span : 0.0;
    total += (storage[i - 1] + f * (storage[i] - storage[i - 1])) / reach.stepCount;
  }
  return total;
}

void DecodeStatus(std::int32_t status, ReachOutcome& outcome) {
  FixedText<32> name;
  std::int32_t number = 0, severity = 0;
  DecodeErrorCode(status, name.field(), number, severity);
  outcome.routine = status == 0 ? 0 : status / 512;
  outcome.messageNumber = number;
  outcome.severity = severity;
}

std::int32_t RoutineOf(Method method) noexcept {
  switch (method) {
    case Method::kMuskingum: return routine::kRouteMuskingum;
    case Method::kPuls: return routine::kRoutePulsChannel;
    case Method::kPulsWithLoss: return routine::kRoutePulsChannelWithLoss;
    case Method::kMuskingumCunge8Point: return routine::kRouteMuskingumCunge8Point;
    case Method::kMuskingumCungePrism: return routine::kRouteMuskingumCungePrism;
  }
  return 0;
}

}  // namespace

std::int32_t StateCount(const Reach& reach, std::int32_t) noexcept {
  switch (reach.method) {
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism:
      return kProfilePoints;
    default:
      return reach.stepCount;
  }
}

ReachOutcome RouteReach(const Network& network, const Reach& reach,
                        std::int32_t intervalMinutes,
                        std::span<const double> upstreamInflows,
                        std::span<const double> lateralInflows, std::span<double> outflows,
                        ReachState& state, ReachWorkspace& workspace) {
  ReachOutcome outcome;
  const std::size_t n = upstreamInflows.size();
  const auto ordinates = static_cast<std::int32_t>(n);
  const double dt = intervalMinutes * kSecondsPerMinute;
  const bool cunge = reach.method == Method::kMuskingumCunge8Point ||
                     reach.method == Method::kMuskingumCungePrism;
  const auto stateCount = static_cast<std::size_t>(StateCount(reach, 0));

  // The reach's total inflow: for Muskingum and Puls the lateral inflow joins the upstream
  // inflow; for Muskingum-Cunge it enters along the reach, per metre.
  std::vector<double>& inflows = workspace.inflows;
  inflows.resize(n);
  for (std::size_t t = 0; t < n; ++t) inflows[t] = AddFlows(upstreamInflows[t], lateralInflows[t]);
  outcome.inflowVolume = Volume(inflows, dt);

  std::vector<double>& states = state.values;
  if (!states.empty() && n > 0 && !(inflows[0] == state.lastInflow ||
                                     (isUndefinedDbl(inflows[0]) && isUndefinedDbl(state.lastInflow)))) {
    outcome.routine = RoutineOf(reach.method);
    outcome.messageNumber = kMessageStateMismatch;
    outcome.severity = kSeverityError;
    outcome.message = "The first inflow differs from the restart's last inflow.";
    std::fill(outflows.begin(), outflows.end(), undefinedDbl());
    outcome.inflowVolume = outcome.outflowVolume = outcome.balanceError = undefinedDbl();
    outcome.storageStart = outcome.storageEnd = undefinedDbl();
    outcome.computationInterval = outcome.courantMin = outcome.courantMax = undefinedDbl();
    std::fill(states.begin(), states.end(), undefinedDbl());
    return outcome;
  }
  // Cold start: steady flow from the first inflow; a Muskingum-Cunge profile rises linearly
  // from the upstream inflow to the upstream plus the lateral inflow, as steady flow does.
  if (states.size() != stateCount) {
    states.assign(stateCount, n > 0 ? inflows[0] : 0.0);
    if (cunge && n > 0) {
      for (std::size_t p = 0; p < stateCount; ++p) {
        const double fraction = static_cast<double>(p) / static_cast<double>(stateCount - 1);
        states[p] = isUndefinedDbl(upstreamInflows[0]) || isUndefinedDbl(lateralInflows[0])
                        ? undefinedDbl()
                        : upstreamInflows[0] + fraction * lateralInflows[0];
      }
    }
  }
  std::vector<double>& finals = workspace.finalStates;
  finals.assign(stateCount, 0.0);

  FixedText<kMessageWidth> message;
  std::int32_t status = 0;
  const std::size_t firstTable = static_cast<std::size_t>(reach.tableStart);
  const auto table = [&](const std::vector<double>& flat) {
    return std::span<const double>(flat.data() + firstTable, reach.tableCount);
  };
  switch (reach.method) {
    case Method::kMuskingum:
      RouteMuskingum(intervalMinutes, reach.muskingumK, reach.muskingumX, reach.stepCount,
                     states, finals, ordinates, inflows, outflows, status, message.field());
      outcome.storageStart = MuskingumStorage(reach, n ? inflows[0] : 0.0, states);
      outcome.storageEnd = MuskingumStorage(reach, n ? inflows[n - 1] : 0.0, finals);
      break;
    case Method::kPuls:
    case Method::kPulsWithLoss:
      if (reach.method == Method::kPuls) {
        RoutePulsChannel(intervalMinutes, reach.tableCount, table(network.storageTable),
                         table(network.outflowTable), reach.stepCount, states, finals,
                         ordinates, inflows, outflows, status, message.field());
      } else {
        RoutePulsChannelWithLoss(intervalMinutes, reach.tableCount,
                                 table(network.storageTable), table(network.outflowTable),
                                 table(network.elevationTable), reach.lossElevation,
                                 reach.lossRate, reach.stepCount, states, finals, ordinates,
                                 inflows, outflows, status, message.field());
      }
      outcome.storageStart = PulsStorage(network, reach, states);
      outcome.storageEnd = PulsStorage(network, reach, finals);
      break;
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism: {
      std::vector<double>& lateral = workspace.lateralPerMetre;
      lateral.resize(n);
      for (std::size_t t = 0; t < n; ++t)
        lateral[t] = isUndefinedDbl(lateralInflows[t]) ? undefinedDbl()
                                                       : lateralInflows[t] / reach.reachLength;
      double interval = undefinedDbl(), subreachLength = undefinedDbl(), peak = 0.0,
             peakTime = 0.0, celerity = undefinedDbl(), inflowVolume = 0.0, outflowVolume = 0.0;
      if (reach.method == Method::kMuskingumCunge8Point) {
        const double* points = network.sectionStations.data() + reach.sectionStart;
        const double* heights = network.sectionElevations.data() + reach.sectionStart;
        const double roughness[3] = {reach.leftOverbankManningN, reach.manningN,
                                     reach.rightOverbankManningN};
        RouteMuskingumCunge8Point(
            intervalMinutes, reach.reachLength, reach.channelSlope,
            std::span<const double, 8>(points, 8), std::span<const double, 8>(heights, 8),
            std::span<const double, 3>(roughness, 3), kProfilePoints, 0, states, finals,
            ordinates, upstreamInflows, lateral, outflows, interval, subreachLength, peak,
            peakTime, celerity, outcome.storageStart, outcome.storageEnd, inflowVolume,
            outflowVolume, status, message.field());
      } else {
        RouteMuskingumCungePrism(
            intervalMinutes, reach.reachLength, reach.channelSlope, reach.manningN,
            reach.circle ? kCircle : kTrapezoid, reach.bottomWidth, reach.sideSlope,
            kProfilePoints, 0, states, finals, ordinates, upstreamInflows, lateral, outflows,
            interval, subreachLength, peak, peakTime, celerity, outcome.storageStart,
            outcome.storageEnd, inflowVolume, outflowVolume, status, message.field());
      }
      outcome.computationInterval = interval;
      const bool chosen = !isUndefinedDbl(interval) && !isUndefinedDbl(subreachLength) &&
                          subreachLength > 0.0;
      outcome.subreachCount =
          chosen ? static_cast<std::int32_t>(std::lround(reach.reachLength / subreachLength)) : 0;
      outcome.courantMax = chosen && !isUndefinedDbl(celerity)
                               ? celerity * interval / subreachLength
                               : undefinedDbl();
      break;
    }
  }
  // The routing core reports neither the smallest Courant number nor the channel loss.
  outcome.courantMin = undefinedDbl();
  outcome.loss = reach.method == Method::kPulsWithLoss ? undefinedDbl() : 0.0;
  if (!cunge) {
    outcome.computationInterval = undefinedDbl();
    outcome.courantMax = undefinedDbl();
  }
  DecodeStatus(status, outcome);
  if (outcome.routine != 0) outcome.message = std::string(message.trimmed());
  states.swap(finals);
  state.lastInflow = n > 0 ? inflows[n - 1] : 0.0;
  state.computationInterval = cunge ? outcome.computationInterval : 0.0;
  state.subreachCount = outcome.subreachCount;

  outcome.outflowVolume = Volume(outflows.first(n), dt);
  const double in = outcome.inflowVolume, out = outcome.outflowVolume;
  const double s0 = outcome.storageStart, s1 = outcome.storageEnd;
  if (isUndefinedDbl(in) || isUndefinedDbl(out) || isUndefinedDbl(s0) || isUndefinedDbl(s1)) {
    outcome.balanceError = undefinedDbl();
  } else {
    const double residual = in - out - (s1 - s0);
    outcome.balanceError = in != 0.0 ? residual / in : residual;
  }
  return outcome;
}

}  // namespace tovalin::network
