// The nwm import in order: read the links and lakes, map the basin, read every CHRTOUT file's
// time (sorted, uniform), read the initial state at the first time, and only then write the
// network and, file by file in time order, the forcing. The basin's links are let go once the
// network is written: the forcing pass keeps the links' ids, the reaches' link lists and one
// row of chunks of the forcing.
#include "network/import/nwm_import.h"

#include <cstdio>
#include <filesystem>

#include "network/import/basin_mapping.h"
#include "network/import/import_output.h"

namespace tovalin::network::import {
namespace {

std::vector<std::string> SummaryOfMapping(const Basin& basin, const ImportedBasin& b,
                                          bool lakes) {
  std::vector<std::string> lines;
  const std::int64_t reaches = static_cast<std::int64_t>(b.network.reaches.size());
  lines.push_back(Plural(static_cast<std::int64_t>(basin.links.size()), "link", "links") +
                  " -> " + Plural(reaches, "reach", "reaches") + ": " +
                  std::to_string(b.eightPointReaches) +
                  " Muskingum-Cunge through eight-point sections, " +
                  std::to_string(b.trapezoidReaches) + " through trapezoids, " +
                  Plural(b.lakeReaches, "lake", "lakes") + " by modified Puls (" +
                  Plural(b.linksInLakes, "link", "links") + ")");
  if (lakes)
    lines.push_back("lake table: " + Plural(static_cast<std::int64_t>(basin.lakes.size()), "row", "rows") +
                    ", " + std::to_string(b.routedLakes.size()) + " of them lakes of this basin");
  else if (b.lakeLinksAsChannels > 0)
    lines.push_back(Plural(b.lakeLinksAsChannels, "lake link", "lake links") +
                    " routed as channels (no --lakeparm)");
  if (b.outletsOutside > 0)
    lines.push_back(Plural(b.outletsOutside, "link flows", "links flow") +
                    " to a link outside the file: outlets");
  if (b.steepBeds > 0)
    lines.push_back(Plural(b.steepBeds, "reach has", "reaches have") +
                    " a bed slope above 1 m/m, taken as 1 m/m");
  if (b.withoutBankfull > 0)
    lines.push_back(Plural(b.withoutBankfull, "link has", "links have") +
                    " a top no wider than the bottom: trapezoid, no reference flow");
  std::int64_t gauged = 0;
  for (const std::string& g : b.network.gages) gauged += g.empty() ? 0 : 1;
  lines.push_back(Plural(gauged, "reach", "reaches") + " with a gauge" +
                  (b.gaugesInLakes > 0 ? " (" + Plural(b.gaugesInLakes, "gauge", "gauges") +
                                             " on lake links other than the outlet left out)"
                                       : std::string()));
  return lines;
}

}  // namespace

std::string ImportReport::BriefReport() const {
  std::string text;
  for (const std::string& line : refusal.empty() ? lines : refusal) text += line + "\n";
  return text;
}

ImportReport ImportNwm(const NwmImportOptions& options) {
  ImportReport report;
  try {
    Basin basin = ReadRouteLink(options.routeLink);
    const bool lakes = !options.lakeParameters.empty();
    if (lakes) ReadLakeParameters(options.lakeParameters, basin);
    MappingOutcome mapped =
        MapBasin(basin, {.lakes = lakes, .mergeShorterThan = options.mergeShorterThan});
    if (!mapped.refusal.empty()) {
      report.refusal = std::move(mapped.refusal);
      return report;
    }
    ImportedBasin& imported = mapped.basin;
    report.lines = SummaryOfMapping(basin, imported, lakes);
    if (options.mergeShorterThan > 0.0) {
      char length[32];
      std::snprintf(length, sizeof length, "%g", options.mergeShorterThan);
      report.lines.push_back(Plural(imported.mergedLinks, "link", "links") + " shorter than " +
                             length + " m merged into the links they flow into");
    }

    // The forcing's times, and what its lateral inflow is.
    std::vector<TimedFile> files;
    files.reserve(options.chrtout.size());
    for (const std::string& path : options.chrtout) files.push_back({ReadChrtoutTime(path), path});
    files = SortForcingTimes(std::move(files));
    const LateralSource source =
        options.lateral.value_or(HasRunoff(files.front().path) ? LateralSource::kRunoff
                                                               : LateralSource::kQLateral);
    const std::vector<const char*> variables = LateralVariables(source);

    if (!options.initialState.empty()) {
      const InitialState state = ReadInitialState(options.initialState, basin,
                                                  imported.routedLakes.size(), files.front().time);
      ApplyInitialState(imported, state.linkFlows, state.lakeElevations);
      report.lines.push_back("initial flows: " + state.description);
    }

    OutputsGuard outputs({options.outNetwork, options.outForcing});
    WriteImportedNetwork(options.outNetwork, imported);
    ChrtoutMatcher matcher(basin);
    basin = Basin();
    Network& net = imported.network;
    net.sectionStations = std::vector<double>(), net.sectionElevations = std::vector<double>();
    net.storageTable = std::vector<double>(), net.outflowTable = std::vector<double>();
    net.elevationTable = std::vector<double>(), net.gages = std::vector<std::string>();

    ImportedForcingWriter forcing(options.outForcing, imported, files);
    net.reaches = std::vector<Reach>();  // the writer has the ids it needs
    std::vector<double> linkValues;
    for (const TimedFile& file : files) {
      matcher.Read(file.path, variables, linkValues);
      forcing.Append(linkValues);
    }
    forcing.Close();
    outputs.Keep();
    std::string lateral = variables.front();
    for (std::size_t v = 1; v < variables.size(); ++v) lateral += std::string(" + ") + variables[v];
    report.lines.push_back(
        "forcing: " + Plural(static_cast<std::int64_t>(files.size()), "time", "times") +
        " from " + FormatInstant(files.front().time) + " every " +
        std::to_string(files[1].time.minutes - files[0].time.minutes) +
        " min; lateral inflow " + lateral + "; " +
        Plural(forcing.undefinedValues(), "value", "values") + " undefined (missing in a file)" +
        (matcher.skippedFeatures() > 0
             ? "; " + Plural(matcher.skippedFeatures(), "feature_id", "feature_ids") +
                   " not in the RouteLink skipped"
             : std::string()));
    report.lines.push_back("wrote " + options.outNetwork + " and " + options.outForcing);
  } catch (const ValueError& e) {
    report.refusal = {e.what()};
    report.lines.clear();
  }
  return report;
}

}  // namespace tovalin::network::import
