// Variable-parameter Muskingum-Cunge routing of a hydrograph with lateral inflow through a
// reach described by one eight-point natural cross-section with three Manning roughnesses.
#pragma once

#include <cstdint>
#include <span>

#include "hydro/messages/text_field.h"

namespace tovalin {

// Routes inflows (plus lateralInflows along the reach) through a reach of length L divided
// into equal subreaches, at a computation interval chosen from the wave celerity and the rise
// of the inflow, and brings the outflow back onto the hydrograph's interval. Metric units
// (Manning coefficient 1).
//   intervalMinutes     interval of the hydrographs, minutes (>= 1)
//   reachLength         L, m (> 0, finite)
//   channelSlope        bed slope S, m/m (> 0 and finite)
//   stations, elevations, manningN   the eight-point section (see Conveyance8Point): finite
//                       points, stations in order, every n > 0 and finite
//   initialFlowCount    M (>= 1): initialFlows and finalFlows hold M flows, m3/s, at equally
//                       spaced points from the upstream to the downstream end
//   subreachesFromInitialFlows  non-zero: M - 1 subreaches (1 to 200); zero: from the celerity
//   ordinateCount       N (>= 1): inflows (m3/s), lateralInflows (m3/s per m) and outflows
//                       (m3/s) hold N ordinates
// Scalar results: computationInterval (s), subreachLength (m), peakOutflow (m3/s, 0 when no
// step exceeds 0), peakTimeMinutes (written only when a peak above 0 is found), maxCelerity
// (m/s), initialStorage and finalStorage (m3, trapezoidal sums of the node areas with both end
// nodes at half weight), inflowVolume and outflowVolume (m3).
// status: 0, or routine 15 with
//   1  (warning) a subreach did not settle within 20 passes in some step; routed all the same
//   11 (error)   working storage cannot be obtained, or the computation would need more than
//                2^25 steps (the three step series are then refused)
//   12 (error)   refused: interval below 1 minute, L not a positive finite length, S zero,
//                N or M below 1 or larger than their arrays ("Invalid Muskingum-Cunge
//                parameters: ..."); section data that cannot carry flow, whatever the flows
//                (the text of CheckSection8Point); a computation interval that is not
//                positive or needs more than 2^27 subreach-steps
// On message 12 every output is the undefined value: the N outflows, the M final flows and
// the nine scalar results. On message 11 outflows, inflowVolume, outflowVolume and
// finalStorage are; computationInterval and subreachLength are written once chosen,
// initialStorage once computed, and finalFlows, peakOutflow, peakTimeMinutes and maxCelerity
// are left as passed. Failures of the depth searches at particular flows (no convergence) are
// not errors here: their text stays in message unless this routine writes its own. An
// undefined inflow or lateral inflow makes the outflows undefined from the step it enters on.
// Not noexcept: an exception from inside (only the test build's fault seam throws one)
// reaches the caller, with the work arrays released.
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
    TextField message);

}  // namespace tovalin
