// A seam through which a test build makes a routing routine throw from inside, to show that
// no exception leaves the library's edges. Only a separate test build of the library defines
// TOVALIN_FAULT_SEAM; in every other build the seam is an empty inline function.
#pragma once

#include <span>
#include <stdexcept>

namespace tovalin {

// The first inflow (m3/s) at which a routing routine of the test build throws.
inline constexpr double kFaultSeamInflow = -9.87654321e99;

#ifdef TOVALIN_FAULT_SEAM
// Throws std::runtime_error when the hydrograph starts with kFaultSeamInflow.
inline void FaultSeam(std::span<const double> inflows) {
  if (!inflows.empty() && inflows.front() == kFaultSeamInflow)
    throw std::runtime_error("fault seam reached");
}
#else
inline void FaultSeam(std::span<const double>) noexcept {}
#endif

}  // namespace tovalin
