// Modified Puls (storage-indication) routing of an inflow hydrograph through a reach of
// stepCount equal steps described by a storage-outflow table, with or without a channel loss.
#pragma once

#include <cstdint>
#include <span>

#include "hydro/messages/text_field.h"

namespace tovalin {

// Routes inflows through stepCount steps, each holding 1/stepCount of the tabulated storage,
// one step after the other, by 2S2/dt + O2 = I1 + I2 + 2S1/dt - O1.
//   intervalMinutes       interval of the hydrographs, whole minutes (>= 1); the interval in
//                         seconds is intervalMinutes * (1/60 in single precision) * 3600
//   pairCount             number of storage-outflow pairs; storageTable (storage of the whole
//                         reach, flow unit x seconds) and outflowTable (flow unit) hold that
//                         many, both ascending
//   stepCount             number of steps (>= 1); initialStepOutflows (each step's outflow at
//                         the first ordinate) and finalStepOutflows (at the last) hold that many
//   ordinateCount         number of ordinates; inflows and outflows hold that many
// status: 0, or routine 17 with severity 4 and message number
//   11  the working table cannot be allocated: message "Cannot allocate memory for dynamic
//       arrays.", outflows and finalStepOutflows undefined, nothing routed;
//   12  a table lookup failed: the lookup's text with "Error in Storage-Outflow
//       interpolation." in front (the latest failure); the ordinate's outflow is 0 and
//       routing goes on; a pairCount below 1 fails every lookup;
//   14  intervalMinutes or stepCount below 1: message "Invalid Modified Puls parameters:
//       ...", outflows and finalStepOutflows undefined, nothing routed.
// message is left as passed when nothing is reported. An undefined inflow makes the outflows
// of every step undefined from that ordinate on. With ordinateCount < 1 nothing is written to
// outflows and each final step outflow is its initial one. Spans shorter than their counts
// limit the pairs, steps and ordinates used. Not noexcept: an exception from inside (only the
// test build's fault seam throws one) reaches the caller, with the working table released.
void RoutePulsChannel(std::int32_t intervalMinutes, std::int32_t pairCount,
                      std::span<const double> storageTable, std::span<const double> outflowTable,
                      std::int32_t stepCount, std::span<const double> initialStepOutflows,
                      std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                      std::span<const double> inflows, std::span<double> outflows,
                      std::int32_t& status, TextField message);

// Routes inflows as RoutePulsChannel does and, in every period, takes the channel loss
// L = S / D * lossRate off each step's outflow while the water surface E stands above
// lossElevation (D = E - lossElevation > 0; S the step's storage).
//   elevationTable        water-surface elevation of each pair (length unit)
//   lossElevation         elevation above which the loss acts (length unit)
//   lossRate              loss per unit of area storage / depth (length unit per second)
//   initialStepOutflows   net outflow of each step at the first ordinate; the step's gross
//                         outflow is found from it in at most ten passes of Q = O + L(Q)
//   finalStepOutflows     gross outflow (before the loss) of each step at the last ordinate
//   outflows              net outflow hydrograph (gross less loss, never below 0)
// status: 0, or routine 18 with severity 4 and message number 11 (no working table), 12 (a
// storage lookup failed: "Error in Storage-Outflow interpolation." in front of its text), 13
// (an elevation lookup failed: "Error in Outflow-Elevation interpolation." or "Error in
// Storage-Elevation interpolation." in front; no loss for that pass or period) or 14
// (intervalMinutes or stepCount below 1), as for RoutePulsChannel. A failed outflow lookup
// makes the step's outflows undefined from that ordinate on. With ordinateCount < 1 nothing
// is written to outflows and each final step outflow is the step's initial gross outflow.
void RoutePulsChannelWithLoss(std::int32_t intervalMinutes, std::int32_t pairCount,
                              std::span<const double> storageTable,
                              std::span<const double> outflowTable,
                              std::span<const double> elevationTable, double lossElevation,
                              double lossRate, std::int32_t stepCount,
                              std::span<const double> initialStepOutflows,
                              std::span<double> finalStepOutflows, std::int32_t ordinateCount,
                              std::span<const double> inflows, std::span<double> outflows,
                              std::int32_t& status, TextField message);

}  // namespace tovalin
