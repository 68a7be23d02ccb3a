// `pontevia export`: the export run from the command line. The level and
// course dialog is answered from LEVELS.csv or, on a terminal, by asking for
// each course; the question before the assignment lines by --lines.
// Messages go to stderr, the summary to stdout.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "access/env.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/levels_file.h"
#include "export/course_levels.h"
#include "export/courses_check.h"
#include "export/export_run.h"
#include "export/user_interaction.h"
#include "text/ansi.h"
#include "version.h"

namespace pontevia::cli {

namespace {

constexpr char kUsage[] =
    "Uso: pontevia export ORIGEN.xml [--workdir CARPETA] [--levels NIVELES.csv]\n"
    "                     [--lines yes|no] [--force-incomplete]\n"
    "\n"
    "Crea las tablas de trabajo de Horalia (ASIGNOMT, PROFT, AULAT, CURSOST, GRUPOST,\n"
    "MATIB, ASIGT y DIASHORAST) a partir del archivo XML que exporta GestIB.\n"
    "\n"
    "  --workdir CARPETA     carpeta de trabajo de Horalia"
#ifdef _WIN32
    " (por omisión C:\\HTEMP)"
#endif
    "\n"
    "  --levels NIVELES.csv  nivel y curso de cada curso, en UTF-8, con la cabecera\n"
    "                        codi,nivel,curso (también con ';'); sin esta opción, en un\n"
    "                        terminal se preguntan uno a uno\n"
    "  --lines yes|no        crear las líneas de asignaturas (por omisión, yes)\n"
    "  --force-incomplete    seguir aunque algún curso quede sin nivel o curso\n"
    "                        (los datos recogidos serán incoherentes)\n"
    "\n"
    "Salida: 0 correcto, 1 no existe el archivo, 2 uso incorrecto, 3 cursos sin nivel\n"
    "o curso, 4 archivo de origen no válido, 5 error al leer o escribir un archivo.\n";

struct Options {
  std::string source;
  std::string workdir;
  std::string levels;
  bool lines = true;
  bool force_incomplete = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s\n\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

// Returns -1 when the run may go on, else the exit status.
int ParseOptions(const std::vector<std::string>& args, Options* options) {
  bool workdir_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool has_value = false;
    if (arg.rfind("--", 0) == 0) {
      size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        has_value = true;
      }
    }
    auto take_value = [&](std::string* out) {
      if (has_value) {
        *out = value;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--version") {
      std::printf("pontevia %s\n", PONTEVIA_VERSION);
      return kExitOk;
    } else if (arg == "--workdir") {
      if (!take_value(&options->workdir)) return UsageError("Falta la carpeta tras --workdir.");
      workdir_given = true;
    } else if (arg == "--levels") {
      if (!take_value(&options->levels)) return UsageError("Falta el archivo tras --levels.");
    } else if (arg == "--lines") {
      std::string answer;
      if (!take_value(&answer)) return UsageError("Falta yes o no tras --lines.");
      if (answer == "yes" || answer == "si" || answer == "sí") {
        options->lines = true;
      } else if (answer == "no") {
        options->lines = false;
      } else {
        return UsageError("--lines admite yes o no, no '" + answer + "'.");
      }
    } else if (arg == "--force-incomplete") {
      if (has_value) return UsageError("--force-incomplete no lleva valor.");
      options->force_incomplete = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("Opción desconocida: " + args[i]);
    } else if (options->source.empty()) {
      options->source = arg;
    } else {
      return UsageError("Sobra el argumento '" + arg + "': solo se exporta un archivo cada vez.");
    }
  }
  if (options->source.empty()) return UsageError("Falta el archivo XML de GestIB.");
  if (!workdir_given) {
#ifdef _WIN32
    options->workdir = "C:\\HTEMP";
#else
    return UsageError("Falta --workdir CARPETA, la carpeta de trabajo de Horalia.");
#endif
  }
  if (options->workdir.empty()) return UsageError("La carpeta de --workdir no puede estar vacía.");
  return -1;
}

std::string Describe(const exporter::CourseRow& row) {
  std::string s = text::AnsiToUtf8(row.codi);
  if (!row.descripcio.empty()) s += " (" + text::AnsiToUtf8(row.descripcio) + ")";
  return s;
}

// The front end's side of the export: the level and course dialog answered
// from the levels file or the terminal, the question by --lines, warnings on
// stderr.
class CommandLineInteraction : public exporter::UserInteraction {
 public:
  CommandLineInteraction(const Options& options, std::vector<LevelEntry> levels, bool interactive)
      : options_(options), levels_(std::move(levels)), interactive_(interactive) {}

