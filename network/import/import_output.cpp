// The files an importer writes: the network through the engine's writer, the forcing through
// the writer of times.
#include "network/import/import_output.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "tovalin/result.hpp"

namespace tovalin::network::import {
namespace {

std::vector<double> Minutes(std::span<const TimedFile> times) {
  std::vector<double> minutes;
  minutes.reserve(times.size());
  for (const TimedFile& t : times) minutes.push_back(static_cast<double>(t.time.minutes));
  return minutes;
}

std::vector<ReachId> ReachIds(const ImportedBasin& basin) {
  std::vector<ReachId> ids;
  ids.reserve(basin.network.reaches.size());
  for (const Reach& r : basin.network.reaches) ids.push_back(r.id);
  return ids;
}

}  // namespace

std::string Plural(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

OutputsGuard::~OutputsGuard() {
  if (kept_) return;
  std::error_code ignored;
  for (const std::string& p : paths_) std::filesystem::remove(p, ignored);
}

void WriteImportedNetwork(const std::string& path, const ImportedBasin& basin) {
  WriteNetwork(path, basin.network);
}

std::vector<TimedFile> SortForcingTimes(std::vector<TimedFile> files) {
  std::stable_sort(files.begin(), files.end(),
                   [](const TimedFile& a, const TimedFile& b) { return a.time < b.time; });
  if (files.size() < 2)
    throw ValueError("the forcing needs at least two times; " + std::to_string(files.size()) +
                     " given");
  for (std::size_t i = 1; i < files.size(); ++i)
    if (files[i].time == files[i - 1].time)
      throw ValueError("two forcing files at " + FormatInstant(files[i].time) + ": " +
                       files[i - 1].path + " and " + files[i].path);
  // The interval is the smallest step; a larger step that is a whole number of intervals
  // leaves times out, any other is not uniform.
  std::int64_t interval = files[1].time.minutes - files[0].time.minutes;
  for (std::size_t i = 2; i < files.size(); ++i)
    interval = std::min(interval, files[i].time.minutes - files[i - 1].time.minutes);
  for (std::size_t i = 1; i < files.size(); ++i) {
    const std::int64_t step = files[i].time.minutes - files[i - 1].time.minutes;
    if (step == interval) continue;
    const std::string between = files[i - 1].path + " (" + FormatInstant(files[i - 1].time) +
                                ") and " + files[i].path + " (" + FormatInstant(files[i].time) +
                                ")";
    if (step % interval == 0)
      throw ValueError("forcing times missing: " + std::to_string(step / interval - 1) +
                       " of the " + std::to_string(interval) + "-minute interval between " +
                       between);
    throw ValueError("forcing times not uniform: " + std::to_string(step) + " min between " +
                     between + ", the interval is " + std::to_string(interval) + " min");
  }
  return files;
}

ImportedForcingWriter::ImportedForcingWriter(const std::string& path, const ImportedBasin& basin,
                                             std::span<const TimedFile> times)
    : basin_(basin),
      writer_(path, kForcingTimeUnits, Minutes(times), ReachIds(basin)),
      reachValues_(basin.linkStart.size() - 1) {}

void ImportedForcingWriter::Append(std::span<const double> linkValues) {
  RouteLaterals(basin_, linkValues, reachValues_);
  undefined_ += std::count(reachValues_.begin(), reachValues_.end(), kUndefined);
  writer_.Append(reachValues_);
}

void ImportedForcingWriter::Close() { writer_.Close(); }

}  // namespace tovalin::network::import
