// Typed reading of netCDF variables (see netcdf_values.h). Every value is read in the
// variable's own type and compared with its missing-value markers in that type; only then is
// it unpacked into a double or converted into a 64-bit integer, so that no value is rounded
// before it is judged and no buffer is filled with a value of another type's width.
#include "network/netcdf_values.h"

#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include "tovalin/result.hpp"

namespace tovalin::network {
namespace {

// Markers and values compared exactly whatever the type: a long double holds every 64-bit
// integer and every double exactly.
static_assert(std::numeric_limits<long double>::digits >= 64);
using Wide = long double;

constexpr std::size_t kNamedValues = 10;
constexpr double kTwoTo63 = 9223372036854775808.0;
// Instants farther than this from the epoch, in minutes, are refused (doubles stay exact).
constexpr double kLargestMinutes = 4503599627370496.0;  // 2^52
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerDay = 86400;

void Check(int status, const std::string& path, const std::string& what) {
  if (status != NC_NOERR) throw FileError(path + ": " + what + ": " + nc_strerror(status));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// Calls f with a value of the C type that holds the variable's values.
template <class F>
decltype(auto) WithType(const Variable& v, F&& f) {
  switch (v.type) {
    case NC_BYTE:
      return v.isUnsigned ? f(std::uint8_t{}) : f(std::int8_t{});
    case NC_UBYTE:
      return f(std::uint8_t{});
    case NC_SHORT:
      return v.isUnsigned ? f(std::uint16_t{}) : f(std::int16_t{});
    case NC_USHORT:
      return f(std::uint16_t{});
    case NC_INT:
      return v.isUnsigned ? f(std::uint32_t{}) : f(std::int32_t{});
    case NC_UINT:
      return f(std::uint32_t{});
    case NC_INT64:
      return v.isUnsigned ? f(std::uint64_t{}) : f(std::int64_t{});
    case NC_UINT64:
      return f(std::uint64_t{});
    case NC_FLOAT:
      return f(float{});
    case NC_DOUBLE:
      return f(double{});
    default:
      throw FileError(v.path + ": variable '" + v.name + "' is not numeric");
  }
}

// The default fill value of the type (NC_FILL_*), nullopt for 8-bit types, whose default fill
// values are common data.
template <class T>
std::optional<T> DefaultFill() {
  if constexpr (std::is_same_v<T, std::int16_t>) return NC_FILL_SHORT;
  if constexpr (std::is_same_v<T, std::uint16_t>) return NC_FILL_USHORT;
  if constexpr (std::is_same_v<T, std::int32_t>) return NC_FILL_INT;
  if constexpr (std::is_same_v<T, std::uint32_t>) return NC_FILL_UINT;
  if constexpr (std::is_same_v<T, std::int64_t>) return NC_FILL_INT64;
  if constexpr (std::is_same_v<T, std::uint64_t>) return NC_FILL_UINT64;
  if constexpr (std::is_same_v<T, float>) return NC_FILL_FLOAT;
  if constexpr (std::is_same_v<T, double>) return NC_FILL_DOUBLE;
  return std::nullopt;
}

// The values of a numeric attribute, exactly; empty when absent or not numeric. An attribute
// of the signed type of an `_Unsigned` variable's width is taken as unsigned too.
std::vector<Wide> NumericAttribute(const Variable& v, const char* name) {
  nc_type type = NC_NAT;
  std::size_t length = 0;
  if (nc_inq_att(v.file, v.id, name, &type, &length) != NC_NOERR || length == 0) return {};
  std::vector<Wide> values(length);
  const auto get = [&](auto sample) {
    using A = decltype(sample);
    std::vector<A> raw(length);
    Check(nc_get_att(v.file, v.id, name, raw.data()), v.path, v.name + ":" + name);
    for (std::size_t i = 0; i < length; ++i) values[i] = static_cast<Wide>(raw[i]);
  };
  const bool u = v.isUnsigned && v.type == type;
  switch (type) {
    case NC_BYTE: u ? get(std::uint8_t{}) : get(std::int8_t{}); break;
    case NC_UBYTE: get(std::uint8_t{}); break;
    case NC_SHORT: u ? get(std::uint16_t{}) : get(std::int16_t{}); break;
    case NC_USHORT: get(std::uint16_t{}); break;
    case NC_INT: u ? get(std::uint32_t{}) : get(std::int32_t{}); break;
    case NC_UINT: get(std::uint32_t{}); break;
    case NC_INT64: u ? get(std::uint64_t{}) : get(std::int64_t{}); break;
    case NC_UINT64: get(std::uint64_t{}); break;
    case NC_FLOAT: get(float{}); break;
    case NC_DOUBLE: get(double{}); break;
    default: return {};
  }
  return values;
}

// A marker taken into the variable's type T: integral and in range for an integer type,
// rounded to the nearest float for float; nullopt when no value of T can equal it.
template <class T>
std::optional<Wide> InType(Wide marker) {
  if (std::isnan(marker)) return std::nullopt;
  if constexpr (std::is_integral_v<T>) {
    if (marker != std::trunc(marker) || marker < static_cast<Wide>(std::numeric_limits<T>::min()) ||
        marker > static_cast<Wide>(std::numeric_limits<T>::max()))
      return std::nullopt;
    return marker;
  } else {
    constexpr Wide largest = std::numeric_limits<T>::max();
    if (marker > largest) return std::numeric_limits<Wide>::infinity();
    if (marker < -largest) return -std::numeric_limits<Wide>::infinity();
    return static_cast<Wide>(static_cast<T>(marker));
  }
}

// What marks a missing value of a variable, in its type T, and how its values unpack.
// Markers are compared as doubles, which hold every value of T exactly, except for 64-bit
// integers, compared as long doubles.
template <class T>
struct Encoding {
  using Compare = std::conditional_t<std::is_integral_v<T> && sizeof(T) == 8, Wide, double>;
  std::vector<Compare> missing;  // _FillValue (or the default fill) and missing_value
  Compare lowest = -std::numeric_limits<Compare>::infinity();
  Compare highest = std::numeric_limits<Compare>::infinity();
  bool packed = false;
  double scale = 1.0, offset = 0.0;
  bool hasScale = false, hasOffset = false;

  explicit Encoding(const Variable& v) {
    const std::vector<Wide> fill = NumericAttribute(v, "_FillValue");
    if (!fill.empty()) {
      if (auto m = InType<T>(fill[0])) missing.push_back(static_cast<Compare>(*m));
    } else if (const std::optional<T> d = DefaultFill<T>()) {
      missing.push_back(static_cast<Compare>(*d));
    }
    for (Wide m : NumericAttribute(v, "missing_value"))
      if (auto t = InType<T>(m)) missing.push_back(static_cast<Compare>(*t));
    Wide low = -std::numeric_limits<Wide>::infinity(), high = std::numeric_limits<Wide>::infinity();
    const std::vector<Wide> range = NumericAttribute(v, "valid_range");
    if (range.size() == 2) {
      low = range[0], high = range[1];
    } else {
      if (const auto l = NumericAttribute(v, "valid_min"); l.size() == 1) low = l[0];
      if (const auto h = NumericAttribute(v, "valid_max"); h.size() == 1) high = h[0];
    }
    if constexpr (std::is_floating_point_v<T>) {
      if (auto l = InType<T>(low)) low = *l;
      if (auto h = InType<T>(high)) high = *h;
    } else if constexpr (!std::is_same_v<Compare, Wide>) {
      // A bound of an integer type compares as the nearest whole value inside it, which a
      // double holds exactly.
      low = std::max<Wide>(std::ceil(low), std::numeric_limits<T>::min() - Wide{1});
      high = std::min<Wide>(std::floor(high), std::numeric_limits<T>::max() + Wide{1});
    }
    if (!std::isnan(low)) lowest = static_cast<Compare>(low);
    if (!std::isnan(high)) highest = static_cast<Compare>(high);
    hasScale = Packing(v, "scale_factor", scale);
    hasOffset = Packing(v, "add_offset", offset);
    packed = hasScale || hasOffset;
    Arrange();
  }

  static bool Packing(const Variable& v, const char* name, double& value) {
    nc_type type = NC_NAT;
    std::size_t length = 0;
    if (nc_inq_att(v.file, v.id, name, &type, &length) != NC_NOERR) return false;
    if (length != 1 || type == NC_CHAR || type == NC_STRING)
      throw FileError(v.path + ": " + v.name + ":" + name + " is not one number");
    Check(nc_get_att_double(v.file, v.id, name, &value), v.path, v.name + ":" + name);
    return true;
  }

  // The first two markers (NaN where there are fewer: equal to nothing), the rest in
  // `missing`, so that the usual test is a few comparisons without a branch.
  Compare first = std::numeric_limits<Compare>::quiet_NaN(), second = first;
  void Arrange() {
    if (!missing.empty()) first = missing[0];
    if (missing.size() > 1) second = missing[1];
    missing.erase(missing.begin(), missing.begin() + std::min<std::size_t>(missing.size(), 2));
  }

  bool Missing(T raw) const {
    const auto w = static_cast<Compare>(raw);
    bool miss = std::isnan(w) | (w < lowest) | (w > highest) | (w == first) | (w == second);
    for (Compare m : missing) miss |= w == m;
    return miss;
  }

  // packed × scale_factor + add_offset, either absent.
  double Unpack(T raw) const {
    double value = static_cast<double>(raw);
    if (hasScale) value = value * scale;
    if (hasOffset) value = value + offset;
    return value;
  }
};

// The whole slab of a variable, checked against its shape.
Slab Checked(const Variable& v, const Slab& slab, std::size_t& count) {
  Slab s = slab;
  if (s.start.empty() && s.count.empty()) {
    s.start.assign(v.shape.size(), 0);
    s.count = v.shape;
  }
  if (s.start.size() != v.shape.size() || s.count.size() != v.shape.size())
    throw FileError(v.path + ": " + v.name + " has " + std::to_string(v.shape.size()) +
                    " dimensions, not " + std::to_string(s.start.size()));
  count = 1;
  for (std::size_t d = 0; d < v.shape.size(); ++d) {
    if (s.start[d] > v.shape[d] || s.count[d] > v.shape[d] - s.start[d])
      throw FileError(v.path + ": " + v.name + ": values " + std::to_string(s.start[d]) + " to " +
                      std::to_string(s.start[d] + s.count[d]) + " of dimension " +
                      v.dimensions[d] + " lie beyond its " + std::to_string(v.shape[d]));
    count *= s.count[d];
  }
  return s;
}

// The raw values of a slab in the variable's type T (checked slab, count values).
template <class T>
void ReadRaw(const Variable& v, const Slab& s, std::size_t count, T* into) {
  if (count == 0) return;
  if (v.shape.empty())
    Check(nc_get_var(v.file, v.id, into), v.path, v.name);
  else
    Check(nc_get_vara(v.file, v.id, s.start.data(), s.count.data(), into), v.path, v.name);
}

// "position P" along one dimension, "[i, j]" along several, of value `index` of a slab.
std::string Position(const Slab& s, std::size_t index) {
  if (s.count.empty()) return "the value";
  std::vector<std::size_t> at(s.count.size());
  for (std::size_t d = s.count.size(); d-- > 0;) {
    at[d] = s.start[d] + (s.count[d] ? index % s.count[d] : 0);
    if (s.count[d]) index /= s.count[d];
  }
  if (at.size() == 1) return "position " + std::to_string(at[0]);
  std::string text = "[";
  for (std::size_t d = 0; d < at.size(); ++d) text += (d ? ", " : "") + std::to_string(at[d]);
  return text + "]";
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// Collects the values of one kind of refusal and words them.
class Refused {
 public:
  explicit Refused(const char* what) : what_(what) {}
  void Add(std::string where) {
    if (named_.size() < kNamedValues) named_.push_back(std::move(where));
    ++count_;
  }
  void AppendTo(std::string& text) const {
    if (count_ == 0) return;
    text += (text.empty() ? "" : "; ") + std::string(what_) + " at ";
    for (std::size_t i = 0; i < named_.size(); ++i) text += (i ? ", " : "") + named_[i];
    if (count_ > named_.size()) text += " and " + std::to_string(count_ - named_.size()) + " more";
  }

 private:
  const char* what_;
  std::vector<std::string> named_;
  std::size_t count_ = 0;
};

// The calendar of an axis: the mixed Julian-Gregorian one or the proleptic Gregorian one.
enum class Calendar { kMixed, kProleptic };

Calendar ParseCalendar(const std::string& name) {
  const std::string c = Lower(Trim(name));
  if (c.empty() || c == "standard" || c == "gregorian") return Calendar::kMixed;
  if (c == "proleptic_gregorian") return Calendar::kProleptic;
  throw ValueError("calendar '" + name +
                   "' is not standard, gregorian or proleptic_gregorian");
}

// Days from 1970-01-01 of a Julian calendar date (year > 0), by the Julian day number.
std::int64_t JulianDays(std::int64_t y, std::int64_t m, std::int64_t d) {
  const std::int64_t a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
  const std::int64_t julianDayNumber = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - 32083;
  constexpr std::int64_t kJulianDayOf1970 = 2440588;
  return julianDayNumber - kJulianDayOf1970;
}

// Reads an unsigned number of 1 to maxDigits digits at `at`; false when there is none.
bool Digits(std::string_view text, std::size_t& at, std::size_t maxDigits, std::int64_t& value) {
  std::size_t n = 0;
  value = 0;
  while (at < text.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(text[at])))
    value = value * 10 + (text[at++] - '0'), ++n;
  return n > 0;
}

// Seconds since 1970-01-01 00:00 UTC of an epoch text.
std::int64_t ParseEpoch(std::string_view text, Calendar calendar) {
  const auto bad = [&](const char* why) {
    return ValueError("epoch '" + std::string(text) + "' " + why);
  };
  std::size_t at = 0;
  std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Digits(text, at, 4, year) || at >= text.size() || text[at++] != '-' ||
      !Digits(text, at, 2, month) || at >= text.size() || text[at++] != '-' ||
      !Digits(text, at, 2, day))
    throw bad("is not a date Y-M-D");
  if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
    std::size_t next = at + 1;
    while (next < text.size() && text[next] == ' ') ++next;
    std::size_t probe = next;
    std::int64_t h = 0;
    if (Digits(text, probe, 2, h) && probe < text.size() && text[probe] == ':') {
      at = probe + 1;
      hour = h;
      if (!Digits(text, at, 2, minute)) throw bad("has no minutes");
      if (at < text.size() && text[at] == ':') {
        ++at;
        if (!Digits(text, at, 2, second)) throw bad("has no seconds");
        if (at < text.size() && text[at] == '.') {
          ++at;
          while (at < text.size() && text[at] == '0') ++at;
          if (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
            throw bad("is not on a whole second");
        }
      }
    } else if (text[at] == 'T') {
      throw bad("has no time after T");
    }
  }
  // The zone: Z, UTC, GMT or an offset ±h[h][[:]mm], after optional blanks.
  std::int64_t offsetMinutes = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  const std::string zone = Lower(std::string(text.substr(at)));
  if (zone == "z" || zone == "utc" || zone == "gmt") {
    at = text.size();
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    const int sign = text[at++] == '-' ? -1 : 1;
    std::int64_t hh = 0, mm = 0;
    const std::size_t from = at;
    if (!Digits(text, at, 2, hh)) throw bad("has a zone offset without hours");
    if (at < text.size() && text[at] == ':') {
      ++at;
      if (!Digits(text, at, 2, mm)) throw bad("has a zone offset without minutes");
    } else if (at - from == 2 && at < text.size()) {
      if (!Digits(text, at, 2, mm)) throw bad("has an unreadable zone offset");
    }
    if (hh > 23 || mm > 59) throw bad("has a zone offset out of range");
    offsetMinutes = sign * (hh * 60 + mm);
  }
  while (at < text.size() && text[at] == ' ') ++at;
  if (at != text.size()) throw bad("has unreadable text after the date");
  if (year < 1 || month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
    throw bad("is not a valid date and time");
  namespace chrono = std::chrono;
  const chrono::year_month_day date{chrono::year(static_cast<int>(year)),
                                    chrono::month(static_cast<unsigned>(month)),
                                    chrono::day(static_cast<unsigned>(day))};
  // The mixed calendar is Julian up to 1582-10-04 and Gregorian from 1582-10-15.
  const bool julian = calendar == Calendar::kMixed &&
                      date < chrono::year_month_day{chrono::year(1582), chrono::October,
                                                    chrono::day(15)};
  std::int64_t days = 0;
  if (julian) {
    if (date > chrono::year_month_day{chrono::year(1582), chrono::October, chrono::day(4)})
      throw bad("falls in the days the standard calendar skips (1582-10-05 to 1582-10-14)");
    const bool leap = year % 4 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) throw bad("is not a valid date");
    days = JulianDays(year, month, day);
  } else {
    if (!date.ok()) throw bad("is not a valid date");
    days = chrono::sys_days(date).time_since_epoch().count();
  }
  return days * kSecondsPerDay + hour * kSecondsPerHour + minute * kSecondsPerMinute + second -
         offsetMinutes * kSecondsPerMinute;
}

}  // namespace

NetcdfLock::NetcdfLock() {
  static std::recursive_mutex library;
  lock_ = std::unique_lock(library);
}

std::size_t Variable::size() const noexcept {
  std::size_t n = 1;
  for (std::size_t d : shape) n *= d;
  return n;
}

std::string Variable::TextAttribute(const std::string& attribute) const {
  const NetcdfLock lock;
  nc_type type = NC_NAT;
  std::size_t length = 0;
  if (nc_inq_att(file, id, attribute.c_str(), &type, &length) != NC_NOERR) return {};
  if (type == NC_CHAR) {
    std::string s(length, '\0');
    if (length) Check(nc_get_att_text(file, id, attribute.c_str(), s.data()), path, attribute);
    if (const auto nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
    return s;
  }
  if (type == NC_STRING && length == 1) {
    char* text = nullptr;
    Check(nc_get_att_string(file, id, attribute.c_str(), &text), path, attribute);
    std::string s = text ? text : "";
    nc_free_string(1, &text);
    return s;
  }
  return {};
}

InputFile::InputFile(const std::string& path) : path_(path) {
  const NetcdfLock lock;
  Check(nc_open(path.c_str(), NC_NOWRITE, &id_), path, "cannot open");
}

InputFile::~InputFile() {
  const NetcdfLock lock;
  if (id_ >= 0) nc_close(id_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : id_(std::exchange(other.id_, -1)), path_(std::move(other.path_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    const NetcdfLock lock;
    if (id_ >= 0) nc_close(id_);
    id_ = std::exchange(other.id_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::optional<std::size_t> InputFile::Dimension(const std::string& name) const {
  const NetcdfLock lock;
  int d = -1;
  if (nc_inq_dimid(id_, name.c_str(), &d) != NC_NOERR) return std::nullopt;
  std::size_t n = 0;
  Check(nc_inq_dimlen(id_, d, &n), path_, "dimension " + name);
  return n;
}

std::optional<Variable> InputFile::Find(const std::string& name) const {
  const NetcdfLock lock;
  Variable v;
  if (nc_inq_varid(id_, name.c_str(), &v.id) != NC_NOERR) return std::nullopt;
  v.file = id_;
  v.name = name;
  v.path = path_;
  nc_type type = NC_NAT;
  int rank = 0;
  Check(nc_inq_var(id_, v.id, nullptr, &type, &rank, nullptr, nullptr), path_, name);
  v.type = type;
  std::vector<int> dims(static_cast<std::size_t>(std::max(rank, 0)));
  Check(nc_inq_vardimid(id_, v.id, dims.data()), path_, name);
  for (int d : dims) {
    char dimName[NC_MAX_NAME + 1] = {};
    std::size_t length = 0;
    Check(nc_inq_dim(id_, d, dimName, &length), path_, name);
    v.shape.push_back(length);
    v.dimensions.emplace_back(dimName);
  }
  if (type == NC_BYTE || type == NC_SHORT || type == NC_INT || type == NC_INT64)
    v.isUnsigned = Lower(Trim(v.TextAttribute("_Unsigned"))) == "true";
  else
    v.isUnsigned = type == NC_UBYTE || type == NC_USHORT || type == NC_UINT || type == NC_UINT64;
  return v;
}

Variable InputFile::Require(const std::string& name) const {
  std::optional<Variable> v = Find(name);
  if (!v) throw FileError(path_ + ": no variable '" + name + "'");
  return std::move(*v);
}

Slab Along(std::size_t first, std::size_t count) { return Slab{{first}, {count}}; }

void ReadReals(const Variable& v, const Slab& slab, std::vector<double>& values) {
  const NetcdfLock lock;
  std::size_t n = 0;
  const Slab s = Checked(v, slab, n);
  WithType(v, [&](auto sample) {
    using T = decltype(sample);
    const Encoding<T> encoding(v);
    values.resize(n);
    if constexpr (std::is_same_v<T, double>) {
      ReadRaw(v, s, n, values.data());
      if (encoding.packed) {
        for (double& x : values) x = encoding.Missing(x) ? kUndefined : encoding.Unpack(x);
      } else {
        for (double& x : values)
          if (encoding.Missing(x)) x = kUndefined;
      }
    } else {
      std::vector<T> raw(n);
      ReadRaw(v, s, n, raw.data());
      for (std::size_t i = 0; i < n; ++i)
        values[i] = encoding.Missing(raw[i]) ? kUndefined : encoding.Unpack(raw[i]);
    }
    // A NaN that unpacking produced is undefined too.
    if (encoding.packed)
      for (double& x : values)
        if (std::isnan(x)) x = kUndefined;
  });
}

std::vector<double> ReadReals(const Variable& v, const Slab& slab) {
  std::vector<double> values;
  ReadReals(v, slab, values);
  return values;
}

std::vector<std::int64_t> ReadIntegers(const Variable& v, const Slab& slab,
                                       const IntegerReading& reading) {
  const NetcdfLock lock;
  std::size_t n = 0;
  const Slab s = Checked(v, slab, n);
  std::vector<std::int64_t> values(n, 0);
  Refused missing("missing"), fraction("not a whole number"),
      beyond("beyond the 64-bit integer range");
  const auto where = [&](std::size_t i, const std::string& value) {
    return (reading.where ? reading.where(i) : Position(s, i)) + " (" + value + ")";
  };
  WithType(v, [&](auto sample) {
    using T = decltype(sample);
    const Encoding<T> encoding(v);
    std::vector<T> raw(n);
    ReadRaw(v, s, n, raw.data());
    for (std::size_t i = 0; i < n; ++i) {
      const T r = raw[i];
      if (encoding.Missing(r)) {
        if (reading.missing)
          values[i] = *reading.missing;
        else
          missing.Add(reading.where ? reading.where(i) : Position(s, i));
        continue;
      }
      if constexpr (std::is_integral_v<T>) {
        if (!encoding.packed) {
          if (static_cast<Wide>(r) > static_cast<Wide>(std::numeric_limits<std::int64_t>::max()))
            beyond.Add(where(i, std::to_string(r)));
          else
            values[i] = static_cast<std::int64_t>(r);
          continue;
        }
      }
      const double x = encoding.Unpack(r);
      if (!std::isfinite(x) || x != std::trunc(x))
        fraction.Add(where(i, Number(x)));
      else if (x < -kTwoTo63 || x >= kTwoTo63)
        beyond.Add(where(i, Number(x)));
      else
        values[i] = static_cast<std::int64_t>(x);
    }
  });
  std::string text;
  missing.AppendTo(text);
  fraction.AppendTo(text);
  beyond.AppendTo(text);
  if (!text.empty()) throw ValueError(v.path + ": " + v.name + ": " + text);
  return values;
}

std::vector<std::string> ReadTexts(const Variable& v, std::size_t first,
                                   std::optional<std::size_t> count) {
  const NetcdfLock lock;
  if (v.type == NC_STRING) {
    if (v.shape.size() != 1)
      throw FileError(v.path + ": " + v.name + " is not a one-dimensional string variable");
    const std::size_t n = count ? *count : (first <= v.shape[0] ? v.shape[0] - first : 0);
    std::size_t total = 0;
    const Slab s = Checked(v, Along(first, n), total);
    std::vector<char*> raw(n, nullptr);
    if (n) Check(nc_get_vara_string(v.file, v.id, s.start.data(), s.count.data(), raw.data()),
                 v.path, v.name);
    std::vector<std::string> texts(n);
    for (std::size_t i = 0; i < n; ++i) texts[i] = Trim(raw[i] ? raw[i] : "");
    if (n) nc_free_string(n, raw.data());
    return texts;
  }
  if (v.type != NC_CHAR || v.shape.size() != 2)
    throw FileError(v.path + ": " + v.name + " is not text (characters by string, or strings)");
  const std::size_t width = v.shape[1];
  const std::size_t n = count ? *count : (first <= v.shape[0] ? v.shape[0] - first : 0);
  std::size_t total = 0;
  const Slab s = Checked(v, Slab{{first, 0}, {n, width}}, total);
  std::vector<char> raw(total);
  if (total) Check(nc_get_vara_text(v.file, v.id, s.start.data(), s.count.data(), raw.data()),
                   v.path, v.name);
  std::vector<std::string> texts(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::string_view one(raw.data() + i * width, width);
    one = one.substr(0, one.find('\0'));
    texts[i] = Trim(one);
  }
  return texts;
}

std::string FormatInstant(Instant instant) {
  namespace chrono = std::chrono;
  const std::int64_t dayMinutes = kSecondsPerDay / kSecondsPerMinute;
  std::int64_t days = instant.minutes / dayMinutes, minutes = instant.minutes % dayMinutes;
  if (minutes < 0) minutes += dayMinutes, --days;
  const chrono::year_month_day date{chrono::sys_days(chrono::days(days))};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld UTC", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long long>(minutes / 60), static_cast<long long>(minutes % 60));
  return text;
}

TimeReference ParseTimeUnits(const TimeUnits& units) {
  const Calendar calendar = ParseCalendar(units.calendar);
  const std::string text = Trim(units.units);
  const std::string lower = Lower(text);
  const std::size_t since = lower.find(" since ");
  if (since == std::string::npos)
    throw ValueError("time units '" + units.units + "' are not '<unit> since <epoch>'");
  const std::string unit = Trim(std::string_view(lower).substr(0, since));
  TimeReference reference;
  if (unit == "seconds" || unit == "second" || unit == "secs" || unit == "sec" || unit == "s")
    reference.unitSeconds = 1;
  else if (unit == "minutes" || unit == "minute" || unit == "mins" || unit == "min")
    reference.unitSeconds = kSecondsPerMinute;
  else if (unit == "hours" || unit == "hour" || unit == "hrs" || unit == "hr" || unit == "h")
    reference.unitSeconds = kSecondsPerHour;
  else if (unit == "days" || unit == "day" || unit == "d")
    reference.unitSeconds = kSecondsPerDay;
  else
    throw ValueError("time unit '" + unit + "' is not seconds, minutes, hours or days");
  try {
    reference.epochSeconds = ParseEpoch(Trim(std::string_view(text).substr(since + 7)), calendar);
  } catch (const ValueError& e) {
    throw ValueError("time units '" + units.units + "': " + e.what());
  }
  return reference;
}

std::optional<Instant> ToInstant(const TimeReference& reference, double value,
                                 TimePrecision precision) {
  if (!std::isfinite(value)) return std::nullopt;
  // The epoch as whole minutes q and seconds e: instant = 60 q + e + value × unit seconds,
  // on a whole minute when (value × unit + e) / 60 is whole.
  std::int64_t q = reference.epochSeconds / kSecondsPerMinute;
  std::int64_t e = reference.epochSeconds % kSecondsPerMinute;
  if (e < 0) e += kSecondsPerMinute, --q;
  const double unit = static_cast<double>(reference.unitSeconds);
  const double minutes = (value * unit + static_cast<double>(e)) / kSecondsPerMinute;
  if (!(std::fabs(minutes) <= kLargestMinutes)) return std::nullopt;
  const double whole = std::round(minutes);
  // The value that stands for that whole minute, and how far the stored one may lie from it.
  const double exact = (whole * kSecondsPerMinute - static_cast<double>(e)) / unit;
  double ulp = 0.0;
  if (precision == TimePrecision::kDouble) {
    ulp = std::nextafter(std::fabs(exact), std::numeric_limits<double>::infinity()) -
          std::fabs(exact);
  } else if (precision == TimePrecision::kFloat) {
    if (std::fabs(exact) > std::numeric_limits<float>::max()) return std::nullopt;
    const float f = std::fabs(static_cast<float>(exact));
    ulp = static_cast<double>(std::nextafter(f, std::numeric_limits<float>::infinity()) - f);
  }
  if (!(std::fabs(value - exact) <= ulp)) return std::nullopt;
  return Instant{q + static_cast<std::int64_t>(whole)};
}

TimeAxis ReadTimeAxis(const Variable& v) {
  const NetcdfLock lock;
  if (v.shape.size() > 1)
    throw FileError(v.path + ": time variable " + v.name + " has more than one dimension");
  TimeAxis axis;
  axis.units.units = v.TextAttribute("units");
  const std::string calendar = v.TextAttribute("calendar");
  axis.units.calendar = calendar.empty() ? "standard" : calendar;
  const auto refuse = [&](const std::string& why) {
    return ValueError(v.path + ": time axis " + v.name + ": " + why);
  };
  TimeReference reference;
  try {
    reference = ParseTimeUnits(axis.units);
  } catch (const ValueError& e) {
    throw refuse(e.what());
  }
  axis.values = ReadReals(v);
  bool packed = false;
  for (const char* name : {"scale_factor", "add_offset"})
    packed = packed || nc_inq_att(v.file, v.id, name, nullptr, nullptr) == NC_NOERR;
  const TimePrecision precision = packed || v.type == NC_DOUBLE ? TimePrecision::kDouble
                                  : v.type == NC_FLOAT          ? TimePrecision::kFloat
                                                                : TimePrecision::kExact;
  Refused missing("missing value"), off("not on a whole minute");
  const Slab whole{std::vector<std::size_t>(v.shape.size(), 0), v.shape};
  for (std::size_t i = 0; i < axis.values.size(); ++i) {
    const double x = axis.values[i];
    const std::optional<Instant> instant =
        x == kUndefined ? std::nullopt : ToInstant(reference, x, precision);
    if (x == kUndefined)
      missing.Add(Position(whole, i));
    else if (!instant)
      off.Add(Position(whole, i) + " (" + Number(x) + ")");
    else
      axis.instants.push_back(*instant);
  }
  std::string text;
  missing.AppendTo(text);
  off.AppendTo(text);
  if (!text.empty()) throw refuse(text);
  return axis;
}

}  // namespace tovalin::network
