#include <unistd.h>

#include <cstdio>

#include "cli/console.h"

namespace pontevia::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void SetUpConsole() {}

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool ReadInputLine(std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(stdin)) != EOF) {
    any = true;
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

}  // namespace pontevia::cli
