// Packing and unpacking of status codes, with the routine-name table.
#include "hydro/messages/status_code.h"

#include <array>
#include <cstdint>

namespace tovalin {
namespace {

constexpr int kMessageNumberLimit = 63;
constexpr int kSeverityLimit = 7;
constexpr std::uint32_t kRoutineFieldMask = 16383;  // bits 9-22
constexpr std::string_view kUnknownRoutine = "Unknown Subroutine";

// The routine-name table, rows 1 to 35; each name is blank-padded to 32 characters when
// decoded. Rows 1-13, 19, 23 and 26-35 name routines that live elsewhere.
constexpr std::array<std::string_view, 35> kRoutineNames = {
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
constexpr int kRoutineNameWidth = 32;

}  // namespace

std::int32_t EncodeErrorCode(std::int32_t routineNumber, std::int32_t messageNumber,
                             std::int32_t severity) noexcept {
  if (messageNumber == 0) return 0;
  const std::int32_t m =
      (messageNumber < 0 || messageNumber > kMessageNumberLimit) ? kMessageNumberLimit : messageNumber;
  const std::int32_t s = (severity < 0 || severity > kSeverityLimit) ? kSeverityLimit : severity;
  // ((routine * 64) + m) * 8 + s, wrapping like 32-bit integer arithmetic.
  const std::uint32_t packed =
      ((static_cast<std::uint32_t>(routineNumber) * 64U) + static_cast<std::uint32_t>(m)) * 8U +
      static_cast<std::uint32_t>(s);
  return static_cast<std::int32_t>(packed);
}

std::string_view RoutineNameOf(std::int32_t routineNumber) noexcept {
  if (routineNumber >= 1 && routineNumber <= static_cast<std::int32_t>(kRoutineNames.size()))
    return kRoutineNames[static_cast<std::size_t>(routineNumber - 1)];
  return kUnknownRoutine;
}

void DecodeErrorCode(std::int32_t status, TextField routineName, std::int32_t& messageNumber,
                     std::int32_t& severity) noexcept {
  const auto u = static_cast<std::uint32_t>(status);
  severity = static_cast<std::int32_t>(u % 8U);
  messageNumber = static_cast<std::int32_t>((u >> 3) % 64U);
  const std::uint32_t r = (u >> 9) & kRoutineFieldMask;
  if (r >= 1 && r <= kRoutineNames.size()) {
    // All 32 characters of the row: the name, then blanks.
    FixedText<kRoutineNameWidth> row(kRoutineNames[r - 1]);
    routineName.assign(row.view());
  } else {
    routineName.assign(kUnknownRoutine);
  }
}

}  // namespace tovalin