  Status ShowCoursesDialog(const std::string& folder, bool force_exit_offered,
                           exporter::CoursesDialogOutcome* outcome) override {
    access::Env* env = access::Env::Default();
    std::vector<exporter::CourseRow> rows;
    PONTEVIA_RETURN_IF_ERROR(exporter::ReadCourses(env, folder, &rows));
    if (!levels_applied_ && !options_.levels.empty()) {
      ApplyLevelsFile(&rows);
      levels_applied_ = true;
      PONTEVIA_RETURN_IF_ERROR(exporter::WriteCourseLevels(env, folder, rows));
    } else if (interactive_ && !(force_exit_offered && options_.force_incomplete)) {
      if (!AskMissing(&rows, force_exit_offered)) return Incomplete(rows);
      PONTEVIA_RETURN_IF_ERROR(exporter::WriteCourseLevels(env, folder, rows));
    }

    // The dialog's own OK check decides, as it does in the Windows program.
    bool missing = false;
    PONTEVIA_RETURN_IF_ERROR(exporter::CheckCoursesComplete(env, folder, &missing));
    if (!missing) return Status::OK();
    if (force_exit_offered && options_.force_incomplete) {
      outcome->exit_reason = "fuera";
      return Status::OK();
    }
    if (!force_exit_offered && (options_.force_incomplete || interactive_)) {
      if (interactive_) std::fprintf(stderr, "\n¡Atención! Falta algún Dato\n");
      outcome->missing_data = true;  // shown again, with the forced exit on offer
      return Status::OK();
    }
    if (interactive_) {
      switch (AskForcedExit()) {
        case Answer::kYes:
          outcome->exit_reason = "fuera";
          return Status::OK();
        case Answer::kNo:
          outcome->missing_data = true;
          return Status::OK();
        case Answer::kEndOfInput:
          break;
      }
    }
    return Incomplete(rows);
  }

  bool ConfirmAssignmentLines() override { return options_.lines; }

  void Warn(const std::string& message) override {
    std::fprintf(stderr, "Aviso: %s\n", message.c_str());
  }

 private:
  void ApplyLevelsFile(std::vector<exporter::CourseRow>* rows) {
    std::map<std::string, const LevelEntry*> by_code;
    for (const LevelEntry& entry : levels_) {
      if (!by_code.emplace(entry.codi, &entry).second) {
        Warn(options_.levels + ", línea " + std::to_string(entry.line) + ": el curso " +
             text::AnsiToUtf8(entry.codi) + " ya aparece antes; se usa la primera línea.");
      }
    }
    std::map<std::string, bool> used;
    for (exporter::CourseRow& row : *rows) {
      auto found = by_code.find(row.codi);
      if (found == by_code.end()) continue;
      row.nivel = found->second->nivel;
      row.curso = found->second->curso;
      used[row.codi] = true;
    }
    for (const auto& [code, entry] : by_code) {
      if (!used.count(code)) {
        Warn(options_.levels + ", línea " + std::to_string(entry->line) + ": el curso " +
             text::AnsiToUtf8(code) + " no está en el archivo de GestIB; se ignora.");
      }
    }
  }

  // Asks for the level and course of every course that lacks one. False when
  // the input ends.
  bool AskMissing(std::vector<exporter::CourseRow>* rows, bool again) {
    int missing = 0;
    for (const exporter::CourseRow& row : *rows) missing += exporter::LacksLevelOrCourse(row);
    if (missing == 0) return true;
    if (again) {
      std::fprintf(stderr, "\n%s sin NIVEL o CURSO. Complételos (Intro deja el valor como está).\n",
                   missing == 1 ? "Queda 1 curso" : ("Quedan " + std::to_string(missing) + " cursos").c_str());
    } else {
      std::fprintf(stderr,
                   "\nIndique el NIVEL y el CURSO de cada curso (%d). Con ellos se forman las "
                   "abreviaturas de los grupos: NIVEL=ESO y CURSO=1 dan ESO1A, ESO1B...\n"
                   "Los 5 primeros caracteres de cada NIVEL deben ser distintos.\n",
                   missing);
    }
    for (exporter::CourseRow& row : *rows) {
      if (!exporter::LacksLevelOrCourse(row)) continue;
      std::fprintf(stderr, "\nCurso %s\n", Describe(row).c_str());
      if (!Ask("  NIVEL (hasta 5 caracteres)", &row.nivel)) return false;
      if (!Ask("  CURSO (hasta 3 caracteres)", &row.curso)) return false;
    }
    return true;
  }

