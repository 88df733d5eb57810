// The network engine through its files: known answers by construction (a chain and a
// junction equal their reaches routed one after another), determinism over thread counts,
// restart, undefined inflow through a junction, refusals that name the reach, the identities
// of the volume account, the Courant band, reaches below a restart failure, and the written
// block between processes.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

#include "network/engine.h"
#include "network/generator.h"
#include "network/netcdf_io.h"
#include "network/parallel/wire.h"
#include "network/reach_routing.h"
#include "network/summary.h"
#include "network/topology.h"
#include "support/temp_dir.h"

namespace tovalin::network {
namespace {

namespace fs = std::filesystem;

// The test's files, in a directory of their own.
struct TempDir : test_support::TempDir {
  TempDir() : test_support::TempDir("tovalin-network") {}
};

// Outflows of a results file by reach id, and the status severities.
struct Results {
  std::map<ReachId, std::vector<double>> outflow;
  std::map<ReachId, std::int32_t> severity;
  std::vector<double> raw;
};
Results ReadResults(const std::string& path) {
  int id = -1, dim = -1, var = -1;
  EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id), NC_NOERR);
  std::size_t nt = 0, nr = 0;
  nc_inq_dimid(id, "time", &dim), nc_inq_dimlen(id, dim, &nt);
  nc_inq_dimid(id, "reach_id", &dim), nc_inq_dimlen(id, dim, &nr);
  std::vector<int> ids(nr), severity(nr);
  Results r;
  r.raw.resize(nt * nr);
  nc_inq_varid(id, "reach_id", &var), nc_get_var_int(id, var, ids.data());
  nc_inq_varid(id, "status_severity", &var), nc_get_var_int(id, var, severity.data());
  nc_inq_varid(id, "outflow", &var), nc_get_var_double(id, var, r.raw.data());
  nc_close(id);
  for (std::size_t j = 0; j < nr; ++j) {
    auto& q = r.outflow[ids[j]];
    for (std::size_t t = 0; t < nt; ++t) q.push_back(r.raw[t * nr + j]);
    r.severity[ids[j]] = severity[j];
  }
  return r;
}

Reach MuskingumReach(ReachId id, ReachId to, double k) {
  Reach r;
  r.id = id, r.toId = to, r.method = Method::kMuskingum;
  r.muskingumK = k, r.muskingumX = 0.2, r.stepCount = 2;
  return r;
}

// A forcing over the network's reaches: lateral(reach index, t), hourly.
void WriteCaseForcing(const std::string& path, const Network& net, std::int64_t times,
                      const std::function<double(std::size_t, std::size_t)>& lateral,
                      double firstTime = 0.0) {
  ForcingLayout layout;
  layout.intervalMinutes = 60;
  layout.timeUnits = "minutes since 2026-01-01 00:00:00";
  for (const Reach& r : net.reaches) layout.reachIds.push_back(r.id);
  std::vector<double> axis;
  for (std::int64_t t = 0; t < times; ++t) axis.push_back(firstTime + 60.0 * t);
  WriteForcing(path, layout, axis,
               [&](Ordinates o, std::int64_t first, std::int64_t count,
                   std::vector<double>& block) {
                 block.resize(static_cast<std::size_t>(o.count * count));
                 for (std::int64_t t = 0; t < o.count; ++t)
                   for (std::int64_t j = 0; j < count; ++j)
                     block[t * count + j] = lateral(first + j, o.first + t);
               },
               {});
}

RunSummary RunFiles(const TempDir& dir, int threads, const std::string& out = "out.nc",
                    std::int64_t block = 8192) {
  RunOptions o;
  o.networkPath = dir / "network.nc";
  o.forcingPath = dir / "forcing.nc";
  o.outputPath = dir / out.c_str();
  o.threads = threads;
  o.blockReaches = block;
  return network::Run(o);
}

double Storm(std::size_t reach, std::size_t t) {
  return 1.0 + reach + (t > 3 && t < 12 ? 10.0 * (t - 3) : 0.0);
}

// Known answer: tributaries 7 (Muskingum) and 5 (Muskingum-Cunge trapezoid) join into 3
// (Muskingum), which flows into the outlet 9 (Muskingum-Cunge, its discretisation chosen at
// a reference flow of 30 m3/s). Routing each reach through the C++ API one after another,
// with the junction summed in ascending id (5, then 7), must give the engine's outflows to
// the last bit, by rows:
//   cold      every reach from the cold start
//   initial   every reach from its initial flow (1.5, 2.5, 3.5, 4.5 m3/s), the state built by
//             the API with the reach's first inflow (Muskingum with its lateral inflow) as
//             its last inflow
TEST(NetworkEngine, ChainAndJunctionEqualReachesRoutedOneAfterAnother) {
  constexpr double kReferenceFlow = 30.0;  // m3/s, of the outlet 9
  for (const bool initial : {false, true}) {
    SCOPED_TRACE(initial ? "initial" : "cold");
    TempDir dir;
    Network net;
    net.reaches = {MuskingumReach(9, 0, 1.0), MuskingumReach(7, 3, 2.0),
                   MuskingumReach(3, 9, 1.5), MuskingumReach(5, 3, 1.0)};
    for (int i : {0, 3}) {
      Reach& r = net.reaches[i];
      r.method = Method::kMuskingumCungePrism;
      r.reachLength = 4000.0, r.channelSlope = 0.002, r.manningN = 0.035;
      r.bottomWidth = 8.0, r.sideSlope = 2.0;
    }
    net.reaches[0].referenceFlow = kReferenceFlow;
    for (std::size_t i = 0; initial && i < 4; ++i) net.reaches[i].initialFlow = 1.5 + i;
    WriteNetwork(dir / "network.nc", net);
    WriteCaseForcing(dir / "forcing.nc", net, 24, Storm);
    const RunSummary summary = RunFiles(dir, 2);
    ASSERT_TRUE(summary.refusal.empty());
    EXPECT_EQ(summary.failed, 0);
    const Results got = ReadResults(dir / "out.nc");

    // By hand through the C++ API: Muskingum takes its lateral inflow into its inflow,
    // Muskingum-Cunge per metre of reach (a continuation at the discretisation chosen from
    // the reach and its reference flow).
    Workspace ws;
    std::vector<double> out[4];
    const auto lateral = [](std::size_t i, bool perMetre) {
      std::vector<double> q;
      for (std::size_t t = 0; t < 24; ++t)
        q.push_back(perMetre ? Storm(i, t) / 4000.0 : Storm(i, t));
      return q;
    };
    const auto muskingum = [&](std::size_t i, std::vector<double> in) {
      const std::vector<double> q = lateral(i, false);
      for (std::size_t t = 0; t < 24; ++t) in[t] += q[t];
      const Reach& r = net.reaches[i];
      const tovalin::MuskingumReach reach{r.muskingumK, r.muskingumX, r.stepCount};
      const Hydrograph hydrograph{60, in, {}};
      const StepStart start = StartAtFlow(reach, r.initialFlow, in[0]);
      const auto result = initial ? Route(reach, hydrograph, start.state.view(), ws)
                                  : Route(reach, hydrograph, ws);
      out[i].assign(result.outflows.begin(), result.outflows.end());
    };
    const auto cunge = [&](std::size_t i, const std::vector<double>& in) {
      const std::vector<double> q = lateral(i, true);
      const MuskingumCungeReach reach{4000.0, 0.002, TrapezoidSection{8.0, 2.0, 0.035}};
      const MuskingumCungeDiscretisation d =
          ChooseDiscretisation(reach, 60, net.reaches[i].referenceFlow);
      const Hydrograph hydrograph{60, in, q};
      const MuskingumCungeStart start = StartAtFlow(reach, d, net.reaches[i].initialFlow, in[0]);
      const auto result = initial ? Route(reach, hydrograph, start.state.view(), ws)
                                  : Route(reach, hydrograph, d, ws);
      out[i].assign(result.outflows.begin(), result.outflows.end());
    };
    const std::vector<double> none(24, 0.0);
    muskingum(1, none);
    cunge(3, none);
    std::vector<double> junction(24), chain(24);
    for (std::size_t t = 0; t < 24; ++t) junction[t] = (0.0 + out[3][t]) + out[1][t];
    muskingum(2, junction);
    for (std::size_t t = 0; t < 24; ++t) chain[t] = 0.0 + out[2][t];
    cunge(0, chain);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(got.outflow.at(net.reaches[i].id), out[i]) << "reach " << net.reaches[i].id;
      // A reach started at its initial flow hands it on at the first ordinate.
      if (initial) {
        EXPECT_EQ(out[i][0], net.reaches[i].initialFlow) << "reach " << net.reaches[i].id;
      }
    }
  }
}

