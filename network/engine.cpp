// The run, one path for one process and many (see engine.h). Every process reads every
// reach's links, the forcing's layout and the restart's reach list, and validates them alike,
// so that a refusal is the same everywhere; the partition gives each process a contiguous
// share of the routing order, whose parameters, boundary hydrographs and restart states alone
// it reads. The run goes window by window (the whole run is one window): in each, a process
// routes first the reaches of its share that need nothing from another process, then, once
// their outflows over the window have arrived, those below reaches routed elsewhere; a
// boundary reach's outflow over the window is sent on as soon as it is routed. Results are
// handed over in blocks of consecutive reaches as soon as a block is routed, and process 0
// writes them: each window's outflows, the reaches' figures after the last. Memory follows the
// window: a reach's outflow lives from its routing until its downstream reach has summed it and
// it has been handed over; the forcing is read one block at a time over one window; what stays
// from window to window is each reach's run (state, running account, outcome).
#include "network/engine.h"

#include <oneapi/tbb/enumerable_thread_specific.h>
#include <oneapi/tbb/flow_graph.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "network/netcdf_io.h"
#include "network/partition.h"
#include "network/share.h"
#include "network/topology.h"

namespace tovalin::network {
namespace {

// A written block carries at most about this many bytes of outflows.
constexpr std::size_t kBlockBytes = std::size_t{32} << 20;
// The state of a reach whose run has not begun: no values.
const ReachState kNoState{};

thread_local ReachId tReach = 0;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The routing threads of a run while it lasts, and their scratch: an arena of as many threads
// as asked (0: every core), the run's own, so that runs in one process (two host threads
// calling Run) keep their thread counts apart. oneTBB caps its workers at the core count for
// the whole process; only a run that asks for more threads than the cores lifts that cap, by
// a process-wide control held while the run lasts (where several such runs overlap, the
// smallest of their counts beyond the cores holds for all of them).
struct RoutingThreads {
  explicit RoutingThreads(int asked)
      : count(asked > 0 ? asked : tbb::info::default_concurrency()),
        beyondCores(count > tbb::info::default_concurrency()
                        ? std::make_unique<tbb::global_control>(
                              tbb::global_control::max_allowed_parallelism,
                              static_cast<std::size_t>(count))
                        : nullptr),
        arena(count) {}
  int count;
  std::unique_ptr<tbb::global_control> beyondCores;  // null within the cores
  tbb::task_arena arena;
  tbb::enumerable_thread_specific<RoutingScratch> scratch;
};

// The first fault raised by a routing task: its reach and what went wrong.
struct TaskFault {
  std::atomic<bool> raised{false};  // the rest of the block is not routed then
  std::mutex mutex;
  ReachId reach = 0;
  std::string what;
  void Record(ReachId id, const char* text) {
    std::lock_guard lock(mutex);
    if (what.empty()) reach = id, what = text;
    raised = true;
  }
};

// Every reach's id and method by file index: what the run needs of the links once the
// routing order and the share are known (12 bytes a reach, where a reach record takes 144).
struct ReachList {
  std::vector<ReachId> ids;
  std::vector<std::int32_t> methods;
  explicit ReachList(const Network& links) {
    for (const Reach& r : links.reaches)
      ids.push_back(r.id), methods.push_back(static_cast<std::int32_t>(r.method));
  }
};

// What every process reads before routing.
struct Input {
  Network links;  // every reach's links (the whole network where the input is refused)
  std::unique_ptr<ForcingReader> forcing;
  RestartData restart;  // the restart's reach list, without states
};

// The problems of the network (its links, or the whole of it), then of the forcing and the
// restart, as one process words them.
Problems Validate(Problems problems, const Input& input, const RunOptions& options) {
  for (std::string& p : ValidateForcing(input.links, input.forcing->layout()))
    problems.push_back(std::move(p));
  if (!options.restartInPath.empty() && problems.empty())
    for (std::string& p : ValidateRestart(input.links, input.forcing->layout(), input.restart))
      problems.push_back(std::move(p));
  return problems;
}

// Where anything is refused, every process reads and validates the whole network as one
// process does, so that the refusal reads the same whatever found it.
void RefuseWhole(const RunOptions& options, Exchange& exchange, Input& input,
                 RunSummary& summary) {
  std::string error;
  try {
    input.links = ReadNetwork(options.networkPath);
    summary.refusal = Validate(ValidateNetwork(input.links), input, options);
  } catch (const std::exception& e) {
    error = e.what();
  }
  exchange.Agree(error);
}

// Reads and validates the links, the forcing's layout and the restart's reach list. False,
// with the refusal in the summary, when the input is refused.
bool ReadInput(const RunOptions& options, Exchange& exchange, Input& input, RunSummary& summary) {
  std::string error;
  try {
    input.links = ReadNetworkLinks(options.networkPath);
    input.forcing = std::make_unique<ForcingReader>(options.forcingPath);
    if (!options.restartInPath.empty())
      input.restart = ReadRestart(options.restartInPath, [](ReachId) { return false; });
    summary.refusal = Validate(ValidateLinks(input.links), input, options);
  } catch (const std::exception& e) {
    error = e.what();
  }
  exchange.Agree(error);
  if (!summary.refusal.empty()) RefuseWhole(options, exchange, input, summary);
  return summary.refusal.empty();
}

// The share of this process with its parameters: the reaches of the span of file positions
// its routing positions cover (the share itself in a file in routing order, as the generator
// writes it), checked. Null, with the refusal in the summary, when a process found a problem.
std::unique_ptr<Share> ReadShare(const RunOptions& options, Exchange& exchange,
                                 const Topology& topology, const Partition& part, Input& input,
                                 RunSummary& summary) {
  const std::int64_t first = part.first[exchange.process()];
  const std::int64_t end = part.first[exchange.process() + 1];
  std::int64_t lo = static_cast<std::int64_t>(topology.order.size()), hi = -1;
  for (std::int64_t p = first; p < end; ++p)
    lo = std::min(lo, topology.order[p]), hi = std::max(hi, topology.order[p]);
  if (hi < 0) lo = 0;
  std::unique_ptr<Share> share;
  bool sound = true;
  std::string error;
  try {
    Network parameters = ReadNetworkPart(options.networkPath, lo, hi - lo + 1);
    sound = ParametersSound(parameters);
    const ForcingLayout& layout = input.forcing->layout();
    share = std::make_unique<Share>(topology, std::move(parameters), lo, layout.intervalMinutes,
                                    first, end);
  } catch (const std::exception& e) {
    error = e.what();
  }
  exchange.Agree(error);
  if (exchange.Everywhere(sound)) return share;
  RefuseWhole(options, exchange, input, summary);
  return nullptr;
}

// The links of this process with the others, in routing order: the upstream reaches routed
// elsewhere whose downstream reach it routes (inbound), and its reaches whose downstream
// reach is routed elsewhere (outbound), each numbered among the links of its pair of
// processes as the other end numbers it.
void FindLinks(const Topology& topology, const Partition& part, int process,
               std::vector<BoundaryLink>& inbound, std::vector<BoundaryLink>& outbound) {
  std::vector<std::int64_t> counter(part.cost.size(), 0);  // links with each process so far
  for (std::int64_t p = 0; p < part.first[process + 1]; ++p) {
    const std::int64_t up = topology.order[p], down = topology.downstream[up];
    if (down < 0) continue;
    const int from = part.Owner(p), to = part.Owner(topology.position[down]);
    if (from == to) continue;
    if (from == process)
      outbound.push_back({up, to, counter[to]++});
    else if (to == process)
      inbound.push_back({up, from, counter[from]++});
  }
}

// The share's slots that have a boundary hydrograph, with the boundary's index in the
// forcing.
std::vector<std::pair<std::int64_t, std::int64_t>> BoundarySlots(
    const std::unordered_map<ReachId, std::int64_t>& index, const ForcingLayout& layout,
    const Share& share) {
  std::vector<std::pair<std::int64_t, std::int64_t>> slots;
  for (std::size_t b = 0; b < layout.boundaryReachIds.size(); ++b) {
    const std::int64_t reach = index.at(layout.boundaryReachIds[b]);
    if (share.Holds(reach)) slots.emplace_back(share.Slot(reach), static_cast<std::int64_t>(b));
  }
  return slots;
}

// The share's restart states: its reaches' runs start from them.
void LoadRestartStates(const RunOptions& options,
                       const std::unordered_map<ReachId, std::int64_t>& index, Share& share) {
  const RestartData restart = ReadRestart(
      options.restartInPath, [&](ReachId id) { return share.Holds(index.at(id)); });
  for (std::size_t i = 0; i < restart.reachIds.size(); ++i) {
    const std::int64_t reach = index.at(restart.reachIds[i]);
    if (!share.Holds(reach)) continue;
    const auto from = restart.states.begin() + restart.stateStart[i];
    ReachState& state = share.RunOf(share.Slot(reach)).state;
    state.values.assign(from, from + restart.stateCount[i]);
    state.lastInflow = restart.lastInflow[i];
    state.computationInterval = restart.computationInterval[i];
    state.subreachCount = restart.subreachCount[i];
  }
}

// Process 0's side of the written blocks: the results file, the counts, the network's volume
// account and the restarts' states (by routing position).
class Writing {
 public:
  Writing(const Topology& topology, RunSummary& summary) : topology_(topology), summary_(summary) {}

