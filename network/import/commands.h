// The subcommands of tovalin-import, one function each (see import_main.cpp for the table
// that dispatches to them). Each takes the arguments after its name and returns the exit
// status: 0 imported, 2 bad command line, 3 input refused (the reasons on standard error,
// nothing written), 4 a file could not be read or written, or memory ran out.
#pragma once

#include <cstdio>
#include <exception>
#include <new>
#include <string_view>

#include "network/import/nwm_import.h"

namespace tovalin::network::import {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitRefused = 3;
inline constexpr int kExitFile = 4;

// An argument that starts an option ("--name"), not a value.
inline bool IsOption(std::string_view arg) { return arg.size() > 2 && arg.substr(0, 2) == "--"; }

// Runs an import and reports it as `command` does: its brief report on standard output and 0,
// or the refusal on standard error and kExitRefused, or a file or memory fault and kExitFile.
template <class Import>
int ReportImport(const char* command, const Import& import) {
  try {
    const ImportReport report = import();
    if (!report.refusal.empty()) {
      std::fprintf(stderr, "%s: refused:\n%s", command, report.BriefReport().c_str());
      return kExitRefused;
    }
    std::fputs(report.BriefReport().c_str(), stdout);
    return 0;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", command);
    return kExitFile;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", command, e.what());
    return kExitFile;
  }
}

int RunNwmCommand(int argc, char** argv);
int RunHydrofabricCommand(int argc, char** argv);  // where SQLite is found (TOVALIN_HYDROFABRIC)

}  // namespace tovalin::network::import
