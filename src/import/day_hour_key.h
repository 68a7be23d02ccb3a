// The arithmetic that turns a solution record's day and hour into the key of
// a slot of the day and hour frame (DIASHORAST's DIHO). Pure functions, kept
// apart so that the worked examples can be checked row by row.
//
// Horalia gives the time of a session as HORA, a number that may carry a
// fraction. The frame names its slots by day and whole period number, the two
// written together with no separator: day 3, period 12 is "312". When any
// session of the solution starts at a fraction of an hour, the whole solution
// counts in half hours and HORA h becomes period 2h - 1 (1 -> 1, 1.5 -> 2,
// 2 -> 3); otherwise the period is the whole part of HORA.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pontevia::importer {

// Values whose magnitude passes this bound are refused by the import as "not
// a day or an hour": below it every whole part and every period number is
// exact in both double and int64_t.
inline constexpr double kMaxDayHourMagnitude = 1e15;

// True for finite values within kMaxDayHourMagnitude.
bool IsUsableDayHour(double value);

// True when `hora` minus its whole part (truncated toward zero) is greater
// than 0; one such record puts the whole solution in half-hour mode.
// REQUIRES: IsUsableDayHour(hora).
bool HasPositiveFraction(double hora);

// The record's period: with W the whole part of `hora` (toward zero) and F
// the rest, 2W when F > 0 and 2W - 1 otherwise in half-hour mode, W when not.
// REQUIRES: IsUsableDayHour(hora).
int64_t PeriodNumber(double hora, bool half_hours);

// The integer value of a numeric field: the nearest whole number, halves to
// the even neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2). A day whose integer
// value is 0 is not exported. REQUIRES: IsUsableDayHour(value).
int64_t IntegerValue(double value);

// The text value of a numeric field, as the key takes the day: a whole number
// as its decimal digits, with a minus sign when negative, no separator and no
// leading zeros ("3", "-2"). A value with a fraction keeps it, with the comma
// as decimal separator ("2,5"), so that such a day matches no slot.
// REQUIRES: IsUsableDayHour(value).
std::string NumberText(double value);

// `day_text` immediately followed by the period number in decimal.
std::string DayHourKey(std::string_view day_text, double hora, bool half_hours);

}  // namespace pontevia::importer
