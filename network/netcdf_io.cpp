// NetCDF access of the engine through the library's C interface. Written: netCDF-4 files of
// the enhanced model, every double variable declaring the undefined value as _FillValue and
// missing_value. Read: any netCDF file, every variable through the typed reading
// (netcdf_values.h), so that another program's types, packing, markers and time units read
// as the engine's own.
#include "network/netcdf_io.h"

#include <netcdf.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "tovalin/result.hpp"

namespace tovalin::network {
namespace {

// The enhanced model: reach ids are 64-bit integers, which the classic model cannot hold.
constexpr int kCreateMode = NC_NETCDF4 | NC_CLOBBER;
constexpr std::size_t kShapeChars = 16;
constexpr std::size_t kMessageChars = kMessageWidth;
// The longest interval of a forcing, minutes (about 1900 years).
constexpr std::int64_t kLongestInterval = 1000000000;
// The largest inflow a forcing may give, m3/s: a hundred times the largest flood known.
constexpr double kLargestFlow = 1.0e8;

void Check(int status, const std::string& path, const std::string& what) {
  if (status != NC_NOERR) throw FileError(path + ": " + what + ": " + nc_strerror(status));
}

// A file being written, the library's lock held while it is open here.
struct File {
  NetcdfLock lock;
  int id = -1;
  std::string path;
  explicit File(const std::string& p) : path(p) {
    Check(nc_create(p.c_str(), kCreateMode, &id), p, "cannot create");
  }
  ~File() {
    if (id >= 0) nc_close(id);
  }
  void Close() {
    const int i = id;
    id = -1;
    Check(nc_close(i), path, "cannot close");
  }
  int Dim(const char* name, std::size_t length) const {
    int d = -1;
    Check(nc_def_dim(id, name, length, &d), path, std::string("dimension ") + name);
    return d;
  }
  int Var(const char* name, nc_type type, std::initializer_list<int> dims, const char* units,
          const char* longName) const {
    int v = -1;
    const std::vector<int> d(dims);
    Check(nc_def_var(id, name, type, static_cast<int>(d.size()), d.data(), &v), path, name);
    if (units) Text(v, "units", units);
    if (longName) Text(v, "long_name", longName);
    if (type == NC_DOUBLE) {
      const double undefined = kUndefined;
      Check(nc_def_var_fill(id, v, 0, &undefined), path, name);
      Check(nc_put_att_double(id, v, "missing_value", NC_DOUBLE, 1, &undefined), path, name);
    }
    return v;
  }
  void Text(int var, const char* name, const std::string& value) const {
    Check(nc_put_att_text(id, var, name, value.size(), value.c_str()), path, name);
  }
  void EndDefine() const { Check(nc_enddef(id), path, "end of definitions"); }
};

void PutIds(const File& f, int var, std::span<const ReachId> ids, const char* name) {
  static_assert(sizeof(long long) == sizeof(ReachId));
  if (ids.empty()) return;
  Check(nc_put_var_longlong(f.id, var, reinterpret_cast<const long long*>(ids.data())), f.path,
        name);
}

// The interval of a uniform time axis in whole minutes (at most kLongestInterval); 0 when the
// axis is not uniform, not ascending or has fewer than two times.
std::int32_t UniformInterval(const std::vector<Instant>& times) {
  if (times.size() < 2) return 0;
  const std::int64_t step = times[1].minutes - times[0].minutes;
  if (step < 1 || step > kLongestInterval) return 0;
  for (std::size_t t = 1; t < times.size(); ++t)
    if (times[t].minutes - times[t - 1].minutes != step) return 0;
  return static_cast<std::int32_t>(step);
}

// Chunks a (time, reach) variable of times x reaches values by kTimeSeriesChunk.
void ChunkTimeSeries(const File& f, int var, std::size_t times, std::size_t reaches,
                     const char* name) {
  if (times == 0 || reaches == 0) return;
  const std::size_t chunk[2] = {std::min(times, kTimeSeriesChunk.times),
                                std::min(reaches, kTimeSeriesChunk.reaches)};
  Check(nc_def_var_chunking(f.id, var, NC_CHUNKED, chunk), f.path, name);
}

// The time variable of a file being written: its units and calendar.
void TimeAttributes(const File& f, int var, const TimeUnits& units) {
  f.Text(var, "standard_name", "time");
  f.Text(var, "calendar", units.calendar.empty() ? "standard" : units.calendar);
}

// The reach dimension a results file and a restart are written along: the coordinate
// variable of the reach ids has its name (a network and a forcing keep `reach`).
constexpr const char* kReachIdDimension = "reach_id";

}  // namespace

// The reach dimension of a file being read: `reach` (networks and forcings, and results and
// restarts written before they took the ids' name), else `reach_id`; nullopt when neither.
std::optional<std::pair<std::string, std::size_t>> ReachDimension(const InputFile& file) {
  for (const char* name : {"reach", kReachIdDimension})
    if (const std::optional<std::size_t> n = file.Dimension(name)) return std::pair{name, *n};
  return std::nullopt;
}

namespace {

// What a read of a network file takes.
enum class NetworkRead { kWhole, kLinks, kPart };

// The span [lo, hi) of a flat array that the ranges [start, start + count) within
// [0, points) cover; empty when none does.
std::pair<std::size_t, std::size_t> Span(const std::vector<std::int64_t>& start,
                                         const std::vector<std::int64_t>& count,
                                         std::size_t points) {
  std::size_t lo = points, hi = 0;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (start[i] < 0 || count[i] <= 0) continue;
    const auto a = static_cast<std::size_t>(start[i]), c = static_cast<std::size_t>(count[i]);
    if (a > points || c > points - a) continue;
    lo = std::min(lo, a), hi = std::max(hi, a + c);
  }
  return lo < hi ? std::pair{lo, hi} : std::pair{std::size_t{0}, std::size_t{0}};
}

// An integer of a 32-bit field: a value beyond its range reads as the nearest one, which
// validation then refuses as out of range.
std::int32_t Narrow(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

// The variables of one file that lie along one of its dimensions, read through the typed
// reading: values `first`..`first + n - 1` of a variable along `dimension`, which must be
// the variable's only dimension. Integers that cannot be taken are kept as problems (the
// values then read as missing) for validation to report.
struct ColumnReader {
  const InputFile& file;
  std::size_t length;  // of the dimension
  std::vector<std::string>& problems;
  std::function<std::string(std::size_t)> where;  // names value i of a read from 0

  std::optional<Variable> Find(const char* name, bool required) const {
    std::optional<Variable> v = required ? file.Require(name) : file.Find(name);
    if (v && (v->shape.size() != 1 || v->shape[0] != length))
      throw FileError(file.path() + ": " + name + " does not lie along one dimension of " +
                      std::to_string(length) + " values");
    return v;
  }
  std::vector<double> Reals(const char* name, std::size_t first, std::size_t n,
                            bool required = false) const {
    const std::optional<Variable> v = Find(name, required);
    if (!v || n == 0) return std::vector<double>(n, kUndefined);
    return ReadReals(*v, Along(first, n));
  }
  std::vector<std::int64_t> Integers(const char* name, std::size_t first, std::size_t n,
                                     std::optional<std::int64_t> missing,
                                     bool required = false) const {
    const std::optional<Variable> v = Find(name, required);
    std::vector<std::int64_t> fallback(n, missing ? *missing : 0);
    if (!v || n == 0) return fallback;
    IntegerReading reading;
    reading.missing = missing;
    if (where) reading.where = [&, first](std::size_t i) { return where(first + i); };
    try {
      return ReadIntegers(*v, Along(first, n), reading);
    } catch (const ValueError& e) {
      problems.emplace_back(e.what());
      return fallback;
    }
  }
};

Network ReadNetworkFile(const std::string& path, NetworkRead what, std::size_t first,
                        std::size_t count) {
  const InputFile f(path);
  const auto reachDimension = ReachDimension(f);
  if (!reachDimension) throw FileError(path + ": no dimension 'reach'");
  const std::size_t reaches = reachDimension->second;
  if (what != NetworkRead::kPart) first = 0, count = reaches;
  if (first > reaches || count > reaches - first)
    throw FileError(path + ": reaches " + std::to_string(first) + " to " +
                    std::to_string(first + count) + " beyond the file's " +
                    std::to_string(reaches));
  const std::size_t n = count;
  const bool all = what != NetworkRead::kLinks;
  const std::size_t m = all ? n : 0;  // parameters read for m reaches
  Network net;
  ColumnReader column{f, reaches, net.readProblems, nullptr};
  const auto ids = column.Integers("reach_id", first, n, std::nullopt, true);
  // Reaches are named by their id in what follows, where the ids could be read.
  if (net.readProblems.empty())
    column.where = [&](std::size_t i) { return "reach " + std::to_string(ids[i - first]); };
  const auto to = column.Integers("to_id", first, n, std::nullopt, true);
  const auto method = column.Integers("method", first, n, kMissingInteger, true);
  const auto steps = column.Integers("stepCount", first, n, kMissingInteger);
  const auto length = column.Reals("reachLength", first, n);
  auto tableStart = column.Integers("table_start", first, m, kMissingInteger);
  const auto tableCount = column.Integers("table_count", first, m, kMissingInteger);
  auto sectionStart = column.Integers("section_start", first, m, kMissingInteger);
  const auto order = column.Integers("order", first, m, kMissingInteger);
  struct RealField {
    const char* name;
    double Reach::*field;
  };
  constexpr RealField kRealFields[] = {
      {"muskingumK", &Reach::muskingumK},
      {"muskingumX", &Reach::muskingumX},
      {"lossElevation", &Reach::lossElevation},
      {"lossRate", &Reach::lossRate},
      {"channelSlope", &Reach::channelSlope},
      {"manningN", &Reach::manningN},
      {"leftOverbankManningN", &Reach::leftOverbankManningN},
      {"rightOverbankManningN", &Reach::rightOverbankManningN},
      {"bottomWidth", &Reach::bottomWidth},
      {"sideSlope", &Reach::sideSlope},
      {"referenceFlow", &Reach::referenceFlow},
      {"initial_flow", &Reach::initialFlow},
      {"initial_level", &Reach::initialLevel},
      {"lat", &Reach::latitude},
      {"lon", &Reach::longitude},
  };
  std::vector<std::vector<double>> reals;
  for (const RealField& r : kRealFields) reals.push_back(column.Reals(r.name, first, m));
  std::vector<std::string> shapes(m);
  if (const std::optional<Variable> v = f.Find("sectionShape"); v && m > 0) {
    if (v->shape.empty() || v->shape[0] != reaches)
      throw FileError(path + ": sectionShape does not lie along the reach dimension");
    shapes = ReadTexts(*v, first, m);
  }
  if (const std::optional<Variable> v = f.Find("gages"); v && m > 0) {
    if (v->shape.empty() || v->shape[0] != reaches)
      throw FileError(path + ": gages does not lie along the reach dimension");
    net.gages = ReadTexts(*v, first, m);
  }
  // The Puls tables and sections: whole, or the span the part's reaches use, their starts
  // then counted from the span's first point (a start outside the arrays stays as it is, and
  // outside the span).
  const std::size_t tablePoints = f.Dimension("table_point").value_or(0);
  const std::size_t sectionPoints = f.Dimension("section_point").value_or(0);
  std::pair<std::size_t, std::size_t> tables{0, what == NetworkRead::kWhole ? tablePoints : 0};
  std::pair<std::size_t, std::size_t> sections{0,
                                               what == NetworkRead::kWhole ? sectionPoints : 0};
  if (what == NetworkRead::kPart) {
    // Only the reaches whose method uses them.
    std::vector<std::int64_t> tableUse(m, 0), sectionUse(m, 0);
    for (std::size_t i = 0; i < m; ++i) {
      const auto use = static_cast<Method>(Narrow(method[i]));
      if (use == Method::kPuls || use == Method::kPulsWithLoss) tableUse[i] = tableCount[i];
      if (use == Method::kMuskingumCunge8Point) sectionUse[i] = kSectionPoints;
    }
    tables = Span(tableStart, tableUse, tablePoints);
    sections = Span(sectionStart, sectionUse, sectionPoints);
    for (std::size_t i = 0; i < m; ++i) {
      const auto shift = [](std::int64_t& start, std::int64_t points,
                            std::pair<std::size_t, std::size_t> span) {
        if (start >= 0 && points > 0 && static_cast<std::size_t>(start) >= span.first &&
            static_cast<std::size_t>(start) <= span.second &&
            static_cast<std::size_t>(points) <= span.second - static_cast<std::size_t>(start))
          start -= static_cast<std::int64_t>(span.first);
      };
      shift(tableStart[i], tableUse[i], tables);
      shift(sectionStart[i], sectionUse[i], sections);
    }
  }
  const ColumnReader tableColumn{f, tablePoints, net.readProblems, nullptr};
  const ColumnReader sectionColumn{f, sectionPoints, net.readProblems, nullptr};
  const std::size_t tableN = tables.second - tables.first;
  const std::size_t sectionN = sections.second - sections.first;
  net.storageTable = tableColumn.Reals("storageTable", tables.first, tableN);
  net.outflowTable = tableColumn.Reals("outflowTable", tables.first, tableN);
  net.elevationTable = tableColumn.Reals("elevationTable", tables.first, tableN);
  net.sectionStations = sectionColumn.Reals("stations", sections.first, sectionN);
  net.sectionElevations = sectionColumn.Reals("elevations", sections.first, sectionN);

  net.reaches.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    Reach& r = net.reaches[i];
    r.id = ids[i];
    r.toId = to[i];
    r.method = static_cast<Method>(Narrow(method[i]));
    r.stepCount = Narrow(steps[i]);
    r.reachLength = length[i];
    if (!all) continue;
    for (std::size_t k = 0; k < std::size(kRealFields); ++k) r.*(kRealFields[k].field) = reals[k][i];
    r.tableStart = tableStart[i];
    r.tableCount = Narrow(tableCount[i]);
    r.sectionStart = sectionStart[i];
    r.order = Narrow(order[i]);
    r.circle = shapes[i] == "CIRCLE";
  }
  return net;
}

}  // namespace

