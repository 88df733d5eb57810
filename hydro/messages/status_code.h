// Status codes: one 32-bit integer that packs the reporting routine, the message number of
// the condition and its severity, as routineNumber * 512 + messageNumber * 8 + severity.
// Message numbers 1 to 10 are warnings (severity 2), 11 and up errors (severity 4).
#pragma once

#include <cstdint>
#include <string_view>

#include "hydro/messages/catalogue.h"
#include "hydro/messages/text_field.h"

namespace tovalin {

// Message number and text for working storage that cannot be obtained.
inline constexpr int kMessageNoStorage = message::kMuskingumNoStorage.number;
inline constexpr std::string_view kNoStorageText = message::kNoStorage;

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

// Name of a row of the routine-name table, "Unknown Subroutine" outside 1..35.
std::string_view RoutineNameOf(std::int32_t routineNumber) noexcept;

// Records the latest failure of a call: message number and severity, packed at the end.
struct Report {
  int messageNumber = 0;
  int severity = 0;

  void warning(int number) noexcept { messageNumber = number, severity = kSeverityWarning; }
  void error(int number) noexcept { messageNumber = number, severity = kSeverityError; }
  // Records a message of the catalogue, with its number and severity.
  void raise(const Message& m) noexcept { messageNumber = m.number, severity = m.severity; }
  bool failed() const noexcept { return messageNumber >= kFirstErrorMessage; }
  std::int32_t status(int routineNumber) const noexcept {
    return EncodeErrorCode(routineNumber, messageNumber, severity);
  }
};

}  // namespace tovalin
