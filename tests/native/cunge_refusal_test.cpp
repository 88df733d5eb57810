// Section data that cannot carry flow, and parameters the arithmetic cannot serve, refuse a
// Muskingum-Cunge call through its adapter whatever the flows: message 12 with severity 4,
// the text naming the datum, and every output the undefined value.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>
#include <string>

#include "tovalin/tovalin.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kWidth = 80;

enum class Section { kEightPoint, kTrapezoid, kCircle };

// One call of either adapter: a steady 20 m3/s through a 5 km reach, every output poisoned.
struct Call {
  Section section = Section::kEightPoint;
  int interval = 60;
  double length = 5000.0, slope = 0.001;
  std::array<double, 8> stations{0, 10, 20, 20, 30, 30, 40, 50};
  std::array<double, 8> elevations{10, 5, 5, 0, 0, 5, 5, 10};
  std::array<double, 3> roughness{0.08, 0.04, 0.08};
  double n = 0.035, width = 10.0, sides = 1.5;
  double flow = 20.0;

  std::array<double, 3> finals{};
  std::array<double, 6> outflows{};
  std::array<double, 9> scalars{};
  int status = 0;
  std::string message;

  void route() {
    const int points = 3, fromProfile = 0, ordinates = 6;
    const std::array<double, 3> initial{flow, flow, flow};
    const std::array<double, 6> inflows{flow, flow, flow, flow, flow, flow}, lateral{};
    finals.fill(-1.0), outflows.fill(-1.0), scalars.fill(-1.0);
    message.assign(kWidth, ' ');
    double* s = scalars.data();
    if (section == Section::kEightPoint) {
      RouteMuskingumCunge8Point_(&interval, &length, &slope, stations.data(), elevations.data(),
                                 roughness.data(), &points, &fromProfile, initial.data(),
                                 finals.data(), &ordinates, inflows.data(), lateral.data(),
                                 outflows.data(), s, s + 1, s + 2, s + 3, s + 4, s + 5, s + 6,
                                 s + 7, s + 8, &status, message.data(), kWidth);
    } else {
      const char* shape = section == Section::kCircle ? "CIRCLE" : "TRAPEZOID";
      RouteMuskingumCungePrism_(&interval, &length, &slope, &n, shape, &width, &sides, &points,
                                &fromProfile, initial.data(), finals.data(), &ordinates,
                                inflows.data(), lateral.data(), outflows.data(), s, s + 1,
                                s + 2, s + 3, s + 4, s + 5, s + 6, s + 7, s + 8, &status,
                                message.data(), kWidth, section == Section::kCircle ? 6 : 9);
    }
  }
};

struct Refusal {
  Section section;
  std::function<void(Call&)> change;
  std::string text;
};

TEST(CungeAdapters, RefuseEveryDatumThatCannotCarryFlow) {
  using S = Section;
  const Refusal refusals[] = {
      {S::kEightPoint, [](Call& c) { c.slope = -0.001; }, "Channel slope is zero or negative: -.001"},
      {S::kEightPoint, [](Call& c) { c.slope = kNaN; }, "Channel slope is zero or negative: NaN"},
      {S::kEightPoint, [](Call& c) { c.slope = kInf; }, "Channel slope is not finite: Infinity"},
      {S::kEightPoint, [](Call& c) { c.roughness[1] = 0.0; }, "Manning's n is zero or negative: 0.0"},
      {S::kEightPoint, [](Call& c) { c.roughness[2] = kInf; }, "Manning's n is not finite: Infinity"},
      {S::kEightPoint, [](Call& c) { c.stations[4] = 15.0; },
       "Cross-section stations are out of order: 20., 15."},
      {S::kEightPoint, [](Call& c) { c.stations[2] = kNaN; }, "Cross-section station is not finite: NaN"},
      {S::kEightPoint, [](Call& c) { c.elevations[7] = -kInf; },
       "Cross-section elevation is not finite: -Infinity"},
      {S::kEightPoint, [](Call& c) { c.roughness[0] = -0.1, c.flow = 0.0; },
       "Manning's n is zero or negative: -.1"},
      {S::kTrapezoid, [](Call& c) { c.n = -0.01; }, "Manning's n is zero or negative: -.01"},
      {S::kTrapezoid, [](Call& c) { c.n = kInf; }, "Manning's n is not finite: Infinity"},
      {S::kTrapezoid, [](Call& c) { c.sides = -1.0; }, "Channel side slope is negative: -1."},
      {S::kTrapezoid, [](Call& c) { c.sides = kNaN; }, "Channel side slope is not finite: NaN"},
      {S::kTrapezoid, [](Call& c) { c.slope = -kInf; },
       "Channel slope is zero or negative: -Infinity"},
      {S::kTrapezoid, [](Call& c) { c.width = -2.0; }, "Channel bottom width is invalid: -2."},
      {S::kTrapezoid, [](Call& c) { c.width = kInf; }, "Channel bottom width is invalid: Infinity"},
      {S::kTrapezoid, [](Call& c) { c.width = 0.0, c.sides = 0.0, c.flow = 0.0; },
       "Channel bottom width is invalid: 0.0"},
      {S::kCircle, [](Call& c) { c.n = kNaN; }, "Manning's n is zero or negative: NaN"},
      {S::kCircle, [](Call& c) { c.slope = kInf; }, "Channel slope is not finite: Infinity"},
      {S::kCircle, [](Call& c) { c.width = 0.0; }, "Conduit diameter is zero or negative: 0.0"},
      {S::kCircle, [](Call& c) { c.width = kNaN, c.flow = 0.0; },
       "Conduit diameter is zero or negative: NaN"},
      // The parameters refused before the section is looked at.
      {S::kEightPoint, [](Call& c) { c.slope = 0.0; },
       "Invalid Muskingum-Cunge parameters: interval = 60, length = 5000., slope = 0.0"},
      {S::kTrapezoid, [](Call& c) { c.interval = 0; },
       "Invalid Muskingum-Cunge parameters: interval = 0, length = 5000., slope = .001"},
      {S::kCircle, [](Call& c) { c.length = 0.0; },
       "Invalid Muskingum-Cunge parameters: interval = 60, length = 0.0, slope = .001"},
  };
  for (const Refusal& r : refusals) {
    Call c;
    c.section = r.section;
    r.change(c);
    c.route();
    const int routine = r.section == Section::kEightPoint ? routine::kRouteMuskingumCunge8Point
                                                          : routine::kRouteMuskingumCungePrism;
    EXPECT_EQ(c.status, EncodeErrorCode(routine, 12, kSeverityError)) << r.text;
    EXPECT_EQ(c.message.substr(0, c.message.find_last_not_of(' ') + 1), r.text);
    for (double v : c.outflows) EXPECT_TRUE(isUndefinedDbl(v)) << r.text;
    for (double v : c.finals) EXPECT_TRUE(isUndefinedDbl(v)) << r.text;
    for (double v : c.scalars) EXPECT_TRUE(isUndefinedDbl(v)) << r.text;
  }
}

}  // namespace
}  // namespace tovalin
