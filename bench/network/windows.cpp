// tovalin-route over a long run, whole and in time windows. For a generated network it runs
// tovalin-route as a child process for every window length and thread count asked for, and
// reports wall and processor time, the reading, routing and writing times of its summary,
// peak resident memory (rusage) and the bytes it read and wrote (/proc/PID/io: rchar and
// wchar, what it asked of the file system; read_bytes and write_bytes, what reached the
// disk), and checks that every run's outflows are the whole run's to the bit. Beside the
// engine, the plainest loop doing the windowed work: every reach routed through the routing
// of one reach (RouteReach) in routing order, window by window, its state and running account
// carried on, the forcing of all reaches read one window at a time, no threads, task graph or
// results file; its outflows are checked against the engine's too.
//   bench_network_windows [--reaches N] [--steps T] [--methods mixed|mc-trapezoid] [--seed S]
//                         [--dir DIR] [--windows 0,24,168] [--threads 1,2] [--plain W]
//                         [--reuse]
// --windows lists window lengths (0: the whole run); --plain W times the plain loop in
// windows of W (0: no plain loop); --reuse routes the files DIR holds instead of generating.
#include <fcntl.h>
#include <time.h>
#include <netcdf.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "route_process.h"
#include "network/generator.h"
#include "network/netcdf_io.h"
#include "network/reach_routing.h"
#include "network/share.h"
#include "network/topology.h"
#include "tovalin/result.hpp"

extern char** environ;

namespace {

using namespace tovalin::network;
using Clock = std::chrono::steady_clock;

using tovalin::bench::EngineRun;

// Runs tovalin-route on the files in dir as a child process (route_process.h).
EngineRun RunCommand(const std::string& dir, const std::string& out, std::int64_t window,
                     int threads) {
  const std::string log = dir + "/summary.txt";
  std::vector<std::string> args = {TOVALIN_ROUTE_COMMAND, "--network", dir + "/network.nc",
                                   "--forcing", dir + "/forcing.nc", "--output", out,
                                   "--threads", std::to_string(threads)};
  if (window > 0) args.insert(args.end(), {"--window", std::to_string(window)});
  return tovalin::bench::RunRoute(std::move(args), log);
}

// 64-bit FNV-1a of a results file's outflows, reach by reach in ascending reach_id, read a row
// of chunks at a time.
std::uint64_t OutflowHash(const std::string& path) {
  int id = -1, var = -1;
  if (nc_open(path.c_str(), NC_NOWRITE, &id) != NC_NOERR) return 0;
  // The outflow's own dimensions (time, then the reaches, whatever the file names them).
  std::size_t nt = 0, nr = 0;
  int dims[2] = {-1, -1};
  nc_inq_varid(id, "outflow", &var), nc_inq_vardimid(id, var, dims);
  nc_inq_dimlen(id, dims[0], &nt), nc_inq_dimlen(id, dims[1], &nr);
  std::vector<long long> ids(nr);
  int idVar = -1;
  nc_inq_varid(id, "reach_id", &idVar), nc_get_var_longlong(id, idVar, ids.data());
  std::vector<std::size_t> order(nr);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ids[a] < ids[b]; });
  std::uint64_t h = 0xCBF29CE484222325ULL;
  std::vector<double> rows;
  for (std::size_t t0 = 0; t0 < nt; t0 += kTimeSeriesChunk.times) {
    const std::size_t count = std::min(kTimeSeriesChunk.times, nt - t0);
    const std::size_t start[2] = {t0, 0}, extent[2] = {count, nr};
    rows.resize(count * nr);
    nc_get_vara_double(id, var, start, extent, rows.data());
    for (std::size_t t = 0; t < count; ++t)
      for (std::size_t j : order) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(rows[t * nr + j]);
        for (int b = 0; b < 8; ++b) h = (h ^ ((bits >> (8 * b)) & 0xFFu)) * 0x100000001B3ULL;
      }
  }
  nc_close(id);
  return h;
}

