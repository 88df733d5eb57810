// tovalin-import: other models' basins into the engine's network and forcing files (see
// man/tovalin-import.1). The first argument names the source; each source's subcommand parses
// the rest.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "network/import/commands.h"

namespace {

namespace import = tovalin::network::import;

struct Subcommand {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);
};

// One row per source.
constexpr Subcommand kSubcommands[] = {
    {"nwm", "RouteLink, LAKEPARM, CHRTOUT and state files of the national water model",
     import::RunNwmCommand},
#ifdef TOVALIN_HYDROFABRIC
    {"hydrofabric", "a hydrofabric GeoPackage and the catchment models' nexus outputs",
     import::RunHydrofabricCommand},
#endif
};

void Usage(std::FILE* to) {
  std::fputs("usage: tovalin-import SOURCE OPTIONS...   (tovalin-import SOURCE --help)\n", to);
  for (const Subcommand& s : kSubcommands) std::fprintf(to, "  %-12s %s\n", s.name, s.summary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return import::kExitUsage;
  }
  const std::string_view source = argv[1];
  if (source == "--help" || source == "-h") {
    Usage(stdout);
    return 0;
  }
  for (const Subcommand& s : kSubcommands)
    if (source == s.name) return s.run(argc - 2, argv + 2);
  std::fprintf(stderr, "tovalin-import: unknown source '%s'\n", argv[1]);
  Usage(stderr);
  return import::kExitUsage;
}
