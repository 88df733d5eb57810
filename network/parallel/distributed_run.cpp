#include "network/parallel/distributed_run.h"

#include <oneapi/tbb/flow_graph.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <type_traits>
#include <unordered_map>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "network/parallel/partition.h"
#include "network/reach_step.h"

namespace tovalin::network {
namespace {

constexpr int kExitFile = 4;
constexpr int kTagResults = 1;
constexpr int kTagBoundaryFirst = 16;
// A results message carries at most about this many bytes of outflows.
constexpr std::size_t kResultsMessageBytes = std::size_t{32} << 20;

thread_local ReachId tReach = 0;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The first fault raised by a routing task: its reach and what went wrong.
struct Fault {
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

// A fault injected into the routing of one reach on one process, from TOVALIN_FAULT_INJECT
// = "PROCESS:REACH_ID:io|alloc|signal" (builds with TOVALIN_FAULT_INJECTION only).
struct InjectedFault {
  int process = -1;
  ReachId reach = 0;
  std::string kind;
};
InjectedFault ReadInjectedFault() {
  InjectedFault f;
#ifdef TOVALIN_FAULT_INJECTION
  if (const char* text = std::getenv("TOVALIN_FAULT_INJECT")) {
    char kind[16] = {};
    long long reach = 0;
    if (std::sscanf(text, "%d:%lld:%15s", &f.process, &reach, kind) == 3)
      f.kind = kind, f.reach = reach;
    else
      f.process = -1;
  }
#endif
  return f;
}
void Inject(const InjectedFault& f, int process, ReachId reach) {
  if (f.process != process || f.reach != reach) return;
  if (f.kind == "io") throw FileError("injected read fault");
  if (f.kind == "alloc") throw std::bad_alloc();
  if (f.kind == "signal") std::raise(SIGSEGV);
}

// Bytes of a message, written and read in the same order.
class Packer {
 public:
  template <class T>
  void Put(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* p = reinterpret_cast<const char*>(&v);
    bytes_.insert(bytes_.end(), p, p + sizeof v);
  }
  template <class T>
  void PutArray(const T* v, std::size_t n) {
    const auto* p = reinterpret_cast<const char*>(v);
    bytes_.insert(bytes_.end(), p, p + n * sizeof(T));
  }
  std::vector<char>& bytes() { return bytes_; }

 private:
  std::vector<char> bytes_;
};
class Unpacker {
 public:
  explicit Unpacker(const std::vector<char>& bytes) : at_(bytes.data()), end_(at_ + bytes.size()) {}
  template <class T>
  T Get() {
    T v;
    GetArray(&v, 1);
    return v;
  }
  template <class T>
  void GetArray(T* v, std::size_t n) {
    if (static_cast<std::size_t>(end_ - at_) < n * sizeof(T))
      throw std::runtime_error("results message shorter than announced");
    std::memcpy(static_cast<void*>(v), at_, n * sizeof(T));
    at_ += n * sizeof(T);
  }

 private:
  const char* at_;
  const char* end_;
};

// The part of the run one process holds, by slot: its share's reaches at routing position
// minus the share's first, then the remote upstream reaches it receives.
struct Share {
  Share(const Network& n, const Topology& t, const Network& p, std::int64_t pFirst,
        std::int32_t interval, std::size_t count, std::int64_t from, std::int64_t to)
      : network(n),
        topology(t),
        parameters(p),
        parametersFirst(pFirst),
        intervalMinutes(interval),
        times(count),
        first(from),
        end(to) {}
  const Network& network;     // the links
  const Topology& topology;
  const Network& parameters;  // the reaches from file index parametersFirst on
  std::int64_t parametersFirst;
  std::int32_t intervalMinutes;
  std::size_t times;
  std::int64_t first, end;                                    // routing positions
  std::unordered_map<std::int64_t, std::int64_t> remoteSlot;  // file index -> slot
  std::vector<std::vector<double>> outflows;
  std::vector<std::uint8_t> failed;  // 1: failed, 2: a reach upstream failed
  std::vector<ReachState> states;    // share slots only
  std::vector<ReachOutcome> outcomes;
  std::vector<std::int64_t> boundaryOf;  // share slot -> boundary series, -1 none
  std::vector<std::vector<double>> boundaries;

