// The import run: one SESSIO element for every record of SOLUC whose day is
// not 0, its short codes resolved back to GestIB's identifiers through the
// tables the last export wrote, its day and hour through the frame Horalia
// filled. The document is built whole in memory and saved once at the end,
// so a run that fails on the way leaves any earlier SolucioHorari.xml as it
// was.
//
// Every lookup means "the first record, in record order, whose field is
// exactly equal" (letter case counts). Walking the table for each of a
// million solution records would be quadratic, so each lookup table is read
// once into a hash index that keeps only the first record of every key,
// which gives the same answers.
#include "import/import_run.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "access/dbf_table.h"
#include "access/xml_document.h"
#include "import/day_hour_key.h"
#include "text/ansi.h"

namespace pontevia::importer {
namespace {

using access::Table;

constexpr char kOutputName[] = "SolucioHorari.xml";
constexpr char kNothingWritten[] = " No se ha escrito SolucioHorari.xml.";
constexpr char kRedoSolution[] =
    "Vuelva a generar el horario en Horalia y repita la importación.";
constexpr char kRedoExport[] =
    "Vuelva a exportar los datos de GestIB (con Horalia cerrado) para rehacer las tablas de "
    "trabajo y repita la importación.";

// Quotes a table value inside a (UTF-8) message.
std::string Quoted(std::string_view ansi) { return "«" + text::AnsiToUtf8(ansi) + "»"; }

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Key -> the fields taken from the first record carrying that key.
using FirstMatchIndex =
    std::unordered_map<std::string, std::vector<std::string>, StringHash, std::equal_to<>>;

// One field of an open table, resolved once by name.
class FieldReader {
 public:
  static Status Resolve(const Table& table, std::string_view name, const char* remedy,
                        FieldReader* out) {
    Result<int> index = table.FieldIndex(name);
    if (!index.ok()) {
      return Status::BadInput("La tabla " + table.name() + " no tiene el campo " +
                              std::string(name) + ", que la importación necesita. " + remedy +
                              kNothingWritten);
    }
    out->table_ = &table;
    out->name_ = std::string(name);
    out->index_ = *index;
    out->character_ = table.fields()[*index].type == access::FieldType::kCharacter;
    return Status::OK();
  }

  // The field of the current record as text, without trailing blanks.
  // `scratch` holds the text when the field is not a character field.
  Result<std::string_view> Text(std::string* scratch) const {
    if (character_) return table_->TextView(index_);
    Result<std::string> value = table_->GetText(name_);
    if (!value.ok()) return value.status();
    *scratch = std::move(value).value();
    return std::string_view(*scratch);
  }

  // The field of the current record as a number. Horalia's numeric columns
  // come in several types (N, F, binary integers, any width and decimals);
  // the table engine reads them all. A character column is accepted when it
  // holds a number written with a point or a comma.
  Status Number(int64_t record, double* value) const {
    if (character_) {
      std::string_view raw = text::Trim(table_->TextView(index_));
      std::string digits(raw);
      for (char& c : digits) {
        if (c == ',') c = '.';
      }
      const char* begin = digits.c_str();
      char* end = nullptr;
      errno = 0;
      const double parsed = std::strtod(begin, &end);
      if (digits.empty() || end != begin + digits.size() || errno == ERANGE) {
        return NotANumber(record, raw);
      }
      *value = parsed;
    } else {
      Result<double> parsed = table_->GetFloat(index_);
      if (!parsed.ok()) return NotANumber(record, text::Trim(table_->TextView(index_)));
      *value = *parsed;
    }
    if (!IsUsableDayHour(*value)) return NotANumber(record, text::Trim(table_->TextView(index_)));
    return Status::OK();
  }

 private:
  Status NotANumber(int64_t record, std::string_view raw) const {
    return Status::BadInput("El campo " + name_ + " del registro " + std::to_string(record) +
                            " de la tabla " + table_->name() + " no contiene un número válido (" +
                            Quoted(raw) + "). " + kRedoSolution + kNothingWritten);
  }

