// Muskingum routing of an inflow hydrograph through a reach of stepCount equal steps.
#pragma once

#include <cstdint>
#include <span>

#include "hydro/messages/text_field.h"

namespace tovalin {

// Routes inflows through stepCount Muskingum steps, each with storage constant K/stepCount
// (hours) and weighting factor x, one step after the other.
//   intervalMinutes       interval of the hydrographs, minutes (> 0)
//   muskingumK            storage constant K of the whole reach, hours (> 0)
//   muskingumX            weighting factor x, 0 to 0.5
//   stepCount             number of steps (>= 1); initialStepOutflows and finalStepOutflows
//                         hold one flow per step (spans of stepCount elements)
//   ordinateCount         number of ordinates; inflows and outflows hold that many
// Outflows come out in the unit of the inflows. status: 0, or routine 14 with message 12
// (invalid parameters: outflows and finalStepOutflows undefined, message built from K, x and
// stepCount) or message 1 (unstable coefficients: routed all the same). message is left as
// passed when nothing is reported. An undefined inflow or step outflow makes the outflows
// undefined from that ordinate on. With ordinateCount < 1 nothing is written to outflows and
// each final step outflow is its initial one. A translator onto the C++ API's Route. Not
// noexcept: an exception from inside (only the test build's fault seam throws one) reaches
// the caller.
void RouteMuskingum(std::int32_t intervalMinutes, double muskingumK, double muskingumX,
                    std::int32_t stepCount, std::span<const double> initialStepOutflows,
                    std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                    std::span<const double> inflows, std::span<double> outflows,
                    std::int32_t& status, TextField message);

}  // namespace tovalin
