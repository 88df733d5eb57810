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
  if (sink_.has_file()) {
    write_line(now, "Switching to logfile...", LineKind::kNote);
    sink_.detach();  // the old file is closed before the new one opens
  }
  name_ = name;
  const bool opened = attempt_open(now, true);
  compute_wrap_time(now);
  if (opened) write_opening_lines(now);
}

void LogFiles::retry_open(std::time_t now) {
  if (open_failed_ && attempt_open(now, false)) write_opening_lines(now);
}

bool LogFiles::attempt_open(std::time_t now, bool first_attempt) {
  last_attempt_ = now;
  const int fd = open_log(name_, settings_.extension_format.has_value());
  const int error = errno;
  open_failed_ = (fd < 0);
  if (open_failed_) {
    sink_.open_failed(name_, error, first_attempt);
    return false;
  }
  sink_.attach(fd, name_);
  return true;
}

void LogFiles::write_opening_lines(std::time_t now) {
  // A new file starts with these, then takes what is owed: lines kept while no file
  // would open, or bytes a failing file did not take.
  std::string opening;
  stamp(opening, now, "File Opened At: " + date_text(now));
  if (settings_.extension_format) stamp(opening, now, "wrap time is " + date_text(wrap_time_));
  sink_.write_ahead(opening);
}

void LogFiles::compute_wrap_time(std::time_t now) {
  if (!settings_.extension_format) return;
  if (const auto midnight = next_local_midnight(now)) {
    wrap_time_ = *midnight;
  } else {
    report_("mktime failed\n");
    wrap_time_ = now + kFallbackWrapSeconds;
  }
}

void LogFiles::stamp(std::string& out, std::time_t now, std::string_view text) {
  if (stamp_second_ != now) {
    // Built once per distinct second: a stream of lines costs two copies each.
    stamp_.assign(time_of_day_.at(now));
    stamp_ += ':';
    if (settings_.line_prefix) {
      stamp_ += *settings_.line_prefix;
      stamp_ += ':';
    }
    stamp_second_ = now;
  }
  out += stamp_;
  out += text;
}

void LogFiles::write_line(std::time_t now, std::string_view text, LineKind kind) {
  line_.clear();
  stamp(line_, now, text);
  sink_.write(line_, kind);
}

bool LogFiles::finish(const Clock& clock, const Pause& pause) {
  for (int attempt = 1; sink_.owes() && attempt <= kFinalRetryAttempts; ++attempt) {
    pause(kFinalRetryPause);
    if (sink_.has_file()) {
      sink_.flush();
    } else if (attempt % kFinalRetryAttemptsPerOpen == 0) {
      retry_open(clock());
    }
  }
  const bool logged = sink_.finish();
  return logged && sink_.has_file();
}

}  // namespace cronel
