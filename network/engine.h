// The network engine: validates a network and its forcing (and restart), then routes every
// reach in topological order, independent subtrees in parallel on a oneTBB flow graph, over
// the whole run or window by window of its ordinates, and writes the results and the
// restarts. One run path for one process and for many: the processes share the routing order
// out (partition.h), each routes its share (share.h) window by window and, within a window,
// block by block along it (reading a block's forcing over the window, routing the block,
// handing over its written results), and what they exchange goes through an Exchange
// (exchange.h). Only the thread that calls Run touches files (the NetCDF library is not
// thread-safe) or the exchange.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "network/exchange.h"
#include "network/netcdf_values.h"
#include "network/summary.h"

namespace tovalin::network {

struct RunOptions {
  std::string networkPath, forcingPath, outputPath;
  std::string restartInPath;         // empty: cold start
  // Where restarts go (empty: none), "{time}" replaced by the state's time (RestartPath): at
  // the end, and after every restartEvery windows (0: at the end only).
  std::string restartOutPath;
  std::int64_t restartEvery = 0;
  int threads = 0;                   // 0: every core
  std::int64_t blockReaches = 8192;  // reaches per block (read, routed, written together)
  std::int64_t window = 0;           // ordinates per window (0: the whole run in one)
  // Written beside the outflows where asked for: every reach's depth(time, reach_id) and
  // velocity(time, reach_id), computed by the routines as they route (reach_routing.h), and
  // the outflows at the reaches the network names a gauge for (gauge_outflow(time, gauge),
  // gauge_id, gauge_reach_id); window by window as the outflows.
  bool depths = false, velocities = false;
  bool gauges = false;
  // Called on process 0's engine thread after each block with the reach-windows it has routed
  // and those of its share (its reaches times the windows).
  std::function<void(std::int64_t done, std::int64_t total)> progress;
  // Over several processes, process 0 prints the partition and what the exchange moved here
  // (null: nothing).
  std::FILE* report = nullptr;
};

// Runs the engine over the processes of `exchange`; every process calls it alike and gets
// the run's counts and refusal (process 0 also its volumes and times). Throws FileError when
// a file cannot be read or written everywhere; a refused input comes back in the summary's
// refusal with nothing written. A fault of one process goes to exchange.Fault.
RunSummary Run(const RunOptions& options, Exchange& exchange);
// The run in this one process.
RunSummary Run(const RunOptions& options);

// The path of a restart at `instant`: the pattern with every "{time}" replaced by the instant
// as YYYYMMDDhhmm (UTC).
std::string RestartPath(const std::string& pattern, Instant instant);

// The reach the calling thread is routing (0 when none), for the fault messages of signals.
ReachId ReachInProgress() noexcept;

}  // namespace tovalin::network