  std::int64_t Slot(std::int64_t reach) const {
    const std::int64_t p = topology.position[reach];
    return p >= first && p < end ? p - first : remoteSlot.at(reach);
  }
};

// One reach, as the engine routes it.
void RouteOne(Share& share, std::int64_t reach, const double* lateral, std::size_t stride,
              StepScratch& scratch) {
  const std::int64_t slot = share.Slot(reach);
  const std::int64_t b = share.boundaryOf[slot];
  share.outcomes[slot] = RouteInNetwork(
      share.parameters, share.parameters.reaches[reach - share.parametersFirst], share.topology,
      share.intervalMinutes, share.times, reach,
      [&share](std::int64_t i) { return share.Slot(i); }, ReachSlots{share.outflows, share.failed},
      share.states[slot], b >= 0 ? &share.boundaries[b] : nullptr, lateral, stride, scratch);
}

// Packs the share's slots [from, to) for process 0: per reach its id, failure, outcome and
// states, then the outflows time-major.
void PackResults(const Share& share, std::int64_t from, std::int64_t to, bool withStates,
                 Packer& pack) {
  for (std::int64_t s = from; s < to; ++s) {
    const std::int64_t reach = share.topology.order[share.first + s];
    const ReachOutcome& o = share.outcomes[s];
    pack.Put(share.network.reaches[reach].id);
    pack.Put(share.failed[s]);
    pack.Put(o.routine), pack.Put(o.messageNumber), pack.Put(o.severity);
    pack.Put(static_cast<std::int32_t>(o.message.size()));
    pack.PutArray(o.message.data(), o.message.size());
    for (double v : {o.inflowVolume, o.outflowVolume, o.storageStart, o.storageEnd, o.loss,
                     o.balanceError, o.computationInterval, o.courantMin, o.courantMax})
      pack.Put(v);
    pack.Put(o.subreachCount);
    if (withStates) {
      const ReachState& state = share.states[s];
      pack.Put(static_cast<std::int32_t>(state.values.size()));
      pack.PutArray(state.values.data(), state.values.size());
      pack.Put(state.lastInflow), pack.Put(state.computationInterval),
          pack.Put(state.subreachCount);
    }
  }
  for (std::size_t t = 0; t < share.times; ++t)
    for (std::int64_t s = from; s < to; ++s) pack.Put(share.outflows[s][t]);
}

// What process 0 does with the blocks in routing order: the engine's writing and accounting.
struct Gatherer {
  const Topology& topology;
  VolumeAccount& account;
  std::size_t times;
  ResultsWriter& writer;
  RunSummary& summary;
  RestartData* restart;  // null: no restart
  std::vector<ReachId> ids;
  std::vector<std::uint8_t> failed, flags;
  std::vector<ReachOutcome> outcomes;
  std::vector<double> outflows;