Network ReadNetwork(const std::string& path) {
  return ReadNetworkFile(path, NetworkRead::kWhole, 0, 0);
}

Network ReadNetworkLinks(const std::string& path) {
  return ReadNetworkFile(path, NetworkRead::kLinks, 0, 0);
}

Network ReadNetworkPart(const std::string& path, std::int64_t first, std::int64_t count) {
  if (first < 0 || count < 0) throw FileError(path + ": a negative range of reaches");
  return ReadNetworkFile(path, NetworkRead::kPart, static_cast<std::size_t>(first),
                         static_cast<std::size_t>(count));
}

std::vector<std::pair<std::int64_t, std::string>> ReadGauges(const std::string& path) {
  // Reaches read at a time.
  constexpr std::size_t kSlab = 65536;
  const InputFile f(path);
  const auto reachDimension = ReachDimension(f);
  if (!reachDimension) throw FileError(path + ": no dimension 'reach'");
  const std::size_t reaches = reachDimension->second;
  std::vector<std::pair<std::int64_t, std::string>> gauges;
  const std::optional<Variable> v = f.Find("gages");
  if (!v) return gauges;
  if (v->shape.empty() || v->shape[0] != reaches)
    throw FileError(path + ": gages does not lie along the reach dimension");
  for (std::size_t first = 0; first < reaches; first += kSlab) {
    std::vector<std::string> texts = ReadTexts(*v, first, std::min(kSlab, reaches - first));
    for (std::size_t i = 0; i < texts.size(); ++i)
      if (!texts[i].empty())
        gauges.emplace_back(static_cast<std::int64_t>(first + i), std::move(texts[i]));
  }
  return gauges;
}

