// tovalin-import nwm as a process on model files written here with the real files' types
// (int32 ids, float parameters, packed integers with fill values) and with int64 ids and
// double parameters (the same network), then tovalin-route on what it wrote. The basin: links
// 101 (floodplain) and 102 (trapezoid) flow into lake 900 (links 201, 202, outlet 203), which
// flows into 301 -> 302 -> 999999 (outside the file: an outlet); 401 is an outlet of its own.
// Every parameter is a binary fraction, so float and double files hold the same values.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "network/netcdf_io.h"
#include "tovalin/result.hpp"
#include "support/temp_dir.h"

extern char** environ;

namespace tovalin::network {
namespace {

namespace fs = std::filesystem;

// The test's files, in a directory of their own.
struct TempDir : test_support::TempDir {
  TempDir() : test_support::TempDir("tovalin-import") {}
};

// A process's exit status, output and peak resident memory (KiB).
struct Outcome {
  int status = -1;
  std::string out, err;
  long peakKiB = 0;
};
Outcome RunProcess(std::vector<std::string> args, const TempDir& dir,
                   const std::vector<std::string>& extraEnvironment = {}) {
  const std::string out = dir / "stdout.txt", err = dir / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The extra variables, then the rest of this process's environment.
  std::vector<std::string> environment(extraEnvironment);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  for (char** e = environ; *e; ++e) {
    const std::string_view entry = *e;
    bool replaced = false;
    for (const std::string& x : extraEnvironment)
      replaced = replaced || entry.substr(0, entry.find('=')) == x.substr(0, x.find('='));
    if (!replaced) envp.push_back(*e);
  }
  envp.push_back(nullptr);
  pid_t pid = -1;
  Outcome o;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int wstatus = 0;
    rusage usage{};
    wait4(pid, &wstatus, 0, &usage);
    o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    o.peakKiB = usage.ru_maxrss;
  }
  posix_spawn_file_actions_destroy(&actions);
  const auto slurp = [](const std::string& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  o.out = slurp(out), o.err = slurp(err);
  return o;
}

// A netCDF file being written, through the C interface as any program writes it.
struct Nc {
  int id = -1;
  explicit Nc(const std::string& path, int format = NC_NETCDF4) {
    EXPECT_EQ(nc_create(path.c_str(), format, &id), NC_NOERR);
  }
  ~Nc() { nc_close(id); }
  int Dim(const char* name, std::size_t n) {
    int d = -1;
    nc_def_dim(id, name, n, &d);
    return d;
  }
  int Var(const char* name, nc_type type, std::vector<int> dims) {
    int v = -1;
    EXPECT_EQ(nc_def_var(id, name, type, static_cast<int>(dims.size()), dims.data(), &v), NC_NOERR)
        << name;
    return v;
  }
  // A packed variable: int32 with scale_factor (float), _FillValue and missing_value.
  int Packed(const char* name, int dim, float scale, int fill) {
    const int v = Var(name, NC_INT, {dim});
    nc_def_var_fill(id, v, 0, &fill);
    nc_put_att_int(id, v, "missing_value", NC_INT, 1, &fill);
    const float offset = 0.0f;
    nc_put_att_float(id, v, "scale_factor", NC_FLOAT, 1, &scale);
    nc_put_att_float(id, v, "add_offset", NC_FLOAT, 1, &offset);
    return v;
  }
  void Text(int var, const char* name, const std::string& value) {
    nc_put_att_text(id, var, name, value.size(), value.c_str());
  }
  void Put(int var, const std::vector<double>& values) {
    nc_enddef(id);  // classic formats leave define mode before data (netCDF-4 by itself)
    EXPECT_EQ(nc_put_var_double(id, var, values.data()), NC_NOERR);
  }
  void PutIds(int var, const std::vector<long long>& values) {
    nc_enddef(id);
    EXPECT_EQ(nc_put_var_longlong(id, var, values.data()), NC_NOERR);
  }
  void PutInts(int var, const std::vector<int>& values) {
    nc_enddef(id);
    EXPECT_EQ(nc_put_var_int(id, var, values.data()), NC_NOERR);
  }
};

struct Link {
  long long id, to;
  double bottom, chSlp, top, topCompound;
  long long waterbody;
  const char* gage;
  int order;
};
const std::vector<Link> kLinks = {
    {302, 999999, 8.0, 0.5, 12.0, 40.0, -9999, "", 3},
    {101, 201, 4.125, 0.5, 6.75, 20.5, -9999, "08150000", 1},
    {201, 203, 4.0, 0.5, 6.0, 20.0, 900, "08150100", 2},
    {102, 202, 3.0, 1.0, 5.0, 4.0, -9999, "", 1},
    {203, 301, 4.0, 0.5, 6.0, 20.0, 900, "08150500", 2},
    {202, 203, 4.0, 0.5, 6.0, 20.0, 900, "", 2},
    {301, 302, 8.0, 0.5, 12.0, 40.0, -9999, "", 3},
    {401, 0, 2.0, 0.25, 3.0, 9.0, -9999, "", 1},
};
constexpr double kLength = 2048.0, kSlope = 0.001953125, kN = 0.0625, kNCC = 0.125;

// The RouteLink file, with ids and parameters of the given types.
void WriteRouteLink(const std::string& path, nc_type ids, nc_type reals) {
  Nc f(path);
  const int d = f.Dim("feature_id", kLinks.size()), chars = f.Dim("IDLength", 15);
  std::map<std::string, int> v;
  for (const char* name : {"link", "to", "NHDWaterbodyComID"}) v[name] = f.Var(name, ids, {d});
  for (const char* name : {"Length", "So", "n", "nCC", "ChSlp", "BtmWdth", "TopWdth",
                           "TopWdthCC", "lat", "lon", "MusK", "MusX", "Qi"})
    v[name] = f.Var(name, reals, {d});
  v["order"] = f.Var("order", NC_INT, {d});
  v["gages"] = f.Var("gages", NC_CHAR, {d, chars});
  std::vector<long long> link, to, waterbody;
  std::vector<double> bottom, chSlp, top, topCompound, lat, lon;
  std::vector<int> order;
  std::string gages;
  for (std::size_t i = 0; i < kLinks.size(); ++i) {
    const Link& l = kLinks[i];
    link.push_back(l.id), to.push_back(l.to), waterbody.push_back(l.waterbody);
    bottom.push_back(l.bottom), chSlp.push_back(l.chSlp), top.push_back(l.top);
    topCompound.push_back(l.topCompound), order.push_back(l.order);
    lat.push_back(30.0 + 0.125 * i), lon.push_back(-98.0 - 0.25 * i);
    std::string g(15, ' ');  // right-justified, blank-padded, as the model writes it
    g.replace(15 - std::strlen(l.gage), std::strlen(l.gage), l.gage);
    gages += g;
  }
  const std::size_t n = kLinks.size();
  f.PutIds(v["link"], link), f.PutIds(v["to"], to), f.PutIds(v["NHDWaterbodyComID"], waterbody);
  f.Put(v["Length"], std::vector<double>(n, kLength)), f.Put(v["So"], std::vector<double>(n, kSlope));
  f.Put(v["n"], std::vector<double>(n, kN)), f.Put(v["nCC"], std::vector<double>(n, kNCC));
  f.Put(v["ChSlp"], chSlp), f.Put(v["BtmWdth"], bottom), f.Put(v["TopWdth"], top);
  f.Put(v["TopWdthCC"], topCompound), f.Put(v["lat"], lat), f.Put(v["lon"], lon);
  f.Put(v["MusK"], std::vector<double>(n, 3600.0)), f.Put(v["MusX"], std::vector<double>(n, 0.25));
  f.Put(v["Qi"], std::vector<double>(n, 0.0)), f.PutInts(v["order"], order);
  nc_put_var_text(f.id, v["gages"], gages.data());
}

// The LAKEPARM file: a lake of another basin (77) and lake 900.
void WriteLakeParameters(const std::string& path, nc_type ids, nc_type reals) {
  Nc f(path);
  const int d = f.Dim("feature_id", 2);
  const int id = f.Var("lake_id", ids, {d});
  const std::map<const char*, std::vector<double>> columns = {
      {"LkArea", {3.0, 2.5}},   {"LkMxE", {90.0, 110.0}},  {"WeirC", {0.375, 0.375}},
      {"WeirL", {10.0, 10.0}},  {"WeirE", {88.0, 108.0}},  {"OrificeC", {0.125, 0.125}},
      {"OrificeA", {1.0, 1.0}}, {"OrificeE", {80.0, 100.0}}, {"ifd", {0.5, 0.875}}};
  std::map<const char*, int> v;
  for (const auto& [name, values] : columns) v[name] = f.Var(name, reals, {d});
  const int dam = f.Var("Dam_Length", NC_INT, {d});
  f.PutIds(id, {77, 900});
  for (const auto& [name, values] : columns) f.Put(v[name], values);
  f.PutInts(dam, {10, 10});
}

constexpr long long kFirstMinute = 27162060;  // 2021-08-23 13:00 UTC
constexpr long long kOutside = 555555;        // a feature of no link
constexpr float kFine = 1.0e-5f, kCoarse = 0.1f, kFlow = 0.01f;
constexpr int kFineFill = -999900000, kCoarseFill = -99990, kFlowFill = -999900;

// Packed values of link i (kLinks order) at hour t: qBucket, qSfcLatRunoff, q_lateral,
// streamflow. qSfcLatRunoff of 302 at hour 2 is the fill value.
int Bucket(std::size_t i, long long t) { return 50000 * static_cast<int>(i + 1) + 25000 * static_cast<int>(t); }
int Surface(std::size_t i, long long t) {
  return i == 0 && t == 2 ? kFineFill : 12500 * static_cast<int>(i + t);
}
int QLateral(std::size_t i, long long t) { return static_cast<int>(i + 2 * t); }
int Streamflow(std::size_t i, long long t) { return 1000 + 100 * static_cast<int>(i) + static_cast<int>(t); }

// One CHRTOUT file at hour t, its features in an order of their own (reversed and rotated),
// with one feature that is no link. Without `link` (an id), that link is left out.
void WriteChrtout(const std::string& path, long long t, long long without = 0) {
  Nc f(path);
  std::vector<std::size_t> rows;
  for (std::size_t k = 0; k < kLinks.size(); ++k) {
    const std::size_t i = (kLinks.size() - 1 - k + static_cast<std::size_t>(t)) % kLinks.size();
    if (kLinks[i].id != without) rows.push_back(i);
  }
  const int time = f.Dim("time", NC_UNLIMITED), d = f.Dim("feature_id", rows.size() + 1);
  const int vTime = f.Var("time", NC_INT, {time});
  f.Text(vTime, "units", "minutes since 1970-01-01T00:00:00+00:00");
  f.Text(vTime, "calendar", "proleptic_gregorian");
  const int vId = f.Var("feature_id", NC_INT64, {d});
  const int vBucket = f.Packed("qBucket", d, kFine, kFineFill);
  const int vSurface = f.Packed("qSfcLatRunoff", d, kFine, kFineFill);
  const int vLateral = f.Packed("q_lateral", d, kCoarse, kCoarseFill);
  const int vFlow = f.Packed("streamflow", d, kFlow, kFlowFill);
  std::vector<long long> ids;
  std::vector<int> bucket, surface, lateral, flow;
  for (std::size_t i : rows) {
    ids.push_back(kLinks[i].id);
    bucket.push_back(Bucket(i, t)), surface.push_back(Surface(i, t));
    lateral.push_back(QLateral(i, t)), flow.push_back(Streamflow(i, t));
  }
  ids.insert(ids.begin() + 1, kOutside);
  for (auto* column : {&bucket, &surface, &lateral, &flow}) column->insert(column->begin() + 1, 7);
  const int minute = static_cast<int>(kFirstMinute + 60 * t);
  const std::size_t zero = 0, one = 1;
  nc_put_vara_int(f.id, vTime, &zero, &one, &minute);
  f.PutIds(vId, ids), f.PutInts(vBucket, bucket), f.PutInts(vSurface, surface);
  f.PutInts(vLateral, lateral), f.PutInts(vFlow, flow);
}

// A model state file without ids: qlink1 per link in RouteLink order, resht per lake.
void WriteState(const std::string& path, std::size_t links, const std::string& time) {
  Nc f(path);
  const int d = f.Dim("links", links), l = f.Dim("lakes", 1);
  const int q = f.Var("qlink1", NC_FLOAT, {d}), h = f.Var("resht", NC_FLOAT, {l});
  f.Text(NC_GLOBAL, "Restart_Time", time);
  std::vector<double> flows;
  for (std::size_t i = 0; i < links; ++i) flows.push_back(0.5 * (i + 1));
  f.Put(q, flows), f.Put(h, {104.5});
}

constexpr long long kHours = 4;

struct Basin {
  TempDir dir;
  std::vector<std::string> chrtout;  // hours 3, 2, 1, 0: not in time order
  Basin(nc_type ids = NC_INT, nc_type reals = NC_FLOAT) {
    WriteRouteLink(dir / "RouteLink.nc", ids, reals);
    WriteLakeParameters(dir / "LAKEPARM.nc", ids, reals == NC_FLOAT ? NC_DOUBLE : reals);
    for (long long t = kHours - 1; t >= 0; --t) {
      chrtout.push_back(dir / ("2021082" + std::to_string(t) + ".CHRTOUT_DOMAIN1"));
      WriteChrtout(chrtout.back(), t);
    }
  }
  Outcome Import(std::vector<std::string> extra, bool lakes = true) const {
    std::vector<std::string> args{TOVALIN_IMPORT, "nwm", "--routelink", dir / "RouteLink.nc"};
    if (lakes) args.insert(args.end(), {"--lakeparm", dir / "LAKEPARM.nc"});
    args.push_back("--chrtout");
    args.insert(args.end(), chrtout.begin(), chrtout.end());
    args.insert(args.end(), {"--out-network", dir / "network.nc", "--out-forcing", dir / "forcing.nc"});
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProcess(args, dir);
  }
};

std::map<ReachId, std::size_t> Positions(const Network& net) {
  std::map<ReachId, std::size_t> at;
  for (std::size_t p = 0; p < net.reaches.size(); ++p) at[net.reaches[p].id] = p;
  return at;
}

// Every value of two networks is the same, bit for bit.
void ExpectSameNetwork(const Network& a, const Network& b) {
  ASSERT_EQ(a.reaches.size(), b.reaches.size());
  const auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  for (std::size_t i = 0; i < a.reaches.size(); ++i) {
    const Reach &r = a.reaches[i], &s = b.reaches[i];
    EXPECT_TRUE(r.id == s.id && r.toId == s.toId && r.method == s.method &&
                r.tableStart == s.tableStart && r.sectionStart == s.sectionStart &&
                r.order == s.order)
        << "reach " << r.id;
    for (double Reach::*field : {&Reach::reachLength, &Reach::channelSlope, &Reach::manningN,
                                 &Reach::leftOverbankManningN, &Reach::bottomWidth,
                                 &Reach::sideSlope, &Reach::referenceFlow, &Reach::initialLevel,
                                 &Reach::latitude, &Reach::longitude})
      EXPECT_TRUE(same(r.*field, s.*field)) << "reach " << r.id;
  }
  EXPECT_EQ(a.gages, b.gages);
  for (auto column : {&Network::storageTable, &Network::outflowTable, &Network::elevationTable,
                      &Network::sectionStations, &Network::sectionElevations})
    EXPECT_TRUE((a.*column).size() == (b.*column).size() &&
                std::memcmp((a.*column).data(), (b.*column).data(), (a.*column).size() * 8) == 0);
}

// Known answer: the files give the basin's reaches, lake and outlets; the forcing holds every
// link's qBucket + qSfcLatRunoff in time order matched by feature_id (the lake's the sum of
// its three links'; the fill value undefined); the int64 and double files give the same
// network and forcing; and the engine routes it.
TEST(ImportNwm, ModelFilesOfEitherTypesImportAndRoute) {
  const Basin real;
  const Outcome o = real.Import({});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("8 links -> 6 reaches"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("1 link flows to a link outside the file"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("4 feature_ids not in the RouteLink skipped"), std::string::npos) << o.out;
  const Network net = ReadNetwork(real.dir / "network.nc");
  auto at = Positions(net);
  const std::map<ReachId, std::pair<ReachId, Method>> expected = {
      {101, {900, Method::kMuskingumCunge8Point}}, {102, {900, Method::kMuskingumCungePrism}},
      {900, {301, Method::kPuls}},                 {301, {302, Method::kMuskingumCunge8Point}},
      {302, {0, Method::kMuskingumCunge8Point}},   {401, {0, Method::kMuskingumCunge8Point}}};
  ASSERT_EQ(net.reaches.size(), expected.size());
  for (const auto& [id, what] : expected) {
    ASSERT_TRUE(at.contains(id)) << id;
    EXPECT_EQ(net.reaches[at[id]].toId, what.first) << id;
    EXPECT_EQ(net.reaches[at[id]].method, what.second) << id;
  }
  const Reach& lake = net.reaches[at[900]];
  EXPECT_EQ(net.gages[at[900]], "08150500");
  EXPECT_EQ(net.gages[at[101]], "08150000");
  EXPECT_EQ(lake.order, 2);
  EXPECT_DOUBLE_EQ(lake.initialLevel, 100.0 + 0.875 * 10.0);  // ifd
  EXPECT_EQ(net.outflowTable[lake.tableStart], 0.0);
  EXPECT_DOUBLE_EQ(net.elevationTable[lake.tableStart], 100.0);
  EXPECT_EQ(net.reaches[at[301]].manningN, kN);
  EXPECT_EQ(net.reaches[at[301]].leftOverbankManningN, kNCC);
  EXPECT_EQ(net.reaches[at[102]].sideSlope, 1.0);
  EXPECT_FLOAT_EQ(static_cast<float>(net.reaches[at[401]].latitude), 30.875f);

  ForcingReader forcing(real.dir / "forcing.nc");
  const ForcingLayout& layout = forcing.layout();
  ASSERT_EQ(layout.timeCount, kHours);
  EXPECT_EQ(layout.intervalMinutes, 60);
  EXPECT_EQ(layout.firstTime.minutes, kFirstMinute);
  EXPECT_EQ(layout.timeUnits.units.rfind("minutes since 1970-01-01", 0), 0u);
  std::vector<double> lateral;
  forcing.ReadLateral(0, static_cast<std::int64_t>(net.reaches.size()), lateral);
  const std::size_t nr = net.reaches.size();
  const auto runoff = [](std::size_t i, long long t) {
    return Bucket(i, t) * static_cast<double>(kFine) + Surface(i, t) * static_cast<double>(kFine);
  };
  for (long long t = 0; t < kHours; ++t) {
    SCOPED_TRACE("hour " + std::to_string(t));
    for (std::size_t i : {1u, 3u, 6u, 7u})
      EXPECT_DOUBLE_EQ(lateral[t * nr + at[kLinks[i].id]], runoff(i, t));
    EXPECT_DOUBLE_EQ(lateral[t * nr + at[900]], runoff(2, t) + runoff(4, t) + runoff(5, t));
    if (t == 2)
      EXPECT_EQ(lateral[t * nr + at[302]], kUndefined);
    else
      EXPECT_DOUBLE_EQ(lateral[t * nr + at[302]], runoff(0, t));
  }

  const Basin wide(NC_INT64, NC_DOUBLE);
  ASSERT_EQ(wide.Import({}).status, 0);
  ExpectSameNetwork(ReadNetwork(wide.dir / "network.nc"), net);
  ForcingReader wideForcing(wide.dir / "forcing.nc");
  std::vector<double> wideLateral;
  wideForcing.ReadLateral(0, static_cast<std::int64_t>(nr), wideLateral);
  EXPECT_EQ(wideLateral, lateral);

  const Outcome routed = RunProcess({TOVALIN_ROUTE, "--network", real.dir / "network.nc",
                                     "--forcing", real.dir / "forcing.nc", "--output",
                                     real.dir / "results.nc"},
                                    real.dir);
  EXPECT_EQ(routed.status, 0) << routed.err << routed.out;
  // The engine starts the lake at its initial level, 108.75 m in the lake file's datum, the
  // datum of its elevation column: its first outflow is the level pool's there, orifice
  // 0.125 x 1 x sqrt(2 g 8.75) plus weir 0.375 x 10 x 0.75^1.5, within the table's
  // interpolation (0.5 % + 0.01 m3/s).
  const InputFile results(real.dir / "results.nc");
  const std::vector<double> outflow = ReadReals(results.Require("outflow"));
  const std::vector<double> ids = ReadReals(results.Require("reach_id"));
  const auto lakeColumn = static_cast<std::size_t>(std::find(ids.begin(), ids.end(), 900.0) -
                                                   ids.begin());
  ASSERT_LT(lakeColumn, ids.size());
  const double levelPool =
      0.125 * 1.0 * std::sqrt(2.0 * 9.81 * 8.75) + 0.375 * 10.0 * std::pow(0.75, 1.5);
  EXPECT_NEAR(outflow[lakeColumn], levelPool, 0.005 * levelPool + 0.01);
}

// Known answers: q_lateral instead of the runoff; without lake parameters the lake's links are
// channels; a warm start takes each reach's outlet link's streamflow (by feature_id) or a state
// file's qlink1 by position and its lake level.
TEST(ImportNwm, LateralSourceLakesAndWarmStarts) {
  const Basin b;
  WriteChrtout(b.dir / "first.CHRTOUT_DOMAIN1", 0);
  WriteState(b.dir / "HYDRO_RST", kLinks.size(), "2021-08-23_13:00:00");
  struct Case {
    const char* what;
    std::vector<std::string> extra;
    bool lakes;
    std::size_t reaches;
    // The initial flow of reaches 900 and 301, and the lake's initial level.
    double flow900, flow301, level900;
  };
  const double u = kUndefined;
  const Case cases[] = {
      {"q_lateral", {"--lateral", "q_lateral"}, true, 6, u, u, 108.75},
      {"no lake parameters", {}, false, 8, u, u, u},
      {"CHRTOUT warm start", {"--initial-state", b.dir / "first.CHRTOUT_DOMAIN1"}, true, 6,
       Streamflow(4, 0) * static_cast<double>(kFlow), Streamflow(6, 0) * static_cast<double>(kFlow),
       u},
      {"state file warm start", {"--initial-state", b.dir / "HYDRO_RST"}, true, 6, 0.5 * 5,
       0.5 * 7, 104.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome o = b.Import(c.extra, c.lakes);
    ASSERT_EQ(o.status, 0) << o.err;
    const Network net = ReadNetwork(b.dir / "network.nc");
    ASSERT_EQ(net.reaches.size(), c.reaches);
    auto at = Positions(net);
    if (!c.lakes) {
      EXPECT_NE(o.out.find("3 lake links routed as channels"), std::string::npos) << o.out;
      continue;
    }
    EXPECT_EQ(net.reaches[at[900]].initialFlow, c.flow900);
    EXPECT_EQ(net.reaches[at[301]].initialFlow, c.flow301);
    EXPECT_EQ(net.reaches[at[900]].initialLevel, c.level900);
    if (c.extra.front() == "--lateral") {
      ForcingReader forcing(b.dir / "forcing.nc");
      std::vector<double> lateral;
      forcing.ReadLateral(0, 6, lateral);
      EXPECT_DOUBLE_EQ(lateral[6 * 3 + at[102]], QLateral(3, 3) * static_cast<double>(kCoarse));
    }
  }
}

// Refused with exit status 3, the reason named, nothing written.
TEST(ImportNwm, RefusesFilesThatCannotBePaired) {
  const Basin b;
  WriteState(b.dir / "short_RST", kLinks.size() - 1, "2021-08-23_13:00:00");
  WriteState(b.dir / "late_RST", kLinks.size(), "2021-08-23_14:00:00");
  WriteChrtout(b.dir / "again.CHRTOUT_DOMAIN1", 1);
  WriteChrtout(b.dir / "lacking.CHRTOUT_DOMAIN1", 4, 202);
  struct Case {
    const char* what;
    std::vector<std::string> extra;
    const char* refusal;
  };
  const Case cases[] = {
      {"a state of another link count", {"--initial-state", b.dir / "short_RST"},
       "holds 7 links, the RouteLink 8"},
      {"a state at another time", {"--initial-state", b.dir / "late_RST"},
       "the initial state is at 2021-08-23 14:00 UTC, the forcing starts at 2021-08-23 13:00 UTC"},
      {"a CHRTOUT state at another time", {"--initial-state", b.chrtout.front()},
       "the initial state is at 2021-08-23 16:00 UTC"},
      {"a time given twice", {"--chrtout", b.dir / "again.CHRTOUT_DOMAIN1"},
       "two forcing files at 2021-08-23 14:00 UTC"},
      {"a file lacking a link", {"--chrtout", b.dir / "lacking.CHRTOUT_DOMAIN1"},
       "1 of the 8 links are not among its feature_ids: 202"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(b.dir / "network.nc"), fs::remove(b.dir / "forcing.nc");
    const Outcome o = b.Import(c.extra);
    EXPECT_EQ(o.status, 3) << o.out;
    EXPECT_NE(o.err.find(c.refusal), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(b.dir / "network.nc"));
    EXPECT_FALSE(fs::exists(b.dir / "forcing.nc"));
  }
}

}  // namespace
}  // namespace tovalin::network

namespace tovalin::network {
namespace {

// A basin of `links` separate links and `hours` CHRTOUT files of q_lateral for it, in the
// 64-bit data format (not HDF5, whose free lists grow up to their own limits with the files
// read, as docs/import.md describes).
void WriteWideBasin(const TempDir& dir, std::size_t links, long long hours) {
  {
    Nc f(dir / "RouteLink.nc");
    const int d = f.Dim("feature_id", links);
    std::map<std::string, int> v;
    for (const char* name : {"link", "to"}) v[name] = f.Var(name, NC_INT, {d});
    for (const char* name : {"Length", "So", "n", "nCC", "ChSlp", "BtmWdth", "TopWdth", "TopWdthCC"})
      v[name] = f.Var(name, NC_FLOAT, {d});
    std::vector<long long> ids(links);
    for (std::size_t i = 0; i < links; ++i) ids[i] = static_cast<long long>(i + 1);
    f.PutIds(v["link"], ids), f.PutIds(v["to"], std::vector<long long>(links, 0));
    const std::map<std::string, double> value = {{"Length", 1000.0}, {"So", 0.001}, {"n", 0.06},
                                                 {"nCC", 0.12},      {"ChSlp", 0.5},  {"BtmWdth", 4.0},
                                                 {"TopWdth", 6.0},   {"TopWdthCC", 18.0}};
    for (const auto& [name, x] : value) f.Put(v[name], std::vector<double>(links, x));
  }
  std::vector<long long> ids(links);
  std::vector<int> lateral(links);
  for (long long t = 0; t < hours; ++t) {
    Nc f(dir / ("wide" + std::to_string(t) + ".CHRTOUT_DOMAIN1"), NC_64BIT_DATA);
    const int time = f.Dim("time", 1), d = f.Dim("feature_id", links);
    const int vTime = f.Var("time", NC_INT, {time});
    f.Text(vTime, "units", "minutes since 1970-01-01 00:00:00");
    const int vId = f.Var("feature_id", NC_INT64, {d});
    const int vLateral = f.Packed("q_lateral", d, kCoarse, kCoarseFill);
    for (std::size_t k = 0; k < links; ++k) {
      ids[k] = static_cast<long long>(links - k);  // reversed
      lateral[k] = static_cast<int>((k + static_cast<std::size_t>(t)) % 50);
    }
    const int minute = static_cast<int>(kFirstMinute + 60 * t);
    f.PutInts(vTime, {minute}), f.PutIds(vId, ids), f.PutInts(vLateral, lateral);
  }
}

// The memory bound: importing ten times the hours takes no more memory than a small part of
// what holding the forcing would (hours x links x 8 bytes); the forcing itself is complete.
TEST(ImportNwm, MemoryDoesNotGrowWithTheHours) {
  constexpr std::size_t kLinksWide = 20000;
  struct Run {
    long long hours;
    long peakKiB = 0;
  };
  Run runs[] = {{24}, {480}};
  for (Run& run : runs) {
    TempDir dir;
    std::vector<std::string> chrtout;
    // Written by a child process: a child's peak memory counts its parent's at the start (the
    // spawn shares the parent's memory until the program starts), so the parent stays small.
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      WriteWideBasin(dir, kLinksWide, run.hours);
      _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int written = -1;
    waitpid(writer, &written, 0);
    ASSERT_TRUE(WIFEXITED(written) && WEXITSTATUS(written) == 0);
    for (long long t = 0; t < run.hours; ++t)
      chrtout.push_back(dir / ("wide" + std::to_string(t) + ".CHRTOUT_DOMAIN1"));
    std::vector<std::string> args{TOVALIN_IMPORT, "nwm", "--routelink", dir / "RouteLink.nc", "--chrtout"};
    args.insert(args.end(), chrtout.begin(), chrtout.end());
    args.insert(args.end(), {"--out-network", dir / "network.nc", "--out-forcing", dir / "forcing.nc"});
    // Under AddressSanitizer freed memory is held in quarantine: none, for a memory that
    // measures what the program keeps.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const Outcome o = RunProcess(
        args, dir, {"ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":quarantine_size_mb=0"});
    ASSERT_EQ(o.status, 0) << o.err;
    run.peakKiB = o.peakKiB;
    ForcingReader forcing(dir / "forcing.nc");
    ASSERT_EQ(forcing.layout().timeCount, run.hours);
    std::vector<double> last;
    forcing.ReadLateral(static_cast<std::int64_t>(kLinksWide) - 1, 1, last);
    EXPECT_DOUBLE_EQ(last.back(), ((run.hours - 1) % 50) * static_cast<double>(kCoarse));
  }
  const double heldKiB = (runs[1].hours - runs[0].hours) * kLinksWide * 8.0 / 1024.0;
  std::printf("peak resident memory: %ld KiB for %lld hours, %ld KiB for %lld hours\n",
              runs[0].peakKiB, runs[0].hours, runs[1].peakKiB, runs[1].hours);
  EXPECT_LT(runs[1].peakKiB - runs[0].peakKiB, heldKiB / 4) << "held forcing " << heldKiB << " KiB";
}

}  // namespace
}  // namespace tovalin::network
