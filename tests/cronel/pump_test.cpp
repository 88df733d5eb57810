// The line pump end to end in a temporary directory, with the clock given as a list of
// instants (one per reading) and a fixed zone: pieces of long lines, the switch at the
// wrap in a zone ahead of UTC, the fallback when no midnight can be computed, and the
// last retries of a log that would not open.
#include "pump.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <vector>

#include "line_reader.h"
#include "time_zone_guard.h"

namespace {

namespace fs = std::filesystem;
using cronel_test::utc_time;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// A pipe already holding text, its writing end closed: reads give text, then the end.
int pipe_holding(const std::string& text) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const auto outcome = cronel::write_all(cronel::system_write(), ends[1], text);
  ::close(ends[1]);
  return outcome.error == 0 ? ends[0] : -1;
}

TEST(LineReader, SplitsLongLinesIntoPiecesAndKeepsTheUnterminatedTail) {
  // 4999 characters and a line end: 5000 bytes, so pieces of 2047, 2047 and 906.
  const std::string long_line = std::string(4999, 'x') + "\n";
  const int fd = pipe_holding(long_line + std::string("zero\0byte\n", 10) + "tail");
  ASSERT_GE(fd, 0);
  cronel::LineReader reader(fd);
  std::vector<std::string> pieces;
  while (const auto piece = reader.next()) pieces.emplace_back(*piece);
  ::close(fd);
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[0].size(), cronel::kPieceLimit);
  EXPECT_EQ(pieces[1].size(), cronel::kPieceLimit);
  EXPECT_EQ(pieces[2].size(), 906u);
  EXPECT_EQ(pieces[0] + pieces[1] + pieces[2], long_line);
  EXPECT_EQ(pieces[3], std::string("zero\0byte\n", 10));
  EXPECT_EQ(pieces[4], "tail");
}

struct PumpTest : ::testing::Test {
  fs::path directory;
  std::string echoed;
  std::vector<std::string> reports;
  int pauses = 0;
  std::function<void()> during_pause = [] {};

  void SetUp() override {
    char pattern[] = "/tmp/cronel-pump-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory = pattern;
  }
  void TearDown() override { fs::remove_all(directory); }

  // Pumps input with settings; the clock returns the instants in turn, then the last.
  bool pump(const cronel::Settings& settings, const std::string& input,
            std::vector<std::time_t> instants) {
    std::size_t reading = 0;
    const cronel::Clock clock = [&] {
      return instants[std::min(reading++, instants.size() - 1)];
    };
    cronel::EchoChannel echo(-1, [this](int, const void* data, std::size_t size) {
      echoed.append(static_cast<const char*>(data), size);
      return static_cast<ssize_t>(size);
    });
    const cronel::Diagnostics report = [this](std::string_view text) {
      reports.emplace_back(text);
    };
    cronel::LogSink sink(cronel::system_write(), report);
    cronel::LogFiles files(settings, echo, sink, report);
    const cronel::PumpPlatform platform{clock,
                                        [this](std::chrono::milliseconds) {
                                          ++pauses;
                                          during_pause();
                                        },
                                        report};
    const int fd = pipe_holding(input);
    EXPECT_GE(fd, 0);
    const bool logged = cronel::pump_lines(settings, fd, echo, files, platform);
    ::close(fd);
    return logged;
  }
};

TEST_F(PumpTest, SwitchesAtLocalMidnightNineHoursAheadWithoutLosingALine) {
  const cronel_test::TimeZoneGuard zone(cronel_test::kNineHoursAhead);
  cronel::Settings settings;
  settings.output_name = (directory / "app").string();
  settings.extension_format = std::string(cronel::kDefaultExtensionFormat);
  settings.line_prefix = "web";
  // Opened 23:59:58 local on 6 December; lines at 23:59:59 and, past the wrap (15:00
  // UTC), at 09:30:00 local on the 7th.
  const std::time_t opened = utc_time(2026, 12, 6, 14, 59, 58);
  EXPECT_TRUE(pump(settings, "before\nafter\n",
                   {opened, opened + 1, utc_time(2026, 12, 7, 0, 30, 0)}));

  const fs::path first = directory / "app.2026.12.06.14.59.utc";
  const fs::path second = directory / "app.2026.12.06.00.00.utc";
  EXPECT_EQ(read_file(first),
            "23:59:58:web:File Opened At: Sun Dec 06 23:59:58 2026\n"
            "23:59:58:web:wrap time is Mon Dec 07 00:00:00 2026\n"
            "23:59:59:web:before\n"
            "09:30:00:web:Switching to logfile...");
  EXPECT_EQ(read_file(second),
            "09:30:00:web:File Opened At: Mon Dec 07 09:30:00 2026\n"
            "09:30:00:web:wrap time is Tue Dec 08 00:00:00 2026\n"
            "09:30:00:web:after\n");
  EXPECT_EQ(echoed, "opening " + first.string() + "\nbefore\nopening " + second.string() +
                        "\nafter\n");
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(pauses, 0);
}

TEST_F(PumpTest, AnInstantBeyondTheCalendarFallsBackToADayLater) {
  // Year 3e9 cannot be broken down: no UTC extension, no midnight, the wrap a day on.
  const cronel_test::TimeZoneGuard zone(cronel_test::kUtc);
  constexpr std::time_t kFarFuture = 100'000'000'000'000'000;
  cronel::Settings settings;
  settings.output_name = (directory / "app").string();
  settings.extension_format = std::string(cronel::kDefaultExtensionFormat);
  settings.quiet = true;
  EXPECT_TRUE(pump(settings, "a\n", {kFarFuture, kFarFuture + cronel::kFallbackWrapSeconds}));
  EXPECT_EQ(reports, (std::vector<std::string>{"mktime failed\n", "mktime failed\n"}));
  EXPECT_EQ(echoed, "opening " + settings.output_name + "\nopening " + settings.output_name + "\n");
}

TEST_F(PumpTest, AFolderThatAppearsDuringTheLastRetriesReceivesTheKeptLines) {
  // The folder is made during the third pause after the end of input; the open is tried
  // again once a second (every tenth pause), so the tenth pause ends the run.
  const cronel_test::TimeZoneGuard zone(cronel_test::kUtc);
  cronel::Settings settings;
  settings.output_name = (directory / "later" / "app").string();
  settings.quiet = true;
  during_pause = [this] {
    if (pauses == 3) fs::create_directory(directory / "later");
  };
  const std::time_t start = utc_time(2026, 12, 6, 6, 48, 22);
  EXPECT_TRUE(pump(settings, "a\nb\n", {start, start, start, start + 7}));
  EXPECT_EQ(pauses, cronel::kFinalRetryAttemptsPerOpen);
  EXPECT_EQ(read_file(settings.output_name),
            "06:48:29:File Opened At: Sun Dec 06 06:48:29 2026\n06:48:22:a\n06:48:22:b\n");
  EXPECT_EQ(reports, (std::vector<std::string>{
                         "Failed to open output file " + settings.output_name +
                             ": No such file or directory\n",
                         "Logging resumed in output file " + settings.output_name + "\n"}));
}

}  // namespace
