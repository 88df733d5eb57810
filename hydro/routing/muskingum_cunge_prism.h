// Variable-parameter Muskingum-Cunge routing of a hydrograph with lateral inflow through a
// reach of uniform trapezoidal section, or through a circular conduit.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "hydro/messages/text_field.h"

namespace tovalin {

// True when a section-shape text selects the circular conduit: "CIRCLE" in upper case followed
// by nothing but blanks. Any other text is a trapezoid.
bool IsCircleShape(std::string_view sectionShape) noexcept;

// Routes inflows (plus lateralInflows along the reach) through a reach of length L divided
// into equal subreaches, at a computation interval chosen from the wave celerity, and brings
// the outflow back onto the hydrograph's interval. Metric units (Manning coefficient 1).
//   intervalMinutes     interval of the hydrographs, minutes (>= 1)
//   reachLength         L, m (> 0, finite)
//   channelSlope        bed slope S, m/m (> 0 and finite)
//   manningN            Manning's n (> 0 and finite)
//   sectionShape        "CIRCLE" (then bottomWidth is the diameter), otherwise a trapezoid
//   bottomWidth         bottom width b (>= 0) or diameter (> 0), m, finite
//   sideSlope           z of the trapezoid (>= 0, finite; not both b and z 0)
//   initialFlowCount    M (>= 1): initialFlows and finalFlows hold M flows, m3/s, equally
//                       spaced from the upstream to the downstream end
//   subreachesFromInitialFlows  true: M - 1 subreaches (at least 1); false: from the celerity
//   ordinateCount       N (>= 1): inflows (m3/s), lateralInflows (m3/s per m) and outflows
//                       (m3/s) hold N ordinates
// Scalar results: computationInterval (s), subreachLength (m), peakOutflow (m3/s),
// peakTimeMinutes (written only when a peak above 0 is found), maxCelerity (m/s),
// initialStorage and finalStorage (m3, trapezoidal sums over the nodes, both end nodes at
// half weight), inflowVolume and outflowVolume (m3).
// status: 0, or routine 16 with
//   1  (warning) a subreach did not settle in 20 passes in some period; routed all the same
//   11 (error)   working storage cannot be obtained, or the computation would need more
//                than 2^25 steps (the three step series are then refused)
//   12 (error)   refused: interval below 1 minute, L not a positive finite length, S zero,
//                N or M below 1 or larger than their arrays ("Invalid Muskingum-Cunge
//                parameters: ..."); section data that cannot carry flow, whatever the flows
//                (the text of CheckTrapezoid or CheckConduit); a computation interval that is
//                not positive (an infinite celerity) or needs more than 2^27 subreach-steps
// On message 12 every output is the undefined value: the N outflows, the M final flows and
// the nine scalar results. On message 11 outflows, inflowVolume, outflowVolume and
// finalStorage are, and finalFlows, peakOutflow, peakTimeMinutes and maxCelerity are left as
// passed. Warnings of the depth computations at particular flows (no convergence, a conduit
// beyond its area limit) are not errors here: their text stays in message unless this
// routine writes its own. An undefined inflow or lateral inflow makes the outflows undefined
// from the period it enters on. Not noexcept: an exception from inside (only the test build's
// fault seam throws one) reaches the caller, with the work arrays released.
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
    TextField message);

}  // namespace tovalin