void WriteNetwork(const std::string& path, const Network& net) {
  File f(path);
  const std::size_t n = net.reaches.size();
  const int reach = f.Dim("reach", n);
  const int shape = f.Dim("shape_char", kShapeChars);
  const bool tables = !net.storageTable.empty();
  const bool sections = !net.sectionStations.empty();
  const int tablePoint = tables ? f.Dim("table_point", net.storageTable.size()) : -1;
  const int sectionPoint = sections ? f.Dim("section_point", net.sectionStations.size()) : -1;
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "River network for tovalin-route");
  const int vId = f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  const int vTo = f.Var("to_id", NC_INT64, {reach}, nullptr, "downstream reach (0: outlet)");
  const int vMethod = f.Var("method", NC_INT, {reach}, nullptr, "routing method");
  const int values[] = {1, 2, 3, 4, 5};
  Check(nc_put_att_int(f.id, vMethod, "flag_values", NC_INT, 5, values), path, "method");
  f.Text(vMethod, "flag_meanings", kMethodMeanings);
  const int vSteps = f.Var("stepCount", NC_INT, {reach}, "1", "Muskingum or Puls steps");
  const int vTs = f.Var("table_start", NC_INT, {reach}, "1", "first pair of the Puls table");
  const int vTc = f.Var("table_count", NC_INT, {reach}, "1", "pairs of the Puls table");
  const int vSs = f.Var("section_start", NC_INT, {reach}, "1", "first of the eight points");
  struct D {
    const char* name;
    const char* units;
    const char* longName;
    double Reach::*field;
  };
  const D doubles[] = {
      {"muskingumK", "h", "Muskingum storage constant", &Reach::muskingumK},
      {"muskingumX", "1", "Muskingum weighting factor", &Reach::muskingumX},
      {"lossElevation", "m", "elevation above which the channel loss acts", &Reach::lossElevation},
      {"lossRate", "m s-1", "channel loss rate", &Reach::lossRate},
      {"reachLength", "m", "reach length", &Reach::reachLength},
      {"channelSlope", "m m-1", "bed slope", &Reach::channelSlope},
      {"manningN", "s m-1/3", "Manning roughness of the main channel", &Reach::manningN},
      {"leftOverbankManningN", "s m-1/3", "Manning roughness, left overbank",
       &Reach::leftOverbankManningN},
      {"rightOverbankManningN", "s m-1/3", "Manning roughness, right overbank",
       &Reach::rightOverbankManningN},
      {"bottomWidth", "m", "bottom width (diameter of a circle)", &Reach::bottomWidth},
      {"sideSlope", "1", "side slope z (horizontal per vertical)", &Reach::sideSlope},
  };
  std::vector<int> doubleVars;
  for (const D& d : doubles)
    doubleVars.push_back(f.Var(d.name, NC_DOUBLE, {reach}, d.units, d.longName));
  // The optional variables, where a reach gives them.
  const D optional[] = {
      {"referenceFlow", "m3 s-1", "flow that fixes the Muskingum-Cunge discretisation",
       &Reach::referenceFlow},
      {"initial_flow", "m3 s-1", "flow of the reach at the start of a run", &Reach::initialFlow},
      {"initial_level", "m", "level of the lake at the start of a run", &Reach::initialLevel},
      {"lat", "degrees_north", "latitude of the reach midpoint", &Reach::latitude},
      {"lon", "degrees_east", "longitude of the reach midpoint", &Reach::longitude},
  };
  std::vector<std::pair<const D*, int>> optionalVars;
  for (const D& d : optional) {
    const bool given = std::any_of(net.reaches.begin(), net.reaches.end(), [&](const Reach& r) {
      const double v = r.*(d.field);
      return v != kUndefined && !std::isnan(v);
    });
    if (!given) continue;
    optionalVars.emplace_back(&d, f.Var(d.name, NC_DOUBLE, {reach}, d.units, d.longName));
    if (d.field == &Reach::latitude) f.Text(optionalVars.back().second, "standard_name", "latitude");
    if (d.field == &Reach::longitude) f.Text(optionalVars.back().second, "standard_name", "longitude");
  }
  int vOrder = -1, vGages = -1;
  if (std::any_of(net.reaches.begin(), net.reaches.end(),
                  [](const Reach& r) { return r.order != kMissingInteger; })) {
    vOrder = f.Var("order", NC_INT, {reach}, "1", "stream order (Horton-Strahler)");
    Check(nc_def_var_fill(f.id, vOrder, 0, &kMissingInteger), path, "order");
  }
  std::size_t gageChars = 1;
  for (const std::string& g : net.gages) gageChars = std::max(gageChars, g.size());
  if (!net.gages.empty()) {
    if (net.gages.size() != n)
      throw FileError(path + ": " + std::to_string(net.gages.size()) + " gauges for " +
                      std::to_string(n) + " reaches");
    const int chars = f.Dim("gage_char", gageChars);
    vGages = f.Var("gages", NC_CHAR, {reach, chars}, nullptr, "gauge identifier (blank: none)");
  }
  const int vShape = f.Var("sectionShape", NC_CHAR, {reach, shape}, nullptr, "CIRCLE or TRAPEZOID");
  int vStorage = -1, vOutflow = -1, vElevation = -1, vStations = -1, vElevations = -1;
  if (tables) {
    vStorage = f.Var("storageTable", NC_DOUBLE, {tablePoint}, "m3", "Puls table storage");
    vOutflow = f.Var("outflowTable", NC_DOUBLE, {tablePoint}, "m3 s-1", "Puls table outflow");
    vElevation = f.Var("elevationTable", NC_DOUBLE, {tablePoint}, "m", "Puls table elevation");
  }
  if (sections) {
    vStations = f.Var("stations", NC_DOUBLE, {sectionPoint}, "m", "eight-point section station");
    vElevations =
        f.Var("elevations", NC_DOUBLE, {sectionPoint}, "m", "eight-point section elevation");
  }
  f.EndDefine();
  std::vector<std::int32_t> ints(n);
  const auto putInts = [&](int var, auto get) {
    for (std::size_t i = 0; i < n; ++i) ints[i] = get(net.reaches[i]);
    if (n) Check(nc_put_var_int(f.id, var, ints.data()), path, "integers");
  };
  std::vector<ReachId> ids(n);
  for (std::size_t i = 0; i < n; ++i) ids[i] = net.reaches[i].id;
  PutIds(f, vId, ids, "reach_id");
  for (std::size_t i = 0; i < n; ++i) ids[i] = net.reaches[i].toId;
  PutIds(f, vTo, ids, "to_id");
  putInts(vMethod, [](const Reach& r) { return static_cast<std::int32_t>(r.method); });
  putInts(vSteps, [](const Reach& r) { return r.stepCount; });
  putInts(vTs, [](const Reach& r) { return static_cast<std::int32_t>(r.tableStart); });
  putInts(vTc, [](const Reach& r) { return r.tableCount; });
  putInts(vSs, [](const Reach& r) { return static_cast<std::int32_t>(r.sectionStart); });
  std::vector<double> column(n);
  for (std::size_t d = 0; d < std::size(doubles); ++d) {
    for (std::size_t i = 0; i < n; ++i) column[i] = net.reaches[i].*(doubles[d].field);
    if (n) Check(nc_put_var_double(f.id, doubleVars[d], column.data()), path, doubles[d].name);
  }
  std::vector<char> shapes(n * kShapeChars, '\0');
  for (std::size_t i = 0; i < n; ++i) {
    const char* s = net.reaches[i].circle ? "CIRCLE" : "TRAPEZOID";
    std::memcpy(shapes.data() + i * kShapeChars, s, std::strlen(s));
  }
  if (n) Check(nc_put_var_text(f.id, vShape, shapes.data()), path, "sectionShape");
  for (const auto& [d, var] : optionalVars) {
    for (std::size_t i = 0; i < n; ++i) column[i] = net.reaches[i].*(d->field);
    if (n) Check(nc_put_var_double(f.id, var, column.data()), path, d->name);
  }
  if (vOrder >= 0) putInts(vOrder, [](const Reach& r) { return r.order; });
  if (vGages >= 0 && n) {
    std::vector<char> text(n * gageChars, ' ');
    for (std::size_t i = 0; i < n; ++i)
      std::memcpy(text.data() + i * gageChars, net.gages[i].data(), net.gages[i].size());
    Check(nc_put_var_text(f.id, vGages, text.data()), path, "gages");
  }
  if (tables) {
    Check(nc_put_var_double(f.id, vStorage, net.storageTable.data()), path, "storageTable");
    Check(nc_put_var_double(f.id, vOutflow, net.outflowTable.data()), path, "outflowTable");
    Check(nc_put_var_double(f.id, vElevation, net.elevationTable.data()), path, "elevationTable");
  }
  if (sections) {
    Check(nc_put_var_double(f.id, vStations, net.sectionStations.data()), path, "stations");
    Check(nc_put_var_double(f.id, vElevations, net.sectionElevations.data()), path, "elevations");
  }
  f.Close();
}

