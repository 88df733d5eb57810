// The case of the window tests, and a reader of results:
//   window_case write DIR
//     writes DIR/network.nc, a generated network of every method with a boundary hydrograph,
//     and DIR/forcing.nc, 60 hourly ordinates of the generator's storm in which one reach's
//     lateral inflow is undefined at ordinate 17 and the first Puls reach without loss gets a
//     flood from ordinate 20 that its table cannot hold (its lookups fail: the reach fails and
//     the reaches below it are marked). Gauges name that reach, the one below it and the
//     reaches at every 50th file position. Prints that reach's id.
//   window_case tail RESULTS FROM
//     prints, reach by reach in ascending reach_id, the bits of every outflow of a results file
//     from ordinate FROM on: two runs that agree from there print the same.
// Exit status 0, 2 bad command line, 4 a file error.
#include <netcdf.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "network/generator.h"
#include "network/netcdf_io.h"

using namespace tovalin::network;

namespace {

constexpr std::int64_t kTimes = 60;
constexpr std::int64_t kUndefinedOrdinate = 17, kFloodFrom = 20;
// The flood on the failing reach, times the largest outflow of its table.
constexpr double kFloodFactor = 4.0;

std::int64_t Write(const std::string& dir) {
  GeneratorOptions options;
  options.reaches = 500, options.steps = kTimes, options.seed = 23;
  GeneratedNetwork g = GenerateNetwork(options);
  const Network& net = g.network;
  const auto nr = static_cast<std::size_t>(net.reaches.size());
  std::size_t puls = nr;
  for (std::size_t j = 0; j < nr && puls == nr; ++j)
    if (net.reaches[j].method == Method::kPuls && net.reaches[j].toId != 0) puls = j;
  if (puls == nr) throw std::runtime_error("no Puls reach");
  const Reach& r = net.reaches[puls];
  g.network.gages.assign(nr, "");
  for (std::size_t j = 0; j < nr; ++j)
    if (j % 50 == 0 || j == puls || net.reaches[j].id == r.toId)
      g.network.gages[j] = "G" + std::to_string(net.reaches[j].id);
  WriteGenerated(options, g, dir + "/network.nc", dir + "/generated.nc");
  // The generator's forcing, then the two changes.
  ForcingReader generated(dir + "/generated.nc");
  const ForcingLayout& layout = generated.layout();
  std::vector<double> lateral, boundary, one;
  generated.ReadLateral(0, static_cast<std::int64_t>(nr), lateral);
  for (std::size_t b = 0; b < layout.boundaryReachIds.size(); ++b) {
    generated.ReadBoundary(static_cast<std::int64_t>(b), one);
    boundary.resize(one.size() * layout.boundaryReachIds.size());
    for (std::size_t t = 0; t < one.size(); ++t)
      boundary[t * layout.boundaryReachIds.size() + b] = one[t];
  }
  lateral[kUndefinedOrdinate * nr + nr / 2] = tovalin::kUndefined;
  const double largest =
      net.outflowTable[static_cast<std::size_t>(r.tableStart + r.tableCount - 1)];
  for (std::int64_t t = kFloodFrom; t < kTimes; ++t)
    lateral[static_cast<std::size_t>(t) * nr + puls] = kFloodFactor * largest;
  const std::vector<double> times = generated.ReadTimes();
  WriteForcing(
      dir + "/forcing.nc", layout, times,
      [&](Ordinates o, std::int64_t first, std::int64_t count, std::vector<double>& block) {
        block.clear();
        for (std::int64_t t = o.first; t < o.end(); ++t)
          for (std::int64_t j = first; j < first + count; ++j)
            block.push_back(lateral[static_cast<std::size_t>(t) * nr + static_cast<std::size_t>(j)]);
      },
      boundary);
  return r.id;
}

void Check(int status, const std::string& what) {
  if (status != NC_NOERR) throw std::runtime_error(what + ": " + nc_strerror(status));
}

void Tail(const std::string& path, std::size_t from) {
  int id = -1, var = -1, dims[2] = {-1, -1};
  Check(nc_open(path.c_str(), NC_NOWRITE, &id), path);
  // The outflow's dimensions: time, then the reaches (whatever the file names them).
  std::size_t nt = 0, nr = 0;
  Check(nc_inq_varid(id, "outflow", &var), "outflow");
  Check(nc_inq_vardimid(id, var, dims), "outflow");
  Check(nc_inq_dimlen(id, dims[0], &nt), "time"), Check(nc_inq_dimlen(id, dims[1], &nr), "reach");
  std::vector<long long> ids(nr);
  std::vector<double> outflow(nt * nr);
  Check(nc_get_var_double(id, var, outflow.data()), "outflow");
  Check(nc_inq_varid(id, "reach_id", &var), "reach_id");
  Check(nc_get_var_longlong(id, var, ids.data()), "reach_id");
  nc_close(id);
  std::vector<std::size_t> order(nr);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ids[a] < ids[b]; });
  for (std::size_t j : order) {
    std::printf("%lld", ids[j]);
    for (std::size_t t = from; t < nt; ++t)
      std::printf(" %016llx", static_cast<unsigned long long>(
                                  std::bit_cast<std::uint64_t>(outflow[t * nr + j])));
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  try {
    if (a.size() == 2 && a[0] == "write") {
      std::printf("%lld\n", static_cast<long long>(Write(a[1])));
      return 0;
    }
    if (a.size() == 3 && a[0] == "tail") {
      Tail(a[1], std::stoul(a[2]));
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "window_case: %s\n", e.what());
    return 4;
  }
  std::fputs("usage: window_case write DIR | window_case tail RESULTS FROM\n", stderr);
  return 2;
}
