// Writes the case of the MPI tests into a folder: a generated network with every method and
// boundary hydrographs (network.nc), its forcing over the whole run (whole.nc) and split in
// two with one ordinate of overlap (first.nc, second.nc), and a second part whose first
// lateral inflow of every seventh reach is not the first part's last (shifted.nc: those of
// Muskingum and Puls fail against the restart, and their failures travel downstream).
// Also the network with its reaches in reverse file order and its forcing (reversed.nc,
// reversed-forcing.nc), the network with a gauge on every 50th reach (gauged.nc), and the
// network with the parameters of one reach late in the routing order broken (refused.nc).
// Prints the outlet's reach_id.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "network/generator.h"
#include "network/netcdf_io.h"

using namespace tovalin::network;

namespace {

constexpr std::int64_t kTimes = 30, kSplit = 12;

double Lateral(std::size_t reach, std::int64_t t) {
  const double storm = t < 10 ? t / 10.0 : std::max(0.0, 1.0 - (t - 10) / 12.0);
  return 0.05 + (reach % 3 == 0 ? 2.0 * storm : 0.1 * storm);
}

void Write(const std::string& path, const GeneratedNetwork& g, std::int64_t from,
           std::int64_t count, double firstShift = 0.0) {
  ForcingLayout layout;
  layout.intervalMinutes = 60;
  layout.timeUnits = "minutes since 2026-01-01 00:00:00";
  for (const Reach& r : g.network.reaches) layout.reachIds.push_back(r.id);
  layout.boundaryReachIds = g.boundaryReachIds;
  std::vector<double> axis, boundary;
  for (std::int64_t t = from; t < from + count; ++t) {
    axis.push_back(60.0 * t);
    for (std::size_t b = 0; b < g.boundaryReachIds.size(); ++b)
      boundary.push_back(3.0 + Lateral(b, t));
  }
  WriteForcing(
      path, layout, axis,
      [&](Ordinates o, std::int64_t first, std::int64_t n, std::vector<double>& values) {
        values.resize(static_cast<std::size_t>(o.count * n));
        for (std::int64_t t = 0; t < o.count; ++t)
          for (std::int64_t j = 0; j < n; ++j)
            values[t * n + j] = Lateral(static_cast<std::size_t>(first + j), from + o.first + t) +
                                (o.first + t == 0 && (first + j) % 7 == 0 ? firstShift : 0.0);
      },
      boundary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  GeneratorOptions options;
  options.reaches = 900, options.steps = 2, options.seed = 11;
  const GeneratedNetwork g = GenerateNetwork(options);
  WriteNetwork(dir + "/network.nc", g.network);
  Write(dir + "/whole.nc", g, 0, kTimes);
  Write(dir + "/first.nc", g, 0, kSplit + 1);
  Write(dir + "/second.nc", g, kSplit, kTimes - kSplit);
  Write(dir + "/shifted.nc", g, kSplit, kTimes - kSplit, 1.0);
  GeneratedNetwork reversed = g;
  std::reverse(reversed.network.reaches.begin(), reversed.network.reaches.end());
  WriteNetwork(dir + "/reversed.nc", reversed.network);
  Write(dir + "/reversed-forcing.nc", reversed, 0, kTimes);
  GeneratedNetwork gauged = g;  // a gauge on every 50th reach
  for (std::size_t i = 0; i < g.network.reaches.size(); ++i)
    gauged.network.gages.push_back(i % 50 ? "" : "G" + std::to_string(g.network.reaches[i].id));
  WriteNetwork(dir + "/gauged.nc", gauged.network);
  GeneratedNetwork refused = g;
  Reach& broken = refused.network.reaches[refused.network.reaches.size() * 5 / 6];
  broken.method = Method::kMuskingum, broken.muskingumK = -1.0;
  WriteNetwork(dir + "/refused.nc", refused.network);
  for (const Reach& r : g.network.reaches)
    if (r.toId == 0) std::printf("%lld\n", static_cast<long long>(r.id));
  return 0;
}
