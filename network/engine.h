// The network engine: validates a network and its forcing (and restart), then routes every
// reach over the whole run in topological order, independent subtrees in parallel on a oneTBB
// flow graph, and writes the results and the restart. One run path for one process and for
// many: the processes share the routing order out (partition.h), each routes its share
// (share.h) block by block along it (reading a block's forcing, routing the block, handing
// over its written results), and what they exchange goes through an Exchange (exchange.h).
// Only the thread that calls Run touches files (the NetCDF library is not thread-safe) or the
// exchange.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "network/exchange.h"
#include "network/summary.h"

namespace tovalin::network {

struct RunOptions {
  std::string networkPath, forcingPath, outputPath;
  std::string restartInPath;         // empty: cold start
  std::string restartOutPath;        // empty: no restart written
  int threads = 0;                   // 0: every core
  std::int64_t blockReaches = 8192;  // reaches per block (read, routed, written together)
  // Written beside the outflows where asked for: every reach's depth(time, reach_id) and
  // velocity(time, reach_id), computed by the routines as they route (reach_routing.h), and
  // the outflows at the reaches the network names a gauge for (gauge_outflow(time, gauge),
  // gauge_id, gauge_reach_id).
  bool depths = false, velocities = false;
  bool gauges = false;
  // Called on process 0's engine thread after each block with the reaches it has routed and
  // the reaches of its share.
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

// The reach the calling thread is routing (0 when none), for the fault messages of signals.
ReachId ReachInProgress() noexcept;

}  // namespace tovalin::network
