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

}  // namespace tovalin