  // Opens the results; the forcing's unrouted inflow (empty: none) goes into the account.
  // With gauges, those the network names, in the network's order.
  void Open(const RunOptions& options, const ReachList& reaches, const ForcingLayout& layout,
            std::vector<double> times, std::span<const double> unrouted) {
    times_ = std::move(times);
    summary_.unroutedGiven = !unrouted.empty();
    summary_.unroutedVolume = TrapezoidVolume(unrouted, 60.0 * layout.intervalMinutes);
    ResultsContent content;
    if (options.depths) content.series.push_back(kDepthSeries);
    if (options.velocities) content.series.push_back(kVelocitySeries);
    content.gauges = options.gauges;
    if (options.gauges)
      for (auto& [reach, id] : ReadGauges(options.networkPath))
        content.gaugeList.push_back(
            {std::move(id), reaches.ids[reach], topology_.position[reach]});
    writer_ = std::make_unique<ResultsWriter>(options.outputPath, times_, layout.timeUnits,
                                              static_cast<std::int64_t>(topology_.order.size()),
                                              content);
    account_ = std::make_unique<NetworkAccount>(topology_.order.size());
  }

  void Take(ResultBlock& block) {
    const auto clock = Clock::now();
    for (std::size_t k = 0; k < block.series.size(); ++k)
      writer_->WriteSeries(k, block.firstPosition, block.reaches, block.ordinates,
                           block.series[k]);
    if (!block.outcomes.empty()) {
      const std::size_t n = block.ids.size();
      flags_.resize(n);
      for (std::size_t j = 0; j < n; ++j) flags_[j] = block.marks[j] == kUpstreamFailed ? 1 : 0;
      writer_->WriteReaches(block.firstPosition, block.ids, block.outcomes, flags_);
      for (std::size_t j = 0; j < n; ++j) {
        const std::int64_t reach = topology_.order[block.firstPosition + static_cast<std::int64_t>(j)];
        CountReach(block.marks[j], block.outcomes[j], summary_);
        account_->Keep(reach, block.outcomes[j], topology_.downstream[reach] < 0);
      }
    }
    if (!block.states.empty()) {
      states_.resize(topology_.order.size());
      for (std::size_t j = 0; j < block.states.size(); ++j)
        states_[block.firstPosition + static_cast<std::int64_t>(j)] = std::move(block.states[j]);
    }
    summary_.writeSeconds += Seconds(clock);
  }

