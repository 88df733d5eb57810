// The read-echo-log loop of cronel (see pump.h).
#include "pump.h"

#include "line_reader.h"

namespace cronel {

void pump_lines(const Settings& settings, int input_fd, EchoChannel& echo,
                LogFiles& log_files, const Clock& clock) {
  log_files.open_first(clock());
  LineReader reader(input_fd);
  while (const auto piece = reader.next()) {
    // The line's time is its arrival; the line read at the wrap goes into the new file.
    const std::time_t now = clock();
    if (log_files.wrap_due(now)) log_files.switch_at_wrap(now);
    if (!settings.quiet) echo.write(*piece);
    log_files.write_line(now, *piece);
  }
}

}  // namespace cronel
