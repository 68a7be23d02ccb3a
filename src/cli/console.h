// The terminal at the edges of the command line: arguments, prompts and
// answers in UTF-8, whatever the system's own form (UTF-16 on Windows).
#pragma once

#include <string>
#include <vector>

namespace pontevia::cli {

// The program's arguments after the program name, in UTF-8. On Windows they
// are read from the system as UTF-16, so names outside the ANSI code page
// survive; elsewhere `argv` is taken as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 output as such (Windows); nothing elsewhere.
void SetUpConsole();

// True when the standard input is a terminal a person types into.
bool InputIsTerminal();

// One line of standard input, UTF-8, without its end of line. False at the
// end of the input.
bool ReadInputLine(std::string* line);

// One line of standard input as bytes, without its end of line (LF or CR LF).
// False at the end of the input. ReadInputLine's portable part.
bool ReadByteLine(std::string* line);

}  // namespace pontevia::cli