  // Writes the restart of the states taken, at ordinate `last`, and lets them go.
  void WriteRestartAt(const RunOptions& options, const ReachList& reaches,
                      const ForcingLayout& layout, std::int64_t last) {
    const auto clock = Clock::now();
    RestartData next;
    next.timeUnits = layout.timeUnits;
    next.time = times_.at(static_cast<std::size_t>(last));
    next.intervalMinutes = layout.intervalMinutes;
    for (std::size_t p = 0; p < topology_.order.size(); ++p) {
      const auto reach = static_cast<std::size_t>(topology_.order[p]);
      const ReachState& state = states_.at(p);
      next.reachIds.push_back(reaches.ids[reach]);
      next.methods.push_back(reaches.methods[reach]);
      next.stateStart.push_back(static_cast<std::int64_t>(next.states.size()));
      next.stateCount.push_back(static_cast<std::int32_t>(state.values.size()));
      next.states.insert(next.states.end(), state.values.begin(), state.values.end());
      next.lastInflow.push_back(state.lastInflow);
      next.computationInterval.push_back(state.computationInterval);
      next.subreachCount.push_back(state.subreachCount);
    }
    std::vector<ReachState>().swap(states_);
    const Instant at{layout.firstTime.minutes + last * layout.intervalMinutes};
    WriteRestart(RestartPath(options.restartOutPath, at), next);
    ++summary_.restartsWritten;
    summary_.writeSeconds += Seconds(clock);
  }

