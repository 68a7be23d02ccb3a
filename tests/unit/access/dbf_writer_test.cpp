#include "access/dbf_writer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace pontevia::access {
namespace {

std::string Formatted(double value, int width, int decimals) {
  std::string out(static_cast<size_t>(width), '#');
  if (!FormatDbfNumber(value, width, decimals, out.data())) return "<no cabe>";
  return out;
}

TEST(DbfWriter, NumbersAreRightAlignedWithTheirDecimals) {
  const struct {
    double value;
    int width, decimals;
    const char* want;
  } kCases[] = {
      {2.5, 20, 4, "              2.5000"},
      {0, 20, 4, "              0.0000"},
      {-12, 11, 0, "        -12"},
      {1.0 / 3, 20, 4, "              0.3333"},
      {2.0 / 3, 20, 4, "              0.6667"},
      {-2.0 / 3, 20, 4, "             -0.6667"},
      {-0.00001, 20, 4, "              0.0000"},  // no negative zero
      {-0.0, 20, 4, "              0.0000"},
      {0.03125, 20, 4, "              0.0312"},  // an exact tie goes to the even neighbour
      {0.09375, 20, 4, "              0.0938"},
      {999999999999999.0, 20, 4, "999999999999999.0000"},
      {1234.5, 6, 1, "1234.5"},
      {1e20, 20, 4, "<no cabe>"},
      {12345.5, 6, 1, "<no cabe>"},
      {-1, 1, 0, "<no cabe>"},
      {std::numeric_limits<double>::quiet_NaN(), 20, 4, "<no cabe>"},
      {std::numeric_limits<double>::infinity(), 20, 4, "<no cabe>"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(Formatted(c.value, c.width, c.decimals), c.want);
  }
}

// The common case is formatted without std::to_chars; it must give what
// to_chars gives (correct rounding of the exact binary value) for every value,
// near ties included.
TEST(DbfWriter, NumbersMatchExactFormatting) {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> magnitude(-8, 12);
  std::uniform_int_distribution<int> digits(0, 9);
  for (int i = 0; i < 50000; ++i) {
    const int decimals = digits(random);
    double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
    if (i % 3 == 0) {
      // A value on (or one step off) a half of the last decimal: ties.
      const double unit = std::pow(10.0, -decimals);
      value = (std::round(value / unit) + 0.5) * unit;
      if (i % 9 == 0) value = std::nextafter(value, 0.0);
    }
    char want[400];
    auto [end, ec] = std::to_chars(want, want + sizeof want, value, std::chars_format::fixed, decimals);
    ASSERT_EQ(ec, std::errc());
    std::string expected(want, end);
    if (expected.find_first_not_of("-0.") == std::string::npos && expected[0] == '-') expected.erase(0, 1);
    SCOPED_TRACE(testing::Message() << value << " with " << decimals << " decimals");
    const int tight = static_cast<int>(expected.size());
    ASSERT_EQ(Formatted(value, tight, decimals), expected);
    ASSERT_EQ(Formatted(value, tight - 1, decimals), "<no cabe>");
    ASSERT_EQ(Formatted(value, 30, decimals), std::string(30 - expected.size(), ' ') + expected);
  }
}

}  // namespace
}  // namespace pontevia::access
