// The network engine at scale. For a generated network (tovalin-network-gen's generator), or
// a network and forcing of files, it reports, for tovalin-route on each thread count (the
// fastest of --repeat runs: the machine may be shared): wall time, time reading, routing and
// writing, reach-steps per second per core of the routing, CPU time, peak resident memory and
// the Muskingum-Cunge subreach-steps; then the same reaches routed one by one in a plain
// single-threaded loop (inputs in memory, no files, no task graph; each reach from its
// initial values where the network gives them, as the engine starts it), the engine's routing
// overhead against it, the 1 -> 2 thread speed-up, and the speed-up the schedule allows.
//   bench_network_scale --reaches N --steps T --methods mixed|mc-trapezoid [--seed S]
//   bench_network_scale --network FILE --forcing FILE
//     [--dir DIR] [--threads 1,2] [--repeat R] [--gauges]
#include <fcntl.h>
#include <netcdf.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "tovalin/result.hpp"
#include "network/engine.h"
#include "route_process.h"
#include "network/generator.h"
#include "network/netcdf_io.h"
#include "network/topology.h"

extern char** environ;

namespace {

using namespace tovalin::network;
using Clock = std::chrono::steady_clock;

using tovalin::bench::EngineRun;

// The files of a run: the network and forcing routed, the results written.
struct RunFiles {
  std::string network, forcing, results;
  bool gauges = false;  // the results with the network's gauges
};

// Runs tovalin-route on the files as a child process (route_process.h).
EngineRun RunCommand(const RunFiles& files, const std::string& dir, int threads) {
  const std::string log = dir + "/summary.txt";
  std::vector<std::string> args = {TOVALIN_ROUTE_COMMAND,
                                   "--network",
                                   files.network,
                                   "--forcing",
                                   files.forcing,
                                   "--output",
                                   files.results,
                                   "--threads",
                                   std::to_string(threads)};
  if (files.gauges) args.emplace_back("--gauges");
  return tovalin::bench::RunRoute(std::move(args), log);
}

// The same reaches routed one by one in routing order, in a plain loop; returns seconds.
double PlainLoop(const RunFiles& files) {
  const Network net = ReadNetwork(files.network);
  ForcingReader forcing(files.forcing);
  const ForcingLayout layout = forcing.layout();
  const std::size_t n = net.reaches.size(), nt = static_cast<std::size_t>(layout.timeCount);
  std::vector<double> lateral;
  forcing.ReadLateral(0, static_cast<std::int64_t>(n), lateral);
  std::vector<std::vector<double>> boundaries(layout.boundaryReachIds.size());
  for (std::size_t b = 0; b < boundaries.size(); ++b)
    forcing.ReadBoundary(static_cast<std::int64_t>(b), boundaries[b]);
  const Topology topo = BuildTopology(net);
  std::vector<std::int64_t> boundaryOf(n, -1);
  for (std::size_t b = 0; b < boundaries.size(); ++b)
    for (std::size_t i = 0; i < n; ++i)
      if (net.reaches[i].id == layout.boundaryReachIds[b])
        boundaryOf[i] = static_cast<std::int64_t>(b);
  // Lateral columns per reach, laid out before the clock starts.
  std::vector<double> columns(n * nt);
  for (std::size_t t = 0; t < nt; ++t)
    for (std::size_t i = 0; i < n; ++i) columns[i * nt + t] = lateral[t * n + i];
  std::vector<double>().swap(lateral);
  std::vector<std::vector<double>> outflows(n);
  std::vector<double> inflow(nt);
  ReachWorkspace ws;
  std::vector<double> cost(n);
  const auto start = Clock::now();
  for (std::int64_t reach : topo.order) {
    std::fill(inflow.begin(), inflow.end(), 0.0);
    for (std::int64_t k = topo.upstreamStart[reach]; k < topo.upstreamStart[reach + 1]; ++k) {
      std::vector<double>& q = outflows[topo.upstream[k]];
      for (std::size_t t = 0; t < nt; ++t)
        inflow[t] = tovalin::IsUndefined(inflow[t]) || tovalin::IsUndefined(q[t])
                        ? tovalin::kUndefined
                        : inflow[t] + q[t];
    }
    if (boundaryOf[reach] >= 0)
      for (std::size_t t = 0; t < nt; ++t) inflow[t] += boundaries[boundaryOf[reach]][t];
    outflows[reach].resize(nt);
    ReachState state;
    tovalin::RunningAccount account;
    const auto reachStart = Clock::now();
    RouteReach(net, net.reaches[reach], layout.intervalMinutes,
               ReachInflow{inflow, std::span<const double>(columns.data() + reach * nt, nt)},
               outflows[reach], state, account, ws);
    cost[reach] = std::chrono::duration<double>(Clock::now() - reachStart).count();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // The engine's results must be these outflows to the last bit.
  int id = -1, var = -1;
  std::vector<long long> ids(n);
  std::vector<double> q(nt * n);
  nc_open(files.results.c_str(), NC_NOWRITE, &id);
  nc_inq_varid(id, "reach_id", &var), nc_get_var_longlong(id, var, ids.data());
  nc_inq_varid(id, "outflow", &var), nc_get_var_double(id, var, q.data());
  nc_close(id);
  std::unordered_map<long long, std::size_t> index;
  for (std::size_t i = 0; i < n; ++i) index[net.reaches[i].id] = i;
  std::size_t differing = 0;
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t t = 0; t < nt; ++t)
      if (std::memcmp(&q[t * n + j], &outflows[index.at(ids[j])][t], sizeof(double)) != 0) {
        ++differing;
        break;
      }
  std::printf("plain loop and tovalin-route differ on %zu reaches\n", differing);
  // The speed-up the engine's schedule allows on 2 cores, from each reach's cost: per block,
  // the longer of its longest chain of dependent reaches and half its work.
  const std::size_t block = static_cast<std::size_t>(RunOptions{}.blockReaches);
  double work = 0.0, bound = 0.0;
  std::vector<double> finish(n);
  for (std::size_t b0 = 0; b0 < n; b0 += block) {
    double blockWork = 0.0, chain = 0.0;
    for (std::size_t p = b0; p < std::min(n, b0 + block); ++p) {
      const std::int64_t reach = topo.order[p];
      double ready = 0.0;
      for (std::int64_t k = topo.upstreamStart[reach]; k < topo.upstreamStart[reach + 1]; ++k)
        if (static_cast<std::size_t>(topo.position[topo.upstream[k]]) >= b0)
          ready = std::max(ready, finish[topo.upstream[k]]);
      finish[reach] = ready + cost[reach];
      chain = std::max(chain, finish[reach]);
      blockWork += cost[reach];
    }
    work += blockWork;
    bound += std::max(chain, blockWork / 2.0);
  }
  std::printf("speed-up on 2 cores the schedule allows (longest chains per block): %.3f\n",
              work / bound);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  GeneratorOptions g;
  std::string dir = "bench-network", threadList = "1,2";
  RunFiles files;
  int repeat = 1;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--gauges") files.gauges = true;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--gauges") {
      --i;
      continue;
    }
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--reaches")
      g.reaches = std::atoll(v.c_str());
    else if (a == "--steps")
      g.steps = std::atoll(v.c_str());
    else if (a == "--seed")
      g.seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--methods")
      g.methods = v == "mixed" ? MethodMix::kMixed : MethodMix::kMuskingumCungeTrapezoid;
    else if (a == "--dir")
      dir = v;
    else if (a == "--threads")
      threadList = v;
    else if (a == "--network")
      files.network = v;
    else if (a == "--forcing")
      files.forcing = v;
    else if (a == "--repeat")
      repeat = std::max(1, std::atoi(v.c_str()));
  }
  std::filesystem::create_directories(dir);
  files.results = dir + "/results.nc";
  double reachSteps = 0.0;
  if (files.network.empty() || files.forcing.empty()) {
    files.network = dir + "/network.nc", files.forcing = dir + "/forcing.nc";
    const auto start = Clock::now();
    const GeneratedNetwork net = GenerateNetwork(g);
    WriteGenerated(g, net, files.network, files.forcing);
    reachSteps = static_cast<double>(g.reaches) * static_cast<double>(g.steps);
    std::printf("network: %lld reaches x %lld steps, %s (generated in %.1f s)\n",
                static_cast<long long>(g.reaches), static_cast<long long>(g.steps),
                g.methods == MethodMix::kMixed ? "mixed" : "mc-trapezoid",
                std::chrono::duration<double>(Clock::now() - start).count());
  } else {
    ForcingReader forcing(files.forcing);
    const auto reaches = static_cast<double>(forcing.layout().reachIds.size());
    reachSteps = reaches * static_cast<double>(forcing.layout().timeCount);
    std::printf("network: %s, %.0f reaches x %lld times\n", files.network.c_str(), reaches,
                static_cast<long long>(forcing.layout().timeCount));
  }
  double routeOne = 0.0, routeTwo = 0.0;
  std::stringstream list(threadList);
  for (std::string item; std::getline(list, item, ',');) {
    const int threads = std::atoi(item.c_str());
    EngineRun r = RunCommand(files, dir, threads);
    for (int k = 1; k < repeat; ++k) {
      const EngineRun again = RunCommand(files, dir, threads);
      if (again.wall < r.wall) r = again;
    }
    if (threads == 1) routeOne = r.route;
    if (threads == 2) routeTwo = r.route;
    std::printf(
        "tovalin-route %d thread(s): wall %.2f s (read %.2f, route %.2f, write %.2f), "
        "%.0f reach-steps/s per core, CPU %.2f s, peak RSS %.1f MiB, %lld subreach-steps\n",
        threads, r.wall, r.read, r.route, r.write, reachSteps / r.route / threads, r.cpu,
        r.peakKiB / 1024.0, r.subreachSteps);
  }
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const double plain = PlainLoop(files);
  getrusage(RUSAGE_SELF, &after);
  const double plainCpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                          (after.ru_utime.tv_usec - before.ru_utime.tv_usec) * 1e-6;
  std::printf("plain loop CPU %.2f s (includes reading its inputs)\n", plainCpu);
  std::printf("plain loop, 1 thread: route %.2f s, %.0f reach-steps/s\n", plain,
              reachSteps / plain);
  if (routeOne > 0)
    std::printf("engine overhead on 1 thread: %+.1f %%\n", (routeOne / plain - 1.0) * 100.0);
  if (routeOne > 0 && routeTwo > 0)
    std::printf("speed-up 1 -> 2 threads: %.2f\n", routeOne / routeTwo);
  return 0;
}
