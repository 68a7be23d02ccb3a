#include "cli/levels_file.h"

#include <string_view>

#include "access/env.h"
#include "text/ansi.h"

namespace pontevia::cli {

namespace {

// Splits one line at `separator`, honouring double-quoted fields ("" inside
// quotes is one quote). False for an unterminated quote.
bool SplitLine(std::string_view line, char separator, std::vector<std::string>* fields) {
  fields->assign(1, std::string());
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields->back().push_back('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields->back().push_back(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == separator) {
      fields->emplace_back();
    } else {
      fields->back().push_back(c);
    }
  }
  return !quoted;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

Status ReadLevelsFile(const std::string& path, std::vector<LevelEntry>* entries,
                      std::vector<std::string>* warnings) {
  entries->clear();
  access::Env* env = access::Env::Default();
  if (!env->FileExists(path)) return Status::NotFound("No existe archivo: " + path);
  std::string contents;
  PONTEVIA_RETURN_IF_ERROR(env->ReadFile(path, &contents));
  std::string_view rest = contents;
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);

  const std::string kHelp =
      " La primera línea debe ser codi,nivel,curso (o codi;nivel;curso) y cada línea siguiente "
      "el código GestIB de un curso, su nivel y su curso.";
  char separator = 0;
  int line_number = 0;
  std::vector<std::string> fields;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_number;
    const std::string where = path + ", línea " + std::to_string(line_number) + ": ";
    if (separator == 0) {
      separator = line.find(';') != std::string_view::npos && line.find(',') == std::string_view::npos
                      ? ';'
                      : ',';
      if (!SplitLine(line, separator, &fields) || fields.size() != 3 ||
          Lower(text::Trim(fields[0])) != "codi" || Lower(text::Trim(fields[1])) != "nivel" ||
          Lower(text::Trim(fields[2])) != "curso") {
        return Status::BadInput(where + "la cabecera no es la esperada." + kHelp);
      }
      continue;
    }
    if (text::Trim(line).empty()) continue;
    if (!SplitLine(line, separator, &fields)) {
      return Status::BadInput(where + "unas comillas no se cierran." + kHelp);
    }
    if (fields.size() != 3) {
      return Status::BadInput(where + "tiene " + std::to_string(fields.size()) +
                              " columnas y deben ser 3." + kHelp);
    }
    bool lossy = false;
    LevelEntry entry;
    entry.codi = std::string(text::Trim(text::Utf8ToAnsi(fields[0], &lossy)));
    entry.nivel = std::string(text::Trim(text::Utf8ToAnsi(fields[1], &lossy)));
    entry.curso = std::string(text::Trim(text::Utf8ToAnsi(fields[2], &lossy)));
    entry.line = line_number;
    if (lossy) {
      warnings->push_back(where + "tiene caracteres que las tablas de Horalia no pueden guardar; "
                                  "se han cambiado por '?'.");
    }
    entries->push_back(std::move(entry));
  }
  if (separator == 0) return Status::BadInput(path + " está vacío." + kHelp);
  return Status::OK();
}

}  // namespace pontevia::cli
