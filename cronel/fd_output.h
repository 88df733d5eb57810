// Writing to file descriptors without losing bytes: write_all loops on short writes and
// retries EINTR (and waits out EAGAIN); EchoChannel is standard output, which turns
// itself off at its first failure (closed, broken pipe); LogSink is the current log file,
// which keeps what it could not write (up to a bound), retries it with the next line, and
// reports each failing file once and the end of each outage once. Every write goes
// through a WriteFunction, so tests can inject EINTR, short writes, ENOSPC and EPIPE.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace cronel {

// Same contract as POSIX write(2): bytes written, or -1 with errno set.
using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

// Receives one complete diagnostic text (for the program: standard error).
using Diagnostics = std::function<void(std::string_view text)>;

// write(2) itself.
WriteFunction system_write();

// Writes that return 0 in a row before write_all gives up with EIO.
inline constexpr int kZeroWriteRetries = 16;

struct WriteOutcome {
  std::size_t written = 0;  // bytes accepted before success or failure
  int error = 0;            // 0 on success, else the errno of the failing write
};

// Writes all of bytes to fd. Short writes continue where they stopped, EINTR is retried,
// EAGAIN waits until fd is writable. Stops at the first other error.
WriteOutcome write_all(const WriteFunction& write, int fd, std::string_view bytes);

// Standard output: the echo of the input and the "opening" notices.
class EchoChannel {
 public:
  EchoChannel(int fd, WriteFunction write);

  // Writes text whole, or turns the channel off for good at the first failure. Quietly:
  // the reader going away must never stop the log.
  void write(std::string_view text);
  bool enabled() const { return enabled_; }

 private:
  int fd_;
  WriteFunction write_;
  bool enabled_ = true;
};

// Upper bound of bytes kept while the log fails; lines beyond it are dropped and counted,
// so that the program upstream never blocks on a failing log.
inline constexpr std::size_t kBacklogLimitBytes = 16 * 1024 * 1024;

// What a log line is: a piece of the input, or a line the program writes itself (the
// opening lines of a file, "Switching to logfile..."). Only input lines count as lost.
enum class LineKind { kInput, kNote };

// The current log file, or none, and the bytes it still owes. An outage starts when an
// open or a write fails and ends when every byte kept meanwhile reached an open file;
// each file's failure is reported once, the end of each outage once (with the count of
// lines dropped during it). Without a file, lines are kept for the next file that opens.
class LogSink {
 public:
  LogSink(WriteFunction write, Diagnostics report);
  ~LogSink();
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;

  // Makes fd (owned from now on), opened on name, the log file; closes the previous one.
  // Write the file's opening lines with write_ahead before anything else.
  void attach(int fd, std::string name);
  // Closes the current file; lines are kept until the next one.
  void detach();
  bool has_file() const { return fd_ >= 0; }

  // The open of name failed with error: an outage, reported when it is the file's first
  // attempt (retries are silent).
  void open_failed(const std::string& name, int error, bool first_attempt);

  // Writes one stamped line after any bytes still owed; while the log fails the line is
  // kept (or dropped past kBacklogLimitBytes) and the owed bytes are tried again.
  void write(std::string_view line, LineKind kind);
  // Writes text ahead of the bytes owed: the opening lines of a file just attached.
  void write_ahead(std::string_view text);
  // Tries the owed bytes again.
  void flush();

  bool owes() const { return !backlog_.empty(); }
  std::size_t owed_bytes() const { return backlog_.size(); }
  // Input lines not yet written in full.
  std::size_t owed_lines() const { return owed_input_lines_; }
  std::size_t dropped_lines() const { return dropped_lines_; }

  // End of the run: reports the input lines still owed and the dropped lines not yet
  // reported. True when no input line was lost.
  bool finish();

 private:
  // A stretch of the backlog: one line, or several opening lines.
  struct Segment {
    std::size_t bytes;
    bool input;
  };

  bool healthy() const { return fd_ >= 0 && !outage_ && backlog_.empty(); }
  void keep(std::string_view line, LineKind kind);
  void forget_written(std::size_t bytes);
  void write_failed(int error);
  void end_outage();
  void report_dropped();

  WriteFunction write_;
  Diagnostics report_;
  int fd_ = -1;
  std::string name_;     // the file written, or the last one that failed to open
  std::string backlog_;  // bytes accepted for the log but not yet written
  std::deque<Segment> segments_;  // the backlog's lines, in order
  std::size_t owed_input_lines_ = 0;
  std::size_t dropped_lines_ = 0;
  std::size_t unreported_dropped_lines_ = 0;
  bool outage_ = false;
  bool write_failure_reported_ = false;  // in this outage, for the current file
};

}  // namespace cronel
