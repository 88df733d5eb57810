// The run, block by block along the routing order (see engine.h). Memory follows the work in
// flight: a reach's outflow lives from its routing until its downstream reach has summed it
// and it has been written; the forcing is read one block at a time.
#include "network/engine.h"

#include <oneapi/tbb/flow_graph.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "network/reach_step.h"

namespace tovalin::network {
namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Everything a block's routing reads and writes, owned by the run.
struct RunState {
  const Network& network;
  const Topology& topology;
  std::int32_t intervalMinutes;
  std::size_t times;
  std::vector<std::vector<double>> outflows;  // by file index, empty when freed
  std::vector<ReachState> states;             // by file index
  std::vector<std::int64_t> boundaryOf;       // file index -> boundary series, -1 none
  std::vector<std::vector<double>> boundaries;
  std::vector<std::uint8_t> failed;  // failure marks by file index
};

// Routes one reach: the fixed-order sum of its inputs, then the routine.
ReachOutcome RouteOne(RunState& run, std::int64_t reach, const double* lateralBlock,
                      std::size_t lateralStride, StepScratch& scratch) {
  const std::int64_t b = run.boundaryOf[reach];
  return RouteInNetwork(
      run.network, run.network.reaches[reach], run.topology, run.intervalMinutes, run.times, reach,
      [](std::int64_t i) { return i; }, ReachSlots{run.outflows, run.failed}, run.states[reach],
      b >= 0 ? &run.boundaries[b] : nullptr, lateralBlock, lateralStride, scratch);
}

std::string Figure(double v) {
  if (isUndefinedDbl(v)) return "undefined";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

}  // namespace

std::string RunSummary::BriefReport() const {
  if (!refusal.empty()) {
    std::string s = "refused, nothing routed:\n";
    for (const std::string& p : refusal) s += "  " + p + "\n";
    return s;
  }
  std::string s = std::to_string(reaches) + " reaches x " + std::to_string(timeCount) +
                  " times on " + std::to_string(threads) + " thread" + (threads == 1 ? "" : "s") +
                  ": " + std::to_string(clean) + " routed, " + std::to_string(withWarnings) +
                  " with warnings, " + std::to_string(failed) + " failed, " +
                  std::to_string(upstreamFailed) + " below a failure\n";
  s += "volume balance: in " + Figure(inflowVolume) + " m3, out " + Figure(outletVolume) +
       " m3, storage change " + Figure(storageChange) + " m3, loss " + Figure(lossVolume) +
       " m3, error " + Figure(balanceError);
  if (undefinedAccounts) s += " (" + std::to_string(undefinedAccounts) + " reaches undefined)";
  s += "\ntime: read " + Figure(readSeconds) + " s, route " + Figure(routeSeconds) + " s, write " +
       Figure(writeSeconds) + " s\n";
  return s;
}

RunSummary Run(const RunOptions& options) {
  RunSummary summary;
  auto clock = Clock::now();
  const Network network = ReadNetwork(options.networkPath);
  ForcingReader forcing(options.forcingPath);
  const ForcingLayout& layout = forcing.layout();
  summary.refusal = ValidateNetwork(network);
  for (std::string& p : ValidateForcing(network, layout)) summary.refusal.push_back(std::move(p));
  RestartData restart;
  if (!options.restartInPath.empty()) {
    restart = ReadRestart(options.restartInPath);
    if (summary.refusal.empty())
      for (std::string& p : ValidateRestart(network, layout, restart))
        summary.refusal.push_back(std::move(p));
  }
  if (!summary.refusal.empty()) return summary;

  const Topology topology = BuildTopology(network);
  const std::size_t reaches = network.reaches.size();
  const std::size_t times = static_cast<std::size_t>(layout.timeCount);
  summary.reaches = static_cast<std::int64_t>(reaches);
  summary.timeCount = layout.timeCount;
  RunState run{network, topology, layout.intervalMinutes, times, {}, {}, {}, {}, {}};
  run.outflows.resize(reaches);
  run.states.resize(reaches);
  run.failed.assign(reaches, 0);
  run.boundaryOf.assign(reaches, -1);
  {
    std::unordered_map<ReachId, std::int64_t> index;
    for (std::size_t i = 0; i < reaches; ++i) index.emplace(network.reaches[i].id, i);
    run.boundaries.resize(layout.boundaryReachIds.size());
    for (std::size_t b = 0; b < layout.boundaryReachIds.size(); ++b) {
      run.boundaryOf[index.at(layout.boundaryReachIds[b])] = static_cast<std::int64_t>(b);
      forcing.ReadBoundary(static_cast<std::int64_t>(b), run.boundaries[b]);
    }
    for (std::size_t i = 0; i < restart.reachIds.size(); ++i) {
      const auto first = restart.states.begin() + restart.stateStart[i];
      ReachState& state = run.states[index.at(restart.reachIds[i])];
      state.values.assign(first, first + restart.stateCount[i]);
      state.lastInflow = restart.lastInflow[i];
      state.computationInterval = restart.computationInterval[i];
      state.subreachCount = restart.subreachCount[i];
    }
    restart.states = {};
  }
  const std::vector<double> timeAxis = forcing.ReadTimes();
  const std::int64_t block = std::max<std::int64_t>(1, options.blockReaches);
  ResultsWriter writer(options.outputPath, timeAxis, layout.timeUnits,
                       static_cast<std::int64_t>(reaches), std::min<std::int64_t>(block, 4096));
  summary.readSeconds += Seconds(clock);

  RoutingThreads threads(options.threads);
  summary.threads = threads.count;
  std::vector<double> lateral, written;
  std::vector<ReachOutcome> outcomes;
  std::vector<ReachId> ids;
  std::vector<std::uint8_t> flags;
  VolumeAccount account(reaches);
  const bool keepStates = !options.restartOutPath.empty();

  for (std::size_t b0 = 0; b0 < reaches; b0 += static_cast<std::size_t>(block)) {
    const std::size_t b1 = std::min(reaches, b0 + static_cast<std::size_t>(block));
    const std::size_t count = b1 - b0;
    // Read: the block's lateral inflow, over the span of file positions it covers.
    clock = Clock::now();
    std::int64_t lo = topology.order[b0], hi = lo;
    for (std::size_t p = b0; p < b1; ++p) {
      lo = std::min(lo, topology.order[p]);
      hi = std::max(hi, topology.order[p]);
    }
    const std::size_t stride = static_cast<std::size_t>(hi - lo + 1);
    forcing.ReadLateral(lo, hi - lo + 1, lateral);
    summary.readSeconds += Seconds(clock);

    // Route: one flow-graph node per reach, an edge from each upstream reach in the block.
    clock = Clock::now();
    outcomes.assign(count, ReachOutcome{});
    threads.arena.execute([&] {
      tbb::flow::graph graph;
      using Node = tbb::flow::continue_node<tbb::flow::continue_msg>;
      std::vector<std::unique_ptr<Node>> nodes;
      nodes.reserve(count);
      for (std::size_t p = b0; p < b1; ++p) {
        const std::int64_t reach = topology.order[p];
        nodes.push_back(std::make_unique<Node>(graph, [&, p, reach](tbb::flow::continue_msg) {
          outcomes[p - b0] =
              RouteOne(run, reach, lateral.data() + (reach - lo), stride, threads.scratch.local());
        }));
      }
      std::vector<std::size_t> sources;
      for (std::size_t p = b0; p < b1; ++p) {
        const std::int64_t reach = topology.order[p];
        bool inBlock = false;
        for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
             ++k) {
          const auto up = static_cast<std::size_t>(topology.position[topology.upstream[k]]);
          if (up >= b0) {
            tbb::flow::make_edge(*nodes[up - b0], *nodes[p - b0]);
            inBlock = true;
          }
        }
        if (!inBlock) sources.push_back(p - b0);
      }
      for (std::size_t s : sources) nodes[s]->try_put(tbb::flow::continue_msg());
      graph.wait_for_all();
    });
    summary.routeSeconds += Seconds(clock);

    // Write: the block's outflows time-major, its outcomes; then its counts and volumes are
    // kept, and the outflows nobody needs any more are freed.
    clock = Clock::now();
    written.resize(times * count);
    ids.resize(count);
    flags.resize(count);
    for (std::size_t j = 0; j < count; ++j) {
      const std::int64_t reach = topology.order[b0 + j];
      ids[j] = network.reaches[reach].id;
      flags[j] = run.failed[reach] == kUpstreamFailed ? 1 : 0;
      const std::vector<double>& q = run.outflows[reach];
      for (std::size_t t = 0; t < times; ++t) written[t * count + j] = q[t];
    }
    writer.WriteBlock(static_cast<std::int64_t>(b0), ids, written, outcomes, flags);
    for (std::size_t j = 0; j < count; ++j) {
      const std::int64_t reach = topology.order[b0 + j];
      CountReach(run.failed[reach], outcomes[j], summary);
      account.Keep(reach, outcomes[j]);
      const bool outlet = topology.downstream[reach] < 0;
      for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
           ++k)
        std::vector<double>().swap(run.outflows[topology.upstream[k]]);
      if (outlet) std::vector<double>().swap(run.outflows[reach]);
      if (!keepStates) run.states[reach] = ReachState{};
    }
    summary.writeSeconds += Seconds(clock);
    if (options.progress) options.progress(static_cast<std::int64_t>(b1), summary.reaches);
  }

  clock = Clock::now();
  account.Sum(network, topology, summary);
  writer.Close(SummaryAttributes(summary));
  if (keepStates) {
    RestartData next;
    next.timeUnits = layout.timeUnits;
    next.time = timeAxis.back();
    next.intervalMinutes = layout.intervalMinutes;
    for (std::int64_t reach : topology.order) {
      next.reachIds.push_back(network.reaches[reach].id);
      next.methods.push_back(static_cast<std::int32_t>(network.reaches[reach].method));
      next.stateStart.push_back(static_cast<std::int64_t>(next.states.size()));
      const ReachState& state = run.states[reach];
      next.stateCount.push_back(static_cast<std::int32_t>(state.values.size()));
      next.states.insert(next.states.end(), state.values.begin(), state.values.end());
      next.lastInflow.push_back(state.lastInflow);
      next.computationInterval.push_back(state.computationInterval);
      next.subreachCount.push_back(state.subreachCount);
    }
    WriteRestart(options.restartOutPath, next);
  }
  summary.writeSeconds += Seconds(clock);
  return summary;
}

}  // namespace tovalin::network
