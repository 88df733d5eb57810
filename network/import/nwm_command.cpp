// tovalin-import nwm: the command line of the nwm import (see man/tovalin-import.1).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "network/import/commands.h"
#include "network/import/nwm_import.h"

namespace tovalin::network::import {
namespace {

constexpr const char* kUsage =
    "usage: tovalin-import nwm --routelink FILE [--lakeparm FILE] --chrtout FILE...\n"
    "                          [--lateral q_lateral|runoff] [--initial-state FILE]\n"
    "                          [--merge-shorter-than METRES]\n"
    "                          --out-network FILE --out-forcing FILE\n";

}  // namespace

int RunNwmCommand(int argc, char** argv) {
  NwmImportOptions options;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= argc || IsOption(argv[i + 1])) return false;
      into = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--routelink") {
      ok = value(options.routeLink);
    } else if (arg == "--lakeparm") {
      ok = value(options.lakeParameters);
    } else if (arg == "--chrtout") {
      // Every path up to the next option.
      const std::size_t before = options.chrtout.size();
      while (i + 1 < argc && !IsOption(argv[i + 1])) options.chrtout.emplace_back(argv[++i]);
      ok = options.chrtout.size() > before;
    } else if (arg == "--lateral") {
      std::string source;
      ok = value(source) && (source == "runoff" || source == "q_lateral");
      if (ok) options.lateral = source == "runoff" ? LateralSource::kRunoff : LateralSource::kQLateral;
    } else if (arg == "--initial-state") {
      ok = value(options.initialState);
    } else if (arg == "--merge-shorter-than") {
      std::string length;
      char* end = nullptr;
      ok = value(length);
      options.mergeShorterThan = ok ? std::strtod(length.c_str(), &end) : 0.0;
      ok = ok && end != length.c_str() && *end == '\0' && options.mergeShorterThan > 0.0 &&
           std::isfinite(options.mergeShorterThan);
    } else if (arg == "--out-network") {
      ok = value(options.outNetwork);
    } else if (arg == "--out-forcing") {
      ok = value(options.outForcing);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "tovalin-import nwm: bad or incomplete option '%s'\n%s", argv[i],
                   kUsage);
      return kExitUsage;
    }
  }
  if (options.routeLink.empty() || options.chrtout.empty() || options.outNetwork.empty() ||
      options.outForcing.empty()) {
    std::fprintf(stderr,
                 "tovalin-import nwm: --routelink, --chrtout, --out-network and --out-forcing "
                 "are required\n%s",
                 kUsage);
    return kExitUsage;
  }
  return ReportImport("tovalin-import nwm", [&] { return ImportNwm(options); });
}

}  // namespace tovalin::network::import
