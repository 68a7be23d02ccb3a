// How Pontevia.exe was started, decided from its parameters alone, so the
// rules can be tested without a window. Horalia starts the program with two
// parameters: the action and its own window handle as hexadecimal digits
// without prefix ("exportar 1A2B"). Any other number of parameters means a
// person started it by hand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontevia::app {

enum class Action { kNone, kImport, kExport };

struct StartRequest {
  // Exactly two parameters. This alone decides whether the action runs when
  // the window is first shown, even when the handle is unusable.
  bool two_params = false;
  Action action = Action::kNone;
  // The handle parsed; only then is the run commanded (child window, result
  // flag written to Horalia.ini on close).
  bool handle_valid = false;
  uint64_t parent_handle = 0;
  // UTF-8 message for a handle that is not hexadecimal, else empty.
  std::string handle_error;

  bool commanded() const { return two_params && handle_valid; }
};

// Lower-cases the ASCII letters A to Z and nothing else, so "EXPORTAR" and
// "Exportar" match while accented or other bytes stay as they are.
inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Hexadecimal digits without prefix, at most 16 of them (a 64-bit handle).
// Anything else, including an empty text, a sign or a blank, is rejected.
inline std::optional<uint64_t> ParseHexHandle(std::string_view digits) {
  if (digits.empty() || digits.size() > 16) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = (value << 4) | static_cast<uint64_t>(d);
  }
  return value;
}

// `params` are the parameters after the program name, UTF-8.
inline StartRequest ParseStart(const std::vector<std::string>& params) {
  StartRequest r;
  if (params.size() != 2) return r;
  r.two_params = true;
  const std::string action = LowerAscii(params[0]);
  if (action == "importar") {
    r.action = Action::kImport;
  } else if (action == "exportar") {
    r.action = Action::kExport;
  }
  if (std::optional<uint64_t> handle = ParseHexHandle(params[1])) {
    r.handle_valid = true;
    r.parent_handle = *handle;
  } else {
    // Horalia's users know this wording from earlier versions: the handle is
    // quoted with the "$" that marks hexadecimal digits.
    r.handle_error = "'$" + params[1] + "' no es un valor entero válido";
  }
  return r;
}

}  // namespace pontevia::app
