// Adapters for native callers: Muskingum-Cunge routing through an eight-point section, the
// normal depth in that section, and the resampling of a series between intervals. Arguments
// arrive by reference with the message length last and go on to the routines unchanged.
#include <array>
#include <span>

#include "tovalin/tovalin.h"
#include "hydro/hydraulics/section_8point.h"
#include "hydro/hydraulics/time_interval.h"
#include "hydro/routing/muskingum_cunge_8point.h"
#include "native/adapter_support.h"

using namespace tovalin::adapters;

namespace {

// A section array that was not passed reads as zeros: a section without width.
constexpr std::array<double, 8> kNoPoints{};
constexpr std::array<double, 3> kNoRoughness{};

std::span<const double, 8> Points(const double* values) noexcept {
  return values ? std::span<const double, 8>(values, 8) : std::span<const double, 8>(kNoPoints);
}
std::span<const double, 3> Roughness(const double* values) noexcept {
  return values ? std::span<const double, 3>(values, 3)
                : std::span<const double, 3>(kNoRoughness);
}

}  // namespace

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
  tovalin::RouteMuskingumCunge8Point(
      *intervalMinutes, *reachLength, *channelSlope, Points(stations), Points(elevations),
      Roughness(manningN), *initialFlowCount, *subreachesFromInitialFlows,
      In(initialFlows, *initialFlowCount), Out(finalFlows, *initialFlowCount), *ordinateCount,
      In(inflows, *ordinateCount), In(lateralInflows, *ordinateCount),
      Out(outflows, *ordinateCount), *computationInterval, *subreachLength, *peakOutflow,
      *peakTimeMinutes, *maxCelerity, *initialStorage, *finalStorage, *inflowVolume,
      *outflowVolume, *status, Text(message, messageLength));
}

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