  void Take(std::int64_t firstPosition, std::int64_t count, const std::vector<char>& bytes) {
    Unpacker un(bytes);
    const auto c = static_cast<std::size_t>(count);
    ids.resize(c), failed.resize(c), flags.resize(c), outcomes.assign(c, ReachOutcome{});
    for (std::size_t j = 0; j < c; ++j) {
      ReachOutcome& o = outcomes[j];
      ids[j] = un.Get<ReachId>();
      failed[j] = un.Get<std::uint8_t>();
      flags[j] = failed[j] == kUpstreamFailed ? 1 : 0;
      o.routine = un.Get<std::int32_t>(), o.messageNumber = un.Get<std::int32_t>();
      o.severity = un.Get<std::int32_t>();
      o.message.resize(static_cast<std::size_t>(un.Get<std::int32_t>()));
      un.GetArray(o.message.data(), o.message.size());
      for (double* v : {&o.inflowVolume, &o.outflowVolume, &o.storageStart, &o.storageEnd, &o.loss,
                        &o.balanceError, &o.computationInterval, &o.courantMin, &o.courantMax})
        *v = un.Get<double>();
      o.subreachCount = un.Get<std::int32_t>();
      if (restart) {
        const auto n = static_cast<std::size_t>(un.Get<std::int32_t>());
        const std::size_t at = restart->states.size();
        restart->reachIds.push_back(ids[j]);
        restart->stateStart.push_back(static_cast<std::int64_t>(at));
        restart->stateCount.push_back(static_cast<std::int32_t>(n));
        restart->states.resize(at + n);
        un.GetArray(restart->states.data() + at, n);
        restart->lastInflow.push_back(un.Get<double>());
        restart->computationInterval.push_back(un.Get<double>());
        restart->subreachCount.push_back(un.Get<std::int32_t>());
      }
    }
    outflows.resize(times * c);
    un.GetArray(outflows.data(), outflows.size());
    writer.WriteBlock(firstPosition, ids, outflows, outcomes, flags);
    for (std::size_t j = 0; j < c; ++j) {
      const std::int64_t reach = topology.order[firstPosition + static_cast<std::int64_t>(j)];
      CountReach(failed[j], outcomes[j], summary);
      account.Keep(reach, outcomes[j]);
    }
  }
};

std::string Where(int rank, ReachId reach) {
  std::string s = "process " + std::to_string(rank);
  if (reach != 0) s += ", reach " + std::to_string(reach);
  return s + ": ";
}

}  // namespace

ReachId ReachInProgress() noexcept { return tReach; }

RunSummary RunDistributed(const RunOptions& options, MPI_Comm comm, std::FILE* report,
                          AbortJob abort) {
  int rank = 0, size = 1;
  MPI_Comm_rank(comm, &rank);
  MPI_Comm_size(comm, &size);
  RunSummary summary;
  auto clock = Clock::now();

  // Input: every process reads the network's links (what the routing order, the partition
  // and the checks of the forcing and restart need), the forcing's layout and the restart,
  // and validates them alike, so that a refusal is the same everywhere; then the parameters
  // of its own share only. Where anything is refused, the whole network is read and validated
  // as one process does it, so that the refusal reads the same. A file that fails everywhere
  // is one error, on one process a fault.
  Network network;  // the links (the whole network where the input is refused)
  std::unique_ptr<ForcingReader> forcing;
  RestartData restart;
  const auto validate = [&](Problems networkProblems) {
    summary.refusal = std::move(networkProblems);
    for (std::string& p : ValidateForcing(network, forcing->layout()))
      summary.refusal.push_back(std::move(p));
    if (!options.restartInPath.empty() && summary.refusal.empty())
      for (std::string& p : ValidateRestart(network, forcing->layout(), restart))
        summary.refusal.push_back(std::move(p));
  };
  const auto refuse = [&] {
    network = ReadNetwork(options.networkPath);
    validate(ValidateNetwork(network));
  };
  const auto agree = [&](const std::string& error) {
    int bad = error.empty() ? 0 : 1, everywhere = 0, anywhere = 0;
    MPI_Allreduce(&bad, &everywhere, 1, MPI_INT, MPI_MIN, comm);
    MPI_Allreduce(&bad, &anywhere, 1, MPI_INT, MPI_MAX, comm);
    if (everywhere) throw FileError(error);
    if (anywhere) {
      if (bad) abort(Where(rank, 0) + error, kExitFile);
      MPI_Barrier(comm);  // never completes: the failing process ends the job
    }
  };
  std::string readError;
  try {
    network = ReadNetworkLinks(options.networkPath);
    forcing = std::make_unique<ForcingReader>(options.forcingPath);
    // The restart's layout here, for its check; its share's states once the share is known.
    if (!options.restartInPath.empty())
      restart = ReadRestart(options.restartInPath, [](ReachId) { return false; });
    validate(ValidateLinks(network));
    if (!summary.refusal.empty()) refuse();
  } catch (const std::exception& e) {
    readError = e.what();
  }
  agree(readError);
  if (!summary.refusal.empty()) return summary;

  const ForcingLayout& layout = forcing->layout();
  const Topology topology = BuildTopology(network);
  const auto reaches = static_cast<std::int64_t>(network.reaches.size());
  const auto times = static_cast<std::size_t>(layout.timeCount);
  const Partition part =
      PartitionNetwork(network, topology, layout.intervalMinutes, layout.timeCount, size);

  // The share's parameters: the reaches of the span of file positions its reaches cover (the
  // share itself where the file is in routing order, as the generator writes it).
  std::int64_t parametersFirst = reaches, parametersLast = -1;
  for (std::int64_t p = part.first[rank]; p < part.first[rank + 1]; ++p)
    parametersFirst = std::min(parametersFirst, topology.order[p]),
    parametersLast = std::max(parametersLast, topology.order[p]);
  if (parametersLast < 0) parametersFirst = 0;
  Network parameters;
  int sound = 1, soundEverywhere = 0;
  try {
    parameters = ReadNetworkPart(options.networkPath, parametersFirst,
                                 parametersLast - parametersFirst + 1);
    sound = ParametersSound(parameters) ? 1 : 0;
  } catch (const std::exception& e) {
    readError = e.what();
  }
  agree(readError);
  MPI_Allreduce(&sound, &soundEverywhere, 1, MPI_INT, MPI_MIN, comm);
  if (!soundEverywhere) {
    try {
      refuse();
    } catch (const std::exception& e) {
      readError = e.what();
    }
    agree(readError);
    return summary;
  }

  summary.reaches = reaches;
  summary.timeCount = layout.timeCount;
  if (rank == 0 && report) {
    std::fputs(part.Report().c_str(), report);
    std::fflush(report);
  }
  const InjectedFault injected = ReadInjectedFault();

  Share share(network, topology, parameters, parametersFirst, layout.intervalMinutes, times,
              part.first[rank], part.first[rank + 1]);
  const std::int64_t shareSize = share.end - share.first;

  // Boundaries: a receive per upstream reach routed elsewhere, tagged by its rank among
  // the reaches its process sends here (in routing order, as the sender counts them).
  void* tagLimit = nullptr;
  int hasLimit = 0;
  MPI_Comm_get_attr(MPI_COMM_WORLD, MPI_TAG_UB, &tagLimit, &hasLimit);
  const std::int64_t maxTag = hasLimit ? *static_cast<int*>(tagLimit) : 32767;
  struct Link {
    std::int64_t reach;
    int process;
    int tag;
  };
  std::vector<Link> inbound, outbound;
  {
    std::vector<std::int64_t> counter(static_cast<std::size_t>(size), 0);
    for (std::int64_t p = 0; p < share.end; ++p) {
      const std::int64_t u = topology.order[p], d = topology.downstream[u];
      if (d < 0) continue;
      const std::int64_t pd = topology.position[d];
      const int from = part.Owner(p), to = part.Owner(pd);
      if (from == to) continue;
      if (p >= share.first) {
        outbound.push_back({u, to, static_cast<int>(kTagBoundaryFirst + counter[to]++)});
      } else if (to == rank) {
        inbound.push_back({u, from, static_cast<int>(kTagBoundaryFirst + counter[from]++)});
      }
    }
    for (std::int64_t c : counter)
      if (kTagBoundaryFirst + c > maxTag)
        abort(Where(rank, 0) + "more boundary reaches between two processes than MPI tags",
              kExitFile);
  }
  const auto slots = static_cast<std::size_t>(shareSize) + inbound.size();
  share.outflows.resize(slots);
  share.failed.assign(slots, 0);
  share.states.resize(static_cast<std::size_t>(shareSize));
  share.outcomes.resize(static_cast<std::size_t>(shareSize));
  share.boundaryOf.assign(static_cast<std::size_t>(shareSize), -1);
  for (std::size_t i = 0; i < inbound.size(); ++i)
    share.remoteSlot.emplace(inbound[i].reach, shareSize + static_cast<std::int64_t>(i));

  std::vector<std::vector<double>> received(inbound.size());
  std::vector<MPI_Request> receives(inbound.size(), MPI_REQUEST_NULL);
  for (std::size_t i = 0; i < inbound.size(); ++i) {
    received[i].resize(times + 1);
    MPI_Irecv(received[i].data(), static_cast<int>(times + 1), MPI_DOUBLE, inbound[i].process,
              inbound[i].tag, comm, &receives[i]);
  }

  // The share's boundary hydrographs and restart states.
  std::unique_ptr<ResultsWriter> writer;
  std::vector<double> timeAxis;
  try {
    std::unordered_map<ReachId, std::int64_t> index;
    index.reserve(static_cast<std::size_t>(reaches));
    for (std::int64_t i = 0; i < reaches; ++i) index.emplace(network.reaches[i].id, i);
    const auto inShare = [&](std::int64_t reach) {
      const std::int64_t p = topology.position[reach];
      return p >= share.first && p < share.end;
    };
    for (std::size_t b = 0; b < layout.boundaryReachIds.size(); ++b) {
      const std::int64_t reach = index.at(layout.boundaryReachIds[b]);
      if (!inShare(reach)) continue;
      share.boundaryOf[share.Slot(reach)] = static_cast<std::int64_t>(share.boundaries.size());
      share.boundaries.emplace_back();
      forcing->ReadBoundary(static_cast<std::int64_t>(b), share.boundaries.back());
    }
    if (!options.restartInPath.empty())
      restart = ReadRestart(options.restartInPath,
                            [&](ReachId id) { return inShare(index.at(id)); });
    for (std::size_t i = 0; i < restart.reachIds.size(); ++i) {
      const std::int64_t reach = index.at(restart.reachIds[i]);
      if (!inShare(reach)) continue;
      const auto from = restart.states.begin() + restart.stateStart[i];
      ReachState& state = share.states[share.Slot(reach)];
      state.values.assign(from, from + restart.stateCount[i]);
      state.lastInflow = restart.lastInflow[i];
      state.computationInterval = restart.computationInterval[i];
      state.subreachCount = restart.subreachCount[i];
    }
    restart = RestartData{};
    timeAxis = forcing->ReadTimes();
    if (rank == 0)
      writer = std::make_unique<ResultsWriter>(
          options.outputPath, timeAxis, layout.timeUnits, reaches,
          std::min<std::int64_t>(std::max<std::int64_t>(1, options.blockReaches), 4096));
  } catch (const std::exception& e) {
    abort(Where(rank, 0) + e.what(), kExitFile);
  }
  summary.readSeconds += Seconds(clock);

  // Routing order of the share: first the reaches that need nothing from elsewhere, then
  // those below a reach routed elsewhere.
  std::vector<std::uint8_t> dependent(static_cast<std::size_t>(shareSize), 0);
  std::vector<std::int64_t> list;
  list.reserve(static_cast<std::size_t>(shareSize));
  for (std::int64_t s = 0; s < shareSize; ++s) {
    const std::int64_t reach = topology.order[share.first + s];
    for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
         ++k) {
      const std::int64_t up = topology.position[topology.upstream[k]];
      if (up < share.first || dependent[up - share.first]) dependent[s] = 1;
    }
    if (!dependent[s]) list.push_back(s);
  }
  const std::size_t independent = list.size();
  for (std::int64_t s = 0; s < shareSize; ++s)
    if (dependent[s]) list.push_back(s);
  std::vector<std::int64_t> listIndex(static_cast<std::size_t>(shareSize));
  for (std::size_t i = 0; i < list.size(); ++i) listIndex[list[i]] = static_cast<std::int64_t>(i);
  std::unordered_map<std::int64_t, std::size_t> outboundOf;
  for (std::size_t i = 0; i < outbound.size(); ++i)
    outboundOf.emplace(topology.position[outbound[i].reach] - share.first, i);

