// The engine's files as other programs write them: the network's optional reach variables
// written and read back (absent: undefined, empty), networks, forcings and restarts of other
// types, packings, formats and time units read as the engine's own, and the values a reader
// must refuse named with their reach.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "network/engine.h"
#include "network/netcdf_io.h"
#include "network/topology.h"

namespace tovalin::network {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tovalin-files-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const char* name) const { return (path / name).string(); }
};

Reach Muskingum(ReachId id, ReachId to) {
  Reach r;
  r.id = id, r.toId = to, r.method = Method::kMuskingum;
  r.muskingumK = 1.5, r.muskingumX = 0.2, r.stepCount = 2;
  return r;
}

// The optional variables written where a reach gives them and read back as written; a
// network without them reads as undefined and without gauges.
TEST(NetworkFiles, OptionalReachVariablesRoundTrip) {
  TempDir dir;
  Network net;
  net.reaches = {Muskingum(5000000001LL, 0), Muskingum(7, 5000000001LL)};
  Reach& lake = net.reaches[0];
  lake.referenceFlow = 12.5, lake.initialFlow = 3.25, lake.initialLevel = 101.5;
  lake.order = 3, lake.latitude = 30.25, lake.longitude = -97.75;
  net.gages = {"08158000", ""};
  WriteNetwork(dir / "with.nc", net);
  const Network with = ReadNetwork(dir / "with.nc");
  ASSERT_EQ(with.reaches.size(), 2u);
  const Reach& a = with.reaches[0];
  const Reach& b = with.reaches[1];
  EXPECT_EQ(a.id, 5000000001LL);
  EXPECT_EQ(b.toId, 5000000001LL);
  EXPECT_EQ(a.referenceFlow, 12.5);
  EXPECT_EQ(a.initialFlow, 3.25);
  EXPECT_EQ(a.initialLevel, 101.5);
  EXPECT_EQ(a.order, 3);
  EXPECT_EQ(a.latitude, 30.25);
  EXPECT_EQ(a.longitude, -97.75);
  for (double v : {b.referenceFlow, b.initialFlow, b.initialLevel, b.latitude, b.longitude})
    EXPECT_EQ(v, kUndefined);
  EXPECT_EQ(b.order, kMissingInteger);
  EXPECT_EQ(with.gages, (std::vector<std::string>{"08158000", ""}));
  EXPECT_TRUE(ValidateNetwork(with).empty());

  net.reaches[0] = Muskingum(5000000001LL, 0);
  net.gages.clear();
  WriteNetwork(dir / "without.nc", net);
  const Network without = ReadNetwork(dir / "without.nc");
  int id = -1, var = -1;
  ASSERT_EQ(nc_open((dir / "without.nc").c_str(), NC_NOWRITE, &id), NC_NOERR);
  for (const char* name : {"referenceFlow", "initial_flow", "initial_level", "order", "lat", "lon",
                           "gages"})
    EXPECT_NE(nc_inq_varid(id, name, &var), NC_NOERR) << name << " written though no reach gives it";
  nc_close(id);
  EXPECT_EQ(without.reaches[0].referenceFlow, kUndefined);
  EXPECT_EQ(without.reaches[0].order, kMissingInteger);
  EXPECT_TRUE(without.gages.empty());
}

// Reference and initial values, where given, must be usable.
TEST(NetworkFiles, OptionalValuesValidated) {
  struct Case {
    double Reach::*field;
    double value;
    const char* problem;
  };
  const Case cases[] = {
      {&Reach::referenceFlow, 0.0, "referenceFlow not positive and finite"},
      {&Reach::referenceFlow, std::numeric_limits<double>::infinity(),
       "referenceFlow not positive and finite"},
      {&Reach::initialFlow, -1.0, "initial_flow negative or not finite"},
      {&Reach::initialLevel, -std::numeric_limits<double>::infinity(), "initial_level not finite"},
  };
  for (const Case& c : cases) {
    Network net;
    net.reaches = {Muskingum(1, 0)};
    net.reaches[0].*(c.field) = c.value;
    const Problems problems = ValidateNetwork(net);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], std::string("parameters missing or invalid: reach 1 (") + c.problem + ")");
  }
}

