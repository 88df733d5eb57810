// What the processes of one run exchange, behind one interface: the run (engine.h) is the
// same code in one process and in many. In one process nothing moves (LocalExchange); over
// MPI (parallel/mpi_exchange.h) the processes agree on errors, boundary reaches send their
// outflow to the process routing the reach below, and process 0 collects every process's
// written blocks and says how the run ended.
//
// What moves is a slice of the run, a window of it: a boundary reach's outflow over the
// window's ordinates, a written block of consecutive reaches over the ordinates the window
// brings (with, when the block closes the reaches' run, their ids, marks and outcomes, and at a
// restart their states). Every process makes the same calls in the same order; all of them
// from the thread that runs the engine.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/reach_routing.h"
#include "network/summary.h"

namespace tovalin::network {

// An upstream reach whose downstream reach is routed by another process.
struct BoundaryLink {
  std::int64_t reach = 0;   // file index of the upstream reach
  int process = 0;          // the other process: the one that routes it (inbound) or the
                            // reach below it (outbound)
  std::int64_t serial = 0;  // its rank among the links between the two processes, in
                            // routing order (both ends count alike)
};

// A boundary reach's outflow over a slice, as received.
struct BoundaryOutflow {
  std::vector<double> outflow;  // one per ordinate of the slice
  std::uint8_t mark = 0;        // the reach's failure mark (summary.h)
};

// Results of consecutive reaches of the routing order over the ordinates a window brings.
struct ResultBlock {
  std::int64_t firstPosition = 0;  // routing position of the first reach
  std::int64_t reaches = 0;        // how many
  Ordinates ordinates;             // the ordinates the series cover
  // The per-ordinate series of the results, time-major: series[s][t * reaches + j]; series[0]
  // the outflow, then the depth and the velocity where the run writes them (in that order).
  std::vector<std::vector<double>> series;
  // When the block closes the reaches' run (its last window), one per reach:
  std::vector<ReachId> ids;
  std::vector<std::uint8_t> marks;     // the failure mark (FailureOf)
  std::vector<ReachOutcome> outcomes;
  std::vector<ReachState> states;      // one per reach when a restart is written after it
};

// Where process 0 puts every block (its own and the others').
using BlockSink = std::function<void(ResultBlock& block)>;

class Exchange {
 public:
  virtual ~Exchange() = default;
  virtual int process() const noexcept = 0;
  virtual int processes() const noexcept = 0;

  // Agrees on an error of reading (empty: none). Returns when no process has one; throws
  // FileError with it when every process has one (the same file failing everywhere); ends the
  // job, naming this process, when only some have.
  virtual void Agree(const std::string& error) = 0;
  // Whether `holds` holds on every process.
  virtual bool Everywhere(bool holds) = 0;

  // Posts the receives of the inbound links' outflows over `slice`.
  virtual void PostReceives(std::span<const BoundaryLink> inbound, Ordinates slice) = 0;
  // Sends a routed boundary reach's outflow over the slice (copied: the caller may free it).
  virtual void Send(const BoundaryLink& outbound, std::span<const double> outflow,
                    std::uint8_t mark) = 0;
  // Waits for the posted receives; inbound[i]'s outflow and mark go to take(i, ...).
  virtual void WaitInbound(
      const std::function<void(std::size_t inbound, BoundaryOutflow& received)>& take) = 0;

  // Hands a written block of this process to process 0's sink.
  virtual void Collect(ResultBlock& block, const BlockSink& sink) = 0;
  // Between blocks: lets the transfers in flight progress (process 0 takes the blocks that
  // have arrived).
  virtual void Progress(const BlockSink& sink) = 0;
  // After this process's last block of a window whose results process 0 needs whole before
  // the run goes on (a restart's states): process 0 takes every process's blocks of it, and
  // no process goes on before it has.
  virtual void CollectWindow(const BlockSink& sink) = 0;
  // After this process's last block: process 0 takes every block still to come.
  virtual void CollectRest(const BlockSink& sink) = 0;
  // The run's counts from process 0 on every process, and on `report` (process 0, null:
  // nothing) what the exchange moved.
  virtual void FinishSummary(RunSummary& summary, std::FILE* report) = 0;

  // A fault of this process (a file, memory, a routine throwing) while routing `reach` (0:
  // outside routing): ends the run, with a message naming the process and the reach.
  [[noreturn]] virtual void Fault(ReachId reach, const std::string& what) = 0;
  // Called by a routing thread before it routes `reach` (a test build's fault injection).
  virtual void BeforeRouting(ReachId reach) { (void)reach; }
};

// One process: nothing to exchange.
class LocalExchange : public Exchange {
 public:
  int process() const noexcept override { return 0; }
  int processes() const noexcept override { return 1; }
  void Agree(const std::string& error) override;
  bool Everywhere(bool holds) override { return holds; }
  void PostReceives(std::span<const BoundaryLink>, Ordinates) override {}
  void Send(const BoundaryLink&, std::span<const double>, std::uint8_t) override {}
  void WaitInbound(const std::function<void(std::size_t, BoundaryOutflow&)>&) override {}
  void Collect(ResultBlock& block, const BlockSink& sink) override { sink(block); }
  void Progress(const BlockSink&) override {}
  void CollectWindow(const BlockSink&) override {}
  void CollectRest(const BlockSink&) override {}
  void FinishSummary(RunSummary&, std::FILE*) override {}
  [[noreturn]] void Fault(ReachId reach, const std::string& what) override;
};

}  // namespace tovalin::network
