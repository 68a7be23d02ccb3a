// The command-line front end: parse the arguments, answer the core's
// questions from options or the terminal, print the outcome.
#include <cstdio>
#include <cstring>

#include "version.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pontevia %s\n", PONTEVIA_VERSION);
    return 0;
  }
  std::fprintf(stderr, "Uso: pontevia --version\n");
  return 2;
}
