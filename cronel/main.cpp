// cronel: copies standard input, line by line, into date-stamped log files that wrap at
// local midnight, echoing it to standard output unless quiet. Exit status 0 when every
// line read was logged, 1 without -o (after the usage text), 2 when a line was lost or
// standard input failed.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "fd_output.h"
#include "log_files.h"
#include "options.h"
#include "pump.h"

namespace {

// Identification marker kept in the binary for what(1)-style tools; nothing prints it.
[[gnu::used]] const char kIdentification[] =
    "@(#)cronel/main.cpp\tVersion: 1.00.01\tCompiled: " __DATE__ " " __TIME__;

constexpr int kStandardInput = 0;
constexpr int kStandardOutput = 1;
constexpr int kStandardError = 2;
constexpr int kExitLogged = 0;
constexpr int kExitUsage = 1;
constexpr int kExitLoss = 2;
constexpr const char* kProgramName = "cronel";

// Standard error, written whole; a failure there has nowhere left to be reported.
void to_standard_error(std::string_view text) {
  static_cast<void>(cronel::write_all(cronel::system_write(), kStandardError, text));
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of the echo that goes away must not kill the program: writes to it fail
  // with EPIPE instead, which turns the echo off.
  ::signal(SIGPIPE, SIG_IGN);

  const cronel::CommandLine command_line = cronel::scan_command_line(argc, argv);
  for (const std::string& word : command_line.invalid_words) {
    to_standard_error("invalid argument " + word);
  }
  if (!command_line.settings) {
    const char* invoked = (argc > 0 && argv[0] != nullptr) ? argv[0] : kProgramName;
    to_standard_error(cronel::usage_text(invoked));
    return kExitUsage;
  }
  const cronel::Settings& settings = *command_line.settings;

  cronel::EchoChannel echo(kStandardOutput, cronel::system_write());
  cronel::LogSink sink(cronel::system_write(), to_standard_error);
  cronel::LogFiles log_files(settings, echo, sink, to_standard_error);
  const cronel::PumpPlatform platform{
      [] { return std::time(nullptr); },
      [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); },
      to_standard_error};
  const bool logged = cronel::pump_lines(settings, kStandardInput, echo, log_files, platform);
  return logged ? kExitLogged : kExitLoss;
}
