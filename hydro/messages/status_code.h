// Status codes: one 32-bit integer that packs the reporting routine, the message number of
// the condition and its severity, as routineNumber * 512 + messageNumber * 8 + severity.
// Message numbers 1 to 10 are warnings (severity 2), 11 and up errors (severity 4).
#pragma once

#include <cstdint>
#include <string_view>

#include "hydro/messages/text_field.h"

namespace tovalin {

inline constexpr int kSeverityWarning = 2;
inline constexpr int kSeverityError = 4;
// The first message number that is an error rather than a warning.
inline constexpr int kFirstErrorMessage = 11;
// Message number and text for working storage that cannot be obtained.
inline constexpr int kMessageNoStorage = 11;
inline constexpr std::string_view kNoStorageText = "Cannot allocate memory for dynamic arrays";
// Message number of an exception caught at the library's edge, an internal error: the largest
// number a status holds, reported by no routine for a condition of its own.
inline constexpr int kMessageInternalError = 63;

// Rows of the routine-name table used by this library's own routines.
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

// Packs a status. Message number 0 gives 0 whatever the severity; a message number outside
// 0..63 becomes 63 and a severity outside 0..7 becomes 7. The routine number is not limited
// (the product wraps like 32-bit integer arithmetic).
std::int32_t EncodeErrorCode(std::int32_t routineNumber, std::int32_t messageNumber,
                             std::int32_t severity) noexcept;

// Unpacks a status: severity (bits 0-2), message number (bits 3-8) and the name of the
// routine in bits 9-22, assigned to routineName (cut or blank-padded to its width);
// "Unknown Subroutine" for a routine number outside 1..35.
void DecodeErrorCode(std::int32_t status, TextField routineName, std::int32_t& messageNumber,
                     std::int32_t& severity) noexcept;

// Records the latest failure of a call: message number and severity, packed at the end.
struct Report {
  int messageNumber = 0;
  int severity = 0;

  void warning(int number) noexcept { messageNumber = number, severity = kSeverityWarning; }
  void error(int number) noexcept { messageNumber = number, severity = kSeverityError; }
  bool failed() const noexcept { return messageNumber >= kFirstErrorMessage; }
  std::int32_t status(int routineNumber) const noexcept {
    return EncodeErrorCode(routineNumber, messageNumber, severity);
  }
};

}  // namespace tovalin
