// The hydrofabric importer on GeoPackages and nexus outputs written here: one basin in both
// releases' spellings (a junction nexus, a lake, a terminal nexus), files it refuses, both
// forms of nexus forcing giving the same lateral inflows, and tovalin-import hydrofabric then
// tovalin-route as processes.
//
// The basin, by construction:
//   wb-11 -> nex-13 <- wb-12        (nex-13 a junction of two headwaters)
//   nex-13 -> wb-13 -> nex-14 -> wb-14 -> nex-15 -> wb-15 -> nex-16 -> wb-0 (terminal)
//   wb-14 and wb-15 lie in lake 900.
// Flowpath k has length 100 k m, n = k / 1000, slope k / 10000 and so on, so that every value
// read names its flowpath and its column.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "network/import/hydrofabric.h"
#include "network/import/nexus_forcing.h"
#include "network/netcdf_io.h"
#include "tovalin/result.hpp"
#include "support/temp_dir.h"

namespace tovalin::network::import {
namespace {

namespace fs = std::filesystem;

// The test's files, in a directory of their own.
struct TempDir : test_support::TempDir {
  TempDir() : test_support::TempDir("tovalin-hydrofabric") {}
};

void WriteDatabase(const std::string& path, const std::string& sql) {
  fs::remove(path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const std::string all = "PRAGMA synchronous = OFF; BEGIN; " + sql + " COMMIT;";
  const int status = sqlite3_exec(db, all.c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(status, SQLITE_OK) << message;
}

constexpr int kFlowpaths[] = {11, 12, 13, 14, 15};
constexpr int kLake = 900;
int NexusBelow(int k) { return k <= 12 ? 13 : k + 1; }
int FlowpathBelow(int nexus) { return nexus == 16 ? 0 : nexus; }

std::string Num(double v) {
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

// The basin in one release's spellings. v2.2 has no waterbody column: its lakes cannot be
// placed. Geometry columns are there, as in real files, and never read.
std::string BasinSql(bool release2023) {
  const std::string attributes = release2023 ? "flowpath_attributes" : "\"flowpath-attributes\"";
  std::string sql =
      "CREATE TABLE flowpaths (fid INTEGER PRIMARY KEY, id TEXT, toid TEXT, lengthkm REAL,"
      " \"order\" INTEGER, geom BLOB);"
      "CREATE TABLE nexus (fid INTEGER PRIMARY KEY, id TEXT, toid TEXT, type TEXT, geom BLOB);";
  sql += release2023
             ? "CREATE TABLE flowpath_attributes (id TEXT, length_m REAL, n REAL, nCC REAL, So REAL,"
               " ChSlp REAL, BtmWdth REAL, TopWdth REAL, TopWdthCC REAL, MusK REAL, MusX REAL,"
               " Qi REAL, Kchan REAL, rl_gages TEXT, rl_NHDWaterbodyComID INTEGER);"
               "CREATE TABLE lake_attributes (id INTEGER, toid TEXT, LkArea REAL, LkMxE REAL,"
               " WeirC REAL, WeirL REAL, WeirE REAL, OrificeC REAL, OrificeA REAL, OrificeE REAL,"
               " Dam_Length REAL, ifd REAL);"
             : "CREATE TABLE \"flowpath-attributes\" (link TEXT, \"to\" TEXT, Length_m REAL, n REAL,"
               " nCC REAL, So REAL, ChSlp REAL, BtmWdth REAL, TopWdth REAL, TopWdthCC REAL,"
               " MusK REAL, MusX REAL, alt REAL, gage TEXT, Y REAL);"
               "CREATE TABLE lakes (id INTEGER, toid TEXT, LkArea REAL, LkMxE REAL, WeirC REAL,"
               " WeirL REAL, WeirE REAL, OrificeC REAL, OrificeA REAL, OrificeE REAL,"
               " Dam_Length REAL, ifd REAL);";
  for (int k : kFlowpaths) {
    const std::string wb = "'wb-" + std::to_string(k) + "'";
    const std::string nex = "'nex-" + std::to_string(NexusBelow(k)) + "'";
    sql += "INSERT INTO flowpaths (id, toid, lengthkm, \"order\") VALUES (" + wb + ", " + nex +
           ", " + Num(k / 10.0) + ", " + std::to_string(k <= 12 ? 1 : 2) + ");";
    const std::string channel = Num(100.0 * k) + ", " + Num(k / 1000.0) + ", " +
                                Num(k / 500.0) + ", " + Num(k / 10000.0) + ", " +
                                Num(k / 20.0) + ", " + Num(k / 2.0) + ", " + Num(k * 1.0) + ", " +
                                Num(k * 3.0) + ", 3600, 0.2";
    const std::string gage = k == 13 ? "'  08158000 '" : "''";
    const std::string lake = k >= 14 ? std::to_string(kLake) : "-9999";
    if (release2023)
      sql += "INSERT INTO flowpath_attributes VALUES (" + wb + ", " + channel + ", " +
             Num(k / 100.0) + ", 0, " + gage + ", " + lake + ");";
    else
      sql += "INSERT INTO \"flowpath-attributes\" VALUES (" + wb + ", " + nex + ", " + channel +
             ", " + Num(k * 10.0) + ", " + gage + ", 0);";
  }
  for (int nexus : {13, 14, 15, 16})
    sql += "INSERT INTO nexus (id, toid, type) VALUES ('nex-" + std::to_string(nexus) + "', 'wb-" +
           std::to_string(FlowpathBelow(nexus)) + "', '" + (nexus == 16 ? "terminal" : "nexus") +
           "');";
  sql += std::string("INSERT INTO ") + (release2023 ? "lake_attributes" : "lakes") + " VALUES (" +
         std::to_string(kLake) + ", 'nex-16', 2.5, 210, 0.4, 30, 205, 0.6, 4, 200, 150, 0.8);";
  return sql;
}

struct ReleaseCase {
  const char* name;
  bool release2023;
  friend std::ostream& operator<<(std::ostream& out, const ReleaseCase& c) { return out << c.name; }
};

class Releases : public testing::TestWithParam<ReleaseCase> {};

// Both releases read as the same links, toId following flowpath -> nexus -> flowpath, every
// attribute from its own column; the lake only where the waterbody column exists.
TEST_P(Releases, ReadTheSameBasin) {
  const TempDir dir;
  WriteDatabase(dir / "basin.gpkg", BasinSql(GetParam().release2023));
  const Hydrofabric fabric = ReadHydrofabric(dir / "basin.gpkg");
  const auto& links = fabric.basin.links;
  ASSERT_EQ(links.size(), std::size(kFlowpaths));
  for (std::size_t i = 0; i < links.size(); ++i) {
    const int k = kFlowpaths[i];
    const ChannelLink& l = links[i];
    SCOPED_TRACE("wb-" + std::to_string(k));
    EXPECT_EQ(l.id, k);
    EXPECT_EQ(l.toId, FlowpathBelow(NexusBelow(k)));
    EXPECT_EQ(l.length, 100.0 * k);
    EXPECT_EQ(l.manningN, k / 1000.0);
    EXPECT_EQ(l.manningNCompound, k / 500.0);
    EXPECT_EQ(l.slope, k / 10000.0);
    EXPECT_EQ(l.sideSlope, k / 20.0);
    EXPECT_EQ(l.bottomWidth, k / 2.0);
    EXPECT_EQ(l.topWidth, k * 1.0);
    EXPECT_EQ(l.topWidthCompound, k * 3.0);
    EXPECT_EQ(l.muskingumK, 3600.0);
    EXPECT_EQ(l.muskingumX, 0.2);
    EXPECT_EQ(l.order, k <= 12 ? 1 : 2);
    EXPECT_EQ(l.gage, k == 13 ? "08158000" : "");
    EXPECT_EQ(l.latitude, kUndefined);
    if (GetParam().release2023) {
      EXPECT_EQ(l.initialFlow, k / 100.0);
      EXPECT_EQ(l.altitude, kUndefined);
      EXPECT_EQ(l.waterbody, k >= 14 ? kLake : kNoWaterbody);
    } else {
      EXPECT_EQ(l.initialFlow, kUndefined);
      EXPECT_EQ(l.altitude, k * 10.0);
      EXPECT_EQ(l.waterbody, kNoWaterbody);
    }
  }
  ASSERT_EQ(fabric.nexuses.size(), 4u);
  for (const Nexus& n : fabric.nexuses) EXPECT_EQ(n.drainsInto, FlowpathBelow(n.id));
  if (GetParam().release2023) {
    ASSERT_EQ(fabric.basin.lakes.size(), 1u);
    const LakeParameters& lake = fabric.basin.lakes[0];
    EXPECT_EQ(lake.id, kLake);
    EXPECT_EQ(lake.area, 2.5);
    EXPECT_EQ(lake.maxElevation, 210.0);
    EXPECT_EQ(lake.weirCoefficient, 0.4);
    EXPECT_EQ(lake.weirLength, 30.0);
    EXPECT_EQ(lake.weirElevation, 205.0);
    EXPECT_EQ(lake.orificeCoefficient, 0.6);
    EXPECT_EQ(lake.orificeArea, 4.0);
    EXPECT_EQ(lake.orificeElevation, 200.0);
    EXPECT_EQ(lake.damLength, 150.0);
    EXPECT_EQ(lake.initialFractionalDepth, 0.8);
    EXPECT_TRUE(fabric.notes.empty());
  } else {
    EXPECT_TRUE(fabric.basin.lakes.empty());
    ASSERT_EQ(fabric.notes.size(), 1u);
    EXPECT_EQ(fabric.notes[0],
              "table lakes holds 1 lake, but flowpath-attributes has no waterbody column: every "
              "flowpath is routed as a channel");
  }
}

INSTANTIATE_TEST_SUITE_P(Hydrofabric, Releases,
                         testing::Values(ReleaseCase{"release2023", true},
                                         ReleaseCase{"release22", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Files refused, each with the line that names what is wrong. Each case changes the 2023 basin.
struct RefusalCase {
  const char* name;
  const char* change;  // SQL run on the basin
  const char* line;    // the refusal's line (after "<file>: " where it names the file)
};

TEST(Hydrofabric, RefusesFilesNamingWhatIsWrong) {
  const RefusalCase cases[] = {
      {"column missing", "ALTER TABLE flowpath_attributes DROP COLUMN So;",
       "table 'flowpath_attributes' has no column So"},
      {"spelling of another release missing", "ALTER TABLE flowpath_attributes DROP COLUMN id;",
       "table 'flowpath_attributes' has no column id (or link)"},
      {"table missing", "DROP TABLE nexus;", "no table nexus"},
      {"tables both spellings", "CREATE TABLE \"flowpath-attributes\" (link TEXT);",
       "tables 'flowpath_attributes' and 'flowpath-attributes' both read as table "
       "flowpath_attributes"},
      {"flowpath without attributes", "DELETE FROM flowpath_attributes WHERE id = 'wb-13';",
       "flowpaths without a row in flowpath_attributes: wb-13"},
      {"nexus into two flowpaths", "INSERT INTO nexus (id, toid) VALUES ('nex-13', 'wb-15');",
       "nexus points draining into two flowpaths in nexus: nex-13 (wb-13, wb-15)"},
      {"id not prefix-number", "UPDATE flowpaths SET id = 'wb12' WHERE id = 'wb-12';",
       "flowpaths.id not of the form wb-N: 'wb12'"},
      {"nexus toid not prefix-number", "UPDATE nexus SET toid = '14' WHERE id = 'nex-14';",
       "nexus.toid not of the form wb-N: nex-14 ('14')"},
      {"duplicated flowpath", "INSERT INTO flowpaths (id, toid) VALUES ('wb-11', 'nex-13');",
       "duplicated rows in flowpaths: wb-11"},
      {"duplicated nexus", "INSERT INTO nexus (id, toid) VALUES ('nex-14', 'wb-14');",
       "duplicated rows in nexus: nex-14"},
      {"value empty", "UPDATE flowpath_attributes SET So = NULL WHERE id IN ('wb-13', 'wb-15');",
       "flowpath_attributes.So is empty: wb-13, wb-15"},
      {"value not a number", "UPDATE flowpath_attributes SET n = 'x' WHERE id = 'wb-11';",
       "flowpath_attributes.n is not a number: wb-11"},
      {"nexus not in the file", "UPDATE flowpaths SET toid = 'nex-99' WHERE id = 'wb-13';",
       "flowpaths draining into a nexus not in nexus: wb-13 (nex-99)"},
      {"flowpath into a flowpath", "UPDATE flowpaths SET toid = 'wb-14' WHERE id = 'wb-13';",
       "flowpaths draining into a nexus not in nexus: wb-13 (wb-14)"},
      {"lake value empty", "UPDATE lake_attributes SET LkArea = NULL;",
       "lake_attributes.LkArea is empty: lake 900"},
  };
  const TempDir dir;
  const std::string path = dir / "refused.gpkg";
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDatabase(path, BasinSql(true) + c.change);
    try {
      ReadHydrofabric(path);
      ADD_FAILURE() << "not refused";
    } catch (const RefusedInput& refusal) {
      ASSERT_EQ(refusal.problems().size(), 1u) << refusal.what();
      std::string line = refusal.problems()[0];
      if (line.rfind(path + ": ", 0) == 0) line.erase(0, path.size() + 2);
      EXPECT_EQ(line, c.line);
    }
  }
  std::ofstream(dir / "not.gpkg") << "flowpaths,nexus\n";
  EXPECT_THROW(ReadHydrofabric(dir / "not.gpkg"), FileError);
  EXPECT_THROW(ReadHydrofabric(dir / "absent.gpkg"), FileError);
}

// A nexus draining into a flowpath the file does not hold ends the network there, like wb-0.
TEST(Hydrofabric, NexusIntoAFlowpathOutsideTheFileIsTerminal) {
  const TempDir dir;
  WriteDatabase(dir / "b.gpkg", BasinSql(true) + "UPDATE nexus SET toid = 'wb-77' WHERE id = 'nex-16';");
  const Hydrofabric fabric = ReadHydrofabric(dir / "b.gpkg");
  EXPECT_EQ(fabric.basin.links.back().toId, 0);
  EXPECT_EQ(fabric.nexuses.back().drainsInto, 0);
  ASSERT_EQ(fabric.notes.size(), 1u);
  EXPECT_EQ(fabric.notes[0],
            "nexus points drain into flowpaths the file does not hold, and their flow leaves the "
            "network there: nex-16 (wb-77)");
}

// Nexus outputs: flow of nexus n at hour h is n + h / 10 (m3/s), plus an id 99 the network
// lacks. The lateral inflow of a flowpath is the flow of the nexus above it, headwaters get
// none, and the terminal nexus 16 leaves unrouted.
constexpr int kNexuses[] = {13, 14, 15, 16};
constexpr int kHours = 4;
double FlowAt(int nexus, int hour) { return nexus + hour / 10.0; }

struct ForcingCase {
  const char* name;
  bool perTime;
  friend std::ostream& operator<<(std::ostream& out, const ForcingCase& c) { return out << c.name; }
};
class ForcingForms : public testing::TestWithParam<ForcingCase> {};

std::vector<std::string> WriteNexusOutputs(const TempDir& dir, bool perTime) {
  std::vector<std::string> paths;
  if (perTime) {
    for (int h = 0; h < kHours; ++h) {
      const std::string time = "202108231" + std::to_string(3 + h) + "00";
      paths.push_back(dir / (time + "NEXOUT.csv"));
      std::ofstream out(paths.back());
      out << "feature_id," << time << "\n";
      out << "99,5.5\n";
      for (int n : kNexuses) out << n << "," << Num(FlowAt(n, h)) << "\r\n";
    }
  } else {
    for (int n : {99, 16, 13, 15, 14}) {
      paths.push_back(dir / ("nex-" + std::to_string(n) + "_output.csv"));
      std::ofstream out(paths.back());
      for (int h = kHours - 1; h >= 0; --h)
        out << h << ", 2021-08-23 1" << 3 + h << ":00:00, " << Num(n == 99 ? 5.5 : FlowAt(n, h))
            << "\n";
    }
  }
  return paths;
}

TEST_P(ForcingForms, GiveEachFlowpathTheNexusAboveIt) {
  const TempDir dir;
  WriteDatabase(dir / "basin.gpkg", BasinSql(true));
  const Hydrofabric fabric = ReadHydrofabric(dir / "basin.gpkg");
  const NexusLateral lateral(fabric);
  const auto paths = WriteNexusOutputs(dir, GetParam().perTime);
  const NexusOutputs outputs(paths, lateral.nexusIds());
  EXPECT_EQ(outputs.form(), GetParam().perTime ? NexusOutputForm::kPerTime
                                               : NexusOutputForm::kPerNexus);
  const UtcMinutes first = *ParseCompactTime("202108231300");
  EXPECT_EQ(outputs.times(),
            (std::vector<UtcMinutes>{first, first + 60, first + 120, first + 180}));
  EXPECT_EQ(outputs.intervalMinutes(), 60);
  EXPECT_EQ(outputs.skipped(), "skipped 1 nexus id not in the network (4 values): nex-99");
  std::vector<double> flows, laterals(fabric.basin.links.size());
  for (int h = 0; h < kHours; ++h) {
    outputs.ReadTime(static_cast<std::size_t>(h), flows);
    const double terminal = lateral.Assemble(flows, laterals);
    // links wb-11..wb-15: headwaters none, then the nexus above each
    EXPECT_EQ(laterals, (std::vector<double>{0.0, 0.0, FlowAt(13, h), FlowAt(14, h), FlowAt(15, h)}));
    EXPECT_EQ(terminal, FlowAt(16, h));
  }
}

INSTANTIATE_TEST_SUITE_P(Hydrofabric, ForcingForms,
                         testing::Values(ForcingCase{"per_time", true},
                                         ForcingCase{"per_nexus", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Nexus outputs refused, with the line that says why.
struct OutputRefusal {
  const char* name;
  bool perTime;
  std::function<void(const TempDir&, std::vector<std::string>&)> change;
  std::string line;  // the refusal's first line, the temporary folder written as DIR
};

TEST(Hydrofabric, RefusesNexusOutputsNamingWhatIsWrong) {
  const auto rewrite = [](const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
  };
  const OutputRefusal cases[] = {
      {"nexus missing at a time", true,
       [&](const TempDir&, auto& paths) {
         rewrite(paths[1], "feature_id,202108231400\n13,1\n14,1\n16,1\n");
       },
       "DIR/202108231400NEXOUT.csv: network nexus points missing at 2021-08-23 14:00: nex-15"},
      {"time missing", true, [](const TempDir&, auto& paths) { paths.erase(paths.begin() + 1); },
       "nexus output times missing at an interval of 60 minutes: 2021-08-23 14:00"},
      {"header time is not the name's", true,
       [&](const TempDir&, auto& paths) {
         rewrite(paths[0], "feature_id,202108231400\n13,1\n14,1\n15,1\n16,1\n");
       },
       "DIR/202108231300NEXOUT.csv: the header's time 2021-08-23 14:00 is not the time of the "
       "file's name"},
      {"value not a number", true,
       [&](const TempDir&, auto& paths) {
         rewrite(paths[2], "feature_id,202108231500\n13,1\n14,nan\n15,1\n16,1\n");
       },
       "DIR/202108231500NEXOUT.csv: line 3 is not N,value: 14,nan"},
      {"both forms", true,
       [&](const TempDir& dir, auto& paths) {
         paths.push_back(dir / "nex-13_output.csv");
         rewrite(paths.back(), "0, 2021-08-23 13:00:00, 1\n");
       },
       "nexus outputs mix both forms: 4 files of one time each and 1 file of one nexus each"},
      {"other name", true, [&](const TempDir& dir, auto& paths) { paths.push_back(dir / "flows.csv"); },
       "DIR/flows.csv: not a nexus output name (YYYYMMDDhhmmNEXOUT.csv or nex-N_output.csv)"},
      {"nexus without a file", false,
       [](const TempDir&, auto& paths) { paths.erase(paths.begin() + 1); },
       "network nexus points missing at every time (no output file): nex-16"},
      {"nexus missing at a time of the others", false,
       [&](const TempDir&, auto& paths) {
         rewrite(paths[2], "0, 2021-08-23 13:00:00, 1\n1, 2021-08-23 15:00:00, 1\n");
       },
       "DIR/nex-13_output.csv: network nexus nex-13 missing at 2021-08-23 14:00"},
      {"time twice", false,
       [&](const TempDir&, auto& paths) {
         rewrite(paths[3], "0, 2021-08-23 13:00:00, 1\n1, 2021-08-23 14:00:00, 1\n"
                           "2, 2021-08-23 15:00:00, 1\n3, 2021-08-23 15:00:00, 2\n"
                           "4, 2021-08-23 16:00:00, 1\n");
       },
       "DIR/nex-15_output.csv: time 2021-08-23 15:00 given twice"},
      {"time not whole minutes", false,
       [&](const TempDir&, auto& paths) {
         rewrite(paths[4], "0, 2021-08-23 13:00:30, 1\n");
       },
       "DIR/nex-14_output.csv: line 1 is not index, YYYY-MM-DD hh:mm:ss, value: 0, 2021-08-23 "
       "13:00:30, 1"},
  };
  for (const OutputRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    std::vector<std::string> paths = WriteNexusOutputs(dir, c.perTime);
    c.change(dir, paths);
    try {
      NexusOutputs(paths, std::vector<std::int64_t>{13, 14, 15, 16});
      ADD_FAILURE() << "not refused";
    } catch (const RefusedInput& refusal) {
      std::string line = refusal.problems().at(0);
      for (std::size_t at; (at = line.find(dir.path.string())) != std::string::npos;)
        line.replace(at, dir.path.string().size(), "DIR");
      EXPECT_EQ(line, c.line);
    }
  }
}

// A command's exit status and what it printed.
struct Outcome {
  int status = -1;
  std::string out, err;
};
Outcome RunCommand(const TempDir& dir, const std::string& command) {
  const std::string out = dir / "stdout.txt", err = dir / "stderr.txt";
  const int status = std::system((command + " >" + out + " 2>" + err).c_str());
  const auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

// One variable of a netCDF file, whole, as doubles (a global attribute with var = "").
std::vector<double> ReadVariable(const std::string& path, const char* name) {
  int id = -1, var = -1;
  std::vector<double> values;
  if (nc_open(path.c_str(), NC_NOWRITE, &id) != NC_NOERR) return values;
  if (nc_inq_varid(id, name, &var) == NC_NOERR) {
    int dims[NC_MAX_VAR_DIMS], rank = 0;
    nc_inq_var(id, var, nullptr, nullptr, &rank, dims, nullptr);
    std::size_t n = 1, length = 0;
    for (int d = 0; d < rank; ++d) nc_inq_dimlen(id, dims[d], &length), n *= length;
    values.resize(n);
    nc_get_var_double(id, var, values.data());
  } else {
    double value = 0.0;
    if (nc_get_att_double(id, NC_GLOBAL, name, &value) == NC_NOERR) values.push_back(value);
  }
  nc_close(id);
  return values;
}

// A CHRTOUT file at 2021-08-23 13:00 UTC giving each flowpath k the streamflow k / 4.
void WriteChrtout(const std::string& path, bool withIds) {
  int id = -1, feature = -1, time = -1, var = -1;
  ASSERT_EQ(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id), NC_NOERR);
  nc_def_dim(id, withIds ? "feature_id" : "links", std::size(kFlowpaths), &feature);
  nc_def_dim(id, "time", 1, &time);
  nc_def_var(id, "time", NC_INT, 1, &time, &var);
  const std::string units = "minutes since 1970-01-01 00:00:00 UTC";
  nc_put_att_text(id, var, "units", units.size(), units.c_str());
  nc_enddef(id);
  const int minutes = static_cast<int>(*ParseCompactTime("202108231300"));
  nc_put_var_int(id, var, &minutes);
  nc_redef(id);
  std::vector<int> ids;
  std::vector<float> flows;
  for (int k : kFlowpaths) ids.push_back(k), flows.push_back(k / 4.0f);
  if (withIds) {
    nc_def_var(id, "feature_id", NC_INT, 1, &feature, &var);
    nc_enddef(id), nc_put_var_int(id, var, ids.data()), nc_redef(id);
  }
  nc_def_var(id, withIds ? "streamflow" : "qlink1", NC_FLOAT, 1, &feature, &var);
  nc_enddef(id);
  nc_put_var_float(id, var, flows.data());
  ASSERT_EQ(nc_close(id), NC_NOERR);
}

// The 2023 basin and per-time nexus outputs through both commands. By construction the
// forcing gives reach 13 the flow of nex-13, the lake (wb-14, wb-15) that of nex-14 plus
// nex-15, the headwaters nothing, and nex-16's flow leaves unrouted: over four hours
// 3600 (16.05 + 16.15 + 16.25) = 174420 m3. A warm start takes each reach's flow from its
// outlet flowpath's streamflow; a state without ids cannot be matched by flowpath number.
TEST(Hydrofabric, ImportsAndRoutes) {
  const TempDir dir;
  WriteDatabase(dir / "basin.gpkg", BasinSql(true));
  std::string outputs;
  for (const std::string& p : WriteNexusOutputs(dir, true)) outputs += " " + p;
  WriteChrtout(dir / "state.nc", true);
  const std::string import = std::string(TOVALIN_IMPORT) + " hydrofabric --gpkg " +
                             (dir / "basin.gpkg") + " --nexus-output" + outputs;
  const std::string written =
      " --out-network " + (dir / "network.nc") + " --out-forcing " + (dir / "forcing.nc");
  const Outcome imported = RunCommand(dir, import + " --initial-state " + (dir / "state.nc") + written);
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(imported.out.find("5 flowpaths -> 4 reaches"), std::string::npos) << imported.out;
  EXPECT_NE(imported.out.find("4 nexus points: 1 junction, 1 terminal"), std::string::npos);
  EXPECT_NE(imported.out.find("skipped 1 nexus id not in the network (4 values): nex-99"),
            std::string::npos);
  EXPECT_NE(imported.out.find("left unrouted at terminal nexus points: 174420 m3"),
            std::string::npos);

  const auto ids = ReadVariable(dir / "forcing.nc", "reach_id");
  const auto lateral = ReadVariable(dir / "forcing.nc", "lateral_inflow");
  ASSERT_EQ(ids.size(), 4u);
  ASSERT_EQ(lateral.size(), kHours * ids.size());
  for (int h = 0; h < kHours; ++h)
    for (std::size_t j = 0; j < ids.size(); ++j) {
      const int reach = static_cast<int>(ids[j]);
      const double expected = reach == 13    ? FlowAt(13, h)
                              : reach == kLake ? FlowAt(14, h) + FlowAt(15, h)
                                               : 0.0;
      EXPECT_EQ(lateral[h * ids.size() + j], expected) << "reach " << reach << " hour " << h;
    }
  EXPECT_EQ(ReadVariable(dir / "forcing.nc", "unrouted_inflow"),
            (std::vector<double>{FlowAt(16, 0), FlowAt(16, 1), FlowAt(16, 2), FlowAt(16, 3)}));
  EXPECT_DOUBLE_EQ(ReadVariable(dir / "forcing.nc", "unrouted_inflow_volume").at(0), 174420.0);
  const auto networkIds = ReadVariable(dir / "network.nc", "reach_id");
  const auto initial = ReadVariable(dir / "network.nc", "initial_flow");
  ASSERT_EQ(initial.size(), networkIds.size());
  for (std::size_t j = 0; j < networkIds.size(); ++j)
    EXPECT_EQ(initial[j], networkIds[j] == kLake ? 15 / 4.0 : networkIds[j] / 4.0);

  const Outcome routed = RunCommand(dir, std::string(TOVALIN_ROUTE) + " --network " +
                                      (dir / "network.nc") + " --forcing " + (dir / "forcing.nc") +
                                      " --output " + (dir / "results.nc"));
  ASSERT_EQ(routed.status, 0) << routed.err << routed.out;
  // The lake routed as one reach below the channels, in routing order.
  EXPECT_EQ(ReadVariable(dir / "results.nc", "reach_id"),
            (std::vector<double>{11, 12, 13, kLake}));
  // The unrouted flow is in the route's balance, on both sides: the network's inflow is the
  // reaches' lateral inflow (nex-13 + nex-14 + nex-15, trapezoidal over the hours) plus it.
  EXPECT_NE(routed.out.find("(174420 of it unrouted)"), std::string::npos) << routed.out;
  EXPECT_DOUBLE_EQ(ReadVariable(dir / "results.nc", "unrouted_inflow_volume").at(0), 174420.0);
  double routedVolume = 0.0;
  for (int h = 1; h < kHours; ++h)
    for (int n : {13, 14, 15}) routedVolume += 3600.0 * (FlowAt(n, h - 1) + FlowAt(n, h)) / 2.0;
  EXPECT_DOUBLE_EQ(ReadVariable(dir / "results.nc", "network_inflow_volume").at(0),
                   routedVolume + 174420.0);

  WriteChrtout(dir / "no-ids.nc", false);
  const Outcome refused = RunCommand(dir, import + " --initial-state " + (dir / "no-ids.nc") + written);
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("a state without link ids cannot be matched to the flowpaths by number"),
            std::string::npos) << refused.err;
}

}  // namespace
}  // namespace tovalin::network::import
