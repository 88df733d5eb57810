// Network validation and routing order. Problems name at most kNamedReaches reaches per kind,
// then count the rest, so that a broken million-reach file gives a readable refusal.
#include "network/topology.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "tovalin/result.hpp"
#include "network/reach_routing.h"

namespace tovalin::network {
namespace {

constexpr std::size_t kNamedReaches = 10;
constexpr double kLargestWeight = 0.5;
constexpr std::int32_t kMaxStepCount = 1000;
// Bounds beyond which no channel lies, so that no input asks a routine for days of work: a
// bed steeper than 1 m/m (45 degrees), a bottom width or conduit diameter above 100 km.
constexpr double kSteepestSlope = 1.0;     // m/m
constexpr double kWidestChannel = 1.0e5;   // m

// Collects the reaches of one kind of problem and words them as one line.
class Finding {
 public:
  explicit Finding(std::string what) : what_(std::move(what)) {}
  void Add(ReachId id, const std::string& detail = {}) {
    if (named_.size() < kNamedReaches)
      named_.push_back(std::to_string(id) + (detail.empty() ? "" : " (" + detail + ")"));
    ++count_;
  }
  void AppendTo(Problems& problems) const {
    if (count_ == 0) return;
    std::string line = what_ + ": reach" + (count_ > 1 ? "es " : " ");
    for (std::size_t i = 0; i < named_.size(); ++i) line += (i ? ", " : "") + named_[i];
    if (count_ > named_.size()) line += " and " + std::to_string(count_ - named_.size()) + " more";
    problems.push_back(line);
  }

