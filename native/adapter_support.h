// Helpers shared by the adapters and the JNI entry points: an argument array and its count
// become a span of exactly max(count, 0) elements, so that a routine never indexes past what
// the caller declared; and the handling of an exception caught at the library's edge.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <span>
#include <string_view>

#include "hydro/messages/message_text.h"
#include "hydro/messages/status_code.h"
#include "hydro/messages/text_field.h"

namespace tovalin::adapters {

inline std::span<const double> In(const double* values, std::int32_t count) noexcept {
  return values ? std::span<const double>(values, static_cast<std::size_t>(std::max(count, 0)))
                : std::span<const double>();
}
inline std::span<double> Out(double* values, std::int32_t count) noexcept {
  return values ? std::span<double>(values, static_cast<std::size_t>(std::max(count, 0)))
                : std::span<double>();
}
// A text argument and its hidden length; a negative length is taken as 0.
inline TextField Text(char* characters, int length) noexcept {
  return TextField(characters, std::max(length, 0));
}

// Every value of an output becomes the undefined value.
inline void Undefine(std::span<double> values) noexcept {
  std::fill(values.begin(), values.end(), undefinedDbl());
}

// "Internal error: <edge>: <what the exception says>", cut to the buffer.
class InternalErrorText {
 public:
  // Describes the exception being handled; call it only inside a catch handler.
  explicit InternalErrorText(const char* edge) noexcept {
    try {
      throw;
    } catch (const std::exception& e) {
      write(edge, e.what());
    } catch (...) {
      write(edge, "an exception that is not a std::exception");
    }
  }
  const char* c_str() const noexcept { return text_.data(); }
  std::string_view view() const noexcept { return text_.data(); }

 private:
  static constexpr std::size_t kCapacity = 200;
  void write(const char* edge, const char* what) noexcept {
    std::snprintf(text_.data(), text_.size(), "Internal error: %s: %s", edge, what);
  }
  std::array<char, kCapacity> text_{};
};

// Runs call(), letting no exception out: when one arrives, undefine() sets every output to
// the undefined value, status becomes an error of the routine (message kMessageInternalError,
// severity 4) and message receives the InternalErrorText of the adapter.
template <class Call, class UndefineOutputs>
void Guarded(const char* adapter, int routineNumber, int* status, char* message,
             int messageLength, Call&& call, UndefineOutputs&& undefine) noexcept {
  try {
    call();
  } catch (...) {
    const InternalErrorText text(adapter);
    undefine();
    *status = EncodeErrorCode(routineNumber, kMessageInternalError, kSeverityError);
    Text(message, messageLength).assign(text.view());
  }
}

}  // namespace tovalin::adapters
