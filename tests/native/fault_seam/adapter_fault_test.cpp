// An exception from inside the core never leaves an adapter: through the test build of the
// library, whose routing routines throw at a distinctive first inflow, each routing adapter
// returns an internal error naming itself, with every output the undefined value.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "tovalin/tovalin.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/fault_seam.h"

namespace tovalin {
namespace {

constexpr int kWidth = 80;
constexpr int kOrdinates = 4;

// One call's outputs, poisoned before the call.
struct Outcome {
  std::vector<double> outputs = std::vector<double>(16, -1.0);
  int status = 0;
  std::string message = std::string(kWidth, ' ');
};

struct Adapter {
  const char* name;
  int routine;
  std::size_t outputCount;  // leading elements of Outcome::outputs the adapter writes
  std::function<void(Outcome&)> call;
};

TEST(AdapterFaults, AnExceptionInsideIsAnInternalError) {
  const std::array<double, kOrdinates> inflows{kFaultSeamInflow, 10, 20, 10};
  const std::array<double, kOrdinates> lateral{};
  const std::array<double, 2> initial{10, 10};
  const std::array<double, 3> table{0, 1e6, 2e6}, outflowTable{0, 50, 100},
      elevationTable{0, 1, 2};
  const std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50}, y{10, 5, 5, 0, 0, 5, 5, 10};
  const std::array<double, 3> roughness{0.08, 0.04, 0.08};
  const int interval = 60, steps = 2, ordinates = kOrdinates, pairs = 3, no = 0;
  const double k = 2.0, weight = 0.2, loss = 0.5, rate = 1e-6, length = 5000.0, slope = 0.001,
               n = 0.035, width = 10.0, sides = 1.5;
  // Outputs: 2 final values, 4 outflows, then the nine Muskingum-Cunge scalars.
  const Adapter adapters[] = {
      {"routemuskingum_", routine::kRouteMuskingum, 6,
       [&](Outcome& o) {
         double* v = o.outputs.data();
         routemuskingum_(&interval, &k, &weight, &steps, initial.data(), v, &ordinates,
                         inflows.data(), v + 2, &o.status, o.message.data(), kWidth);
       }},
      {"routepulschannel_", routine::kRoutePulsChannel, 6,
       [&](Outcome& o) {
         double* v = o.outputs.data();
         routepulschannel_(&interval, &pairs, table.data(), outflowTable.data(), &steps,
                           initial.data(), v, &ordinates, inflows.data(), v + 2, &o.status,
                           o.message.data(), kWidth);
       }},
      {"RoutePulsChannelWithLoss_", routine::kRoutePulsChannelWithLoss, 6,
       [&](Outcome& o) {
         double* v = o.outputs.data();
         RoutePulsChannelWithLoss_(&interval, &pairs, table.data(), outflowTable.data(),
                                   elevationTable.data(), &loss, &rate, &steps, initial.data(),
                                   v, &ordinates, inflows.data(), v + 2, &o.status,
                                   o.message.data(), kWidth);
       }},
      {"RouteMuskingumCunge8Point_", routine::kRouteMuskingumCunge8Point, 15,
       [&](Outcome& o) {
         double* v = o.outputs.data();
         RouteMuskingumCunge8Point_(&interval, &length, &slope, x.data(), y.data(),
                                    roughness.data(), &steps, &no, initial.data(), v,
                                    &ordinates, inflows.data(), lateral.data(), v + 2, v + 6,
                                    v + 7, v + 8, v + 9, v + 10, v + 11, v + 12, v + 13, v + 14,
                                    &o.status, o.message.data(), kWidth);
       }},
      {"RouteMuskingumCungePrism_", routine::kRouteMuskingumCungePrism, 15,
       [&](Outcome& o) {
         double* v = o.outputs.data();
         RouteMuskingumCungePrism_(&interval, &length, &slope, &n, "TRAPEZOID", &width, &sides,
                                   &steps, &no, initial.data(), v, &ordinates, inflows.data(),
                                   lateral.data(), v + 2, v + 6, v + 7, v + 8, v + 9, v + 10,
                                   v + 11, v + 12, v + 13, v + 14, &o.status, o.message.data(),
                                   kWidth, 9);
       }},
  };
  for (const Adapter& a : adapters) {
    Outcome o;
    a.call(o);
    const std::string expected = std::string("Internal error: ") + a.name + ": fault seam reached";
    EXPECT_EQ(o.message, expected + std::string(kWidth - expected.size(), ' ')) << a.name;
    EXPECT_EQ(o.status, EncodeErrorCode(a.routine, kMessageInternalError, kSeverityError));
    for (std::size_t i = 0; i < a.outputCount; ++i)
      EXPECT_TRUE(isUndefinedDbl(o.outputs[i])) << a.name << " output " << i;
    EXPECT_EQ(o.outputs[a.outputCount], -1.0) << a.name;
  }
}

}  // namespace
}  // namespace tovalin
