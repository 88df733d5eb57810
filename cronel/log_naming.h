// Names of the log files and the times that drive them, as pure functions of a calendar
// time (seconds since the epoch) and the process's time zone (TZ): the UTC extension of
// a file name, the next local midnight (the wrap time), the date text written into the
// log and the HH:MM:SS stamp of a line.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace cronel {

// The extension buffer's first size; longer extensions grow it up to the cap.
inline constexpr std::size_t kExtensionBufferBytes = 100;
// Largest extension tried; a format that still does not fit yields no extension.
inline constexpr std::size_t kExtensionLimitBytes = 64 * 1024;

// Which instant a file name is built for.
enum class NameMoment {
  kOpening,  // the current time, as it is
  kWrap,     // the wrap instant, its UTC time of day set to 00:00:00
};

// strftime of format on the broken-down time, with no length limit short of
// kExtensionLimitBytes. An empty result is an empty extension.
std::string format_extension(const std::string& format, const std::tm& broken_down);

// output_name followed by the extension formatted from `when` broken down in UTC, or
// output_name alone when format is none. Names are never cut: an extension longer than
// the 24 characters once reserved for it is kept whole.
std::string log_file_name(std::string_view output_name,
                          const std::optional<std::string>& format, std::time_t when,
                          NameMoment moment);

// The first local midnight after `now`: the local date of now plus one day at
// 00:00:00, the zone deciding daylight saving for that instant. None when the time
// cannot be broken down or converted back.
std::optional<std::time_t> next_local_midnight(std::time_t now);

// Local time of `when` as "Www Mmm DD HH:MM:SS YYYY\n" with English abbreviations,
// e.g. "Sun Dec 06 06:48:22 2026\n". "?\n" when it cannot be broken down.
std::string date_text(std::time_t when);

// HH:MM:SS of the local time, broken down once per distinct second: a stream of lines
// within one second costs no conversion after the first.
class TimeOfDayText {
 public:
  static constexpr std::size_t kLength = 8;  // "HH:MM:SS"

  std::string_view at(std::time_t when);

 private:
  std::optional<std::time_t> cached_second_;
  char text_[kLength + 1] = "00:00:00";
};

}  // namespace cronel
