// Normal depth in a trapezoid by Newton's method on Manning's formula (Chow, Open-Channel
// Hydraulics, 6-3), and in a circular conduit by Newton's method on the area of the circular
// segment, the area coming from the power law Q = alpha A^1.25. Symbols: S bed slope (m/m),
// n Manning's n, b bottom width (m), z side slope (-), D diameter (m), Q flow (m3/s), y depth
// (m), A area (m2), T top width (m), P wetted perimeter (m). Several constants are the
// single-precision values the method has always used, kept with their exact double values.
#include "hydro/hydraulics/depth_prism.h"

#include <cmath>
#include <string_view>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

// Manning exponents: 5/3 and 2/3 in single precision.
constexpr double kFiveThirds = 1.6666666269302368;
constexpr double kTwoThirds = 0.6666666865348816;
// Convergence tolerance on the depth, m: 0.01 in single precision.
constexpr double kDepthTolerance = 0.009999999776482582;
constexpr int kMaxNewtonSteps = 20;
// Default starting depth of the trapezoid as a fraction of the flow value (double 1/3), m per m3/s.
constexpr double kStartDepthPerFlow = 0.3333333333333333;
// Celerity of the trapezoid over a common denominator: 5 b T + (6 b + 16 z y) y s, over 3 P T.
constexpr double kCelerityBottomTerm = 5.0;
constexpr double kCelerityDepthTerm = 6.0;
constexpr double kCeleritySlopeTerm = 16.0;
constexpr double kCelerityDenominator = 3.0;

// Circle: alpha = 0.503 D^(1/6) S^(1/2) / n, all three in single precision.
constexpr double kOneSixth = 0.1666666716337204;
constexpr double kFlowLawCoefficient = 0.503000020980835;
// Flow-law exponent m and its inverse 1/m = 0.8 in single precision.
constexpr double kFlowLawExponent = 1.25;
constexpr double kInverseFlowLawExponent = 0.800000011920929;
// Area limit as a multiple of D2, and the depth as a multiple of D assumed above it.
constexpr double kAreaLimitPerDiameterSquared = 0.6499999761581421;
constexpr double kDepthAboveLimitPerDiameter = 0.7710000276565552;
// Starting depth as a multiple of D.
constexpr double kStartDepthPerDiameter = 0.30000001192092896;
// Pi as 3.14159 in single precision, not the full-precision value.
constexpr double kPi = 3.141590118408203;


constexpr std::string_view kValueTrailer = " ";

// Writes label, the value and the trailer into message; false, for the checks to return.
bool Refuse(std::string_view label, double value, TextField message) noexcept {
  AppendDoubleToString(label, value, kValueTrailer, message);
  return false;
}

// A section without width, a negative or meaningless width, carries no flow at any depth.
bool WidthInvalid(double b, double z) noexcept {
  return !(b >= 0.0) || !std::isfinite(b) || (b == 0.0 && z == 0.0);
}

// A solve's outcome: the last iterate, the number of completed steps, and whether the last
// step moved the depth by no more than the tolerance.
struct NewtonResult {
  double depth;
  int steps;
  bool converged;
};

struct Outputs {
  double& depth;
  double& flowArea;
  double& topWidth;
  double& celerity;

  void set(double y, double area, double width, double speed) const noexcept {
    depth = y, flowArea = area, topWidth = width, celerity = speed;
  }
};

void Fail(Report& report, int number, std::string_view label, double value, Outputs out,
          TextField message) noexcept {
  report.error(number);
  AppendDoubleToString(label, value, kValueTrailer, message);
  const double undefined = undefinedDbl();
  out.set(undefined, undefined, undefined, undefined);
}

// Newton's method y' = y - f(y)/f'(y) from start; keepInside(previous, next) returns the
// iterate to continue from when next leaves the section.
template <class Step, class KeepInside>
NewtonResult SolveDepth(double start, Step step, KeepInside keepInside) noexcept {
  double y = start;
  for (int steps = 0;;) {
    const double next = keepInside(y, step(y));
    if (std::fabs(next - y) <= kDepthTolerance) return {next, steps, true};
    y = next;
    ++steps;
    if (steps >= kMaxNewtonSteps) return {y, steps, false};
  }
}

