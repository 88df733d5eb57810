// Resampling of a series onto another fixed interval by linear interpolation in time (e.g.
// Chapra & Canale, Numerical Methods for Engineers, 18.1): an ordinate at time T between given
// ordinates K and K + 1 takes y(K) + (y(K+1) - y(K)) (T - t(K)) / dt_old. The time T advances by
// repeated addition of the new interval, so resampled ordinates carry that rounding.
#include "hydro/hydraulics/time_interval.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "hydro/messages/message_text.h"

namespace tovalin {
namespace {

// A count as an index bound: below 1 is 0, beyond the span is the span's size.
std::size_t UsableCount(std::int32_t count, std::size_t spanSize) noexcept {
  return count < 1 ? 0 : std::min(static_cast<std::size_t>(count), spanSize);
}

}  // namespace

void ChangeTimeInterval(double oldInterval, double newInterval, std::int32_t oldCount,
                        std::int32_t newCount, std::span<const double> oldSeries,
                        std::span<double> newSeries) noexcept {
  const std::size_t produced = UsableCount(newCount, newSeries.size());
  const std::size_t given = UsableCount(oldCount, oldSeries.size());
  if (produced == 0) return;
  if (given == 0) {
    std::fill_n(newSeries.begin(), produced, undefinedDbl());
    return;
  }
  const double lastGivenIndex = static_cast<double>(given);

  newSeries[0] = oldSeries[0];
  double time = newInterval;
  for (std::size_t j = 1; j + 1 < produced; ++j) {
    const double ratio = time / oldInterval;
    // K = NINT(R + 0.5): the 1-based given ordinate at or before T.
    const double k = std::round(ratio + 0.5);
    if (k >= lastGivenIndex) {
      // At or beyond the last given ordinate.
      newSeries[j] = oldSeries[given - 1];
    } else if (k < 1.0) {
      // Before the first given ordinate.
      newSeries[j] = oldSeries[0];
    } else if (std::isnan(k)) {
      newSeries[j] = undefinedDbl();
    } else {
      const std::size_t before = static_cast<std::size_t>(k) - 1;
      const double y1 = oldSeries[before];
      const double y2 = oldSeries[before + 1];
      if (isUndefinedDbl(y1) || isUndefinedDbl(y2)) {
        newSeries[j] = undefinedDbl();
      } else {
        // y = y(K) + (y(K+1) - y(K)) * (T - (K - 1) dt_old) / dt_old, in that order.
        newSeries[j] = y1 + (y2 - y1) * (time - (k - 1.0) * oldInterval) / oldInterval;
      }
    }
    time = time + newInterval;
  }
  newSeries[produced - 1] = oldSeries[given - 1];
}

}  // namespace tovalin
