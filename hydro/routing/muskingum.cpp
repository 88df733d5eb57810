// Muskingum routing (McCarthy's method, e.g. Chow, Maidment & Mays, Applied Hydrology, 8.4):
// the storage S = K (x I + (1 - x) O) of each step, discretised over the interval dt, gives
// O2 = C0 I2 + C1 I1 + C2 O1. Here Cb = C0, Ca - Cb = C1 and 1 - Ca = C2, so that
// O2 = (Ca - Cb) I1 + (1 - Ca) O1 + Cb I2. K and dt in hours; flows in any one unit.
#include "hydro/routing/muskingum.h"

#include <algorithm>
#include <string_view>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/fault_seam.h"

namespace tovalin {
namespace {

// The double nearest to 1/60: minutes to hours.
constexpr double kHoursPerMinute = 0.016666666666666666;
constexpr double kLargestWeight = 0.5;

constexpr int kMessageUnstable = 1;
constexpr int kMessageInvalid = 12;
constexpr std::string_view kUnstableText = "Muskingum routing is unstable with the given parameters.";

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

// Routes the working hydrograph (inflow to the step on entry, its outflow on return) through
// one step starting from initialOutflow; returns the step's last outflow.
double RouteStep(Coefficients c, double initialOutflow, std::span<double> hydrograph) noexcept {
  if (hydrograph.empty()) return initialOutflow;
  const double undefined = undefinedDbl();
  const double previousWeight = c.ca - c.cb;
  const double outflowWeight = 1.0 - c.ca;
  double inflow1 = hydrograph[0];
  double outflow1 = initialOutflow;
  hydrograph[0] = outflow1;
  for (std::size_t t = 1; t < hydrograph.size(); ++t) {
    const double inflow2 = hydrograph[t];
    double outflow2;
    if (isUndefinedDbl(inflow1) || isUndefinedDbl(inflow2) || isUndefinedDbl(outflow1)) {
      outflow2 = undefined;
    } else {
      // O2 = (Ca - Cb) I1 + (1 - Ca) O1 + Cb I2, evaluated left to right.
      outflow2 = previousWeight * inflow1 + outflowWeight * outflow1 + c.cb * inflow2;
    }
    hydrograph[t] = outflow2;
    inflow1 = inflow2;
    outflow1 = outflow2;
  }
  return outflow1;
}

}  // namespace

void RouteMuskingum(std::int32_t intervalMinutes, double muskingumK, double muskingumX,
                    std::int32_t stepCount, std::span<const double> initialStepOutflows,
                    std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                    std::span<const double> inflows, std::span<double> outflows,
                    std::int32_t& status, TextField message) {
  Report report;
  const double dt = intervalMinutes * kHoursPerMinute;
  const double k = muskingumK;
  const double x = muskingumX;

  // A value that is not a number compares false and passes these checks.
  const bool invalid = dt <= 0.0 || k <= 0.0 || stepCount < 1 || x < 0.0 || x > kLargestWeight;
  Coefficients c{};
  if (invalid) {
    report.error(kMessageInvalid);
    AppendDoubleToString("Invalid Muskingum parameters: K = ", k, ", x = ", message);
    AppendDoubleToString(message.view(), x, ", Number of reaches = ", message);
    AppendIntegerToString(message.view(), stepCount, " ", message);
  } else {
    c = MuskingumCoefficients(dt, k, x, stepCount);
    // Stable when Ca <= 1 and Cb >= 0; a coefficient that is not a number is unstable.
    if (!(c.ca <= 1.0 && c.cb >= 0.0)) {
      report.warning(kMessageUnstable);
      message.assign(kUnstableText);
    }
  }

  const std::size_t ordinates = static_cast<std::size_t>(std::max(ordinateCount, 0));
  const std::size_t steps = static_cast<std::size_t>(std::max(stepCount, 0));
  std::span<double> hydrograph = outflows.first(std::min(ordinates, outflows.size()));
  std::span<double> finals = finalStepOutflows.first(std::min(steps, finalStepOutflows.size()));

  if (report.failed()) {
    std::fill(hydrograph.begin(), hydrograph.end(), undefinedDbl());
    std::fill(finals.begin(), finals.end(), undefinedDbl());
  } else {
    FaultSeam(inflows);
    std::copy_n(inflows.begin(), std::min(hydrograph.size(), inflows.size()), hydrograph.begin());
    const std::size_t routedSteps = std::min(finals.size(), initialStepOutflows.size());
    for (std::size_t s = 0; s < routedSteps; ++s)
      finals[s] = RouteStep(c, initialStepOutflows[s], hydrograph);
  }
  status = report.status(routine::kRouteMuskingum);
}

}  // namespace tovalin
