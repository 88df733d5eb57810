// Fuzz target of channeldepthprism_, normal depth in a trapezoid.
// Input: channelSlope, manningN, bottomWidth, sideSlope, flow, initialDepth (reals), message
// length, status, the message characters.
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
  auto width = Reals(in, 1);
  auto sides = Reals(in, 1);
  auto flow = Reals(in, 1);
  auto start = Reals(in, 1);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto message = Characters(in, messageLength);
  Block<double> depth(1), area(1), topWidth(1), celerity(1);

  const auto slopeBefore = slope.copy(), roughnessBefore = roughness.copy(),
             widthBefore = width.copy(), sidesBefore = sides.copy(), flowBefore = flow.copy(),
             startBefore = start.copy();
  {
    AllocationCap cap;
    channeldepthprism_(slope.data(), roughness.data(), width.data(), sides.data(), flow.data(),
                       start.data(), depth.data(), area.data(), topWidth.data(),
                       celerity.data(), &status, message.data(), messageLength);
  }
  RequireUnchanged(slopeBefore, slope, "channelSlope");
  RequireUnchanged(roughnessBefore, roughness, "manningN");
  RequireUnchanged(widthBefore, width, "bottomWidth");
  RequireUnchanged(sidesBefore, sides, "sideSlope");
  RequireUnchanged(flowBefore, flow, "flow");
  RequireUnchanged(startBefore, start, "initialDepth");
  return 0;
}
