#include "cli/console.h"

#include <cstdio>

namespace pontevia::cli {

bool ReadByteLine(std::string* line) {
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
