// Helpers shared by the adapters: an argument array and its count become a span of exactly
// max(count, 0) elements, so that a routine never indexes past what the caller declared.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

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

}  // namespace tovalin::adapters
