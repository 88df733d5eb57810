// What every importer writes from a mapped basin: the network file (the engine's network and
// the reach variables the importer keeps) and the forcing, written one time after another from
// each time's per-link lateral inflows, so that no importer holds the whole forcing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network/import/basin_mapping.h"
#include "network/netcdf_io.h"
#include "network/netcdf_values.h"

namespace tovalin::network::import {

// "n one" or "n many": a count with its noun, for the import's report.
std::string Plural(std::int64_t n, const char* one, const char* many);

// The files an import writes, removed when it stops before its end: Keep() once they are
// complete.
class OutputsGuard {
 public:
  explicit OutputsGuard(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  ~OutputsGuard();
  OutputsGuard(const OutputsGuard&) = delete;
  OutputsGuard& operator=(const OutputsGuard&) = delete;
  void Keep() { kept_ = true; }

 private:
  std::vector<std::string> paths_;
  bool kept_ = false;
};

// The forcing's time units: instants are written as minutes since this epoch.
inline constexpr const char* kForcingTimeUnits = "minutes since 1970-01-01 00:00:00";

// Writes the network file of an imported basin.
void WriteImportedNetwork(const std::string& path, const ImportedBasin& basin);

// The times of a run's forcing files: sorted, at least two, none repeated, uniform in whole
// minutes. ValueError naming the files otherwise. Returns the files in time order.
struct TimedFile {
  Instant time;
  std::string path;
};
std::vector<TimedFile> SortForcingTimes(std::vector<TimedFile> files);

// A forcing being written: each Append takes one time's lateral inflow of every basin link
// (basin link order) and routes it into the reaches (see RouteLaterals). Memory: the writer's
// kTimeSeriesChunk.times times of every reach, plus one time of every reach.
class ImportedForcingWriter {
 public:
  ImportedForcingWriter(const std::string& path, const ImportedBasin& basin,
                        std::span<const TimedFile> times);
  void Append(std::span<const double> linkValues);
  void Close();
  // Reach values written as undefined (a link's lateral inflow was missing).
  std::int64_t undefinedValues() const noexcept { return undefined_; }

 private:
  const ImportedBasin& basin_;
  ForcingSliceWriter writer_;
  std::vector<double> reachValues_;
  std::int64_t undefined_ = 0;
};

}  // namespace tovalin::network::import