  RoutingThreads threads(options.threads);
  summary.threads = threads.count;
  std::vector<std::vector<double>> sent;
  std::vector<MPI_Request> sends;
  sent.reserve(outbound.size());
  sends.reserve(outbound.size());
  std::vector<double> lateral, one;
  std::vector<std::size_t> lateralAt;
  std::int64_t bytesSent = 0;
  double routeSeconds = 0.0, waitSeconds = 0.0;
  const std::size_t block =
      static_cast<std::size_t>(std::max<std::int64_t>(1, options.blockReaches));
  bool receivedAll = inbound.empty();

  for (std::size_t b0 = 0; b0 < list.size();) {
    // A block never straddles the two parts of the list.
    const std::size_t b1 = std::min(b0 < independent ? independent : list.size(), b0 + block);
    const std::size_t count = b1 - b0;
    if (b0 >= independent && !receivedAll) {
      clock = Clock::now();
      MPI_Waitall(static_cast<int>(receives.size()), receives.data(), MPI_STATUSES_IGNORE);
      for (std::size_t i = 0; i < inbound.size(); ++i) {
        const auto slot = static_cast<std::size_t>(shareSize) + i;
        share.failed[slot] = static_cast<std::uint8_t>(received[i][times]);
        received[i].resize(times);
        share.outflows[slot] = std::move(received[i]);
      }
      receivedAll = true;
      waitSeconds += Seconds(clock);
    }
    // Lateral inflow over the span of file positions of the block, or reach by reach where
    // the block is scattered over the file.
    clock = Clock::now();
    std::int64_t lo = topology.order[share.first + list[b0]], hi = lo;
    for (std::size_t i = b0; i < b1; ++i) {
      const std::int64_t reach = topology.order[share.first + list[i]];
      lo = std::min(lo, reach), hi = std::max(hi, reach);
    }
    const auto span = static_cast<std::size_t>(hi - lo + 1);
    const bool together = span <= 2 * count + 64;
    std::size_t stride = span;
    lateralAt.resize(count);
    try {
      if (together) {
        forcing->ReadLateral(lo, hi - lo + 1, lateral);
        for (std::size_t i = b0; i < b1; ++i)
          lateralAt[i - b0] = static_cast<std::size_t>(topology.order[share.first + list[i]] - lo);
      } else {
        stride = 1;
        lateral.resize(count * times);
        for (std::size_t i = b0; i < b1; ++i) {
          forcing->ReadLateral(topology.order[share.first + list[i]], 1, one);
          std::copy(one.begin(), one.end(), lateral.begin() + (i - b0) * times);
          lateralAt[i - b0] = (i - b0) * times;
        }
      }
    } catch (const std::exception& e) {
      abort(Where(rank, network.reaches[topology.order[share.first + list[b0]]].id) + e.what(),
            kExitFile);
    }
    summary.readSeconds += Seconds(clock);

    clock = Clock::now();
    Fault fault;
    threads.arena.execute([&] {
      tbb::flow::graph graph;
      using Node = tbb::flow::continue_node<tbb::flow::continue_msg>;
      std::vector<std::unique_ptr<Node>> nodes;
      nodes.reserve(count);
      for (std::size_t i = b0; i < b1; ++i) {
        const std::int64_t reach = topology.order[share.first + list[i]];
        const double* in = lateral.data() + lateralAt[i - b0];
        nodes.push_back(std::make_unique<Node>(graph, [&, reach, in](tbb::flow::continue_msg) {
          const ReachId id = network.reaches[reach].id;
          if (fault.raised) return;
          tReach = id;
          try {
            Inject(injected, rank, id);
            RouteOne(share, reach, in, stride, threads.scratch.local());
          } catch (const std::bad_alloc&) {
            fault.Record(id, "out of memory");
          } catch (const std::exception& e) {
            fault.Record(id, e.what());
          }
          tReach = 0;
        }));
      }
      std::vector<std::size_t> sources;
      for (std::size_t i = b0; i < b1; ++i) {
        const std::int64_t reach = topology.order[share.first + list[i]];
        bool inBlock = false;
        for (std::int64_t k = topology.upstreamStart[reach]; k < topology.upstreamStart[reach + 1];
             ++k) {
          const std::int64_t up = topology.position[topology.upstream[k]] - share.first;
          if (up < 0) continue;
          const auto at = static_cast<std::size_t>(listIndex[up]);
          if (at >= b0 && at < b1) {
            tbb::flow::make_edge(*nodes[at - b0], *nodes[i - b0]);
            inBlock = true;
          }
        }
        if (!inBlock) sources.push_back(i - b0);
      }
      for (std::size_t s : sources) nodes[s]->try_put(tbb::flow::continue_msg());
      graph.wait_for_all();
    });
    if (!fault.what.empty()) abort(Where(rank, fault.reach) + fault.what, kExitFile);
    routeSeconds += Seconds(clock);

    // Send what other processes wait for, and let MPI progress the transfers in flight.
    for (std::size_t i = b0; i < b1; ++i) {
      const auto it = outboundOf.find(list[i]);
      if (it == outboundOf.end()) continue;
      const Link& link = outbound[it->second];
      std::vector<double> message(share.outflows[list[i]]);
      message.push_back(share.failed[list[i]]);
      bytesSent += static_cast<std::int64_t>(message.size() * sizeof(double));
      sent.push_back(std::move(message));
      sends.emplace_back();
      MPI_Isend(sent.back().data(), static_cast<int>(sent.back().size()), MPI_DOUBLE, link.process,
                link.tag, comm, &sends.back());
    }
    int done = 0;
    if (!receives.empty() && !receivedAll)
      MPI_Testall(static_cast<int>(receives.size()), receives.data(), &done, MPI_STATUSES_IGNORE);
    if (!sends.empty())
      MPI_Testall(static_cast<int>(sends.size()), sends.data(), &done, MPI_STATUSES_IGNORE);
    if (rank == 0 && options.progress) options.progress(static_cast<std::int64_t>(b1), shareSize);
    b0 = b1;
  }
  clock = Clock::now();
  MPI_Waitall(static_cast<int>(sends.size()), sends.data(), MPI_STATUSES_IGNORE);
  sent.clear();
  // The remote outflows are no longer needed.
  for (std::size_t i = 0; i < inbound.size(); ++i)
    std::vector<double>().swap(share.outflows[static_cast<std::size_t>(shareSize) + i]);
  waitSeconds += Seconds(clock);
  summary.routeSeconds = routeSeconds;

