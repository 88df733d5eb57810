// tovalin C++ API: the work storage of routing calls, owned by the caller and kept between
// calls. A call sizes the arrays it needs within the workspace; once the workspace has served
// a call of the same or larger sizes, a call allocates nothing. Muskingum-Cunge sizes follow
// the data (computation steps and subreaches), so its capacity grows to the largest seen.
// A call whose arrays would come to more than the smaller of 8 GiB and half the physical
// memory reports message 11 without obtaining the storage beyond it (docs/cpp-api.md, Work
// storage).
// A result's arrays and text are views into the workspace, valid until its next call.
// One workspace serves one call at a time: give each thread its own.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tovalin {

namespace detail {
struct WorkspaceAccess;
}

class Workspace {
 public:
  // Width of the message field a call writes into (characters).
  static constexpr int kMessageWidth = 256;

  Workspace() = default;
  Workspace(Workspace&&) noexcept = default;
  Workspace& operator=(Workspace&&) noexcept = default;
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // Bytes held by the work arrays (their capacity).
  std::size_t capacityBytes() const noexcept;
  // Gives the storage back; the next call allocates again.
  void release() noexcept;

 private:
  friend struct detail::WorkspaceAccess;
  std::vector<double> outflows_;           // one per ordinate
  std::vector<double> stepOutflows_;       // one per routing step: the state handed on
  std::vector<double> stepGross_;          // Puls with loss
  std::vector<double> stepIndicators_;     // Puls
  std::vector<double> startOutflows_;      // one per routing step: the state at the start
  std::vector<double> table_;              // Puls: storage indicator of each pair
  std::vector<double> seriesInflow_;       // Muskingum-Cunge: one per computation step
  std::vector<double> seriesLateral_;
  std::vector<double> seriesOutflow_;
  std::vector<double> nodeFlows_;          // Muskingum-Cunge: one per node
  std::vector<double> nodeDepths_;
  std::vector<double> profile_;            // Muskingum-Cunge: one per profile point
  std::vector<double> zeros_;              // a missing lateral inflow, one per ordinate
  std::vector<double> depths_;             // asked for: one per ordinate
  std::vector<double> velocities_;
  std::vector<double> seriesDepth_;        // Muskingum-Cunge, asked for: one per computation step
  std::vector<double> seriesVelocity_;
  std::array<char, kMessageWidth> message_{};
};

}  // namespace tovalin