 private:
  std::string what_;
  std::vector<std::string> named_;
  std::size_t count_ = 0;
};

bool Positive(double v) { return !IsUndefined(v) && std::isfinite(v) && v > 0.0; }
bool NonNegative(double v) { return !IsUndefined(v) && std::isfinite(v) && v >= 0.0; }
bool Finite(double v) { return !IsUndefined(v) && std::isfinite(v); }

bool Given(double v) { return !IsUndefined(v); }

// The first problem with a reach's method parameters, empty when there is none. The optional
// reference and initial values are checked where the file gives them.
std::string ParameterProblem(const Network& net, const Reach& r) {
  if (Given(r.referenceFlow) && !Positive(r.referenceFlow))
    return "referenceFlow not positive and finite";
  if (Given(r.initialFlow) && !NonNegative(r.initialFlow))
    return "initial_flow negative or not finite";
  if (Given(r.initialLevel) && !Finite(r.initialLevel)) return "initial_level not finite";
  const auto steps = [&]() -> std::string {
    if (r.stepCount < 1 || r.stepCount > kMaxStepCount)
      return r.stepCount == kMissingInteger ? "stepCount missing" : "stepCount not 1 to 1000";
    return {};
  };
  switch (r.method) {
    case Method::kMuskingum:
      if (!Positive(r.muskingumK)) return "muskingumK missing or not positive";
      if (!NonNegative(r.muskingumX) || r.muskingumX > kLargestWeight)
        return "muskingumX missing or outside 0 to 0.5";
      return steps();
    case Method::kPuls:
    case Method::kPulsWithLoss: {
      if (auto s = steps(); !s.empty()) return s;
      const std::size_t points = net.storageTable.size();
      if (r.tableCount < 2 || r.tableStart < 0 ||
          static_cast<std::size_t>(r.tableStart) + static_cast<std::size_t>(r.tableCount) > points)
        return "Puls table missing or outside the table arrays";
      const auto first = static_cast<std::size_t>(r.tableStart);
      // The elevations serve the loss, and a start at initial_level (looked up in them).
      const bool level = Given(r.initialLevel);
      const bool elevations = r.method == Method::kPulsWithLoss || level;
      if (elevations && first + r.tableCount > net.elevationTable.size())
        return "elevationTable missing";
      for (std::size_t i = first; i < first + r.tableCount; ++i) {
        if (!NonNegative(net.storageTable[i]) || !NonNegative(net.outflowTable[i]))
          return "Puls table value missing or negative";
        if (i > first && (net.storageTable[i] <= net.storageTable[i - 1] ||
                          net.outflowTable[i] <= net.outflowTable[i - 1]))
          return "Puls table not ascending";
        if (elevations && !Finite(net.elevationTable[i]))
          return level ? "elevationTable value missing (initial_level is looked up in it)"
                       : "elevationTable value missing";
        if (level && i > first && net.elevationTable[i] < net.elevationTable[i - 1])
          return "elevationTable descending (initial_level is looked up in it)";
      }
      if (r.method == Method::kPulsWithLoss &&
          (!Finite(r.lossElevation) || !NonNegative(r.lossRate)))
        return "lossElevation or lossRate missing or invalid";
      return {};
    }
    case Method::kMuskingumCunge8Point:
    case Method::kMuskingumCungePrism:
      if (!Positive(r.reachLength)) return "reachLength missing or not positive";
      if (!Positive(r.channelSlope) || r.channelSlope > kSteepestSlope)
        return "channelSlope missing or not above 0 and at most 1";
      if (!Positive(r.manningN)) return "manningN missing or not positive";
      if (r.method == Method::kMuskingumCungePrism) {
        if (!Positive(r.bottomWidth) && !(r.bottomWidth == 0.0 && Positive(r.sideSlope)))
          return "bottomWidth missing or not positive";
        if (r.bottomWidth > kWidestChannel) return "bottomWidth above 100 km";
        if (!r.circle && !NonNegative(r.sideSlope)) return "sideSlope missing or negative";
        return {};
      }
      if (!Positive(r.leftOverbankManningN) || !Positive(r.rightOverbankManningN))
        return "overbank Manning roughness missing or not positive";
      if (r.sectionStart < 0 ||
          static_cast<std::size_t>(r.sectionStart) + kSectionPoints > net.sectionStations.size())
        return "eight-point section missing or outside the section arrays";
      for (int p = 0; p < kSectionPoints; ++p) {
        const auto i = static_cast<std::size_t>(r.sectionStart) + p;
        if (!Finite(net.sectionStations[i]) || !Finite(net.sectionElevations[i]))
          return "eight-point section value missing";
        if (p > 0 && net.sectionStations[i] < net.sectionStations[i - 1])
          return "eight-point section stations not ascending";
      }
      return {};
  }
  return "method not 1 to 5";
}

Problems Validate(const Network& net, bool withParameters) {
  // Values that could not be taken come alone: the ids they concern are not known.
  if (!net.readProblems.empty()) return net.readProblems;
  Problems problems;
  Finding duplicate("duplicate reach_id"), badId("reach_id not positive"),
      unknown("to_id names no reach"), self("to_id names the reach itself"),
      cycle("reaches on a cycle"), parameters("parameters missing or invalid");
  std::unordered_map<ReachId, std::int64_t> index;
  index.reserve(net.reaches.size());
  for (std::size_t i = 0; i < net.reaches.size(); ++i) {
    const Reach& r = net.reaches[i];
    if (r.id <= 0) badId.Add(r.id);
    if (!index.emplace(r.id, static_cast<std::int64_t>(i)).second) duplicate.Add(r.id);
    if (!withParameters) continue;
    if (const std::string p = ParameterProblem(net, r); !p.empty()) parameters.Add(r.id, p);
  }
  for (const Reach& r : net.reaches) {
    if (r.toId == 0) continue;
    if (r.toId == r.id)
      self.Add(r.id);
    else if (!index.contains(r.toId))
      unknown.Add(r.id, "to_id " + std::to_string(r.toId));
  }
  // Cycles: follow to_id from every reach not yet known to reach an outlet; a walk that
  // meets itself has found a cycle, whose members are named once.
  {
    std::vector<std::uint8_t> state(net.reaches.size(), 0);  // 0 new, 1 on walk, 2 done
    std::vector<std::int64_t> walk;
    for (std::size_t start = 0; start < net.reaches.size(); ++start) {
      walk.clear();
      std::int64_t i = static_cast<std::int64_t>(start);
      while (i >= 0 && state[i] == 0) {
        state[i] = 1;
        walk.push_back(i);
        const Reach& r = net.reaches[i];
        const auto next = r.toId == 0 || r.toId == r.id ? index.end() : index.find(r.toId);
        i = next == index.end() ? -1 : next->second;
      }
      if (i >= 0 && state[i] == 1) {
        bool on = false;
        for (std::int64_t w : walk) {
          on = on || w == i;
          if (on) cycle.Add(net.reaches[w].id);
        }
      }
      for (std::int64_t w : walk) state[w] = 2;
    }
  }
  for (const Finding* f : {&badId, &duplicate, &unknown, &self, &cycle, &parameters})
    f->AppendTo(problems);
  return problems;
}

}  // namespace

Problems ValidateNetwork(const Network& net) { return Validate(net, true); }

Problems ValidateLinks(const Network& net) { return Validate(net, false); }

bool ParametersSound(const Network& net) {
  if (!net.readProblems.empty()) return false;
  for (const Reach& r : net.reaches)
    if (!ParameterProblem(net, r).empty()) return false;
  return true;
}

Problems ValidateForcing(const Network& net, const ForcingLayout& forcing) {
  // Values that could not be taken come alone, as for the network.
  if (!forcing.readProblems.empty()) return forcing.readProblems;
  Problems problems;
  if (forcing.reachIds.size() != net.reaches.size())
    problems.push_back("forcing has " + std::to_string(forcing.reachIds.size()) +
                       " reaches, the network " + std::to_string(net.reaches.size()));
  Finding order("forcing reach_id differs from the network's at the same position");
  for (std::size_t i = 0; i < std::min(forcing.reachIds.size(), net.reaches.size()); ++i)
    if (forcing.reachIds[i] != net.reaches[i].id)
      order.Add(net.reaches[i].id, "forcing has " + std::to_string(forcing.reachIds[i]));
  order.AppendTo(problems);
  if (forcing.timeCount < 2)
    problems.push_back("forcing has fewer than two times");
  else if (forcing.intervalMinutes < 1)
    problems.push_back("forcing time axis is not ascending and uniform, 1 to 10^9 minutes apart");
  std::unordered_set<ReachId> ids, seen;
  for (const Reach& r : net.reaches) ids.insert(r.id);
  Finding unknown("boundary_reach_id names no reach"), twice("boundary given twice");
  for (ReachId b : forcing.boundaryReachIds) {
    if (!ids.contains(b))
      unknown.Add(b);
    else if (!seen.insert(b).second)
      twice.Add(b);
  }
  unknown.AppendTo(problems);
  twice.AppendTo(problems);
  return problems;
}

Problems ValidateRestart(const Network& net, const ForcingLayout& forcing,
                         const RestartData& restart) {
  if (!restart.readProblems.empty()) return restart.readProblems;
  Problems problems;
  // The same instant, whatever units and epoch each file states.
  if (restart.instant != forcing.firstTime)
    problems.push_back("forcing does not start at the restart's time (the restart is at " +
                       FormatInstant(restart.instant) + ", the forcing starts at " +
                       FormatInstant(forcing.firstTime) + ")");
  if (restart.intervalMinutes != forcing.intervalMinutes)
    problems.push_back("forcing interval differs from the restart's (" +
                       std::to_string(restart.intervalMinutes) + " min)");
  std::unordered_map<ReachId, std::size_t> at;
  for (std::size_t i = 0; i < restart.reachIds.size(); ++i) at.emplace(restart.reachIds[i], i);
  Finding missing("no states in the restart"), method("method differs from the restart's"),
      count("state count differs from the restart's");
  for (const Reach& r : net.reaches) {
    const auto it = at.find(r.id);
    if (it == at.end()) {
      missing.Add(r.id);
      continue;
    }
    if (restart.methods[it->second] != static_cast<std::int32_t>(r.method))
      method.Add(r.id);
    else if (restart.stateCount[it->second] != StateCount(r, restart.subreachCount[it->second]))
      count.Add(r.id);
  }
  if (restart.reachIds.size() != net.reaches.size())
    problems.push_back("restart has " + std::to_string(restart.reachIds.size()) +
                       " reaches, the network " + std::to_string(net.reaches.size()));
  for (const Finding* f : {&missing, &method, &count}) f->AppendTo(problems);
  return problems;
}

Topology BuildTopology(const Network& net) {
  const std::size_t n = net.reaches.size();
  Topology t;
  std::unordered_map<ReachId, std::int64_t> index;
  index.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    index.emplace(net.reaches[i].id, static_cast<std::int64_t>(i));
  t.downstream.assign(n, -1);
  t.upstreamStart.assign(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i)
    if (net.reaches[i].toId != 0) {
      t.downstream[i] = index.at(net.reaches[i].toId);
      ++t.upstreamStart[t.downstream[i] + 1];
    }
  std::partial_sum(t.upstreamStart.begin(), t.upstreamStart.end(), t.upstreamStart.begin());
  t.upstream.resize(static_cast<std::size_t>(t.upstreamStart[n]));
  std::vector<std::int64_t> fill(t.upstreamStart.begin(), t.upstreamStart.end() - 1);
  for (std::size_t i = 0; i < n; ++i)
    if (t.downstream[i] >= 0) t.upstream[fill[t.downstream[i]]++] = static_cast<std::int64_t>(i);
  for (std::size_t i = 0; i < n; ++i)
    std::sort(
        t.upstream.begin() + t.upstreamStart[i], t.upstream.begin() + t.upstreamStart[i + 1],
        [&](std::int64_t a, std::int64_t b) { return net.reaches[a].id < net.reaches[b].id; });
  // Depth-first postorder from each outlet (outlets in file order, upstream reaches in
  // ascending reach_id), iteratively: a stack of (reach, next upstream to visit).
  t.order.reserve(n);
  std::vector<std::pair<std::int64_t, std::int64_t>> stack;
  for (std::size_t outlet = 0; outlet < n; ++outlet) {
    if (t.downstream[outlet] >= 0) continue;
    stack.emplace_back(static_cast<std::int64_t>(outlet), t.upstreamStart[outlet]);
    while (!stack.empty()) {
      auto& [reach, next] = stack.back();
      if (next < t.upstreamStart[reach + 1]) {
        const std::int64_t up = t.upstream[next++];
        stack.emplace_back(up, t.upstreamStart[up]);
      } else {
        t.order.push_back(reach);
        stack.pop_back();
      }
    }
  }
  t.position.assign(n, -1);
  for (std::size_t p = 0; p < t.order.size(); ++p)
    t.position[t.order[p]] = static_cast<std::int64_t>(p);
  return t;
}

}  // namespace tovalin::network