ForcingReader::ForcingReader(const std::string& path) : file_(path) {
  const auto dimension = [&](const char* name, bool required) -> std::size_t {
    const std::optional<std::size_t> n = file_.Dimension(name);
    if (!n && required) throw FileError(path + ": no dimension '" + name + "'");
    return n.value_or(0);
  };
  const auto reachDimension = ReachDimension(file_);
  if (!reachDimension) throw FileError(path + ": no dimension 'reach'");
  const std::size_t times = dimension("time", true), reaches = reachDimension->second;
  const std::size_t boundaries = dimension("boundary", false);
  layout_.timeCount = static_cast<std::int64_t>(times);
  const Variable time = file_.Require("time");
  if (time.dimensions != std::vector<std::string>{"time"})
    throw FileError(path + ": time does not lie along the time dimension");
  layout_.timeUnits = TimeUnits(time.TextAttribute("units"), time.TextAttribute("calendar"));
  if (layout_.timeUnits.calendar.empty()) layout_.timeUnits.calendar = "standard";
  try {
    TimeAxis axis = ReadTimeAxis(time);
    times_ = std::move(axis.values);
    if (!axis.instants.empty()) layout_.firstTime = axis.instants[0];
    layout_.intervalMinutes = UniformInterval(axis.instants);
  } catch (const ValueError& e) {
    layout_.readProblems.emplace_back(e.what());
  }
  const ColumnReader column{file_, reaches, layout_.readProblems, nullptr};
  layout_.reachIds = column.Integers("reach_id", 0, reaches, std::nullopt, true);
  const auto along = [&](const char* name, std::vector<std::string> dimensions) {
    Variable v = file_.Require(name);
    if (v.dimensions != dimensions)
      throw FileError(path + ": " + name + " does not lie along (" + dimensions[0] + ", " +
                      dimensions[1] + ")");
    return v;
  };
  lateral_ = along("lateral_inflow", {"time", reachDimension->first});
  if (boundaries > 0) {
    const ColumnReader boundaryColumn{file_, boundaries, layout_.readProblems, nullptr};
    layout_.boundaryReachIds =
        boundaryColumn.Integers("boundary_reach_id", 0, boundaries, std::nullopt, true);
    boundary_ = along("boundary_inflow", {"time", "boundary"});
  }
  unrouted_ = file_.Find(kUnroutedInflow);
  if (unrouted_ && unrouted_->dimensions != std::vector<std::string>{"time"})
    throw FileError(path + ": " + kUnroutedInflow + " does not lie along the time dimension");
}

ForcingReader::~ForcingReader() = default;

std::vector<double> ForcingReader::ReadTimes() { return times_; }

