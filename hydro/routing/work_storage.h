// How much work storage one routing call may obtain, and the sizing of a work array within it.
// A call's work storage is the sum, in bytes, of the arrays it sizes (each counted at the size
// the call asks for, whatever its workspace already holds), so that whether a call is served
// never depends on the calls before it. Each array is counted before it is obtained: the one
// that would take the total past the call's limit is never obtained nor touched, and the call
// reports the routine's message 11, having held no more than its limit. With the system's
// memory overcommitted, an allocation that succeeds is no promise that its pages can be had,
// and a host whose pages run out is killed rather than told.
#pragma once

#include <cstddef>
#include <vector>

namespace tovalin {

// The most work storage one call obtains, bytes: 8 GiB, or half the physical memory the
// system reports where that is less. 8 GiB holds the largest Muskingum-Cunge run (2^25
// computation steps over as many ordinates, with depths and velocities: 2.25 GiB) more than
// three times over, and refuses every Muskingum or Puls step count above 2^30.
inline constexpr std::size_t kMaxCallStorageBytes = std::size_t{1} << 33;
// A call's storage up to this total (64 MiB) is granted without asking the system its memory.
inline constexpr std::size_t kStorageGrantedUnasked = std::size_t{1} << 26;

// The limit of one call's work storage, bytes: the smaller of kMaxCallStorageBytes and half the
// physical memory (pages times page size) the system reports; kMaxCallStorageBytes when it
// reports none. Asks the system on every call: nothing is kept.
std::size_t CallStorageLimit() noexcept;

// Whether one request of `bytes` lies within CallStorageLimit().
bool WithinStorageLimit(std::size_t bytes) noexcept;

// The work storage of one call: every array the call sizes draws on it in turn.
class StorageBudget {
 public:
  // Takes count doubles. False, and nothing taken, when the call's total would pass
  // CallStorageLimit() (or not be representable), or after storage the system refused; then
  // the array must not be sized.
  bool take(std::size_t count) noexcept;
  // The system refused storage the budget had granted: the call takes nothing more.
  void refused() noexcept { refused_ = true; }
  // Bytes taken so far.
  std::size_t used() const noexcept { return used_; }

 private:
  std::size_t used_ = 0;
  std::size_t limit_ = 0;  // CallStorageLimit(), once the total has passed kStorageGrantedUnasked
  bool refused_ = false;
};

// Sizes v to n elements within the call's budget; false when the budget refuses them (v left
// as it was) or the storage cannot be obtained (v then empty, and the budget refuses every
// later request of the call). An array that must grow gives
// back its old storage first and obtains exactly n elements, so that the call never holds more
// than it counted; the elements of an array that grew are 0, those of one that did not are
// kept from an earlier call: every caller writes what it reads.
bool Fit(std::vector<double>& v, std::size_t n, StorageBudget& budget) noexcept;

}  // namespace tovalin
