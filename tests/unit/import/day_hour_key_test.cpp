#include "import/day_hour_key.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace pontevia::importer {
namespace {

// The worked examples for a record of day 3, values worked by hand.
TEST(DayHourKey, WorkedExamplesForDayThree) {
  const struct {
    bool half_hours;
    double hora;
    int64_t period;
    const char* key;
  } kCases[] = {
      {false, 1, 1, "31"},   {false, 4, 4, "34"},     {false, 12, 12, "312"},
      {true, 1, 1, "31"},    {true, 1.5, 2, "32"},    {true, 2, 3, "33"},
      {true, 2.5, 4, "34"},  {true, 3, 5, "35"},      {true, 1.25, 2, "32"},
      {true, 0.5, 0, "30"},  {true, 0, -1, "3-1"},
      // Not in half-hour mode a fraction is dropped, not rounded.
      {false, 2.75, 2, "32"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.half_hours ? "half hours, HORA " : "whole hours, HORA ") +
                 std::to_string(c.hora));
    EXPECT_EQ(PeriodNumber(c.hora, c.half_hours), c.period);
    EXPECT_EQ(DayHourKey("3", c.hora, c.half_hours), c.key);
  }
}

// Steps of one half map onto consecutive periods when the only fractional
// values are 1.5 and 3.5.
TEST(DayHourKey, HalfHourStepsAreConsecutivePeriods) {
  const double horas[] = {1, 1.5, 2, 3, 3.5};
  const int64_t periods[] = {1, 2, 3, 5, 6};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(horas[i]);
    EXPECT_EQ(PeriodNumber(horas[i], true), periods[i]);
  }
}

// The key has no separator: day 1 period 12 and day 11 period 2 are one key.
TEST(DayHourKey, NoSeparatorBetweenDayAndPeriod) {
  EXPECT_EQ(DayHourKey("1", 12, false), "112");
  EXPECT_EQ(DayHourKey("11", 2, false), "112");
}

TEST(DayHourKey, FractionDetectionTruncatesTowardZero) {
  const struct {
    double hora;
    bool fraction;
  } kCases[] = {{1, false}, {1.5, true}, {0.25, true}, {0, false}, {-1.5, false}, {-2, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.hora);
    EXPECT_EQ(HasPositiveFraction(c.hora), c.fraction);
  }
}

TEST(DayHourKey, IntegerValueRoundsHalvesToEven) {
  const struct {
    double value;
    int64_t integer;
  } kCases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {0.49, 0}, {0.51, 1}, {-0.5, 0}, {-1.5, -2}, {3, 3}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(IntegerValue(c.value), c.integer);
  }
}

TEST(DayHourKey, NumberTextOfTheDay) {
  const struct {
    double value;
    const char* text;
  } kCases[] = {{3, "3"}, {12, "12"}, {-2, "-2"}, {3.0000, "3"}, {2.5, "2,5"}, {-0.0, "0"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(NumberText(c.value), c.text);
  }
}

TEST(DayHourKey, RefusesValuesWithoutAnExactWholePart) {
  EXPECT_TRUE(IsUsableDayHour(-7));
  EXPECT_TRUE(IsUsableDayHour(1e15));
  EXPECT_FALSE(IsUsableDayHour(1e16));
  EXPECT_FALSE(IsUsableDayHour(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(IsUsableDayHour(std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
}  // namespace pontevia::importer
