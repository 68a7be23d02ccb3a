// `pontevia import ARCHIVO [--workdir CARPETA]`: Horalia's solution (SOLUC)
// into SolucioHorari.xml beside ARCHIVO, with a short summary.
#include <cstdio>
#include <string>
#include <vector>

#include "access/env.h"
#include "cli/commands.h"
#include "import/import_run.h"

namespace pontevia::cli {
namespace {

void PrintImportUsage() {
  std::fprintf(stderr,
               "Uso: pontevia import ARCHIVO [--workdir CARPETA]\n"
               "  ARCHIVO   cualquier archivo existente; SolucioHorari.xml se escribe en su carpeta\n"
               "  CARPETA   la carpeta de trabajo de Horalia (C:\\HTEMP en Windows)\n");
}

}  // namespace

int RunImportCommand(const std::vector<std::string>& args) {
  importer::ImportRequest request;
#ifdef _WIN32
  request.workdir = "C:\\HTEMP";
#endif
  bool have_file = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--workdir" && i + 1 < args.size()) {
      request.workdir = args[++i];
    } else if (arg.rfind("--workdir=", 0) == 0) {
      request.workdir = arg.substr(10);
    } else if (arg == "--help" || arg == "-h") {
      PrintImportUsage();
      return kExitOk;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      std::fprintf(stderr, "Opción desconocida o incompleta: %s\n", arg.c_str());
      PrintImportUsage();
      return kExitUsage;
    } else if (!have_file) {
      request.chosen_file = arg;
      have_file = true;
    } else {
      std::fprintf(stderr, "Sobra el argumento: %s\n", arg.c_str());
      PrintImportUsage();
      return kExitUsage;
    }
  }
  if (!have_file) {
    std::fprintf(stderr, "Falta el archivo que indica la carpeta de SolucioHorari.xml.\n");
    PrintImportUsage();
    return kExitUsage;
  }
  if (request.workdir.empty()) {
    std::fprintf(stderr, "Indique la carpeta de trabajo de Horalia con --workdir CARPETA.\n");
    PrintImportUsage();
    return kExitUsage;
  }

  importer::ImportSummary summary;
  Status status = importer::RunImport(access::Env::Default(), request, &summary);
  if (!status.ok()) {
    if (status.code() == StatusCode::kNotFound && status.message() == importer::kNoFileMessage) {
      std::fprintf(stderr, "%s: %s\n", importer::kNoFileMessage, request.chosen_file.c_str());
      return kExitNoFile;
    }
    std::fprintf(stderr, "%s\n", status.message().c_str());
    return ExitStatusFor(status);
  }

  std::printf("Horario escrito en %s\n", summary.output_path.c_str());
  std::printf("  Sesiones escritas: %lld (registros con día 0 omitidos: %lld)\n",
              static_cast<long long>(summary.sessions),
              static_cast<long long>(summary.skipped_day_zero));
  std::printf("  Horas en medias horas: %s\n", summary.half_hours ? "sí" : "no");
  std::printf("  Códigos sin resolver: profesores %lld, grupos %lld, aulas %lld, asignaturas %lld\n",
              static_cast<long long>(summary.unresolved_teachers),
              static_cast<long long>(summary.unresolved_groups),
              static_cast<long long>(summary.unresolved_rooms),
              static_cast<long long>(summary.unresolved_subjects));
  std::printf("  Franjas no encontradas en DIASHORAST: %lld\n",
              static_cast<long long>(summary.slots_not_found));
  return kExitOk;
}

}  // namespace pontevia::cli
