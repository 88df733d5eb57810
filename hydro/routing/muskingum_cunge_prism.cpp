// Variable-parameter Muskingum-Cunge routing (muskingum_cunge_common.h) through a prismatic
// or circular reach: the celerity ck and top width T of normal flow at each reference flow
// come from the Newton depth search in the trapezoid, or in the circular conduit from the
// power-law area and the depth of that circular segment. Flows m3/s, lengths and depths m.
#include "hydro/routing/muskingum_cunge_prism.h"

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/muskingum_cunge_common.h"

namespace tovalin {
namespace {

// Starting depths of the trapezoid search, m: the reference flow and the nodes, and the
// first point of the initial profile.
constexpr double kReferenceStartDepth = 2.0;
constexpr double kNodeStartDepth = 2.0;
constexpr double kProfileStartDepth = 1.0;

constexpr MuskingumCungeScheme kScheme{
    .routine = routine::kRouteMuskingumCungePrism,
    .referenceStartDepth = kReferenceStartDepth,
    .profileStartDepth = kProfileStartDepth,
    .nodeStartDepth = kNodeStartDepth,
    .widthProduct = WidthProduct::kWidthThenCelerity,
    .profilePositions = ProfilePositions::kProductInDouble,
    .singlePointFromHalfWeight = false,
};

constexpr std::string_view kCircleShape = "CIRCLE";

}  // namespace

bool IsCircleShape(std::string_view sectionShape) noexcept {
  return sectionShape.starts_with(kCircleShape) &&
         sectionShape.find_first_not_of(kBlank, kCircleShape.size()) == std::string_view::npos;
}

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
    TextField message) {
  const bool circle = IsCircleShape(sectionShape);
  const auto sectionServes = [&](TextField text) noexcept {
    return circle ? CheckConduit(channelSlope, manningN, bottomWidth, text)
                  : CheckTrapezoid(channelSlope, manningN, bottomWidth, sideSlope, text);
  };
  // Normal flow in the conduit or the trapezoid, each reporting into the call's status and
  // message; only the trapezoid searches from startDepth.
  const auto normalFlow = [&](double flow, double startDepth) noexcept {
    NormalFlow h;
    if (circle) {
      ChannelDepthCircle(channelSlope, manningN, bottomWidth, flow, h.depth, h.area, h.topWidth,
                         h.celerity, status, message);
    } else {
      ChannelDepthPrism(channelSlope, manningN, bottomWidth, sideSlope, flow, startDepth,
                        h.depth, h.area, h.topWidth, h.celerity, status, message);
    }
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
