#include "network/parallel/processes.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef TOVALIN_WITH_MPI
#include "network/parallel/mpi_exchange.h"
#endif

namespace tovalin::network {

int LauncherProcessCount() noexcept {
  // Open MPI, then the process managers of MPICH and its kin.
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_SIZE", "MPI_LOCALNRANKS"})
    if (const char* text = std::getenv(name)) {
      const long n = std::strtol(text, nullptr, 10);
      if (n > 1) return static_cast<int>(std::min<long>(n, 1 << 30));
    }
  return 1;
}

#ifdef TOVALIN_WITH_MPI
namespace {

bool StartedByLauncher() noexcept {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMI_RANK", "PMIX_RANK"})
    if (std::getenv(name)) return true;
  return false;
}

constexpr int kExitFault = 4;

// The process's rank for the signal handler (set once, before any routing thread starts).
volatile std::sig_atomic_t gRank = 0;

void AppendNumber(char*& at, long v) {
  char digits[24];
  int n = 0;
  do digits[n++] = static_cast<char>('0' + v % 10), v /= 10;
  while (v > 0);
  while (n > 0) *at++ = digits[--n];
}

// A fatal signal: the message names the process and the reach being routed, then the job
// ends (MPI_Abort is the only way to end the other processes too).
extern "C" void OnFatalSignal(int signal) {
  char text[160] = "tovalin-route: process ";
  char* at = text + std::strlen(text);
  AppendNumber(at, gRank);
  const ReachId reach = ReachInProgress();
  const char* reachText = reach ? ", reach " : ", outside routing";
  for (const char* c = reachText; *c; ++c) *at++ = *c;
  if (reach) AppendNumber(at, reach);
  for (const char* c = ": fatal signal "; *c; ++c) *at++ = *c;
  AppendNumber(at, signal);
  *at++ = '\n';
  [[maybe_unused]] const ssize_t written =
      write(STDERR_FILENO, text, static_cast<std::size_t>(at - text));
  MPI_Abort(MPI_COMM_WORLD, 128 + signal);
  _exit(128 + signal);
}

}  // namespace

Processes::Processes(int& argc, char**& argv) {
  if (!StartedByLauncher()) return;
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  joined_ = true;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
  if (provided < MPI_THREAD_FUNNELED)
    refusal_ = "the MPI library does not let routing threads run beside MPI";
  if (size_ > 1) {
    gRank = rank_;
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(s, OnFatalSignal);
  }
}

Processes::~Processes() {
  if (!joined_) return;
  // No process leaves before process 0 has said what happened: a launcher ends the job at
  // the first process that exits with a status other than 0.
  MPI_Barrier(MPI_COMM_WORLD);
  MPI_Finalize();
}

RunSummary Processes::Run(const RunOptions& options, std::FILE* report) {
  RunOptions run = options;
  run.report = report;
  if (size_ == 1) return network::Run(run);
  try {
    MpiExchange exchange(MPI_COMM_WORLD);
    return network::Run(run, exchange);
  } catch (const FileError&) {
    throw;  // the same on every process: reported once, by process 0
  } catch (const std::exception& e) {
    AbortJob("process " + std::to_string(rank_) + ": " + e.what(), kExitFault);
  }
}

void Processes::Abort(const std::string& message, int status) const {
  if (joined_) AbortJob(message, status);
  std::fprintf(stderr, "tovalin-route: %s\n", message.c_str());
  std::exit(status);
}

#else

Processes::Processes(int&, char**&) {
  if (const int n = LauncherProcessCount(); n > 1) {
    for (const char* name : {"OMPI_COMM_WORLD_RANK", "PMI_RANK", "PMIX_RANK"})
      if (const char* text = std::getenv(name)) {
        rank_ = static_cast<int>(std::strtol(text, nullptr, 10));  // only process 0 says why
        break;
      }
    refusal_ = "built without MPI but started as one of " + std::to_string(n) +
               " processes (each would write the same files): run it as one process";
  }
  (void)joined_;
}

Processes::~Processes() = default;

RunSummary Processes::Run(const RunOptions& options, std::FILE* report) {
  RunOptions run = options;
  run.report = report;
  return network::Run(run);
}

void Processes::Abort(const std::string& message, int status) const {
  std::fprintf(stderr, "tovalin-route: %s\n", message.c_str());
  std::exit(status);
}

#endif

}  // namespace tovalin::network
