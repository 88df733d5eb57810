// Basin to network: ids and lakes checked, links grouped into lake reaches (and short links
// into the links they flow into, where asked), the reaches' ids and downstream ids validated
// and put in routing order, then each reach's parameters, sections and tables built in that
// order and the whole validated as the engine validates it.
#include "network/import/basin_mapping.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "network/import/channel_shape.h"
#include "network/import/level_pool.h"
#include "tovalin/result.hpp"

namespace tovalin::network::import {
namespace {

constexpr std::size_t kNamedItems = 10;
// The steepest bed the engine routes (m/m, 45 degrees): a steeper So (a fall the model's data
// puts on one link) is taken as this.
constexpr double kSteepestBed = 1.0;

// One kind of problem and the links or lakes it names (at most kNamedItems, then a count).
class Finding {
 public:
  explicit Finding(std::string what) : what_(std::move(what)) {}
  void Add(const std::string& item) {
    if (count_++ < kNamedItems) named_.push_back(item);
  }
  void AppendTo(Problems& problems) const {
    if (count_ == 0) return;
    std::string line = what_ + ": ";
    for (std::size_t i = 0; i < named_.size(); ++i) line += (i ? ", " : "") + named_[i];
    if (count_ > named_.size()) line += " and " + std::to_string(count_ - named_.size()) + " more";
    problems.push_back(line);
  }

 private:
  std::string what_;
  std::vector<std::string> named_;
  std::size_t count_ = 0;
};

bool Undefined(double v) { return v == kUndefined || std::isnan(v); }
// The undefined value for a NaN (what the source lacks), else the value.
double Defined(double v) { return std::isnan(v) ? kUndefined : v; }

// A reach before its parameters: a channel link, or a lake with its links.
struct Draft {
  ReachId id = 0;
  ReachId toId = 0;
  std::int64_t outletLink = -1;  // basin link index
  std::int64_t lakeRow = -1;     // row of basin.lakes, -1 for a channel
  std::vector<std::int64_t> links;
};

// The links of each lake (by lake id, ascending), when lakes are routed.
using LakeLinks = std::map<std::int64_t, std::vector<std::int64_t>>;

// For each link, the link it merges into (-1: none): a link shorter than `shorter` m, outside
// any lake and without a gauge, merges into the link it flows into when that link lies in no
// lake and receives no other link (no junction). Links on a cycle merge into none.
std::vector<std::int64_t> MergeTargets(const std::vector<ChannelLink>& links,
                                       const std::unordered_map<ReachId, std::int64_t>& index,
                                       double shorter) {
  const std::size_t n = links.size();
  std::vector<std::int64_t> downstream(n, -1), upstreamCount(n, 0), target(n, -1);
  for (std::size_t i = 0; i < n; ++i)
    if (const auto to = index.find(links[i].toId); to != index.end())
      downstream[i] = to->second, ++upstreamCount[to->second];
  for (std::size_t i = 0; i < n; ++i) {
    const std::int64_t d = downstream[i];
    if (d < 0 || !(links[i].length < shorter) || links[i].waterbody != kNoWaterbody ||
        !links[i].gage.empty() || links[d].waterbody != kNoWaterbody || upstreamCount[d] != 1)
      continue;
    target[i] = d;
  }
  // A run of merges that comes back on itself is a cycle: undone, for validation to name.
  std::vector<std::uint8_t> state(n, 0);  // 0 new, 1 on the walk, 2 done
  std::vector<std::int64_t> walk;
  for (std::size_t start = 0; start < n; ++start) {
    walk.clear();
    std::int64_t i = static_cast<std::int64_t>(start);
    while (i >= 0 && state[i] == 0) state[i] = 1, walk.push_back(i), i = target[i];
    if (i >= 0 && state[i] == 1)
      for (std::int64_t w : walk) target[w] = -1;
    for (std::int64_t w : walk) state[w] = 2;
  }
  return target;
}

// The link that the merges starting at link i end in.
std::int64_t MergeRoot(const std::vector<std::int64_t>& target, std::int64_t i) {
  while (target[i] >= 0) i = target[i];
  return i;
}

// Links merged into the last of them: length summed; slope, bottom, top and floodplain widths,
// side run z and both roughnesses weighted by length (the slope so the total fall is kept);
// ids, gauge, order and position the last link's.
ChannelLink Merged(const std::vector<ChannelLink>& links, const std::vector<std::int64_t>& members,
                   std::int64_t last) {
  ChannelLink m = links[last];
  double length = 0.0, slope = 0.0, bottom = 0.0, top = 0.0, compound = 0.0, n = 0.0,
         nCompound = 0.0, run = 0.0;
  for (std::int64_t i : members) {
    const ChannelLink& l = links[i];
    length += l.length;
    slope += l.length * l.slope;
    bottom += l.length * l.bottomWidth;
    top += l.length * l.topWidth;
    compound += l.length * l.topWidthCompound;
    n += l.length * l.manningN;
    nCompound += l.length * l.manningNCompound;
    run += l.length * SideRun(l.sideSlope);
  }
  m.length = length;
  m.slope = slope / length;
  m.bottomWidth = bottom / length;
  m.topWidth = top / length;
  m.topWidthCompound = compound / length;
  m.manningN = n / length;
  m.manningNCompound = nCompound / length;
  m.sideSlope = length / run;  // ChSlp = 1 / z of the mean run
  return m;
}

}  // namespace

MappingOutcome MapBasin(const Basin& basin, const MappingOptions& options) {
  MappingOutcome outcome;
  ImportedBasin& out = outcome.basin;
  Problems& problems = outcome.refusal;
  const auto& links = basin.links;

  // Link ids: positive, once each.
  Finding badId("link id not positive"), repeated("link id repeated");
  std::unordered_map<ReachId, std::int64_t> linkIndex;
  linkIndex.reserve(links.size());
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (links[i].id <= 0) badId.Add(std::to_string(links[i].id));
    if (!linkIndex.emplace(links[i].id, static_cast<std::int64_t>(i)).second)
      repeated.Add(std::to_string(links[i].id));
  }
  badId.AppendTo(problems);
  repeated.AppendTo(problems);
  if (!problems.empty()) return outcome;

