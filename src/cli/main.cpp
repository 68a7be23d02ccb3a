// The command-line front end: picks the subcommand and hands over.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "version.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Uso:\n"
               "  pontevia export ORIGEN.xml [--workdir CARPETA] [--levels NIVELES.csv]\n"
               "                  [--lines yes|no] [--force-incomplete]\n"
               "  pontevia import ARCHIVO [--workdir CARPETA]\n"
               "  pontevia --help | --version\n");
}

}  // namespace

int main(int argc, char** argv) {
  pontevia::cli::SetUpConsole();
  std::vector<std::string> args = pontevia::cli::Utf8Arguments(argc, argv);
  if (args.empty()) {
    PrintUsage(stderr);
    return pontevia::cli::kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--version") {
    std::printf("pontevia %s\n", PONTEVIA_VERSION);
    return 0;
  }
  if (command == "--help" || command == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  if (command == "export") return pontevia::cli::RunExportCommand(args);
  if (command == "import") return pontevia::cli::RunImportCommand(args);
  std::fprintf(stderr, "Orden desconocida: %s\n", command.c_str());
  PrintUsage(stderr);
  return pontevia::cli::kExitUsage;
}
