// Number text, label-number-trailer texts, two-line texts, prepended lines and the
// undefined value.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "hydro/messages/message_text.h"

namespace tovalin {
namespace {

std::string Number(double value) { return std::string(FormatDouble(value).view()); }

std::string Padded(const std::string& text, std::size_t width) {
  return text + std::string(width - text.size(), ' ');
}

TEST(NumberText, FormsChosenByTheLeadingDigit) {
  EXPECT_EQ(Number(0.0), "0.0");
  EXPECT_EQ(Number(-0.0), "0.0");
  EXPECT_EQ(Number(2.0), "2.");
  EXPECT_EQ(Number(2.5), "2.5");
  EXPECT_EQ(Number(123.456), "123.5");
  EXPECT_EQ(Number(1234.4), "1234.");
  EXPECT_EQ(Number(12345678.9), "12345679.");
  EXPECT_EQ(Number(123456789.0), "1.2346E+08");
  EXPECT_EQ(Number(0.000123), "1.2300E-04");
  EXPECT_EQ(Number(1.0e10), "1.0000E+10");
  EXPECT_EQ(Number(undefinedDbl()), "-1.0000E+38");
  EXPECT_EQ(Number(999.96), "1000.");
  EXPECT_EQ(Number(1.0e100), "1.0000+100");
  EXPECT_EQ(Number(-2.5e-150), "-2.5000-150");
}

TEST(NumberText, NoZeroBeforeThePoint) {
  EXPECT_EQ(Number(0.6), ".6");
  EXPECT_EQ(Number(-0.05), "-.05");
  EXPECT_EQ(Number(0.00123), ".00123");
  EXPECT_EQ(Number(0.001), ".001");
  EXPECT_EQ(Number(0.000999), "9.9900E-04");
}

TEST(NumberText, OverflowFillsTheWidthWithAsterisks) {
  // d = 6 but (F9.0) needs ten characters for -10000000.
  EXPECT_EQ(Number(-9999999.7), "*********");
  EXPECT_EQ(Number(-99999999.7), "**********");
  EXPECT_EQ(Number(9999999.7), "10000000.");
}

TEST(NumberText, TiesRoundToEven) {
  EXPECT_EQ(Number(1234.5), "1234.");
  EXPECT_EQ(Number(1235.5), "1236.");
  EXPECT_EQ(Number(0.125), ".125");
  EXPECT_EQ(Number(2.0625), "2.062");
}

TEST(NumberText, InfinitiesAndNaNAreReadable) {
  EXPECT_EQ(Number(std::numeric_limits<double>::infinity()), "Infinity");
  EXPECT_EQ(Number(-std::numeric_limits<double>::infinity()), "-Infinity");
  EXPECT_EQ(Number(std::nan("")), "NaN");
  EXPECT_EQ(Number(std::numeric_limits<double>::denorm_min()), "4.9407-324");
  EXPECT_EQ(Number(std::numeric_limits<double>::max()), "1.7977+308");
}

TEST(NumberText, Integers) {
  EXPECT_EQ(FormatInteger(0).view(), "0");
  EXPECT_EQ(FormatInteger(-15).view(), "-15");
  EXPECT_EQ(FormatInteger(std::numeric_limits<std::int32_t>::min()).view(), "-2147483648");
}

TEST(AppendToString, LabelNumberTrailer) {
  std::string text(20, '#');
  AppendDoubleToString("Depth = ", 2.5, " ft", TextField(text.data(), 20));
  EXPECT_EQ(text, Padded("Depth = 2.5 ft", 20));
  std::string count(40, '#');
  AppendIntegerToString("Number of reaches = ", 0, " ", TextField(count.data(), 40));
  EXPECT_EQ(count, Padded("Number of reaches = 0", 40));
  AppendIntegerToString("n =", -15, "", TextField(count.data(), 40));
  EXPECT_EQ(count, Padded("n = -15", 40));
}

TEST(AppendToString, LabelMayBeTheFieldItself) {
  std::string text(60, ' ');
  TextField field(text.data(), 60);
  AppendDoubleToString("K = ", 2.5, ", x = ", field);
  AppendDoubleToString(field.view(), 1.5, ", n = ", field);
  AppendIntegerToString(field.view(), 1, " ", field);
  EXPECT_EQ(text, Padded("K = 2.5, x = 1.5, n = 1", 60));
}

TEST(AppendToString, ShortFieldsTakeWhatFits) {
  // The label ends at W - 1: no room for a blank and a number; the trailer starts at W.
  std::string text(10, '#');
  AppendDoubleToString("123456789", 5.0, "xyz", TextField(text.data(), 10));
  EXPECT_EQ(text, "123456789x");
  std::string full(5, '#');
  AppendDoubleToString("abcdefgh", 5.0, "xyz", TextField(full.data(), 5));
  EXPECT_EQ(full, "abcde");
  std::string cut(8, '#');
  AppendDoubleToString("v", 123456789.0, "!", TextField(cut.data(), 8));
  EXPECT_EQ(cut, "v 1.2346");
  AppendDoubleToString("", 1.0, "", TextField(nullptr, 0));
}

TEST(AppendLineToString, JoinsTwoLines) {
  std::string text(80, '#');
  AppendLineToString("Flow area is greater than 0.65 * diameter-squared.",
                     "Depth and top width are assumed to be constant.", TextField(text.data(), 80));
  EXPECT_EQ(text.substr(0, 50), "Flow area is greater than 0.65 * diameter-squared.");
  EXPECT_EQ(text[50], '\n');
  EXPECT_EQ(text.substr(51), std::string("Depth and top width are assumed to be constant.").substr(0, 29));
  std::string full(4, '#');
  AppendLineToString("abcd", "efg", TextField(full.data(), 4));
  EXPECT_EQ(full, "abcd");
  std::string feed(5, '#');
  AppendLineToString("abcd", "efg", TextField(feed.data(), 5));
  EXPECT_EQ(feed, "abcd\n");
}

TEST(PrependLineToMessage, PutsALineInFrontOfTheOldMessage) {
  std::string text = Padded("  abc def", 80);
  TextField field(text.data(), 80);
  PrependLineToMessage("Error in Storage-Outflow interpolation.", field.view(), field);
  EXPECT_EQ(text, Padded("Error in Storage-Outflow interpolation.\nabc def", 80));
  std::string blank(30, ' ');
  PrependLineToMessage("New line   ", blank, TextField(blank.data(), 30));
  EXPECT_EQ(blank, Padded("New line\n", 30));
}

TEST(PrependLineToMessage, NeverWritesOutsideItsField) {
  // A guard character on each side of a 12-character field.
  for (int width = 0; width <= 12; ++width) {
    std::string buffer(static_cast<std::size_t>(width) + 2, ' ');
    buffer.front() = '[';
    buffer.back() = ']';
    TextField field(buffer.data() + 1, width);
    field.assign("  old message text");
    PrependLineToMessage("a new line that is long", field.view(), field);
    EXPECT_EQ(buffer.front(), '[');
    EXPECT_EQ(buffer.back(), ']');
  }
  std::string text = Padded("  old", 10);
  PrependLineToMessage("new", std::string(text), TextField(text.data(), 10));
  EXPECT_EQ(text, "new\nold   ");
  PrependLineToMessage("newer", std::string(text), TextField(text.data(), 10));
  EXPECT_EQ(text, "newer\nnew\n");
}

TEST(UndefinedValue, IsSinglePrecisionMinusTenToThe38) {
  EXPECT_EQ(undefinedDbl(), static_cast<double>(-1.0e38f));
  EXPECT_TRUE(isUndefinedDbl(undefinedDbl()));
  EXPECT_TRUE(isUndefinedDbl(std::nan("")));
  EXPECT_FALSE(isUndefinedDbl(-1.0e38));
  EXPECT_FALSE(isUndefinedDbl(-9.999999e37));
  EXPECT_FALSE(isUndefinedDbl(0.0));
}

}  // namespace
}  // namespace tovalin
