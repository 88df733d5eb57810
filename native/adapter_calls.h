// The calls of the five routing adapters into the core, without the adapters' guard: each
// argument by reference as the adapter receives it, each array a span of its count. The
// adapters run them under Guarded; the JNI entry points run them inside their frame, which
// catches on its own and reports in the host's terms. They may throw.
#pragma once

#include <array>
#include <initializer_list>
#include <span>
#include <string_view>

#include "hydro/routing/muskingum.h"
#include "hydro/routing/muskingum_cunge_8point.h"
#include "hydro/routing/muskingum_cunge_prism.h"
#include "hydro/routing/puls_channel.h"
#include "native/adapter_support.h"

namespace tovalin::adapters {

// A section array that was not passed reads as zeros: a section without width.
inline constexpr std::array<double, 8> kNoPoints{};
inline constexpr std::array<double, 3> kNoRoughness{};

inline std::span<const double, 8> Points(const double* values) noexcept {
  return values ? std::span<const double, 8>(values, 8) : std::span<const double, 8>(kNoPoints);
}
inline std::span<const double, 3> Roughness(const double* values) noexcept {
  return values ? std::span<const double, 3>(values, 3)
                : std::span<const double, 3>(kNoRoughness);
}

inline void CallRouteMuskingum(const int* intervalMinutes, const double* muskingumK,
                               const double* muskingumX, const int* stepCount,
                               const double* initialStepOutflows, double* finalStepOutflows,
                               const int* ordinateCount, const double* inflows,
                               double* outflows, int* status, char* message,
                               int messageLength) {
  RouteMuskingum(*intervalMinutes, *muskingumK, *muskingumX, *stepCount,
                 In(initialStepOutflows, *stepCount), Out(finalStepOutflows, *stepCount),
                 *ordinateCount, In(inflows, *ordinateCount), Out(outflows, *ordinateCount),
                 *status, Text(message, messageLength));
}

inline void CallRoutePulsChannel(const int* intervalMinutes, const int* pairCount,
                                 const double* storageTable, const double* outflowTable,
                                 const int* stepCount, const double* initialStepOutflows,
                                 double* finalStepOutflows, const int* ordinateCount,
                                 const double* inflows, double* outflows, int* status,
                                 char* message, int messageLength) {
  RoutePulsChannel(*intervalMinutes, *pairCount, In(storageTable, *pairCount),
                   In(outflowTable, *pairCount), *stepCount, In(initialStepOutflows, *stepCount),
                   Out(finalStepOutflows, *stepCount), *ordinateCount,
                   In(inflows, *ordinateCount), Out(outflows, *ordinateCount), *status,
                   Text(message, messageLength));
}

inline void CallRoutePulsChannelWithLoss(
    const int* intervalMinutes, const int* pairCount, const double* storageTable,
    const double* outflowTable, const double* elevationTable, const double* lossElevation,
    const double* lossRate, const int* stepCount, const double* initialStepOutflows,
    double* finalStepOutflows, const int* ordinateCount, const double* inflows,
    double* outflows, int* status, char* message, int messageLength) {
  RoutePulsChannelWithLoss(
      *intervalMinutes, *pairCount, In(storageTable, *pairCount), In(outflowTable, *pairCount),
      In(elevationTable, *pairCount), *lossElevation, *lossRate, *stepCount,
      In(initialStepOutflows, *stepCount), Out(finalStepOutflows, *stepCount), *ordinateCount,
      In(inflows, *ordinateCount), Out(outflows, *ordinateCount), *status,
      Text(message, messageLength));
}

inline void CallRouteMuskingumCunge8Point(
    const int* intervalMinutes, const double* reachLength, const double* channelSlope,
    const double* stations, const double* elevations, const double* manningN,
    const int* initialFlowCount, const int* subreachesFromInitialFlows,
    const double* initialFlows, double* finalFlows, const int* ordinateCount,
    const double* inflows, const double* lateralInflows, double* outflows,
    double* computationInterval, double* subreachLength, double* peakOutflow,
    double* peakTimeMinutes, double* maxCelerity, double* initialStorage,
    double* finalStorage, double* inflowVolume, double* outflowVolume, int* status,
    char* message, int messageLength) {
  RouteMuskingumCunge8Point(
      *intervalMinutes, *reachLength, *channelSlope, Points(stations), Points(elevations),
      Roughness(manningN), *initialFlowCount, *subreachesFromInitialFlows,
      In(initialFlows, *initialFlowCount), Out(finalFlows, *initialFlowCount), *ordinateCount,
      In(inflows, *ordinateCount), In(lateralInflows, *ordinateCount),
      Out(outflows, *ordinateCount), *computationInterval, *subreachLength, *peakOutflow,
      *peakTimeMinutes, *maxCelerity, *initialStorage, *finalStorage, *inflowVolume,
      *outflowVolume, *status, Text(message, messageLength));
}

// The shape is only read; a negative length or a missing text is an empty shape.
inline void CallRouteMuskingumCungePrism(
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
  const std::string_view shape =
      sectionShape != nullptr && sectionShapeLength > 0
          ? std::string_view(sectionShape, static_cast<std::size_t>(sectionShapeLength))
          : std::string_view();
  RouteMuskingumCungePrism(
      *intervalMinutes, *reachLength, *channelSlope, *manningN, shape, *bottomWidth,
      *sideSlope, *initialFlowCount, *subreachesFromInitialFlows,
      In(initialFlows, *initialFlowCount), Out(finalFlows, *initialFlowCount), *ordinateCount,
      In(inflows, *ordinateCount), In(lateralInflows, *ordinateCount),
      Out(outflows, *ordinateCount), *computationInterval, *subreachLength, *peakOutflow,
      *peakTimeMinutes, *maxCelerity, *initialStorage, *finalStorage, *inflowVolume,
      *outflowVolume, *status, Text(message, messageLength));
}

// Every result of a Muskingum-Cunge call: the outflows, the final flows and the nine
// scalars, those that were passed.
inline void UndefineCungeResults(std::span<double> outflows, std::span<double> finalFlows,
                                 std::initializer_list<double*> scalars) noexcept {
  Undefine(outflows);
  Undefine(finalFlows);
  for (double* scalar : scalars)
    if (scalar != nullptr) *scalar = undefinedDbl();
}

}  // namespace tovalin::adapters
