// `tovalin-import hydrofabric`: a hydrofabric GeoPackage and the catchment models' nexus
// outputs into the engine's network and forcing files, through the one basin mapping.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "network/import/nwm_import.h"

namespace tovalin::network::import {

struct HydrofabricImportOptions {
  std::string gpkg;
  std::vector<std::string> nexusOutputs;
  std::string initialState;  // empty: a cold start; else a CHRTOUT file matched by flowpath number
  std::string outNetwork, outForcing;
};

// The forcing's record of the flow that reaches no flowpath (terminal nexus points): the
// variable (time; m3/s) and the global attribute of its volume over the run (m3).
inline constexpr const char* kUnroutedInflowVariable = "unrouted_inflow";
inline constexpr const char* kUnroutedVolumeAttribute = "unrouted_inflow_volume";

// Adds the unrouted flow at each time of a forcing file (and its volume, trapezoidal in time,
// as the engine sums its volumes) to a written forcing file. FileError when it cannot.
void WriteUnroutedInflow(const std::string& forcingPath, std::span<const double> flows,
                         std::int32_t intervalMinutes);

// Imports a hydrofabric basin. Everything is read and checked (the GeoPackage, the mapping,
// every nexus output file, the initial state) before anything is written; a refusal comes
// back as the report's refusal with nothing written. FileError when a file cannot be read or
// written (what was written is then removed).
ImportReport ImportHydrofabric(const HydrofabricImportOptions& options);

}  // namespace tovalin::network::import
