// Adapters for native callers: Muskingum-Cunge routing through a trapezoid or a conduit, and
// the normal depth in both sections. Arguments arrive by reference with the text lengths
// last (the message's, then the section shape's) and go on to the routines unchanged.
#include "tovalin/tovalin.h"
#include "hydro/hydraulics/depth_prism.h"
#include "native/adapter_calls.h"

using namespace tovalin::adapters;

extern "C" {

void RouteMuskingumCungePrism_(
    const int* intervalMinutes, const double* reachLength, const double* channelSlope,
    const double* manningN, const char* sectionShape, const double* bottomWidth,
    const double* sideSlope, const int* initialFlowCount,
    const int* subreachesFromInitialFlows, const double* initialFlows, double* finalFlows,
    const int* ordinateCount, const double* inflows, const double* lateralInflows,
    double* outflows, double* computationInterval, double* subreachLength,
    double* peakOutflow, double* peakTimeMinutes, double* maxCelerity,
    double* initialStorage, double* finalStorage, double* inflowVolume,
    double* outflowVolume, int* status, char* message, int messageLength,
    int sectionShapeLength) {
  Guarded(
      "RouteMuskingumCungePrism_", tovalin::routine::kRouteMuskingumCungePrism, status,
      message, messageLength,
      [&] {
        CallRouteMuskingumCungePrism(
            intervalMinutes, reachLength, channelSlope, manningN, sectionShape, bottomWidth,
            sideSlope, initialFlowCount, subreachesFromInitialFlows, initialFlows, finalFlows,
            ordinateCount, inflows, lateralInflows, outflows, computationInterval,
            subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, initialStorage,
            finalStorage, inflowVolume, outflowVolume, status, message, messageLength,
            sectionShapeLength);
      },
      [&]() noexcept {
        UndefineCungeResults(Out(outflows, *ordinateCount), Out(finalFlows, *initialFlowCount),
                             {computationInterval, subreachLength, peakOutflow,
                              peakTimeMinutes, maxCelerity, initialStorage, finalStorage,
                              inflowVolume, outflowVolume});
      });
}

// The depth routines do nothing that can throw: no guard.
void channeldepthprism_(const double* channelSlope, const double* manningN,
                        const double* bottomWidth, const double* sideSlope, const double* flow,
                        const double* initialDepth, double* depth, double* flowArea,
                        double* topWidth, double* celerity, int* status, char* message,
                        int messageLength) {
  tovalin::ChannelDepthPrism(*channelSlope, *manningN, *bottomWidth, *sideSlope, *flow,
                             *initialDepth, *depth, *flowArea, *topWidth, *celerity, *status,
                             Text(message, messageLength));
}

void channeldepthcircle_(const double* channelSlope, const double* manningN,
                         const double* diameter, const double* flow, double* depth,
                         double* flowArea, double* topWidth, double* celerity, int* status,
                         char* message, int messageLength) {
  tovalin::ChannelDepthCircle(*channelSlope, *manningN, *diameter, *flow, *depth, *flowArea,
                              *topWidth, *celerity, *status, Text(message, messageLength));
}

}  // extern "C"
