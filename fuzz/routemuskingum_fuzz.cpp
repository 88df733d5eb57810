// Fuzz target of routemuskingum_, Muskingum routing through equal steps.
// Input: intervalMinutes, K, x (reals), stepCount, ordinateCount, message length, status,
// then initialStepOutflows[stepCount], inflows[ordinateCount], the message characters.
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxSteps = 8;
constexpr std::int32_t kMaxOrdinates = 64;
constexpr std::int32_t kMaxMessage = 160;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  const int interval = in.integer();
  auto k = Reals(in, 1);
  auto x = Reals(in, 1);
  const int steps = in.count(kMaxSteps);
  const int ordinates = in.count(kMaxOrdinates);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto initial = Reals(in, steps);
  Block<double> final(steps);
  auto inflows = Reals(in, ordinates);
  Block<double> outflows(ordinates);
  auto message = Characters(in, messageLength);

  const auto kBefore = k.copy(), xBefore = x.copy(), initialBefore = initial.copy(),
             inflowsBefore = inflows.copy();
  {
    AllocationCap cap;
    routemuskingum_(&interval, k.data(), x.data(), &steps, initial.data(), final.data(),
                    &ordinates, inflows.data(), outflows.data(), &status, message.data(),
                    messageLength);
  }
  RequireUnchanged(kBefore, k, "muskingumK");
  RequireUnchanged(xBefore, x, "muskingumX");
  RequireUnchanged(initialBefore, initial, "initialStepOutflows");
  RequireUnchanged(inflowsBefore, inflows, "inflows");
  return 0;
}