// How another program writes a network and its forcing.
struct Foreign {
  int mode = NC_NETCDF4;
  nc_type idType = NC_INT64;
  nc_type lateralType = NC_DOUBLE;
  double scale = 0.0, offset = 0.0;  // packing of the lateral inflow (scale 0: none)
  std::string timeUnits = "minutes since 2026-01-01 00:00:00";
  std::string calendar;  // none when empty
  nc_type timeType = NC_DOUBLE;
  std::function<double(std::size_t t)> time = [](std::size_t t) { return 60.0 * t; };
  const char* reachDimension = "reach";  // "reach_id": along the ids, as xarray writes them
};

void Ok(int status) { ASSERT_EQ(status, NC_NOERR) << nc_strerror(status); }

// Muskingum and trapezoid reaches, in the types `how` gives.
void WriteForeignNetwork(const std::string& path, const Network& net, const Foreign& how) {
  int id = -1, reach = -1, chars = -1;
  Ok(nc_create(path.c_str(), how.mode | NC_CLOBBER, &id));
  const std::size_t n = net.reaches.size();
  Ok(nc_def_dim(id, how.reachDimension, n, &reach));
  Ok(nc_def_dim(id, "shape_char", 9, &chars));
  const auto var = [&](const char* name, nc_type type) {
    int v = -1;
    Ok(nc_def_var(id, name, type, 1, &reach, &v));
    return v;
  };
  const int vId = var("reach_id", how.idType), vTo = var("to_id", how.idType);
  const int vMethod = var("method", NC_BYTE), vSteps = var("stepCount", NC_SHORT);
  const std::pair<const char*, double Reach::*> reals[] = {
      {"muskingumK", &Reach::muskingumK},   {"muskingumX", &Reach::muskingumX},
      {"reachLength", &Reach::reachLength}, {"channelSlope", &Reach::channelSlope},
      {"manningN", &Reach::manningN},       {"bottomWidth", &Reach::bottomWidth},
      {"sideSlope", &Reach::sideSlope}};
  std::vector<int> realVars;
  for (const auto& [name, field] : reals) realVars.push_back(var(name, NC_DOUBLE));
  int vShape = -1;
  const int shapeDims[] = {reach, chars};
  Ok(nc_def_var(id, "sectionShape", NC_CHAR, 2, shapeDims, &vShape));
  Ok(nc_enddef(id));
  std::vector<long long> ids, to, ints;
  for (const Reach& r : net.reaches) ids.push_back(r.id), to.push_back(r.toId);
  Ok(nc_put_var_longlong(id, vId, ids.data()));
  Ok(nc_put_var_longlong(id, vTo, to.data()));
  for (const Reach& r : net.reaches) ints.push_back(static_cast<long long>(r.method));
  Ok(nc_put_var_longlong(id, vMethod, ints.data()));
  ints.clear();
  for (const Reach& r : net.reaches) ints.push_back(r.stepCount);
  Ok(nc_put_var_longlong(id, vSteps, ints.data()));
  for (std::size_t k = 0; k < std::size(reals); ++k) {
    std::vector<double> column;
    for (const Reach& r : net.reaches) column.push_back(r.*(reals[k].second));
    Ok(nc_put_var_double(id, realVars[k], column.data()));
  }
  std::string shapes(n * 9, ' ');
  for (std::size_t i = 0; i < n; ++i) shapes.replace(i * 9, 9, "TRAPEZOID");
  Ok(nc_put_var_text(id, vShape, shapes.data()));
  Ok(nc_close(id));
}

