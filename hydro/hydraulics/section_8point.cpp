// Eight-point cross-section hydraulics. Conveyance by the divided-channel method (Chow,
// Open-Channel Hydraulics, 6-5): each subsection's area and wetted perimeter from the wetted
// parts of its segments, K = (A/P)^(2/3) A / n, the dividing verticals excluded from P. Normal
// depth by a secant search safeguarded by bisection (Chapra & Canale, Numerical Methods for
// Engineers, 6.3 and 5.2) on F(D) = Q - sqrt(S) K(Ymin + D); celerity dQ/dA by a one-sided
// difference. Lengths in m, flows in m^3/s.
#include "hydro/hydraulics/section_8point.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

// Manning's exponent 2/3 held in single precision: 0.6666666865348816 exactly.
constexpr double kManningExponent = 0.6666666865348816;
// Two thirds in double precision, for the first depth estimate from the flow per unit width.
constexpr double kTwoThirds = 0.6666666666666666;
// Second estimate over first, 1.1 in single precision: 1.100000023841858 exactly.
constexpr double kSecondEstimateRatio = 1.100000023841858;
// Depth tolerance of the search, 0.005 m in single precision: 0.004999999888241291 exactly.
constexpr double kDepthTolerance = 0.004999999888241291;
// Depth step of the celerity difference, 0.01 m in single precision: 0.009999999776482582.
constexpr double kCelerityStep = 0.009999999776482582;
constexpr int kMaxSearchPasses = 20;
// First estimate (m) for a section whose stations all coincide, which has no width to share
// the flow over.
constexpr double kWidthlessStartDepth = 1.0;

// The last point of each subsection (1-based): 3, 6 and 8.
constexpr std::size_t kSubsectionEnd[kSubsectionCount] = {3, 6, 8};

constexpr std::string_view kValueTrailer = " ";

// The distance of station p from the first is smaller than that of station p - 1.
bool TurnsBack(std::span<const double, 8> x, std::size_t p) noexcept {
  return std::abs(x[p - 1] - x[0]) > std::abs(x[p] - x[0]);
}

// "Cross-section stations are out of order: x1, x2 " for the pair that turns back.
void WriteStationOrder(double before, double after, TextField message) noexcept {
  AppendDoubleToString(message::kConveyanceStationOrder.text, before,
                       message::kConveyanceStationOrder.detail, message);
  AppendDoubleToString(message.view(), after, kValueTrailer, message);
}

// The wetted part of one segment: its two ends and the water depth over each.
struct WettedPart {
  double xl, yl, dl;
  double xr, yr, dr;
};

