// Variable-parameter Muskingum-Cunge routing (muskingum_cunge_common.h) through a reach with
// an eight-point natural section: the celerity ck and top width T of normal flow at each
// reference flow come from the depth search in the section's three-roughness divided
// channel. Flows m3/s, lengths and depths m.
#include "hydro/routing/muskingum_cunge_8point.h"

#include "hydro/hydraulics/section_8point.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/muskingum_cunge_common.h"

namespace tovalin {
namespace {

// Starting depths (m): of the reference and first profile searches, and of every node.
constexpr double kReferenceStartDepth = 2.0;
constexpr double kNodeStartDepth = 1.0;

constexpr MuskingumCungeScheme kScheme{
    .routine = routine::kRouteMuskingumCunge8Point,
    .referenceStartDepth = kReferenceStartDepth,
    .profileStartDepth = kReferenceStartDepth,
    .nodeStartDepth = kNodeStartDepth,
    .widthProduct = WidthProduct::kCelerityThenWidth,
    .profilePositions = ProfilePositions::kRatioInSingle,
    .singlePointFromHalfWeight = true,
};

}  // namespace

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
    TextField message) {
  const auto sectionServes = [&](TextField text) noexcept {
    return CheckSection8Point(channelSlope, stations, elevations, manningN, text);
  };
  // Depth searches in the section whose status is not examined.
  const auto normalFlow = [&](double flow, double startDepth) noexcept {
    NormalFlow h;
    std::int32_t ignored = 0;
    ChannelDepth8Point(channelSlope, stations, elevations, manningN, flow, startDepth, h.depth,
                       h.area, h.topWidth, h.celerity, ignored, message);
    return h;
  };
  RouteMuskingumCunge(sectionServes, normalFlow, kScheme,
                      {intervalMinutes, reachLength, channelSlope, initialFlowCount,
                       subreachesFromInitialFlows, initialFlows, finalFlows, ordinateCount,
                       inflows, lateralInflows, outflows},
                      {computationInterval, subreachLength, peakOutflow, peakTimeMinutes,
                       maxCelerity, initialStorage, finalStorage, inflowVolume, outflowVolume,
                       status, message});
}

}  // namespace tovalin
