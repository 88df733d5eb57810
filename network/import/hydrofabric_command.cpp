// tovalin-import hydrofabric: the command line of the hydrofabric import (see
// man/tovalin-import.1).
#include <cstdio>
#include <string>
#include <string_view>

#include "network/import/commands.h"
#include "network/import/hydrofabric_import.h"

namespace tovalin::network::import {
namespace {

constexpr const char* kUsage =
    "usage: tovalin-import hydrofabric --gpkg FILE --nexus-output FILE... [--initial-state FILE]\n"
    "                                  --out-network FILE --out-forcing FILE\n";

}  // namespace

int RunHydrofabricCommand(int argc, char** argv) {
  HydrofabricImportOptions options;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= argc || IsOption(argv[i + 1])) return false;
      into = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--gpkg") {
      ok = value(options.gpkg);
    } else if (arg == "--nexus-output") {
      // Every path up to the next option.
      const std::size_t before = options.nexusOutputs.size();
      while (i + 1 < argc && !IsOption(argv[i + 1])) options.nexusOutputs.emplace_back(argv[++i]);
      ok = options.nexusOutputs.size() > before;
    } else if (arg == "--initial-state") {
      ok = value(options.initialState);
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
      std::fprintf(stderr, "tovalin-import hydrofabric: bad or incomplete option '%s'\n%s",
                   argv[i], kUsage);
      return kExitUsage;
    }
  }
  if (options.gpkg.empty() || options.nexusOutputs.empty() || options.outNetwork.empty() ||
      options.outForcing.empty()) {
    std::fprintf(stderr,
                 "tovalin-import hydrofabric: --gpkg, --nexus-output, --out-network and "
                 "--out-forcing are required\n%s",
                 kUsage);
    return kExitUsage;
  }
  return ReportImport("tovalin-import hydrofabric", [&] { return ImportHydrofabric(options); });
}

}  // namespace tovalin::network::import
