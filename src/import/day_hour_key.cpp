#include "import/day_hour_key.h"

#include <cmath>
#include <cstdio>

namespace pontevia::importer {

bool IsUsableDayHour(double value) {
  return std::isfinite(value) && std::fabs(value) <= kMaxDayHourMagnitude;
}

bool HasPositiveFraction(double hora) { return hora - std::trunc(hora) > 0; }

int64_t PeriodNumber(double hora, bool half_hours) {
  const double whole = std::trunc(hora);
  const int64_t w = static_cast<int64_t>(whole);
  if (!half_hours) return w;
  return hora - whole > 0 ? 2 * w : 2 * w - 1;
}

int64_t IntegerValue(double value) {
  // nearbyint rounds halves to even in the default rounding mode, which
  // nothing in the program changes.
  return static_cast<int64_t>(std::nearbyint(value));
}

std::string NumberText(double value) {
  if (std::trunc(value) == value) {
    return std::to_string(static_cast<int64_t>(value));
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::string text(buffer);
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text;
}

std::string DayHourKey(std::string_view day_text, double hora, bool half_hours) {
  std::string key(day_text);
  key += std::to_string(PeriodNumber(hora, half_hours));
  return key;
}

}  // namespace pontevia::importer