  // Sums the account and closes the results with the summary.
  void Finish(const ReachList& reaches) {
    const auto clock = Clock::now();
    account_->Sum(reaches.ids, summary_);
    writer_->Close(SummaryAttributes(summary_));
    summary_.writeSeconds += Seconds(clock);
  }

 private:
  const Topology& topology_;
  RunSummary& summary_;
  std::vector<double> times_;
  std::unique_ptr<ResultsWriter> writer_;
  std::unique_ptr<NetworkAccount> account_;
  std::vector<ReachState> states_;
  std::vector<std::uint8_t> flags_;
};

// The lateral inflow of a block of the share over a window's ordinates, time-major: over the
// span of file positions its reaches cover, or reach by reach where they lie scattered over
// the file.
struct BlockForcing {
  std::vector<double> values, one;
  std::vector<LateralColumn> columns;  // by index in the block

  void Read(ForcingReader& forcing, const Share& share, std::size_t b0, std::size_t b1,
            Ordinates ordinates) {
    const std::size_t count = b1 - b0;
    const auto times = static_cast<std::size_t>(ordinates.count);
    std::int64_t lo = share.ReachAt(share.sequence[b0]), hi = lo;
    for (std::size_t i = b0; i < b1; ++i) {
      const std::int64_t reach = share.ReachAt(share.sequence[i]);
      lo = std::min(lo, reach), hi = std::max(hi, reach);
    }
    const auto span = static_cast<std::size_t>(hi - lo + 1);
    columns.resize(count);
    if (span <= 2 * count + 64) {
      forcing.ReadLateral(lo, hi - lo + 1, ordinates, values);
      for (std::size_t i = b0; i < b1; ++i)
        columns[i - b0] = {values.data() + (share.ReachAt(share.sequence[i]) - lo), span};
      return;
    }
    values.resize(count * times);
    for (std::size_t i = b0; i < b1; ++i) {
      forcing.ReadLateral(share.ReachAt(share.sequence[i]), 1, ordinates, one);
      std::copy(one.begin(), one.end(), values.begin() + (i - b0) * times);
    }
    for (std::size_t i = 0; i < count; ++i) columns[i] = {values.data() + i * times, 1};
  }
};

// One window of a run as a share routes it.
struct Window {
  Ordinates routed, written;
  bool first = false;    // the run's first
  bool last = false;     // the run's last: its blocks close the reaches' runs
  bool restart = false;  // a restart is written after it: its blocks carry the states
};

// The series of every reach a written block carries: the outflows, and the depths and
// velocities where asked for (ResultBlock::series, in that order).
std::size_t SeriesWritten(const RunOptions& options) noexcept {
  return 1 + (options.depths ? 1 : 0) + (options.velocities ? 1 : 0);
}

// The routing of one share, window by window, block by block along its sequence.
class ShareRouting {
 public:
  ShareRouting(const RunOptions& options, Exchange& exchange, Share& share, ForcingReader& forcing,
               std::vector<BoundaryLink> inbound, std::vector<BoundaryLink> outbound,
               std::int64_t windowLength, std::int64_t windowCount)
      : options_(options),
        exchange_(exchange),
        share_(share),
        reader_(forcing),
        inbound_(std::move(inbound)),
        outbound_(std::move(outbound)),
        block_(static_cast<std::size_t>(std::max<std::int64_t>(1, options.blockReaches))),
        handOver_(static_cast<std::int64_t>(std::max<std::size_t>(
            1, std::min(block_, kBlockBytes / (sizeof(double) *
                                               (SeriesWritten(options) *
                                                    static_cast<std::size_t>(windowLength) +
                                                16)))))),
        total_(share.size() * windowCount),
        threads_(options.threads),
        routed_(static_cast<std::size_t>(share.size()), 0) {
    for (std::size_t i = 0; i < outbound_.size(); ++i)
      outboundOf_.emplace(share.Slot(outbound_[i].reach), i);
  }

