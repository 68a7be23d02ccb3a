// school_generator: writes a synthetic GestIB school and, on request, a
// levels file for it.
//   school_generator [--scale K] [--seed N] OUT.xml [--levels OUT.csv]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "school.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

int Usage() {
  std::fprintf(stderr, "Uso: school_generator [--scale K] [--seed N] SALIDA.xml [--levels NIVELES.csv]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  pontevia::tools::SchoolOptions options;
  std::string out, levels;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--scale" || arg == "--seed" || arg == "--levels") && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--scale") options.scale = std::atoi(value.c_str());
      else if (arg == "--seed") options.seed = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
      else levels = value;
    } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
      out = arg;
    } else {
      return Usage();
    }
  }
  if (out.empty() || options.scale < 1) return Usage();
  pontevia::tools::SchoolCounts counts;
  if (!WriteFile(out, pontevia::tools::GenerateSchoolXml(options, &counts))) {
    std::fprintf(stderr, "No se pudo escribir %s\n", out.c_str());
    return 5;
  }
  if (!levels.empty() && !WriteFile(levels, pontevia::tools::GenerateLevelsCsv(options))) {
    std::fprintf(stderr, "No se pudo escribir %s\n", levels.c_str());
    return 5;
  }
  std::printf("%s: %lld cursos, %lld grupos, %lld materias, %lld actividades, %lld plazas, %lld aulas\n",
              out.c_str(), static_cast<long long>(counts.courses), static_cast<long long>(counts.groups),
              static_cast<long long>(counts.subjects), static_cast<long long>(counts.activities),
              static_cast<long long>(counts.posts), static_cast<long long>(counts.rooms));
  return 0;
}
