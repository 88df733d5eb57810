// Searches, spans and justified copies on fixed-width texts.
#include <gtest/gtest.h>

#include <string>

#include "hydro/messages/string_utils.h"

namespace tovalin {
namespace {

TEST(Search, FirstAndLastPositionThatDiffers) {
  EXPECT_EQ(NINDX("   ab", " "), 4);
  EXPECT_EQ(NINDXR("ab   ", " "), 2);
  EXPECT_EQ(NINDX("     ", " "), 0);
  EXPECT_EQ(NINDXR("     ", " "), 0);
  EXPECT_EQ(NINDX("", " "), 0);
  EXPECT_EQ(NINDX("ab", "abc"), 0);
  EXPECT_EQ(NINDX("ab", ""), 0);
  EXPECT_EQ(NINDX("xyxyab", "xy"), 2);  // "yx" at 2 already differs
  EXPECT_EQ(NINDXR("abxyxy", "xy"), 4);
  int last = -1;
  EXPECT_EQ(CHRLNB("abc  ", last), 3);
  EXPECT_EQ(last, 3);
  EXPECT_EQ(CHRLNB(std::string("a\0  ", 4), last), 2);  // a zero byte is not a blank
}

TEST(Span, NonBlankSpanOfARange) {
  int first = -1, length = -1;
  LFLNB("  abc de  ", 1, 10, first, length);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(length, 6);
  LFLNB("  abc de  ", 4, 3, first, length);
  EXPECT_EQ(first, 4);
  EXPECT_EQ(length, 2);
  LFLNB("  abc", 1, 0, first, length);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(length, 0);
  LFLNB("     ", 1, 5, first, length);
  EXPECT_EQ(length, 0);
  // A range reaching past the string is clipped to it.
  LFLNB("ab", -5, 100, first, length);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(length, 2);
}

TEST(Justify, LeftAndRight) {
  std::string target(10, '#');
  LJSTR("   xy  ", 1, 7, TextField(target.data(), 10), 2);
  EXPECT_EQ(target, "#xy     ##");
  target.assign(10, '#');
  RJSTR("   xy  ", 1, 7, TextField(target.data(), 10), 2);
  EXPECT_EQ(target, "#     xy##");
  target.assign(10, '#');
  RJSTR("       ", 1, 7, TextField(target.data(), 10), 2);
  EXPECT_EQ(target, "#       ##");
  std::string field(6, ' ');
  CHRBLK(TextField(field.data(), 6));
  EXPECT_EQ(field, "      ");
}

TEST(Justify, SourceMayBeTheTarget) {
  std::string text = "    abc   ";
  TextField field(text.data(), 10);
  LJSTR(field.view(), 1, 10, field, 1);
  EXPECT_EQ(text, "abc       ");
  RJSTR(field.view(), 1, 10, field, 1);
  EXPECT_EQ(text, "       abc");
}

TEST(Justify, NeverWritesOutsideTheField) {
  const std::string longSource(500, 'z');
  for (int start : {-300, -1, 0, 1, 5, 9, 10, 11, 400}) {
    for (int count : {-2, 0, 1, 3, 10, 250, 2147483647}) {
      std::string buffer = "[          ]";
      TextField field(buffer.data() + 1, 10);
      LJSTR(longSource, 1, count, field, start);
      RJSTR(longSource, 1, count, field, start);
      EXPECT_EQ(buffer.front(), '[');
      EXPECT_EQ(buffer.back(), ']');
    }
  }
}

}  // namespace
}  // namespace tovalin
