// The line pump: read a piece, switch files if the wrap time has passed, echo it unless
// quiet, write it stamped into the log. It runs until standard input ends; a failing
// echo or log never stops it, so the program upstream never blocks on a dead reader.
#pragma once

#include <ctime>
#include <functional>

#include "fd_output.h"
#include "log_files.h"
#include "options.h"

namespace cronel {

// The calendar time in whole seconds (time(2) for the program).
using Clock = std::function<std::time_t()>;

// Opens the first log file, then pumps input_fd into it until end of input.
void pump_lines(const Settings& settings, int input_fd, EchoChannel& echo,
                LogFiles& log_files, const Clock& clock);

}  // namespace cronel
