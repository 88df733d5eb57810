// Fuzz target of RouteMuskingumCunge8Point_, Muskingum-Cunge routing through an eight-point
// section. Input: intervalMinutes, reachLength, channelSlope, subreachesFromInitialFlows,
// initialFlowCount, ordinateCount, message length, status, then stations[8], elevations[8],
// manningN[3], initialFlows[M], inflows[N], lateralInflows[N], the message characters.
#include "fuzz/fuzz_support.h"
#include "tovalin/tovalin.h"

using namespace tovalin::fuzz;

namespace {
constexpr std::int32_t kMaxInitialFlows = 16;
constexpr std::int32_t kMaxOrdinates = 64;
constexpr std::int32_t kMaxMessage = 160;
constexpr std::int64_t kSectionPoints = 8;
constexpr std::int64_t kRoughnessValues = 3;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArgumentStream in(data, size);
  const int interval = in.integer();
  auto length = Reals(in, 1);
  auto slope = Reals(in, 1);
  const int fromInitialFlows = in.integer();
  const int m = in.count(kMaxInitialFlows);
  const int n = in.count(kMaxOrdinates);
  const int messageLength = in.count(kMaxMessage);
  int status = in.integer();
  auto stations = Reals(in, kSectionPoints);
  auto elevations = Reals(in, kSectionPoints);
  auto roughness = Reals(in, kRoughnessValues);
  auto initial = Reals(in, m);
  Block<double> final(m);
  auto inflows = Reals(in, n);
  auto lateral = Reals(in, n);
  Block<double> outflows(n);
  Block<double> interval1(1), subreach(1), peak(1), peakTime(1), celerity(1), storage0(1),
      storage1(1), volumeIn(1), volumeOut(1);
  auto message = Characters(in, messageLength);

  const auto lengthBefore = length.copy(), slopeBefore = slope.copy(),
             stationsBefore = stations.copy(), elevationsBefore = elevations.copy(),
             roughnessBefore = roughness.copy(), initialBefore = initial.copy(),
             inflowsBefore = inflows.copy(), lateralBefore = lateral.copy();
  {
    AllocationCap cap;
    RouteMuskingumCunge8Point_(&interval, length.data(), slope.data(), stations.data(),
                               elevations.data(), roughness.data(), &m, &fromInitialFlows,
                               initial.data(), final.data(), &n, inflows.data(), lateral.data(),
                               outflows.data(), interval1.data(), subreach.data(), peak.data(),
                               peakTime.data(), celerity.data(), storage0.data(),
                               storage1.data(), volumeIn.data(), volumeOut.data(), &status,
                               message.data(), messageLength);
  }
  RequireUnchanged(lengthBefore, length, "reachLength");
  RequireUnchanged(slopeBefore, slope, "channelSlope");
  RequireUnchanged(stationsBefore, stations, "stations");
  RequireUnchanged(elevationsBefore, elevations, "elevations");
  RequireUnchanged(roughnessBefore, roughness, "manningN");
  RequireUnchanged(initialBefore, initial, "initialFlows");
  RequireUnchanged(inflowsBefore, inflows, "inflows");
  RequireUnchanged(lateralBefore, lateral, "lateralInflows");
  return 0;
}
