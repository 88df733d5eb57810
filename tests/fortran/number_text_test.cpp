// The library's number text against the real Fortran edit descriptors: a few thousand values
// of random magnitude and sign, decimal ties at the rounding digit and values on both sides
// of every boundary between forms, written by a Fortran program and compared line by line.
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "hydro/messages/message_text.h"

#ifndef NUMBER_TEXT_PROGRAM
#error "NUMBER_TEXT_PROGRAM names the Fortran program"
#endif

namespace {

std::vector<double> Values() {
  std::vector<double> values;
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-320, 307);
  std::uniform_int_distribution<int> nearExponent(-6, 10);
  for (int i = 0; i < 1500; ++i) {
    const double v = mantissa(random) * std::pow(10.0, i % 3 ? nearExponent(random) : exponent(random));
    values.push_back(i % 2 ? v : -v);
  }
  // Around every power of ten that separates forms, and around the ten-digit rounding that
  // decides the leading digit: the value itself, its neighbours, and x(1 - 5e-11).
  for (int k = -6; k <= 11; ++k) {
    const double p = std::pow(10.0, k);
    for (double base : {p, p * (1.0 - 5e-11), p * (1.0 - 4.9999e-11), p * (1.0 - 5.0001e-11)}) {
      for (double v : {base, std::nextafter(base, 0.0), std::nextafter(base, 1e300)}) {
        values.push_back(v);
        values.push_back(-v);
      }
    }
  }
  // Decimal ties at the rounding digit that binary holds exactly: halves of whole numbers for
  // (F9.0)/(F10.0), eighths and sixteenths for (F9.n), and the fifth digit of the exponent form.
  for (int i = 0; i < 300; ++i) {
    const double whole = std::floor(mantissa(random) * std::pow(10.0, 3 + i % 5));
    values.push_back(whole + 0.5);
    values.push_back(-(whole + 0.5));
    const double sixteenths = std::floor(mantissa(random) * 16.0 * std::pow(10.0, i % 3)) / 16.0;
    values.push_back(sixteenths);
    values.push_back(-sixteenths);
    const double fifth = std::floor(mantissa(random) * 1e5) * 1e4 + 5e3;  // 1.2345|5E+09
    values.push_back(fifth);
  }
  for (double v : {9999999999.5, 99999999.5, 9999999.5, 999.9995, 0.0009999995, 1234.5, 1235.5,
                   0.125, 2.0625, -9999999.7, -99999999.7, 9999999.7, 999.96, 1e100, -1e-100,
                   1e-300, 4.9e-324, 1.7976931348623157e308})
    values.push_back(v);
  return values;
}

TEST(NumberText, MatchesTheFortranEditDescriptors) {
  const std::vector<double> values = Values();
  char input[] = "/tmp/number_text_XXXXXX";
  const int fd = mkstemp(input);
  ASSERT_GE(fd, 0);
  FILE* file = fdopen(fd, "w");
  for (double v : values) std::fprintf(file, "%016" PRIX64 "\n", std::bit_cast<std::uint64_t>(v));
  std::fclose(file);

  const std::string command = std::string(NUMBER_TEXT_PROGRAM) + " < " + input;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[64];
  std::size_t i = 0;
  int mismatches = 0;
  while (std::fgets(line, sizeof line, pipe) && i < values.size()) {
    std::string expected = line;
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == ' ')) expected.pop_back();
    const std::string actual(tovalin::FormatDouble(values[i]).view());
    if (actual != expected && ++mismatches <= 20)
      ADD_FAILURE() << "value " << std::hexfloat << values[i] << std::defaultfloat << " ("
                    << values[i] << "): library '" << actual << "', Fortran '" << expected << "'";
    ++i;
  }
  EXPECT_EQ(pclose(pipe), 0);
  std::remove(input);
  EXPECT_EQ(i, values.size()) << "the Fortran program wrote fewer lines than values";
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(values.size(), 3000u);
}

}  // namespace