namespace {

// Refuses a flow beyond ±kLargestFlow (an infinite one too) of a block of columns
// first..first + count - 1, time-major from ordinate firstTime, naming the first such value by
// its ordinate (from the forcing's first time) and id.
void CheckFlows(const std::string& path, const char* name, const std::vector<double>& values,
                std::size_t count, std::size_t first, std::int64_t firstTime,
                const std::vector<ReachId>& ids) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double q = values[i];
    if (q == kUndefined || std::fabs(q) <= kLargestFlow) continue;
    const std::size_t column = first + i % count;
    throw FileError(path + ": " + name + " at time " +
                    std::to_string(firstTime + static_cast<std::int64_t>(i / count)) +
                    " of reach " + (column < ids.size() ? std::to_string(ids[column]) : "?") +
                    " is " + std::to_string(q) +
                    " m3/s, beyond the largest flow taken (1e8 m3/s)");
  }
}

}  // namespace

Ordinates ForcingReader::Checked(Ordinates ordinates) const {
  if (ordinates.first < 0 || ordinates.count < 0 || ordinates.end() > layout_.timeCount)
    throw FileError(file_.path() + ": ordinates " + std::to_string(ordinates.first) + " to " +
                    std::to_string(ordinates.end() - 1) + " lie outside its " +
                    std::to_string(layout_.timeCount) + " times");
  return ordinates;
}

void ForcingReader::ReadLateral(std::int64_t first, std::int64_t count,
                                std::vector<double>& values) {
  ReadLateral(first, count, {0, layout_.timeCount}, values);
}

void ForcingReader::ReadLateral(std::int64_t first, std::int64_t count, Ordinates ordinates,
                                std::vector<double>& values) {
  if (first < 0 || count < 0) throw FileError(file_.path() + ": a negative range of reaches");
  const Ordinates o = Checked(ordinates);
  const auto from = static_cast<std::size_t>(first), n = static_cast<std::size_t>(count);
  ReadReals(*lateral_,
            Slab{{static_cast<std::size_t>(o.first), from}, {static_cast<std::size_t>(o.count), n}},
            values);
  CheckFlows(file_.path(), "lateral_inflow", values, n, from, o.first, layout_.reachIds);
}

void ForcingReader::ReadBoundary(std::int64_t boundary, std::vector<double>& values) {
  ReadBoundary(boundary, {0, layout_.timeCount}, values);
}

void ForcingReader::ReadBoundary(std::int64_t boundary, Ordinates ordinates,
                                 std::vector<double>& values) {
  if (!boundary_ || boundary < 0) throw FileError(file_.path() + ": no boundary " +
                                                  std::to_string(boundary));
  const Ordinates o = Checked(ordinates);
  const auto b = static_cast<std::size_t>(boundary);
  ReadReals(*boundary_,
            Slab{{static_cast<std::size_t>(o.first), b}, {static_cast<std::size_t>(o.count), 1}},
            values);
  CheckFlows(file_.path(), "boundary_inflow", values, 1, b, o.first, layout_.boundaryReachIds);
}

std::vector<double> ForcingReader::ReadUnrouted() {
  if (!unrouted_) return {};
  std::vector<double> values;
  ReadReals(*unrouted_, Slab{}, values);
  for (std::size_t t = 0; t < values.size(); ++t)
    if (values[t] != kUndefined && !(std::fabs(values[t]) <= kLargestFlow))
      throw FileError(file_.path() + ": " + kUnroutedInflow + " at time " + std::to_string(t) +
                      " is " + std::to_string(values[t]) +
                      " m3/s, beyond the largest flow taken (1e8 m3/s)");
  return values;
}

void WriteForcing(const std::string& path, const ForcingLayout& layout,
                  std::span<const double> times,
                  const std::function<void(Ordinates, std::int64_t, std::int64_t,
                                           std::vector<double>&)>& lateral,
                  std::span<const double> boundary) {
  File f(path);
  const std::size_t nt = times.size(), nr = layout.reachIds.size(),
                    nb = layout.boundaryReachIds.size();
  const int time = f.Dim("time", nt);
  const int reach = f.Dim("reach", nr);
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Forcing for tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {time}, layout.timeUnits.units.c_str(), "time");
  TimeAttributes(f, vTime, layout.timeUnits);
  const int vId = f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  const int vLat = f.Var("lateral_inflow", NC_DOUBLE, {time, reach}, "m3 s-1",
                         "lateral inflow over the whole reach");
  ChunkTimeSeries(f, vLat, nt, nr, "lateral_inflow");
  int vB = -1, vBid = -1;
  if (nb) {
    const int b = f.Dim("boundary", nb);
    vBid = f.Var("boundary_reach_id", NC_INT64, {b}, nullptr, "reach receiving the boundary inflow");
    vB = f.Var("boundary_inflow", NC_DOUBLE, {time, b}, "m3 s-1", "upstream boundary inflow");
    ChunkTimeSeries(f, vB, nt, nb, "boundary_inflow");
  }
  f.EndDefine();
  if (nt) Check(nc_put_var_double(f.id, vTime, times.data()), path, "time");
  PutIds(f, vId, layout.reachIds, "reach_id");
  // Row by row of chunks, chunk by chunk: whole chunks written once each.
  std::vector<double> block;
  for (std::size_t t0 = 0; t0 < nt; t0 += kTimeSeriesChunk.times) {
    const std::size_t rows = std::min(kTimeSeriesChunk.times, nt - t0);
    const Ordinates ordinates{static_cast<std::int64_t>(t0), static_cast<std::int64_t>(rows)};
    for (std::size_t first = 0; first < nr; first += kTimeSeriesChunk.reaches) {
      const std::size_t count = std::min(kTimeSeriesChunk.reaches, nr - first);
      lateral(ordinates, static_cast<std::int64_t>(first), static_cast<std::int64_t>(count),
              block);
      if (block.size() != rows * count)
        throw FileError(path + ": " + std::to_string(block.size()) + " lateral inflows for " +
                        std::to_string(rows) + " times of " + std::to_string(count) +
                        " reaches");
      const std::size_t start[2] = {t0, first}, extent[2] = {rows, count};
      Check(nc_put_vara_double(f.id, vLat, start, extent, block.data()), path, "lateral_inflow");
    }
  }
  if (nb) {
    PutIds(f, vBid, layout.boundaryReachIds, "boundary_reach_id");
    if (nt) Check(nc_put_var_double(f.id, vB, boundary.data()), path, "boundary_inflow");
  }
  f.Close();
}

ForcingSliceWriter::ForcingSliceWriter(const std::string& path, const TimeUnits& timeUnits,
                                       std::span<const double> times,
                                       std::span<const ReachId> reachIds)
    : path_(path), times_(times.size()), reaches_(reachIds.size()) {
  File f(path);
  const int time = f.Dim("time", times_);
  const int reach = f.Dim("reach", reaches_);
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Forcing for tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {time}, timeUnits.units.c_str(), "time");
  TimeAttributes(f, vTime, timeUnits);
  const int vId = f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  lateralVar_ = f.Var("lateral_inflow", NC_DOUBLE, {time, reach}, "m3 s-1",
                      "lateral inflow over the whole reach");
  ChunkTimeSeries(f, lateralVar_, times_, reaches_, "lateral_inflow");
  // Whole chunks are written at once: no chunk cache, so that none grows with the times.
  if (times_ && reaches_)
    Check(nc_set_var_chunk_cache(f.id, lateralVar_, 0, 0, 0.0f), path, "chunk cache");
  f.EndDefine();
  if (times_) Check(nc_put_var_double(f.id, vTime, times.data()), path, "time");
  PutIds(f, vId, reachIds, "reach_id");
  held_.reserve(std::min(times_, kTimeSeriesChunk.times) * reaches_);
  id_ = f.id;
  f.id = -1;
}

