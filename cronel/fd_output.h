// Writing to file descriptors without losing bytes: write_all loops on short writes and
// retries EINTR (and waits out EAGAIN); EchoChannel is standard output, which turns
// itself off at its first failure (closed, broken pipe); LogSink is the current log file,
// which keeps what it could not write, retries it with the next line, and reports a
// failing log once per outage. Every write goes through a WriteFunction, so tests can
// inject EINTR, short writes, ENOSPC and EPIPE.
#pragma once

#include <sys/types.h>

#include <cstddef>
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

// Upper bound of bytes kept for a failing log; lines beyond it are dropped and counted.
inline constexpr std::size_t kBacklogLimitBytes = 1024 * 1024;

// The log file currently written, or none.
class LogSink {
 public:
  LogSink(WriteFunction write, Diagnostics report);
  ~LogSink();
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;

  // Makes fd (owned from now on) the log file; closes the previous one. -1: none.
  void attach(int fd);
  bool has_file() const { return fd_ >= 0; }

  // Writes one stamped line, after any bytes still owed from earlier failures. Without
  // a file the line is not logged (and owed bytes wait for the next file).
  void write(std::string_view line);

  std::size_t owed_bytes() const { return backlog_.size(); }
  std::size_t dropped_lines() const { return dropped_lines_; }

 private:
  void fail(int error);

  WriteFunction write_;
  Diagnostics report_;
  int fd_ = -1;
  std::string backlog_;  // bytes accepted for the log but not yet written
  std::size_t dropped_lines_ = 0;
  bool failure_reported_ = false;  // re-armed by the next successful write
};

}  // namespace cronel
