#include <cstdio>

#include "cli/commands.h"

namespace pontevia::cli {

int RunImportCommand(const std::vector<std::string>& args) {
  std::fprintf(stderr, "La orden 'import' aún no está disponible.\n");
  return kExitUsage;
}

}  // namespace pontevia::cli