  const Table* table_ = nullptr;
  std::string name_;
  int index_ = 0;
  bool character_ = false;
};

// The working tables of the run, opened in the order Horalia's users know
// (SOLUC first) and exclusively, so that a table Horalia still holds is
// reported instead of read half-written.
struct RunTables {
  std::unique_ptr<Table> soluc, proft, aulat, asignomt, grupost, diashorast;
};

Status OpenTable(access::Env* env, const std::string& workdir, const std::string& name,
                 const char* remedy, std::unique_ptr<Table>* out) {
  Status status = Table::Open(env, workdir, name, access::ShareMode::kExclusive, out);
  if (status.ok()) return status;
  if (status.code() == StatusCode::kNotFound) {
    return Status::NotFound("No se encuentra la tabla " + name + " (" + name +
                            ".DBF) en la carpeta de trabajo «" + workdir + "». " + remedy +
                            kNothingWritten);
  }
  // The engine's message names the table and the file and says what to do.
  return status.WithMessage(status.message() + kNothingWritten);
}

Status OpenAll(access::Env* env, const std::string& workdir, RunTables* t) {
  PONTEVIA_RETURN_IF_ERROR(OpenTable(env, workdir, "SOLUC",
                                     "Genere antes el horario en Horalia; la importación lee su "
                                     "solución de esa tabla.",
                                     &t->soluc));
  PONTEVIA_RETURN_IF_ERROR(OpenTable(env, workdir, "PROFT", kRedoExport, &t->proft));
  PONTEVIA_RETURN_IF_ERROR(OpenTable(env, workdir, "AULAT", kRedoExport, &t->aulat));
  PONTEVIA_RETURN_IF_ERROR(OpenTable(env, workdir, "ASIGNOMT", kRedoExport, &t->asignomt));
  PONTEVIA_RETURN_IF_ERROR(OpenTable(env, workdir, "GRUPOST", kRedoExport, &t->grupost));
  return OpenTable(env, workdir, "DIASHORAST", kRedoExport, &t->diashorast);
}

// Reads `table` once: for every key the values of `fields` in the first
// record that carries it.
Status BuildIndex(Table* table, std::string_view key_field,
                  const std::vector<std::string_view>& fields, FirstMatchIndex* index) {
  FieldReader key;
  PONTEVIA_RETURN_IF_ERROR(FieldReader::Resolve(*table, key_field, kRedoExport, &key));
  std::vector<FieldReader> readers(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    PONTEVIA_RETURN_IF_ERROR(FieldReader::Resolve(*table, fields[i], kRedoExport, &readers[i]));
  }
  index->reserve(static_cast<size_t>(table->RecordCount()));
  std::string scratch;
  Status walk = table->First();
  for (; walk.ok() && !table->Eof(); walk = table->Next()) {
    Result<std::string_view> k = key.Text(&scratch);
    if (!k.ok()) return k.status();
    auto [slot, inserted] = index->try_emplace(std::string(*k));
    if (!inserted) continue;  // a later record with a key already seen is never reached
    slot->second.reserve(readers.size());
    for (const FieldReader& reader : readers) {
      Result<std::string_view> v = reader.Text(&scratch);
      if (!v.ok()) return v.status();
      slot->second.emplace_back(*v);
    }
  }
  return walk;
}

const std::vector<std::string>* Find(const FirstMatchIndex& index, std::string_view key) {
  auto it = index.find(key);
  return it == index.end() ? nullptr : &it->second;
}

Status CloseAll(RunTables* t) {
  // The order Horalia's own users close them in; nothing was changed, so
  // closing writes nothing.
  for (std::unique_ptr<Table>* table :
       {&t->soluc, &t->grupost, &t->proft, &t->aulat, &t->asignomt, &t->diashorast}) {
    Status status = (*table)->Close();
    if (!status.ok()) return status;
    table->reset();
  }
  return Status::OK();
}

}  // namespace

std::string OutputPathFor(const std::string& chosen_file) {
  return access::FolderOf(chosen_file) + kOutputName;
}

Status RunImport(access::Env* env, const ImportRequest& request, ImportSummary* summary) {
  *summary = ImportSummary();
  if (request.chosen_file.empty() || !env->FileExists(request.chosen_file) ||
      env->DirectoryExists(request.chosen_file)) {
    return Status::NotFound(kNoFileMessage);
  }
  summary->output_path = OutputPathFor(request.chosen_file);

  std::unique_ptr<access::XmlDocument> doc;
  PONTEVIA_RETURN_IF_ERROR(access::XmlDocument::Create(&doc));
  access::XmlNode horari = doc->CreateElement("HORARI");
  PONTEVIA_RETURN_IF_ERROR(doc->AppendChild(horari));
  access::XmlNode sessions = doc->CreateElement("SESSIONS");
  PONTEVIA_RETURN_IF_ERROR(horari.AppendChild(sessions));

  RunTables t;
  PONTEVIA_RETURN_IF_ERROR(OpenAll(env, request.workdir, &t));

  FieldReader dia, hora, prof, codgrupo, aula, asig, tarea;
  for (auto [reader, name] : {std::pair{&dia, "DIA"}, {&hora, "HORA"}, {&prof, "PROF"},
                              {&codgrupo, "CODGRUPO"}, {&aula, "AULA"}, {&asig, "ASIG"},
                              {&tarea, "TAREA"}}) {
    PONTEVIA_RETURN_IF_ERROR(FieldReader::Resolve(*t.soluc, name, kRedoSolution, reader));
  }

  FirstMatchIndex teachers, groups, slots, rooms, subjects;
  PONTEVIA_RETURN_IF_ERROR(BuildIndex(t.proft.get(), "ABREV", {"CODI"}, &teachers));
  PONTEVIA_RETURN_IF_ERROR(BuildIndex(t.grupost.get(), "ABREV", {"CODI", "CODICURS"}, &groups));
  PONTEVIA_RETURN_IF_ERROR(
      BuildIndex(t.diashorast.get(), "DIHO", {"DIA", "HORADESDE", "MINUTOS"}, &slots));
  PONTEVIA_RETURN_IF_ERROR(BuildIndex(t.aulat.get(), "ABREV", {"CODI"}, &rooms));
  PONTEVIA_RETURN_IF_ERROR(BuildIndex(t.asignomt.get(), "COD", {"CODI"}, &subjects));

  // Half-hour mode is decided over every record, those of day 0 included,
  // before the first one is exported.
  bool half_hours = false;
  int64_t record = 0;
  Status walk = t.soluc->First();
  while (walk.ok() && !t.soluc->Eof()) {
    double value = 0;
    PONTEVIA_RETURN_IF_ERROR(hora.Number(++record, &value));
    if ((half_hours = HasPositiveFraction(value))) break;
    walk = t.soluc->Next();
  }
  PONTEVIA_RETURN_IF_ERROR(walk);
  summary->half_hours = half_hours;

  static const std::string kEmpty;
  std::string scratch[5];
  record = 0;
  for (walk = t.soluc->First(); walk.ok() && !t.soluc->Eof(); walk = t.soluc->Next()) {
    ++record;
    double day = 0;
    PONTEVIA_RETURN_IF_ERROR(dia.Number(record, &day));
    if (IntegerValue(day) == 0) {
      ++summary->skipped_day_zero;
      continue;
    }
    double hour = 0;
    PONTEVIA_RETURN_IF_ERROR(hora.Number(record, &hour));

    Result<std::string_view> teacher_code = prof.Text(&scratch[0]);
    Result<std::string_view> group_code = codgrupo.Text(&scratch[1]);
    Result<std::string_view> room_code = aula.Text(&scratch[2]);
    Result<std::string_view> subject_code = asig.Text(&scratch[3]);
    Result<std::string_view> task = tarea.Text(&scratch[4]);
    for (const Status* status : {&teacher_code.status(), &group_code.status(),
                                 &room_code.status(), &subject_code.status(), &task.status()}) {
      if (!status->ok()) return *status;
    }
    // A non-blank task makes the record an activity, which belongs to no
    // group, room or subject even when its codes would match.
    const bool activity = !text::Trim(*task).empty();

    const std::vector<std::string>* teacher = Find(teachers, *teacher_code);
    const std::vector<std::string>* group = activity ? nullptr : Find(groups, *group_code);
    const std::vector<std::string>* slot = Find(slots, DayHourKey(NumberText(day), hour, half_hours));
    const std::vector<std::string>* room = activity ? nullptr : Find(rooms, *room_code);
    const std::vector<std::string>* subject = activity ? nullptr : Find(subjects, *subject_code);

    if (!teacher && !text::Trim(*teacher_code).empty()) ++summary->unresolved_teachers;
    if (!slot) ++summary->slots_not_found;
    if (!activity) {
      if (!group && !text::Trim(*group_code).empty()) ++summary->unresolved_groups;
      if (!room && !text::Trim(*room_code).empty()) ++summary->unresolved_rooms;
      if (!subject && !text::Trim(*subject_code).empty()) ++summary->unresolved_subjects;
    }

    access::XmlNode session = doc->CreateElement("SESSIO");
    // Every attribute is written, empty when unresolved, in this order.
    const std::pair<const char*, const std::string*> attributes[] = {
        {"placa", teacher ? &(*teacher)[0] : &kEmpty},
        {"curs", group ? &(*group)[1] : &kEmpty},
        {"grup", group ? &(*group)[0] : &kEmpty},
        {"dia", slot ? &(*slot)[0] : &kEmpty},
        {"hora", slot ? &(*slot)[1] : &kEmpty},
        {"durada", slot ? &(*slot)[2] : &kEmpty},
        {"aula", room ? &(*room)[0] : &kEmpty},
        {"materia", subject ? &(*subject)[0] : &kEmpty},
    };
    for (const auto& [name, value] : attributes) {
      PONTEVIA_RETURN_IF_ERROR(session.SetAttribute(name, *value));
    }
    PONTEVIA_RETURN_IF_ERROR(session.SetAttribute("activitat", *task));
    PONTEVIA_RETURN_IF_ERROR(sessions.AppendChild(session));
    ++summary->sessions;
  }
  PONTEVIA_RETURN_IF_ERROR(walk);

  PONTEVIA_RETURN_IF_ERROR(CloseAll(&t));
  Status saved = doc->Save(summary->output_path);
  if (!saved.ok()) {
    return saved.WithMessage("No se ha podido guardar el horario en «" +
                                      summary->output_path + "». " + saved.message());
  }
  return Status::OK();
}

}  // namespace pontevia::importer
