// Lossless writing to descriptors: write_all, EchoChannel and LogSink (see fd_output.h).
#include "fd_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cronel {

namespace {

// Blocks until fd accepts data (or reports an error, which the next write returns).
void wait_until_writable(int fd) {
  pollfd watched{fd, POLLOUT, 0};
  while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace

WriteFunction system_write() {
  return [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
}

WriteOutcome write_all(const WriteFunction& write, int fd, std::string_view bytes) {
  WriteOutcome outcome;
  int zero_writes = 0;
  while (outcome.written < bytes.size()) {
    const ssize_t count =
        write(fd, bytes.data() + outcome.written, bytes.size() - outcome.written);
    if (count > 0) {
      outcome.written += static_cast<std::size_t>(count);
      zero_writes = 0;
      continue;
    }
    if (count == 0) {
      if (++zero_writes < kZeroWriteRetries) continue;
      outcome.error = EIO;
      return outcome;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      wait_until_writable(fd);
      continue;
    }
    outcome.error = error;
    return outcome;
  }
  return outcome;
}

EchoChannel::EchoChannel(int fd, WriteFunction write) : fd_(fd), write_(std::move(write)) {}

void EchoChannel::write(std::string_view text) {
  if (!enabled_) return;
  if (write_all(write_, fd_, text).error != 0) enabled_ = false;
}

LogSink::LogSink(WriteFunction write, Diagnostics report)
    : write_(std::move(write)), report_(std::move(report)) {}

LogSink::~LogSink() { attach(-1); }

void LogSink::attach(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

void LogSink::fail(int error) {
  if (failure_reported_) return;
  failure_reported_ = true;
  std::string text = "Failed to write output file: ";
  text += std::strerror(error);
  text += '\n';
  report_(text);
}

void LogSink::write(std::string_view line) {
  if (fd_ < 0) return;
  if (backlog_.empty()) {
    // Usual case: nothing owed, the line goes out in one write.
    const WriteOutcome outcome = write_all(write_, fd_, line);
    if (outcome.error == 0) {
      failure_reported_ = false;
      return;
    }
    backlog_.assign(line.substr(outcome.written));
    fail(outcome.error);
    return;
  }

  // Bytes are owed: queue the line behind them (if there is room), then try them all.
  if (backlog_.size() + line.size() <= kBacklogLimitBytes) {
    backlog_.append(line);
  } else {
    ++dropped_lines_;
  }
  const WriteOutcome outcome = write_all(write_, fd_, backlog_);
  backlog_.erase(0, outcome.written);
  if (outcome.error == 0) {
    failure_reported_ = false;
    return;
  }
  fail(outcome.error);
}

}  // namespace cronel
