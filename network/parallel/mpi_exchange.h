// The exchange of a run over the processes of an MPI communicator. Boundary outflows go
// process to process with non-blocking sends and pre-posted receives, each pair of processes
// tagging a link by its serial number among the pair's links (both ends count alike, so no
// message announces them); written blocks go to process 0 as they are handed over, and
// process 0 takes those that have arrived between its own blocks and the rest at the end. A
// fault of one process ends the whole job with MPI_Abort after a message naming the process
// and the reach. All MPI calls come from the engine's thread (MPI_THREAD_FUNNELED).
#pragma once

#include <mpi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "network/exchange.h"

namespace tovalin::network {

// Ends every process of the job with `status` after printing `message` on standard error.
[[noreturn]] void AbortJob(const std::string& message, int status);

class MpiExchange final : public Exchange {
 public:
  explicit MpiExchange(MPI_Comm comm);
  ~MpiExchange() override = default;
  MpiExchange(const MpiExchange&) = delete;
  MpiExchange& operator=(const MpiExchange&) = delete;

  int process() const noexcept override { return rank_; }
  int processes() const noexcept override { return size_; }
  void Agree(const std::string& error) override;
  bool Everywhere(bool holds) override;
  void PostReceives(std::span<const BoundaryLink> inbound, Ordinates slice) override;
  void Send(const BoundaryLink& outbound, std::span<const double> outflow,
            std::uint8_t mark) override;
  void WaitInbound(
      const std::function<void(std::size_t, BoundaryOutflow&)>& take) override;
  void Collect(ResultBlock& block, const BlockSink& sink) override;
  void Progress(const BlockSink& sink) override;
  void CollectWindow(const BlockSink& sink) override;
  void CollectRest(const BlockSink& sink) override;
  void FinishSummary(RunSummary& summary, std::FILE* report) override;
  [[noreturn]] void Fault(ReachId reach, const std::string& what) override;
  void BeforeRouting(ReachId reach) override;

 private:
  int Tag(std::int64_t serial);
  // Takes one results message from `source` (process 0); false for the end of its blocks.
  bool TakeBlock(int source, const BlockSink& sink);
  void TestSends();

  MPI_Comm comm_;
  int rank_ = 0, size_ = 1;
  std::int64_t maxTag_ = 32767;
  int faultProcess_ = -1;  // a test build's injected fault: process, reach and kind
  ReachId faultReach_ = 0;
  std::string faultKind_;
  std::vector<std::vector<double>> received_;  // per inbound link: the slice, then the mark
  std::vector<MPI_Request> receives_;
  std::vector<std::vector<char>> sent_;  // buffers of the sends in flight
  std::vector<MPI_Request> sends_;
  std::vector<int> done_;
  std::vector<char> message_;
  void TakeUntilMarked(const BlockSink& sink);
  int marked_ = 0;  // process 0: processes whose last block (of the window, or of all) has arrived
  double bytesSent_ = 0.0, boundariesSent_ = 0.0, waitSeconds_ = 0.0;
  std::int64_t bytesGathered_ = 0;
};

}  // namespace tovalin::network