void WriteForeignForcing(const std::string& path, const Network& net, std::size_t times,
                         const std::function<double(std::size_t, std::size_t)>& lateral,
                         const Foreign& how) {
  int id = -1, time = -1, reach = -1, vTime = -1, vId = -1, vLateral = -1;
  Ok(nc_create(path.c_str(), how.mode | NC_CLOBBER, &id));
  const std::size_t n = net.reaches.size();
  Ok(nc_def_dim(id, "time", times, &time));
  Ok(nc_def_dim(id, how.reachDimension, n, &reach));
  Ok(nc_def_var(id, "time", how.timeType, 1, &time, &vTime));
  Ok(nc_put_att_text(id, vTime, "units", how.timeUnits.size(), how.timeUnits.data()));
  if (!how.calendar.empty())
    Ok(nc_put_att_text(id, vTime, "calendar", how.calendar.size(), how.calendar.data()));
  Ok(nc_def_var(id, "reach_id", how.idType, 1, &reach, &vId));
  const int dims[] = {time, reach};
  Ok(nc_def_var(id, "lateral_inflow", how.lateralType, 2, dims, &vLateral));
  if (how.scale != 0.0) {
    Ok(nc_put_att_double(id, vLateral, "scale_factor", NC_FLOAT, 1, &how.scale));
    Ok(nc_put_att_double(id, vLateral, "add_offset", NC_FLOAT, 1, &how.offset));
  }
  Ok(nc_enddef(id));
  std::vector<double> axis, values;
  for (std::size_t t = 0; t < times; ++t) axis.push_back(how.time(t));
  Ok(nc_put_var_double(id, vTime, axis.data()));
  std::vector<long long> ids;
  for (const Reach& r : net.reaches) ids.push_back(r.id);
  Ok(nc_put_var_longlong(id, vId, ids.data()));
  for (std::size_t t = 0; t < times; ++t)
    for (std::size_t j = 0; j < n; ++j)
      values.push_back(how.scale != 0.0 ? (lateral(j, t) - how.offset) / how.scale : lateral(j, t));
  Ok(nc_put_var_double(id, vLateral, values.data()));
  Ok(nc_close(id));
}

// A results file's outflows and time axis.
struct Results {
  std::vector<double> outflow, time;
  std::string units, calendar;
};
Results ReadResults(const std::string& path) {
  Results r;
  const InputFile f(path);
  r.outflow = ReadReals(f.Require("outflow"));
  const Variable time = f.Require("time");
  r.time = ReadReals(time);
  r.units = time.TextAttribute("units");
  r.calendar = time.TextAttribute("calendar");
  return r;
}

double Storm(std::size_t reach, std::size_t t) {
  return 1.0 + reach + (t > 3 && t < 12 ? 10.0 * (t - 3) : 0.0);
}

// A junction of a Muskingum and a trapezoid reach above a trapezoid reach and a Muskingum
// outlet, ids past 2^31 (as the national models' go).
Network Junction() {
  Network net;
  net.reaches = {Muskingum(3000000009LL, 0), Muskingum(7, 3000000003LL),
                 Muskingum(3000000003LL, 3000000009LL), Muskingum(5, 3000000003LL)};
  for (int i : {2, 3}) {
    Reach& r = net.reaches[i];
    r.method = Method::kMuskingumCungePrism;
    r.reachLength = 4000.0, r.channelSlope = 0.002, r.manningN = 0.035;
    r.bottomWidth = 8.0, r.sideSlope = 2.0;
  }
  return net;
}

RunSummary RunCase(const TempDir& dir, const char* network, const char* forcing,
                   const char* output, const std::string& restartIn = {},
                   const std::string& restartOut = {}) {
  RunOptions o;
  o.networkPath = dir / network;
  o.forcingPath = dir / forcing;
  o.outputPath = dir / output;
  o.restartInPath = restartIn;
  o.restartOutPath = restartOut;
  o.threads = 2;
  return network::Run(o);
}

