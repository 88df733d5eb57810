// Fuzz target of channeldepth8point_, normal depth in an eight-point section.
// Input: channelSlope, flow, initialDepth (reals), message length, status, stations[8],
// elevations[8], manningN[3], the message characters.
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxMessage = 160;
constexpr std::int64_t kSectionPoints = 8;
constexpr std::int64_t kRoughnessValues = 3;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  auto slope = Reals(in, 1);
  auto flow = Reals(in, 1);
  auto start = Reals(in, 1);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto stations = Reals(in, kSectionPoints);
  auto elevations = Reals(in, kSectionPoints);
  auto roughness = Reals(in, kRoughnessValues);
  auto message = Characters(in, messageLength);
  Block<double> depth(1), area(1), topWidth(1), celerity(1);

  const auto slopeBefore = slope.copy(), flowBefore = flow.copy(), startBefore = start.copy(),
             stationsBefore = stations.copy(), elevationsBefore = elevations.copy(),
             roughnessBefore = roughness.copy();
  {
    AllocationCap cap;
    channeldepth8point_(slope.data(), stations.data(), elevations.data(), roughness.data(),
                        flow.data(), start.data(), depth.data(), area.data(), topWidth.data(),
                        celerity.data(), &status, message.data(), messageLength);
  }
  RequireUnchanged(slopeBefore, slope, "channelSlope");
  RequireUnchanged(flowBefore, flow, "flow");
  RequireUnchanged(startBefore, start, "initialDepth");
  RequireUnchanged(stationsBefore, stations, "stations");
  RequireUnchanged(elevationsBefore, elevations, "elevations");
  RequireUnchanged(roughnessBefore, roughness, "manningN");
  return 0;
}