// Segment from (x1, y1) to (x2, y2) under a water surface at elevation e; a point is under
// water when e is strictly above it.
WettedPart WetSegment(double e, double x1, double y1, double x2, double y2) noexcept {
  const bool wet1 = e > y1;
  const bool wet2 = e > y2;
  if (wet1 && wet2) return {x1, y1, e - y1, x2, y2, e - y2};
  if (wet1) {
    // Waterline on the rising segment: x = x1 + d1 (x2 - x1) / (y2 - y1).
    const double d1 = e - y1;
    return {x1, y1, d1, x1 + d1 * (x2 - x1) / (y2 - y1), e, 0.0};
  }
  if (wet2) {
    // Waterline on the falling segment: x = x2 - (y2 - e) (x2 - x1) / (y2 - y1).
    return {x2 - (y2 - e) * (x2 - x1) / (y2 - y1), e, 0.0, x2, y2, e - y2};
  }
  return {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
}

// Conveyance8Point. kPrepared: a section whose stations' order is known to hold, so that it
// is not tested again, and whose wholly wetted segments take their width |x2 - x1| and
// length sqrt((y1 - y2)^2 + (x1 - x2)^2) from the geometry computed once (the same values).
template <bool kPrepared>
void Conveyance(double waterSurfaceElevation, std::span<const double, 8> stations,
                std::span<const double, 8> elevations, std::span<const double, 3> manningN,
                const SegmentGeometry& geometry, double& flowArea, double& conveyance,
                double& topWidth, std::int32_t& status, TextField message) noexcept {
  const double e = waterSurfaceElevation;
  const std::span<const double, 8> x = stations;
  const std::span<const double, 8> y = elevations;
  Report report;
  double area[kSubsectionCount] = {0.0, 0.0, 0.0};
  double subsectionConveyance[kSubsectionCount] = {0.0, 0.0, 0.0};
  double perimeter = 0.0;
  double width = 0.0;
  std::size_t s = 0;

  // Segment k (1-based, 2..8) joins point k-1 to point k; here p = k - 1 is 0-based point k.
  for (std::size_t p = 1; p < kSectionPointCount; ++p) {
    if (!kPrepared && TurnsBack(x, p)) {
      // The distance from the first station decreased: stations out of order.
      report.error(message::kConveyanceStationOrder.number);
      WriteStationOrder(x[p - 1], x[p], message);
      flowArea = undefinedDbl();
      conveyance = undefinedDbl();
      topWidth = undefinedDbl();
      status = report.status(routine::kConveyance8Point);
      return;
    }
    const WettedPart w = WetSegment(e, x[p - 1], y[p - 1], x[p], y[p]);
    if (w.dl + w.dr > 0.0) {
      const bool whole = kPrepared && e > y[p - 1] && e > y[p];
      const double segmentWidth = whole ? geometry.width[p - 1] : std::abs(w.xr - w.xl);
      // Trapezoid under the water surface: w (dl + dr) / 2.
      area[s] = area[s] + segmentWidth * (w.dl + w.dr) * 0.5;
      // Wetted length of the segment.
      perimeter = perimeter + (whole ? geometry.length[p - 1]
                                     : std::sqrt((w.yl - w.yr) * (w.yl - w.yr) +
                                                 (w.xl - w.xr) * (w.xl - w.xr)));
      width = width + segmentWidth;
    }
    if (p + 1 == kSubsectionEnd[s]) {
      // Subsection s complete; a dry one (P = 0) keeps K = 0 whatever its n.
      if (perimeter > 0.0) {
        const double n = manningN[s];
        if (n > 0.0) {
          // K = (A/P)^(2/3) / n * A
          subsectionConveyance[s] = (std::pow(area[s] / perimeter, kManningExponent) / n) * area[s];
        } else {
          report.error(message::k8PointManningN.number);
          AppendDoubleToString(message::k8PointManningN.text, n, " ", message);
        }
      }
      ++s;
      perimeter = 0.0;
    }
  }

  flowArea = area[0] + area[1] + area[2];
  conveyance = report.messageNumber == message::k8PointManningN.number
                   ? undefinedDbl()
                   : subsectionConveyance[0] + subsectionConveyance[1] + subsectionConveyance[2];
  topWidth = width;
  status = report.status(routine::kConveyance8Point);
}

}  // namespace

void Conveyance8Point(double waterSurfaceElevation, std::span<const double, 8> stations,
                      std::span<const double, 8> elevations, std::span<const double, 3> manningN,
                      double& flowArea, double& conveyance, double& topWidth,
                      std::int32_t& status, TextField message) noexcept {
  Conveyance<false>(waterSurfaceElevation, stations, elevations, manningN, SegmentGeometry{},
                    flowArea, conveyance, topWidth, status, message);
}

