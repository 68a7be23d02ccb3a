// The hours and session pattern of an assignment line, from the HORAS text
// of ASIGNOMT. Apart so they can be checked against hand-worked values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pontevia::exporter {

// The line's hours: points become commas and the text is read with the comma
// as the decimal separator. Empty text: no hours (the field stays blank). A
// text that is not a number gives 1.
std::optional<double> LineHours(std::string_view horas);

// One "1" per session for up to 13 hours (the ceiling of `hours`); beyond 13,
// the hours past 13 in decimal followed by thirteen "1". Empty for 0 or less.
std::string SessionPattern(double hours);

}  // namespace pontevia::exporter
