// Fuzz target of channeldepthcircle_, depth of flow in a circular conduit.
// Input: channelSlope, manningN, diameter, flow (reals), message length, status, the message
// characters.
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxMessage = 160;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  auto slope = Reals(in, 1);
  auto roughness = Reals(in, 1);
  auto diameter = Reals(in, 1);
  auto flow = Reals(in, 1);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto message = Characters(in, messageLength);
  Block<double> depth(1), area(1), topWidth(1), celerity(1);

  const auto slopeBefore = slope.copy(), roughnessBefore = roughness.copy(),
             diameterBefore = diameter.copy(), flowBefore = flow.copy();
  {
    AllocationCap cap;
    channeldepthcircle_(slope.data(), roughness.data(), diameter.data(), flow.data(),
                        depth.data(), area.data(), topWidth.data(), celerity.data(), &status,
                        message.data(), messageLength);
  }
  RequireUnchanged(slopeBefore, slope, "channelSlope");
  RequireUnchanged(roughnessBefore, roughness, "manningN");
  RequireUnchanged(diameterBefore, diameter, "diameter");
  RequireUnchanged(flowBefore, flow, "flow");
  return 0;
}