// Every method in one generated network; small blocks so that junctions cross blocks. The
// results file must be the same to the last bit on 1, 2 and 8 threads.
TEST(NetworkEngine, EveryMethodSameResultsOnAnyThreadCount) {
  TempDir dir;
  GeneratorOptions g;
  g.reaches = 600, g.steps = 30, g.seed = 11;
  const GeneratedNetwork net = GenerateNetwork(g);
  std::map<Method, int> methods;
  for (const Reach& r : net.network.reaches) ++methods[r.method];
  ASSERT_EQ(methods.size(), 5u);
  WriteGenerated(g, net, dir / "network.nc", dir / "forcing.nc");
  const RunSummary one = RunFiles(dir, 1, "one.nc", 64);
  EXPECT_EQ(one.failed, 0);
  EXPECT_EQ(one.clean + one.withWarnings, 600);
  RunFiles(dir, 2, "two.nc", 4096);
  RunFiles(dir, 8, "eight.nc", 37);
  const std::vector<double> reference = ReadResults(dir / "one.nc").raw;
  for (const char* name : {"two.nc", "eight.nc"}) {
    const std::vector<double> other = ReadResults(dir / name).raw;
    ASSERT_EQ(other.size(), reference.size());
    EXPECT_EQ(std::memcmp(other.data(), reference.data(), reference.size() * sizeof(double)), 0)
        << name;
  }
}

// A missing lateral inflow on tributary 1 at t = 5 reads as undefined and makes its outflow
// and the junction's undefined from t = 5 on; tributary 2 stays defined throughout.
TEST(NetworkEngine, UndefinedInflowPassesThroughJunction) {
  TempDir dir;
  Network net;
  net.reaches = {MuskingumReach(1, 3, 1.0), MuskingumReach(2, 3, 1.0), MuskingumReach(3, 0, 1.0)};
  WriteNetwork(dir / "network.nc", net);
  // The forcing marks the missing value its own way: missing_value = -9999.
  constexpr double kMissing = -9999.0;
  WriteCaseForcing(dir / "forcing.nc", net, 12, [](std::size_t r, std::size_t t) {
    return r == 0 && t == 5 ? kMissing : 2.0;
  });
  int file = -1, var = -1;
  ASSERT_EQ(nc_open((dir / "forcing.nc").c_str(), NC_WRITE, &file), NC_NOERR);
  nc_redef(file), nc_inq_varid(file, "lateral_inflow", &var);
  ASSERT_EQ(nc_put_att_double(file, var, "missing_value", NC_DOUBLE, 1, &kMissing), NC_NOERR);
  nc_close(file);
  RunFiles(dir, 2);
  const Results got = ReadResults(dir / "out.nc");
  for (std::size_t t = 0; t < 12; ++t) {
    EXPECT_EQ(IsUndefined(got.outflow.at(1)[t]), t >= 5);
    EXPECT_FALSE(IsUndefined(got.outflow.at(2)[t]));
    EXPECT_EQ(IsUndefined(got.outflow.at(3)[t]), t >= 5);
  }
}

// Puls reach 1 fails, by rows: its routine meets inflows beyond its table (message 12), or
// the API refuses to start it at an initial level above its elevations (message 13: nothing
// routed, every outflow undefined). Either way reach 2 below it is marked, and reach 3 on
// another outlet is untouched.
TEST(NetworkEngine, FailedReachMarksEveryReachBelowIt) {
  struct Row {
    const char* name;
    double initialLevel;  // m; undefined: a cold start
    std::int32_t message;
  };
  for (const Row& row : {Row{"inflow beyond the table", kUndefined, 12},
                         Row{"level above the table", 5.0, 13}}) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    Network net;
    net.reaches = {MuskingumReach(1, 2, 1.0), MuskingumReach(2, 0, 1.0),
                   MuskingumReach(3, 0, 1.0)};
    Reach& puls = net.reaches[0];
    puls.method = Method::kPuls;
    puls.tableStart = 0, puls.tableCount = 2, puls.stepCount = 1;
    puls.initialLevel = row.initialLevel;
    net.storageTable = {0.0, 3600.0}, net.outflowTable = {0.0, 1.0},
    net.elevationTable = {0.0, 1.0};
    WriteNetwork(dir / "network.nc", net);
    WriteCaseForcing(dir / "forcing.nc", net, 6,
                     [](std::size_t, std::size_t t) { return 1.0 + t; });
    const RunSummary s = RunFiles(dir, 2);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.upstreamFailed, 1);
    EXPECT_TRUE(s.Failed());
    int id = -1, var = -1;
    std::vector<int> ids(3), marked(3), message(3);
    ASSERT_EQ(nc_open((dir / "out.nc").c_str(), NC_NOWRITE, &id), NC_NOERR);
    nc_inq_varid(id, "reach_id", &var), nc_get_var_int(id, var, ids.data());
    nc_inq_varid(id, "upstream_failed", &var), nc_get_var_int(id, var, marked.data());
    nc_inq_varid(id, "status_message", &var), nc_get_var_int(id, var, message.data());
    nc_close(id);
    const Results r = ReadResults(dir / "out.nc");
    EXPECT_EQ(r.severity.at(1), 4);
    for (std::size_t j = 0; j < 3; ++j) {
      EXPECT_EQ(marked[j], ids[j] == 2 ? 1 : 0) << ids[j];
      if (ids[j] == 1) {
        EXPECT_EQ(message[j], row.message);
      }
    }
    for (double q : r.outflow.at(1)) EXPECT_EQ(IsUndefined(q), !IsUndefined(row.initialLevel));
  }
}

// The volume account is summed in ascending reach_id, whatever order the reaches were kept
// in: ids 3, 1, 2 in the file with forcing volumes 1, 1e16, -1e16 give 1 (in file order, 0);
// reach 4, whose storage at the end is undefined, is counted apart, never summed as 0, and
// leaves the network's error undefined.
TEST(NetworkEngine, VolumeAccountSummedInReachIdOrder) {
  const ReachId ids[] = {3, 1, 2, 4};
  NetworkAccount account(4);
  const double forcing[] = {1.0, 1e16, -1e16, 0.0};
  for (std::int64_t i : {3, 2, 0, 1}) {
    ReachOutcome o;
    o.forcingVolume = forcing[i], o.writtenOutflowVolume = 0.0;
    o.storageStart = 5.0, o.storageEnd = i == 3 ? kUndefined : 5.0, o.loss = 0.0;
    account.Keep(i, o, true);
  }
  RunSummary s;
  account.Sum(ids, s);
  EXPECT_EQ(s.inflowVolume, 1.0);
  EXPECT_EQ(s.storageStart, 15.0);
  EXPECT_EQ(s.undefinedAccounts, 1);
  EXPECT_TRUE(IsUndefined(s.balanceError));
  EXPECT_TRUE(IsUndefined(s.balanceRelative));
}