// Files that only restate the engine's own in other types, formats, packings, time units and
// names of the reach dimension route to exactly its outflows (the storm's flows lie on the
// packing's grid of 1/8), and the results keep the forcing's time units.
TEST(NetworkFiles, ForeignFilesRouteAsTheEnginesOwn) {
  TempDir dir;
  const Network net = Junction();
  constexpr std::size_t kTimes = 24;
  WriteNetwork(dir / "network.nc", net);
  Foreign own;
  WriteForeignForcing(dir / "forcing.nc", net, kTimes, Storm, own);
  ASSERT_TRUE(RunCase(dir, "network.nc", "forcing.nc", "own.nc").refusal.empty());
  const Results reference = ReadResults(dir / "own.nc");

  Foreign classic;
  classic.mode = NC_64BIT_OFFSET;
  classic.idType = NC_DOUBLE;
  classic.lateralType = NC_SHORT;
  classic.scale = 0.125, classic.offset = 0.5;
  classic.timeUnits = "hours since 2025-12-31 22:00:00";
  classic.timeType = NC_INT;
  classic.time = [](std::size_t t) { return 2.0 + t; };
  Foreign wide;
  wide.idType = NC_UINT64;
  wide.lateralType = NC_FLOAT;
  wide.timeUnits = "seconds since 2026-01-01T01:00:00+01:00";
  wide.calendar = "proleptic_gregorian";
  wide.timeType = NC_INT64;
  wide.time = [](std::size_t t) { return 3600.0 * t; };
  wide.reachDimension = "reach_id";
  for (const Foreign& how : {classic, wide}) {
    SCOPED_TRACE(how.timeUnits);
    WriteForeignNetwork(dir / "n.nc", net, how);
    WriteForeignForcing(dir / "f.nc", net, kTimes, Storm, how);
    const RunSummary s = RunCase(dir, "n.nc", "f.nc", "out.nc");
    ASSERT_TRUE(s.refusal.empty()) << s.BriefReport();
    const Results got = ReadResults(dir / "out.nc");
    ASSERT_EQ(got.outflow.size(), reference.outflow.size());
    EXPECT_EQ(std::memcmp(got.outflow.data(), reference.outflow.data(),
                          got.outflow.size() * sizeof(double)), 0);
    EXPECT_EQ(got.units, how.timeUnits);
    EXPECT_EQ(got.calendar, how.calendar.empty() ? "standard" : how.calendar);
    EXPECT_EQ(got.time.at(1), how.time(1));
  }
}

// A restart is matched to a forcing by instant: its time in minutes since 2026-01-01, the
// next forcing in days since 2025-12-31, one run split in two equals the whole run, from a
// restart along `reach_id` as from one along `reach`; a forcing that starts an hour later is
// refused naming both instants.
TEST(NetworkFiles, RestartMatchedByInstantWhateverTheUnits) {
  TempDir dir;
  Network net = Junction();
  for (Reach& r : net.reaches) r.method = Method::kMuskingum;
  WriteNetwork(dir / "network.nc", net);
  constexpr std::size_t kTimes = 30, kSplit = 17;
  Foreign minutes;
  WriteForeignForcing(dir / "whole.nc", net, kTimes, Storm, minutes);
  WriteForeignForcing(dir / "first.nc", net, kSplit + 1, Storm, minutes);
  ASSERT_TRUE(RunCase(dir, "network.nc", "whole.nc", "whole-out.nc").refusal.empty());
  ASSERT_TRUE(
      RunCase(dir, "network.nc", "first.nc", "first-out.nc", {}, dir / "restart.nc").refusal.empty());
  EXPECT_EQ(ReadRestart(dir / "restart.nc").timeUnits.units, minutes.timeUnits);

  Foreign days;
  days.timeUnits = "days since 2025-12-31";
  const auto second = [&](std::size_t startHour) {
    days.time = [startHour](std::size_t t) { return (24.0 + startHour + t) / 24.0; };
    WriteForeignForcing(
        dir / "second.nc", net, kTimes - kSplit,
        [&](std::size_t r, std::size_t t) { return Storm(r, t + startHour); }, days);
    return RunCase(dir, "network.nc", "second.nc", "second-out.nc", dir / "restart.nc");
  };
  const RunSummary s = second(kSplit);
  ASSERT_TRUE(s.refusal.empty()) << s.BriefReport();
  EXPECT_EQ(s.failed, 0);
  const Results whole = ReadResults(dir / "whole-out.nc"), part = ReadResults(dir / "second-out.nc");
  const std::size_t n = net.reaches.size();
  ASSERT_EQ(part.outflow.size(), (kTimes - kSplit) * n);
  EXPECT_EQ(std::memcmp(part.outflow.data(), whole.outflow.data() + kSplit * n,
                        part.outflow.size() * sizeof(double)), 0);
  EXPECT_EQ(part.units, days.timeUnits);
  // A restart written before its reach dimension took the name of the ids continues alike.
  int file = -1, dimension = -1;
  Ok(nc_open((dir / "restart.nc").c_str(), NC_WRITE, &file));
  Ok(nc_inq_dimid(file, "reach_id", &dimension));
  Ok(nc_redef(file));
  Ok(nc_rename_dim(file, dimension, "reach"));
  Ok(nc_close(file));
  ASSERT_TRUE(second(kSplit).refusal.empty());
  EXPECT_EQ(ReadResults(dir / "second-out.nc").outflow, part.outflow);

  const RunSummary late = second(kSplit + 1);
  ASSERT_EQ(late.refusal.size(), 1u);
  EXPECT_EQ(late.refusal[0],
            "forcing does not start at the restart's time (the restart is at 2026-01-01 17:00 UTC, "
            "the forcing starts at 2026-01-01 18:00 UTC)");
}

