// Message text: numbers written into messages in the forms of the Fortran edit descriptors
// the library's messages have always used, label-number-trailer texts, two-line texts, a line
// put in front of an existing message, and the undefined value that marks a missing real.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#include "hydro/messages/text_field.h"

namespace tovalin {

// The undefined value: single-precision -1.0E38 widened to double (bits C7D2CED320000000),
// about -9.999999680285692E37. Not the double nearest to -1.0E38.
constexpr double undefinedDbl() noexcept { return std::bit_cast<double>(0xC7D2CED320000000ULL); }
// True for the undefined value and for any value that is not a number (equal or unordered).
constexpr bool isUndefinedDbl(double value) noexcept {
  return value == undefinedDbl() || value != value;
}

// The text of a number as the messages write it, held in a 16-character work field.
class NumberText {
 public:
  std::string_view view() const noexcept { return {chars_.data(), length_}; }

 private:
  friend NumberText FormatDouble(double value) noexcept;
  friend NumberText FormatInteger(std::int32_t value) noexcept;
  std::array<char, 16> chars_{};
  std::size_t length_ = 0;
};

// A double rounded to ten significant digits picks its form by the decimal exponent d of its
// leading digit: d > 7 or d < -3 as (1PE11.4) ('1.2346E+08', '1.0000+100'); d = 7 as (F10.0);
// 3 <= d <= 6 as (F9.0) ('1234.'); -3 <= d <= 2 as (F9.n), n = 3 - d, trailing zeros removed
// ('2.', '.6', '-.05'). No zero before the point; a value too wide for its form is asterisks
// filling the width. 0 and -0 give '0.0'; NaN gives 'NaN' and infinities '(-)Infinity'.
NumberText FormatDouble(double value) noexcept;
// An integer in decimal, minus sign in front when negative.
NumberText FormatInteger(std::int32_t value) noexcept;

// text = label, one blank, the number, trailer; each part cut at the field's width, a part
// that finds no room left out. label (or trailer) may be the text field itself.
void AppendDoubleToString(std::string_view label, double value, std::string_view trailer,
                          TextField text) noexcept;
void AppendIntegerToString(std::string_view label, std::int32_t value, std::string_view trailer,
                           TextField text) noexcept;
// text = firstLine, a line feed, secondLine (its leading blanks kept); the line feed and the
// second line are left out where they find no room.
void AppendLineToString(std::string_view firstLine, std::string_view secondLine,
                        TextField text) noexcept;
// text = newLine without its trailing blanks, a line feed, oldMessage without its leading and
// trailing blanks, blanks to the end. oldMessage may be the text field itself. When the three
// do not fit, the line feed and then the old message are cut at the field's end.
void PrependLineToMessage(std::string_view newLine, std::string_view oldMessage,
                          TextField text) noexcept;

}  // namespace tovalin