ForcingSliceWriter::~ForcingSliceWriter() {
  const NetcdfLock lock;
  if (id_ >= 0) nc_close(id_);
}

void ForcingSliceWriter::Append(std::span<const double> lateral) {
  if (id_ < 0) throw FileError(path_ + ": appended to after closing");
  if (appended_ == times_)
    throw FileError(path_ + ": more than the " + std::to_string(times_) + " times declared");
  if (lateral.size() != reaches_)
    throw FileError(path_ + ": " + std::to_string(lateral.size()) + " lateral inflows for " +
                    std::to_string(reaches_) + " reaches");
  held_.insert(held_.end(), lateral.begin(), lateral.end());
  ++appended_;
  if (appended_ - flushed_ == kTimeSeriesChunk.times) Flush();
}

void ForcingSliceWriter::Flush() {
  const NetcdfLock lock;
  const std::size_t count = appended_ - flushed_;
  if (count == 0 || reaches_ == 0) return;
  const std::size_t start[2] = {flushed_, 0}, extent[2] = {count, reaches_};
  Check(nc_put_vara_double(id_, lateralVar_, start, extent, held_.data()), path_,
        "lateral_inflow");
  flushed_ = appended_;
  held_.clear();
}

void ForcingSliceWriter::Close() {
  const NetcdfLock lock;
  if (id_ < 0) return;
  if (appended_ != times_)
    throw FileError(path_ + ": " + std::to_string(appended_) + " of " + std::to_string(times_) +
                    " times written");
  Flush();
  const int id = id_;
  id_ = -1;
  Check(nc_close(id), path_, "cannot close");
}

// Bytes of chunk cache a results series may hold: two rows of chunks where they fit in this,
// so that a window shorter than a chunk's times (or straddling two rows) fills cached chunks
// rather than rereading those on disk.
constexpr std::size_t kSeriesCacheBytes = std::size_t{64} << 20;

ResultsWriter::ResultsWriter(const std::string& path, std::span<const double> times,
                             const TimeUnits& timeUnits, std::int64_t reachCount,
                             const ResultsContent& content)
    : path_(path), times_(static_cast<std::int64_t>(times.size())), reaches_(reachCount) {
  File f(path);
  const std::size_t nt = times.size(), nr = static_cast<std::size_t>(reachCount);
  const int time = f.Dim("time", nt);
  const int reach = f.Dim(kReachIdDimension, nr);
  const int chars = f.Dim("message_char", kMessageChars);
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Results of tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {time}, timeUnits.units.c_str(), "time");
  TimeAttributes(f, vTime, timeUnits);
  f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  // A row of chunks: every reach over one chunk's times.
  const std::size_t chunks = (nr + kTimeSeriesChunk.reaches - 1) / kTimeSeriesChunk.reaches;
  const std::size_t rowBytes =
      chunks * std::min(nt, kTimeSeriesChunk.times) * std::min(nr, kTimeSeriesChunk.reaches) *
      sizeof(double);
  for (const SeriesVariable& v : content.series) {
    const int var = f.Var(v.name, NC_DOUBLE, {time, reach}, v.units, v.longName);
    ChunkTimeSeries(f, var, nt, nr, v.name);
    if (nt && nr && 2 * rowBytes <= kSeriesCacheBytes)
      Check(nc_set_var_chunk_cache(f.id, var, 2 * rowBytes, 8 * chunks + 1, 1.0f), path,
            "chunk cache");
    seriesVars_.push_back(var);
  }
  int vGaugeId = -1, vGaugeReach = -1;
  const std::size_t ng = content.gaugeList.size();
  if (content.gauges) {
    // A length of 0 makes the dimension unlimited, which holds no gauge all the same.
    const int gauge = f.Dim("gauge", ng);
    gaugeOutflowVar_ =
        f.Var("gauge_outflow", NC_DOUBLE, {time, gauge}, "m3 s-1", "outflow of the gauge's reach");
    f.Text(gaugeOutflowVar_, "coordinates", "gauge_id gauge_reach_id");
    ChunkTimeSeries(f, gaugeOutflowVar_, nt, ng, "gauge_outflow");
    vGaugeId = f.Var("gauge_id", NC_STRING, {gauge}, nullptr, "gauge identifier");
    vGaugeReach = f.Var("gauge_reach_id", NC_INT64, {gauge}, nullptr, "reach of the gauge");
    for (std::size_t g = 0; g < ng; ++g) gaugeAt_.emplace_back(content.gaugeList[g].position, g);
    std::sort(gaugeAt_.begin(), gaugeAt_.end());
  }
  f.Var("status_routine", NC_INT, {reach}, "1", "routine that reported (0: none)");
  f.Var("status_message", NC_INT, {reach}, "1", "message number (1-10 warning, 11+ error)");
  f.Var("status_severity", NC_INT, {reach}, "1", "severity (0, 2 warning, 4 error)");
  f.Var("upstream_failed", NC_INT, {reach}, "1", "1 when a reach upstream failed");
  f.Var("message", NC_CHAR, {reach, chars}, nullptr, "message text of the routine");
  f.Var("inflow_volume", NC_DOUBLE, {reach}, "m3", "inflow volume over the run");
  f.Var("outflow_volume", NC_DOUBLE, {reach}, "m3", "outflow volume over the run");
  f.Var("storage_start", NC_DOUBLE, {reach}, "m3", "storage at the first time");
  f.Var("storage_end", NC_DOUBLE, {reach}, "m3", "storage at the last time");
  f.Var("loss_volume", NC_DOUBLE, {reach}, "m3", "channel loss over the run (Puls with loss)");
  f.Var("volume_balance_error", NC_DOUBLE, {reach}, "m3", "in - out - storage change - loss");
  f.Var("volume_balance_relative", NC_DOUBLE, {reach}, "1",
        "volume_balance_error / (in + storage at the start); undefined below 1 m3");
  f.Var("computation_interval", NC_DOUBLE, {reach}, "s", "Muskingum-Cunge computation interval");
  f.Var("subreach_count", NC_INT, {reach}, "1", "Muskingum-Cunge subreaches");
  f.Var("subreach_steps", NC_INT64, {reach}, "1", "Muskingum-Cunge subreach-steps routed");
  f.Var("courant_min", NC_DOUBLE, {reach}, "1", "smallest Courant number ck dt / dx");
  f.Var("courant_max", NC_DOUBLE, {reach}, "1", "largest Courant number ck dt / dx");
  f.Var("reynolds_min", NC_DOUBLE, {reach}, "1",
        "smallest cell Reynolds number Q / (S T ck dx)");
  f.Var("reynolds_max", NC_DOUBLE, {reach}, "1", "largest cell Reynolds number Q / (S T ck dx)");
  f.EndDefine();
  if (nt) Check(nc_put_var_double(f.id, vTime, times.data()), path, "time");
  if (ng) {
    std::vector<const char*> texts;
    std::vector<ReachId> reachIds;
    for (const ResultsGauge& g : content.gaugeList)
      texts.push_back(g.id.c_str()), reachIds.push_back(g.reachId);
    const std::size_t start = 0;
    Check(nc_put_vara_string(f.id, vGaugeId, &start, &ng, texts.data()), path, "gauge_id");
    PutIds(f, vGaugeReach, reachIds, "gauge_reach_id");
  }
  id_ = f.id;
  f.id = -1;
}

