// Opening, wrapping and stamping of cronel's log files (see log_files.h).
#include "log_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cronel {

namespace {

// Permissions of a new log file before the umask, as for any file a program creates.
constexpr mode_t kNewFileMode = 0666;
// Lowest descriptor a log file may take: 0, 1 and 2 may be closed at start and then
// reused by open, which would send the echo into the log or read the log as input.
constexpr int kFirstFreeDescriptor = 3;

// Opens name for appending ("a+") or truncating ("w"); returns the descriptor or -1
// with errno set.
int open_log(const std::string& name, bool append) {
  const int flags = append ? (O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC)
                           : (O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
  const int fd = ::open(name.c_str(), flags, kNewFileMode);
  if (fd < 0 || fd >= kFirstFreeDescriptor) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kFirstFreeDescriptor);
  const int saved_errno = errno;
  ::close(fd);
  errno = saved_errno;
  return moved;
}

}  // namespace

LogFiles::LogFiles(const Settings& settings, EchoChannel& notices, LogSink& sink,
                   Diagnostics report)
    : settings_(settings), notices_(notices), sink_(sink), report_(std::move(report)) {}

void LogFiles::open_first(std::time_t now) {
  open_named(log_file_name(settings_.output_name, settings_.extension_format, now,
                           NameMoment::kOpening),
             now);
}

bool LogFiles::wrap_due(std::time_t now) const {
  return settings_.extension_format.has_value() && now >= wrap_time_;
}

void LogFiles::switch_at_wrap(std::time_t now) {
  open_named(log_file_name(settings_.output_name, settings_.extension_format, wrap_time_,
                           NameMoment::kWrap),
             now);
}

void LogFiles::open_named(const std::string& name, std::time_t now) {
  notices_.write("opening " + name + "\n");
  const bool append = settings_.extension_format.has_value();
  if (sink_.has_file()) {
    write_line(now, "Switching to logfile...");
    sink_.attach(-1);  // the old file is closed before the new one opens
  }
  const int fd = open_log(name, append);
  if (fd < 0) {
    const int error = errno;
    report_(std::string("Failed to open output file: ") + std::strerror(error) + "\n");
  } else {
    sink_.attach(fd);
    write_line(now, "File Opened At: " + date_text(now));
  }
  compute_wrap_time(now);
}

void LogFiles::compute_wrap_time(std::time_t now) {
  if (!settings_.extension_format) return;
  if (const auto midnight = next_local_midnight(now)) {
    wrap_time_ = *midnight;
  } else {
    report_("mktime failed\n");
    wrap_time_ = now + kFallbackWrapSeconds;
  }
  write_line(now, "wrap time is " + date_text(wrap_time_));
}

void LogFiles::write_line(std::time_t now, std::string_view text) {
  if (!sink_.has_file()) return;
  line_.assign(time_of_day_.at(now));
  line_ += ':';
  if (settings_.line_prefix) {
    line_ += *settings_.line_prefix;
    line_ += ':';
  }
  line_ += text;
  sink_.write(line_);
}

}  // namespace cronel