bool CheckSection8Point(double channelSlope, std::span<const double, 8> stations,
                        std::span<const double, 8> elevations,
                        std::span<const double, 3> manningN, TextField message) noexcept {
  // Each fault in the order the depth search meets it, with the text it writes there; the
  // values it does not examine (infinities, points that are not numbers) in the same form.
  auto refuse = [&](std::string_view label, double value) {
    AppendDoubleToString(label, value, kValueTrailer, message);
    return false;
  };
  if (!(channelSlope > 0.0)) return refuse(message::k8PointChannelSlope.text, channelSlope);
  if (std::isinf(channelSlope)) return refuse(message::k8PointChannelSlopeNotFinite.text, channelSlope);
  for (double n : manningN) {
    if (!(n > 0.0)) return refuse(message::k8PointManningN.text, n);
    if (std::isinf(n)) return refuse(message::k8PointManningNNotFinite.text, n);
  }
  for (std::size_t p = 0; p < kSectionPointCount; ++p) {
    if (!std::isfinite(stations[p])) return refuse(message::kCungeStationNotFinite.text, stations[p]);
    if (!std::isfinite(elevations[p])) return refuse(message::kCungeElevationNotFinite.text, elevations[p]);
  }
  for (std::size_t p = 1; p < kSectionPointCount; ++p) {
    if (TurnsBack(stations, p)) {
      WriteStationOrder(stations[p - 1], stations[p], message);
      return false;
    }
  }
  return true;
}

