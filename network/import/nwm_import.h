// `tovalin-import nwm`: a basin of the national water model's files (RouteLink, LAKEPARM,
// CHRTOUT, a state) into the engine's network and forcing files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "network/import/nwm_files.h"
#include "network/topology.h"

namespace tovalin::network::import {

struct NwmImportOptions {
  std::string routeLink;
  std::string lakeParameters;  // empty: lake links are routed as channels
  std::vector<std::string> chrtout;
  std::optional<LateralSource> lateral;  // none: runoff where the files hold it, else q_lateral
  std::string initialState;              // empty: no initial flows (a cold start)
  double mergeShorterThan = 0.0;         // m; 0: no links merged (see MappingOptions)
  std::string outNetwork, outForcing;
};

// What an import did: a refusal (nothing written), or the summary's lines.
struct ImportReport {
  Problems refusal;
  std::vector<std::string> lines;
  std::string BriefReport() const;  // one line per problem, or per summary line
};

// Imports a basin. A refusal of the basin (mapping) or of the files' contents (times, links
// missing from a CHRTOUT file, a state that cannot be paired) comes back as the report's
// refusal with nothing written; FileError when a file cannot be read or written (what was
// written is then removed).
ImportReport ImportNwm(const NwmImportOptions& options);

}  // namespace tovalin::network::import
