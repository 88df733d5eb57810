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
#include <new>
#include <string_view>
#include <vector>

#include "hydro/hydraulics/interpolate_linear.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
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

constexpr int kMessageStorageLookup = 12;
constexpr int kMessageElevationLookup = 13;
constexpr int kMessageInvalidParameters = 14;

constexpr std::string_view kNoStorageSentence = "Cannot allocate memory for dynamic arrays.";
static_assert(kNoStorageSentence.starts_with(kNoStorageText));
constexpr std::string_view kStorageOutflowLine = "Error in Storage-Outflow interpolation.";
constexpr std::string_view kOutflowElevationLine = "Error in Outflow-Elevation interpolation.";
constexpr std::string_view kStorageElevationLine = "Error in Storage-Elevation interpolation.";
constexpr std::string_view kInvalidLabel = "Invalid Modified Puls parameters: interval =";
constexpr std::string_view kInvalidJoint = " minutes, number of steps =";
constexpr std::string_view kClosingTrailer = " ";

struct ChannelLoss {
  double elevation;  // elevation above which the loss acts, length unit
  double rate;       // loss per unit of area, length unit per second
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

  // One value looked up in the table x -> y. A failure records its message number and puts
  // its line in front of the text the lookup wrote; the result is then the undefined value.
  double lookUp(std::span<const double> x, std::span<const double> y, double value, int number,
                std::string_view line) const noexcept {
    const double result = InterpolateLinearValue(x, y, value, status, message);
    if (status > 0) [[unlikely]] {
      report.error(number);
      PrependLineToMessage(line, message.view(), message);
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
                                      kMessageElevationLookup, kOutflowElevationLine) -
                         loss.elevation;
    if (depth > 0.0) {
      const double storage = reach.lookUp(reach.outflow, reach.storage, outflow,
                                          kMessageStorageLookup, kStorageOutflowLine);
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
                                    kMessageElevationLookup, kStorageElevationLine) -
                       loss.elevation;
  if (!(depth > 0.0)) return 0.0;
  // S = (SI - Q/2) dt, computed as (Q * -0.5 + SI) / (1/dt)
  const double storage = (outflow * -kHalf + indicator) / reach.inverseInterval;
  // L = S / D * rate
  return storage / depth * loss.rate;
}

// Routes the working hydrograph through one step: on entry it holds the inflow to the step,
// on return the step's outflow (net of the loss, when there is one). Returns the step's
// (gross) outflow at the last ordinate.
template <bool kWithLoss>
double RouteStep(const Reach& reach, ChannelLoss loss, double initialOutflow,
                 std::span<double> hydrograph) noexcept {
  const double undefined = undefinedDbl();
  double inflow1 = undefined;
  if (!hydrograph.empty()) {
    inflow1 = hydrograph[0];
    hydrograph[0] = initialOutflow;
  }
  double outflow = initialOutflow;
  if constexpr (kWithLoss) outflow = InitialGrossOutflow(reach, loss, initialOutflow);
  double indicator = reach.lookUp(reach.outflow, reach.indicator, outflow,
                                  kMessageStorageLookup, kStorageOutflowLine);

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
      outflow = reach.lookUp(reach.indicator, reach.outflow, indicator, kMessageStorageLookup,
                             kStorageOutflowLine);
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
    } else {
      hydrograph[t] = outflow;
    }
    inflow1 = inflow2;
    inflow1Defined = inflow2Defined;
  }
  return outflow;
}

// Number of elements of a span a count covers: count, limited to the span, 0 below 1.
std::size_t Covered(std::int32_t count, std::size_t available) noexcept {
  return count < 1 ? 0 : std::min(static_cast<std::size_t>(count), available);
}

