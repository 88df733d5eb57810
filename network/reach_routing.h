// Routing of one reach of a network over a whole run: the method's routine called once with
// the reach's summed inflow, its lateral inflow and its states, and the reach's volume
// account taken from the result. The one place of the engine that calls the routing core.
// Flows m3/s, volumes m3, the interval in whole minutes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network/network.h"

namespace tovalin::network {

// Points of the flow profile a Muskingum-Cunge reach carries from one run to the next,
// equally spaced from its upstream to its downstream end.
inline constexpr std::int32_t kProfilePoints = 11;
// Characters kept of a routine's message text.
inline constexpr int kMessageWidth = 128;

// What one reach's routing reports.
struct ReachOutcome {
  std::int32_t routine = 0;        // row of the routine-name table, 0 when nothing reported
  std::int32_t messageNumber = 0;  // 1..10 warning, 11 and up error
  std::int32_t severity = 0;       // 0, 2 warning, 4 error
  std::string message;             // the routine's text, trailing blanks removed
  // Volume account over the run, m3: inflow (upstream, boundary and lateral), outflow, the
  // storage at start and end from the method's own relation, and the balance error
  // (in - out - (end - start)) as a fraction of the inflow, absolute when the inflow is 0.
  double inflowVolume = 0.0;
  double outflowVolume = 0.0;
  double storageStart = 0.0;
  double storageEnd = 0.0;
  double loss = 0.0;  // Puls with loss: the channel loss over the run
  double balanceError = 0.0;
  // Muskingum-Cunge only (the undefined value otherwise): computation interval (s), subreach
  // count, and the range of the Courant number ck dt / dx over the run.
  double computationInterval = 0.0;
  std::int32_t subreachCount = 0;
  double courantMin = 0.0;
  double courantMax = 0.0;
};

// The states that carry a reach's routing from one run to the next, as a restart file holds
// them: the values (each step's outflow for Muskingum and Puls; the flows at the profile
// points for Muskingum-Cunge), the inflow of the run's last ordinate (the next run's first)
// and, for Muskingum-Cunge, the computation interval and subreach count of the run.
struct ReachState {
  std::vector<double> values;
  double lastInflow = 0.0;
  double computationInterval = 0.0;  // s
  std::int32_t subreachCount = 0;
};

// Number of state values a reach carries: its steps' outflows (Muskingum, Puls) or the
// profile points (Muskingum-Cunge).
// subreachCount is the restart's for a Muskingum-Cunge reach.
std::int32_t StateCount(const Reach& reach, std::int32_t subreachCount) noexcept;

// Message number of a restart whose last inflow is not the run's first inflow.
inline constexpr std::int32_t kMessageStateMismatch = 16;

// Per-thread scratch memory reused from reach to reach.
struct ReachWorkspace {
  std::vector<double> inflows;
  std::vector<double> lateralPerMetre;
  std::vector<double> finalStates;
};

// Routes one reach over the run.
//   upstreamInflows  sum of the upstream outflows and the boundary inflow at each ordinate
//   lateralInflows   lateral inflow at each ordinate, m3/s over the whole reach
//   outflows         the reach's outflow at each ordinate (same length as the inflows)
//   state            in: the state at the first ordinate, or no values for a cold start
//                    (every state at steady flow from the first inflow); out: the state at
//                    the last ordinate. A state whose last inflow is not the first inflow
//                    (bit for bit) fails the reach with kMessageStateMismatch.
// Nothing is thrown: a routine's failure is reported in the outcome.
ReachOutcome RouteReach(const Network& network, const Reach& reach,
                        std::int32_t intervalMinutes,
                        std::span<const double> upstreamInflows,
                        std::span<const double> lateralInflows, std::span<double> outflows,
                        ReachState& state, ReachWorkspace& workspace);

}  // namespace tovalin::network
