// A run spread over the processes of an MPI communicator. Every process reads the network's
// topology and validates the input alike; the partition gives each a contiguous share of the
// routing order. A process routes first the reaches of its share that need nothing from
// other processes, then, once the pre-posted receives have brought the outflows of the
// upstream reaches routed elsewhere, the rest; the outflow of a reach whose downstream reach
// lives elsewhere is sent there as soon as it is routed. Process 0 then gathers the results
// and states share by share in bounded blocks, in routing order, writes the files and takes
// the network's sums in that order: the files are those of one process, bit for bit.
// All MPI calls are made by the calling thread; oneTBB threads only route.
#pragma once

#include <mpi.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "network/engine.h"

namespace tovalin::network {

// Routes the run over `comm`. A fault of this process (a file, memory, a routine throwing)
// ends the job through `abort` with a message naming the process and the reach.
using AbortJob = void (*)(const std::string& message, int status);
RunSummary RunDistributed(const RunOptions& options, MPI_Comm comm, std::FILE* report,
                          AbortJob abort);

// The reach the calling thread is routing (0 when none), for the fault messages of signals.
ReachId ReachInProgress() noexcept;

}  // namespace tovalin::network
