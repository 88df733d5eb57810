// Typed reading of netCDF variables, whatever program wrote them: numbers of any netCDF type
// (signed and unsigned 8 to 64 bit, float, double) as doubles with CF packing and missing
// values, integers and identifiers as 64-bit integers (refused when a value is not whole or
// does not fit), text as trimmed strings, and CF time axes as instants in whole minutes.
// netCDF-3 (classic, 64-bit offset, 64-bit data) and netCDF-4 files alike, through the netCDF
// C library, which is not thread-safe: every function here and in netcdf_io.h that calls it
// holds a process-wide lock while it does (NetcdfLock).
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tovalin::network {

// Held by every function that calls the NetCDF library (not thread-safe), so that runs on
// several host threads at once, each touching its files from its own thread, take turns at
// the library. Recursive: a reader calls readers. The one lock of the process, for the one
// library.
class NetcdfLock {
 public:
  NetcdfLock();
  NetcdfLock(const NetcdfLock&) = delete;
  NetcdfLock& operator=(const NetcdfLock&) = delete;

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};

// A file that cannot be opened, read or written, or lacks what it must hold.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Values a file holds that cannot be taken as what they are read as: a fraction or a value
// beyond the 64-bit range in an integer, a missing identifier, a time axis whose units,
// calendar or values cannot be taken. The file was read; its contents are refused. A
// FileError, so that a caller that does not tell the two apart still stops.
class ValueError : public FileError {
 public:
  using FileError::FileError;
};

// A variable of an open file: what reading it needs and what a message names. Valid while
// its InputFile is open.
struct Variable {
  int file = -1;
  int id = -1;
  int type = 0;           // the netCDF type (nc_type)
  bool isUnsigned = false;  // an unsigned type, or a signed one declared `_Unsigned = "true"`
  std::string name;
  std::string path;                     // of the file, for messages
  std::vector<std::size_t> shape;       // dimension lengths, slowest first; empty: a scalar
  std::vector<std::string> dimensions;  // their names

  std::size_t size() const noexcept;  // number of values (1 for a scalar)
  // A text attribute, empty when absent or not text.
  std::string TextAttribute(const std::string& attribute) const;
};

// An open netCDF file, read only; closed when the object goes.
class InputFile {
 public:
  explicit InputFile(const std::string& path);  // FileError when it cannot be opened
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  int id() const noexcept { return id_; }
  const std::string& path() const noexcept { return path_; }
  // Length of a dimension; nullopt when the file has none of that name.
  std::optional<std::size_t> Dimension(const std::string& name) const;
  // A variable of the root group; nullopt when absent.
  std::optional<Variable> Find(const std::string& name) const;
  // The same; FileError naming the variable when absent.
  Variable Require(const std::string& name) const;

 private:
  int id_ = -1;
  std::string path_;
};

// The values read of a variable: a start and a count per dimension. Empty: the whole
// variable. Values come in the file's order, the last dimension fastest.
struct Slab {
  std::vector<std::size_t> start, count;
};
// Values first..first+count-1 of a one-dimensional variable.
Slab Along(std::size_t first, std::size_t count);

// Values of a numeric variable as doubles. Packed values are unpacked as
// packed × scale_factor + add_offset (either may be absent). A value equal to `_FillValue`
// (the type's default fill value where the variable declares none, except for 8-bit types),
// to one of `missing_value`, or outside `valid_range` (else `valid_min`, `valid_max`), each
// compared in the variable's own type before unpacking, and a NaN, reads as kUndefined.
// FileError for a text variable, a slab outside the variable, or packing attributes that are
// not one number each.
void ReadReals(const Variable& variable, const Slab& slab, std::vector<double>& values);
std::vector<double> ReadReals(const Variable& variable, const Slab& slab = {});

// How ReadIntegers takes a missing value (marked as ReadReals marks it).
struct IntegerReading {
  // What a missing value reads as; none: a missing value is refused.
  std::optional<std::int64_t> missing;
  // Names value `index` of the read in a refusal; by default "position P" along the
  // variable's first dimension (its index tuple for several dimensions).
  std::function<std::string(std::size_t index)> where;
};

// Values of a numeric variable as 64-bit integers, from any integer or floating type (packed
// ones unpacked first). ValueError naming the variable and up to ten values with where they
// are (and the count of the rest) when a value is not a whole number, lies beyond the 64-bit
// integer range, or is missing where `reading.missing` is none.
std::vector<std::int64_t> ReadIntegers(const Variable& variable, const Slab& slab = {},
                                       const IntegerReading& reading = {});

// Strings of a text variable: a character array (the last dimension holds the characters,
// a string ends at its first NUL) or NC_STRING, leading and trailing blanks removed. first and
// count go along the first dimension (count: every string from first).
std::vector<std::string> ReadTexts(const Variable& variable, std::size_t first = 0,
                                   std::optional<std::size_t> count = std::nullopt);

// An instant: whole minutes since 1970-01-01 00:00 UTC on the proleptic Gregorian calendar,
// so that instants of axes in any units, epochs and accepted calendars compare.
struct Instant {
  std::int64_t minutes = 0;
  friend auto operator<=>(const Instant&, const Instant&) = default;
};
// "YYYY-MM-DD hh:mm UTC" (proleptic Gregorian).
std::string FormatInstant(Instant instant);

// A time axis's units and calendar as a file states them (the CF default "standard" where
// the file gives no calendar).
struct TimeUnits {
  std::string units;  // "<unit> since <epoch>"
  std::string calendar = "standard";
  TimeUnits() = default;
  // Implicit: a units text alone is an axis of the standard calendar.
  TimeUnits(std::string unitsText, std::string calendarName = "standard")
      : units(std::move(unitsText)), calendar(std::move(calendarName)) {}
  TimeUnits(const char* unitsText) : units(unitsText) {}
  friend bool operator==(const TimeUnits&, const TimeUnits&) = default;
};

// Units parsed: `seconds|minutes|hours|days since <epoch>` (singular and the abbreviations
// s, sec, min, h, hr, d too, any case), the epoch `Y-M-D[( |T)h:m[:s]][ ][Z|UTC|GMT|±h[:mm]]`
// of the `standard`, `gregorian` (Julian before 1582-10-15) or `proleptic_gregorian`
// calendar, year 1 to 9999, whole seconds.
struct TimeReference {
  std::int64_t unitSeconds = 60;
  std::int64_t epochSeconds = 0;  // since 1970-01-01 00:00 UTC, proleptic Gregorian
};
// ValueError naming what cannot be taken.
TimeReference ParseTimeUnits(const TimeUnits& units);

// The precision a stored time value has: exact (an integer type), or that of float or double.
enum class TimePrecision { kExact, kFloat, kDouble };
// The instant of one value of an axis; nullopt when the value is not the nearest value of its
// precision to a whole minute (within one unit in its last place), or lies beyond about
// 2^52 minutes of the epoch.
std::optional<Instant> ToInstant(const TimeReference& reference, double value,
                                 TimePrecision precision);

// A time axis: its units, its values as the file holds them (unpacked), their instants.
struct TimeAxis {
  TimeUnits units;
  std::vector<double> values;
  std::vector<Instant> instants;
};
// Reads a one-dimensional or scalar time variable. ValueError when its units or calendar
// cannot be taken, a value is missing or does not fall on a whole minute.
TimeAxis ReadTimeAxis(const Variable& variable);

}  // namespace tovalin::network
