// The engine's files as other programs write them: the network's optional reach variables
// written and read back (absent: undefined, empty), networks, forcings and restarts of other
// types, packings, formats and time units read as the engine's own, and the values a reader
// must refuse named with their reach.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace tovalin::network
