// Message text: number forms, label-number-trailer texts, two-line texts and prepended lines.
#include "hydro/messages/message_text.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hydro/messages/string_utils.h"

namespace tovalin {
namespace {

// Significant digits of the (E16.10) edit descriptor that finds the leading digit's power.
constexpr int kLeadingDigitPrecision = 10;
// Digits after the point of the exponent form (1PE11.4), and the exponent's largest
// magnitude written with the letter E (three-digit exponents drop it).
constexpr int kExponentFormDigits = 4;
constexpr int kTwoDigitExponentLimit = 99;
// Widths of the fixed forms: (F10.0) for d = 7, (F9.n) otherwise.
constexpr int kWideFixedWidth = 10;
constexpr int kFixedWidth = 9;
// Decimal exponents d that select each form.
constexpr int kLargestFixedExponent = 7;
constexpr int kLargestWholeExponent = 6;
constexpr int kSmallestWholeExponent = 3;
constexpr int kSmallestFixedExponent = -3;
// (F9.n) keeps n = kFractionBase - d digits after the point.
constexpr int kFractionBase = 3;

// Power of ten of the leading digit of value rounded to ten significant digits.
int LeadingDigitExponent(double value) noexcept {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*e", kLeadingDigitPrecision - 1, value);
  const char* e = std::strchr(buffer, 'e');
  return e ? std::atoi(e + 1) : 0;
}

}  // namespace

NumberText FormatDouble(double value) noexcept {
  NumberText result;
  auto set = [&result](std::string_view text) {
    const std::size_t n = std::min(text.size(), result.chars_.size());
    std::memcpy(result.chars_.data(), text.data(), n);
    result.length_ = n;
  };
  if (value == 0.0) {
    set("0.0");
    return result;
  }
  if (std::isnan(value)) {
    set("NaN");
    return result;
  }
  if (std::isinf(value)) {
    set(value > 0 ? "Infinity" : "-Infinity");
    return result;
  }

  const int d = LeadingDigitExponent(value);
  char buffer[400];
  if (d > kLargestFixedExponent || d < kSmallestFixedExponent) {
    // (1PE11.4): one digit before the point, four after, exponent as E+dd or +ddd.
    std::snprintf(buffer, sizeof buffer, "%.*e", kExponentFormDigits, value);
    char* e = std::strchr(buffer, 'e');
    const int exponent = std::atoi(e + 1);
    const unsigned magnitude = static_cast<unsigned>(std::abs(exponent)) % 1000U;
    const char sign = exponent < 0 ? '-' : '+';
    std::size_t at = static_cast<std::size_t>(e - buffer);
    if (magnitude <= kTwoDigitExponentLimit) buffer[at++] = 'E';
    buffer[at++] = sign;
    if (magnitude > kTwoDigitExponentLimit) buffer[at++] = static_cast<char>('0' + magnitude / 100);
    buffer[at++] = static_cast<char>('0' + magnitude / 10 % 10);
    buffer[at++] = static_cast<char>('0' + magnitude % 10);
    buffer[at] = '\0';
    set(buffer);
    return result;
  }

  int width = kFixedWidth;
  int fraction = 0;
  if (d == kLargestFixedExponent) {
    width = kWideFixedWidth;  // (F10.0)
  } else if (d < kSmallestWholeExponent) {
    fraction = kFractionBase - d;  // (F9.1) .. (F9.6)
  }
  static_assert(kLargestWholeExponent + 1 == kLargestFixedExponent);
  std::snprintf(buffer, sizeof buffer, "%.*f", fraction, value);
  std::string_view text = buffer;
  char fixed[32];
  std::size_t length = 0;
  // No zero before the point: '0.6' is written '.6', '-0.05' as '-.05'.
  for (std::size_t i = 0; i < text.size() && length < sizeof fixed - 1; ++i) {
    const bool optionalZero = text[i] == '0' && i + 1 < text.size() && text[i + 1] == '.' &&
                              (i == 0 || (i == 1 && text[0] == '-'));
    if (!optionalZero) fixed[length++] = text[i];
  }
  if (fraction == 0) fixed[length++] = '.';
  if (length > static_cast<std::size_t>(width)) {
    // The value needs more characters than the form's width: asterisks fill the width.
    std::memset(fixed, '*', static_cast<std::size_t>(width));
    length = static_cast<std::size_t>(width);
  } else if (fraction > 0) {
    while (length > 0 && fixed[length - 1] == '0') --length;
  }
  set({fixed, length});
  return result;
}

NumberText FormatInteger(std::int32_t value) noexcept {
  NumberText result;
  const int n = std::snprintf(result.chars_.data(), result.chars_.size(), "%d", value);
  result.length_ = n > 0 ? static_cast<std::size_t>(n) : 0;
  return result;
}

namespace {

// label, one blank, number, trailer: each part cut at the field's width.
void AppendNumber(std::string_view label, std::string_view number, std::string_view trailer,
                  TextField text) noexcept {
  const int width = text.width();
  text.assign(label);
  int p = text.lastNonBlank();
  if (p + 1 < width) text.assign(p + 2, width, number);
  p = text.lastNonBlank();
  if (p < width) text.assign(p + 1, width, trailer);
}

}  // namespace

void AppendDoubleToString(std::string_view label, double value, std::string_view trailer,
                          TextField text) noexcept {
  const NumberText number = FormatDouble(value);
  AppendNumber(label, number.view(), trailer, text);
}

void AppendIntegerToString(std::string_view label, std::int32_t value, std::string_view trailer,
                           TextField text) noexcept {
  const NumberText number = FormatInteger(value);
  AppendNumber(label, number.view(), trailer, text);
}

void AppendLineToString(std::string_view firstLine, std::string_view secondLine,
                        TextField text) noexcept {
  const int width = text.width();
  text.assign(firstLine);
  const int p = text.lastNonBlank();
  if (p < width) {
    text.put(p + 1, kLineFeed);
    if (p + 1 < width) text.assign(p + 2, width, secondLine);
  }
}

void PrependLineToMessage(std::string_view newLine, std::string_view oldMessage,
                          TextField text) noexcept {
  const long width = text.width();
  int oldLast = 0;
  CHRLNB(oldMessage, oldLast);
  int oldFirst = 0;
  int oldLength = 0;
  LFLNB(oldMessage, 1, oldLast, oldFirst, oldLength);
  int newLast = 0;
  CHRLNB(newLine, newLast);
  const long spanStart = static_cast<long>(newLast) + 2;
  // The old message moves first: it may be the field itself, and the new line overwrites
  // its head.
  if (oldLength > 0)
    text.assign(spanStart, spanStart + oldLength - 1,
                oldMessage.substr(static_cast<std::size_t>(oldFirst - 1), static_cast<std::size_t>(oldLength)));
  text.assign(1, newLast, newLine.substr(0, static_cast<std::size_t>(newLast)));
  text.put(newLast + 1, kLineFeed);
  text.assign(spanStart + oldLength, width, {});
}

}  // namespace tovalin
