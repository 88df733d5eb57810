// Adapters for native callers: Muskingum-Cunge routing through an eight-point section, the
// normal depth in that section, and the resampling of a series between intervals. Arguments
// arrive by reference with the message length last and go on to the routines unchanged.
#include "tovalin/tovalin.h"
#include "hydro/hydraulics/section_8point.h"
#include "hydro/hydraulics/time_interval.h"
#include "native/adapter_calls.h"

using namespace tovalin::adapters;

extern "C" {

void RouteMuskingumCunge8Point_(
    const int* intervalMinutes, const double* reachLength, const double* channelSlope,
    const double* stations, const double* elevations, const double* manningN,
    const int* initialFlowCount, const int* subreachesFromInitialFlows,
    const double* initialFlows, double* finalFlows, const int* ordinateCount,
    const double* inflows, const double* lateralInflows, double* outflows,
    double* computationInterval, double* subreachLength, double* peakOutflow,
    double* peakTimeMinutes, double* maxCelerity, double* initialStorage,
    double* finalStorage, double* inflowVolume, double* outflowVolume, int* status,
    char* message, int messageLength) {
  Guarded(
      "RouteMuskingumCunge8Point_", tovalin::routine::kRouteMuskingumCunge8Point, status,
      message, messageLength,
      [&] {
        CallRouteMuskingumCunge8Point(
            intervalMinutes, reachLength, channelSlope, stations, elevations, manningN,
            initialFlowCount, subreachesFromInitialFlows, initialFlows, finalFlows,
            ordinateCount, inflows, lateralInflows, outflows, computationInterval,
            subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, initialStorage,
            finalStorage, inflowVolume, outflowVolume, status, message, messageLength);
      },
      [&]() noexcept {
        UndefineCungeResults(Out(outflows, *ordinateCount), Out(finalFlows, *initialFlowCount),
                             {computationInterval, subreachLength, peakOutflow,
                              peakTimeMinutes, maxCelerity, initialStorage, finalStorage,
                              inflowVolume, outflowVolume});
      });
}

// The depth search and the resampling do nothing that can throw: no guard.
void channeldepth8point_(const double* channelSlope, const double* stations,
                         const double* elevations, const double* manningN, const double* flow,
                         const double* initialDepth, double* depth, double* flowArea,
                         double* topWidth, double* celerity, int* status, char* message,
                         int messageLength) {
  tovalin::ChannelDepth8Point(*channelSlope, Points(stations), Points(elevations),
                              Roughness(manningN), *flow, *initialDepth, *depth, *flowArea,
                              *topWidth, *celerity, *status, Text(message, messageLength));
}

void changetimeinterval_(const double* oldInterval, const double* newInterval,
                         const int* oldCount, const int* newCount, const double* oldSeries,
                         double* newSeries) {
  tovalin::ChangeTimeInterval(*oldInterval, *newInterval, *oldCount, *newCount,
                              In(oldSeries, *oldCount), Out(newSeries, *newCount));
}

}  // extern "C"
