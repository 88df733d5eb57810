// The read-echo-log loop of cronel (see pump.h).
#include "pump.h"

#include <cstring>
#include <string>

#include "line_reader.h"

namespace cronel {

bool pump_lines(const Settings& settings, int input_fd, EchoChannel& echo,
                LogFiles& log_files, const PumpPlatform& platform) {
  log_files.open_first(platform.clock());
  LineReader reader(input_fd);
  while (const auto piece = reader.next()) {
    // The line's time is its arrival; the line read at the wrap goes into the new file.
    const std::time_t now = platform.clock();
    if (log_files.wrap_due(now)) {
      log_files.switch_at_wrap(now);
    } else if (log_files.retry_due(now)) {
      log_files.retry_open(now);
    }
    if (!settings.quiet) echo.write(*piece);
    log_files.write_line(now, *piece, LineKind::kInput);
  }
  if (reader.error() != 0) {
    platform.report(std::string("Failed to read standard input: ") +
                    std::strerror(reader.error()) + "\n");
  }
  const bool logged = log_files.finish(platform.clock, platform.pause);
  return logged && reader.error() == 0;
}

}  // namespace cronel