// A part of a network file holds its reaches as the whole file does, with only the tables and
// sections they use (starts counted from the part's first point); the links hold no more.
TEST(NetworkEngine, PartOfNetworkReadsItsReachesAlone) {
  TempDir dir;
  GeneratorOptions g;
  g.reaches = 120, g.steps = 2;
  WriteNetwork(dir / "network.nc", GenerateNetwork(g).network);
  const Network whole = ReadNetwork(dir / "network.nc");
  const Network part = ReadNetworkPart(dir / "network.nc", 40, 50);
  const Network links = ReadNetworkLinks(dir / "network.nc");
  ASSERT_EQ(part.reaches.size(), 50u);
  EXPECT_LT(part.storageTable.size() + part.sectionStations.size(),
            whole.storageTable.size() + whole.sectionStations.size());
  EXPECT_TRUE(ParametersSound(part));
  EXPECT_TRUE(links.storageTable.empty() && links.sectionStations.empty());
  for (std::size_t i = 0; i < part.reaches.size(); ++i) {
    const Reach &p = part.reaches[i], &w = whole.reaches[40 + i];
    EXPECT_EQ(links.reaches[40 + i].reachLength, w.reachLength);
    EXPECT_EQ(p.muskingumK, w.muskingumK);
    EXPECT_EQ(p.manningN, w.manningN);
    if (p.method == Method::kPuls || p.method == Method::kPulsWithLoss) {
      for (std::int32_t k = 0; k < p.tableCount; ++k)
        EXPECT_EQ(part.storageTable.at(p.tableStart + k), whole.storageTable[w.tableStart + k]);
    }
    if (p.method == Method::kMuskingumCunge8Point) {
      for (int k = 0; k < kSectionPoints; ++k)
        EXPECT_EQ(part.sectionElevations.at(p.sectionStart + k),
                  whole.sectionElevations[w.sectionStart + k]);
    }
  }
}

// Each refused input is named by reach, and nothing is written.
TEST(NetworkEngine, RefusalsNameTheReach) {
  struct Case {
    const char* what;
    std::function<void(Network&)> breakNetwork;
    bool breakForcing;
    const char* expected;
  };
  const Case cases[] = {
      {"duplicate", [](Network& n) { n.reaches[2].id = 2; }, false, "duplicate reach_id: reach 2"},
      {"unknown to_id", [](Network& n) { n.reaches[1].toId = 99; }, false,
       "to_id names no reach: reach 2 (to_id 99)"},
      {"cycle", [](Network& n) { n.reaches[3].toId = 2; }, false,
       "reaches on a cycle: reaches 2, 3, 4"},
      {"parameter", [](Network& n) { n.reaches[0].muskingumK = kUndefined; }, false,
       "parameters missing or invalid: reach 1 (muskingumK"},
      {"method", [](Network& n) { n.reaches[0].method = static_cast<Method>(9); }, false,
       "parameters missing or invalid: reach 1 (method"},
      {"level without elevations",
       [](Network& n) {
         Reach& r = n.reaches[0];
         r.method = Method::kPuls, r.tableStart = 0, r.tableCount = 2, r.initialLevel = 0.5;
         n.storageTable = {0.0, 3600.0}, n.outflowTable = {0.0, 1.0};
         n.elevationTable = {kUndefined, kUndefined};
       },
       false,
       "parameters missing or invalid: reach 1 (elevationTable value missing (initial_level is "
       "looked up in it))"},
      {"forcing", [](Network&) {}, true, "forcing reach_id differs from the network's"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    // 1 -> 2 -> 3 -> 4 -> outlet 0
    Network net;
    for (int id = 1; id <= 4; ++id)
      net.reaches.push_back(MuskingumReach(id, id == 4 ? 0 : id + 1, 1.0));
    Network forcingNet = net;
    c.breakNetwork(net);
    if (c.breakForcing) forcingNet.reaches[3].id = 40;
    WriteNetwork(dir / "network.nc", net);
    WriteCaseForcing(dir / "forcing.nc", forcingNet, 4,
                     [](std::size_t, std::size_t) { return 1.0; });
    const RunSummary s = RunFiles(dir, 1);
    ASSERT_FALSE(s.refusal.empty()) << c.what;
    EXPECT_NE(s.BriefReport().find(c.expected), std::string::npos)
        << c.what << ": " << s.BriefReport();
    EXPECT_FALSE(fs::exists(dir / "out.nc")) << c.what;
  }
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// A reach's figures in a results file, by id.
std::map<ReachId, std::vector<double>> ReadReachFigure(const std::string& path, const char* name) {
  int id = -1, dim = -1, var = -1;
  std::size_t nr = 0;
  EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id), NC_NOERR);
  nc_inq_dimid(id, "reach_id", &dim), nc_inq_dimlen(id, dim, &nr);
  std::vector<long long> ids(nr);
  std::vector<double> values(nr);
  nc_inq_varid(id, "reach_id", &var), nc_get_var_longlong(id, var, ids.data());
  EXPECT_EQ(nc_inq_varid(id, name, &var), NC_NOERR) << name;
  nc_get_var_double(id, var, values.data());
  nc_close(id);
  std::map<ReachId, std::vector<double>> byId;
  for (std::size_t j = 0; j < nr; ++j) byId[ids[j]].push_back(values[j]);
  return byId;
}

bool Cunge(const Reach& r) {
  return r.method == Method::kMuskingumCunge8Point || r.method == Method::kMuskingumCungePrism;
}

