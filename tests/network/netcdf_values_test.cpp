// Typed netCDF reading on files written here in every numeric type and file format, with
// packing and missing-value markers, and on the real basin's files. Each answer is known by
// construction: the values written, a packed grid that holds them exactly, instants worked
// out by hand from the calendar, the times the real files are named after.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "network/netcdf_values.h"
#include "tovalin/result.hpp"
#include "support/temp_dir.h"

namespace tovalin::network {
namespace {

namespace fs = std::filesystem;

// The test's files, in a directory of their own.
struct TempDir : test_support::TempDir {
  TempDir() : test_support::TempDir("tovalin-values") {}
};

// A file being written through the C interface, as another program would write it.
struct Writer {
  int id = -1;
  Writer(const std::string& path, int mode) { EXPECT_EQ(nc_create(path.c_str(), mode, &id), NC_NOERR); }
  ~Writer() { nc_close(id); }
  int Dim(const char* name, std::size_t n) {
    int d = -1;
    EXPECT_EQ(nc_def_dim(id, name, n, &d), NC_NOERR);
    return d;
  }
  int Var(const char* name, nc_type type, std::vector<int> dims) {
    int v = -1;
    EXPECT_EQ(nc_def_var(id, name, type, static_cast<int>(dims.size()), dims.data(), &v), NC_NOERR);
    return v;
  }
  void Text(int var, const char* name, const std::string& value) {
    EXPECT_EQ(nc_put_att_text(id, var, name, value.size(), value.data()), NC_NOERR);
  }
  void Attribute(int var, const char* name, nc_type type, std::vector<double> values) {
    EXPECT_EQ(nc_put_att_double(id, var, name, type, values.size(), values.data()), NC_NOERR);
  }
  void Data() { EXPECT_EQ(nc_enddef(id), NC_NOERR); }
  void Put(int var, const std::vector<double>& values) {
    EXPECT_EQ(nc_put_var_double(id, var, values.data()), NC_NOERR);
  }
};

IntegerReading Reading(std::optional<std::int64_t> missing,
                       std::function<std::string(std::size_t)> where = nullptr) {
  IntegerReading r;
  r.missing = missing;
  r.where = std::move(where);
  return r;
}

constexpr nc_type kNumericTypes[] = {NC_BYTE, NC_UBYTE, NC_SHORT, NC_USHORT, NC_INT,
                                     NC_UINT, NC_INT64, NC_UINT64, NC_FLOAT, NC_DOUBLE};

// Every numeric type: 1, 2, its _FillValue 7, a missing_value 9 and a value 120 above
// valid_max 100 read as 1, 2 and undefined three times; as integers the same with the
// missing ones as -1; unpacked by scale 0.5 and offset 10 (values on the grid) as 10.5, 11.
TEST(NetcdfValues, EveryNumericTypeWithMarkersAndPacking) {
  TempDir dir;
  for (nc_type type : kNumericTypes) {
    SCOPED_TRACE(type);
    {
      Writer w(dir / "types.nc", NC_NETCDF4 | NC_CLOBBER);
      const int n = w.Dim("n", 5);
      const int plain = w.Var("plain", type, {n}), packed = w.Var("packed", type, {n});
      for (int v : {plain, packed}) {
        const double fill = 7.0;
        EXPECT_EQ(nc_def_var_fill(w.id, v, 0, nullptr), NC_NOERR);
        w.Attribute(v, "_FillValue", type, {fill});
        w.Attribute(v, "missing_value", type, {9.0});
        w.Attribute(v, "valid_max", type, {100.0});
      }
      w.Attribute(packed, "scale_factor", NC_FLOAT, {0.5});
      w.Attribute(packed, "add_offset", NC_DOUBLE, {10.0});
      w.Data();
      w.Put(plain, {1, 2, 7, 9, 120});
      w.Put(packed, {1, 2, 7, 9, 120});
    }
    const InputFile f(dir / "types.nc");
    EXPECT_EQ(ReadReals(f.Require("plain")),
              (std::vector<double>{1, 2, kUndefined, kUndefined, kUndefined}));
    EXPECT_EQ(ReadReals(f.Require("packed")),
              (std::vector<double>{10.5, 11, kUndefined, kUndefined, kUndefined}));
    EXPECT_EQ(ReadIntegers(f.Require("plain"), {}, Reading(-1)),
              (std::vector<std::int64_t>{1, 2, -1, -1, -1}));
    EXPECT_EQ(ReadReals(f.Require("plain"), Along(1, 2)), (std::vector<double>{2, kUndefined}));
  }
}

// The same values read alike from every file format, with 64-bit integers and unsigned
// types where the format has them and `_Unsigned` bytes where it does not.
TEST(NetcdfValues, EveryFileFormat) {
  TempDir dir;
  struct Format {
    int mode;
    bool wide;  // 64-bit and unsigned types
  };
  for (const Format format : {Format{NC_CLASSIC_MODEL, false}, Format{NC_64BIT_OFFSET, false},
                              Format{NC_64BIT_DATA, true}, Format{NC_NETCDF4, true},
                              Format{NC_NETCDF4 | NC_CLASSIC_MODEL, false}}) {
    SCOPED_TRACE(format.mode);
    {
      Writer w(dir / "f.nc", format.mode | NC_CLOBBER);
      const int n = w.Dim("n", 3);
      const int ids = w.Var("ids", format.wide ? NC_INT64 : NC_DOUBLE, {n});
      const int bytes = w.Var("bytes", NC_BYTE, {n});
      w.Text(bytes, "_Unsigned", "true");
      w.Data();
      // 2^53 + 2 is exact in a double, 2^62 + 1 only in a 64-bit integer.
      const long long big = format.wide ? 4611686018427387905LL : 9007199254740994LL;
      const long long values[] = {1, 2147483648LL, big};
      EXPECT_EQ(nc_put_var_longlong(w.id, ids, values), NC_NOERR);
      const signed char raw[] = {-1, -56, 100};  // 255, 200, 100 as unsigned bytes
      EXPECT_EQ(nc_put_var_schar(w.id, bytes, raw), NC_NOERR);
    }
    const InputFile f(dir / "f.nc");
    EXPECT_EQ(ReadIntegers(f.Require("ids")),
              (std::vector<std::int64_t>{1, 2147483648LL,
                                         format.wide ? 4611686018427387905LL : 9007199254740994LL}));
    EXPECT_EQ(ReadReals(f.Require("bytes")), (std::vector<double>{255, 200, 100}));
  }
}

// Integers refused with the variable and the position of each value that does not fit; a
// missing one refused unless the reading says what it stands for.
TEST(NetcdfValues, IntegersThatDoNotFitAreRefused) {
  TempDir dir;
  {
    Writer w(dir / "ids.nc", NC_NETCDF4 | NC_CLOBBER);
    const int n = w.Dim("reach", 4);
    const int d = w.Var("to_id", NC_DOUBLE, {n}), u = w.Var("big", NC_UINT64, {n});
    w.Data();
    w.Put(d, {3, 2.5, 1e19, NC_FILL_DOUBLE});
    const unsigned long long big[] = {1, 9223372036854775807ULL, 9223372036854775808ULL, 5};
    EXPECT_EQ(nc_put_var_ulonglong(w.id, u, big), NC_NOERR);
  }
  const InputFile f(dir / "ids.nc");
  struct Case {
    const char* variable;
    IntegerReading reading;
    const char* message;
  };
  const Case cases[] = {
      {"to_id", Reading(std::nullopt), "to_id: missing at position 3; not a whole number at position 1 (2.5); "
                    "beyond the 64-bit integer range at position 2 (1e+19)"},
      {"to_id", Reading(0, [](std::size_t i) { return "reach " + std::to_string(10 + i); }),
       "to_id: not a whole number at reach 11 (2.5); beyond the 64-bit integer range at reach 12 (1e+19)"},
      {"big", Reading(std::nullopt), "big: beyond the 64-bit integer range at position 2 (9223372036854775808)"},
  };
  for (const Case& c : cases) {
    try {
      ReadIntegers(f.Require(c.variable), {}, c.reading);
      ADD_FAILURE() << c.message;
    } catch (const ValueError& e) {
      EXPECT_EQ(std::string(e.what()), f.path() + ": " + c.message);
    }
  }
}

// Text as blank-padded and NUL-padded characters and as strings, trimmed.
TEST(NetcdfValues, TextOfCharactersAndStrings) {
  TempDir dir;
  {
    Writer w(dir / "text.nc", NC_NETCDF4 | NC_CLOBBER);
    const int n = w.Dim("reach", 3), chars = w.Dim("id_char", 8);
    const int c = w.Var("gages", NC_CHAR, {n, chars}), s = w.Var("names", NC_STRING, {n});
    w.Data();
    EXPECT_EQ(nc_put_var_text(w.id, c, "  081580        \0\0\0\0\0\0\0\0"), NC_NOERR);
    const char* names[] = {" CIRCLE", "TRAPEZOID  ", ""};
    EXPECT_EQ(nc_put_var_string(w.id, s, names), NC_NOERR);
  }
  const InputFile f(dir / "text.nc");
  EXPECT_EQ(ReadTexts(f.Require("gages")), (std::vector<std::string>{"081580", "", ""}));
  EXPECT_EQ(ReadTexts(f.Require("names"), 1), (std::vector<std::string>{"TRAPEZOID", ""}));
}

// Instants of time axes in any unit, epoch, zone and accepted calendar. The answers by hand:
// 2026-06-01 is day 20605 of 1970 (56 years, 14 leap days, 151 days of 2026); the standard
// calendar's 1582-10-04 (Julian) is followed by 1582-10-15, which the proleptic calendar
// reaches 10 days after its own 1582-10-05.
TEST(NetcdfValues, TimeUnitsToInstants) {
  constexpr std::int64_t kJune2026 = 20605LL * 1440;
  // 1582-10-15 is Julian day 2299161, 1970-01-01 Julian day 2440588.
  constexpr std::int64_t kReform = (2299161LL - 2440588LL) * 1440;
  struct Case {
    TimeUnits units;
    double value;
    TimePrecision precision;
    std::optional<std::int64_t> minutes;  // none: not on a whole minute
  };
  const Case cases[] = {
      {"minutes since 2026-06-01 00:00:00", 120, TimePrecision::kExact, kJune2026 + 120},
      {"hours since 2026-06-01", 2, TimePrecision::kExact, kJune2026 + 120},
      {"Seconds since 2026-06-01T01:00:00Z", 3600, TimePrecision::kDouble, kJune2026 + 120},
      {"days since 2026-05-31 12:00 UTC", 0.5 + 1.0 / 12, TimePrecision::kDouble, kJune2026 + 120},
      {"seconds since 2026-06-01T00:00:00-02:00", -7200 + 120 * 60, TimePrecision::kExact,
       kJune2026 + 120},
      {"minutes since 2026-06-01 00:00:30", 1.5, TimePrecision::kDouble, kJune2026 + 2},
      {"seconds since 2026-06-01", 30, TimePrecision::kExact, std::nullopt},
      {"days since 2026-06-01", 1.0 / 7, TimePrecision::kDouble, std::nullopt},
      {{"days since 1582-10-04", "standard"}, 1, TimePrecision::kExact, kReform},
      {{"days since 1970-01-01", "proleptic_gregorian"}, 0, TimePrecision::kFloat, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.units.units);
    const std::optional<Instant> got = ToInstant(ParseTimeUnits(c.units), c.value, c.precision);
    if (c.minutes) {
      ASSERT_TRUE(got);
      EXPECT_EQ(got->minutes, *c.minutes);
    } else {
      EXPECT_FALSE(got);
    }
  }
  const auto at = [](TimeUnits u, double v) {
    return ToInstant(ParseTimeUnits(u), v, TimePrecision::kExact);
  };
  EXPECT_EQ(at({"days since 1582-10-04", "gregorian"}, 1), at({"days since 1582-10-15"}, 0));
  EXPECT_EQ(at({"days since 1582-10-05", "proleptic_gregorian"}, 10),
            at({"days since 1582-10-15", "standard"}, 0));
  EXPECT_EQ(FormatInstant(Instant{kJune2026 + 125}), "2026-06-01 02:05 UTC");
  for (const TimeUnits& refused :
       {TimeUnits{"months since 2026-06-01"}, TimeUnits{"minutes after 2026-06-01"},
        TimeUnits{"minutes since 2026-02-30"}, TimeUnits{"minutes since 2026-06-01 25:00"},
        TimeUnits{"minutes since 1582-10-10"}, TimeUnits{"minutes since 2026-06-01", "noleap"},
        TimeUnits{"minutes since 2026-06-01 00:00:00.5"}}) {
    SCOPED_TRACE(refused.units + " " + refused.calendar);
    EXPECT_THROW(ParseTimeUnits(refused), ValueError);
  }
}

// A time variable read whole: its instants, and a refusal naming the value off the minute.
TEST(NetcdfValues, TimeAxisOfAFile) {
  TempDir dir;
  {
    Writer w(dir / "t.nc", NC_CLASSIC_MODEL | NC_CLOBBER);
    const int t = w.Dim("time", 3);
    const int good = w.Var("time", NC_FLOAT, {t}), bad = w.Var("bad", NC_DOUBLE, {t});
    for (int v : {good, bad}) w.Text(v, "units", "hours since 2026-06-01");
    w.Text(bad, "calendar", "proleptic_gregorian");
    w.Data();
    w.Put(good, {0, 0.5, 1});
    w.Put(bad, {0, 0.01, 1});
  }
  const InputFile f(dir / "t.nc");
  const TimeAxis axis = ReadTimeAxis(f.Require("time"));
  ASSERT_EQ(axis.instants.size(), 3u);
  EXPECT_EQ(axis.instants[1].minutes - axis.instants[0].minutes, 30);
  EXPECT_EQ(axis.units, TimeUnits("hours since 2026-06-01", "standard"));
  try {
    ReadTimeAxis(f.Require("bad"));
    ADD_FAILURE();
  } catch (const ValueError& e) {
    EXPECT_NE(std::string(e.what()).find("not on a whole minute at position 1 (0.01)"),
              std::string::npos)
        << e.what();
  }
}

// The real basin's files: ids of the channel network, its gauges, packed lateral inflow and
// the forcing's time, which its file name states.
TEST(NetcdfValues, RealBasinFiles) {
  const fs::path data = fs::path(TOVALIN_REAL_DATA_DIR) / "nwm-lower-colorado";
  if (!fs::exists(data)) GTEST_SKIP() << "no real data at " << data;
  const InputFile routeLink((data / "domain/RouteLink.nc").string());
  const std::vector<std::int64_t> links = ReadIntegers(routeLink.Require("link"));
  ASSERT_EQ(links.size(), 11248u);
  for (std::int64_t id : links) ASSERT_GT(id, 0);
  const std::vector<std::string> gages = ReadTexts(routeLink.Require("gages"));
  std::size_t gauged = 0;
  for (const std::string& g : gages)
    if (!g.empty()) {
      ++gauged;
      EXPECT_EQ(g.find(' '), std::string::npos);
    }
  EXPECT_GT(gauged, 0u);
  const TimeAxis stamp = ReadTimeAxis(routeLink.Require("time"));  // float days since 2000
  EXPECT_EQ(stamp.instants.size(), 1u);

  const InputFile chrtout((data / "channel_forcing/202108231300.CHRTOUT_DOMAIN1").string());
  EXPECT_EQ(FormatInstant(ReadTimeAxis(chrtout.Require("time")).instants.at(0)),
            "2021-08-23 13:00 UTC");
  const Variable lateral = chrtout.Require("q_lateral");
  const std::vector<double> q = ReadReals(lateral);
  std::vector<int> raw(lateral.size());
  ASSERT_EQ(nc_get_var_int(chrtout.id(), lateral.id, raw.data()), NC_NOERR);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == -99990) {
      EXPECT_EQ(q[i], kUndefined);
    } else {
      EXPECT_EQ(q[i], raw[i] * static_cast<double>(0.1f));
    }
  }
  const std::vector<std::int64_t> features = ReadIntegers(chrtout.Require("feature_id"));
  EXPECT_EQ(features.size(), links.size());

  const InputFile lakes((data / "domain/LAKEPARM.nc").string());  // netCDF-4 classic model
  EXPECT_EQ(ReadIntegers(lakes.Require("lake_id")).size(), 5783u);
}

}  // namespace
}  // namespace tovalin::network
