#include <cstdio>

#include "cli/commands.h"

namespace pontevia::cli {

int RunExportCommand(const std::vector<std::string>& args) {
  std::fprintf(stderr, "La orden 'export' aún no está disponible.\n");
  return kExitUsage;
}

}  // namespace pontevia::cli