// The identities of the volume account, one case per row, on a generated network of every
// method over 25 hourly ordinates. Lateral inflows are multiples of 0.25 m3/s, so that the
// forcing's volume (0.5 dt (q(t) + q(t+1)) summed over the intervals) is exact in any order:
// the network's inflow must be that number to the bit, whatever the reaches' discretisation.
//   storm       lateral 0.25 (1 + i mod 4) m3/s on reach i, 3 times that over hours 4 to 11
//   long        the same forcing with every Muskingum-Cunge reach 3 times as long
//   steady      every Muskingum-Cunge reach turned Muskingum, no loss: 0.5 m3/s lateral on
//               every reach and 2 m3/s into every headwater stay steady; balance to rounding
//   steady mc   every method, no lateral inflow on the Muskingum-Cunge reaches: steady too,
//               balanced within the depth searches' tolerance of the Muskingum-Cunge storages
//   undefined   the storm with an undefined lateral inflow at hour 5 on a headwater reach of
//               Muskingum: its account and those of every reach below it are undefined (their
//               last outflow is), so is the network's error; no other reach's
//   dry         no inflow at all: every error 0 m3 or undefined, no relative error (below 1 m3)
// On every row no relative error is anything but finite or undefined.
TEST(NetworkEngine, VolumeAccountIdentities) {
  constexpr std::size_t kTimes = 25;
  constexpr double kDt = 3600.0;
  constexpr double kRounding = 1e-13;     // relative, Muskingum and Puls
  constexpr double kDepthSearch = 2e-6;   // relative, Muskingum-Cunge storages
  enum class Kind { kStorm, kLong, kSteady, kSteadyCunge, kUndefined, kDry };
  struct Row {
    const char* name;
    Kind kind;
  };
  const Row rows[] = {{"storm", Kind::kStorm},         {"long", Kind::kLong},
                      {"steady", Kind::kSteady},       {"steady mc", Kind::kSteadyCunge},
                      {"undefined", Kind::kUndefined}, {"dry", Kind::kDry}};
  GeneratorOptions g;
  g.reaches = 300, g.steps = 2, g.seed = 23;
  const GeneratedNetwork generated = GenerateNetwork(g);
  const Topology topology = BuildTopology(generated.network);
  const std::size_t n = generated.network.reaches.size();
  std::vector<ReachId> headwaters;
  std::int64_t undefinedReach = -1;
  for (std::size_t i = 0; i < n; ++i)
    if (topology.upstreamStart[i] == topology.upstreamStart[i + 1]) {
      headwaters.push_back(generated.network.reaches[i].id);
      if (undefinedReach < 0 && generated.network.reaches[i].method == Method::kMuskingum)
        undefinedReach = static_cast<std::int64_t>(i);
    }
  ASSERT_GE(undefinedReach, 0);
  std::set<ReachId> belowUndefined;  // the undefined reach and every reach below it
  for (std::int64_t i = undefinedReach; i >= 0; i = topology.downstream[i])
    belowUndefined.insert(generated.network.reaches[i].id);

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    Network net = generated.network;
    for (Reach& r : net.reaches) {
      if (row.kind == Kind::kLong && Cunge(r)) r.reachLength *= 3.0;
      if (row.kind == Kind::kSteady && Cunge(r))
        r.method = Method::kMuskingum, r.muskingumK = 1.0, r.muskingumX = 0.2, r.stepCount = 2;
      if (row.kind == Kind::kSteady || row.kind == Kind::kSteadyCunge) r.lossRate = 0.0;
    }
    WriteNetwork(dir / "network.nc", net);
    const bool steady = row.kind == Kind::kSteady || row.kind == Kind::kSteadyCunge;
    const auto lateral = [&](std::size_t i, std::size_t t) {
      if (row.kind == Kind::kDry) return 0.0;
      if (steady) return Cunge(net.reaches[i]) ? 0.0 : 0.5;
      if (row.kind == Kind::kUndefined && i == static_cast<std::size_t>(undefinedReach) && t == 5)
        return kUndefined;
      return 0.25 * (1 + i % 4) * (t >= 4 && t < 12 ? 3.0 : 1.0);
    };
    ForcingLayout layout;
    layout.intervalMinutes = 60;
    layout.timeUnits = "minutes since 2026-01-01 00:00:00";
    for (const Reach& r : net.reaches) layout.reachIds.push_back(r.id);
    if (steady) layout.boundaryReachIds = headwaters;
    std::vector<double> axis, boundary;
    double expectedInflow = 0.0;
    for (std::size_t t = 0; t < kTimes; ++t) {
      axis.push_back(60.0 * t);
      for (std::size_t b = 0; b < layout.boundaryReachIds.size(); ++b) boundary.push_back(2.0);
    }
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t t = 0; t + 1 < kTimes; ++t)
        if (!IsUndefined(lateral(i, t)) && !IsUndefined(lateral(i, t + 1)))
          expectedInflow += 0.5 * kDt * (lateral(i, t) + lateral(i, t + 1));
    expectedInflow += static_cast<double>(layout.boundaryReachIds.size()) * 2.0 * kDt * (kTimes - 1);
    WriteForcing(
        dir / "forcing.nc", layout, axis,
        [&](Ordinates o, std::int64_t first, std::int64_t count, std::vector<double>& block) {
          block.resize(static_cast<std::size_t>(o.count * count));
          for (std::int64_t t = 0; t < o.count; ++t)
            for (std::int64_t j = 0; j < count; ++j)
              block[t * count + j] = lateral(static_cast<std::size_t>(first + j),
                                             static_cast<std::size_t>(o.first + t));
        },
        boundary);
    const RunSummary s = RunFiles(dir, 2);
    ASSERT_TRUE(s.refusal.empty());
    EXPECT_EQ(s.inflowVolume, expectedInflow);

    const auto error = ReadReachFigure(dir / "out.nc", "volume_balance_error");
    const auto relative = ReadReachFigure(dir / "out.nc", "volume_balance_relative");
    const Results results = ReadResults(dir / "out.nc");
    for (const auto& [id, e] : error) {
      const double r = relative.at(id)[0];
      EXPECT_TRUE(IsUndefined(r) || std::isfinite(r)) << "reach " << id;
      EXPECT_TRUE(IsUndefined(e[0]) || std::isfinite(e[0])) << "reach " << id;
      EXPECT_EQ(IsUndefined(e[0]), IsUndefined(results.outflow.at(id).back())) << "reach " << id;
      if (row.kind == Kind::kDry) {
        EXPECT_TRUE(e[0] == 0.0 && IsUndefined(r)) << "reach " << id;
      }
    }
    EXPECT_TRUE(IsUndefined(s.balanceRelative) || std::isfinite(s.balanceRelative));
    switch (row.kind) {
      case Kind::kSteady:
        EXPECT_LE(std::abs(s.balanceRelative), kRounding);
        break;
      case Kind::kSteadyCunge:
        EXPECT_LE(std::abs(s.balanceRelative), kDepthSearch);
        break;
      case Kind::kUndefined:
        EXPECT_TRUE(IsUndefined(s.balanceError));
        EXPECT_EQ(s.undefinedAccounts, static_cast<std::int64_t>(belowUndefined.size()));
        for (const auto& [id, e] : error)
          EXPECT_EQ(IsUndefined(e[0]), belowUndefined.contains(id)) << "reach " << id;
        break;
      case Kind::kDry:
        EXPECT_EQ(s.balanceError, 0.0);
        EXPECT_TRUE(IsUndefined(s.balanceRelative));
        break;
      default:
        EXPECT_EQ(s.undefinedAccounts, 0);
        EXPECT_TRUE(std::isfinite(s.balanceRelative));
    }
  }
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// Two Muskingum-Cunge trapezoids take boundary inflows: reach 1 a flood of 50 m3/s after 6
// hours of 0.02 m3/s, its discretisation chosen at a reference flow of 0.02 m3/s, far below
// the flood, so that its Courant number leaves the band where the method is accurate (far
// above 5); reach 2 a steady 5 m3/s at a reference flow of 5 m3/s, inside. The summary names
// reach 1 alone and the results say so, with each reach's Courant and cell Reynolds ranges.
TEST(NetworkEngine, ReachOutsideCourantBandIsNamed) {
  TempDir dir;
  Network net;
  for (ReachId id : {1, 2}) {
    Reach r;
    r.id = id, r.method = Method::kMuskingumCungePrism;
    r.reachLength = 5000.0, r.channelSlope = 0.001, r.manningN = 0.035;
    r.bottomWidth = 10.0, r.sideSlope = 2.0;
    r.referenceFlow = id == 1 ? 0.02 : 5.0;
    net.reaches.push_back(r);
  }
  WriteNetwork(dir / "network.nc", net);
  ForcingLayout layout;
  layout.intervalMinutes = 60;
  layout.timeUnits = "minutes since 2026-01-01 00:00:00";
  layout.reachIds = {1, 2}, layout.boundaryReachIds = {1, 2};
  constexpr int kTimes = 18;
  std::vector<double> axis, boundary;
  for (int t = 0; t < kTimes; ++t) {
    axis.push_back(60.0 * t);
    boundary.push_back(t <= 6 ? 0.02 : 50.0), boundary.push_back(5.0);
  }
  WriteForcing(
      dir / "forcing.nc", layout, axis,
      [&](Ordinates o, std::int64_t, std::int64_t n, std::vector<double>& v) {
        v.assign(o.count * n, 0.0);
      },
      boundary);
  const RunSummary s = RunFiles(dir, 2);
  EXPECT_EQ(s.outsideCourantBand, 1);
  EXPECT_EQ(s.outsideCourantReaches, std::vector<ReachId>{1});
  EXPECT_NE(s.BriefReport().find("Courant number outside 0.2 to 5: 1 reach (1)"), std::string::npos);
  const auto courant = ReadReachFigure(dir / "out.nc", "courant_max");
  const auto reynolds = ReadReachFigure(dir / "out.nc", "reynolds_min");
  EXPECT_GT(courant.at(1)[0], kCourantBandHigh);
  EXPECT_LT(courant.at(2)[0], kCourantBandHigh);
  EXPECT_GT(reynolds.at(1)[0], 0.0);
  int file = -1;
  double attribute = 0.0;
  ASSERT_EQ(nc_open((dir / "out.nc").c_str(), NC_NOWRITE, &file), NC_NOERR);
  EXPECT_EQ(nc_get_att_double(file, NC_GLOBAL, "reaches_outside_courant_band", &attribute),
            NC_NOERR);
  nc_close(file);
  EXPECT_EQ(attribute, 1.0);
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// The states of a restart file by reach id: values, last inflow, interval and subreaches.
std::map<ReachId, std::tuple<std::vector<double>, double, double, std::int32_t>> ReadStates(
    const std::string& path) {
  const RestartData r = ReadRestart(path);
  std::map<ReachId, std::tuple<std::vector<double>, double, double, std::int32_t>> states;
  for (std::size_t i = 0; i < r.reachIds.size(); ++i) {
    const auto from = r.states.begin() + r.stateStart[i];
    states[r.reachIds[i]] = {std::vector<double>(from, from + r.stateCount[i]), r.lastInflow[i],
                             r.computationInterval[i], r.subreachCount[i]};
  }
  return states;
}

// A run split in two with a restart between equals one run bit for bit for every method: the
// second part's outflows are the one run's from the split on, and its restart holds the one
// run's states. By rows:
//   example    the example network (every method, its boundary inflow), cold, split at hours
//              6, 8, 12, 16, 24 and 36 of 72: before, at and after the storm's peak
//   generated  a generated network of every method started from initial flows (0.5 to
//              2.5 m3/s), every other Puls reach at an initial level (its table's third pair),
//              split at hour 17 of 40
// The generated row also reads the states of some reaches alone (as a process reads its
// share) as the whole restart holds them, and refuses a forcing that does not start at the
// restart's time.
TEST(NetworkEngine, SplitRunEqualsOneRunForEveryMethod) {
  struct Row {
    const char* name;
    bool generated;
    std::vector<std::size_t> splits;
  };
  const Row rows[] = {{"example", false, {6, 8, 12, 16, 24, 36}}, {"generated", true, {17}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    if (row.generated) {
      GeneratorOptions g;
      g.reaches = 400, g.steps = 40, g.seed = 5;
      GeneratedNetwork net = GenerateNetwork(g);
      bool level = false;
      std::map<Method, int> methods;
      for (std::size_t i = 0; i < net.network.reaches.size(); ++i) {
        Reach& r = net.network.reaches[i];
        ++methods[r.method];
        r.initialFlow = 0.5 + 0.5 * static_cast<double>(i % 5);
        if (r.method == Method::kPuls && (level = !level))
          r.initialLevel = net.network.elevationTable[r.tableStart + 2];
      }
      ASSERT_EQ(methods.size(), 5u);
      WriteGenerated(g, net, dir / "network.nc", dir / "forcing.nc");
    } else {
      const std::string examples = TOVALIN_EXAMPLES_DIR;
      ASSERT_EQ(std::system(("ncgen -4 -o " + (dir / "network.nc") + " " + examples +
                             "/network.cdl && ncgen -4 -o " + (dir / "forcing.nc") + " " +
                             examples + "/forcing.cdl")
                                .c_str()),
                0);
    }
    ForcingReader whole(dir / "forcing.nc");
    const ForcingLayout layout = whole.layout();
    const std::vector<double> times = whole.ReadTimes();
    std::vector<double> lateral, boundary;
    const std::size_t nr = layout.reachIds.size(), nt = times.size(),
                      nb = layout.boundaryReachIds.size();
    whole.ReadLateral(0, static_cast<std::int64_t>(nr), lateral);
    for (std::size_t b = 0; b < nb; ++b) {
      std::vector<double> one;
      whole.ReadBoundary(static_cast<std::int64_t>(b), one);
      boundary.resize(nt * nb);
      for (std::size_t t = 0; t < nt; ++t) boundary[t * nb + b] = one[t];
    }
    // Writes the forcing of times [from, to).
    const auto part = [&](const std::string& path, std::size_t from, std::size_t to) {
      WriteForcing(
          path, layout, std::span(times).subspan(from, to - from),
          [&](Ordinates o, std::int64_t first, std::int64_t count, std::vector<double>& block) {
            block.clear();
            for (std::int64_t t = o.first; t < o.end(); ++t)
              for (std::int64_t j = first; j < first + count; ++j)
                block.push_back(lateral[(from + t) * nr + j]);
          },
          std::span(boundary).subspan(from * nb, (to - from) * nb));
    };
    RunOptions o;
    o.networkPath = dir / "network.nc";
    o.forcingPath = dir / "forcing.nc";
    o.outputPath = dir / "whole.nc";
    o.restartOutPath = dir / "whole-restart.nc";
    const RunSummary one = network::Run(o);
    ASSERT_TRUE(one.refusal.empty());
    EXPECT_EQ(one.failed, 0);
    const Results whole_ = ReadResults(dir / "whole.nc");
    const auto wholeStates = ReadStates(dir / "whole-restart.nc");
    for (const std::size_t split : row.splits) {
      SCOPED_TRACE(split);
      part(dir / "first.nc", 0, split + 1);
      part(dir / "second.nc", split, nt);
      o.forcingPath = dir / "first.nc", o.outputPath = dir / "a.nc";
      o.restartOutPath = dir / "restart.nc";
      ASSERT_TRUE(network::Run(o).refusal.empty());
      o.forcingPath = dir / "second.nc", o.outputPath = dir / "b.nc";
      o.restartInPath = dir / "restart.nc", o.restartOutPath = dir / "second-restart.nc";
      const RunSummary s = network::Run(o);
      o.restartInPath.clear();
      ASSERT_TRUE(s.refusal.empty());
      EXPECT_EQ(s.failed, 0);
      const Results b = ReadResults(dir / "b.nc");
      for (const auto& [id, q] : whole_.outflow)
        EXPECT_TRUE(std::equal(b.outflow.at(id).begin(), b.outflow.at(id).end(),
                               q.begin() + static_cast<std::ptrdiff_t>(split)))
            << "reach " << id;
      EXPECT_EQ(ReadStates(dir / "second-restart.nc"), wholeStates);
    }
    if (!row.generated) continue;

    // The states of some reaches alone (here the restart's 100th to 199th) read as the whole
    // restart holds them, and no more; the starts are written as 64-bit integers.
    const RestartData all = ReadRestart(dir / "restart.nc");
    const std::set<ReachId> ids(all.reachIds.begin() + 100, all.reachIds.begin() + 200);
    const RestartData some =
        ReadRestart(dir / "restart.nc", [&](ReachId id) { return ids.contains(id); });
    EXPECT_EQ(some.states.size(),
              static_cast<std::size_t>(all.stateStart[200] - all.stateStart[100]));
    for (std::size_t i = 0; i < all.reachIds.size(); ++i) {
      const bool wanted = ids.contains(all.reachIds[i]);
      EXPECT_EQ(some.stateStart[i] >= 0, wanted);
      for (std::int32_t k = 0; wanted && k < all.stateCount[i]; ++k)
        EXPECT_EQ(some.states.at(some.stateStart[i] + k), all.states[all.stateStart[i] + k]);
    }
    int file = -1, var = -1;
    nc_type type = NC_NAT;
    ASSERT_EQ(nc_open((dir / "restart.nc").c_str(), NC_NOWRITE, &file), NC_NOERR);
    nc_inq_varid(file, "state_start", &var), nc_inq_vartype(file, var, &type);
    nc_close(file);
    EXPECT_EQ(type, NC_INT64);

    // A forcing that does not start at the restart's time is refused.
    o.restartInPath = dir / "restart.nc", o.restartOutPath.clear();
    part(o.forcingPath, row.splits[0] + 1, nt);
    EXPECT_NE(network::Run(o).refusal.at(0).find("restart's time"), std::string::npos);
  }
}

// A steady network started at its steady flows stays there to rounding: a generated network
// of every method (the loss rate 0), 0.5 m3/s into every headwater and 0.1 m3/s of lateral
// inflow on every Muskingum and Puls reach (none on the Muskingum-Cunge reaches, whose nodes
// all start at one flow); each reach's initial flow is what enters above its end, summed down
// the network, and every other Puls reach starts at the level of that flow in its table
// instead. Every outflow at every time is the reach's steady flow to rounding, no reach
// fails (a state that does not fit its first inflow would), and the network balances within
// the tolerance of the Muskingum-Cunge storages' depth searches.
TEST(NetworkEngine, SteadyNetworkStartedAtItsFlowsStaysThere) {
  constexpr std::size_t kTimes = 12;
  constexpr double kHeadwaterFlow = 0.5, kLateral = 0.1;  // m3/s
  constexpr double kRounding = 1e-12;                     // relative
  constexpr double kDepthSearch = 2e-6;                   // relative, the network's balance
  TempDir dir;
  GeneratorOptions g;
  g.reaches = 300, g.steps = 2, g.seed = 23;
  Network net = GenerateNetwork(g).network;
  const Topology topology = BuildTopology(net);
  const std::size_t n = net.reaches.size();
  ForcingLayout layout;
  layout.intervalMinutes = 60;
  layout.timeUnits = "minutes since 2026-01-01 00:00:00";
  std::vector<double> steady(n, 0.0), axis, boundary;
  for (std::int64_t i : topology.order) {  // upstream reaches first
    Reach& r = net.reaches[i];
    r.lossRate = 0.0;
    if (topology.upstreamStart[i] == topology.upstreamStart[i + 1]) {
      layout.boundaryReachIds.push_back(r.id);
      steady[i] += kHeadwaterFlow;
    }
    if (!Cunge(r)) steady[i] += kLateral;
    if (topology.downstream[i] >= 0) steady[topology.downstream[i]] += steady[i];
  }
  bool level = false;
  for (std::size_t i = 0; i < n; ++i) {
    Reach& r = net.reaches[i];
    r.initialFlow = steady[i];
    if (r.method != Method::kPuls || !(level = !level)) continue;
    // The level of the steady flow, interpolated in the table as the routing interpolates.
    const double* q = net.outflowTable.data() + r.tableStart;
    const double* e = net.elevationTable.data() + r.tableStart;
    std::int32_t k = 0;
    while (k + 2 < r.tableCount && q[k + 1] < steady[i]) ++k;
    ASSERT_LE(steady[i], q[r.tableCount - 1]) << "reach " << r.id;
    r.initialLevel = e[k] + (steady[i] - q[k]) / (q[k + 1] - q[k]) * (e[k + 1] - e[k]);
  }
  WriteNetwork(dir / "network.nc", net);
  for (const Reach& r : net.reaches) layout.reachIds.push_back(r.id);
  for (std::size_t t = 0; t < kTimes; ++t) {
    axis.push_back(60.0 * t);
    boundary.insert(boundary.end(), layout.boundaryReachIds.size(), kHeadwaterFlow);
  }
  WriteForcing(
      dir / "forcing.nc", layout, axis,
      [&](Ordinates o, std::int64_t first, std::int64_t count, std::vector<double>& block) {
        block.resize(static_cast<std::size_t>(o.count * count));
        for (std::int64_t t = 0; t < o.count; ++t)
          for (std::int64_t j = 0; j < count; ++j)
            block[t * count + j] = Cunge(net.reaches[first + j]) ? 0.0 : kLateral;
      },
      boundary);
  const RunSummary s = RunFiles(dir, 2);
  ASSERT_TRUE(s.refusal.empty());
  EXPECT_EQ(s.failed + s.upstreamFailed, 0);
  EXPECT_LE(std::abs(s.balanceRelative), kDepthSearch);
  const Results results = ReadResults(dir / "out.nc");
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<double>& q = results.outflow.at(net.reaches[i].id);
    for (std::size_t t = 0; t < kTimes; ++t)
      EXPECT_NEAR(q[t], steady[i], kRounding * steady[i])
          << "reach " << net.reaches[i].id << " at " << t;
  }
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// A chain 1 -> 2 -> 3 of Muskingum reaches restarted at hour 8 with reach 1's first lateral
// inflow no longer the restart's: reach 1 fails against its restart (message 16); reaches 2
// and 3 below it are routed from their states, marked and counted below the failure, and
// their first outflow repeats the first part's last, as a continuation's overlapping ordinate
// does.
TEST(NetworkEngine, ReachesBelowARestartFailureAreRoutedAndMarked) {
  TempDir dir;
  Network net;
  net.reaches = {MuskingumReach(1, 2, 1.0), MuskingumReach(2, 3, 1.0), MuskingumReach(3, 0, 1.0)};
  WriteNetwork(dir / "network.nc", net);
  RunOptions o;
  o.networkPath = dir / "network.nc";
  o.forcingPath = dir / "first.nc";
  o.outputPath = dir / "a.nc";
  o.restartOutPath = dir / "restart.nc";
  WriteCaseForcing(o.forcingPath, net, 9, Storm);
  ASSERT_TRUE(network::Run(o).refusal.empty());
  o.forcingPath = dir / "second.nc", o.outputPath = dir / "b.nc";
  o.restartInPath = o.restartOutPath, o.restartOutPath.clear();
  WriteCaseForcing(
      o.forcingPath, net, 6,
      [](std::size_t r, std::size_t t) { return Storm(r, t + 8) + (r == 0 && t == 0 ? 1.0 : 0.0); },
      60.0 * 8);
  const RunSummary s = network::Run(o);
  EXPECT_EQ(s.failed, 1);
  EXPECT_EQ(s.upstreamFailed, 2);
  const Results first = ReadResults(dir / "a.nc"), second = ReadResults(dir / "b.nc");
  EXPECT_EQ(second.severity.at(1), 4);
  const auto marks = ReadReachFigure(dir / "b.nc", "upstream_failed");
  for (ReachId id : {2, 3}) {
    EXPECT_EQ(second.severity.at(id), first.severity.at(id)) << id;  // their own warnings
    EXPECT_EQ(marks.at(id)[0], 1.0) << id;
    EXPECT_EQ(second.outflow.at(id)[0], first.outflow.at(id).back()) << id;
    EXPECT_TRUE(IsUndefined(second.outflow.at(id)[1])) << id;
  }
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// A written block through the wire between processes comes out as it went in, its depths and
// velocities and every field of its reaches' outcomes and states included; a message cut
// short is refused, not read past.
TEST(NetworkEngine, WrittenBlockCrossesTheWireWhole) {
  ResultBlock block;
  block.firstPosition = 12, block.reaches = 2, block.ordinates = {3, 2};
  block.ids = {7, 9}, block.marks = {0, kUpstreamFailed};
  // The outflows, depths and velocities, undefined values among them.
  block.series = {{1.5, 2.5, 3.5, kUndefined}, {0.5, kUndefined, 0.75, 1.25},
                  {kUndefined, 0.25, 0.125, 2.0}};
  for (int r = 0; r < 2; ++r) {
    ReachOutcome o;
    o.routine = 15 + r, o.messageNumber = 1, o.severity = 2, o.message = "reach " + std::to_string(r);
    double v = 0.25 + r;
    for (double* f : {&o.inflowVolume, &o.outflowVolume, &o.storageStart, &o.storageEnd, &o.loss,
                      &o.balanceError, &o.balanceRelative, &o.forcingVolume,
                      &o.writtenOutflowVolume, &o.computationInterval, &o.courantMin,
                      &o.courantMax, &o.reynoldsMin, &o.reynoldsMax})
      *f = v, v += 1.0;
    o.subreachCount = 4 + r, o.subreachSteps = 1000 + r;
    block.outcomes.push_back(o);
    block.states.push_back({{0.5, 1.5, 2.5 + r}, 8.0 + r, 900.0, 3 + r});
  }
  Packer pack;
  BlockFields(pack, std::as_const(block));
  ResultBlock got;
  Unpacker unpack(pack.bytes());
  BlockFields(unpack, got);
  EXPECT_TRUE(unpack.done());
  EXPECT_EQ(got.firstPosition, 12);
  EXPECT_EQ(got.reaches, 2);
  EXPECT_EQ(got.ordinates.first, 3);
  EXPECT_EQ(got.ordinates.count, 2);
  EXPECT_EQ(got.ids, block.ids);
  EXPECT_EQ(got.marks, block.marks);
  ASSERT_EQ(got.series.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    ASSERT_EQ(got.series[k].size(), 4u);
    EXPECT_EQ(std::memcmp(got.series[k].data(), block.series[k].data(), 4 * sizeof(double)), 0);
  }
  ASSERT_EQ(got.outcomes.size(), 2u);
  ASSERT_EQ(got.states.size(), 2u);
  for (int r = 0; r < 2; ++r) {
    const ReachOutcome &a = block.outcomes[r], &b = got.outcomes[r];
    EXPECT_EQ(std::tie(a.routine, a.messageNumber, a.severity, a.message, a.subreachCount,
                       a.subreachSteps),
              std::tie(b.routine, b.messageNumber, b.severity, b.message, b.subreachCount,
                       b.subreachSteps));
    EXPECT_EQ(std::tie(a.inflowVolume, a.outflowVolume, a.storageStart, a.storageEnd, a.loss,
                       a.balanceError, a.balanceRelative, a.forcingVolume,
                       a.writtenOutflowVolume, a.computationInterval, a.courantMin,
                       a.courantMax, a.reynoldsMin, a.reynoldsMax),
              std::tie(b.inflowVolume, b.outflowVolume, b.storageStart, b.storageEnd, b.loss,
                       b.balanceError, b.balanceRelative, b.forcingVolume,
                       b.writtenOutflowVolume, b.computationInterval, b.courantMin,
                       b.courantMax, b.reynoldsMin, b.reynoldsMax));
    EXPECT_EQ(got.states[r].values, block.states[r].values);
    EXPECT_EQ(std::tie(got.states[r].lastInflow, got.states[r].computationInterval,
                       got.states[r].subreachCount),
              std::tie(block.states[r].lastInflow, block.states[r].computationInterval,
                       block.states[r].subreachCount));
  }
  std::vector<char> cut(pack.bytes().begin(), pack.bytes().end() - 3);
  Unpacker shorter(cut);
  ResultBlock none;
  EXPECT_THROW(BlockFields(shorter, none), std::runtime_error);
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// The threads that routing has shown, for a test to wait on: `Seen` waits until the reaches
// have been routed by `threads` threads at once, or until a deadline (false then).
class ThreadWatch : public LocalExchange {
 public:
  explicit ThreadWatch(std::function<void(ThreadWatch&)> onFirstReach)
      : onFirstReach_(std::move(onFirstReach)) {}
  void BeforeRouting(ReachId) override {
    bool first = false;
    {
      std::lock_guard lock(mutex_);
      first = seen_.empty();
      seen_.insert(std::this_thread::get_id());
    }
    changed_.notify_all();
    if (first) onFirstReach_(*this);
  }
  bool Seen(std::size_t threads) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return seen_.size() >= threads; });
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
  }
  bool Released() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return released_; });
  }

 private:
  // Longer than any wait of a sound run, short enough to fail rather than hang.
  static constexpr std::chrono::seconds kPatience{60};
  std::function<void(ThreadWatch&)> onFirstReach_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::thread::id> seen_;
  bool released_ = false;
};

