// Faults injected at the write path: EINTR, short writes, ENOSPC and EPIPE. A scripted
// descriptor accepts or refuses each write; the bytes it accepted must be exactly the
// bytes offered, in order, whatever the faults.
#include "fd_output.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <string>
#include <vector>

namespace {

// One scripted reply: refuse with an errno, or accept at most `accept` bytes.
struct Reply {
  int error = 0;
  std::size_t accept = static_cast<std::size_t>(-1);
};

// A descriptor whose replies follow a script, then accept everything.
struct ScriptedDescriptor {
  std::deque<Reply> script;
  std::string received;
  int calls = 0;

  cronel::WriteFunction function() {
    return [this](int, const void* data, std::size_t size) -> ssize_t {
      ++calls;
      Reply reply;
      if (!script.empty()) {
        reply = script.front();
        script.pop_front();
      }
      if (reply.error != 0) {
        errno = reply.error;
        return -1;
      }
      const std::size_t taken = std::min(size, reply.accept);
      received.append(static_cast<const char*>(data), taken);
      return static_cast<ssize_t>(taken);
    };
  }
};

constexpr int kAnyDescriptor = 7;  // never touched: the scripted function stands in

// A real descriptor for LogSink to own and close.
int null_descriptor() { return ::open("/dev/null", O_WRONLY | O_CLOEXEC); }

TEST(WriteAll, RetriesInterruptedAndShortWrites) {
  ScriptedDescriptor target;
  target.script = {{EINTR}, {0, 3}, {EINTR}, {0, 1}, {0, 4}};
  const std::string text = "12:00:00:hello world\n";
  const auto outcome = cronel::write_all(target.function(), kAnyDescriptor, text);
  EXPECT_EQ(outcome.error, 0);
  EXPECT_EQ(outcome.written, text.size());
  EXPECT_EQ(target.received, text);
}

TEST(WriteAll, StopsAtAHardErrorAndSaysHowFarItGot) {
  ScriptedDescriptor target;
  target.script = {{0, 5}, {ENOSPC}};
  const auto outcome = cronel::write_all(target.function(), kAnyDescriptor, "0123456789");
  EXPECT_EQ(outcome.error, ENOSPC);
  EXPECT_EQ(outcome.written, 5u);
}

TEST(WriteAll, GivesUpOnADescriptorThatAcceptsNothing) {
  ScriptedDescriptor target;
  target.script.assign(cronel::kZeroWriteRetries, Reply{0, 0});
  const auto outcome = cronel::write_all(target.function(), kAnyDescriptor, "x");
  EXPECT_EQ(outcome.error, EIO);
  EXPECT_EQ(target.calls, cronel::kZeroWriteRetries);
}

TEST(EchoChannel, ABrokenPipeTurnsTheEchoOffForGood) {
  ScriptedDescriptor target;
  target.script = {{0, 2}, {EPIPE}};
  cronel::EchoChannel echo(kAnyDescriptor, target.function());
  echo.write("first\n");
  EXPECT_FALSE(echo.enabled());
  const int calls_after_failure = target.calls;
  echo.write("second\n");
  EXPECT_EQ(target.calls, calls_after_failure);
}

struct LogSinkTest : ::testing::Test {
  ScriptedDescriptor target;
  std::vector<std::string> reports;
  cronel::LogSink sink{target.function(),
                       [this](std::string_view text) { reports.emplace_back(text); }};
};

TEST_F(LogSinkTest, AFullDeviceIsReportedOnceAndNoLineIsLostWhenItRecovers) {
  sink.attach(null_descriptor(), "app");
  // The first line is cut after 4 bytes; the next three writes fail for lack of space.
  target.script = {{0, 4}, {ENOSPC}, {ENOSPC}, {ENOSPC}};
  sink.write("line one\n", cronel::LineKind::kInput);
  sink.write("line two\n", cronel::LineKind::kInput);
  sink.write("line three\n", cronel::LineKind::kInput);
  EXPECT_EQ(reports, std::vector<std::string>{"Failed to write output file app: No space left on device\n"});
  EXPECT_EQ(sink.owed_lines(), 3u);
  sink.write("line four\n", cronel::LineKind::kInput);
  EXPECT_EQ(target.received, "line one\nline two\nline three\nline four\n");
  EXPECT_EQ(sink.owed_lines(), 0u);
  EXPECT_EQ(reports.back(), "Logging resumed in output file app\n");
  EXPECT_EQ(reports.size(), 2u);
  EXPECT_TRUE(sink.finish());
}

TEST_F(LogSinkTest, ANewOutageIsReportedAgain) {
  sink.attach(null_descriptor(), "app");
  target.script = {{EIO}, {0}, {EIO}};
  sink.write("a\n", cronel::LineKind::kInput);
  sink.write("b\n", cronel::LineKind::kInput);
  sink.write("c\n", cronel::LineKind::kInput);
  EXPECT_EQ(reports.size(), 3u);  // failure, recovery, failure
  sink.write("d\n", cronel::LineKind::kInput);
  EXPECT_EQ(target.received, "a\nb\nc\nd\n");
}

TEST_F(LogSinkTest, LinesWithoutAFileFollowTheOpeningLinesOfTheNextFile) {
  sink.attach(null_descriptor(), "app");
  target.script = {{ENOSPC}};
  sink.write("kept\n", cronel::LineKind::kInput);
  sink.detach();
  sink.open_failed("next", ENOENT, true);
  sink.write("kept without a file\n", cronel::LineKind::kInput);
  sink.open_failed("next", ENOENT, false);  // a retry: silent
  sink.attach(null_descriptor(), "next");
  sink.write_ahead("opening lines\n");
  sink.write("last\n", cronel::LineKind::kInput);
  EXPECT_EQ(target.received, "opening lines\nkept\nkept without a file\nlast\n");
  EXPECT_EQ(reports, (std::vector<std::string>{
                         "Failed to write output file app: No space left on device\n",
                         "Failed to open output file next: No such file or directory\n",
                         "Logging resumed in output file next\n"}));
}

TEST_F(LogSinkTest, BeyondTheBacklogLimitLinesAreDroppedCountedAndReportedAtTheEnd) {
  sink.attach(null_descriptor(), "app");
  const std::string half_limit(cronel::kBacklogLimitBytes / 2 + 1, 'x');
  target.script.assign(2, Reply{ENOSPC});
  sink.write(half_limit, cronel::LineKind::kInput);
  sink.write(half_limit, cronel::LineKind::kInput);  // would pass the limit: dropped
  EXPECT_EQ(sink.dropped_lines(), 1u);
  EXPECT_EQ(sink.owed_bytes(), half_limit.size());
  sink.write("z\n", cronel::LineKind::kInput);  // the end of the outage reports the drop
  EXPECT_EQ(reports, (std::vector<std::string>{
                         "Failed to write output file app: No space left on device\n",
                         "Logging resumed in output file app\n",
                         "Dropped 1 line: more than 16 MiB were waiting for the log\n"}));
  EXPECT_FALSE(sink.finish());
  EXPECT_EQ(reports.size(), 3u);
}

}  // namespace