namespace {

// The width between the bank points 3 and 6 (m) that the first depth estimate shares the flow
// over. Descending banks (a mirrored section) are measured the other way; equal ones fall back
// on the whole section's width.
double BankWidth(std::span<const double, 8> x) noexcept {
  double bankWidth = x[5] - x[2];
  if (!(bankWidth > 0.0)) bankWidth = std::abs(bankWidth);
  if (!(bankWidth > 0.0)) bankWidth = std::abs(x[7] - x[0]);
  return bankWidth;
}

// The first depth estimate (m): the caller's when it is a finite value above 0, otherwise two
// thirds of the flow per unit width between the bank points.
double FirstEstimate(double bankWidth, double flow, double initialDepth) noexcept {
  if (initialDepth > 0.0 && std::isfinite(initialDepth)) return initialDepth;
  // D1 = Q / (X6 - X3) * 2/3
  return bankWidth > 0.0 ? flow / bankWidth * kTwoThirds : kWidthlessStartDepth;
}

// The outcome of the depth search: the depth, the passes made and whether it converged.
struct DepthSearch {
  double depth;
  int passes;
  bool converged;
};

// Secant search with bisection for F(D) = 0 from the estimates (d1, f1) and (d2, f2);
// excessFlow(D) evaluates F. Converged when a new estimate lies within 0.005 m of either
// previous one; after 20 passes the last estimate stands.
template <class ExcessFlow>
DepthSearch SecantSearch(const ExcessFlow& excessFlow, double d1, double f1, double d2,
                         double f2) {
  for (int pass = 1;; ++pass) {
    const bool bracketed = f1 * f2 < 0.0;
    double d3;
    if (bracketed && (2.0 * d2 < d1 || 2.0 * d1 < d2)) {
      // Bracketed but far apart: bisect.
      d3 = (d1 + d2) * 0.5;
    } else {
      // Secant: D3 = D2 - F2 (D2 - D1) / (F2 - F1)
      d3 = d2 - f2 * (d2 - d1) / (f2 - f1);
    }
    if (!(d3 > 0.0 && std::isfinite(d3))) {
      // The section carries nothing at or below zero depth: keep the estimate inside it.
      if (f1 < 0.0 && f2 < 0.0) {
        d3 = std::min(d1, d2) * 0.5;  // too much at both: the depth lies below
      } else if (f1 > 0.0 && f2 > 0.0) {
        d3 = std::max(d1, d2) * 2.0;  // too little at both: the depth lies above
      } else {
        d3 = (d1 + d2) * 0.5;
      }
    }
    if (std::abs(d3 - d1) <= kDepthTolerance || std::abs(d3 - d2) <= kDepthTolerance)
      return {d3, pass, true};
    const double f3 = excessFlow(d3);
    if (bracketed) {
      // Keep the pair that brackets the root.
      if (f2 * f3 < 0.0) {
        d1 = d3, f1 = f3;
      } else {
        d2 = d3, f2 = f3;
      }
    } else {
      // Keep the better of the old pair and the new estimate.
      if (std::abs(f1) > std::abs(f2)) d1 = d2, f1 = f2;
      d2 = d3, f2 = f3;
    }
    if (pass == kMaxSearchPasses) return {d3, pass, false};
  }
}

// Area, top width and celerity at the water surface Ymin + D, reported to no one. The
// celerity dQ/dA is a one-sided difference over 0.01 m: forward, or backward when a point lies
// within one step above the surface, so that the difference does not straddle a break in the
// section; undefined where the section has no width to change its area.
struct AtDepth {
  double area, topWidth, celerity;
};
template <bool kPrepared>
AtDepth CelerityAt(double surface, double rootSlope, std::span<const double, 8> x,
                   std::span<const double, 8> y, std::span<const double, 3> manningN,
                   const SegmentGeometry& geometry) noexcept {
  std::int32_t privateStatus = 0;
  char privateCharacter = kBlank;
  const TextField privateMessage(&privateCharacter, 1);
  AtDepth at{};
  double conveyance = 0.0;
  Conveyance<kPrepared>(surface, x, y, manningN, geometry, at.area, conveyance, at.topWidth,
                        privateStatus, privateMessage);
  const double q1 = rootSlope * conveyance;
  double step = kCelerityStep;
  for (double elevation : y) {
    if (surface <= elevation && elevation <= surface + kCelerityStep) {
      step = -kCelerityStep;
      break;
    }
  }
  double area2 = 0.0;
  double conveyance2 = 0.0;
  double width2 = 0.0;
  Conveyance<kPrepared>(surface + step, x, y, manningN, geometry, area2, conveyance2, width2,
                        privateStatus, privateMessage);
  const double q2 = rootSlope * conveyance2;
  const double areaChange = area2 - at.area;
  // c = dQ/dA = (Q2 - Q1) / (A2 - A1)
  at.celerity = areaChange != 0.0 ? (q2 - q1) / areaChange : undefinedDbl();
  return at;
}

// The four outputs of a depth search.
struct SectionOutputs {
  double& depth;
  double& flowArea;
  double& topWidth;
  double& celerity;
};

// The search at Q > 0 in a section of valid slope and roughness, from the first estimate d1,
// with the lowest elevation and sqrt(S) given: the secant search, then area, top width and
// celerity at the depth. False, with every output undefined, when the section's conveyance
// reports it invalid (its status and text stand in status and message).
template <bool kPrepared>
bool SolveDepth8Point(std::span<const double, 8> x, std::span<const double, 8> y,
                      std::span<const double, 3> manningN, const SegmentGeometry& geometry,
                      double q, double d1, double lowest, double rootSlope, SectionOutputs out,
                      std::int32_t& status, Report& report, TextField message) noexcept {
  double conveyance = 0.0;
  double width = 0.0;
  // F(D) = Q - sqrt(S) K(Ymin + D), through this routine's status and message.
  auto excessFlow = [&](double d) {
    Conveyance<kPrepared>(lowest + d, x, y, manningN, geometry, out.flowArea, conveyance, width,
                          status, message);
    return q - rootSlope * conveyance;
  };

  const double f1 = excessFlow(d1);
  FixedText<1> routineName;
  std::int32_t conveyanceMessage = 0;
  std::int32_t conveyanceSeverity = 0;
  DecodeErrorCode(status, routineName.field(), conveyanceMessage, conveyanceSeverity);
  if (conveyanceMessage >= kFirstErrorMessage) {
    out.depth = out.flowArea = out.topWidth = out.celerity = undefinedDbl();
    return false;
  }
  const double d2 = d1 * kSecondEstimateRatio;
  const double f2 = excessFlow(d2);
  const DepthSearch search = SecantSearch(excessFlow, d1, f1, d2, f2);
  if (!search.converged) {
    report.warning(message::k8PointNoConvergence.number);
    message.assign(message::k8PointNoConvergence.text);
  }

  out.depth = search.depth;
  const AtDepth at =
      CelerityAt<kPrepared>(lowest + search.depth, rootSlope, x, y, manningN, geometry);
  out.flowArea = at.area;
  out.topWidth = at.topWidth;
  out.celerity = at.celerity;
  return true;
}

}  // namespace

