// NetCDF access of the engine through the library's C interface. Every double variable
// declares the undefined value as _FillValue and missing_value; on reading, a variable's own
// _FillValue or missing_value reads as the undefined value.
#include "network/netcdf_io.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tovalin/result.hpp"

namespace tovalin::network {
namespace {

// The enhanced model: reach ids are 64-bit integers, which the classic model cannot hold.
constexpr int kCreateMode = NC_NETCDF4 | NC_CLOBBER;
constexpr std::size_t kShapeChars = 16;
constexpr std::size_t kMessageChars = kMessageWidth;
// Reaches per chunk of the (time, reach) variables: whole columns of a block of reaches.
constexpr std::size_t kChunkReaches = 4096;

void Check(int status, const std::string& path, const std::string& what) {
  if (status != NC_NOERR) throw FileError(path + ": " + what + ": " + nc_strerror(status));
}

struct File {
  int id = -1;
  std::string path;
  File(const std::string& p, bool create) : path(p) {
    if (create)
      Check(nc_create(p.c_str(), kCreateMode, &id), p, "cannot create");
    else
      Check(nc_open(p.c_str(), NC_NOWRITE, &id), p, "cannot open");
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
  std::size_t DimLength(const char* name, bool required) const {
    int d = -1;
    if (nc_inq_dimid(id, name, &d) != NC_NOERR) {
      if (required) throw FileError(path + ": no dimension '" + name + "'");
      return 0;
    }
    std::size_t n = 0;
    Check(nc_inq_dimlen(id, d, &n), path, name);
    return n;
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
  std::string TextAttribute(int var, const char* name) const {
    std::size_t n = 0;
    if (nc_inq_attlen(id, var, name, &n) != NC_NOERR) return {};
    std::string s(n, '\0');
    Check(nc_get_att_text(id, var, name, s.data()), path, name);
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  }
  int VarId(const char* name, bool required) const {
    int v = -1;
    if (nc_inq_varid(id, name, &v) != NC_NOERR) {
      if (required) throw FileError(path + ": no variable '" + name + "'");
      return -1;
    }
    return v;
  }
  void EndDefine() const { Check(nc_enddef(id), path, "end of definitions"); }
};

// The variable's declared fill and missing values.
std::vector<double> Markers(int file, int var) {
  std::vector<double> markers;
  for (const char* name : {"_FillValue", "missing_value"}) {
    double marker = 0.0;
    std::size_t length = 0;
    if (nc_inq_attlen(file, var, name, &length) != NC_NOERR || length != 1) continue;
    if (nc_get_att_double(file, var, name, &marker) != NC_NOERR) continue;
    markers.push_back(marker);
  }
  return markers;
}

// Replaces the markers by the undefined value.
void MarkUndefined(const std::vector<double>& markers, double* values, std::size_t n) {
  for (double marker : markers)
    for (std::size_t i = 0; i < n; ++i)
      if (values[i] == marker) values[i] = kUndefined;
}

// Values first..first+n-1 of a one-dimensional variable (all undefined when it is absent).
std::vector<double> ReadDoubles(const File& f, const char* name, std::size_t n, bool required,
                                std::size_t first = 0) {
  std::vector<double> values(n, kUndefined);
  const int v = f.VarId(name, required);
  if (v < 0 || n == 0) return values;
  Check(nc_get_vara_double(f.id, v, &first, &n, values.data()), f.path, name);
  MarkUndefined(Markers(f.id, v), values.data(), n);
  return values;
}

std::vector<std::int32_t> ReadInts(const File& f, const char* name, std::size_t n, bool required,
                                   std::size_t first = 0) {
  std::vector<std::int32_t> values(n, kMissingInteger);
  const int v = f.VarId(name, required);
  if (v < 0 || n == 0) return values;
  Check(nc_get_vara_int(f.id, v, &first, &n, values.data()), f.path, name);
  int fill = NC_FILL_INT;
  int noFill = 0;
  nc_inq_var_fill(f.id, v, &noFill, &fill);
  for (auto& x : values)
    if (x == fill) x = kMissingInteger;
  return values;
}

// Reach ids first..first+n-1 as 64-bit integers (0 where the variable's fill value stands).
std::vector<ReachId> ReadIds(const File& f, const char* name, std::size_t n, bool required,
                             std::size_t first = 0) {
  std::vector<ReachId> values(n, 0);
  const int v = f.VarId(name, required);
  if (v < 0 || n == 0) return values;
  std::vector<long long> read(n);
  Check(nc_get_vara_longlong(f.id, v, &first, &n, read.data()), f.path, name);
  long long fill = NC_FILL_INT64;
  int noFill = 0;
  nc_type type = NC_NAT;
  nc_inq_vartype(f.id, v, &type);
  if (type == NC_INT64) nc_inq_var_fill(f.id, v, &noFill, &fill);
  else if (type == NC_INT) {
    int fill32 = NC_FILL_INT;
    nc_inq_var_fill(f.id, v, &noFill, &fill32);
    fill = fill32;
  }
  for (std::size_t i = 0; i < n; ++i) values[i] = read[i] == fill ? 0 : read[i];
  return values;
}

void PutIds(const File& f, int var, std::span<const ReachId> ids, const char* name) {
  static_assert(sizeof(long long) == sizeof(ReachId));
  if (ids.empty()) return;
  Check(nc_put_var_longlong(f.id, var, reinterpret_cast<const long long*>(ids.data())), f.path,
        name);
}

// Parses the interval of a uniform time axis; 0 when it is not whole, positive minutes.
std::int32_t UniformInterval(const std::vector<double>& times) {
  if (times.size() < 2) return 0;
  const double step = times[1] - times[0];
  if (!(step >= 1.0) || step != std::floor(step) || step > 1.0e9) return 0;
  for (std::size_t t = 1; t < times.size(); ++t)
    if (times[t] - times[t - 1] != step) return 0;
  return static_cast<std::int32_t>(step);
}

}  // namespace

namespace {

// What a read of a network file takes.
enum class NetworkRead { kWhole, kLinks, kPart };

// The span [lo, hi) of a flat array that the ranges [start, start + count) within
// [0, points) cover; empty when none does.
template <class Start, class Count>
std::pair<std::size_t, std::size_t> Span(const std::vector<Start>& start,
                                         const std::vector<Count>& count, std::size_t points) {
  std::size_t lo = points, hi = 0;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (start[i] < 0 || count[i] <= 0) continue;
    const auto a = static_cast<std::size_t>(start[i]), b = a + static_cast<std::size_t>(count[i]);
    if (b > points) continue;
    lo = std::min(lo, a), hi = std::max(hi, b);
  }
  return lo < hi ? std::pair{lo, hi} : std::pair{std::size_t{0}, std::size_t{0}};
}

Network ReadNetworkFile(const std::string& path, NetworkRead what, std::size_t first,
                        std::size_t count) {
  const File f(path, false);
  const std::size_t reaches = f.DimLength("reach", true);
  if (what != NetworkRead::kPart) first = 0, count = reaches;
  if (first > reaches || count > reaches - first)
    throw FileError(path + ": reaches " + std::to_string(first) + " to " +
                    std::to_string(first + count) + " beyond the file's " +
                    std::to_string(reaches));
  const std::size_t n = count;
  const bool all = what != NetworkRead::kLinks;
  const std::size_t m = all ? n : 0;  // parameters read for m reaches
  const std::size_t tablePoints = f.DimLength("table_point", false);
  const std::size_t sectionPoints = f.DimLength("section_point", false);
  Network net;
  const auto ids = ReadIds(f, "reach_id", n, true, first);
  const auto to = ReadIds(f, "to_id", n, true, first);
  const auto method = ReadInts(f, "method", n, true, first);
  const auto steps = ReadInts(f, "stepCount", n, false, first);
  const auto length = ReadDoubles(f, "reachLength", n, false, first);
  auto tableStart = ReadInts(f, "table_start", m, false, first);
  const auto tableCount = ReadInts(f, "table_count", m, false, first);
  auto sectionStart = ReadInts(f, "section_start", m, false, first);
  const auto k = ReadDoubles(f, "muskingumK", m, false, first);
  const auto x = ReadDoubles(f, "muskingumX", m, false, first);
  const auto lossElevation = ReadDoubles(f, "lossElevation", m, false, first);
  const auto lossRate = ReadDoubles(f, "lossRate", m, false, first);
  const auto slope = ReadDoubles(f, "channelSlope", m, false, first);
  const auto manning = ReadDoubles(f, "manningN", m, false, first);
  const auto left = ReadDoubles(f, "leftOverbankManningN", m, false, first);
  const auto right = ReadDoubles(f, "rightOverbankManningN", m, false, first);
  const auto width = ReadDoubles(f, "bottomWidth", m, false, first);
  const auto side = ReadDoubles(f, "sideSlope", m, false, first);
  std::vector<char> shapes(m * kShapeChars, ' ');
  std::size_t shapeChars = f.DimLength("shape_char", false);
  if (const int v = f.VarId("sectionShape", false); v >= 0 && shapeChars > 0 && m > 0) {
    shapes.assign(m * shapeChars, ' ');
    const std::size_t start[2] = {first, 0}, extent[2] = {m, shapeChars};
    Check(nc_get_vara_text(f.id, v, start, extent, shapes.data()), path, "sectionShape");
  } else {
    shapeChars = kShapeChars;
  }
  // The Puls tables and sections: whole, or the span the part's reaches use, their starts
  // then counted from the span's first point (a start outside the arrays stays as it is, and
  // outside the span).
  std::pair<std::size_t, std::size_t> tables{0, what == NetworkRead::kWhole ? tablePoints : 0};
  std::pair<std::size_t, std::size_t> sections{0,
                                               what == NetworkRead::kWhole ? sectionPoints : 0};
  if (what == NetworkRead::kPart) {
    // Only the reaches whose method uses them.
    std::vector<std::int32_t> tableUse(m, 0), sectionUse(m, 0);
    for (std::size_t i = 0; i < m; ++i) {
      const auto use = static_cast<Method>(method[i]);
      if (use == Method::kPuls || use == Method::kPulsWithLoss) tableUse[i] = tableCount[i];
      if (use == Method::kMuskingumCunge8Point) sectionUse[i] = kSectionPoints;
    }
    tables = Span(tableStart, tableUse, tablePoints);
    sections = Span(sectionStart, sectionUse, sectionPoints);
    for (std::size_t i = 0; i < m; ++i) {
      const auto shift = [](std::int32_t& start, std::int32_t points,
                            std::pair<std::size_t, std::size_t> span) {
        if (start >= 0 && points > 0 && static_cast<std::size_t>(start) >= span.first &&
            static_cast<std::size_t>(start) + static_cast<std::size_t>(points) <= span.second)
          start -= static_cast<std::int32_t>(span.first);
      };
      shift(tableStart[i], tableUse[i], tables);
      shift(sectionStart[i], sectionUse[i], sections);
    }
  }
  const std::size_t tableN = tables.second - tables.first;
  const std::size_t sectionN = sections.second - sections.first;
  net.storageTable = ReadDoubles(f, "storageTable", tableN, false, tables.first);
  net.outflowTable = ReadDoubles(f, "outflowTable", tableN, false, tables.first);
  net.elevationTable = ReadDoubles(f, "elevationTable", tableN, false, tables.first);
  net.sectionStations = ReadDoubles(f, "stations", sectionN, false, sections.first);
  net.sectionElevations = ReadDoubles(f, "elevations", sectionN, false, sections.first);

  net.reaches.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    Reach& r = net.reaches[i];
    r.id = ids[i];
    r.toId = to[i];
    r.method = static_cast<Method>(method[i]);
    r.stepCount = steps[i];
    r.reachLength = length[i];
    if (!all) continue;
    r.muskingumK = k[i];
    r.muskingumX = x[i];
    r.tableStart = tableStart[i];
    r.tableCount = tableCount[i];
    r.lossElevation = lossElevation[i];
    r.lossRate = lossRate[i];
    r.channelSlope = slope[i];
    r.manningN = manning[i];
    r.leftOverbankManningN = left[i];
    r.rightOverbankManningN = right[i];
    r.bottomWidth = width[i];
    r.sideSlope = side[i];
    r.sectionStart = sectionStart[i];
    std::string shape(shapes.data() + i * shapeChars, shapeChars);
    shape = shape.substr(0, shape.find_first_of(std::string(" \0", 2)));
    r.circle = shape == "CIRCLE";
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

void WriteNetwork(const std::string& path, const Network& net) {
  File f(path, true);
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

ForcingReader::ForcingReader(const std::string& path) : path_(path) {
  File f(path, false);
  const std::size_t times = f.DimLength("time", true);
  const std::size_t reaches = f.DimLength("reach", true);
  const std::size_t boundaries = f.DimLength("boundary", false);
  layout_.timeCount = static_cast<std::int64_t>(times);
  const int vTime = f.VarId("time", true);
  layout_.timeUnits = f.TextAttribute(vTime, "units");
  const std::vector<double> t = ReadDoubles(f, "time", times, true);
  layout_.firstTimeMinutes = times ? t[0] : 0.0;
  layout_.intervalMinutes = UniformInterval(t);
  layout_.reachIds = ReadIds(f, "reach_id", reaches, true);
  lateralVar_ = f.VarId("lateral_inflow", true);
  lateralMarkers_ = Markers(f.id, lateralVar_);
  if (boundaries > 0) {
    layout_.boundaryReachIds = ReadIds(f, "boundary_reach_id", boundaries, true);
    boundaryVar_ = f.VarId("boundary_inflow", true);
    boundaryMarkers_ = Markers(f.id, boundaryVar_);
  }
  id_ = f.id;
  f.id = -1;  // kept open
}

ForcingReader::~ForcingReader() {
  if (id_ >= 0) nc_close(id_);
}

std::vector<double> ForcingReader::ReadTimes() {
  File f(path_, false);
  return ReadDoubles(f, "time", static_cast<std::size_t>(layout_.timeCount), true);
}

void ForcingReader::ReadLateral(std::int64_t first, std::int64_t count,
                                std::vector<double>& values) {
  values.resize(static_cast<std::size_t>(layout_.timeCount * count));
  if (values.empty()) return;
  const std::size_t start[2] = {0, static_cast<std::size_t>(first)};
  const std::size_t extent[2] = {static_cast<std::size_t>(layout_.timeCount),
                                 static_cast<std::size_t>(count)};
  Check(nc_get_vara_double(id_, lateralVar_, start, extent, values.data()), path_,
        "lateral_inflow");
  MarkUndefined(lateralMarkers_, values.data(), values.size());
}

void ForcingReader::ReadBoundary(std::int64_t boundary, std::vector<double>& values) {
  values.resize(static_cast<std::size_t>(layout_.timeCount));
  const std::size_t start[2] = {0, static_cast<std::size_t>(boundary)};
  const std::size_t extent[2] = {static_cast<std::size_t>(layout_.timeCount), 1};
  Check(nc_get_vara_double(id_, boundaryVar_, start, extent, values.data()), path_,
        "boundary_inflow");
  MarkUndefined(boundaryMarkers_, values.data(), values.size());
}

void WriteForcing(
    const std::string& path, const ForcingLayout& layout, std::span<const double> times,
    const std::function<void(std::int64_t, std::int64_t, std::vector<double>&)>& lateralBlock,
    std::span<const double> boundary) {
  File f(path, true);
  const std::size_t nt = times.size(), nr = layout.reachIds.size(),
                    nb = layout.boundaryReachIds.size();
  const int time = f.Dim("time", nt);
  const int reach = f.Dim("reach", nr);
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Forcing for tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {time}, layout.timeUnits.c_str(), "time");
  f.Text(vTime, "standard_name", "time");
  f.Text(vTime, "calendar", "standard");
  const int vId = f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  const int vLat = f.Var("lateral_inflow", NC_DOUBLE, {time, reach}, "m3 s-1",
                         "lateral inflow over the whole reach");
  const std::size_t chunk[2] = {nt, std::min<std::size_t>(nr, kChunkReaches)};
  if (nt && nr) Check(nc_def_var_chunking(f.id, vLat, NC_CHUNKED, chunk), path, "chunking");
  int vB = -1, vBid = -1;
  if (nb) {
    const int b = f.Dim("boundary", nb);
    vBid = f.Var("boundary_reach_id", NC_INT64, {b}, nullptr, "reach receiving the boundary inflow");
    vB = f.Var("boundary_inflow", NC_DOUBLE, {time, b}, "m3 s-1", "upstream boundary inflow");
  }
  f.EndDefine();
  if (nt) Check(nc_put_var_double(f.id, vTime, times.data()), path, "time");
  PutIds(f, vId, layout.reachIds, "reach_id");
  std::vector<double> block;
  for (std::size_t first = 0; nt && first < nr; first += kChunkReaches) {
    const std::size_t count = std::min(kChunkReaches, nr - first);
    lateralBlock(static_cast<std::int64_t>(first), static_cast<std::int64_t>(count), block);
    const std::size_t start[2] = {0, first}, extent[2] = {nt, count};
    Check(nc_put_vara_double(f.id, vLat, start, extent, block.data()), path, "lateral_inflow");
  }
  if (nb) {
    PutIds(f, vBid, layout.boundaryReachIds, "boundary_reach_id");
    if (nt) Check(nc_put_var_double(f.id, vB, boundary.data()), path, "boundary_inflow");
  }
  f.Close();
}

ResultsWriter::ResultsWriter(const std::string& path, std::span<const double> times,
                             const std::string& timeUnits, std::int64_t reachCount,
                             std::int64_t chunkReaches)
    : path_(path), times_(static_cast<std::int64_t>(times.size())) {
  File f(path, true);
  const std::size_t nt = times.size(), nr = static_cast<std::size_t>(reachCount);
  const int time = f.Dim("time", nt);
  const int reach = f.Dim("reach", nr);
  const int chars = f.Dim("message_char", kMessageChars);
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Results of tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {time}, timeUnits.c_str(), "time");
  f.Text(vTime, "standard_name", "time");
  f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  outflowVar_ = f.Var("outflow", NC_DOUBLE, {time, reach}, "m3 s-1", "outflow of the reach");
  const std::size_t chunk[2] = {std::max<std::size_t>(nt, 1),
                                std::max<std::size_t>(1, std::min<std::size_t>(nr, chunkReaches))};
  if (nt && nr) Check(nc_def_var_chunking(f.id, outflowVar_, NC_CHUNKED, chunk), path, "chunking");
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
  f.Var("courant_min", NC_DOUBLE, {reach}, "1", "smallest Courant number ck dt / dx");
  f.Var("courant_max", NC_DOUBLE, {reach}, "1", "largest Courant number ck dt / dx");
  f.Var("reynolds_min", NC_DOUBLE, {reach}, "1",
        "smallest cell Reynolds number Q / (S T ck dx)");
  f.Var("reynolds_max", NC_DOUBLE, {reach}, "1", "largest cell Reynolds number Q / (S T ck dx)");
  f.EndDefine();
  if (nt) Check(nc_put_var_double(f.id, vTime, times.data()), path, "time");
  id_ = f.id;
  f.id = -1;
}

ResultsWriter::~ResultsWriter() {
  if (id_ >= 0) nc_close(id_);
}

void ResultsWriter::WriteBlock(std::int64_t first, std::span<const ReachId> ids,
                               std::span<const double> outflows,
                               std::span<const ReachOutcome> outcomes,
                               std::span<const std::uint8_t> upstreamFailed) {
  const std::size_t n = ids.size();
  if (n == 0) return;
  const std::size_t start[2] = {0, static_cast<std::size_t>(first)};
  const std::size_t extent[2] = {static_cast<std::size_t>(times_), n};
  const auto var = [&](const char* name) {
    int v = -1;
    Check(nc_inq_varid(id_, name, &v), path_, name);
    return v;
  };
  Check(nc_put_vara_longlong(id_, var("reach_id"), start + 1, extent + 1,
                            reinterpret_cast<const long long*>(ids.data())),
        path_, "reach_id");
  if (times_)
    Check(nc_put_vara_double(id_, outflowVar_, start, extent, outflows.data()), path_, "outflow");
  std::vector<std::int32_t> ints(n);
  std::vector<double> reals(n);
  const auto putInt = [&](const char* name, auto get) {
    for (std::size_t i = 0; i < n; ++i) ints[i] = get(i);
    Check(nc_put_vara_int(id_, var(name), start + 1, extent + 1, ints.data()), path_, name);
  };
  const auto putReal = [&](const char* name, double ReachOutcome::*field) {
    for (std::size_t i = 0; i < n; ++i) reals[i] = outcomes[i].*field;
    Check(nc_put_vara_double(id_, var(name), start + 1, extent + 1, reals.data()), path_, name);
  };
  putInt("status_routine", [&](std::size_t i) { return outcomes[i].routine; });
  putInt("status_message", [&](std::size_t i) { return outcomes[i].messageNumber; });
  putInt("status_severity", [&](std::size_t i) { return outcomes[i].severity; });
  putInt("upstream_failed", [&](std::size_t i) { return std::int32_t{upstreamFailed[i]}; });
  putInt("subreach_count", [&](std::size_t i) { return outcomes[i].subreachCount; });
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
  Check(nc_redef(id_), path_, "summary");
  for (const auto& [name, value] : summary)
    Check(nc_put_att_double(id_, NC_GLOBAL, name.c_str(), NC_DOUBLE, 1, &value), path_, name);
  Check(nc_enddef(id_), path_, "summary");
  const int id = id_;
  id_ = -1;
  Check(nc_close(id), path_, "cannot close");
}

void WriteRestart(const std::string& path, const RestartData& r) {
  File f(path, true);
  const std::size_t n = r.reachIds.size();
  const int reach = f.Dim("reach", n);
  const int value = f.Dim("state_value", std::max<std::size_t>(r.states.size(), 1));
  f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.Text(NC_GLOBAL, "title", "Restart of tovalin-route");
  const int vTime = f.Var("time", NC_DOUBLE, {}, r.timeUnits.c_str(), "time of the states");
  const int vInterval = f.Var("interval", NC_INT, {}, "min", "interval of the run");
  const int vId = f.Var("reach_id", NC_INT64, {reach}, nullptr, "reach identifier");
  const int vMethod = f.Var("method", NC_INT, {reach}, nullptr, "routing method");
  f.Text(vMethod, "flag_meanings", kMethodMeanings);
  const int vStart = f.Var("state_start", NC_INT, {reach}, "1", "first state of the reach");
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
  Check(nc_put_var_double(f.id, vTime, &r.timeMinutes), path, "time");
  Check(nc_put_var_int(f.id, vInterval, &r.intervalMinutes), path, "interval");
  if (n) {
    std::vector<std::int32_t> starts(r.stateStart.begin(), r.stateStart.end());
    PutIds(f, vId, r.reachIds, "reach_id");
    Check(nc_put_var_int(f.id, vMethod, r.methods.data()), path, "method");
    Check(nc_put_var_int(f.id, vStart, starts.data()), path, "state_start");
    Check(nc_put_var_int(f.id, vCount, r.stateCount.data()), path, "state_count");
    Check(nc_put_var_double(f.id, vLast, r.lastInflow.data()), path, "last_inflow");
    Check(nc_put_var_double(f.id, vDt, r.computationInterval.data()), path, "computation_interval");
    Check(nc_put_var_int(f.id, vNsub, r.subreachCount.data()), path, "subreach_count");
  }
  if (!r.states.empty()) Check(nc_put_var_double(f.id, vStates, r.states.data()), path, "state");
  f.Close();
}

RestartData ReadRestart(const std::string& path,
                        const std::function<bool(ReachId reachId)>& wanted) {
  const File f(path, false);
  RestartData r;
  const std::size_t n = f.DimLength("reach", true);
  const std::size_t values = f.DimLength("state_value", true);
  const int vTime = f.VarId("time", true);
  r.timeUnits = f.TextAttribute(vTime, "units");
  Check(nc_get_var_double(f.id, vTime, &r.timeMinutes), path, "time");
  Check(nc_get_var_int(f.id, f.VarId("interval", true), &r.intervalMinutes), path, "interval");
  r.reachIds = ReadIds(f, "reach_id", n, true);
  r.methods = ReadInts(f, "method", n, true);
  const auto starts = ReadInts(f, "state_start", n, true);
  r.stateStart.assign(starts.begin(), starts.end());
  r.stateCount = ReadInts(f, "state_count", n, true);
  r.lastInflow = ReadDoubles(f, "last_inflow", n, true);
  r.computationInterval = ReadDoubles(f, "computation_interval", n, true);
  r.subreachCount = ReadInts(f, "subreach_count", n, true);
  for (std::size_t i = 0; i < n; ++i)
    if (r.stateStart[i] < 0 || r.stateCount[i] < 0 ||
        static_cast<std::size_t>(r.stateStart[i]) + r.stateCount[i] > values)
      throw FileError(path + ": states of reach " + std::to_string(r.reachIds[i]) +
                      " lie outside the state array");
  if (!wanted) {
    r.states = ReadDoubles(f, "state", values, true);
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
  r.states = ReadDoubles(f, "state", hi - lo, true, lo);
  return r;
}

}  // namespace tovalin::network