  int threads() const noexcept { return threads_.count; }
  const std::vector<BoundaryLink>& inbound() const noexcept { return inbound_; }

  // Routes the share over a window; written blocks go to `sink` through the exchange.
  void Run(const Window& window, const BlockSink& sink, RunSummary& summary) {
    const std::vector<std::int64_t>& sequence = share_.sequence;
    window_ = window;
    std::fill(routed_.begin(), routed_.end(), 0);
    written_ = 0;
    bool received = inbound_.empty();
    for (std::size_t b0 = 0; b0 < sequence.size();) {
      // A block never straddles the two parts of the sequence.
      const std::size_t limit = b0 < share_.independent ? share_.independent : sequence.size();
      const std::size_t b1 = std::min(limit, b0 + block_);
      if (b0 >= share_.independent && !received) Receive(), received = true;
      auto clock = Clock::now();
      try {
        lateral_.Read(reader_, share_, b0, b1, window.routed);
      } catch (const std::exception& e) {
        exchange_.Fault(share_.ReachOf(sequence[b0]).id, e.what());
      }
      summary.readSeconds += Seconds(clock);
      clock = Clock::now();
      RouteBlock(b0, b1);
      summary.routeSeconds += Seconds(clock);
      for (std::size_t i = b0; i < b1; ++i) {
        const std::int64_t slot = sequence[i];
        routed_[slot] = 1;
        if (const auto link = outboundOf_.find(slot); link != outboundOf_.end())
          exchange_.Send(outbound_[link->second], share_.outflows[slot], share_.marks[slot]);
      }
      HandOver(sink);
      exchange_.Progress(sink);
      done_ += static_cast<std::int64_t>(b1 - b0);
      if (exchange_.process() == 0 && options_.progress) options_.progress(done_, total_);
      b0 = b1;
    }
    if (!received) Receive();  // nothing waited for them: they complete all the same
  }

 private:
  // Waits for the outflows of the inbound links over the window and puts them in their slots.
  void Receive() {
    exchange_.WaitInbound([&](std::size_t i, BoundaryOutflow& received) {
      const std::int64_t slot = share_.Slot(inbound_[i].reach);
      share_.outflows[slot] = std::move(received.outflow);
      share_.marks[slot] = received.mark;
    });
  }

  // Routes the block sequence[b0, b1) on the flow graph: a node per reach, an edge from each
  // upstream reach routed in the same block (the others are routed already). Every reach of
  // the block is planned first, in parallel (its discretisation and the estimated work of its
  // call, PlanReach), and of the reaches ready to go the one whose chain to the end of the
  // block (itself and every reach below it there) holds the most work starts first: the most
  // expensive chains start first, so that no thread is left alone with a long chain at the
  // end of the block. Any order gives the same results. The first fault of a task stops the
  // rest of the block and goes to the exchange.
  void RouteBlock(std::size_t b0, std::size_t b1) {
    const std::size_t count = b1 - b0;
    const auto ordinates = static_cast<std::size_t>(window_.routed.count);
    const bool first = window_.first;
    TaskFault fault;
    const auto guarded = [&](std::int64_t slot, const auto& work) {
      const ReachId id = share_.ReachOf(slot).id;
      if (fault.raised) return;
      tReach = id;
      try {
        work();
      } catch (const std::bad_alloc&) {
        fault.Record(id, "out of memory");
      } catch (const std::exception& e) {
        fault.Record(id, e.what());
      }
      tReach = 0;
    };
    node_.clear();
    for (std::size_t i = b0; i < b1; ++i) node_.emplace(share_.sequence[i], i - b0);
    plans_.assign(count, ReachPlan{});
    threads_.arena.execute([&] {
      tbb::parallel_for(std::size_t{0}, count, [&](std::size_t i) {
        const std::int64_t slot = share_.sequence[b0 + i];
        guarded(slot, [&] {
          // A reach's run begins at its first routing, or with its restart's state.
          const ReachRun* run = share_.runs[slot].get();
          plans_[i] = PlanReach(share_.parameters, share_.ReachOf(slot),
                                run ? run->state : kNoState, share_.intervalMinutes, ordinates);
        });
      });
    });
    if (!fault.what.empty()) exchange_.Fault(fault.reach, fault.what);
    Prioritise(b0, b1);
    threads_.arena.execute([&] {
      tbb::flow::graph graph;
      using Node = tbb::flow::continue_node<tbb::flow::continue_msg>;
      std::vector<std::unique_ptr<Node>> nodes;
      nodes.reserve(count);
      for (std::size_t i = b0; i < b1; ++i) {
        const std::int64_t slot = share_.sequence[i];
        const LateralColumn lateral = lateral_.columns[i - b0];
        const ReachPlan* plan = &plans_[i - b0];
        nodes.push_back(std::make_unique<Node>(
            graph,
            [&, slot, lateral, plan](tbb::flow::continue_msg) {
              guarded(slot, [&] {
                exchange_.BeforeRouting(share_.ReachOf(slot).id);
                share_.Route(slot, ordinates, first, lateral, threads_.scratch.local(), plan);
              });
            },
            priority_[i - b0]));
      }
      std::vector<std::size_t> sources;
      for (std::size_t i = b0; i < b1; ++i) {
        const std::int64_t reach = share_.ReachAt(share_.sequence[i]);
        bool inBlock = false;
        for (std::int64_t k = share_.topology.upstreamStart[reach];
             k < share_.topology.upstreamStart[reach + 1]; ++k) {
          const std::int64_t up = share_.topology.upstream[k];
          if (!share_.Holds(up)) continue;
          if (const auto at = node_.find(share_.Slot(up)); at != node_.end()) {
            tbb::flow::make_edge(*nodes[at->second], *nodes[i - b0]);
            inBlock = true;
          }
        }
        if (!inBlock) sources.push_back(i - b0);
      }
      for (std::size_t s : sources) nodes[s]->try_put(tbb::flow::continue_msg());
      graph.wait_for_all();
    });
    if (!fault.what.empty()) exchange_.Fault(fault.reach, fault.what);
  }