  // Results to process 0 share by share, in blocks of bounded size, in routing order.
  clock = Clock::now();
  const bool keepStates = !options.restartOutPath.empty();
  const auto gatherBlock = static_cast<std::int64_t>(std::max<std::size_t>(
      1, std::min(block, kResultsMessageBytes / (sizeof(double) * (times + 16)))));
  std::int64_t bytesGathered = 0;
  RestartData next;
  if (rank == 0) {
    VolumeAccount account(static_cast<std::size_t>(reaches));
    Gatherer gather{topology, account, times, *writer, summary, keepStates ? &next : nullptr,
                    {},       {},      {},    {},      {}};
    std::vector<char> bytes;
    try {
      for (int r = 0; r < size; ++r)
        for (std::int64_t p = part.first[r]; p < part.first[r + 1]; p += gatherBlock) {
          const std::int64_t count = std::min(gatherBlock, part.first[r + 1] - p);
          if (r == 0) {
            Packer pack;
            PackResults(share, p - share.first, p - share.first + count, keepStates, pack);
            bytes.swap(pack.bytes());
            for (std::int64_t s = p - share.first; s < p - share.first + count; ++s)
              std::vector<double>().swap(share.outflows[s]);
          } else {
            MPI_Status status;
            int length = 0;
            MPI_Probe(r, kTagResults, comm, &status);
            MPI_Get_count(&status, MPI_BYTE, &length);
            bytes.resize(static_cast<std::size_t>(length));
            MPI_Recv(bytes.data(), length, MPI_BYTE, r, kTagResults, comm, MPI_STATUS_IGNORE);
            bytesGathered += length;
          }
          gather.Take(p, count, bytes);
        }
      account.Sum(network, topology, summary);
      writer->Close(SummaryAttributes(summary));
      if (keepStates) {
        next.timeUnits = layout.timeUnits;
        next.time = timeAxis.back();
        next.intervalMinutes = layout.intervalMinutes;
        for (std::int64_t reach : topology.order)
          next.methods.push_back(static_cast<std::int32_t>(network.reaches[reach].method));
        WriteRestart(options.restartOutPath, next);
      }
    } catch (const std::exception& e) {
      abort(Where(rank, 0) + "writing the results: " + e.what(), kExitFile);
    }
  } else {
    for (std::int64_t p = share.first; p < share.end; p += gatherBlock) {
      const std::int64_t count = std::min(gatherBlock, share.end - p);
      Packer pack;
      PackResults(share, p - share.first, p - share.first + count, keepStates, pack);
      for (std::int64_t s = p - share.first; s < p - share.first + count; ++s)
        std::vector<double>().swap(share.outflows[s]);
      MPI_Send(pack.bytes().data(), static_cast<int>(pack.bytes().size()), MPI_BYTE, 0, kTagResults,
               comm);
    }
  }
  summary.writeSeconds += Seconds(clock);

