// The section-shape text of the fixed-width Muskingum-Cunge routine through a prismatic or
// circular reach (the routing itself is in muskingum_cunge.cpp).
#include "hydro/routing/muskingum_cunge_prism.h"

#include "hydro/messages/text_field.h"

namespace tovalin {
namespace {

constexpr std::string_view kCircleShape = "CIRCLE";

}  // namespace

bool IsCircleShape(std::string_view sectionShape) noexcept {
  return sectionShape.starts_with(kCircleShape) &&
         sectionShape.find_first_not_of(kBlank, kCircleShape.size()) == std::string_view::npos;
}

}  // namespace tovalin
