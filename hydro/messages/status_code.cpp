// Packing and unpacking of status codes; the routine-name table is in the catalogue.
#include "hydro/messages/status_code.h"

#include <array>
#include <cstdint>

namespace tovalin {
namespace {

constexpr int kMessageNumberLimit = 63;
constexpr int kSeverityLimit = 7;
constexpr std::uint32_t kRoutineFieldMask = 16383;  // bits 9-22
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