  // The priorities of the block's reaches from their plans: the work of each reach's chain to
  // the end of the block, its own and that of the reach below it in the block (a reach's
  // downstream reach comes later in the sequence), ranked: the largest chain gets the highest
  // priority, count, the smallest 1 (0 is oneTBB's none).
  void Prioritise(std::size_t b0, std::size_t b1) {
    const std::size_t count = b1 - b0;
    chain_.assign(count, 0.0);
    for (std::size_t i = count; i-- > 0;) {
      const std::int64_t down = share_.topology.downstream[share_.ReachAt(share_.sequence[b0 + i])];
      double below = 0.0;
      if (down >= 0 && share_.Holds(down))
        if (const auto at = node_.find(share_.Slot(down)); at != node_.end())
          below = chain_[at->second];
      chain_[i] = plans_[i].work + below;
    }
    rank_.resize(count);
    std::iota(rank_.begin(), rank_.end(), std::size_t{0});
    std::stable_sort(rank_.begin(), rank_.end(),
                     [&](std::size_t a, std::size_t b) { return chain_[a] > chain_[b]; });
    priority_.resize(count);
    for (std::size_t r = 0; r < count; ++r)
      priority_[rank_[r]] = static_cast<tbb::flow::node_priority_t>(count - r);
  }

  // Hands over the share's reaches routed without a gap since the last hand-over, in written
  // blocks of bounded size: their outflows over the ordinates the window brings, in its last
  // window their ids, marks and outcomes, before a restart their states. Frees what no one
  // needs any more as each reach is copied into its block: the outflows of its upstream
  // reaches, and its own where its downstream reach lies elsewhere or none does.
  void HandOver(const BlockSink& sink) {
    std::int64_t end = written_;
    while (end < share_.size() && routed_[end]) ++end;
    const Topology& topology = share_.topology;
    const auto times = static_cast<std::size_t>(window_.written.count);
    const std::size_t skip = window_.first ? 0 : 1;  // the ordinate of overlap
    for (std::int64_t s0 = written_; s0 < end; s0 += handOver_) {
      const std::int64_t s1 = std::min(end, s0 + handOver_);
      const auto n = static_cast<std::size_t>(s1 - s0);
      ResultBlock block;
      block.firstPosition = share_.first + s0;
      block.reaches = s1 - s0;
      block.ordinates = window_.written;
      block.series.resize(SeriesWritten(options_));
      std::vector<double>& outflows = block.series[0];
      outflows.resize(times * n);
      for (std::int64_t s = s0; s < s1; ++s) {
        const std::int64_t reach = share_.ReachAt(s);
        const auto j = static_cast<std::size_t>(s - s0);
        const std::vector<double>& q = share_.outflows[s];
        for (std::size_t t = 0; t < times; ++t) outflows[t * n + j] = q[t + skip];
        // The depths and velocities as the outflows, each let go once laid.
        std::size_t k = 1;
        const auto lay = [&](std::vector<std::vector<double>>& series) {
          std::vector<double>& into = block.series[k++];
          into.resize(times * n);
          for (std::size_t t = 0; t < times; ++t) into[t * n + j] = series[s][t + skip];
          std::vector<double>().swap(series[s]);
        };
        if (share_.depths) lay(share_.depthSeries);
        if (share_.velocities) lay(share_.velocitySeries);
        if (window_.restart) {
          ReachState& state = share_.RunOf(s).state;
          if (window_.last)
            block.states.push_back(std::move(state));
          else
            block.states.push_back(state);
        }
        if (window_.last) {
          block.ids.push_back(share_.ReachOf(s).id);
          block.marks.push_back(FailureOf(share_.marks[s]));
          block.outcomes.push_back(share_.Close(s));
        }
        for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
             ++k)
          std::vector<double>().swap(share_.outflows[share_.Slot(topology.upstream[k])]);
        const std::int64_t down = topology.downstream[reach];
        if (down < 0 || !share_.Holds(down)) std::vector<double>().swap(share_.outflows[s]);
      }
      exchange_.Collect(block, sink);
    }
    written_ = end;
  }