void ChannelDepth8Point(double channelSlope, std::span<const double, 8> stations,
                        std::span<const double, 8> elevations,
                        std::span<const double, 3> manningN, double flow, double initialDepth,
                        double& depth, double& flowArea, double& topWidth, double& celerity,
                        std::int32_t& status, TextField message) noexcept {
  const double slope = channelSlope;
  const double q = flow;
  const std::span<const double, 8> x = stations;
  const std::span<const double, 8> y = elevations;
  status = 0;
  Report report;

  auto fail = [&] {
    depth = undefinedDbl();
    flowArea = undefinedDbl();
    topWidth = undefinedDbl();
    celerity = undefinedDbl();
  };
  auto finish = [&] {
    if (status == 0) status = report.status(routine::kChannelDepth8Point);
  };

  // No flow: nothing to carry, nothing examined.
  if (!(q > 0.0)) {
    depth = 0.0;
    flowArea = 0.0;
    topWidth = 0.0;
    celerity = 0.0;
    finish();
    return;
  }
  if (!(slope > 0.0)) {
    report.error(message::k8PointChannelSlope.number);
    AppendDoubleToString(message::k8PointChannelSlope.text, slope, " ", message);
    fail();
    finish();
    return;
  }
  for (double n : manningN) {
    if (!(n > 0.0)) {
      report.error(message::k8PointManningN.number);
      AppendDoubleToString(message::k8PointManningN.text, n, " ", message);
      fail();
      finish();
      return;
    }
  }

  const double lowest = *std::min_element(y.begin(), y.end());
  const double rootSlope = std::sqrt(slope);
  const SectionOutputs out{depth, flowArea, topWidth, celerity};
  if (!SolveDepth8Point<false>(x, y, manningN, SegmentGeometry{}, q,
                               FirstEstimate(BankWidth(x), q, initialDepth), lowest, rootSlope,
                               out, status, report, message))
    return;  // the section itself is invalid: its own status and text stand
  finish();
}

EightPointDepthSearch::EightPointDepthSearch(double channelSlope,
                                             std::span<const double, 8> stations,
                                             std::span<const double, 8> elevations,
                                             std::span<const double, 3> manningN) noexcept
    : stations_(stations),
      elevations_(elevations),
      manningN_(manningN),
      rootSlope_(channelSlope > 0.0 ? std::sqrt(channelSlope) : 0.0),
      lowest_(*std::min_element(elevations.begin(), elevations.end())),
      bankWidth_(BankWidth(stations)) {
  // Width and length of each segment wholly under water, as the conveyance computes them.
  for (std::size_t p = 1; p < kSectionPointCount; ++p) {
    const double x1 = stations[p - 1], y1 = elevations[p - 1];
    const double x2 = stations[p], y2 = elevations[p];
    geometry_.width[p - 1] = std::abs(x2 - x1);
    geometry_.length[p - 1] = std::sqrt((y1 - y2) * (y1 - y2) + (x1 - x2) * (x1 - x2));
  }
}

void EightPointDepthSearch::depth(double flow, double initialDepth, double& depth,
                                  double& flowArea, double& topWidth, double& celerity,
                                  std::int32_t& status, TextField message) const noexcept {
  status = 0;
  Report report;
  if (!(flow > 0.0)) {
    // No flow: nothing to carry.
    depth = flowArea = topWidth = celerity = 0.0;
  } else if (!SolveDepth8Point<true>(stations_, elevations_, manningN_, geometry_, flow,
                                     FirstEstimate(bankWidth_, flow, initialDepth), lowest_,
                                     rootSlope_, {depth, flowArea, topWidth, celerity}, status,
                                     report, message)) {
    return;
  }
  if (status == 0) status = report.status(routine::kChannelDepth8Point);
}

}  // namespace tovalin
