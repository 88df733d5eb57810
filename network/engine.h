// The network engine: validates a network and its forcing (and restart), then routes every
// reach over the whole run in topological order, independent subtrees in parallel on a oneTBB
// flow graph, and writes the results and the restart. The run goes block by block along the
// routing order: the main thread reads a block's forcing, the flow graph routes the block,
// the main thread writes it; only the main thread touches files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "network/topology.h"

namespace tovalin::network {

struct RunOptions {
  std::string networkPath, forcingPath, outputPath;
  std::string restartInPath;         // empty: cold start
  std::string restartOutPath;        // empty: no restart written
  int threads = 0;                   // 0: every core
  std::int64_t blockReaches = 8192;  // reaches per block (read, routed, written together)
  // Called on the main thread after each block with the reaches done and the total.
  std::function<void(std::int64_t done, std::int64_t total)> progress;
};

// What a run did, like a solver's summary: counts, the network's volume balance and times.
struct RunSummary {
  Problems refusal;  // non-empty: the input was refused and nothing routed
  std::int64_t reaches = 0;
  std::int64_t timeCount = 0;
  std::int64_t clean = 0;           // routed without a report
  std::int64_t withWarnings = 0;    // routed with a warning
  std::int64_t failed = 0;          // a routine reported an error
  std::int64_t upstreamFailed = 0;  // routed, but a reach upstream failed
  // Network volumes, m3: what entered (boundary and lateral), what left at the outlets, the
  // change of storage, the channel loss, and the balance error (in - out - change - loss) / in
  // over the reaches whose account is defined (summed in ascending reach_id, so the same for any
  // thread count and process count).
  double inflowVolume = 0.0, outletVolume = 0.0, storageChange = 0.0, lossVolume = 0.0;
  double balanceError = 0.0;
  std::int64_t undefinedAccounts = 0;
  double readSeconds = 0.0, routeSeconds = 0.0, writeSeconds = 0.0;
  int threads = 0;

  bool Failed() const noexcept { return failed > 0 || upstreamFailed > 0; }
  std::string BriefReport() const;
};

// Runs the engine. Throws FileError when a file cannot be read or written; a refused input
// comes back in the summary's refusal with nothing written.
RunSummary Run(const RunOptions& options);

}  // namespace tovalin::network