  const RunOptions& options_;
  Exchange& exchange_;
  Share& share_;
  ForcingReader& reader_;
  BlockForcing lateral_;
  std::vector<BoundaryLink> inbound_, outbound_;
  const std::size_t block_;
  const std::int64_t handOver_;
  const std::int64_t total_;
  RoutingThreads threads_;
  Window window_;
  std::vector<std::uint8_t> routed_;     // by share slot, in the window
  std::unordered_map<std::int64_t, std::size_t> outboundOf_;  // share slot -> outbound link
  std::unordered_map<std::int64_t, std::size_t> node_;  // share slot -> node of the block
  // By node of the block: its plan, the work of its chain, its priority; the nodes by rank.
  std::vector<ReachPlan> plans_;
  std::vector<double> chain_;
  std::vector<tbb::flow::node_priority_t> priority_;
  std::vector<std::size_t> rank_;
  std::int64_t written_ = 0;             // share slots handed over in the window
  std::int64_t done_ = 0;                // reach-windows routed
};

// What every process does before routing: the share's restart states and, on process 0, the
// results file opened. A fault of a process ends the run.
void Prepare(const RunOptions& options, Exchange& exchange, Input& input,
             const ReachList& reaches, const std::unordered_map<ReachId, std::int64_t>& index,
             Share& share, Writing& writing) {
  try {
    if (!options.restartInPath.empty()) LoadRestartStates(options, index, share);
    if (exchange.process() == 0)
      writing.Open(options, reaches, input.forcing->layout(), input.forcing->ReadTimes(),
                   input.forcing->ReadUnrouted());
  } catch (const std::exception& e) {
    exchange.Fault(0, e.what());
  }
}

// Routes the run window by window: each window's boundary hydrographs read, its receives
// posted, the share routed over it, and after a restart's window the restart written.
void RouteWindows(const RunOptions& options, Exchange& exchange, Input& input,
                  const ReachList& reaches, const RunWindows& windows,
                  const std::vector<std::pair<std::int64_t, std::int64_t>>& boundarySlots,
                  Share& share, ShareRouting& routing, Writing& writing, RunSummary& summary) {
  const BlockSink sink = [&writing](ResultBlock& block) { writing.Take(block); };
  const bool lead = exchange.process() == 0;
  const ForcingLayout& layout = input.forcing->layout();
  const std::int64_t count = windows.count();
  for (std::int64_t w = 0; w < count; ++w) {
    Window window;
    window.routed = windows.Routed(w), window.written = windows.Written(w);
    window.first = w == 0, window.last = w + 1 == count;
    window.restart = !options.restartOutPath.empty() &&
                     (window.last || (options.restartEvery > 0 && (w + 1) % options.restartEvery == 0));
    exchange.PostReceives(routing.inbound(), window.routed);
    const auto clock = Clock::now();
    try {
      for (const auto& [slot, b] : boundarySlots)
        input.forcing->ReadBoundary(b, window.routed, share.boundaries[slot]);
    } catch (const std::exception& e) {
      exchange.Fault(0, e.what());
    }
    summary.readSeconds += Seconds(clock);
    routing.Run(window, sink, summary);
    if (window.last) exchange.CollectRest(sink);
    else if (window.restart) exchange.CollectWindow(sink);
    if (lead && window.restart) {
      try {
        writing.WriteRestartAt(options, reaches, layout, window.written.end() - 1);
      } catch (const std::exception& e) {
        exchange.Fault(0, e.what());
      }
    }
  }
}

}  // namespace

