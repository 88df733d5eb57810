// Lossless writing to descriptors: write_all, EchoChannel and LogSink (see fd_output.h).
#include "fd_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace cronel {

namespace {

// Blocks until fd accepts data (or reports an error, which the next write returns).
void wait_until_writable(int fd) {
  pollfd watched{fd, POLLOUT, 0};
  while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
  }
}

std::string count_of_lines(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

constexpr std::size_t kMebibyte = 1024 * 1024;

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

LogSink::~LogSink() { detach(); }

void LogSink::attach(int fd, std::string name) {
  detach();
  fd_ = fd;
  name_ = std::move(name);
  write_failure_reported_ = false;
}

void LogSink::detach() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void LogSink::open_failed(const std::string& name, int error, bool first_attempt) {
  name_ = name;
  outage_ = true;
  if (first_attempt) {
    report_("Failed to open output file " + name + ": " + std::strerror(error) + "\n");
  }
}

void LogSink::write_failed(int error) {
  outage_ = true;
  if (write_failure_reported_) return;
  write_failure_reported_ = true;
  report_("Failed to write output file " + name_ + ": " + std::strerror(error) + "\n");
}

void LogSink::end_outage() {
  if (!outage_) return;
  outage_ = false;
  write_failure_reported_ = false;
  report_("Logging resumed in output file " + name_ + "\n");
  report_dropped();
}

void LogSink::report_dropped() {
  if (unreported_dropped_lines_ == 0) return;
  report_("Dropped " + count_of_lines(unreported_dropped_lines_) + ": more than " +
          std::to_string(kBacklogLimitBytes / kMebibyte) + " MiB were waiting for the log\n");
  unreported_dropped_lines_ = 0;
}

void LogSink::keep(std::string_view line, LineKind kind) {
  const bool input = (kind == LineKind::kInput);
  if (backlog_.size() + line.size() > kBacklogLimitBytes) {
    if (input) {
      ++dropped_lines_;
      ++unreported_dropped_lines_;
    }
    return;
  }
  backlog_.append(line);
  segments_.push_back({line.size(), input});
  if (input) ++owed_input_lines_;
}

void LogSink::forget_written(std::size_t bytes) {
  backlog_.erase(0, bytes);
  while (bytes > 0 && !segments_.empty()) {
    Segment& first = segments_.front();
    if (first.bytes > bytes) {
      first.bytes -= bytes;  // partly written: still owed
      return;
    }
    bytes -= first.bytes;
    if (first.input) --owed_input_lines_;
    segments_.pop_front();
  }
}

void LogSink::flush() {
  if (fd_ < 0) return;  // waiting for a file to open
  const WriteOutcome outcome = write_all(write_, fd_, backlog_);
  forget_written(outcome.written);
  if (outcome.error != 0) {
    write_failed(outcome.error);
    return;
  }
  end_outage();
}

void LogSink::write(std::string_view line, LineKind kind) {
  if (healthy()) {
    // Usual case: nothing owed, the line goes out in one write.
    const WriteOutcome outcome = write_all(write_, fd_, line);
    if (outcome.error == 0) return;
    keep(line.substr(outcome.written), kind);
    write_failed(outcome.error);
    return;
  }
  // The log is failing: queue the line behind what is owed (if there is room), then try
  // them all.
  keep(line, kind);
  flush();
}

void LogSink::write_ahead(std::string_view text) {
  if (healthy()) {
    write(text, LineKind::kNote);
    return;
  }
  backlog_.insert(0, text);
  segments_.push_front({text.size(), false});
  flush();
}

bool LogSink::finish() {
  if (owed_input_lines_ > 0) {
    report_("Lost " + count_of_lines(owed_input_lines_) + ": output file " + name_ +
            (fd_ >= 0 ? " could not be written\n" : " could not be opened\n"));
  }
  report_dropped();
  return owed_input_lines_ == 0 && dropped_lines_ == 0;
}

}  // namespace cronel
