// Packing and unpacking of status codes.
#include <gtest/gtest.h>

#include <string>

#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

std::string Decode(std::int32_t status, int width, int& number, int& severity) {
  std::string name(static_cast<std::size_t>(width), '#');
  DecodeErrorCode(status, TextField(name.data(), width), number, severity);
  return name;
}

TEST(EncodeErrorCode, PacksRoutineMessageAndSeverity) {
  EXPECT_EQ(EncodeErrorCode(14, 12, 4), 7268);
  EXPECT_EQ(EncodeErrorCode(14, 1, 2), 7178);
  EXPECT_EQ(EncodeErrorCode(14, 0, 4), 0);
  EXPECT_EQ(EncodeErrorCode(99, 0, -3), 0);
  // Out-of-range message numbers and severities clamp to 63 and 7.
  EXPECT_EQ(EncodeErrorCode(25, 70, 9), 13311);
  EXPECT_EQ(EncodeErrorCode(14, -5, -1), 7679);
  // The routine number is not limited; the product wraps like 32-bit arithmetic.
  EXPECT_EQ(EncodeErrorCode(16398, 1, 2), 16398 * 512 + 8 + 2);
  EXPECT_EQ(EncodeErrorCode(4194304, 1, 2), -2147483647 - 1 + 10);
}

TEST(DecodeErrorCode, NamesTheRowAndBlankPadsIt) {
  int number = 0, severity = 0;
  const std::string name = Decode(7268, 32, number, severity);
  EXPECT_EQ(name, "RouteMuskingum" + std::string(18, ' '));
  EXPECT_EQ(number, 12);
  EXPECT_EQ(severity, 4);
  // A wider field gets all 32 characters of the row and then blanks.
  EXPECT_EQ(Decode(7268, 40, number, severity), "RouteMuskingum" + std::string(26, ' '));
}

TEST(DecodeErrorCode, UnknownRoutinesAndOddCodes) {
  int number = -1, severity = -1;
  EXPECT_EQ(Decode(0, 20, number, severity), "Unknown Subroutine  ");
  EXPECT_EQ(number, 0);
  EXPECT_EQ(severity, 0);
  EXPECT_EQ(Decode(-1, 18, number, severity), "Unknown Subroutine");
  EXPECT_EQ(number, 63);
  EXPECT_EQ(severity, 7);
  EXPECT_EQ(Decode(36 * 512 + 8, 18, number, severity), "Unknown Subroutine");
  // Only bits 9-22 name the routine: 16398 = 16384 + 14.
  EXPECT_EQ(Decode(16398 * 512 + 8 + 2, 14, number, severity), "RouteMuskingum");
}

TEST(DecodeErrorCode, RowsThatBearOtherNames) {
  int number = 0, severity = 0;
  EXPECT_EQ(Decode(EncodeErrorCode(21, 1, 2), 18, number, severity), "ChannelDepthCircle");
  EXPECT_EQ(Decode(EncodeErrorCode(22, 1, 2), 17, number, severity), "ChannelDepthPrism");
  EXPECT_EQ(Decode(EncodeErrorCode(23, 1, 2), 17, number, severity), "ChannelFlow8Point");
  EXPECT_EQ(Decode(EncodeErrorCode(1, 1, 2), 17, number, severity), "FreqBasedHypStorm");
  EXPECT_EQ(Decode(EncodeErrorCode(35, 1, 2), 15, number, severity), "HydrographDepth");
}

TEST(DecodeErrorCode, NarrowFieldsTakeWhatFits) {
  int number = 0, severity = 0;
  EXPECT_EQ(Decode(7268, 10, number, severity), "RouteMuski");
  EXPECT_EQ(Decode(7268, 1, number, severity), "R");
  EXPECT_EQ(Decode(7268, 0, number, severity), "");
}

}  // namespace
}  // namespace tovalin