// Values a reader cannot take are refused before anything is routed, named with their
// variable and reach or position.
TEST(NetworkFiles, ValuesThatCannotBeTakenAreRefused) {
  TempDir dir;
  const Network net = Junction();
  Foreign how;
  how.idType = NC_DOUBLE;
  WriteForeignNetwork(dir / "network.nc", net, how);
  WriteForeignForcing(dir / "forcing.nc", net, 6, Storm, how);
  struct Case {
    const char* variable;  // of the network, set to `value` at position 1
    double value;
    Foreign forcing;
    const char* refusal;  // the end of the first refusal
  };
  Foreign halfMinute = how, months = how;
  halfMinute.timeUnits = "seconds since 2026-01-01";
  halfMinute.time = [](std::size_t t) { return 90.0 * t; };
  months.timeUnits = "months since 2026-01-01";
  const Case cases[] = {
      {"reach_id", 2.5, how, "reach_id: not a whole number at position 1 (2.5)"},
      {"to_id", 1e19, how,
       "to_id: beyond the 64-bit integer range at reach 7 (1e+19)"},
      {nullptr, 0, halfMinute, "time axis time: not on a whole minute at position 1 (90), "
                               "position 3 (270), position 5 (450)"},
      {nullptr, 0, months, "time unit 'months' is not seconds, minutes, hours or days"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal);
    WriteForeignNetwork(dir / "n.nc", net, how);
    if (c.variable) {
      int id = -1, var = -1;
      Ok(nc_open((dir / "n.nc").c_str(), NC_WRITE, &id));
      Ok(nc_inq_varid(id, c.variable, &var));
      const std::size_t at = 1;
      Ok(nc_put_var1_double(id, var, &at, &c.value));
      Ok(nc_close(id));
    }
    WriteForeignForcing(dir / "f.nc", net, 6, Storm, c.forcing);
    const RunSummary s = RunCase(dir, "n.nc", "f.nc", "out.nc");
    ASSERT_FALSE(s.refusal.empty());
    const std::string& got = s.refusal[0];
    EXPECT_EQ(got.substr(got.size() - std::min(got.size(), std::strlen(c.refusal))), c.refusal)
        << got;
    EXPECT_FALSE(fs::exists(dir / "out.nc"));
  }
}

}  // namespace
}  // namespace tovalin::network
