// Fuzz target of RoutePulsChannelWithLoss_, modified Puls routing with a channel loss.
// Input: intervalMinutes, lossElevation, lossRate, pairCount, stepCount, ordinateCount,
// message length, status, then storageTable, outflowTable, elevationTable [pairCount each],
// initialStepOutflows[stepCount], inflows[ordinateCount], the message characters.
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxPairs = 24;
constexpr std::int32_t kMaxSteps = 8;
constexpr std::int32_t kMaxOrdinates = 64;
constexpr std::int32_t kMaxMessage = 160;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  const int interval = in.integer();
  auto lossElevation = Reals(in, 1);
  auto lossRate = Reals(in, 1);
  const int pairs = in.count(kMaxPairs);
  const int steps = in.count(kMaxSteps);
  const int ordinates = in.count(kMaxOrdinates);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto storage = Reals(in, pairs);
  auto outflowTable = Reals(in, pairs);
  auto elevations = Reals(in, pairs);
  auto initial = Reals(in, steps);
  Block<double> final(steps);
  auto inflows = Reals(in, ordinates);
  Block<double> outflows(ordinates);
  auto message = Characters(in, messageLength);

  const auto storageBefore = storage.copy(), tableBefore = outflowTable.copy(),
             elevationsBefore = elevations.copy(), initialBefore = initial.copy(),
             inflowsBefore = inflows.copy(), lossElevationBefore = lossElevation.copy(),
             lossRateBefore = lossRate.copy();
  {
    AllocationCap cap;
    RoutePulsChannelWithLoss_(&interval, &pairs, storage.data(), outflowTable.data(),
                              elevations.data(), lossElevation.data(), lossRate.data(), &steps,
                              initial.data(), final.data(), &ordinates, inflows.data(),
                              outflows.data(), &status, message.data(), messageLength);
  }
  RequireUnchanged(storageBefore, storage, "storageTable");
  RequireUnchanged(tableBefore, outflowTable, "outflowTable");
  RequireUnchanged(elevationsBefore, elevations, "elevationTable");
  RequireUnchanged(lossElevationBefore, lossElevation, "lossElevation");
  RequireUnchanged(lossRateBefore, lossRate, "lossRate");
  RequireUnchanged(initialBefore, initial, "initialStepOutflows");
  RequireUnchanged(inflowsBefore, inflows, "inflows");
  return 0;
}
