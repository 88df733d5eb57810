// Fuzz target of changetimeinterval_, resampling a series onto another interval.
// Input: oldInterval, newInterval (reals), oldCount, newCount, oldSeries[oldCount].
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxCount = 64;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  auto oldInterval = Reals(in, 1);
  auto newInterval = Reals(in, 1);
  const int oldCount = in.count(kMaxCount);
  const int newCount = in.count(kMaxCount);
  auto oldSeries = Reals(in, oldCount);
  Block<double> newSeries(newCount);

  const auto oldIntervalBefore = oldInterval.copy(), newIntervalBefore = newInterval.copy(),
             seriesBefore = oldSeries.copy();
  {
    AllocationCap cap;
    changetimeinterval_(oldInterval.data(), newInterval.data(), &oldCount, &newCount,
                        oldSeries.data(), newSeries.data());
  }
  RequireUnchanged(oldIntervalBefore, oldInterval, "oldInterval");
  RequireUnchanged(newIntervalBefore, newInterval, "newInterval");
  RequireUnchanged(seriesBefore, oldSeries, "oldSeries");
  return 0;
}