// The trapezoid's search at a flow Q > 0 from valid data, K = S^0.5 / n and s = (1 + z^2)^0.5
// given: Newton's method, then the area, top width and celerity at the depth found.
void SolveTrapezoid(double b, double z, double k, double s, double q, double initialDepth,
                    Outputs out, Report& report, TextField message) noexcept {
  const double start = initialDepth > 0.0 ? initialDepth : q * kStartDepthPerFlow;
  // 2 z and 2 s, the same at every iterate.
  const double twoZ = 2.0 * z;
  const double twoS = 2.0 * s;

  auto step = [&](double y) noexcept {
    // A = (b + z y) y;  T = b + 2 z y;  P = b + 2 y s
    const double area = (b + z * y) * y;
    const double width = b + twoZ * y;
    const double perimeter = b + 2.0 * y * s;
    const double areaFiveThirds = std::pow(area, kFiveThirds);
    const double inversePerimeterTwoThirds = 1.0 / std::pow(perimeter, kTwoThirds);
    // f = K A^(5/3) (1 / P^(2/3)) - Q
    const double f = k * areaFiveThirds * inversePerimeterTwoThirds - q;
    // f' = dQ/dy = K ((5/3) T A^(2/3) (1 / P^(2/3)) - (2/3) (2 s / P^(5/3)) A^(5/3))
    const double slope =
        k * (kFiveThirds * width * std::pow(area, kTwoThirds) * inversePerimeterTwoThirds -
             kTwoThirds * (twoS / std::pow(perimeter, kFiveThirds)) * areaFiveThirds);
    return y - f / slope;
  };
  // Newton's method stays above 0 on this increasing, convex curve; a step that would
  // leave it (only from degenerate data) halves the previous depth instead.
  auto keepInside = [](double previous, double next) noexcept {
    return next > 0.0 && std::isfinite(next) ? next : previous * 0.5;
  };
  const NewtonResult solve = SolveDepth(start, step, keepInside);
  if (!solve.converged) {
    report.warning(message::kPrismNoConvergence.number);
    message.assign(message::kPrismNoConvergence.text);
  }

  const double y = solve.depth;
  const double area = (b + z * y) * y;
  const double perimeter = b + 2.0 * y * s;
  const double width = b + 2.0 * z * y;
  // V = K (A/P)^(2/3)
  const double velocity = k * std::pow(area / perimeter, kTwoThirds);
  // dQ/dA = V (5/3 - (4/3) s A / (T P)) = V (5 b T + (6 b + 16 z y) y s) / (3 P T)
  const double speed = velocity *
                       (kCelerityBottomTerm * b * width +
                        (kCelerityDepthTerm * b + kCeleritySlopeTerm * z * y) * y * s) /
                       (kCelerityDenominator * perimeter * width);
  out.set(y, area, width, speed);
}

// The conduit's search at a flow Q > 0 from valid data, alpha = D^(1/6) / n S^0.5 0.503
// given: the area of the flow law, the depth of the circular segment that has it, and the top
// width and celerity there.
void SolveConduit(double d, double alpha, double q, Outputs out, Report& report,
                  TextField message) noexcept {
  // r = D/2
  const double r = d * 0.5;
  // A = (Q / alpha)^(1/m), the flow law inverted
  const double area = std::pow(q / alpha, kInverseFlowLawExponent);
  // T(y) = 2 ((2 r - y) y)^0.5, also dA/dy
  auto topWidthAt = [r](double y) noexcept { return 2.0 * std::pow((2.0 * r - y) * y, 0.5); };

  double y;
  if (area > kAreaLimitPerDiameterSquared * (d * d)) {
    // Nearly full: the depth is held at 0.771 D.
    report.warning(message::kCircleAreaLimit.number);
    AppendLineToString(message::kCircleAreaLimit.text, message::kCircleAreaLimitSecondLine.text,
                       message);
    y = kDepthAboveLimitPerDiameter * d;
  } else {
    // (pi/2) r^2 and r^2, the same at every iterate.
    const double halfCircle = kPi * r * r * 0.5;
    const double radiusSquared = r * r;
    auto step = [&](double yi) noexcept {
      // Segment below the surface, u = r - y:
      // A(y) = (pi/2) r^2 - (u (r^2 - u^2)^0.5 + r^2 asin(u/r))
      const double u = r - yi;
      const double segment = halfCircle - (u * std::pow(radiusSquared - u * u, 0.5) +
                                           radiusSquared * std::asin(u / r));
      return yi - (segment - area) / topWidthAt(yi);
    };
    // An iterate at or beyond the bottom or the crown is moved halfway from the previous one
    // to the wall it crossed, so that every iterate lies inside the circle.
    auto keepInside = [d](double previous, double next) noexcept {
      if (next > 0.0 && next < d) return next;
      return next >= d ? (previous + d) * 0.5 : previous * 0.5;
    };
    const NewtonResult solve = SolveDepth(kStartDepthPerDiameter * d, step, keepInside);
    if (!solve.converged) {
      report.warning(message::kPrismNoConvergence.number);
      message.assign(message::kPrismNoConvergence.text);
    }
    y = solve.depth;
  }
  // dQ/dA = alpha m A^(m - 1), from the flow law
  const double speed = alpha * kFlowLawExponent * std::pow(area, kFlowLawExponent - 1.0);
  out.set(y, area, topWidthAt(y), speed);
}

}  // namespace