ReachId ReachInProgress() noexcept { return tReach; }

std::string RestartPath(const std::string& pattern, Instant instant) {
  namespace chrono = std::chrono;
  constexpr std::int64_t kDayMinutes = 24 * 60;
  std::int64_t days = instant.minutes / kDayMinutes, minutes = instant.minutes % kDayMinutes;
  if (minutes < 0) minutes += kDayMinutes, --days;
  const chrono::year_month_day date{chrono::sys_days(chrono::days(days))};
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02u%02u%02lld%02lld", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long long>(minutes / 60), static_cast<long long>(minutes % 60));
  constexpr std::string_view kTime = "{time}";
  std::string path;
  for (std::size_t at = 0; at < pattern.size();) {
    if (pattern.compare(at, kTime.size(), kTime) == 0) {
      path += stamp, at += kTime.size();
    } else {
      path += pattern[at++];
    }
  }
  return path;
}

RunSummary Run(const RunOptions& options, Exchange& exchange) {
  RunSummary summary;
  auto clock = Clock::now();
  Input input;
  if (!ReadInput(options, exchange, input, summary)) return summary;
  const ForcingLayout& layout = input.forcing->layout();
  const Topology topology = BuildTopology(input.links);
  const Partition part = PartitionNetwork(input.links, topology, layout.intervalMinutes,
                                          layout.timeCount, exchange.processes());
  // The links are in the topology and the partition now: only ids and methods stay.
  const ReachList reaches(input.links);
  std::vector<Reach>().swap(input.links.reaches);
  const std::unique_ptr<Share> share =
      ReadShare(options, exchange, topology, part, input, summary);
  if (!share) return summary;
  const RunWindows windows(layout.timeCount, options.window);
  share->depths = options.depths, share->velocities = options.velocities;
  summary.reaches = static_cast<std::int64_t>(reaches.ids.size());
  summary.timeCount = layout.timeCount;
  summary.windows = windows.count(), summary.windowLength = windows.length;
  if (exchange.process() == 0 && exchange.processes() > 1 && options.report) {
    std::fputs(part.Report().c_str(), options.report);
    std::fflush(options.report);
  }

  std::vector<BoundaryLink> inbound, outbound;
  FindLinks(topology, part, exchange.process(), inbound, outbound);
  for (const BoundaryLink& link : inbound) share->AddInbound(link.reach);
  std::unordered_map<ReachId, std::int64_t> index;
  index.reserve(reaches.ids.size());
  for (std::size_t i = 0; i < reaches.ids.size(); ++i)
    index.emplace(reaches.ids[i], static_cast<std::int64_t>(i));
  const auto boundarySlots = BoundarySlots(index, layout, *share);
  Writing writing(topology, summary);
  Prepare(options, exchange, input, reaches, index, *share, writing);
  summary.readSeconds += Seconds(clock);

  ShareRouting routing(options, exchange, *share, *input.forcing, std::move(inbound),
                       std::move(outbound), windows.length, windows.count());
  summary.threads = routing.threads();
  RouteWindows(options, exchange, input, reaches, windows, boundarySlots, *share, routing,
               writing, summary);
  if (exchange.process() == 0) {
    try {
      writing.Finish(reaches);
    } catch (const std::exception& e) {
      exchange.Fault(0, e.what());
    }
  }
  exchange.FinishSummary(summary, options.report);
  return summary;
}

RunSummary Run(const RunOptions& options) {
  LocalExchange local;
  return Run(options, local);
}

}  // namespace tovalin::network