// One routing call: checks the divisors, obtains the working table, routes every step and
// packs the status. elevation is empty for routing without loss.
template <bool kWithLoss>
void RouteCall(int routineNumber, std::int32_t intervalMinutes, std::int32_t pairCount,
               std::span<const double> storage, std::span<const double> outflow,
               std::span<const double> elevation, ChannelLoss loss, std::int32_t stepCount,
               std::span<const double> initialStepOutflows,
               std::span<double> finalStepOutflows, std::int32_t ordinateCount,
               std::span<const double> inflows, std::span<double> outflows,
               std::int32_t& status, TextField message) {
  Report report;
  std::size_t pairs = Covered(pairCount, std::min(storage.size(), outflow.size()));
  if constexpr (kWithLoss) pairs = std::min(pairs, elevation.size());
  storage = storage.first(pairs);
  outflow = outflow.first(pairs);
  if constexpr (kWithLoss) elevation = elevation.first(pairs);
  std::span<double> hydrograph =
      outflows.first(Covered(ordinateCount, std::min(inflows.size(), outflows.size())));
  std::span<double> finals = finalStepOutflows.first(Covered(stepCount, finalStepOutflows.size()));

  // A call that routes nothing leaves every outflow undefined.
  auto abandon = [&](int number) {
    report.error(number);
    std::fill(hydrograph.begin(), hydrograph.end(), undefinedDbl());
    std::fill(finals.begin(), finals.end(), undefinedDbl());
    status = report.status(routineNumber);
  };

  // The interval and the step count are divisors.
  if (intervalMinutes < 1 || stepCount < 1) {
    AppendIntegerToString(kInvalidLabel, intervalMinutes, kInvalidJoint, message);
    AppendIntegerToString(message.view(), stepCount, kClosingTrailer, message);
    abandon(kMessageInvalidParameters);
    return;
  }
  std::vector<double> indicator;
  try {
    indicator.resize(pairs);
  } catch (const std::bad_alloc&) {
    message.assign(kNoStorageSentence);
    abandon(kMessageNoStorage);
    return;
  }
  FaultSeam(inflows);

  // inflows may be the outflow array itself.
  if (!hydrograph.empty())
    std::memmove(hydrograph.data(), inflows.data(), hydrograph.size_bytes());

  // dt = minutes * (1/60) * 3600 seconds
  const double interval = static_cast<double>(intervalMinutes) * kHoursPerMinute * kSecondsPerHour;
  const double inverseInterval = 1.0 / interval;
  const double steps = static_cast<double>(stepCount);
  for (std::size_t j = 0; j < pairs; ++j) {
    // SI = S / n * (1/dt) + 0.5 O: half of 2S/dt + O for the storage of one step
    indicator[j] = storage[j] / steps * inverseInterval + kHalf * outflow[j];
  }

  const Reach reach{storage, outflow, elevation, indicator, inverseInterval, status, message,
                    report};
  const std::size_t routedSteps = std::min(finals.size(), initialStepOutflows.size());
  for (std::size_t s = 0; s < routedSteps; ++s)
    finals[s] = RouteStep<kWithLoss>(reach, loss, initialStepOutflows[s], hydrograph);
  status = report.status(routineNumber);
}

}  // namespace

void RoutePulsChannel(std::int32_t intervalMinutes, std::int32_t pairCount,
                      std::span<const double> storageTable, std::span<const double> outflowTable,
                      std::int32_t stepCount, std::span<const double> initialStepOutflows,
                      std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                      std::span<const double> inflows, std::span<double> outflows,
                      std::int32_t& status, TextField message) {
  RouteCall<false>(routine::kRoutePulsChannel, intervalMinutes, pairCount, storageTable,
                   outflowTable, {}, ChannelLoss{}, stepCount, initialStepOutflows,
                   finalStepOutflows, ordinateCount, inflows, outflows, status, message);
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
  RouteCall<true>(routine::kRoutePulsChannelWithLoss, intervalMinutes, pairCount, storageTable,
                  outflowTable, elevationTable, ChannelLoss{lossElevation, lossRate}, stepCount,
                  initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows,
                  status, message);
}

}  // namespace tovalin