  // Every process ends with the run's counts; process 0 reports the exchange.
  std::int64_t counts[5] = {summary.clean, summary.withWarnings, summary.failed,
                            summary.upstreamFailed, summary.undefinedAccounts};
  MPI_Bcast(counts, 5, MPI_INT64_T, 0, comm);
  summary.clean = counts[0], summary.withWarnings = counts[1], summary.failed = counts[2];
  summary.upstreamFailed = counts[3], summary.undefinedAccounts = counts[4];
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  constexpr int kFigures = 6;
  const double mine[kFigures] = {static_cast<double>(bytesSent),
                                 static_cast<double>(outbound.size()),
                                 routeSeconds,
                                 waitSeconds,
                                 cpu,
                                 static_cast<double>(usage.ru_maxrss) / 1024.0};
  std::vector<double> all(rank == 0 ? kFigures * static_cast<std::size_t>(size) : 0);
  MPI_Gather(mine, kFigures, MPI_DOUBLE, all.data(), kFigures, MPI_DOUBLE, 0, comm);
  if (rank == 0 && report) {
    double bytes = 0.0, messages = 0.0;
    for (int r = 0; r < size; ++r) bytes += all[kFigures * r], messages += all[kFigures * r + 1];
    std::fprintf(report,
                 "exchange: %.0f boundary hydrographs, %.0f bytes; results gathered %lld bytes\n",
                 messages, bytes, static_cast<long long>(bytesGathered));
    for (int r = 0; r < size; ++r) {
      const double* f = all.data() + kFigures * r;
      std::fprintf(report,
                   "  process %d: routing %.3f s, waiting %.3f s, processor %.3f s, peak memory "
                   "%.1f MB\n",
                   r, f[2], f[3], f[4], f[5]);
    }
  }
  return summary;
}

}  // namespace tovalin::network
