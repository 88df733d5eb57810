#include "network/parallel/mpi_exchange.h"

#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "network/netcdf_io.h"
#include "network/parallel/wire.h"

namespace tovalin::network {
namespace {

constexpr int kExitFault = 4;
constexpr int kTagResults = 1;
constexpr int kTagBoundaryFirst = 16;

std::string Where(int rank, ReachId reach) {
  std::string s = "process " + std::to_string(rank);
  if (reach != 0) s += ", reach " + std::to_string(reach);
  return s + ": ";
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

void AbortJob(const std::string& message, int status) {
  std::fprintf(stderr, "tovalin-route: %s\n", message.c_str());
  std::fflush(stderr);
  MPI_Abort(MPI_COMM_WORLD, status);
  std::_Exit(status);
}

MpiExchange::MpiExchange(MPI_Comm comm) : comm_(comm) {
  MPI_Comm_rank(comm, &rank_);
  MPI_Comm_size(comm, &size_);
  void* limit = nullptr;
  int has = 0;
  MPI_Comm_get_attr(comm, MPI_TAG_UB, &limit, &has);
  if (has) maxTag_ = *static_cast<int*>(limit);
#ifdef TOVALIN_FAULT_INJECTION
  // TOVALIN_FAULT_INJECT = "PROCESS:REACH_ID:io|alloc|signal"
  if (const char* text = std::getenv("TOVALIN_FAULT_INJECT")) {
    char kind[16] = {};
    long long reach = 0;
    if (std::sscanf(text, "%d:%lld:%15s", &faultProcess_, &reach, kind) == 3)
      faultKind_ = kind, faultReach_ = reach;
    else
      faultProcess_ = -1;
  }
#endif
}

void MpiExchange::Agree(const std::string& error) {
  int bad = error.empty() ? 0 : 1, everywhere = 0, anywhere = 0;
  MPI_Allreduce(&bad, &everywhere, 1, MPI_INT, MPI_MIN, comm_);
  MPI_Allreduce(&bad, &anywhere, 1, MPI_INT, MPI_MAX, comm_);
  if (everywhere) throw FileError(error);
  if (anywhere) {
    if (bad) AbortJob(Where(rank_, 0) + error, kExitFault);
    MPI_Barrier(comm_);  // never completes: the failing process ends the job
  }
}

bool MpiExchange::Everywhere(bool holds) {
  int mine = holds ? 1 : 0, all = 0;
  MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, comm_);
  return all != 0;
}

int MpiExchange::Tag(std::int64_t serial) {
  if (kTagBoundaryFirst + serial > maxTag_)
    Fault(0, "more boundary reaches between two processes than MPI tags");
  return static_cast<int>(kTagBoundaryFirst + serial);
}

void MpiExchange::PostReceives(std::span<const BoundaryLink> inbound, Ordinates slice) {
  const auto n = static_cast<int>(slice.count + 1);
  received_.resize(inbound.size());
  receives_.assign(inbound.size(), MPI_REQUEST_NULL);
  for (std::size_t i = 0; i < inbound.size(); ++i) {
    received_[i].resize(static_cast<std::size_t>(n));
    MPI_Irecv(received_[i].data(), n, MPI_DOUBLE, inbound[i].process, Tag(inbound[i].serial),
              comm_, &receives_[i]);
  }
}

void MpiExchange::Send(const BoundaryLink& outbound, std::span<const double> outflow,
                       std::uint8_t mark) {
  // The slice's outflows, then the mark: 8 (T + 1) bytes.
  std::vector<char> bytes((outflow.size() + 1) * sizeof(double));
  const double flag = mark;
  std::memcpy(bytes.data(), outflow.data(), outflow.size() * sizeof(double));
  std::memcpy(bytes.data() + outflow.size() * sizeof(double), &flag, sizeof flag);
  bytesSent_ += static_cast<double>(bytes.size());
  ++boundariesSent_;
  sent_.push_back(std::move(bytes));
  sends_.emplace_back();
  MPI_Isend(sent_.back().data(), static_cast<int>(outflow.size() + 1), MPI_DOUBLE,
            outbound.process, Tag(outbound.serial), comm_, &sends_.back());
}

void MpiExchange::WaitInbound(const std::function<void(std::size_t, BoundaryOutflow&)>& take) {
  const auto clock = Clock::now();
  MPI_Waitall(static_cast<int>(receives_.size()), receives_.data(), MPI_STATUSES_IGNORE);
  waitSeconds_ += Seconds(clock);
  BoundaryOutflow received;
  for (std::size_t i = 0; i < received_.size(); ++i) {
    received.mark = static_cast<std::uint8_t>(received_[i].back());
    received_[i].pop_back();
    received.outflow = std::move(received_[i]);
    take(i, received);
  }
  received_.clear();
  receives_.clear();
}

void MpiExchange::Collect(ResultBlock& block, const BlockSink& sink) {
  if (rank_ == 0) {
    sink(block);
    return;
  }
  Packer pack;
  BlockFields(pack, std::as_const(block));
  sent_.push_back(std::move(pack.bytes()));
  sends_.emplace_back();
  MPI_Isend(sent_.back().data(), static_cast<int>(sent_.back().size()), MPI_BYTE, 0, kTagResults,
            comm_, &sends_.back());
}

bool MpiExchange::TakeBlock(int source, const BlockSink& sink) {
  MPI_Status status;
  int length = 0;
  MPI_Probe(source, kTagResults, comm_, &status);
  MPI_Get_count(&status, MPI_BYTE, &length);
  message_.resize(static_cast<std::size_t>(length));
  MPI_Recv(message_.data(), length, MPI_BYTE, status.MPI_SOURCE, kTagResults, comm_,
           MPI_STATUS_IGNORE);
  bytesGathered_ += length;
  if (length == 0) return false;  // the end of that process's blocks
  ResultBlock block;
  Unpacker unpack(message_);
  BlockFields(unpack, block);
  if (!unpack.done()) throw std::runtime_error("a results message longer than its fields");
  sink(block);
  return true;
}

void MpiExchange::TestSends() {
  if (sends_.empty()) return;
  int completed = 0;
  done_.resize(sends_.size());
  MPI_Testsome(static_cast<int>(sends_.size()), sends_.data(), &completed, done_.data(),
               MPI_STATUSES_IGNORE);
  // Completed requests are null now: their buffers go, the others stay in order.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < sends_.size(); ++i) {
    if (sends_[i] == MPI_REQUEST_NULL) continue;
    if (kept != i) {  // never a vector moved onto itself: that would free a buffer in flight
      sends_[kept] = sends_[i];
      sent_[kept] = std::move(sent_[i]);
    }
    ++kept;
  }
  sends_.resize(kept);
  sent_.resize(kept);
}

void MpiExchange::Progress(const BlockSink& sink) {
  if (!receives_.empty()) {
    int done = 0;
    MPI_Testall(static_cast<int>(receives_.size()), receives_.data(), &done, MPI_STATUSES_IGNORE);
  }
  TestSends();
  if (rank_ != 0) return;
  for (int arrived = 1; arrived;) {
    MPI_Iprobe(MPI_ANY_SOURCE, kTagResults, comm_, &arrived, MPI_STATUS_IGNORE);
    if (arrived && !TakeBlock(MPI_ANY_SOURCE, sink)) ++marked_;
  }
}

// The other processes send an empty message after their last block (of a window, or of the
// run); process 0 takes blocks until each has. A process's messages arrive in the order it
// sent them, so every block before its empty message has been taken then.
void MpiExchange::TakeUntilMarked(const BlockSink& sink) {
  if (rank_ == 0) {
    while (marked_ < size_ - 1)
      if (!TakeBlock(MPI_ANY_SOURCE, sink)) ++marked_;
    marked_ = 0;
  } else {
    sends_.emplace_back();
    MPI_Isend(nullptr, 0, MPI_BYTE, 0, kTagResults, comm_, &sends_.back());
    sent_.emplace_back();
  }
}

void MpiExchange::CollectWindow(const BlockSink& sink) {
  const auto clock = Clock::now();
  TakeUntilMarked(sink);
  // No process starts the next window before process 0 has the whole of this one, so that no
  // block of the next can come before the last of this one.
  MPI_Barrier(comm_);
  TestSends();
  waitSeconds_ += Seconds(clock);
}

void MpiExchange::CollectRest(const BlockSink& sink) {
  const auto clock = Clock::now();
  TakeUntilMarked(sink);
  MPI_Waitall(static_cast<int>(sends_.size()), sends_.data(), MPI_STATUSES_IGNORE);
  sends_.clear(), sent_.clear();
  waitSeconds_ += Seconds(clock);
}

void MpiExchange::FinishSummary(RunSummary& summary, std::FILE* report) {
  std::int64_t counts[7] = {summary.clean,          summary.withWarnings,
                            summary.failed,         summary.upstreamFailed,
                            summary.undefinedAccounts, summary.outsideCourantBand,
                            summary.subreachSteps};
  MPI_Bcast(counts, 7, MPI_INT64_T, 0, comm_);
  summary.clean = counts[0], summary.withWarnings = counts[1], summary.failed = counts[2];
  summary.upstreamFailed = counts[3], summary.undefinedAccounts = counts[4];
  summary.outsideCourantBand = counts[5], summary.subreachSteps = counts[6];
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  constexpr int kFigures = 6;
  const double mine[kFigures] = {bytesSent_,   boundariesSent_,
                                 summary.routeSeconds, waitSeconds_,
                                 cpu,          static_cast<double>(usage.ru_maxrss) / 1024.0};
  std::vector<double> all(rank_ == 0 ? kFigures * static_cast<std::size_t>(size_) : 0);
  MPI_Gather(mine, kFigures, MPI_DOUBLE, all.data(), kFigures, MPI_DOUBLE, 0, comm_);
  if (rank_ != 0 || !report) return;
  double bytes = 0.0, messages = 0.0;
  for (int r = 0; r < size_; ++r) bytes += all[kFigures * r], messages += all[kFigures * r + 1];
  std::fprintf(report,
               "exchange: %.0f boundary hydrographs, %.0f bytes; results gathered %lld bytes\n",
               messages, bytes, static_cast<long long>(bytesGathered_));
  for (int r = 0; r < size_; ++r) {
    const double* f = all.data() + kFigures * r;
    std::fprintf(report,
                 "  process %d: routing %.3f s, waiting %.3f s, processor %.3f s, peak memory "
                 "%.1f MB\n",
                 r, f[2], f[3], f[4], f[5]);
  }
}

void MpiExchange::Fault(ReachId reach, const std::string& what) {
  AbortJob(Where(rank_, reach) + what, kExitFault);
}

void MpiExchange::BeforeRouting(ReachId reach) {
  if (faultProcess_ != rank_ || faultReach_ != reach) return;
  if (faultKind_ == "io") throw FileError("injected read fault");
  if (faultKind_ == "alloc") throw std::bad_alloc();
  if (faultKind_ == "signal") std::raise(SIGSEGV);
}

}  // namespace tovalin::network
