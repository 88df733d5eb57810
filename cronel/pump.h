// The line pump: read a piece, switch files if the wrap time has passed (or try a file
// that failed to open again), echo it unless quiet, write it stamped into the log. It
// runs until standard input ends; a failing echo or log never stops it, so the program
// upstream never blocks on a dead reader. At the end it reports what was lost.
#pragma once

#include <ctime>

#include "fd_output.h"
#include "log_files.h"
#include "options.h"

namespace cronel {

// What the pump needs of the system besides descriptors.
struct PumpPlatform {
  Clock clock;         // the time of each line
  Pause pause;         // the waits between the retries at the end of input
  Diagnostics report;  // standard error: a failed read of the input
};

// Opens the first log file, then pumps input_fd into it until end of input, then gives
// bytes still owed to the log their last chance. True when every line read reached a
// log file and the input did not fail.
bool pump_lines(const Settings& settings, int input_fd, EchoChannel& echo,
                LogFiles& log_files, const PumpPlatform& platform);

}  // namespace cronel