void ChannelDepthPrism(double channelSlope, double manningN, double bottomWidth,
                       double sideSlope, double flow, double initialDepth, double& depth,
                       double& flowArea, double& topWidth, double& celerity,
                       std::int32_t& status, TextField message) noexcept {
  Report report;
  const Outputs out{depth, flowArea, topWidth, celerity};
  const double b = bottomWidth;
  const double z = sideSlope;
  const double q = flow;

  if (!(q > 0.0)) {
    // No flow: an empty channel, checked for nothing.
    out.set(0.0, 0.0, b, 0.0);
  } else if (!(manningN > 0.0)) {
    Fail(report, message::kPrismManningN.number, message::kPrismManningN.text, manningN, out, message);
  } else if (z < 0.0) {
    Fail(report, message::kPrismSideSlope.number, message::kPrismSideSlope.text, z, out, message);
  } else if (!(channelSlope > 0.0)) {
    Fail(report, message::kPrismChannelSlope.number, message::kPrismChannelSlope.text, channelSlope, out, message);
  } else if (WidthInvalid(b, z) || !std::isfinite(z)) {
    // A section without width (or with a meaningless one) carries no flow at any depth.
    Fail(report, message::kPrismBottomWidth.number, message::kPrismBottomWidth.text, b, out,
         message);
  } else {
    // K = S^0.5 / n;  s = (1 + z^2)^0.5, the slant length per unit depth of a side. Powers,
    // not square roots: the two differ in the last bit for some arguments.
    const double k = std::pow(channelSlope, 0.5) / manningN;
    const double s = std::pow(1.0 + z * z, 0.5);
    SolveTrapezoid(b, z, k, s, q, initialDepth, out, report, message);
  }
  status = report.status(routine::kChannelDepthPrism);
}

TrapezoidDepthSearch::TrapezoidDepthSearch(double channelSlope, double manningN,
                                           double bottomWidth, double sideSlope) noexcept
    : bottomWidth_(bottomWidth),
      sideSlope_(sideSlope),
      // K = S^0.5 / n;  s = (1 + z^2)^0.5, as ChannelDepthPrism computes them at every search
      conveyanceFactor_(manningN > 0.0 ? std::pow(channelSlope, 0.5) / manningN : 0.0),
      slantPerDepth_(std::pow(1.0 + sideSlope * sideSlope, 0.5)) {}

void TrapezoidDepthSearch::depth(double flow, double initialDepth, double& depth,
                                 double& flowArea, double& topWidth, double& celerity,
                                 std::int32_t& status, TextField message) const noexcept {
  Report report;
  const Outputs out{depth, flowArea, topWidth, celerity};
  if (!(flow > 0.0)) {
    // No flow: an empty channel.
    out.set(0.0, 0.0, bottomWidth_, 0.0);
  } else {
    SolveTrapezoid(bottomWidth_, sideSlope_, conveyanceFactor_, slantPerDepth_, flow,
                   initialDepth, out, report, message);
  }
  status = report.status(routine::kChannelDepthPrism);
}

ConduitDepthSearch::ConduitDepthSearch(double channelSlope, double manningN,
                                       double diameter) noexcept
    : diameter_(diameter),
      // alpha = D^(1/6) / n S^0.5 0.503, as ChannelDepthCircle computes it at every search
      alpha_(manningN > 0.0 ? std::pow(diameter, kOneSixth) / manningN *
                                  std::pow(channelSlope, 0.5) * kFlowLawCoefficient
                            : 0.0) {}

void ConduitDepthSearch::depth(double flow, double& depth, double& flowArea, double& topWidth,
                               double& celerity, std::int32_t& status,
                               TextField message) const noexcept {
  Report report;
  const Outputs out{depth, flowArea, topWidth, celerity};
  if (!(flow > 0.0)) {
    out.set(0.0, 0.0, 0.0, 0.0);
  } else {
    SolveConduit(diameter_, alpha_, flow, out, report, message);
  }
  status = report.status(routine::kChannelDepthCircle);
}