  // Lakes: the links of each, its table row, its outlet.
  LakeLinks lakeLinks;
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (links[i].waterbody == kNoWaterbody) continue;
    if (options.lakes)
      lakeLinks[links[i].waterbody].push_back(static_cast<std::int64_t>(i));
    else
      ++out.lakeLinksAsChannels;
  }
  std::unordered_map<std::int64_t, std::int64_t> lakeRowOf;
  Finding twiceInTable("lake appears twice in the lake table");
  for (std::size_t r = 0; r < basin.lakes.size(); ++r)
    if (!lakeRowOf.emplace(basin.lakes[r].id, static_cast<std::int64_t>(r)).second &&
        lakeLinks.contains(basin.lakes[r].id))
      twiceInTable.Add(std::to_string(basin.lakes[r].id));
  Finding noRow("lake without a row in the lake table"), lakeIsLink("lake id is also a link id"),
      lakeBadId("lake id not positive"), unsound("lake parameters unusable"),
      noOutlet("lake without an outlet link (every link of the lake flows into the lake)"),
      outlets("lake with more than one outlet link");
  std::vector<std::int64_t> reachOfLink(links.size(), -1);
  std::vector<Draft> drafts;
  std::unordered_map<std::int64_t, std::int64_t> lakeDraft;  // lake id -> draft
  for (const auto& [lake, members] : lakeLinks) {
    const auto row = lakeRowOf.find(lake);
    if (lake <= 0) lakeBadId.Add(std::to_string(lake));
    if (row == lakeRowOf.end()) {
      noRow.Add(std::to_string(lake) + " (" + std::to_string(members.size()) + " links)");
      continue;
    }
    if (linkIndex.contains(lake)) lakeIsLink.Add(std::to_string(lake));
    if (const std::string p = LakeProblem(basin.lakes[row->second]); !p.empty())
      unsound.Add(std::to_string(lake) + " (" + p + ")");
    std::vector<std::int64_t> exits;
    for (std::int64_t i : members) {
      const auto to = linkIndex.find(links[i].toId);
      if (to == linkIndex.end() || links[to->second].waterbody != lake) exits.push_back(i);
    }
    std::sort(exits.begin(), exits.end(),
              [&](std::int64_t a, std::int64_t b) { return links[a].id < links[b].id; });
    if (exits.empty()) noOutlet.Add(std::to_string(lake));
    if (exits.size() > 1) {
      std::string named = std::to_string(lake) + " (links";
      for (std::size_t k = 0; k < exits.size() && k < kNamedItems; ++k)
        named += " " + std::to_string(links[exits[k]].id);
      outlets.Add(named + ")");
    }
    Draft d;
    d.id = lake;
    d.lakeRow = row->second;
    d.outletLink = exits.empty() ? members.front() : exits.front();
    d.links = members;
    lakeDraft.emplace(lake, static_cast<std::int64_t>(drafts.size()));
    for (std::int64_t i : members) reachOfLink[i] = static_cast<std::int64_t>(drafts.size());
    drafts.push_back(std::move(d));
  }
  for (const Finding* f : {&twiceInTable, &noRow, &lakeBadId, &lakeIsLink, &unsound, &noOutlet,
                           &outlets})
    f->AppendTo(problems);
  if (!problems.empty()) return outcome;

  // Channel reaches: one per link outside the lakes, the short links merged into the link they
  // flow into where asked.
  const std::vector<std::int64_t> target =
      options.mergeShorterThan > 0.0 ? MergeTargets(links, linkIndex, options.mergeShorterThan)
                                     : std::vector<std::int64_t>(links.size(), -1);
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (reachOfLink[i] >= 0 || target[i] >= 0) continue;
    Draft d;
    d.id = links[i].id;
    d.outletLink = static_cast<std::int64_t>(i);
    d.links = {static_cast<std::int64_t>(i)};
    reachOfLink[i] = static_cast<std::int64_t>(drafts.size());
    drafts.push_back(std::move(d));
  }
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (target[i] < 0) continue;
    const std::int64_t draft = reachOfLink[MergeRoot(target, static_cast<std::int64_t>(i))];
    drafts[draft].links.push_back(static_cast<std::int64_t>(i));
    reachOfLink[i] = draft;
    ++out.mergedLinks;
  }
  // Downstream reaches: where the outlet link flows; outside the basin is an outlet.
  Network topologyOnly;
  topologyOnly.reaches.resize(drafts.size());
  for (std::size_t r = 0; r < drafts.size(); ++r) {
    Draft& d = drafts[r];
    const ReachId to = links[d.outletLink].toId;
    const auto target = linkIndex.find(to);
    if (to != 0 && target == linkIndex.end()) ++out.outletsOutside;
    d.toId = target == linkIndex.end() ? 0 : drafts[reachOfLink[target->second]].id;
    std::sort(d.links.begin(), d.links.end(),
              [&](std::int64_t a, std::int64_t b) { return links[a].id < links[b].id; });
    topologyOnly.reaches[r].id = d.id;
    topologyOnly.reaches[r].toId = d.toId;
  }
  problems = ValidateLinks(topologyOnly);
  if (!problems.empty()) return outcome;
  const Topology topology = BuildTopology(topologyOnly);
  topologyOnly = {};

  // The reaches in routing order, with their parameters.
  const std::size_t n = drafts.size();
  Network& net = out.network;
  net.reaches.resize(n);
  net.gages.resize(n);
  out.linkStart.assign(1, 0);
  out.outletLink.resize(n);
  out.lakeRow.resize(n);
  for (std::size_t p = 0; p < n; ++p) {
    const Draft& d = drafts[static_cast<std::size_t>(topology.order[p])];
    const ChannelLink& outlet = links[d.outletLink];
    Reach& r = net.reaches[p];
    r.id = d.id;
    r.toId = d.toId;
    r.muskingumK = r.muskingumX = kUndefined;
    r.lossElevation = r.lossRate = kUndefined;
    r.leftOverbankManningN = r.rightOverbankManningN = kUndefined;
    r.bottomWidth = r.sideSlope = kUndefined;
    r.tableStart = r.sectionStart = -1;
    out.links.insert(out.links.end(), d.links.begin(), d.links.end());
    out.linkStart.push_back(static_cast<std::int64_t>(out.links.size()));
    out.outletLink[p] = d.outletLink;
    out.lakeRow[p] = d.lakeRow;
    net.gages[p] = outlet.gage;
    r.latitude = Defined(outlet.latitude);
    r.longitude = Defined(outlet.longitude);
    r.order = 0;
    if (d.lakeRow >= 0) {
      // A lake: modified Puls in one step through its level pool's table.
      const LakeParameters& lake = basin.lakes[static_cast<std::size_t>(d.lakeRow)];
      const LakeTable table = BuildLakeTable(lake);
      r.method = Method::kPuls;
      r.stepCount = 1;
      r.tableStart = static_cast<std::int64_t>(net.storageTable.size());
      r.tableCount = static_cast<std::int32_t>(table.storage.size());
      net.storageTable.insert(net.storageTable.end(), table.storage.begin(), table.storage.end());
      net.outflowTable.insert(net.outflowTable.end(), table.outflow.begin(), table.outflow.end());
      net.elevationTable.insert(net.elevationTable.end(), table.elevation.begin(),
                                table.elevation.end());
      r.reachLength = 0.0;
      for (std::int64_t i : d.links) {
        r.reachLength += links[i].length;
        r.order = std::max(r.order, links[i].order);
        if (i != d.outletLink && !links[i].gage.empty()) ++out.gaugesInLakes;
      }
      r.channelSlope = r.manningN = kUndefined;
      r.initialLevel = InitialElevation(lake);
      if (std::isfinite(lake.latitude) && std::isfinite(lake.longitude))
        r.latitude = lake.latitude, r.longitude = lake.longitude;
      out.linksInLakes += static_cast<std::int64_t>(d.links.size());
      ++out.lakeReaches;
      continue;
    }
    // A channel: Muskingum-Cunge through the model's channel (of the merged links).
    ChannelLink channel = d.links.size() > 1 ? Merged(links, d.links, d.outletLink) : outlet;
    if (channel.slope > kSteepestBed) channel.slope = kSteepestBed, ++out.steepBeds;
    r.reachLength = channel.length;
    r.channelSlope = channel.slope;
    r.manningN = channel.manningN;
    r.order = channel.order;
    r.referenceFlow = BankfullFlow(channel);
    if (!(BankfullDepth(channel) > 0.0)) ++out.withoutBankfull;
    if (HasCompoundChannel(channel)) {
      const EightPointSection section = CompoundSection(channel);
      r.method = Method::kMuskingumCunge8Point;
      r.leftOverbankManningN = section.manningN[0];
      r.rightOverbankManningN = section.manningN[2];
      r.sectionStart = static_cast<std::int64_t>(net.sectionStations.size());
      net.sectionStations.insert(net.sectionStations.end(), section.stations.begin(),
                                 section.stations.end());
      net.sectionElevations.insert(net.sectionElevations.end(), section.elevations.begin(),
                                   section.elevations.end());
      ++out.eightPointReaches;
    } else {
      const TrapezoidSection section = TrapezoidOf(channel);
      r.method = Method::kMuskingumCungePrism;
      r.bottomWidth = section.bottomWidth;
      r.sideSlope = section.sideSlope;
      ++out.trapezoidReaches;
    }
  }
  for (std::int64_t row = 0; row < static_cast<std::int64_t>(basin.lakes.size()); ++row)
    if (lakeDraft.contains(basin.lakes[row].id) &&
        drafts[lakeDraft.at(basin.lakes[row].id)].lakeRow == row)
      out.routedLakes.push_back(row);
  problems = ValidateNetwork(net);
  return outcome;
}

