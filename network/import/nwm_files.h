// The national water model's files as this importer reads them: a RouteLink file (one row per
// channel link), a LAKEPARM file (one row per lake), hourly CHRTOUT files (per feature_id, in
// an order of their own: lateral inflows and routed flows, packed integers with fill values)
// and model state files (per link in RouteLink order, without ids). Any numeric type is
// read (int32 or int64 ids, float or double parameters), unpacked, with missing values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "network/import/basin.h"
#include "network/netcdf_values.h"

namespace tovalin::network::import {

// Reads the links of a RouteLink file in its row order. Needed: link, to, Length, So, n, ChSlp,
// BtmWdth, TopWdth; TopWdthCC and nCC where present (else no floodplain), NHDWaterbodyComID
// (else no lakes), gages, order, lat, lon, alt, MusK, MusX, Qi. A missing parameter value reads
// as NaN; a missing or fractional id is refused (ValueError).
Basin ReadRouteLink(const std::string& path);

// Reads every row of a LAKEPARM file into basin.lakes. Needed: lake_id, LkArea, LkMxE, WeirC,
// WeirL, WeirE, OrificeC, OrificeA, OrificeE; Dam_Length, ifd, lat, lon where present.
void ReadLakeParameters(const std::string& path, Basin& basin);

// What a CHRTOUT file gives as a link's lateral inflow.
enum class LateralSource {
  kRunoff,    // qBucket + qSfcLatRunoff
  kQLateral,  // q_lateral
};
// "runoff" or "q_lateral".
const char* LateralSourceName(LateralSource source) noexcept;

// The instant of a CHRTOUT file: its `time` variable, which holds one time.
Instant ReadChrtoutTime(const std::string& path);

// One CHRTOUT file's values matched to the basin's links by feature_id. Reuses its position
// map while the files list the same feature_ids in the same order.
class ChrtoutMatcher {
 public:
  explicit ChrtoutMatcher(const Basin& basin);
  // The link values (basin link order) of `variables` summed per feature (undefined where one
  // is missing). FileError naming the file when a variable is absent, a feature_id repeats or
  // some of the basin's links are not in it.
  void Read(const std::string& path, std::span<const char* const> variables,
            std::vector<double>& linkValues);
  // feature_ids of the files read that are no link of the basin (each file's count summed).
  std::int64_t skippedFeatures() const noexcept { return skipped_; }

 private:
  std::unordered_map<ReachId, std::int64_t> linkIndex_;
  std::vector<std::int64_t> featureIds_;    // of the last file whose map was built
  std::vector<std::int64_t> linkOfFeature_; // file position -> basin link, -1: not in the basin
  std::int64_t skippedInMap_ = 0, skipped_ = 0;
  std::vector<double> values_, sum_;
};

// The variables a lateral source reads.
std::vector<const char*> LateralVariables(LateralSource source);
// Whether a CHRTOUT file holds the runoff variables (qBucket and qSfcLatRunoff).
bool HasRunoff(const std::string& path);

// A warm start: each link's flow (basin link order) and, where the state gives them, the
// routed lakes' levels.
struct InitialState {
  std::vector<double> linkFlows;
  std::vector<double> lakeElevations;  // empty, or one per routed lake (m)
  std::string description;             // for the summary
};
// Reads a CHRTOUT file's streamflow at `firstTime` (refused at another time), by feature_id;
// or a state file's qlink1 (and resht where present) in RouteLink order, refused unless its
// link count equals the basin's (and its lake count the routed lakes'), naming both counts,
// and unless its Restart_Time (where given) is `firstTime`. ValueError for a refusal.
InitialState ReadInitialState(const std::string& path, const Basin& basin,
                              std::size_t routedLakes, Instant firstTime);

}  // namespace tovalin::network::import
