// Test helper: sets TZ for the life of a scope (setenv + tzset) and restores it after.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace cronel_test {

class TimeZoneGuard {
 public:
  explicit TimeZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZoneGuard() {
    if (saved_) {
      ::setenv("TZ", saved_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  TimeZoneGuard(const TimeZoneGuard&) = delete;
  TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

 private:
  std::optional<std::string> saved_;
};

// Calendar seconds of a UTC date and time, by plain UTC arithmetic (no zone involved).
inline std::time_t utc_time(int year, int month, int day, int hour, int minute, int second) {
  std::tm broken_down{};
  broken_down.tm_year = year - 1900;
  broken_down.tm_mon = month - 1;
  broken_down.tm_mday = day;
  broken_down.tm_hour = hour;
  broken_down.tm_min = minute;
  broken_down.tm_sec = second;
  return ::timegm(&broken_down);
}

// Zones as POSIX rules, so no zone database is needed.
inline constexpr const char* kUtc = "UTC0";
inline constexpr const char* kFiveHoursBehind = "EST5";
inline constexpr const char* kNineHoursAhead = "JST-9";
inline constexpr const char* kEasternWithDaylightSaving = "EST5EDT,M3.2.0,M11.1.0";

}  // namespace cronel_test
