// The limit of one call's work storage and the sizing of work arrays within it.
#include "hydro/routing/work_storage.h"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace tovalin {

std::size_t CallStorageLimit() noexcept {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return kMaxCallStorageBytes;
  // physical / 2 = pages / 2 x page size, never past the fixed limit
  const auto halfPages = static_cast<std::size_t>(pages) / 2;
  const auto bytesPerPage = static_cast<std::size_t>(pageSize);
  if (halfPages > kMaxCallStorageBytes / bytesPerPage) return kMaxCallStorageBytes;
  return halfPages * bytesPerPage;
}

bool WithinStorageLimit(std::size_t bytes) noexcept {
  return bytes <= kStorageGrantedUnasked || bytes <= CallStorageLimit();
}

bool StorageBudget::take(std::size_t count) noexcept {
  if (refused_) return false;
  // Beyond the fixed limit whatever the system: this also keeps count x 8 from overflowing.
  if (count > (kMaxCallStorageBytes - used_) / sizeof(double)) return false;
  const std::size_t total = used_ + count * sizeof(double);
  if (total > kStorageGrantedUnasked) {
    if (limit_ == 0) limit_ = CallStorageLimit();
    if (total > limit_) return false;
  }
  used_ = total;
  return true;
}

bool Fit(std::vector<double>& v, std::size_t n, StorageBudget& budget) noexcept {
  if (!budget.take(n)) return false;
  try {
    if (n > v.capacity()) {
      std::vector<double>().swap(v);
      v.reserve(n);
    }
    v.resize(n);
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  budget.refused();
  return false;
}

}  // namespace tovalin
