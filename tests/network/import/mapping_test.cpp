// The basin mapping, with answers known by construction: the eight-point section has the
// model's compound channel's area and wetted perimeter at every depth (and the library's
// conveyance shares the roughness between its subsections), the lake table follows the
// level-pool equations, the bankfull flow has the bankfull depth as its normal depth, and a
// small basin maps to the reaches, links, lateral sums and refusals drawn for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "hydro/hydraulics/section_8point.h"
#include "network/import/basin_mapping.h"
#include "network/import/channel_shape.h"
#include "network/import/level_pool.h"
#include "tovalin/core.hpp"

namespace tovalin::network::import {
namespace {

ChannelLink Channel(ReachId id, ReachId to, double bottom, double chSlp, double top,
                    double topCompound) {
  ChannelLink l;
  l.id = id, l.toId = to, l.length = 2000.0, l.slope = 0.002;
  l.manningN = 0.06, l.manningNCompound = 0.12;
  l.sideSlope = chSlp, l.bottomWidth = bottom, l.topWidth = top;
  l.topWidthCompound = topCompound;
  return l;
}

// Area and wetted perimeter under the water surface `surface` of a polyline section, from its
// segments clipped at the surface (each wetted part a trapezoid under the surface).
struct Wetted {
  double area = 0.0, perimeter = 0.0;
};
Wetted UnderSurface(const std::array<double, 8>& x, const std::array<double, 8>& y,
                    double surface, std::size_t from = 0, std::size_t to = 7) {
  Wetted w;
  for (std::size_t p = from; p < to; ++p) {
    double x1 = x[p], y1 = y[p], x2 = x[p + 1], y2 = y[p + 1];
    if (y1 >= surface && y2 >= surface) continue;
    // Clip the dry end back to the waterline.
    if (y1 > surface) x1 = x1 + (x2 - x1) * (y1 - surface) / (y1 - y2), y1 = surface;
    if (y2 > surface) x2 = x2 + (x1 - x2) * (y2 - surface) / (y2 - y1), y2 = surface;
    w.area += (x2 - x1) * ((surface - y1) + (surface - y2)) / 2.0;
    w.perimeter += std::hypot(x2 - x1, y2 - y1);
  }
  return w;
}

// The model's compound channel written out: a trapezoid b, z to the bankfull depth d, then a
// rectangle of width B whose floor is the bankfull level, with vertical walls.
Wetted ModelShape(double b, double z, double top, double B, double h) {
  const double d = (top - b) / (2.0 * z);
  if (h <= 0.0) return {};
  if (h <= d) return {(b + z * h) * h, b + 2.0 * h * std::sqrt(1.0 + z * z)};
  return {(b + z * d) * d + B * (h - d),
          b + 2.0 * d * std::sqrt(1.0 + z * z) + (B - top) + 2.0 * (h - d)};
}

// Known answer: the eight points have the model shape's area and wetted perimeter at every
// depth from 0 to five times bankfull and up to the walls' tops; the library's conveyance is
// the main channel's (trapezoid and the water above it, wetted on the trapezoid alone, with n)
// plus each floodplain's (floor and wall, with nCC), the verticals between them not wetted.
TEST(ImportChannel, EightPointSectionHasTheModelShapeAtEveryDepth) {
  struct Case {
    const char* what;
    double bottom, chSlp, top, topCompound;
  };
  const Case cases[] = {
      {"a typical link", 4.1, 0.5, 6.83, 20.5},
      {"a wide main stem", 73.06, 1.91, 121.77, 365.3},
      {"ChSlp = 0 (z = 1)", 2.0, 0.0, 5.0, 9.0},
      {"a triangle", 0.0, 0.25, 3.0, 30.0},
  };
  constexpr double kRelative = 1e-12;
  constexpr double kConveyanceRelative = 1e-6;  // the library's 2/3 is single precision
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ChannelLink link = Channel(1, 0, c.bottom, c.chSlp, c.top, c.topCompound);
    ASSERT_TRUE(HasCompoundChannel(link));
    const EightPointSection s = CompoundSection(link);
    const double z = c.chSlp == 0.0 ? 1.0 : 1.0 / c.chSlp;
    const double d = (c.top - c.bottom) / (2.0 * z);
    EXPECT_DOUBLE_EQ(BankfullDepth(link), d);
    std::vector<double> depths;
    for (int k = 0; k <= 50; ++k) depths.push_back(d * 0.1 * k);
    depths.push_back(WallHeight(link));
    for (double h : depths) {
      const Wetted model = ModelShape(c.bottom, z, c.top, c.topCompound, h);
      const Wetted points = UnderSurface(s.stations, s.elevations, h);
      EXPECT_NEAR(points.area, model.area, kRelative * (1.0 + model.area)) << "depth " << h;
      EXPECT_NEAR(points.perimeter, model.perimeter, kRelative * (1.0 + model.perimeter))
          << "depth " << h;
      const WettedShape shape = ModelChannelAt(link, h);
      EXPECT_NEAR(shape.area, model.area, kRelative * (1.0 + model.area));
      EXPECT_NEAR(shape.perimeter, model.perimeter, kRelative * (1.0 + model.perimeter));
      if (h == 0.0) continue;
      // Divided channel: K = sum over subsections of A (A / P)^(2/3) / n.
      const auto k = [](Wetted w, double n) {
        return w.perimeter > 0.0 ? w.area * std::pow(w.area / w.perimeter, 2.0 / 3.0) / n : 0.0;
      };
      const double floor = (c.topCompound - c.top) / 2.0;
      const double over = std::max(0.0, h - d);
      const Wetted main{model.area - 2.0 * floor * over,
                        c.bottom + 2.0 * std::min(h, d) * std::sqrt(1.0 + z * z)};
      const Wetted bank{floor * over, over > 0.0 ? floor + over : 0.0};
      const double expected = k(main, 0.06) + 2.0 * k(bank, 0.12);
      double area = 0.0, conveyance = 0.0, width = 0.0;
      std::int32_t status = -1;
      FixedText<80> message;
      Conveyance8Point(h, s.stations, s.elevations, s.manningN, area, conveyance, width, status,
                       message.field());
      EXPECT_EQ(status, 0);
      EXPECT_NEAR(area, model.area, kRelative * (1.0 + model.area));
      EXPECT_NEAR(conveyance, expected, kConveyanceRelative * expected) << "depth " << h;
    }
  }
}

// Known answer: the flow written as the reference is the one whose normal depth in the
// trapezoid is the bankfull depth: routed steadily through the library, every node below the
// upstream end (whose depth is never searched) stands at it, to the depth search's 0.01 m.
TEST(ImportChannel, BankfullFlowHasTheBankfullDepth) {
  const ChannelLink links[] = {Channel(1, 0, 4.1, 0.5, 6.83, 6.83),
                               Channel(2, 0, 30.0, 1.0, 50.0, 40.0),
                               Channel(3, 0, 0.5, 0.0, 1.5, 1.5)};
  for (const ChannelLink& link : links) {
    const double q = BankfullFlow(link);
    ASSERT_GT(q, 0.0);
    const std::vector<double> steady(6, q);
    Workspace workspace;
    const auto r = Route(MuskingumCungeReach{link.length, link.slope, TrapezoidOf(link)},
                         Hydrograph{60, steady, {}}, workspace);
    ASSERT_TRUE(r.status.ok()) << r.text;
    ASSERT_GE(r.state.nodeDepths.size(), 2u);
    for (double depth : r.state.nodeDepths.subspan(1)) EXPECT_NEAR(depth, BankfullDepth(link), 0.01);
  }
  ChannelLink flat = Channel(4, 0, 5.0, 1.0, 5.0, 10.0);  // top no wider than the bottom
  EXPECT_EQ(BankfullFlow(flat), kUndefined);
  EXPECT_FALSE(HasCompoundChannel(flat));
}

LakeParameters Lake(std::int64_t id, double orificeA, double orificeE, double weirL,
                    double weirE) {
  LakeParameters p;
  p.id = id, p.area = 26.3, p.maxElevation = 450.59;
  p.weirCoefficient = 0.4, p.weirLength = weirL, p.weirElevation = weirE;
  p.orificeCoefficient = 0.1, p.orificeArea = orificeA, p.orificeElevation = orificeE;
  p.damLength = 10.0, p.initialFractionalDepth = 0.9;
  return p;
}

// Known answer: between its pairs the table's interpolation (by storage) stays within 0.5 % +
// 0.01 m3/s of the level-pool equations, from (0, 0) at the level zero to the top, with pairs
// at the weir crest and LkMxE, and storage LkArea 1e6 (H - H0) at each pair.
TEST(ImportLake, TableFollowsTheLevelPoolEquations) {
  struct Case {
    const char* what;
    LakeParameters lake;
    double zero;
  };
  LakeParameters large = Lake(4, 60.0, 438.8, 120.0, 448.8);
  large.orificeCoefficient = 0.6;
  const Case cases[] = {
      {"the shared basin's kind", Lake(1, 1.0, 438.803, 10.0, 448.822), 438.803},
      {"no weir", Lake(2, 1.0, 438.803, 0.0, 448.822), 438.803},
      {"weir below the orifice", Lake(3, 1.0, 440.0, 10.0, 439.0), 439.0},
      {"a large orifice and weir", large, 438.8},
      {"an orifice that carries nothing", Lake(5, 0.0, 430.0, 10.0, 448.0), 448.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LakeParameters& p = c.lake;
    ASSERT_EQ(LakeProblem(p), "");
    // The equations, written out.
    const auto outflow = [&](double h) {
      double q = 0.0;
      if (h > p.orificeElevation && p.orificeArea > 0.0)
        q += p.orificeCoefficient * p.orificeArea * std::sqrt(2.0 * 9.81 * (h - p.orificeElevation));
      if (h > p.weirElevation) q += p.weirCoefficient * p.weirLength * std::pow(h - p.weirElevation, 1.5);
      return q;
    };
    const LakeTable t = BuildLakeTable(p);
    ASSERT_GE(t.storage.size(), 3u);
    EXPECT_EQ(t.storage.front(), 0.0);
    EXPECT_EQ(t.outflow.front(), 0.0);
    EXPECT_DOUBLE_EQ(t.elevation.front(), c.zero);
    const double depth = p.maxElevation - c.zero;
    EXPECT_NEAR(t.elevation.back(), p.maxElevation + std::max(depth, 10.0), 1e-9);
    for (double at : {p.maxElevation, std::max(p.weirElevation, c.zero)})
      EXPECT_TRUE(std::any_of(t.elevation.begin(), t.elevation.end(),
                              [&](double e) { return std::abs(e - at) < 1e-9; }))
          << at;
    double worst = 0.0;
    for (std::size_t i = 0; i < t.storage.size(); ++i) {
      EXPECT_NEAR(t.storage[i], p.area * 1e6 * (t.elevation[i] - c.zero), 1e-6 * (1.0 + t.storage[i]));
      if (i == 0) continue;
      EXPECT_GT(t.storage[i], t.storage[i - 1]);
      EXPECT_GT(t.outflow[i], t.outflow[i - 1]);
      for (int k = 0; k <= 50; ++k) {
        const double s = t.storage[i - 1] + (t.storage[i] - t.storage[i - 1]) * k / 50.0;
        const double interpolated =
            t.outflow[i - 1] + (t.outflow[i] - t.outflow[i - 1]) * (s - t.storage[i - 1]) /
                                   (t.storage[i] - t.storage[i - 1]);
        const double exact = outflow(c.zero + s / (p.area * 1e6));
        worst = std::max(worst, std::abs(interpolated - exact) / (0.005 * exact + 0.01));
      }
    }
    EXPECT_LE(worst, 1.0) << t.storage.size() << " pairs";
    EXPECT_NEAR(InitialElevation(p), c.zero + 0.9 * depth, 1e-9);
  }
  EXPECT_NE(LakeProblem(Lake(6, 0.0, 430.0, 0.0, 448.0)), "");  // nothing carries water
}

// A small basin: links 101 (compound) and 102 (trapezoid) flow into lake 900 (links 201, 202
// and its outlet 203, a gauge on 201 and on 203), which flows into 301 -> 302 -> 999999 (a link
// outside the basin: an outlet); 401 is an outlet of its own.
Basin SmallBasin() {
  Basin b;
  b.links = {Channel(302, 999999, 8.0, 0.5, 12.0, 40.0), Channel(101, 201, 4.1, 0.5, 6.83, 20.5),
             Channel(201, 203, 4.0, 0.5, 6.0, 20.0),     Channel(102, 202, 3.0, 1.0, 5.0, 4.0),
             Channel(203, 301, 4.0, 0.5, 6.0, 20.0),     Channel(202, 203, 4.0, 0.5, 6.0, 20.0),
             Channel(301, 302, 8.0, 0.5, 12.0, 40.0),    Channel(401, 0, 2.0, 0.5, 3.0, 9.0)};
  for (ChannelLink& l : b.links) {
    l.order = l.id > 300 ? 3 : l.id > 200 ? 2 : 1;
    if (l.id > 200 && l.id < 300) l.waterbody = 900;
  }
  b.links[2].gage = "08150000";
  b.links[4].gage = "08150500";
  b.lakes = {Lake(77, 1.0, 95.0, 10.0, 105.0), Lake(900, 1.0, 100.0, 10.0, 108.0)};
  b.lakes[1].maxElevation = 110.0;
  return b;
}

TEST(ImportMapping, SmallBasinMapsToItsReaches) {
  Basin small = SmallBasin();
  small.links[7].slope = 3.85;  // a fall on one link: taken as the steepest bed routed, 1 m/m
  const MappingOutcome m = MapBasin(small);
  ASSERT_TRUE(m.refusal.empty()) << m.refusal.front();
  const ImportedBasin& b = m.basin;
  const std::map<ReachId, std::pair<ReachId, Method>> expected = {
      {101, {900, Method::kMuskingumCunge8Point}}, {102, {900, Method::kMuskingumCungePrism}},
      {900, {301, Method::kPuls}},                 {301, {302, Method::kMuskingumCunge8Point}},
      {302, {0, Method::kMuskingumCunge8Point}},   {401, {0, Method::kMuskingumCunge8Point}}};
  ASSERT_EQ(b.network.reaches.size(), expected.size());
  std::map<ReachId, std::size_t> position;
  for (std::size_t p = 0; p < b.network.reaches.size(); ++p) {
    const Reach& r = b.network.reaches[p];
    position[r.id] = p;
    ASSERT_TRUE(expected.contains(r.id)) << r.id;
    EXPECT_EQ(r.toId, expected.at(r.id).first) << r.id;
    EXPECT_EQ(r.method, expected.at(r.id).second) << r.id;
  }
  // Routing order: every reach after the reaches that flow into it.
  for (const Reach& r : b.network.reaches)
    if (r.toId != 0) {
      EXPECT_LT(position[r.id], position[r.toId]);
    }
  EXPECT_EQ(b.outletsOutside, 1);
  EXPECT_EQ(b.steepBeds, 1);
  EXPECT_EQ(b.network.reaches[position[401]].channelSlope, 1.0);
  EXPECT_EQ(b.lakeReaches, 1);
  EXPECT_EQ(b.linksInLakes, 3);
  EXPECT_EQ(b.gaugesInLakes, 1);
  const std::size_t lake = position[900];
  EXPECT_EQ(b.network.gages[lake], "08150500");  // the outlet's gauge
  EXPECT_EQ(b.network.reaches[lake].order, 2);
  EXPECT_DOUBLE_EQ(b.network.reaches[lake].initialLevel, 100.0 + 0.9 * 10.0);
  EXPECT_EQ(b.network.reaches[lake].referenceFlow, kUndefined);
  EXPECT_DOUBLE_EQ(b.network.reaches[position[101]].referenceFlow, BankfullFlow(SmallBasin().links[1]));
  EXPECT_EQ(b.routedLakes, std::vector<std::int64_t>{1});

  // Lateral inflows: link k (basin order) carries 2^k; the lake sums its three links.
  std::vector<double> linkValues, reachValues(b.network.reaches.size());
  for (int k = 0; k < 8; ++k) linkValues.push_back(std::ldexp(1.0, k));
  RouteLaterals(b, linkValues, reachValues);
  EXPECT_EQ(reachValues[lake], 4.0 + 16.0 + 32.0);  // 201, 203, 202
  EXPECT_EQ(reachValues[position[302]], 1.0);
  linkValues[5] = kUndefined;  // 202
  RouteLaterals(b, linkValues, reachValues);
  EXPECT_EQ(reachValues[lake], kUndefined);
  EXPECT_EQ(reachValues[position[101]], 2.0);

  // Initial state: each reach takes its outlet link's flow; the lake the state's level, or
  // none (then the level whose outflow is its flow).
  ImportedBasin warm = b;
  ApplyInitialState(warm, linkValues, std::vector<double>{104.5});
  EXPECT_EQ(warm.network.reaches[lake].initialFlow, 16.0);  // 203
  EXPECT_EQ(warm.network.reaches[position[102]].initialFlow, 8.0);
  EXPECT_EQ(warm.network.reaches[lake].initialLevel, 104.5);
  ApplyInitialState(warm, linkValues, {});
  EXPECT_EQ(warm.network.reaches[lake].initialLevel, kUndefined);

  // Without lake parameters the lake links are channels.
  const MappingOutcome channels = MapBasin(SmallBasin(), {.lakes = false});
  ASSERT_TRUE(channels.refusal.empty());
  EXPECT_EQ(channels.basin.network.reaches.size(), 8u);
  EXPECT_EQ(channels.basin.lakeLinksAsChannels, 3);
}

TEST(ImportMapping, RefusesWhatCannotBeRouted) {
  struct Case {
    const char* what;
    void (*change)(Basin&);
    const char* refusal;
  };
  const Case cases[] = {
      {"a repeated link", [](Basin& b) { b.links[7].id = 102; }, "link id repeated: 102"},
      {"a lake without parameters", [](Basin& b) { b.lakes.pop_back(); },
       "lake without a row in the lake table: 900 (3 links)"},
      {"a lake named as a link",
       [](Basin& b) {
         for (auto& l : b.links)
           if (l.waterbody == 900) l.waterbody = 401;
         b.lakes[1].id = 401;
       },
       "lake id is also a link id: 401"},
      {"a lake with two outlets", [](Basin& b) { b.links[5].toId = 302; },
       "lake with more than one outlet link: 900 (links 202 203)"},
      {"a lake that never empties", [](Basin& b) { b.lakes[1].area = 0.0; },
       "lake parameters unusable: 900 (LkArea is not positive)"},
      {"a cycle", [](Basin& b) { b.links[0].toId = 301; }, "reaches on a cycle: reaches"},
      {"a link into itself", [](Basin& b) { b.links[7].toId = 401; },
       "to_id names the reach itself: reach 401"},
      {"a missing slope",
       [](Basin& b) { b.links[6].slope = std::numeric_limits<double>::quiet_NaN(); },
       "parameters missing or invalid: reach 301 (channelSlope missing or not above 0 and at most 1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Basin b = SmallBasin();
    c.change(b);
    const MappingOutcome m = MapBasin(b);
    ASSERT_FALSE(m.refusal.empty());
    std::string all;
    for (const auto& p : m.refusal) all += p + "\n";
    EXPECT_NE(all.find(c.refusal), std::string::npos) << all;
  }
}

}  // namespace
}  // namespace tovalin::network::import

namespace tovalin::network::import {
namespace {

// Known answer: merged at 500 m, the short links 11 (400 m) and 12 (100 m) join 13, with the
// summed length, the total fall, length-weighted widths and roughness and all three lateral
// inflows; 14 (short, gauged), 16 (short, an outlet), 32 (short, above the junction 33) and 41
// (short, above lake 900, whose short links never merge) stay as they are:
//   11 -> 12 -> 13 -> 14 (gauge) -> 15 -> 16 -> outlet;  31, 32 -> 33 -> 15;
//   41 -> lake 900 (42 -> 43) -> 44 -> outlet.
TEST(ImportMapping, ShortLinksMergeIntoTheLinkTheyFlowInto) {
  Basin b;
  const auto add = [&](ReachId id, ReachId to, double length, double slope, double bottom) {
    ChannelLink l = Channel(id, to, bottom, 0.5, bottom + 2.0, bottom + 20.0);
    l.length = length, l.slope = slope;
    b.links.push_back(l);
  };
  add(11, 12, 400.0, 0.004, 2.0), add(12, 13, 100.0, 0.008, 3.0), add(13, 14, 5000.0, 0.001, 4.0);
  add(14, 15, 200.0, 0.001, 4.0), add(15, 16, 3000.0, 0.001, 6.0), add(16, 0, 300.0, 0.001, 6.0);
  add(31, 33, 3000.0, 0.002, 3.0), add(32, 33, 200.0, 0.002, 3.0), add(33, 15, 4000.0, 0.001, 5.0);
  add(41, 42, 100.0, 0.002, 3.0), add(42, 43, 100.0, 0.001, 3.0), add(43, 44, 100.0, 0.001, 3.0);
  add(44, 0, 2000.0, 0.001, 3.0);
  b.links[3].gage = "08160000";
  b.links[10].waterbody = b.links[11].waterbody = 900;
  b.lakes = {Lake(900, 1.0, 100.0, 10.0, 108.0)};
  b.links[1].sideSlope = 1.0;  // z = 1 over 100 m of 5500 m, z = 2 elsewhere

  const MappingOutcome plain = MapBasin(b);
  ASSERT_TRUE(plain.refusal.empty()) << plain.refusal.front();
  EXPECT_EQ(plain.basin.network.reaches.size(), 12u);
  const MappingOutcome m = MapBasin(b, {.mergeShorterThan = 500.0});
  ASSERT_TRUE(m.refusal.empty()) << m.refusal.front();
  const ImportedBasin& out = m.basin;
  EXPECT_EQ(out.mergedLinks, 2);
  std::map<ReachId, std::size_t> at;
  for (std::size_t p = 0; p < out.network.reaches.size(); ++p) at[out.network.reaches[p].id] = p;
  const std::vector<ReachId> kept = {13, 14, 15, 16, 31, 32, 33, 41, 900, 44};
  ASSERT_EQ(out.network.reaches.size(), kept.size());
  for (ReachId id : kept) EXPECT_TRUE(at.contains(id)) << id;
  const Reach& r = out.network.reaches[at[13]];
  EXPECT_EQ(r.toId, 14);
  EXPECT_DOUBLE_EQ(r.reachLength, 5500.0);
  EXPECT_DOUBLE_EQ(r.channelSlope, (400 * 0.004 + 100 * 0.008 + 5000 * 0.001) / 5500.0);
  // The merged channel: bottom (400 2 + 100 3 + 5000 4) / 5500, z (100 1 + 5400 2) / 5500.
  const double bottom = (400 * 2.0 + 100 * 3.0 + 5000 * 4.0) / 5500.0;
  const double z = (100 * 1.0 + 5400 * 2.0) / 5500.0;
  const double* stations = out.network.sectionStations.data() + r.sectionStart;
  EXPECT_NEAR(stations[4] - stations[3], bottom, 1e-12);
  EXPECT_NEAR(out.network.sectionElevations[r.sectionStart + 2], 2.0 / (2.0 * z), 1e-12);
  EXPECT_DOUBLE_EQ(r.manningN, 0.06);
  const std::vector<double> lateral{1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096};
  std::vector<double> reach(out.network.reaches.size());
  RouteLaterals(out, lateral, reach);
  EXPECT_EQ(reach[at[13]], 1.0 + 2.0 + 4.0);
  EXPECT_EQ(reach[at[900]], 1024.0 + 2048.0);
  EXPECT_EQ(out.network.reaches[at[32]].toId, 33);
  EXPECT_EQ(out.network.reaches[at[41]].toId, 900);
}

}  // namespace
}  // namespace tovalin::network::import
