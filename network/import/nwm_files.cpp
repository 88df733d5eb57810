// Reading the model's RouteLink, LAKEPARM, CHRTOUT and state files through the typed netCDF
// reading of the engine (any numeric type, CF packing and missing values, 64-bit ids, text,
// time axes).
#include "network/import/nwm_files.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tovalin/result.hpp"

namespace tovalin::network::import {
namespace {

constexpr std::size_t kNamedLinks = 10;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A variable's values as doubles, one per row of `rows`, NaN where missing; all NaN when
// the variable is absent and not required.
std::vector<double> Reals(const InputFile& f, const char* name, std::size_t rows, bool required) {
  const std::optional<Variable> v = required ? f.Require(name) : f.Find(name);
  if (!v) return std::vector<double>(rows, kNaN);
  std::vector<double> values = ReadReals(*v);
  if (values.size() != rows)
    throw FileError(f.path() + ": variable '" + name + "' has " + std::to_string(values.size()) +
                    " values for " + std::to_string(rows) + " rows");
  for (double& x : values)
    if (x == kUndefined) x = kNaN;
  return values;
}

// A variable's values as integers, one per row, `missing` where missing or absent.
std::vector<std::int64_t> Integers(const InputFile& f, const char* name, std::size_t rows,
                                   std::int64_t missing) {
  const std::optional<Variable> v = f.Find(name);
  if (!v) return std::vector<std::int64_t>(rows, missing);
  std::vector<std::int64_t> values = ReadIntegers(*v, {}, {.missing = missing, .where = nullptr});
  if (values.size() != rows)
    throw FileError(f.path() + ": variable '" + name + "' has " + std::to_string(values.size()) +
                    " values for " + std::to_string(rows) + " rows");
  return values;
}

// "a, b, c and N more" of at most kNamedLinks ids.
std::string Named(const std::vector<std::int64_t>& ids) {
  std::string s;
  for (std::size_t i = 0; i < ids.size() && i < kNamedLinks; ++i)
    s += (i ? ", " : "") + std::to_string(ids[i]);
  if (ids.size() > kNamedLinks) s += " and " + std::to_string(ids.size() - kNamedLinks) + " more";
  return s;
}

}  // namespace

Basin ReadRouteLink(const std::string& path) {
  const InputFile f(path);
  Basin basin;
  const std::vector<std::int64_t> ids = ReadIntegers(f.Require("link"));
  const std::size_t n = ids.size();
  const std::vector<std::int64_t> to = ReadIntegers(f.Require("to"));
  if (to.size() != n)
    throw FileError(path + ": variable 'to' has " + std::to_string(to.size()) + " values for " +
                    std::to_string(n) + " links");
  const auto length = Reals(f, "Length", n, true);
  const auto slope = Reals(f, "So", n, true);
  const auto manning = Reals(f, "n", n, true);
  const auto side = Reals(f, "ChSlp", n, true);
  const auto bottom = Reals(f, "BtmWdth", n, true);
  const auto top = Reals(f, "TopWdth", n, true);
  const auto topCompound = Reals(f, "TopWdthCC", n, false);
  const auto manningCompound = Reals(f, "nCC", n, false);
  const auto k = Reals(f, "MusK", n, false);
  const auto x = Reals(f, "MusX", n, false);
  const auto initial = Reals(f, "Qi", n, false);
  const auto latitude = Reals(f, "lat", n, false);
  const auto longitude = Reals(f, "lon", n, false);
  const auto altitude = Reals(f, "alt", n, false);
  const auto waterbody = Integers(f, "NHDWaterbodyComID", n, kNoWaterbody);
  const auto order = Integers(f, "order", n, 0);
  std::vector<std::string> gages(n);
  if (const auto g = f.Find("gages")) {
    gages = ReadTexts(*g);
    if (gages.size() != n)
      throw FileError(path + ": variable 'gages' has " + std::to_string(gages.size()) +
                      " values for " + std::to_string(n) + " rows");
  }
  basin.links.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    ChannelLink& l = basin.links[i];
    l.id = ids[i];
    l.toId = to[i];
    l.length = length[i];
    l.slope = slope[i];
    l.manningN = manning[i];
    l.sideSlope = side[i];
    l.bottomWidth = bottom[i];
    l.topWidth = top[i];
    l.topWidthCompound = topCompound[i];
    l.manningNCompound = manningCompound[i];
    l.muskingumK = k[i];
    l.muskingumX = x[i];
    l.initialFlow = initial[i];
    l.waterbody = waterbody[i];
    l.gage = std::move(gages[i]);
    l.order = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(order[i], 0, std::numeric_limits<std::int32_t>::max()));
    l.latitude = latitude[i];
    l.longitude = longitude[i];
    l.altitude = altitude[i];
  }
  return basin;
}

