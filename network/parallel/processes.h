// The processes one run is spread over. Built with MPI and started by an MPI launcher as one of
// several, every process runs the engine over an MPI exchange (mpi_exchange.h) and routes its
// share of the network; otherwise the engine runs in this one process. A build without MPI started as one of several
// processes refuses to run: each would write the same files.
#pragma once

#include <cstdio>
#include <string>

#include "network/engine.h"

namespace tovalin::network {

class Processes {
 public:
  // Joins the job (MPI_Init_thread, funneled: only this thread calls MPI) when started by
  // an MPI launcher.
  Processes(int& argc, char**& argv);
  ~Processes();
  Processes(const Processes&) = delete;
  Processes& operator=(const Processes&) = delete;

  int rank() const noexcept { return rank_; }
  int size() const noexcept { return size_; }
  bool lead() const noexcept { return rank_ == 0; }
  // Non-empty: this process must not run (the reason, for standard error).
  const std::string& refusal() const noexcept { return refusal_; }

  // Routes the run: the engine's Run over the exchange of the processes, where the partition
  // and what the exchange moved are reported on `report` by process 0 (null: nothing).
  // Every process returns the run's counts and refusal; process 0 also its figures. A fault
  // of any process (a file, memory, a signal) ends the whole job with a message naming the
  // process and the reach.
  RunSummary Run(const RunOptions& options, std::FILE* report);

  // Ends every process of the job with `status` after printing `message` on standard error.
  [[noreturn]] void Abort(const std::string& message, int status) const;

 private:
  int rank_ = 0, size_ = 1;
  bool joined_ = false;
  std::string refusal_;
};

// Process count announced by an MPI launcher in the environment (1 when none).
int LauncherProcessCount() noexcept;

}  // namespace tovalin::network
