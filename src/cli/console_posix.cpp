#include <unistd.h>

#include <cstdio>

#include "cli/console.h"

namespace pontevia::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void SetUpConsole() {}

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool ReadInputLine(std::string* line) { return ReadByteLine(line); }

}  // namespace pontevia::cli