void ReadLakeParameters(const std::string& path, Basin& basin) {
  const InputFile f(path);
  const std::vector<std::int64_t> ids = ReadIntegers(f.Require("lake_id"));
  const std::size_t n = ids.size();
  const auto area = Reals(f, "LkArea", n, true);
  const auto top = Reals(f, "LkMxE", n, true);
  const auto weirC = Reals(f, "WeirC", n, true);
  const auto weirL = Reals(f, "WeirL", n, true);
  const auto weirE = Reals(f, "WeirE", n, true);
  const auto orificeC = Reals(f, "OrificeC", n, true);
  const auto orificeA = Reals(f, "OrificeA", n, true);
  const auto orificeE = Reals(f, "OrificeE", n, true);
  const auto dam = Reals(f, "Dam_Length", n, false);
  const auto ifd = Reals(f, "ifd", n, false);
  const auto latitude = Reals(f, "lat", n, false);
  const auto longitude = Reals(f, "lon", n, false);
  basin.lakes.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    LakeParameters& p = basin.lakes[i];
    p.id = ids[i];
    p.area = area[i];
    p.maxElevation = top[i];
    p.weirCoefficient = weirC[i];
    p.weirLength = weirL[i];
    p.weirElevation = weirE[i];
    p.orificeCoefficient = orificeC[i];
    p.orificeArea = orificeA[i];
    p.orificeElevation = orificeE[i];
    p.damLength = dam[i];
    p.initialFractionalDepth = ifd[i];
    p.latitude = latitude[i];
    p.longitude = longitude[i];
  }
}

const char* LateralSourceName(LateralSource source) noexcept {
  return source == LateralSource::kRunoff ? "runoff" : "q_lateral";
}

std::vector<const char*> LateralVariables(LateralSource source) {
  if (source == LateralSource::kRunoff) return {"qBucket", "qSfcLatRunoff"};
  return {"q_lateral"};
}

bool HasRunoff(const std::string& path) {
  const InputFile f(path);
  return f.Find("qBucket") && f.Find("qSfcLatRunoff");
}

Instant ReadChrtoutTime(const std::string& path) {
  const InputFile f(path);
  const TimeAxis axis = ReadTimeAxis(f.Require("time"));
  if (axis.instants.size() != 1)
    throw ValueError(path + ": 'time' holds " + std::to_string(axis.instants.size()) +
                     " times; a CHRTOUT file holds one");
  return axis.instants.front();
}

ChrtoutMatcher::ChrtoutMatcher(const Basin& basin) {
  linkIndex_.reserve(basin.links.size());
  for (std::size_t i = 0; i < basin.links.size(); ++i)
    linkIndex_.emplace(basin.links[i].id, static_cast<std::int64_t>(i));
}

