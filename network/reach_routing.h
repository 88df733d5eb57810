// Routing of one reach of a network over a whole run through the C++ API: the method's call
// made once with the reach's summed inflow, its lateral inflow and its state, and the result's
// status, volume account, diagnostics and state taken over. The one place of the engine that
// calls the routing library. Flows m3/s, volumes m3, the interval in whole minutes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network/network.h"
#include "tovalin/core.hpp"

namespace tovalin::network {

// The sum of two flows; undefined when either is.
inline double AddFlows(double a, double b) noexcept {
  return IsUndefined(a) || IsUndefined(b) ? kUndefined : a + b;
}

// Characters kept of a routine's message text.
inline constexpr int kMessageWidth = Workspace::kMessageWidth;

// What one reach's routing reports.
struct ReachOutcome {
  std::int32_t routine = 0;        // row of the routine-name table, 0 when nothing reported
  std::int32_t messageNumber = 0;  // 1..10 warning, 11 and up error
  std::int32_t severity = 0;       // 0, 2 warning, 4 error
  std::string message;             // the routine's text, trailing blanks removed
  // Volume account over the run, m3 (the API's): inflow (upstream, boundary and lateral),
  // outflow, storage at start and end from the method's own relation, the channel loss, and
  // the balance error (in - out - (end - start) - loss) / in, absolute when the inflow is 0.
  double inflowVolume = 0.0;
  double outflowVolume = 0.0;
  double storageStart = 0.0;
  double storageEnd = 0.0;
  double loss = 0.0;
  double balanceError = 0.0;
  // Muskingum-Cunge only (the undefined value otherwise): computation interval (s), subreach
  // count, and the range of the Courant number ck dt / dx over the run.
  double computationInterval = 0.0;
  std::int32_t subreachCount = 0;
  double courantMin = 0.0;
  double courantMax = 0.0;
};

// The state that carries a reach's routing from one run to the next, as a restart file holds
// it (the API's state types laid flat): the values (Muskingum: each step's outflow; Puls: each
// step's outflow, then its storage indicator, then with loss its outflow before the loss;
// Muskingum-Cunge: the flow, then the depth, at each of the NSUB + 1 nodes), the inflow of the
// run's last ordinate (the next run's first) and, for Muskingum-Cunge, the computation
// interval and subreach count held from run to run.
struct ReachState {
  std::vector<double> values;
  double lastInflow = 0.0;
  double computationInterval = 0.0;  // s
  std::int32_t subreachCount = 0;
};

// Number of state values of a reach; subreachCount is the state's for Muskingum-Cunge.
std::int32_t StateCount(const Reach& reach, std::int32_t subreachCount) noexcept;

// Per-thread memory reused from reach to reach: the API's workspace and the summed series.
struct ReachWorkspace {
  Workspace api;
  std::vector<double> inflows;
  std::vector<double> lateralPerMetre;
};

// Routes one reach over the run.
//   upstreamInflows  sum of the upstream outflows and the boundary inflow at each ordinate
//   lateralInflows   lateral inflow at each ordinate, m3/s over the whole reach
//   outflows         the reach's outflow at each ordinate (same length as the inflows)
//   state            in: the state at the first ordinate, or no values for a cold start
//                    (every step, or every node, at steady flow from the first inflow; a
//                    Muskingum-Cunge reach then fixes its computation interval and subreach
//                    count from this run's hydrograph); out: the state at the last ordinate.
//                    A state whose last inflow is not the first inflow fails the reach (the
//                    API's message 16).
// Nothing is thrown: a routine's failure is reported in the outcome.
ReachOutcome RouteReach(const Network& network, const Reach& reach, std::int32_t intervalMinutes,
                        std::span<const double> upstreamInflows,
                        std::span<const double> lateralInflows, std::span<double> outflows,
                        ReachState& state, ReachWorkspace& workspace);

}  // namespace tovalin::network
