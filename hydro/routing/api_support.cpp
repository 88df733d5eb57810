// The C++ API's status, routine names and workspace bookkeeping.
#include "hydro/routing/api_support.h"

namespace tovalin {

static_assert(std::bit_cast<std::uint64_t>(kUndefined) == std::bit_cast<std::uint64_t>(undefinedDbl()),
              "the API's undefined value is the library's");

std::int32_t Status::code() const noexcept {
  return EncodeErrorCode(routine, messageNumber, static_cast<std::int32_t>(severity));
}

std::string_view RoutineName(std::int32_t routine) noexcept { return RoutineNameOf(routine); }

std::size_t Workspace::capacityBytes() const noexcept {
  std::size_t doubles = 0;
  for (const std::vector<double>* v :
       {&outflows_, &stepOutflows_, &stepGross_, &stepIndicators_, &startOutflows_, &table_,
        &seriesInflow_, &seriesLateral_, &seriesOutflow_, &nodeFlows_, &nodeDepths_, &profile_,
        &zeros_, &depths_, &velocities_, &seriesDepth_, &seriesVelocity_})
    doubles += v->capacity();
  return doubles * sizeof(double) + message_.size();
}

void Workspace::release() noexcept {
  for (std::vector<double>* v :
       {&outflows_, &stepOutflows_, &stepGross_, &stepIndicators_, &startOutflows_, &table_,
        &seriesInflow_, &seriesLateral_, &seriesOutflow_, &nodeFlows_, &nodeDepths_, &profile_,
        &zeros_, &depths_, &velocities_, &seriesDepth_, &seriesVelocity_})
    std::vector<double>().swap(*v);
}

}  // namespace tovalin
