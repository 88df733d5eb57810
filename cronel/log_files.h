// The set of log files: opening the first one, the wrap time (next local midnight),
// switching at the first line at or after it, and stamping every line written into a
// file as "HH:MM:SS:" [prefix ":"] text. Each log line is one write, which is its flush.
// A file that fails to open is tried again, silently, at most once a second until it
// opens or the wrap moves on to the next name; the lines read meanwhile are kept, with
// the stamps of their arrival, for the first file that opens.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fd_output.h"
#include "log_naming.h"
#include "options.h"

namespace cronel {

// Seconds added to the current time when the next local midnight cannot be computed.
inline constexpr std::time_t kFallbackWrapSeconds = 86400;

// At the end of input, bytes still owed are tried again every kFinalRetryPause, for
// kFinalRetryAttempts pauses (5 s); a file still not open is tried once a second.
inline constexpr std::chrono::milliseconds kFinalRetryPause{100};
inline constexpr int kFinalRetryAttempts = 50;
inline constexpr int kFinalRetryAttemptsPerOpen = 10;

// The calendar time in whole seconds (time(2) for the program).
using Clock = std::function<std::time_t()>;
// Waits for the given time (a sleep for the program).
using Pause = std::function<void(std::chrono::milliseconds)>;

class LogFiles {
 public:
  // settings must outlive this object. notices receives "opening NAME\n" before the
  // first attempt to open each file, report "mktime failed\n"; sink is the file written
  // (it reports the failures of opens and writes).
  LogFiles(const Settings& settings, EchoChannel& notices, LogSink& sink,
           Diagnostics report);

  // Opens the file named from `now` (no extension: output_name itself, truncated).
  void open_first(std::time_t now);

  // True when an extension format is in force and now is at or after the wrap time.
  bool wrap_due(std::time_t now) const;

  // Ends the current file with "Switching to logfile..." (no line end) and opens the
  // file named from the wrap instant's UTC date at 00:00.
  void switch_at_wrap(std::time_t now);

  // True when the last open failed and no attempt was made yet in the second of now.
  bool retry_due(std::time_t now) const {
    return open_failed_ && now != last_attempt_;
  }
  // Tries the failed open again, without notice; on success the file receives its
  // opening lines, then the lines kept meanwhile.
  void retry_open(std::time_t now);

  // Writes "HH:MM:SS:" [prefix ":"] text, stamped with the local time of now. No line
  // end is added: text brings its own. While no file is open the line is kept.
  void write_line(std::time_t now, std::string_view text, LineKind kind);

  // End of input: tries the bytes still owed again for up to 5 s, then reports what
  // is lost. True when every input line reached a file and a file is open.
  bool finish(const Clock& clock, const Pause& pause);

  std::time_t wrap_time() const { return wrap_time_; }

 private:
  void open_named(const std::string& name, std::time_t now);
  // One attempt to open name_; true when the file is open (and attached to the sink).
  bool attempt_open(std::time_t now, bool first_attempt);
  void write_opening_lines(std::time_t now);
  void compute_wrap_time(std::time_t now);
  // Appends "HH:MM:SS:" [prefix ":"] text to out.
  void stamp(std::string& out, std::time_t now, std::string_view text);

  const Settings& settings_;
  EchoChannel& notices_;
  LogSink& sink_;
  Diagnostics report_;
  std::time_t wrap_time_ = 0;
  std::string name_;  // the file opened or tried last
  bool open_failed_ = false;
  std::time_t last_attempt_ = 0;
  TimeOfDayText time_of_day_;
  std::optional<std::time_t> stamp_second_;
  std::string stamp_;  // "HH:MM:SS:" [prefix ":"] of stamp_second_
  std::string line_;   // reused for every stamped line
};

}  // namespace cronel