ResultsWriter::~ResultsWriter() {
  const NetcdfLock lock;
  if (id_ >= 0) nc_close(id_);
}

void ResultsWriter::WriteSeries(std::size_t series, std::int64_t first, std::int64_t count,
                                Ordinates ordinates, std::span<const double> values) {
  const NetcdfLock lock;
  if (series >= seriesVars_.size() || first < 0 || count < 0 || first + count > reaches_ ||
      ordinates.first < 0 || ordinates.count < 0 || ordinates.end() > times_ ||
      values.size() != static_cast<std::size_t>(count * ordinates.count))
    throw FileError(path_ + ": a block of results outside the file");
  if (count == 0 || ordinates.count == 0) return;
  const std::size_t start[2] = {static_cast<std::size_t>(ordinates.first),
                                static_cast<std::size_t>(first)};
  const std::size_t extent[2] = {static_cast<std::size_t>(ordinates.count),
                                 static_cast<std::size_t>(count)};
  Check(nc_put_vara_double(id_, seriesVars_[series], start, extent, values.data()), path_,
        "series");
  if (series != 0) return;
  // The gauges on these reaches: each one's column of the outflows over the ordinates.
  const std::int64_t end = first + count;
  const auto n = static_cast<std::size_t>(count);
  for (auto g = std::lower_bound(gaugeAt_.begin(), gaugeAt_.end(), std::pair{first, std::size_t{0}});
       g != gaugeAt_.end() && g->first < end; ++g) {
    const auto j = static_cast<std::size_t>(g->first - first);
    column_.resize(extent[0]);
    for (std::size_t t = 0; t < column_.size(); ++t) column_[t] = values[t * n + j];
    const std::size_t at[2] = {start[0], g->second}, one[2] = {column_.size(), 1};
    Check(nc_put_vara_double(id_, gaugeOutflowVar_, at, one, column_.data()), path_,
          "gauge_outflow");
  }
}

void ResultsWriter::WriteReaches(std::int64_t first, std::span<const ReachId> ids,
                                 std::span<const ReachOutcome> outcomes,
                                 std::span<const std::uint8_t> upstreamFailed) {
  const NetcdfLock lock;
  const std::size_t n = ids.size();
  if (n == 0) return;
  if (first < 0 || first + static_cast<std::int64_t>(n) > reaches_ || outcomes.size() != n ||
      upstreamFailed.size() != n)
    throw FileError(path_ + ": a block of reaches outside the file");
  const std::size_t start[1] = {static_cast<std::size_t>(first)};
  const std::size_t extent[1] = {n};
  const auto var = [&](const char* name) {
    int v = -1;
    Check(nc_inq_varid(id_, name, &v), path_, name);
    return v;
  };
  Check(nc_put_vara_longlong(id_, var("reach_id"), start, extent,
                             reinterpret_cast<const long long*>(ids.data())),
        path_, "reach_id");
  std::vector<std::int32_t> ints(n);
  std::vector<double> reals(n);
  const auto putInt = [&](const char* name, auto get) {
    for (std::size_t i = 0; i < n; ++i) ints[i] = get(i);
    Check(nc_put_vara_int(id_, var(name), start, extent, ints.data()), path_, name);
  };
  const auto putReal = [&](const char* name, double ReachOutcome::*field) {
    for (std::size_t i = 0; i < n; ++i) reals[i] = outcomes[i].*field;
    Check(nc_put_vara_double(id_, var(name), start, extent, reals.data()), path_, name);
  };
  putInt("status_routine", [&](std::size_t i) { return outcomes[i].routine; });
  putInt("status_message", [&](std::size_t i) { return outcomes[i].messageNumber; });
  putInt("status_severity", [&](std::size_t i) { return outcomes[i].severity; });
  putInt("upstream_failed", [&](std::size_t i) { return std::int32_t{upstreamFailed[i]}; });
  putInt("subreach_count", [&](std::size_t i) { return outcomes[i].subreachCount; });
  std::vector<long long> steps(n);
  for (std::size_t i = 0; i < n; ++i) steps[i] = outcomes[i].subreachSteps;
  Check(nc_put_vara_longlong(id_, var("subreach_steps"), start, extent, steps.data()),
        path_, "subreach_steps");
  putReal("inflow_volume", &ReachOutcome::inflowVolume);
  putReal("outflow_volume", &ReachOutcome::outflowVolume);
  putReal("storage_start", &ReachOutcome::storageStart);
  putReal("storage_end", &ReachOutcome::storageEnd);
  putReal("volume_balance_error", &ReachOutcome::balanceError);
  putReal("volume_balance_relative", &ReachOutcome::balanceRelative);
  putReal("computation_interval", &ReachOutcome::computationInterval);
  putReal("courant_min", &ReachOutcome::courantMin);
  putReal("courant_max", &ReachOutcome::courantMax);
  putReal("reynolds_min", &ReachOutcome::reynoldsMin);
  putReal("reynolds_max", &ReachOutcome::reynoldsMax);
  putReal("loss_volume", &ReachOutcome::loss);
  std::vector<char> text(n * kMessageChars, '\0');
  for (std::size_t i = 0; i < n; ++i)
    std::memcpy(text.data() + i * kMessageChars, outcomes[i].message.data(),
                std::min(kMessageChars, outcomes[i].message.size()));
  const std::size_t tStart[2] = {static_cast<std::size_t>(first), 0};
  const std::size_t tExtent[2] = {n, kMessageChars};
  Check(nc_put_vara_text(id_, var("message"), tStart, tExtent, text.data()), path_, "message");
}

void ResultsWriter::Close(const std::vector<std::pair<std::string, double>>& summary) {
  const NetcdfLock lock;
  Check(nc_redef(id_), path_, "summary");
  for (const auto& [name, value] : summary)
    Check(nc_put_att_double(id_, NC_GLOBAL, name.c_str(), NC_DOUBLE, 1, &value), path_, name);
  Check(nc_enddef(id_), path_, "summary");
  const int id = id_;
  id_ = -1;
  Check(nc_close(id), path_, "cannot close");
}

