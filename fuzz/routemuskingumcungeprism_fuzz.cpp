// Fuzz target of RouteMuskingumCungePrism_, Muskingum-Cunge routing through a trapezoid or a
// circle. Input: intervalMinutes, reachLength, channelSlope, manningN, bottomWidth, sideSlope,
// subreachesFromInitialFlows, shape length, shape choice (even: "CIRCLE" then blanks, odd:
// characters from the input), initialFlowCount, ordinateCount, message length, status, then
// the shape characters (odd choice only), initialFlows[M], inflows[N], lateralInflows[N], the
// message characters.
#include <algorithm>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxShape = 16;
constexpr std::int32_t kMaxInitialFlows = 16;
constexpr std::int32_t kMaxOrdinates = 64;
constexpr std::int32_t kMaxMessage = 160;
constexpr std::string_view kCircle = "CIRCLE";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  const int interval = in.integer();
  auto length = Reals(in, 1);
  auto slope = Reals(in, 1);
  auto roughness = Reals(in, 1);
  auto width = Reals(in, 1);
  auto sides = Reals(in, 1);
  const int fromInitialFlows = in.integer();
  const int shapeLength = in.count(kMaxShape);
  const bool circle = in.byte() % 2 == 0;
  const int m = in.count(kMaxInitialFlows);
  const int n = in.count(kMaxOrdinates);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  Block<char> shape(shapeLength);
  if (circle) {
    std::fill_n(shape.data(), shape.size(), ' ');
    std::copy_n(kCircle.data(), std::min(shape.size(), kCircle.size()), shape.data());
  } else {
    in.fill(shape.span());
  }
  auto initial = Reals(in, m);
  Block<double> final(m);
  auto inflows = Reals(in, n);
  auto lateral = Reals(in, n);
  Block<double> outflows(n);
  Block<double> interval1(1), subreach(1), peak(1), peakTime(1), celerity(1), storage0(1),
      storage1(1), volumeIn(1), volumeOut(1);
  auto message = Characters(in, messageLength);

  const auto lengthBefore = length.copy(), slopeBefore = slope.copy(),
             roughnessBefore = roughness.copy(), widthBefore = width.copy(),
             sidesBefore = sides.copy(), initialBefore = initial.copy(), inflowsBefore = inflows.copy(),
             lateralBefore = lateral.copy();
  const auto shapeBefore = shape.copy();
  {
    AllocationCap cap;
    RouteMuskingumCungePrism_(&interval, length.data(), slope.data(), roughness.data(),
                              shape.data(), width.data(), sides.data(), &m, &fromInitialFlows,
                              initial.data(), final.data(), &n, inflows.data(), lateral.data(),
                              outflows.data(), interval1.data(), subreach.data(), peak.data(),
                              peakTime.data(), celerity.data(), storage0.data(), storage1.data(),
                              volumeIn.data(), volumeOut.data(), &status, message.data(),
                              messageLength, shapeLength);
  }
  RequireUnchanged(lengthBefore, length, "reachLength");
  RequireUnchanged(slopeBefore, slope, "channelSlope");
  RequireUnchanged(roughnessBefore, roughness, "manningN");
  RequireUnchanged(widthBefore, width, "bottomWidth");
  RequireUnchanged(sidesBefore, sides, "sideSlope");
  RequireUnchanged(shapeBefore, shape, "sectionShape");
  RequireUnchanged(initialBefore, initial, "initialFlows");
  RequireUnchanged(inflowsBefore, inflows, "inflows");
  RequireUnchanged(lateralBefore, lateral, "lateralInflows");
  return 0;
}