// Processor time of this process, s.
double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The plain loop in windows of `length`: processor seconds routing (the forcing's reading and
// the check left out), and whether its outflows are those of the results file `check`
// (ordinate by ordinate, reach by reach).
double PlainLoop(const std::string& dir, std::int64_t length, const std::string& check) {
  const Network net = ReadNetwork(dir + "/network.nc");
  ForcingReader forcing(dir + "/forcing.nc");
  const ForcingLayout layout = forcing.layout();
  const std::size_t n = net.reaches.size();
  const Topology topo = BuildTopology(net);
  std::vector<std::int64_t> boundaryOf(n, -1);
  const std::size_t nb = layout.boundaryReachIds.size();
  for (std::size_t b = 0; b < nb; ++b)
    for (std::size_t i = 0; i < n; ++i)
      if (net.reaches[i].id == layout.boundaryReachIds[b]) boundaryOf[i] = static_cast<std::int64_t>(b);
  std::vector<std::vector<double>> boundaries(nb);
  const RunWindows windows(layout.timeCount, length);
  std::vector<ReachState> states(n);
  std::vector<tovalin::RunningAccount> accounts(n);
  std::vector<std::vector<double>> outflows(n);
  std::vector<double> lateral, column, inflow, results;
  ReachWorkspace ws;
  int id = -1, var = -1;
  nc_open(check.c_str(), NC_NOWRITE, &id);
  nc_inq_varid(id, "outflow", &var);
  std::size_t differing = 0;
  double seconds = 0.0;
  for (std::int64_t w = 0; w < windows.count(); ++w) {
    const Ordinates routed = windows.Routed(w), written = windows.Written(w);
    const auto nt = static_cast<std::size_t>(routed.count);
    forcing.ReadLateral(0, static_cast<std::int64_t>(n), routed, lateral);
    for (std::size_t b = 0; b < nb; ++b)
      forcing.ReadBoundary(static_cast<std::int64_t>(b), routed, boundaries[b]);
    const double start = ProcessSeconds();
    for (std::int64_t reach : topo.order) {
      inflow.assign(nt, 0.0);
      for (std::int64_t k = topo.upstreamStart[reach]; k < topo.upstreamStart[reach + 1]; ++k) {
        const std::vector<double>& q = outflows[topo.upstream[k]];
        for (std::size_t t = 0; t < nt; ++t) inflow[t] = AddFlows(inflow[t], q[t]);
      }
      if (boundaryOf[reach] >= 0) {
        const std::vector<double>& boundary = boundaries[boundaryOf[reach]];
        for (std::size_t t = 0; t < nt; ++t) inflow[t] = AddFlows(inflow[t], boundary[t]);
      }
      column.resize(nt);
      for (std::size_t t = 0; t < nt; ++t) column[t] = lateral[t * n + reach];
      outflows[reach].resize(nt);
      RouteReach(net, net.reaches[reach], layout.intervalMinutes, ReachInflow{inflow, column},
                 outflows[reach], states[reach], accounts[reach], ws);
    }
    seconds += ProcessSeconds() - start;
    // The engine wrote reaches in routing order: position p holds topo.order[p].
    const std::size_t from[2] = {static_cast<std::size_t>(written.first), 0};
    const std::size_t extent[2] = {static_cast<std::size_t>(written.count), n};
    results.resize(extent[0] * n);
    nc_get_vara_double(id, var, from, extent, results.data());
    const std::size_t skip = w == 0 ? 0 : 1;
    for (std::size_t p = 0; p < n; ++p) {
      const std::vector<double>& q = outflows[topo.order[p]];
      for (std::size_t t = 0; t < extent[0]; ++t)
        if (std::bit_cast<std::uint64_t>(results[t * n + p]) !=
            std::bit_cast<std::uint64_t>(q[t + skip])) {
          ++differing;
          break;
        }
    }
  }
  nc_close(id);
  std::printf("plain loop in windows of %lld: %zu reach-windows differ from tovalin-route's\n",
              static_cast<long long>(windows.length), differing);
  return seconds;
}

std::vector<long long> List(const std::string& text) {
  std::vector<long long> values;
  std::stringstream list(text);
  for (std::string item; std::getline(list, item, ',');) values.push_back(std::atoll(item.c_str()));
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  GeneratorOptions g;
  g.reaches = 10000, g.steps = 8760;
  std::string dir = "bench-windows", windowList = "0,24,168", threadList = "1,2";
  long long plainWindow = 24;
  bool reuse = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i], v = i + 1 < argc ? argv[i + 1] : "";
    if (a == "--reuse") {
      reuse = true;
      continue;
    }
    ++i;
    if (a == "--reaches") g.reaches = std::atoll(v.c_str());
    else if (a == "--steps") g.steps = std::atoll(v.c_str());
    else if (a == "--seed") g.seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--methods")
      g.methods = v == "mixed" ? MethodMix::kMixed : MethodMix::kMuskingumCungeTrapezoid;
    else if (a == "--dir") dir = v;
    else if (a == "--windows") windowList = v;
    else if (a == "--threads") threadList = v;
    else if (a == "--plain") plainWindow = std::atoll(v.c_str());
  }
  std::filesystem::create_directories(dir);
  if (!reuse) {
    const auto start = Clock::now();
    const GeneratedNetwork net = GenerateNetwork(g);
    WriteGenerated(g, net, dir + "/network.nc", dir + "/forcing.nc");
    std::printf("network: %lld reaches x %lld steps, %s (generated in %.1f s)\n",
                static_cast<long long>(g.reaches), static_cast<long long>(g.steps),
                g.methods == MethodMix::kMixed ? "mixed" : "mc-trapezoid",
                std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::printf("%-8s %7s %9s %9s %8s %8s %8s %10s %10s %10s %10s %10s  %s\n", "window", "threads",
              "wall s", "CPU s", "read s", "route s", "write s", "peak MiB", "rchar MiB",
              "wchar MiB", "disk r MiB", "disk w MiB", "outflows");
  std::uint64_t whole = 0;
  double wholeWall[3] = {0, 0, 0};
  std::string lastResults;
  double plainCpu = 0.0;
  for (long long window : List(windowList)) {
    for (long long threads : List(threadList)) {
      const std::string out =
          dir + "/results-w" + std::to_string(window) + "-t" + std::to_string(threads) + ".nc";
      const EngineRun r = RunCommand(dir, out, window, static_cast<int>(threads));
      const std::uint64_t hash = OutflowHash(out);
      if (window == 0) whole = hash;
      if (window == 0 && threads >= 1 && threads <= 2) wholeWall[threads] = r.wall;
      const char* same = window == 0  ? "the whole run"
                         : whole == 0 ? "(no whole run to compare)"
                         : hash == whole ? "equal"
                                         : "DIFFER";
      constexpr double kMiB = 1024.0 * 1024.0;
      std::printf("%-8s %7lld %9.2f %9.2f %8.2f %8.2f %8.2f %10.1f %10.1f %10.1f %10.1f %10.1f  %s",
                  window == 0 ? "whole" : std::to_string(window).c_str(), threads, r.wall, r.cpu,
                  r.read, r.route, r.write, r.peakKiB / 1024.0, r.rchar / kMiB, r.wchar / kMiB,
                  r.readBytes / kMiB, r.writeBytes / kMiB, same);
      if (window != 0 && threads >= 1 && threads <= 2 && wholeWall[threads] > 0)
        std::printf(" (wall %.2f x the whole run's)", r.wall / wholeWall[threads]);
      std::printf("\n");
      std::fflush(stdout);
      if (window == plainWindow && threads == 1) lastResults = out, plainCpu = r.cpu;
      // Keep the disk free: only the results the plain loop checks stay.
      if (out != lastResults) std::filesystem::remove(out);
    }
  }
  if (plainWindow > 0 && !lastResults.empty()) {
    const double plain = PlainLoop(dir, plainWindow, lastResults);
    std::printf("plain loop in windows of %lld, 1 thread: %.2f s of processor time routing; "
                "tovalin-route's on 1 thread: %.2f s, files included\n",
                plainWindow, plain, plainCpu);
  }
  return 0;
}
