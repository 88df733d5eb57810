// Fuzz target of decodeerrorcode_, unpacking a status code.
// Input: status, name length, the name characters.
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxName = 64;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  const int status = in.integer();
  const int nameLength = in.count(kMaxName);
  auto name = Characters(in, nameLength);
  int number = 0;
  int severity = 0;
  {
    AllocationCap cap;
    decodeerrorcode_(&status, name.data(), &number, &severity, nameLength);
  }
  return 0;
}