// Two runs in one process at once (two host threads calling Run) keep their own thread
// counts: run A, on 1 thread, holds its first reach until run B, on 2 threads, has routed on
// two threads at once (B's first reach waits for the second). A run that limited the whole
// process to its thread count would leave B one thread. Both write what a run alone writes.
TEST(NetworkEngine, TwoRunsAtOnceKeepTheirOwnThreadCounts) {
  TempDir dir;
  GeneratorOptions g;
  g.reaches = 300, g.steps = 12, g.seed = 5;
  WriteGenerated(g, GenerateNetwork(g), dir / "network.nc", dir / "forcing.nc");
  RunFiles(dir, 2, "alone.nc");
  bool bSawTwo = false, aRouting = false;
  std::mutex started;
  std::condition_variable routing;
  ThreadWatch b([&](ThreadWatch& self) { bSawTwo = self.Seen(2); });
  ThreadWatch a([&](ThreadWatch& self) {
    {
      std::lock_guard lock(started);
      aRouting = true;
    }
    routing.notify_all();
    self.Released();
  });
  const auto options = [&](int threads, const char* out) {
    RunOptions o;
    o.networkPath = dir / "network.nc";
    o.forcingPath = dir / "forcing.nc";
    o.outputPath = dir / out;
    o.threads = threads;
    return o;
  };
  RunSummary sa, sb;
  std::thread runA([&] { sa = network::Run(options(1, "a.nc"), a); });
  {
    std::unique_lock lock(started);
    routing.wait(lock, [&] { return aRouting; });
  }
  std::thread runB([&] { sb = network::Run(options(2, "b.nc"), b); });
  runB.join();
  a.Release();
  runA.join();
  EXPECT_TRUE(bSawTwo);
  EXPECT_EQ(sa.threads, 1);
  EXPECT_EQ(sb.threads, 2);
  const std::vector<double> alone = ReadResults(dir / "alone.nc").raw;
  for (const char* name : {"a.nc", "b.nc"}) {
    const std::vector<double> got = ReadResults(dir / name).raw;
    ASSERT_EQ(got.size(), alone.size()) << name;
    EXPECT_EQ(std::memcmp(got.data(), alone.data(), alone.size() * sizeof(double)), 0) << name;
  }
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// A variable of a results file along (time, reach_id), by reach id.
std::map<ReachId, std::vector<double>> ReadSeries(const std::string& path, const char* name) {
  const InputFile f(path);
  const std::vector<std::int64_t> ids = ReadIntegers(f.Require("reach_id"));
  const std::vector<double> values = ReadReals(f.Require(name));
  std::map<ReachId, std::vector<double>> byId;
  for (std::size_t k = 0; k < values.size(); ++k)
    byId[ids[k % ids.size()]].push_back(values[k]);
  return byId;
}

// Depth and velocity through the engine at steady flow, each known by hand:
//   reach 1, Muskingum-Cunge through a trapezoid (b 8 m, z 2, n 0.035, S 0.002) carrying a
//     boundary inflow of Manning's flow at a depth of 1.2 m: that depth at its downstream
//     end, and velocity Q / A with A = (b + z y) y;
//   reach 2, a lake (Puls) whose storage, outflow and level rise linearly (1e6 m3, 10 m3/s
//     and 1 m per row, level zero at 100 m) carrying 15 m3/s: level 101.5 m, depth 1.5 m,
//     no velocity;
//   reach 3, Muskingum: neither.
// The trapezoid's subreach-steps are its subreaches times its computation steps.
TEST(NetworkEngine, DepthAndVelocityAtSteadyFlowAreTheHandComputedOnes) {
  constexpr double kDepth = 1.2, kWidth = 8.0, kSide = 2.0, kN = 0.035, kSlope = 0.002;
  constexpr double kLakeFlow = 15.0, kLakeDepth = 1.5;
  // Newton's last step moves the trapezoid's depth by at most 0.01 m, and the error left after
  // it is far smaller (the routine's single-precision 5/3 and 2/3 move the depth by 1e-7 m).
  constexpr double kDepthSearch = 1e-4;
  constexpr double kRounding = 1e-9;
  const double area = (kWidth + kSide * kDepth) * kDepth;
  const double perimeter = kWidth + 2.0 * kDepth * std::sqrt(1.0 + kSide * kSide);
  const double flow = area * std::pow(area / perimeter, 2.0 / 3.0) * std::sqrt(kSlope) / kN;
  TempDir dir;
  Network net;
  net.reaches = {MuskingumReach(1, 0, 1.0), MuskingumReach(2, 0, 1.0), MuskingumReach(3, 0, 1.0)};
  Reach& channel = net.reaches[0];
  channel.method = Method::kMuskingumCungePrism;
  channel.reachLength = 3000.0, channel.channelSlope = kSlope, channel.manningN = kN;
  channel.bottomWidth = kWidth, channel.sideSlope = kSide;
  Reach& lake = net.reaches[1];
  lake.method = Method::kPuls, lake.stepCount = 1, lake.tableStart = 0, lake.tableCount = 5;
  for (int k = 0; k < 5; ++k) {
    net.storageTable.push_back(1e6 * k);
    net.outflowTable.push_back(10.0 * k);
    net.elevationTable.push_back(100.0 + k);
  }
  WriteNetwork(dir / "network.nc", net);
  constexpr std::int64_t kTimes = 12;
  ForcingLayout layout;
  layout.intervalMinutes = 60;
  layout.timeUnits = "minutes since 2026-01-01 00:00:00";
  layout.reachIds = {1, 2, 3};
  layout.boundaryReachIds = {1, 2};
  std::vector<double> axis, boundary;
  for (std::int64_t t = 0; t < kTimes; ++t)
    axis.push_back(60.0 * t), boundary.push_back(flow), boundary.push_back(kLakeFlow);
  WriteForcing(dir / "forcing.nc", layout, axis,
               [&](Ordinates o, std::int64_t first, std::int64_t count,
                   std::vector<double>& values) {
                 values.assign(static_cast<std::size_t>(o.count * count), 0.0);
                 for (std::int64_t t = 0; t < o.count; ++t)
                   for (std::int64_t j = 0; j < count; ++j)
                     if (first + j == 2) values[t * count + j] = 5.0;
               },
               boundary);
  RunOptions o;
  o.networkPath = dir / "network.nc", o.forcingPath = dir / "forcing.nc";
  o.outputPath = dir / "out.nc";
  o.depths = o.velocities = true;
  const RunSummary s = network::Run(o);
  ASSERT_TRUE(s.refusal.empty());
  EXPECT_FALSE(s.Failed());
  const auto depth = ReadSeries(dir / "out.nc", "depth");
  const auto velocity = ReadSeries(dir / "out.nc", "velocity");
  for (std::int64_t t = 0; t < kTimes; ++t) {
    SCOPED_TRACE(t);
    EXPECT_NEAR(depth.at(1)[t], kDepth, kDepthSearch);
    EXPECT_NEAR(velocity.at(1)[t], flow / area, kDepthSearch * flow / area);
    EXPECT_NEAR(depth.at(2)[t], kLakeDepth, kRounding);
    EXPECT_TRUE(IsUndefined(velocity.at(2)[t]));
    EXPECT_TRUE(IsUndefined(depth.at(3)[t]));
    EXPECT_TRUE(IsUndefined(velocity.at(3)[t]));
  }
  // The trapezoid's work: NSUB subreaches over every computation step after the first.
  const double dt = ReadReachFigure(dir / "out.nc", "computation_interval").at(1)[0];
  const double nsub = ReadReachFigure(dir / "out.nc", "subreach_count").at(1)[0];
  const double steps = nsub * (kTimes - 1) * 3600.0 / dt;
  EXPECT_EQ(ReadReachFigure(dir / "out.nc", "subreach_steps").at(1)[0], steps);
  EXPECT_EQ(s.subreachSteps, steps);
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// The gauges a network names come out with their reach's outflow to the bit, in the network's
// order, by rows: two of four reaches gauged (the others blank), no gauge variable at all,
// and none named (a gauge dimension of length 0). Without asking, a results file holds
// neither gauges nor depths.
TEST(NetworkEngine, GaugesCarryTheOutflowOfTheirReaches) {
  struct Row {
    const char* name;
    std::vector<std::string> gages;  // in file order; empty: no gages variable
    std::vector<std::string> ids;    // gauge_id expected
    std::vector<ReachId> reaches;    // gauge_reach_id expected
  };
  const Row rows[] = {
      {"two gauged", {"08150000", "", " upper 7 ", ""}, {"08150000", "upper 7"}, {4, 1}},
      {"no gages", {}, {}, {}},
      {"all blank", {"", "", "", ""}, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    Network net;  // 1 -> 2 -> 3 -> outlet 4, in file order 4, 3, 1, 2
    net.reaches = {MuskingumReach(4, 0, 1.0), MuskingumReach(3, 4, 1.5),
                   MuskingumReach(1, 2, 1.0), MuskingumReach(2, 3, 2.0)};
    net.gages = row.gages;
    WriteNetwork(dir / "network.nc", net);
    WriteCaseForcing(dir / "forcing.nc", net, 10, Storm);
    RunOptions o;
    o.networkPath = dir / "network.nc", o.forcingPath = dir / "forcing.nc";
    o.outputPath = dir / "plain.nc";
    ASSERT_FALSE(network::Run(o).Failed());
    o.outputPath = dir / "gauged.nc";
    o.gauges = true;
    ASSERT_FALSE(network::Run(o).Failed());
    const InputFile plain(dir / "plain.nc");
    for (const char* name : {"gauge_outflow", "gauge_id", "depth", "velocity"})
      EXPECT_FALSE(plain.Find(name)) << name;
    const InputFile gauged(dir / "gauged.nc");
    EXPECT_EQ(gauged.Dimension("gauge"), row.ids.size());
    EXPECT_EQ(ReadTexts(gauged.Require("gauge_id")), row.ids);
    const std::vector<std::int64_t> reaches = ReadIntegers(gauged.Require("gauge_reach_id"));
    EXPECT_EQ(std::vector<ReachId>(reaches.begin(), reaches.end()), row.reaches);
    const auto outflow = ReadSeries(dir / "gauged.nc", "outflow");
    const std::vector<double> flows = ReadReals(gauged.Require("gauge_outflow"));
    for (std::size_t g = 0; g < row.reaches.size(); ++g)
      for (std::size_t t = 0; t < 10; ++t)
        EXPECT_EQ(flows[t * row.reaches.size() + g], outflow.at(row.reaches[g])[t]) << g;
  }
}

}  // namespace
}  // namespace tovalin::network
