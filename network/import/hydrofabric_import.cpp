// The hydrofabric import in order: read the GeoPackage, map the basin, check every nexus
// output file against the network's nexus points, read the initial state at the first time,
// and only then write the network and, one time after another, the forcing with the flow
// that leaves unrouted at the terminal nexus points.
#include "network/import/hydrofabric_import.h"

#include <netcdf.h>

#include <filesystem>

#include "network/import/basin_mapping.h"
#include "network/import/hydrofabric.h"
#include "network/import/import_output.h"
#include "network/import/nexus_forcing.h"
#include "network/import/nwm_files.h"
#include "tovalin/result.hpp"

namespace tovalin::network::import {
namespace {

constexpr double kSecondsPerMinute = 60.0;

void Check(int status, const std::string& path, const std::string& what) {
  if (status != NC_NOERR) throw FileError(path + ": " + what + ": " + nc_strerror(status));
}

std::vector<std::string> SummaryOfBasin(const Hydrofabric& fabric, const ImportedBasin& b) {
  std::vector<std::string> lines;
  lines.push_back(
      Plural(static_cast<std::int64_t>(fabric.basin.links.size()), "flowpath", "flowpaths") +
      " -> " + Plural(static_cast<std::int64_t>(b.network.reaches.size()), "reach", "reaches") +
      ": " + std::to_string(b.eightPointReaches) +
      " Muskingum-Cunge through eight-point sections, " + std::to_string(b.trapezoidReaches) +
      " through trapezoids, " + Plural(b.lakeReaches, "lake", "lakes") + " by modified Puls (" +
      Plural(b.linksInLakes, "flowpath", "flowpaths") + ")");
  // Junctions: nexus points that more than one flowpath drains into.
  std::int64_t terminal = 0, junctions = 0;
  for (const Nexus& n : fabric.nexuses) {
    terminal += n.drainsInto == 0;
    junctions += n.flowpathsIn > 1;
  }
  lines.push_back(Plural(static_cast<std::int64_t>(fabric.nexuses.size()), "nexus point",
                         "nexus points") +
                  ": " + Plural(junctions, "junction", "junctions") + ", " +
                  std::to_string(terminal) + " terminal");
  lines.insert(lines.end(), fabric.notes.begin(), fabric.notes.end());
  if (b.withoutBankfull > 0)
    lines.push_back(Plural(b.withoutBankfull, "flowpath has", "flowpaths have") +
                    " a top no wider than the bottom: trapezoid, no reference flow");
  std::int64_t gauged = 0;
  for (const std::string& g : b.network.gages) gauged += g.empty() ? 0 : 1;
  lines.push_back(Plural(gauged, "reach", "reaches") + " with a gauge" +
                  (b.gaugesInLakes > 0 ? " (" + Plural(b.gaugesInLakes, "gauge", "gauges") +
                                             " on lake flowpaths other than the outlet left out)"
                                       : std::string()));
  return lines;
}

// The volume of a series of flows, trapezoidal in time, m3.
double Volume(std::span<const double> flows, std::int32_t intervalMinutes) {
  double volume = 0.0;
  for (std::size_t t = 1; t < flows.size(); ++t)
    volume += (flows[t - 1] + flows[t]) / 2.0 * (intervalMinutes * kSecondsPerMinute);
  return volume;
}

}  // namespace

void WriteUnroutedInflow(const std::string& forcingPath, std::span<const double> flows,
                         std::int32_t intervalMinutes) {
  int id = -1;
  Check(nc_open(forcingPath.c_str(), NC_WRITE, &id), forcingPath, "cannot open");
  struct Closer {
    int id;
    ~Closer() { nc_close(id); }
  } closer{id};
  int time = -1, var = -1;
  std::size_t times = 0;
  Check(nc_inq_dimid(id, "time", &time), forcingPath, "dimension time");
  Check(nc_inq_dimlen(id, time, &times), forcingPath, "dimension time");
  if (times != flows.size())
    throw FileError(forcingPath + ": " + std::to_string(times) + " times, " +
                    std::to_string(flows.size()) + " unrouted inflows");
  Check(nc_redef(id), forcingPath, "definitions");
  Check(nc_def_var(id, kUnroutedInflowVariable, NC_DOUBLE, 1, &time, &var), forcingPath,
        kUnroutedInflowVariable);
  const std::string units = "m3 s-1";
  const std::string longName =
      "flow at the terminal nexus points, which reaches no reach and leaves unrouted";
  Check(nc_put_att_text(id, var, "units", units.size(), units.c_str()), forcingPath, "units");
  Check(nc_put_att_text(id, var, "long_name", longName.size(), longName.c_str()), forcingPath,
        "long_name");
  const double volume = Volume(flows, intervalMinutes);
  Check(nc_put_att_double(id, NC_GLOBAL, kUnroutedVolumeAttribute, NC_DOUBLE, 1, &volume),
        forcingPath, kUnroutedVolumeAttribute);
  Check(nc_enddef(id), forcingPath, "end of definitions");
  if (!flows.empty()) Check(nc_put_var_double(id, var, flows.data()), forcingPath, kUnroutedInflowVariable);
  closer.id = -1;
  Check(nc_close(id), forcingPath, "cannot close");
}

ImportReport ImportHydrofabric(const HydrofabricImportOptions& options) {
  ImportReport report;
  try {
    const Hydrofabric fabric = ReadHydrofabric(options.gpkg);
    MappingOutcome mapped = MapBasin(fabric.basin, {.lakes = true});
    if (!mapped.refusal.empty()) {
      report.refusal = std::move(mapped.refusal);
      return report;
    }
    ImportedBasin& imported = mapped.basin;
    report.lines = SummaryOfBasin(fabric, imported);

    // Every nexus output checked before anything is written.
    const NexusLateral lateral(fabric);
    const NexusOutputs outputs(options.nexusOutputs, lateral.nexusIds());
    std::vector<TimedFile> times;
    for (std::size_t t = 0; t < outputs.times().size(); ++t)
      times.push_back({Instant{outputs.times()[t]},
                       outputs.form() == NexusOutputForm::kPerTime ? options.nexusOutputs[t]
                                                                   : std::string("nexus outputs")});

    if (!options.initialState.empty()) {
      // Matched by the flowpath's number: only a file with ids can be.
      {
        const InputFile f(options.initialState);
        if (!f.Find("feature_id") || !f.Find("streamflow"))
          throw ValueError(options.initialState +
                           ": a state without link ids cannot be matched to the flowpaths by "
                           "number; --initial-state takes a CHRTOUT file (feature_id, "
                           "streamflow)");
      }
      const InitialState state = ReadInitialState(options.initialState, fabric.basin,
                                                  imported.routedLakes.size(), times.front().time);
      ApplyInitialState(imported, state.linkFlows, state.lakeElevations);
      report.lines.push_back("initial flows: " + state.description);
    }

    OutputsGuard guard({options.outNetwork, options.outForcing});
    WriteImportedNetwork(options.outNetwork, imported);
    ImportedForcingWriter forcing(options.outForcing, imported, times);
    std::vector<double> flows, linkLateral(fabric.basin.links.size());
    std::vector<double> unrouted(times.size());
    for (std::size_t t = 0; t < times.size(); ++t) {
      outputs.ReadTime(t, flows);
      unrouted[t] = lateral.Assemble(flows, linkLateral);
      forcing.Append(linkLateral);
    }
    forcing.Close();
    WriteUnroutedInflow(options.outForcing, unrouted, outputs.intervalMinutes());
    guard.Keep();

    report.lines.push_back(
        "forcing: " + Plural(static_cast<std::int64_t>(times.size()), "time", "times") +
        " from " + FormatInstant(times.front().time) + " every " +
        std::to_string(outputs.intervalMinutes()) + " min, from " +
        (outputs.form() == NexusOutputForm::kPerTime ? "one file per time" : "one file per nexus"));
    if (!outputs.skipped().empty()) report.lines.push_back(outputs.skipped());
    char volume[64];
    std::snprintf(volume, sizeof volume, "%.6g", Volume(unrouted, outputs.intervalMinutes()));
    report.lines.push_back(std::string("left unrouted at terminal nexus points: ") + volume +
                           " m3 (" + kUnroutedInflowVariable + " in the forcing)");
    report.lines.push_back("wrote " + options.outNetwork + " and " + options.outForcing);
  } catch (const RefusedInput& e) {
    report.refusal = e.problems();
    report.lines.clear();
  } catch (const ValueError& e) {
    report.refusal = {e.what()};
    report.lines.clear();
  }
  return report;
}

}  // namespace tovalin::network::import