void ChrtoutMatcher::Read(const std::string& path, std::span<const char* const> variables,
                          std::vector<double>& linkValues) {
  const InputFile f(path);
  std::vector<std::int64_t> ids = ReadIntegers(f.Require("feature_id"));
  const std::size_t features = ids.size(), links = linkIndex_.size();
  if (ids != featureIds_) {
    // A new order of features: match each to its link, once each, every link found.
    linkOfFeature_.assign(features, -1);
    std::vector<std::uint8_t> found(links, 0);
    std::vector<std::int64_t> repeated;
    skippedInMap_ = 0;
    for (std::size_t p = 0; p < features; ++p) {
      const auto it = linkIndex_.find(ids[p]);
      if (it == linkIndex_.end()) {
        ++skippedInMap_;
        continue;
      }
      if (found[it->second]++) repeated.push_back(ids[p]);
      linkOfFeature_[p] = it->second;
    }
    if (!repeated.empty())
      throw ValueError(path + ": feature_id repeated: " + Named(repeated));
    if (std::count(found.begin(), found.end(), 0) > 0) {
      std::vector<std::int64_t> missing;
      for (const auto& [id, i] : linkIndex_)
        if (!found[i]) missing.push_back(id);
      std::sort(missing.begin(), missing.end());
      throw ValueError(path + ": " + std::to_string(missing.size()) + " of the " +
                       std::to_string(links) + " links are not among its feature_ids: " +
                       Named(missing));
    }
    featureIds_ = std::move(ids);
  }
  skipped_ += skippedInMap_;
  // The variables summed per feature, undefined where one of them is.
  sum_.assign(features, 0.0);
  for (const char* name : variables) {
    ReadReals(f.Require(name), {}, values_);
    if (values_.size() != features)
      throw FileError(path + ": variable '" + name + "' has " + std::to_string(values_.size()) +
                      " values for " + std::to_string(features) + " feature_ids");
    for (std::size_t p = 0; p < features; ++p)
      sum_[p] = values_[p] == kUndefined || sum_[p] == kUndefined ? kUndefined : sum_[p] + values_[p];
  }
  linkValues.assign(links, kUndefined);
  for (std::size_t p = 0; p < features; ++p)
    if (linkOfFeature_[p] >= 0) linkValues[static_cast<std::size_t>(linkOfFeature_[p])] = sum_[p];
}

InitialState ReadInitialState(const std::string& path, const Basin& basin,
                              std::size_t routedLakes, Instant firstTime) {
  InitialState state;
  const InputFile f(path);
  const auto refuseTime = [&](Instant at) {
    if (at != firstTime)
      throw ValueError(path + ": the initial state is at " + FormatInstant(at) +
                       ", the forcing starts at " + FormatInstant(firstTime));
  };
  if (f.Find("streamflow") && f.Find("feature_id")) {
    // A CHRTOUT file: the model's routed flow of each link, by feature_id.
    refuseTime(ReadChrtoutTime(path));
    ChrtoutMatcher matcher(basin);
    const char* const variables[] = {"streamflow"};
    matcher.Read(path, variables, state.linkFlows);
    state.description = "streamflow of " + path + " at " + FormatInstant(firstTime);
    return state;
  }
  const std::optional<Variable> q = f.Find("qlink1");
  if (!q)
    throw FileError(path + ": neither a CHRTOUT file (feature_id, streamflow) nor a model "
                           "state file (qlink1)");
  // A state without ids: its values pair with the links by position only when the counts
  // agree.
  if (q->shape.size() != 1 || q->shape[0] != basin.links.size())
    throw ValueError(path + ": a state without link ids holds " + std::to_string(q->size()) +
                     " links, the RouteLink " + std::to_string(basin.links.size()) +
                     ": its values cannot be paired with the links");
  const std::optional<Variable> h = f.Find("resht");
  if (h && h->size() != routedLakes)
    throw ValueError(path + ": a state without lake ids holds " + std::to_string(h->size()) +
                     " lakes, the basin routes " + std::to_string(routedLakes) +
                     ": its levels cannot be paired with the lakes");
  Variable global;
  global.file = f.id();
  global.id = NC_GLOBAL;
  global.path = path;
  if (std::string at = global.TextAttribute("Restart_Time"); !at.empty()) {
    // "YYYY-MM-DD_hh:mm:ss", read as the epoch of a time axis.
    std::replace(at.begin(), at.end(), '_', ' ');
    const TimeReference reference = ParseTimeUnits(TimeUnits("minutes since " + at));
    refuseTime(Instant{reference.epochSeconds / 60});
  }
  state.linkFlows = ReadReals(*q);
  if (h) state.lakeElevations = ReadReals(*h);
  state.description = "qlink1" + std::string(h ? " and resht" : "") + " of " + path;
  return state;
}

}  // namespace tovalin::network::import