  bool Ask(const char* prompt, std::string* value) {
    if (value->empty()) {
      std::fprintf(stderr, "%s: ", prompt);
    } else {
      std::fprintf(stderr, "%s [%s]: ", prompt, text::AnsiToUtf8(*value).c_str());
    }
    std::fflush(stderr);
    std::string line;
    if (!ReadInputLine(&line)) return false;
    bool lossy = false;
    std::string answer(text::Trim(text::Utf8ToAnsi(line, &lossy)));
    if (lossy) Warn("Se han cambiado por '?' caracteres que las tablas de Horalia no pueden guardar.");
    if (!answer.empty()) *value = answer;
    return true;
  }

  enum class Answer { kYes, kNo, kEndOfInput };

  Answer AskForcedExit() {
    std::fprintf(stderr,
                 "\n¡ Atención ! Si fuerza la Salida, los Datos recogidos serán INCOHERENTES.\n"
                 "¿Forzar la salida sin terminar el proceso? (s/N): ");
    std::fflush(stderr);
    std::string line;
    if (!ReadInputLine(&line)) return Answer::kEndOfInput;
    return line == "s" || line == "S" || line == "si" || line == "sí" ? Answer::kYes : Answer::kNo;
  }

  Status Incomplete(const std::vector<exporter::CourseRow>& rows) {
    std::vector<std::string> names;
    for (const exporter::CourseRow& row : rows) {
      if (exporter::LacksLevelOrCourse(row)) names.push_back(Describe(row));
    }
    constexpr size_t kListed = 20;
    std::string list;
    for (size_t i = 0; i < names.size() && i < kListed; ++i) list += "\n  " + names[i];
    if (names.size() > kListed) {
      list += "\n  ... y " + std::to_string(names.size() - kListed) + " más";
    }
    return Status::Incomplete(
        "Falta el NIVEL o el CURSO de " + std::to_string(names.size()) + " cursos:" + list +
        "\nIndíquelos en un archivo --levels (columnas codi,nivel,curso) o use "
        "--force-incomplete para seguir sin ellos. No se ha cambiado nada en la carpeta de "
        "trabajo.");
  }

  const Options& options_;
  std::vector<LevelEntry> levels_;
  bool interactive_;
  bool levels_applied_ = false;
};

void PrintSummary(const Options& options, const exporter::ExportSummary& summary) {
  std::printf("Exportación terminada en %s\n", options.workdir.c_str());
  for (const exporter::TableCount& table : summary.tables) {
    std::printf("  %-10s %8lld registros\n", table.table.c_str(),
                static_cast<long long>(table.records));
  }
  if (!summary.backup_folder.empty()) {
    std::printf("Copia de las tablas anteriores: %s\n", summary.backup_folder.c_str());
  }
  if (summary.forced_exit) {
    std::printf("Salida forzada: hay cursos sin NIVEL o CURSO; los datos recogidos serán "
                "incoherentes.\n");
  }
  if (summary.warnings.empty()) return;
  constexpr size_t kListed = 8;
  std::printf("Avisos: %zu\n", summary.warnings.size());
  for (size_t i = 0; i < summary.warnings.size() && i < kListed; ++i) {
    std::printf("  - %s\n", summary.warnings[i].c_str());
  }
  if (summary.warnings.size() > kListed) {
    std::printf("  (los demás, en la salida de errores)\n");
  }
}

}  // namespace

int RunExportCommand(const std::vector<std::string>& args) {
  Options options;
  int early = ParseOptions(args, &options);
  if (early >= 0) return early;

  access::Env* env = access::Env::Default();
  if (!env->FileExists(options.source)) {
    std::fprintf(stderr, "No existe archivo: %s\n", options.source.c_str());
    return kExitNoFile;
  }
  std::vector<LevelEntry> levels;
  if (!options.levels.empty()) {
    std::vector<std::string> notes;
    Status s = ReadLevelsFile(options.levels, &levels, &notes);
    if (s.code() == StatusCode::kNotFound) {
      std::fprintf(stderr, "%s\n", s.message().c_str());
      return kExitNoFile;
    }
    if (!s.ok()) {
      std::fprintf(stderr, "%s\n", s.message().c_str());
      return ExitStatusFor(s);
    }
    for (const std::string& note : notes) std::fprintf(stderr, "Aviso: %s\n", note.c_str());
  }

  CommandLineInteraction ui(options, std::move(levels), options.levels.empty() && InputIsTerminal());
  exporter::ExportRequest request{options.source, options.workdir};
  exporter::ExportSummary summary;
  Status s = exporter::RunExport(env, request, &ui, &summary);
  if (!s.ok()) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    return ExitStatusFor(s);
  }
  PrintSummary(options, summary);
  return kExitOk;
}

}  // namespace pontevia::cli
