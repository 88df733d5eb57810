// tovalin C++ API: what is settled before a run routes. The computation interval and subreach
// count of a Muskingum-Cunge continuation, chosen from the reach and a reference flow, never
// from a hydrograph; and the states a run starts from when its initial flows (or a lake's
// level) are known, which the routing calls accept as they accept the state of an earlier
// call. Flows m3/s (any one unit for Muskingum and Puls), lengths m, times as named.
#pragma once

#include <cstdint>
#include <string>

#include "tovalin/reach.hpp"
#include "tovalin/result.hpp"
#include "tovalin/state.hpp"

namespace tovalin {

// The computation interval and subreach count of a Muskingum-Cunge continuation.
//   computationInterval  dt, s: the hydrographs' interval divided by a whole number
//   subreachCount        NSUB, 1 to 200
//   referenceFlow        m3/s: the flow they were chosen at (the caller's, or the reach's own)
//   status               routine 15 (eight-point) or 16 (trapezoid, conduit); 12 when the reach
//                        or the interval cannot be routed (interval and count then 0; the
//                        routing call with the same reach reports why in its text)
struct MuskingumCungeDiscretisation {
  double computationInterval = 0.0;
  std::int32_t subreachCount = 0;
  double referenceFlow = 0.0;
  Status status;
};

// Chooses the discretisation of a Muskingum-Cunge continuation whose hydrographs have
// ordinates intervalMinutes apart, from the reach and a reference flow Q0 (m3/s), by the rule
// of a one-call run without its hydrograph: with the celerity ck and top width T of normal
// flow at Q0, dt is the smaller of the ordinate interval and the travel time L/ck, lowered to
// the interval divided by the smallest whole number that brings it there; the subreach length
// is the smaller of ck dt and (ck dt + Q0/(S ck T))/2, and NSUB = L over it rounded, 1 to 200.
// A referenceFlow that is not a finite flow above 0.01 m3/s (kUndefined, NaN, 0) gives way to
// the reach's own: the normal flow of the channel full to its banks (eight-point section: the
// water at the lower of the bank points 3 and 6, or of the end points 1 and 8 where those lie
// at the bed), of a trapezoid at a depth of a tenth of its bottom width (1 m for a triangle:
// the top width is then 10 + 2z times the depth, about the shape of natural channels at
// bankfull), of a conduit half full.
MuskingumCungeDiscretisation ChooseDiscretisation(const MuskingumCungeReach& reach,
                                                  std::int32_t intervalMinutes,
                                                  double referenceFlow = kUndefined);

// A state to start a run from, with the outcome of building it: status 0, or an error of the
// method's routine with its text; the state is then empty (and refused by the routing calls).
// An undefined initial flow or level (kUndefined, NaN) is no error: it gives a state of
// undefined values, from which a run routes undefined outflows.
struct StepStart {
  StepState state;
  Status status;
  std::string text;
};
struct MuskingumCungeStart {
  MuskingumCungeState state;
  Status status;
  std::string text;
};

// Every step of a Muskingum reach at the initial flow, firstInflow (the first ordinate of the
// hydrograph the state starts) as its last inflow. Status: routine 14, 12 for a step count
// below 1, 11 when the state's storage cannot be obtained or passes the limit of a call
// (workspace.hpp).
StepStart StartAtFlow(const MuskingumReach& reach, double initialFlow, double firstInflow);

// Every step of a Puls reach at the storage whose outflow is the initial flow, for hydrographs
// of ordinates intervalMinutes apart: the storage indicator SI = S/(n dt) + O/2 looked up from
// the outflow in the table, as a cold start takes it; with a loss, the outflow before the loss
// found from the initial (net) flow as a cold start finds it. A run from this state at a first
// inflow equal to the initial flow equals the cold start bit for bit.
// Status: routine 17 (18 with loss); 14 interval or steps below 1, 12 a storage lookup failed
// (13 an elevation lookup), 11 no storage (or beyond the limit of a call); the text as the
// routing call writes it.
StepStart StartAtFlow(const PulsReach& reach, std::int32_t intervalMinutes, double initialFlow,
                      double firstInflow);

// Every step of a Puls reach at a water-surface level, in the unit of reach.elevation (which it
// needs, with or without loss): outflow O and storage S of the level from the table, SI =
// S/(n dt) + O/2; with a loss, the outflow handed on is O less the loss at that level (never
// below 0). Statuses as StartAtFlow; 13 also for a level outside the elevations (or none).
StepStart StartAtLevel(const PulsReach& reach, std::int32_t intervalMinutes, double level,
                       double firstInflow);

// Every node of a Muskingum-Cunge continuation at the initial flow and its depth the normal
// depth there, at the discretisation given, firstInflow as the last inflow. Status: routine 15
// or 16; 12 a reach that cannot be routed, 16 a discretisation of no interval or of a subreach
// count outside 1 to 200.
MuskingumCungeStart StartAtFlow(const MuskingumCungeReach& reach,
                                const MuskingumCungeDiscretisation& discretisation,
                                double initialFlow, double firstInflow);

}  // namespace tovalin
