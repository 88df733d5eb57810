// File names, next local midnight and date texts under fixed zones. Expected instants
// are built with UTC arithmetic from the zone's offset, independently of mktime.
#include "log_naming.h"

#include <gtest/gtest.h>

#include "options.h"
#include "time_zone_guard.h"

namespace {

using cronel::NameMoment;
using cronel_test::TimeZoneGuard;
using cronel_test::utc_time;

const std::optional<std::string> kDefaultFormat{std::string(cronel::kDefaultExtensionFormat)};
constexpr std::time_t kHour = 3600;

// --- file names -------------------------------------------------------------------

TEST(LogFileName, OpeningUsesTheUtcTimeWhateverTheZone) {
  const TimeZoneGuard zone(cronel_test::kNineHoursAhead);
  EXPECT_EQ(cronel::log_file_name("app", kDefaultFormat, utc_time(2026, 12, 6, 6, 48, 22),
                                  NameMoment::kOpening),
            "app.2026.12.06.06.48.utc");
}

TEST(LogFileName, WrapKeepsTheUtcDateAndZeroesTheTimeOfDay) {
  // Local midnight of 7 December nine hours ahead is 15:00 UTC on 6 December.
  const std::time_t wrap = utc_time(2026, 12, 6, 15, 0, 0);
  EXPECT_EQ(cronel::log_file_name("app", kDefaultFormat, wrap, NameMoment::kWrap),
            "app.2026.12.06.00.00.utc");
}

TEST(LogFileName, NoFormatMeansTheBaseNameAlone) {
  EXPECT_EQ(cronel::log_file_name("dir/app", std::nullopt, utc_time(2026, 1, 1, 0, 0, 0),
                                  NameMoment::kOpening),
            "dir/app");
  EXPECT_EQ(cronel::log_file_name("app", std::string(), utc_time(2026, 1, 1, 0, 0, 0),
                                  NameMoment::kOpening),
            "app");
}

TEST(LogFileName, ExtensionsLongerThanTwentyFourCharactersAreKeptWhole) {
  const std::optional<std::string> format{".%Y-%m-%d.%H-%M-%S.a-rather-long-tag"};
  const std::string name = cronel::log_file_name(
      "app", format, utc_time(2026, 12, 6, 6, 48, 22), NameMoment::kOpening);
  EXPECT_EQ(name, "app.2026-12-06.06-48-22.a-rather-long-tag");
}

TEST(LogFileName, ExtensionsBeyondTheFirstBufferGrowIt) {
  const std::string tag(300, 'x');
  const std::optional<std::string> format{".%Y." + tag};
  EXPECT_EQ(cronel::log_file_name("app", format, utc_time(2026, 12, 6, 6, 48, 22),
                                  NameMoment::kOpening),
            "app.2026." + tag);
}

// --- next local midnight ----------------------------------------------------------

TEST(NextLocalMidnight, InUtcIsTheNextUtcMidnight) {
  const TimeZoneGuard zone(cronel_test::kUtc);
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 12, 6, 6, 48, 22)),
            utc_time(2026, 12, 7, 0, 0, 0));
}

TEST(NextLocalMidnight, BehindUtcFallsAtFiveUtc) {
  const TimeZoneGuard zone(cronel_test::kFiveHoursBehind);
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 12, 6, 6, 48, 22)),
            utc_time(2026, 12, 7, 0, 0, 0) + 5 * kHour);
}

TEST(NextLocalMidnight, AheadOfUtcFallsOnThePreviousUtcDate) {
  const TimeZoneGuard zone(cronel_test::kNineHoursAhead);
  // 06:48 UTC is 15:48 local on 6 December; midnight of the 7th is 15:00 UTC on the 6th.
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 12, 6, 6, 48, 22)),
            utc_time(2026, 12, 6, 15, 0, 0));
}

TEST(NextLocalMidnight, ExactlyAtMidnightIsTheFollowingOne) {
  const TimeZoneGuard zone(cronel_test::kUtc);
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 12, 7, 0, 0, 0)),
            utc_time(2026, 12, 8, 0, 0, 0));
}

TEST(NextLocalMidnight, RollsOverTheMonthAndTheYear) {
  const TimeZoneGuard zone(cronel_test::kUtc);
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 12, 31, 23, 59, 59)),
            utc_time(2027, 1, 1, 0, 0, 0));
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2028, 2, 28, 12, 0, 0)),
            utc_time(2028, 2, 29, 0, 0, 0));
}

TEST(NextLocalMidnight, TakesTomorrowsDaylightSavingState) {
  const TimeZoneGuard zone(cronel_test::kEasternWithDaylightSaving);
  // 00:30 standard time on 8 March 2026 (clocks go forward at 02:00): the next midnight
  // is in daylight time, 04:00 UTC, not 05:00.
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 3, 8, 5, 30, 0)),
            utc_time(2026, 3, 9, 4, 0, 0));
  // 00:30 daylight time on 1 November 2026 (clocks go back at 02:00): 05:00 UTC.
  EXPECT_EQ(cronel::next_local_midnight(utc_time(2026, 11, 1, 4, 30, 0)),
            utc_time(2026, 11, 2, 5, 0, 0));
}

// --- texts of the local time -----------------------------------------------------

TEST(DateText, HasAZeroPaddedDayAndALineEnd) {
  const TimeZoneGuard zone(cronel_test::kUtc);
  EXPECT_EQ(cronel::date_text(utc_time(2026, 12, 6, 6, 48, 22)), "Sun Dec 06 06:48:22 2026\n");
}

TEST(DateText, IsLocalTime) {
  const TimeZoneGuard zone(cronel_test::kFiveHoursBehind);
  EXPECT_EQ(cronel::date_text(utc_time(2026, 12, 7, 5, 0, 0)), "Mon Dec 07 00:00:00 2026\n");
}

TEST(TimeOfDayText, FollowsTheLocalClockSecondBySecond) {
  const TimeZoneGuard zone(cronel_test::kNineHoursAhead);
  cronel::TimeOfDayText text;
  const std::time_t start = utc_time(2026, 12, 6, 14, 59, 59);
  EXPECT_EQ(text.at(start), "23:59:59");
  EXPECT_EQ(text.at(start), "23:59:59");
  EXPECT_EQ(text.at(start + 1), "00:00:00");
  EXPECT_EQ(text.at(start - 3599), "23:00:00");
}

}  // namespace
