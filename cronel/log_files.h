// The set of log files: opening the first one, the wrap time (next local midnight),
// switching at the first line at or after it, and stamping every line written into a
// file as "HH:MM:SS:" [prefix ":"] text. Each log line is one write, which is its flush.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "fd_output.h"
#include "log_naming.h"
#include "options.h"

namespace cronel {

// Seconds added to the current time when the next local midnight cannot be computed.
inline constexpr std::time_t kFallbackWrapSeconds = 86400;

class LogFiles {
 public:
  // settings must outlive this object. notices receives "opening NAME\n" before every
  // open, report the open failures and "mktime failed\n"; sink is the file written.
  LogFiles(const Settings& settings, EchoChannel& notices, LogSink& sink,
           Diagnostics report);

  // Opens the file named from `now` (no extension: output_name itself, truncated).
  void open_first(std::time_t now);

  // True when an extension format is in force and now is at or after the wrap time.
  bool wrap_due(std::time_t now) const;

  // Ends the current file with "Switching to logfile..." (no line end) and opens the
  // file named from the wrap instant's UTC date at 00:00.
  void switch_at_wrap(std::time_t now);

  // Writes "HH:MM:SS:" [prefix ":"] text, stamped with the local time of now. No line
  // end is added: text brings its own. Nothing happens while no file is open.
  void write_line(std::time_t now, std::string_view text);

  std::time_t wrap_time() const { return wrap_time_; }

 private:
  void open_named(const std::string& name, std::time_t now);
  void compute_wrap_time(std::time_t now);

  const Settings& settings_;
  EchoChannel& notices_;
  LogSink& sink_;
  Diagnostics report_;
  std::time_t wrap_time_ = 0;
  TimeOfDayText time_of_day_;
  std::string line_;  // reused for every stamped line
};

}  // namespace cronel
