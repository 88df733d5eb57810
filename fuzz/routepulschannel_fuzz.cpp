// Fuzz target of routepulschannel_, modified Puls routing through a storage-outflow table.
// Input: intervalMinutes, pairCount, stepCount, ordinateCount, message length, status, then
// storageTable[pairCount], outflowTable[pairCount], initialStepOutflows[stepCount],
// inflows[ordinateCount], the message characters.
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
  const int pairs = in.count(kMaxPairs);
  const int steps = in.count(kMaxSteps);
  const int ordinates = in.count(kMaxOrdinates);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto storage = Reals(in, pairs);
  auto outflowTable = Reals(in, pairs);
  auto initial = Reals(in, steps);
  Block<double> final(steps);
  auto inflows = Reals(in, ordinates);
  Block<double> outflows(ordinates);
  auto message = Characters(in, messageLength);

  const auto storageBefore = storage.copy(), tableBefore = outflowTable.copy(),
             initialBefore = initial.copy(), inflowsBefore = inflows.copy();
  {
    AllocationCap cap;
    routepulschannel_(&interval, &pairs, storage.data(), outflowTable.data(), &steps,
                      initial.data(), final.data(), &ordinates, inflows.data(), outflows.data(),
                      &status, message.data(), messageLength);
  }
  RequireUnchanged(storageBefore, storage, "storageTable");
  RequireUnchanged(tableBefore, outflowTable, "outflowTable");
  RequireUnchanged(initialBefore, initial, "initialStepOutflows");
  RequireUnchanged(inflowsBefore, inflows, "inflows");
  return 0;
}
