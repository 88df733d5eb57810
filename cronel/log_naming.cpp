// File naming, next local midnight and date texts of cronel (see log_naming.h).
#include "log_naming.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace cronel {

namespace {

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                  "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kFirstYear = 1900;  // struct tm counts years from 1900

const char* name_or_unknown(const auto& names, int index) {
  return (index >= 0 && static_cast<std::size_t>(index) < names.size()) ? names[index]
                                                                       : "???";
}

void write_two_digits(char* out, int value) {
  out[0] = static_cast<char>('0' + (value / 10) % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string format_extension(const std::string& format, const std::tm& broken_down) {
  if (format.empty()) return {};
  for (std::size_t size = kExtensionBufferBytes; size <= kExtensionLimitBytes; size *= 2) {
    std::string buffer(size, '\0');
    const std::size_t length = std::strftime(buffer.data(), size, format.c_str(), &broken_down);
    // strftime returns 0 both when the result does not fit and when it is empty; a
    // result that is empty stays empty however large the buffer grows.
    if (length > 0) {
      buffer.resize(length);
      return buffer;
    }
  }
  return {};
}

std::string log_file_name(std::string_view output_name,
                          const std::optional<std::string>& format, std::time_t when,
                          NameMoment moment) {
  std::string name(output_name);
  if (!format) return name;
  std::tm utc{};
  if (gmtime_r(&when, &utc) == nullptr) return name;
  if (moment == NameMoment::kWrap) {
    utc.tm_hour = 0;
    utc.tm_min = 0;
    utc.tm_sec = 0;
  }
  name += format_extension(*format, utc);
  return name;
}

std::optional<std::time_t> next_local_midnight(std::time_t now) {
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::nullopt;
  // Midnight that starts tomorrow: mktime rolls day 32 into the next month and so on.
  local.tm_sec = 0;
  local.tm_min = 0;
  local.tm_hour = 0;
  local.tm_mday += 1;
  // Tomorrow's daylight-saving state may differ from today's: let the zone decide.
  local.tm_isdst = -1;
  const std::time_t midnight = std::mktime(&local);
  // A zone whose midnight falls in a skipped hour could map it before now; a wrap time
  // that is already due would switch files at every line, so that counts as a failure.
  if (midnight == static_cast<std::time_t>(-1) || midnight <= now) return std::nullopt;
  return midnight;
}

std::string date_text(std::time_t when) {
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return "?\n";
  char text[64];
  const int length = std::snprintf(
      text, sizeof text, "%s %s %02d %02d:%02d:%02d %d\n", name_or_unknown(kWeekdays, local.tm_wday),
      name_or_unknown(kMonths, local.tm_mon), local.tm_mday, local.tm_hour, local.tm_min,
      local.tm_sec, local.tm_year + kFirstYear);
  if (length < 0) return "?\n";
  return std::string(text, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1));
}

std::string_view TimeOfDayText::at(std::time_t when) {
  if (cached_second_ != when) {
    std::tm local{};
    if (localtime_r(&when, &local) != nullptr) {
      write_two_digits(text_, local.tm_hour);
      write_two_digits(text_ + 3, local.tm_min);
      write_two_digits(text_ + 6, local.tm_sec);
    }
    cached_second_ = when;
  }
  return {text_, kLength};
}

}  // namespace cronel
