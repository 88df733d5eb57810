// Reaches and hydrographs shared by the C++ API tests.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "tovalin/core.hpp"

namespace tovalin::testing {

constexpr double kClosed = 1e-12;  // balance error of a conserving method

inline std::vector<double> Flood(int n, double base, double peak) {
  std::vector<double> flows;
  for (int i = 0; i < n; ++i) {
    const double s = i / (0.25 * n);
    flows.push_back(base + (peak - base) * s * s * std::exp(2.0 * (1.0 - s)));
  }
  return flows;
}

inline bool SameBits(std::span<const double> a, std::span<const double> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i])) return false;
  return true;
}

// Storage-outflow table of a linear reservoir: outflow 10 p, storage 3600 s x outflow,
// elevation p, p = 0..60.
struct Table {
  std::vector<double> storage, outflow, elevation;
  Table() {
    for (int p = 0; p <= 60; ++p) {
      outflow.push_back(10.0 * p), storage.push_back(36000.0 * p), elevation.push_back(p);
    }
  }
};
inline const Table kTable;

inline PulsReach Puls(bool loss, int steps = 2) {
  return {kTable.storage, kTable.outflow, steps, loss, kTable.elevation, 2.0, 1e-6};
}
inline MuskingumCungeReach Trapezoid() {
  return {20000.0, 0.001, TrapezoidSection{20.0, 2.0, 0.035}};
}
inline MuskingumCungeReach EightPoint() {
  return {15000.0, 0.001,
          EightPointSection{{0, 10, 20, 20, 30, 30, 40, 50}, {10, 5, 5, 0, 0, 5, 5, 10},
                            {0.08, 0.04, 0.08}}};
}
inline MuskingumCungeReach Circle() { return {3000.0, 0.005, CircleSection{4.0, 0.013}}; }

}  // namespace tovalin::testing