namespace {

void WriteRestartFile(const std::string& path, const RestartData& r) {
  File f(path);
  const std::size_t n = r.reachIds.size();
  const int reach = f.Dim(kReachIdDimension, n);
  const int value = f.Dim("state_value", std::max<std::size_t>(r.states.size(), 1));
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Restart of tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {}, r.timeUnits.units.c_str(), "time of the states");
  TimeAttributes(f, vTime, r.timeUnits);
  const int vInterval = f.Var("interval", NC_INT, {}, "min", "interval of the run");
  const int vId = f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  const int vMethod = f.Var("method", NC_INT, {reach}, nullptr, "routing method");
  f.Text(vMethod, "flag_meanings", kMethodMeanings);
  // 64-bit: a national network's states pass 2^31 values (a reader takes any integer type).
  const int vStart = f.Var("state_start", NC_INT64, {reach}, "1", "first state of the reach");
  const int vCount = f.Var("state_count", NC_INT, {reach}, "1", "states of the reach");
  // Flows (m3/s), storage indicators (m3/s) and node depths (m) laid end to end per reach:
  // no one unit, so none is declared.
  const int vStates = f.Var("state", NC_DOUBLE, {value}, nullptr,
                            "states of each reach: step outflows, storage indicators and gross "
                            "outflows (Muskingum, Puls); node flows then node depths "
                            "(Muskingum-Cunge)");
  const int vLast = f.Var("last_inflow", NC_DOUBLE, {reach}, "m3 s-1",
                          "inflow at the last time: the next run's first inflow");
  const int vDt = f.Var("computation_interval", NC_DOUBLE, {reach}, "s",
                        "Muskingum-Cunge computation interval");
  const int vNsub = f.Var("subreach_count", NC_INT, {reach}, "1", "Muskingum-Cunge subreaches");
  f.EndDefine();
  Check(nc_put_var_double(f.id, vTime, &r.time), path, "time");
  Check(nc_put_var_int(f.id, vInterval, &r.intervalMinutes), path, "interval");
  if (n) {
    const std::vector<long long> starts(r.stateStart.begin(), r.stateStart.end());
    PutIds(f, vId, r.reachIds, "reach_id");
    Check(nc_put_var_int(f.id, vMethod, r.methods.data()), path, "method");
    Check(nc_put_var_longlong(f.id, vStart, starts.data()), path, "state_start");
    Check(nc_put_var_int(f.id, vCount, r.stateCount.data()), path, "state_count");
    Check(nc_put_var_double(f.id, vLast, r.lastInflow.data()), path, "last_inflow");
    Check(nc_put_var_double(f.id, vDt, r.computationInterval.data()), path, "computation_interval");
    Check(nc_put_var_int(f.id, vNsub, r.subreachCount.data()), path, "subreach_count");
  }
  if (!r.states.empty()) Check(nc_put_var_double(f.id, vStates, r.states.data()), path, "state");
  f.Close();
}

}  // namespace

void WriteRestart(const std::string& path, const RestartData& restart) {
  const std::string partial = path + ".partial";
  try {
    WriteRestartFile(partial, restart);
  } catch (...) {
    std::remove(partial.c_str());
    throw;
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    throw FileError(path + ": cannot put the restart in place: " + std::strerror(errno));
  }
}

RestartData ReadRestart(const std::string& path,
                        const std::function<bool(ReachId reachId)>& wanted) {
  const InputFile f(path);
  RestartData r;
  const auto dimension = [&](const char* name) {
    const std::optional<std::size_t> d = f.Dimension(name);
    if (!d) throw FileError(path + ": no dimension '" + name + "'");
    return *d;
  };
  const auto reachDimension = ReachDimension(f);
  if (!reachDimension) throw FileError(path + ": no dimension 'reach_id'");
  const std::size_t n = reachDimension->second, values = dimension("state_value");
  const Variable time = f.Require("time");
  if (time.size() != 1) throw FileError(path + ": time is not one value");
  r.timeUnits = TimeUnits(time.TextAttribute("units"), time.TextAttribute("calendar"));
  if (r.timeUnits.calendar.empty()) r.timeUnits.calendar = "standard";
  try {
    const TimeAxis axis = ReadTimeAxis(time);
    r.time = axis.values.at(0);
    r.instant = axis.instants.at(0);
  } catch (const ValueError& e) {
    r.readProblems.emplace_back(e.what());
  }
  const Variable interval = f.Require("interval");
  if (interval.size() != 1) throw FileError(path + ": interval is not one value");
  try {
    const std::int64_t minutes = ReadIntegers(interval).at(0);
    if (minutes < 1 || minutes > std::numeric_limits<std::int32_t>::max())
      r.readProblems.push_back(path + ": interval " + std::to_string(minutes) +
                               " is not a positive number of minutes");
    r.intervalMinutes = Narrow(minutes);
  } catch (const ValueError& e) {
    r.readProblems.emplace_back(e.what());
  }
  const ColumnReader column{f, n, r.readProblems, nullptr};
  r.reachIds = column.Integers("reach_id", 0, n, std::nullopt, true);
  const auto narrow = [&](const char* name) {
    std::vector<std::int32_t> out;
    for (std::int64_t v : column.Integers(name, 0, n, kMissingInteger, true))
      out.push_back(Narrow(v));
    return out;
  };
  r.methods = narrow("method");
  r.stateStart = column.Integers("state_start", 0, n, kMissingInteger, true);
  r.stateCount = narrow("state_count");
  r.lastInflow = column.Reals("last_inflow", 0, n, true);
  r.computationInterval = column.Reals("computation_interval", 0, n, true);
  r.subreachCount = narrow("subreach_count");
  if (!r.readProblems.empty()) return r;  // refused: no states are read
  for (std::size_t i = 0; i < n; ++i)
    if (r.stateStart[i] < 0 || r.stateCount[i] < 0 ||
        static_cast<std::size_t>(r.stateStart[i]) > values ||
        static_cast<std::size_t>(r.stateCount[i]) > values - static_cast<std::size_t>(r.stateStart[i]))
      throw FileError(path + ": states of reach " + std::to_string(r.reachIds[i]) +
                      " lie outside the state array");
  const ColumnReader states{f, values, r.readProblems, nullptr};
  if (!wanted) {
    r.states = states.Reals("state", 0, values, true);
    return r;
  }
  // The span of the wanted reaches' states, their starts then counted from its first value.
  std::size_t lo = values, hi = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!wanted(r.reachIds[i])) continue;
    lo = std::min(lo, static_cast<std::size_t>(r.stateStart[i]));
    hi = std::max(hi, static_cast<std::size_t>(r.stateStart[i]) + r.stateCount[i]);
  }
  if (lo > hi) lo = hi = 0;
  for (std::size_t i = 0; i < n; ++i)
    r.stateStart[i] = wanted(r.reachIds[i]) ? r.stateStart[i] - static_cast<std::int64_t>(lo) : -1;
  r.states = states.Reals("state", lo, hi - lo, true);
  return r;
}

}  // namespace tovalin::network
