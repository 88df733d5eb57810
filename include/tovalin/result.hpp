// tovalin C++ API: what a routing call returns. The outflows, the status as three named
// fields, the message text, the volume account, the method's diagnostics and the state that
// carries the run on. Arrays and text are views into the workspace of the call (or into the
// caller's storage named in RouteOptions), valid until that workspace's next call.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "tovalin/state.hpp"

namespace tovalin {

// The undefined value that marks a missing real value: single-precision -1.0E38 widened to
// double (bits C7D2CED320000000). A NaN is treated the same way wherever a value is tested.
inline constexpr double kUndefined = -99999996802856924650656260769173209088.0;

// True for kUndefined and for any value that is not a number: the test the routines apply.
constexpr bool IsUndefined(double value) noexcept { return value == kUndefined || value != value; }

enum class Severity : std::int32_t { kNone = 0, kWarning = 2, kError = 4 };

// The outcome of a call: the reporting routine (a row of the routine-name table, see
// RoutineName), the message number (0 none, 1-10 warnings, 11 and up errors) and severity.
struct Status {
  std::int32_t routine = 0;
  std::int32_t messageNumber = 0;
  Severity severity = Severity::kNone;

  bool ok() const noexcept { return messageNumber == 0; }
  bool warning() const noexcept { return messageNumber > 0 && messageNumber < 11; }
  bool error() const noexcept { return messageNumber >= 11; }
  // The packed 32-bit status code: (routine * 64 + messageNumber) * 8 + severity, 0 when ok.
  std::int32_t code() const noexcept;
};

// Name of a row of the routine-name table ("Unknown Subroutine" outside 1..35).
std::string_view RoutineName(std::int32_t routine) noexcept;

// Volume account of a call, m3 when flows are m3/s (flow unit x seconds otherwise). A figure
// that cannot be known is the undefined value kUndefined, never 0 in its place.
//   inflow, outflow  volumes over the call, trapezoidal in time over the ordinates
//                    (Muskingum-Cunge: over its computation steps); an interval with an
//                    undefined end adds nothing
//   storageStart     storage in the reach at the first ordinate from the method's own relation,
//   storageEnd       and at the last; undefined when a flow, storage indicator or area it needs
//                    is undefined
//   loss             the channel loss (Puls with loss); 0 for the methods without one
//   balanceError     inflow - outflow - (storageEnd - storageStart) - loss, m3; undefined when
//                    any of them is undefined or the difference is not finite
//   relativeError    balanceError / (inflow + storageStart); undefined when balanceError is or
//                    when that sum is below kSmallestRelativeBase (a dry reach reports its m3
//                    only)
// A call that routes nothing (refused, a state that does not fit, no storage) leaves every
// figure undefined.
struct VolumeAccount {
  double inflow = kUndefined;
  double outflow = kUndefined;
  double storageStart = kUndefined;
  double storageEnd = kUndefined;
  double loss = kUndefined;
  double balanceError = kUndefined;
  double relativeError = kUndefined;
};

// The smallest inflow + storageStart (m3, or flow unit x seconds) a relative error is taken
// against.
inline constexpr double kSmallestRelativeBase = 1.0;

// The running sums of one run's volume account, carried from call to call when the run is
// routed in pieces: each call continues the state of the one before, its hydrograph starting
// at the previous call's last ordinate. Given to every call of the run
// (RouteOptions::runningAccount), starting as constructed, it makes each call's `volume` the
// account of the run so far: the storage at the run's first ordinate, the storage at this
// call's last, and volumes summed over the run's intervals in the order of its ordinates, so
// that after the last call it is the account one call over the whole run gives, to the bit,
// however the run was split. Muskingum, Puls and the Muskingum-Cunge continuation take it (a
// one-call Muskingum-Cunge run ignores it); a call that routes nothing leaves it as it was.
struct RunningAccount {
  bool started = false;              // a call has added to it
  double storageStart = kUndefined;  // at the run's first ordinate
  // The trapezoid's sums so far, in flow units (times the interval: the volumes). Muskingum and
  // Puls over the ordinates; Muskingum-Cunge over its computation steps, without the last
  // step, which the next call begins with.
  double inflowSum = 0.0;
  double outflowSum = 0.0;
  // Muskingum-Cunge: whether the total inflow and the outflow of the step before the last were
  // defined.
  bool inflowBeforeLastDefined = false;
  bool outflowBeforeLastDefined = false;
  // Puls with loss: each step's sum of its loss flows so far.
  std::vector<double> stepLossSums;
};

struct RoutingResult {
  std::span<const double> outflows;  // one per ordinate of the hydrograph
  Status status;
  std::string_view text;  // the message without trailing blanks; empty when nothing reported
  VolumeAccount volume;
  // With RouteOptions::depthAndVelocity, one value per ordinate (empty otherwise), kUndefined
  // where the method has none or a flow is undefined:
  //   depth     m. Muskingum-Cunge: the normal depth of the outflow at the reach's downstream
  //             end (above the section's lowest point). Puls: the water level of the last
  //             step, looked up from its storage indicator in the elevation column, above the
  //             column's first elevation (undefined without the column). Muskingum: none.
  //   velocity  m/s: the outflow over its flow area there (Muskingum-Cunge only; undefined
  //             where the area is 0).
  // A one-call Muskingum-Cunge run brings them from its computation steps onto the ordinates
  // as it brings its outflows.
  std::span<const double> depth;
  std::span<const double> velocity;
};

struct MuskingumResult : RoutingResult {
  StepStateView state;  // carries the run on (see state.hpp)
};

struct PulsDiagnostics {
  std::int64_t ordinatesOutsideTable = 0;  // ordinates (over all steps) whose lookup failed
  std::int32_t firstOutsideOrdinate = -1;  // 0-based ordinate of the first of them, -1 none
  std::int32_t firstOutsideStep = -1;      // 0-based step where it happened, -1 none
  std::int64_t failedInterpolations = 0;   // every failed table lookup, elevation included
};

struct PulsResult : RoutingResult {
  StepStateView state;
  PulsDiagnostics diagnostics;
};

// Figures of a Muskingum-Cunge run. The Courant number Cr = ck dt/dx and the cell Reynolds
// number Re = Q/(S T ck dx) range over the depth computations actually made in the sweep
// (reference flows at or below 0.01 m3/s take Cr = Re = 1 without one and are left out);
// NaN when none was made.
struct MuskingumCungeDiagnostics {
  double computationInterval = 0.0;  // dt, s
  double subreachLength = 0.0;       // dx, m
  std::int32_t subreachCount = 0;    // NSUB
  std::int32_t computationSteps = 0;  // NCOMP, the initial state included
  double courantMin = 0.0, courantMax = 0.0;
  double reynoldsMin = 0.0, reynoldsMax = 0.0;
  std::int64_t depthComputations = 0;     // in the sweep, the end storage left out
  std::int32_t passesMax = 0;             // passes of one subreach-step
  double passesMean = 0.0;                // over the subreach-steps routed
  std::int64_t subreachSteps = 0;         // subreach-steps routed (undefined ones left out)
  std::int64_t nonConverged = 0;          // subreach-steps that did not settle in 20 passes
  std::int64_t failedDepthSearches = 0;   // depth computations that reported an error
  std::int64_t clampedOutflows = 0;       // subreach outflows raised to 0
  double peakOutflow = 0.0;               // m3/s, largest outflow of steps 2 to NCOMP
  double peakTimeMinutes = 0.0;           // its time; valid when peakFound
  bool peakFound = false;
  double maxCelerity = 0.0;               // m/s
  // Which results the call produced: on an allocation failure (message 11) only those chosen
  // or computed before it are; the rest are 0 here (and left as passed by the adapters).
  bool intervalWritten = false;        // computationInterval
  bool subreachLengthWritten = false;  // subreachLength
  bool initialStorageWritten = false;  // volume.storageStart
  bool routed = false;                 // peak, celerity and finalFlows
};

struct MuskingumCungeResult : RoutingResult {
  MuskingumCungeDiagnostics diagnostics;
  // One-call run: the flows at the profile's M points at the end; empty for a continuation.
  std::span<const double> finalFlows;
  // Continuation: the state that carries the run on; empty spans for a one-call run.
  MuskingumCungeStateView state;
};

}  // namespace tovalin
