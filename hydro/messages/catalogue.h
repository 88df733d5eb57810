// The message catalogue: every routine's row in the routine-name table and every message the
// library writes (routine number, message number, severity and text), defined once and read
// by the status codes, the routines and the C++ API. The table is checked when it compiles:
// warnings are numbers 1 to 10 with severity 2, errors 11 to 63 with severity 4, every
// routine has a row, and no routine has a text twice.
#pragma once

#include <array>
#include <string_view>

namespace tovalin {

inline constexpr int kSeverityWarning = 2;
inline constexpr int kSeverityError = 4;
// The first message number that is an error rather than a warning.
inline constexpr int kFirstErrorMessage = 11;
// Message number of an exception caught at the library's edge, an internal error: the largest
// number a status holds, reported by no routine for a condition of its own. Its text,
// "Internal error: <edge>: <what the exception says>", is written at the edge.
inline constexpr int kMessageInternalError = 63;

// The routine-name table, rows 1 to 35 (blank-padded to 32 characters when decoded). Rows
// 1-13, 19, 23 and 26-35 name routines that live elsewhere.
inline constexpr int kRoutineNameWidth = 32;
inline constexpr std::array<std::string_view, 35> kRoutineNames = {
    "FreqBasedHypStorm",     "FreqBasedHypStorm1",        "StandardProjectStorm",
    "ImperviousAreaExcess",  "LossGreenAmpt",             "LossInitialConstant",
    "LossSCSCurveNumber",    "UnitgraphClark",            "UnitgraphSnyder",
    "UnitgraphSCS",          "UnitgraphSize",             "SnyderParameters",
    "SynTimeAccumBasinArea", "RouteMuskingum",            "RouteMuskingumCunge8Point",
    "RouteMuskingumCungePrism", "RoutePulsChannel",       "RoutePulsChannelWithLoss",
    "RoutePulsReservoir",    "ChannelDepth8Point",        "ChannelDepthCircle",
    "ChannelDepthPrism",     "ChannelFlow8Point",         "Conveyance8Point",
    "InterpolateLinear",     "InterpolateLinearExtrap",   "InterpolateLogLog",
    "IrregularToRegular",    "LeastSquareLine",           "LeastSquareParabola",
    "MatrixDecomp",          "ReservoirCapacity",         "StorageOutflow8Point",
    "KWaveRunoffTransform",  "HydrographDepth"};
inline constexpr std::string_view kUnknownRoutine = "Unknown Subroutine";

// Rows of the routine-name table that this library's own routines pack.
namespace routine {
inline constexpr int kRouteMuskingum = 14;
inline constexpr int kRouteMuskingumCunge8Point = 15;
inline constexpr int kRouteMuskingumCungePrism = 16;
inline constexpr int kRoutePulsChannel = 17;
inline constexpr int kRoutePulsChannelWithLoss = 18;
// The depth routines pack numbers whose rows bear other names; decoding yields the row's name.
inline constexpr int kChannelDepthPrism = 21;
inline constexpr int kChannelDepthCircle = 22;
inline constexpr int kChannelDepth8Point = 23;
inline constexpr int kConveyance8Point = 24;
inline constexpr int kInterpolateLinear = 25;
}  // namespace routine

// One message: the routine that writes it, its number and severity, and its text (for a
// message that names values, the label in front of the first value; `detail` is the phrase
// after it where the phrase tells messages of one label apart).
struct Message {
  int routine;
  int number;
  int severity;
  std::string_view text;
  std::string_view detail = {};
};

namespace message {

constexpr Message Warning(int routine, int number, std::string_view text) {
  return {routine, number, kSeverityWarning, text};
}
constexpr Message Error(int routine, int number, std::string_view text,
                        std::string_view detail = {}) {
  return {routine, number, kSeverityError, text, detail};
}

using namespace routine;

inline constexpr std::string_view kNoStorage = "Cannot allocate memory for dynamic arrays";
inline constexpr std::string_view kLateral =
    "Lateral inflow is not taken by this method: add it to the inflows.";
inline constexpr std::string_view kStepState =
    "The state does not continue this call: one outflow per step and the first inflow equal "
    "to its last inflow are needed.";

// Muskingum (RouteMuskingum).
inline constexpr Message kMuskingumUnstable =
    Warning(kRouteMuskingum, 1, "Muskingum routing is unstable with the given parameters.");
inline constexpr Message kMuskingumNoStorage = Error(kRouteMuskingum, 11, kNoStorage);
inline constexpr Message kMuskingumInvalid =
    Error(kRouteMuskingum, 12, "Invalid Muskingum parameters: K = ", ", x = ");
inline constexpr Message kMuskingumLateral = Error(kRouteMuskingum, 15, kLateral);
inline constexpr Message kMuskingumState = Error(kRouteMuskingum, 16, kStepState);

// Muskingum-Cunge, written alike under routine 15 (eight-point) and 16 (trapezoid, conduit);
// the entries name 15 and the table lists both.
inline constexpr Message kCungeNoConvergence = Warning(
    kRouteMuskingumCunge8Point, 1,
    "Muskingum-Cunge routing solution failed to converge for one or more periods.");
inline constexpr Message kCungeNoStorage = Error(kRouteMuskingumCunge8Point, 11, kNoStorage);
inline constexpr Message kCungeInvalid = Error(
    kRouteMuskingumCunge8Point, 12, "Invalid Muskingum-Cunge parameters: interval =", ", length =");
// A start state built without a hydrograph names the reach's length and slope only.
inline constexpr Message kCungeInvalidReach = Error(
    kRouteMuskingumCunge8Point, 12, "Invalid Muskingum-Cunge parameters: length =", ", slope =");
inline constexpr Message kCungeInterval =
    Error(kRouteMuskingumCunge8Point, 12, "Invalid Muskingum-Cunge computation interval:");
inline constexpr Message kCungeStationNotFinite =
    Error(kRouteMuskingumCunge8Point, 12, "Cross-section station is not finite:");
inline constexpr Message kCungeElevationNotFinite =
    Error(kRouteMuskingumCunge8Point, 12, "Cross-section elevation is not finite:");
inline constexpr Message kCungeState = Error(
    kRouteMuskingumCunge8Point, 16,
    "The state does not continue this call: its interval must divide the hydrograph's, its "
    "nodes match its subreaches and its last inflow equal the first inflow.");

// Modified Puls (RoutePulsChannel), and with loss (RoutePulsChannelWithLoss).
inline constexpr Message kPulsNoStorage =
    Error(kRoutePulsChannel, 11, "Cannot allocate memory for dynamic arrays.");
inline constexpr Message kPulsStorageLookup =
    Error(kRoutePulsChannel, 12, "Error in Storage-Outflow interpolation.");
inline constexpr Message kPulsOutflowElevation =
    Error(kRoutePulsChannelWithLoss, 13, "Error in Outflow-Elevation interpolation.");
inline constexpr Message kPulsStorageElevation =
    Error(kRoutePulsChannelWithLoss, 13, "Error in Storage-Elevation interpolation.");
inline constexpr Message kPulsInvalid = Error(
    kRoutePulsChannel, 14, "Invalid Modified Puls parameters: interval =", " minutes, number of steps =");
inline constexpr Message kPulsLateral = Error(kRoutePulsChannel, 15, kLateral);
inline constexpr Message kPulsState = Error(kRoutePulsChannel, 16, kStepState);

// Normal depth in a trapezoid (packs 21) and a conduit (22), with the checks of their data.
inline constexpr std::string_view kDepthNoConvergence =
    "Interative solution for channel depth failed to converge";
inline constexpr Message kPrismNoConvergence = Warning(kChannelDepthPrism, 1, kDepthNoConvergence);
inline constexpr Message kPrismManningN =
    Error(kChannelDepthPrism, 11, "Manning's n is zero or negative:");
inline constexpr Message kPrismManningNNotFinite =
    Error(kChannelDepthPrism, 11, "Manning's n is not finite:");
inline constexpr Message kPrismSideSlope =
    Error(kChannelDepthPrism, 12, "Channel side slope is negative:");
inline constexpr Message kPrismSideSlopeNotFinite =
    Error(kChannelDepthPrism, 12, "Channel side slope is not finite:");
inline constexpr Message kPrismChannelSlope =
    Error(kChannelDepthPrism, 13, "Channel slope is zero or negative:");
inline constexpr Message kPrismChannelSlopeNotFinite =
    Error(kChannelDepthPrism, 13, "Channel slope is not finite:");
inline constexpr Message kPrismBottomWidth =
    Error(kChannelDepthPrism, 14, "Channel bottom width is invalid:");
inline constexpr Message kCircleNoConvergence =
    Warning(kChannelDepthCircle, 1, kDepthNoConvergence);
inline constexpr Message kCircleAreaLimit =
    Warning(kChannelDepthCircle, 2, "Flow area is greater than 0.65 * diameter-squared.");
inline constexpr Message kCircleAreaLimitSecondLine =
    Warning(kChannelDepthCircle, 2, "Depth and top width are assumed to be constant.");
inline constexpr Message kCircleDiameter =
    Error(kChannelDepthCircle, 14, "Conduit diameter is zero or negative:");

// Normal depth in an eight-point section (packs 23) and its conveyance (24).
inline constexpr Message k8PointNoConvergence =
    Warning(kChannelDepth8Point, 1, kDepthNoConvergence);
inline constexpr Message k8PointManningN =
    Error(kChannelDepth8Point, 11, "Manning's n is zero or negative:");
inline constexpr Message k8PointManningNNotFinite =
    Error(kChannelDepth8Point, 11, "Manning's n is not finite:");
inline constexpr Message k8PointChannelSlope =
    Error(kChannelDepth8Point, 13, "Channel slope is zero or negative:");
inline constexpr Message k8PointChannelSlopeNotFinite =
    Error(kChannelDepth8Point, 13, "Channel slope is not finite:");
inline constexpr Message kConveyanceManningN =
    Error(kConveyance8Point, 11, "Manning's n is zero or negative:");
inline constexpr Message kConveyanceStationOrder =
    Error(kConveyance8Point, 12, "Cross-section stations are out of order:", ", ");

// Table lookup (InterpolateLinear).
inline constexpr std::string_view kLookupLabel = "Independent variable,";
inline constexpr Message kLookupBelow =
    Error(kInterpolateLinear, 11, kLookupLabel, ", is below minimum table value,");
inline constexpr Message kLookupAbove =
    Error(kInterpolateLinear, 12, kLookupLabel, ", is above maximum table value,");
inline constexpr Message kLookupTwoValues =
    Error(kInterpolateLinear, 13, kLookupLabel, ", has two dependent values:");
inline constexpr Message kLookupNoValue =
    Error(kInterpolateLinear, 14, "No independent variable for interpolation");
inline constexpr Message kLookupTooFewPairs =
    Error(kInterpolateLinear, 15, "Not enough x-y pairs for interpolation");

// The same message written under another routine number.
constexpr Message Under(int routine, Message m) { return {routine, m.number, m.severity, m.text, m.detail}; }

}  // namespace message

// The catalogue: every message the library writes.
inline constexpr std::array kMessages = {
    message::kMuskingumUnstable, message::kMuskingumNoStorage, message::kMuskingumInvalid,
    message::kMuskingumLateral, message::kMuskingumState,
    message::kCungeNoConvergence, message::kCungeNoStorage, message::kCungeInvalid,
    message::kCungeInvalidReach, message::kCungeInterval, message::kCungeStationNotFinite,
    message::kCungeElevationNotFinite,
    message::kCungeState,
    message::Under(routine::kRouteMuskingumCungePrism, message::kCungeNoConvergence),
    message::Under(routine::kRouteMuskingumCungePrism, message::kCungeNoStorage),
    message::Under(routine::kRouteMuskingumCungePrism, message::kCungeInvalid),
    message::Under(routine::kRouteMuskingumCungePrism, message::kCungeInvalidReach),
    message::Under(routine::kRouteMuskingumCungePrism, message::kCungeInterval),
    message::Under(routine::kRouteMuskingumCungePrism, message::kCungeState),
    message::kPulsNoStorage, message::kPulsStorageLookup, message::kPulsInvalid,
    message::kPulsLateral, message::kPulsState,
    message::Under(routine::kRoutePulsChannelWithLoss, message::kPulsNoStorage),
    message::Under(routine::kRoutePulsChannelWithLoss, message::kPulsStorageLookup),
    message::kPulsOutflowElevation, message::kPulsStorageElevation,
    message::Under(routine::kRoutePulsChannel, message::kPulsOutflowElevation),
    message::Under(routine::kRoutePulsChannel, message::kPulsStorageElevation),
    message::Under(routine::kRoutePulsChannelWithLoss, message::kPulsInvalid),
    message::Under(routine::kRoutePulsChannelWithLoss, message::kPulsLateral),
    message::Under(routine::kRoutePulsChannelWithLoss, message::kPulsState),
    message::kPrismNoConvergence, message::kPrismManningN, message::kPrismManningNNotFinite,
    message::kPrismSideSlope, message::kPrismSideSlopeNotFinite, message::kPrismChannelSlope,
    message::kPrismChannelSlopeNotFinite, message::kPrismBottomWidth,
    message::kCircleNoConvergence, message::kCircleAreaLimit,
    message::kCircleAreaLimitSecondLine, message::kCircleDiameter,
    message::Under(routine::kChannelDepthCircle, message::kPrismManningN),
    message::Under(routine::kChannelDepthCircle, message::kPrismManningNNotFinite),
    message::Under(routine::kChannelDepthCircle, message::kPrismChannelSlope),
    message::Under(routine::kChannelDepthCircle, message::kPrismChannelSlopeNotFinite),
    message::k8PointNoConvergence, message::k8PointManningN, message::k8PointManningNNotFinite,
    message::k8PointChannelSlope, message::k8PointChannelSlopeNotFinite,
    message::kConveyanceManningN, message::kConveyanceStationOrder,
    message::kLookupBelow, message::kLookupAbove, message::kLookupTwoValues,
    message::kLookupNoValue, message::kLookupTooFewPairs,
};

// The checks of the catalogue, made when it compiles.
consteval bool CatalogueIsSound() {
  for (std::size_t i = 0; i < kMessages.size(); ++i) {
    const Message& m = kMessages[i];
    if (m.routine < 1 || m.routine > static_cast<int>(kRoutineNames.size())) return false;
    if (m.number < 1 || m.number >= kMessageInternalError || m.text.empty()) return false;
    const int severity = m.number < kFirstErrorMessage ? kSeverityWarning : kSeverityError;
    if (m.severity != severity) return false;
    for (std::size_t j = i + 1; j < kMessages.size(); ++j) {
      const Message& o = kMessages[j];
      if (o.routine == m.routine && o.text == m.text && o.detail == m.detail) return false;
    }
  }
  return true;
}
static_assert(CatalogueIsSound(), "the message catalogue breaks its rules");

// The entry of a routine's message number with the given text, or nullptr.
constexpr const Message* FindMessage(int routine, int number, std::string_view text) {
  for (const Message& m : kMessages)
    if (m.routine == routine && m.number == number && m.text == text) return &m;
  return nullptr;
}

}  // namespace tovalin