void RouteLaterals(const ImportedBasin& imported, std::span<const double> linkValues,
                   std::span<double> reachValues) {
  const std::size_t n = imported.linkStart.size() - 1;
  for (std::size_t r = 0; r < n; ++r) {
    double sum = 0.0;
    for (std::int64_t k = imported.linkStart[r]; k < imported.linkStart[r + 1]; ++k) {
      const double v = linkValues[static_cast<std::size_t>(imported.links[k])];
      if (Undefined(v)) {
        sum = kUndefined;
        break;
      }
      sum += v;
    }
    reachValues[r] = sum;
  }
}

void ApplyInitialState(ImportedBasin& imported, std::span<const double> linkFlows,
                       std::span<const double> lakeElevations) {
  const std::size_t n = imported.network.reaches.size();
  std::unordered_map<std::int64_t, std::size_t> lakeAt;
  for (std::size_t k = 0; k < imported.routedLakes.size(); ++k)
    lakeAt.emplace(imported.routedLakes[k], k);
  for (std::size_t r = 0; r < n; ++r) {
    const double q = linkFlows[static_cast<std::size_t>(imported.outletLink[r])];
    Reach& reach = imported.network.reaches[r];
    reach.initialFlow = Undefined(q) ? kUndefined : q;
    if (imported.lakeRow[r] < 0) continue;
    const std::size_t k = lakeAt.at(imported.lakeRow[r]);
    reach.initialLevel = k < lakeElevations.size() && !Undefined(lakeElevations[k])
                                   ? lakeElevations[k]
                                   : kUndefined;
  }
}

}  // namespace tovalin::network::import