double NormalFlowPrism(double channelSlope, double manningN, double bottomWidth, double sideSlope,
                       double depth) noexcept {
  if (!(depth > 0.0)) return 0.0;
  const double b = bottomWidth;
  const double z = sideSlope;
  const double y = depth;
  // K = S^0.5 / n;  s = (1 + z^2)^0.5;  A = (b + z y) y;  P = b + 2 y s
  const double k = std::pow(channelSlope, 0.5) / manningN;
  const double s = std::pow(1.0 + z * z, 0.5);
  const double area = (b + z * y) * y;
  const double perimeter = b + 2.0 * y * s;
  // Q = K A^(5/3) (1 / P^(2/3))
  return k * std::pow(area, kFiveThirds) * (1.0 / std::pow(perimeter, kTwoThirds));
}

double ConduitFlowAtArea(double channelSlope, double manningN, double diameter,
                         double flowArea) noexcept {
  // alpha = D^(1/6) / n S^0.5 0.503;  Q = alpha A^m
  const double alpha = std::pow(diameter, kOneSixth) / manningN * std::pow(channelSlope, 0.5) *
                       kFlowLawCoefficient;
  return alpha * std::pow(flowArea, kFlowLawExponent);
}

bool CheckTrapezoid(double channelSlope, double manningN, double bottomWidth, double sideSlope,
                    TextField message) noexcept {
  // In the order of the depth search's checks, with its texts.
  if (!(manningN > 0.0)) return Refuse(message::kPrismManningN.text, manningN, message);
  if (std::isinf(manningN))
    return Refuse(message::kPrismManningNNotFinite.text, manningN, message);
  if (sideSlope < 0.0) return Refuse(message::kPrismSideSlope.text, sideSlope, message);
  if (!std::isfinite(sideSlope)) return Refuse(message::kPrismSideSlopeNotFinite.text, sideSlope, message);
  if (!(channelSlope > 0.0)) return Refuse(message::kPrismChannelSlope.text, channelSlope, message);
  if (std::isinf(channelSlope))
    return Refuse(message::kPrismChannelSlopeNotFinite.text, channelSlope, message);
  if (WidthInvalid(bottomWidth, sideSlope))
    return Refuse(message::kPrismBottomWidth.text, bottomWidth, message);
  return true;
}

bool CheckConduit(double channelSlope, double manningN, double diameter,
                  TextField message) noexcept {
  if (!(manningN > 0.0)) return Refuse(message::kPrismManningN.text, manningN, message);
  if (std::isinf(manningN))
    return Refuse(message::kPrismManningNNotFinite.text, manningN, message);
  if (!(channelSlope > 0.0)) return Refuse(message::kPrismChannelSlope.text, channelSlope, message);
  if (std::isinf(channelSlope))
    return Refuse(message::kPrismChannelSlopeNotFinite.text, channelSlope, message);
  if (!(diameter > 0.0) || !std::isfinite(diameter))
    return Refuse(message::kCircleDiameter.text, diameter, message);
  return true;
}

void ChannelDepthCircle(double channelSlope, double manningN, double diameter, double flow,
                        double& depth, double& flowArea, double& topWidth, double& celerity,
                        std::int32_t& status, TextField message) noexcept {
  Report report;
  const Outputs out{depth, flowArea, topWidth, celerity};
  const double d = diameter;
  const double q = flow;

  if (!(q > 0.0)) {
    out.set(0.0, 0.0, 0.0, 0.0);
  } else if (!(manningN > 0.0)) {
    Fail(report, message::kPrismManningN.number, message::kPrismManningN.text, manningN, out, message);
  } else if (!(channelSlope > 0.0)) {
    Fail(report, message::kPrismChannelSlope.number, message::kPrismChannelSlope.text, channelSlope, out, message);
  } else if (!(d > 0.0) || !std::isfinite(d)) {
    Fail(report, message::kCircleDiameter.number, message::kCircleDiameter.text, d, out,
         message);
  } else {
    // alpha = D^(1/6) / n S^0.5 0.503
    const double alpha = std::pow(d, kOneSixth) / manningN * std::pow(channelSlope, 0.5) *
                         kFlowLawCoefficient;
    SolveConduit(d, alpha, q, out, report, message);
  }
  status = report.status(routine::kChannelDepthCircle);
}

}  // namespace tovalin
