// Fuzz target of interpolatelinear_, straight-line table lookup.
// Input: pairCount, valueCount, message length, status, xTable[pairCount], yTable[pairCount],
// xValues[valueCount], the message characters. yValues has max(valueCount, 1) elements: the
// caller provides one even when there is nothing to look up.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxPairs = 32;
constexpr std::int32_t kMaxValues = 16;
constexpr std::int32_t kMaxMessage = 160;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  const int pairs = in.count(kMaxPairs);
  const int values = in.count(kMaxValues);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto x = Reals(in, pairs);
  auto y = Reals(in, pairs);
  auto lookups = Reals(in, values);
  Block<double> results(std::max(values, 1));
  auto message = Characters(in, messageLength);

  const auto xBefore = x.copy(), yBefore = y.copy(), lookupsBefore = lookups.copy();
  {
    AllocationCap cap;
    interpolatelinear_(&pairs, x.data(), y.data(), &values, lookups.data(), results.data(),
                       &status, message.data(), messageLength);
  }
  RequireUnchanged(xBefore, x, "xTable");
  RequireUnchanged(yBefore, y, "yTable");
  RequireUnchanged(lookupsBefore, lookups, "xValues");
  return 0;
}
