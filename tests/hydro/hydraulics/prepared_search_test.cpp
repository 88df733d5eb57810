// A depth search prepared once for a section gives, for every flow and first estimate, what
// the fixed-width search gives for the same section, to the bit: depth, area, top width,
// celerity, status and message text.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "hydro/hydraulics/depth_prism.h"
#include "hydro/hydraulics/section_8point.h"
#include "hydro/messages/message_text.h"

namespace tovalin {
namespace {

// What one search returns, compared bit for bit.
struct Outcome {
  std::array<double, 4> values{};
  std::int32_t status = 0;
  std::string text = std::string(96, ' ');

  bool operator==(const Outcome& o) const {
    for (std::size_t i = 0; i < values.size(); ++i)
      if (std::bit_cast<std::uint64_t>(values[i]) != std::bit_cast<std::uint64_t>(o.values[i]))
        return false;
    return status == o.status && text == o.text;
  }
  TextField field() { return TextField(text.data(), static_cast<int>(text.size())); }
};

const std::vector<double> kFlows{0.0,   -3.0,   1e-310, 0.005, 0.3,  12.0, 55.5,
                                 480.0, 7.5e3, 2e6,    undefinedDbl(),
                                 std::numeric_limits<double>::quiet_NaN()};
const std::vector<double> kStarts{0.0, 0.4, 2.0, 9.0, std::numeric_limits<double>::quiet_NaN()};

TEST(PreparedSearch, TrapezoidsAndRectanglesAndTriangles) {
  struct Shape {
    double slope, n, b, z;
  };
  for (const Shape& c : {Shape{0.001, 0.035, 20.0, 2.0}, Shape{1e-5, 0.06, 3.0, 0.0},
                         Shape{0.02, 0.013, 0.0, 1.5}}) {
    const TrapezoidDepthSearch search(c.slope, c.n, c.b, c.z);
    for (const double q : kFlows)
      for (const double start : kStarts) {
        Outcome fixed, prepared;
        ChannelDepthPrism(c.slope, c.n, c.b, c.z, q, start, fixed.values[0], fixed.values[1],
                          fixed.values[2], fixed.values[3], fixed.status, fixed.field());
        search.depth(q, start, prepared.values[0], prepared.values[1], prepared.values[2],
                     prepared.values[3], prepared.status, prepared.field());
        EXPECT_TRUE(fixed == prepared) << c.b << " " << q << " " << start;
      }
  }
}

TEST(PreparedSearch, Conduits) {
  for (const double diameter : {0.6, 6.0}) {
    const ConduitDepthSearch search(0.004, 0.013, diameter);
    for (const double q : kFlows) {
      Outcome fixed, prepared;
      ChannelDepthCircle(0.004, 0.013, diameter, q, fixed.values[0], fixed.values[1],
                         fixed.values[2], fixed.values[3], fixed.status, fixed.field());
      search.depth(q, prepared.values[0], prepared.values[1], prepared.values[2],
                   prepared.values[3], prepared.status, prepared.field());
      EXPECT_TRUE(fixed == prepared) << diameter << " " << q;
    }
  }
}

TEST(PreparedSearch, EightPointSections) {
  const std::array<double, 3> n{0.07, 0.035, 0.06};
  // A natural channel; a mirrored one (descending stations); one with equal bank stations.
  const std::array<std::array<double, 8>, 3> stations{{{0, 60, 110, 118, 126, 138, 190, 260},
                                                       {260, 190, 138, 126, 118, 110, 60, 0},
                                                       {0, 10, 20, 20, 20, 20, 30, 40}}};
  const std::array<double, 8> elevations{7.5, 4.2, 3.6, 0.4, 0.0, 3.4, 4.0, 8.0};
  for (const auto& x : stations) {
    const EightPointDepthSearch search(0.0005, x, elevations, n);
    for (const double q : kFlows)
      for (const double start : kStarts) {
        Outcome fixed, prepared;
        ChannelDepth8Point(0.0005, x, elevations, n, q, start, fixed.values[0], fixed.values[1],
                           fixed.values[2], fixed.values[3], fixed.status, fixed.field());
        search.depth(q, start, prepared.values[0], prepared.values[1], prepared.values[2],
                     prepared.values[3], prepared.status, prepared.field());
        EXPECT_TRUE(fixed == prepared) << x[0] << " " << q << " " << start;
      }
  }
}

}  // namespace
}  // namespace tovalin
