// horalia-standin: plays Horalia between `pontevia export` and
// `pontevia import`, for the demo and the round-trip tests. It is not part of
// the product, but it writes real dBase tables with the project's engine.
//
//   horalia-standin --workdir DIR [--days N] [--periods N] [--half-hours]
//                   [--seed S] [--manifest FILE]
//
// It fills DIASHORAST with D days of P periods (the key of day d, period p is
// the decimal d immediately followed by the decimal p), then writes SOLUC:
// every session of every ASIGT line on a slot, with a teacher from PROFT and
// a room from AULAT (the line's own CPROF and CAULA when it has them), plus
// some activity records (TAREA set) and some records of day 0, which Horalia
// uses for sessions it could not place. With --half-hours the periods are
// half hours and HORA goes in steps of one half (period p is HORA (p+1)/2).
//
// The manifest lists every SOLUC record in record order, with what the import
// must write for it, worked out by walking the working tables from their
// first record for the first exactly equal code. It is a tab-separated text
// in Windows-1252 (as the tables) with one header line:
//   DIA HORA PROF CODGRUPO AULA ASIG TAREA EXPORTED placa curs grup dia hora
//   durada aula materia activitat
// EXPORTED is 1 or 0 (day 0); the last nine columns are empty for day 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "access/dbf_table.h"
#include "access/env.h"
#include "base/status.h"
#include "text/ansi.h"

namespace {

using pontevia::Status;
using pontevia::access::Env;
using pontevia::access::FieldType;
using pontevia::access::ShareMode;
using pontevia::access::Table;
using pontevia::access::TableDef;

struct Options {
  std::string workdir;
  int days = 5;
  int periods = 0;  // 0: 7 whole hours, or 14 half hours
  bool half_hours = false;
  uint32_t seed = 1;
  std::string manifest;
};

// A record of a working table: the values of the fields asked for.
using Row = std::vector<std::string>;

Status ReadRows(Env* env, const std::string& folder, const std::string& name,
                const std::vector<std::string>& fields, std::vector<Row>* rows) {
  std::unique_ptr<Table> table;
  PONTEVIA_RETURN_IF_ERROR(Table::Open(env, folder, name, ShareMode::kShared, &table));
  Status walk = table->First();
  for (; walk.ok() && !table->Eof(); walk = table->Next()) {
    Row row;
    for (const std::string& field : fields) {
      pontevia::Result<int> index = table->FieldIndex(field);
      if (!index.ok()) return index.status();
      switch (table->fields()[*index].type) {
        case FieldType::kLogical: {
          pontevia::Result<bool> value = table->GetBool(field);
          if (!value.ok()) return value.status();
          row.push_back(*value ? "T" : "F");
          break;
        }
        case FieldType::kInteger:
        case FieldType::kFloat: {
          pontevia::Result<double> value = table->GetFloat(field);
          if (!value.ok()) return value.status();
          char buffer[40];
          std::snprintf(buffer, sizeof buffer, "%.17g", *value);
          row.push_back(buffer);
          break;
        }
        default: {
          pontevia::Result<std::string> value = table->GetText(field);
          if (!value.ok()) return value.status();
          row.push_back(std::move(value).value());
        }
      }
    }
    rows->push_back(std::move(row));
  }
  PONTEVIA_RETURN_IF_ERROR(walk);
  return table->Close();
}

// The first row, in record order, whose column `key` equals `code` exactly;
// null when none does. The plain walk the import's indexes must agree with.
const Row* FirstMatch(const std::vector<Row>& rows, size_t key, const std::string& code) {
  for (const Row& row : rows) {
    if (row[key] == code) return &row;
  }
  return nullptr;
}

struct Slot {
  int day = 0;
  int period = 0;
  double hora = 0;
  std::string dia, horadesde, minutos;  // the frame's texts
};

std::string Clock(int minutes) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", minutes / 60 % 24, minutes % 60);
  return buffer;
}

Status WriteFrame(Env* env, const Options& o, std::vector<Slot>* slots) {
  static const char* const kDayNames[] = {"Lunes",  "Martes", "Miércoles", "Jueves",
                                          "Viernes", "Sábado", "Domingo"};
  TableDef def;
  for (auto [name, width] : {std::pair{"DIHO", 10}, {"CODDIHO", 10}, {"DIA", 20}, {"TEXTODIA", 20},
                             {"HORA", 8}, {"TEXTOHOR", 8}, {"HORADESDE", 8}, {"HORAHASTA", 8},
                             {"MINUTOS", 8}, {"MARCO", 1}, {"MARCOXML", 10}}) {
    def.fields.push_back({name, FieldType::kCharacter, width});
  }
  std::unique_ptr<Table> frame;
  PONTEVIA_RETURN_IF_ERROR(Table::Create(env, o.workdir, "DIASHORAST", def, &frame));
  const int length = o.half_hours ? 30 : 55;
  for (int day = 1; day <= o.days; ++day) {
    int start = 8 * 60;
    for (int period = 1; period <= o.periods; ++period) {
      // Whole-hour frames have the morning break after the third period.
      if (!o.half_hours && period == 4) start += 30;
      Slot slot;
      slot.day = day;
      slot.period = period;
      slot.hora = o.half_hours ? (period + 1) / 2.0 : period;
      slot.dia = std::to_string(day);
      slot.horadesde = Clock(start);
      slot.minutos = std::to_string(length);
      const std::string key = std::to_string(day) + std::to_string(period);
      // Written in Windows-1252, as Horalia stores text.
      const std::string day_name = pontevia::text::Utf8ToAnsi(kDayNames[(day - 1) % 7]);
      PONTEVIA_RETURN_IF_ERROR(frame->Append());
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("DIHO", key));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("CODDIHO", key));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("DIA", slot.dia));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("TEXTODIA", day_name));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("HORA", std::to_string(period)));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("TEXTOHOR", std::to_string(period) + "\xAA"));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("HORADESDE", slot.horadesde));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("HORAHASTA", Clock(start + length)));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("MINUTOS", slot.minutos));
      PONTEVIA_RETURN_IF_ERROR(frame->SetText("MARCO", "1"));
      PONTEVIA_RETURN_IF_ERROR(frame->Post());
      slots->push_back(std::move(slot));
      start += length;
    }
  }
  return frame->Close();
}

// One SOLUC record and what the import must make of it.
struct Record {
  int dia = 0;
  double hora = 0;
  std::string prof, codgrupo, aula, asig, tarea;
  int session = 0;  // the session's number within its line, as Horalia keeps it
  std::string expected[9];
};

// A small generator with the same sequence on every platform and library.
class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(engine_() % n); }
  template <typename T>
  void Shuffle(std::vector<T>* v) {
    for (size_t i = v->size(); i > 1; --i) std::swap((*v)[i - 1], (*v)[Below(i)]);
  }

 private:
  std::mt19937 engine_;
};

std::string HoraText(double hora) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", hora);
  return buffer;
}

Status Run(Env* env, const Options& o) {
  // What the export left: column numbers below follow these field lists.
  std::vector<Row> lines, teachers, rooms, subjects, groups;
  PONTEVIA_RETURN_IF_ERROR(ReadRows(env, o.workdir, "ASIGT",
                                    {"CASIG", "CPROF", "CGRUP", "CAULA", "HORAS"}, &lines));
  PONTEVIA_RETURN_IF_ERROR(ReadRows(env, o.workdir, "PROFT", {"ABREV", "CODI"}, &teachers));
  PONTEVIA_RETURN_IF_ERROR(ReadRows(env, o.workdir, "AULAT", {"ABREV", "CODI"}, &rooms));
  PONTEVIA_RETURN_IF_ERROR(
      ReadRows(env, o.workdir, "ASIGNOMT", {"COD", "CODI", "ESTAREA"}, &subjects));
  PONTEVIA_RETURN_IF_ERROR(
      ReadRows(env, o.workdir, "GRUPOST", {"ABREV", "CODI", "CODICURS"}, &groups));

  std::vector<Slot> slots;
  PONTEVIA_RETURN_IF_ERROR(WriteFrame(env, o, &slots));
  Random random(o.seed);

  // Each group runs through the frame in an order of its own.
  std::vector<std::pair<std::string, std::vector<size_t>>> group_slots;
  auto next_slot = [&](const std::string& group) -> const Slot& {
    std::vector<size_t>* order = nullptr;
    for (auto& [name, o] : group_slots) {
      if (name == group) order = &o;
    }
    if (!order) order = &group_slots.emplace_back(group, std::vector<size_t>()).second;
    if (order->empty()) {
      for (size_t i = 0; i < slots.size(); ++i) order->push_back(i);
      random.Shuffle(order);
    }
    const Slot& slot = slots[order->back()];
    order->pop_back();
    return slot;
  };

  std::vector<std::string> activity_codes;
  for (const Row& s : subjects) {
    if (s[2] == "T") activity_codes.push_back(s[0]);
  }
  if (activity_codes.empty()) activity_codes.push_back("GUARDIA");

  auto expect = [&](Record* r, const Slot* slot) {
    const Row* teacher = FirstMatch(teachers, 0, r->prof);
    const Row* group = FirstMatch(groups, 0, r->codgrupo);
    const Row* room = FirstMatch(rooms, 0, r->aula);
    const Row* subject = FirstMatch(subjects, 0, r->asig);
    const bool activity = !r->tarea.empty();
    r->expected[0] = teacher ? (*teacher)[1] : "";
    r->expected[1] = group && !activity ? (*group)[2] : "";
    r->expected[2] = group && !activity ? (*group)[1] : "";
    r->expected[3] = slot->dia;
    r->expected[4] = slot->horadesde;
    r->expected[5] = slot->minutos;
    r->expected[6] = room && !activity ? (*room)[1] : "";
    r->expected[7] = subject && !activity ? (*subject)[1] : "";
    r->expected[8] = r->tarea;
  };

  std::vector<Record> records;
  for (const Row& line : lines) {
    const double hours = std::atof(line[4].c_str());
    const int sessions = hours > 0 ? static_cast<int>(std::ceil(hours)) : 0;
    const Row* teacher = teachers.empty() ? nullptr : &teachers[random.Below(teachers.size())];
    const Row* room = rooms.empty() ? nullptr : &rooms[random.Below(rooms.size())];
    const Row* subject = FirstMatch(subjects, 0, line[0]);
    for (int n = 1; n <= sessions; ++n) {
      const Slot& slot = next_slot(line[2]);
      Record r;
      r.dia = slot.day;
      r.hora = slot.hora;
      r.prof = !line[1].empty() ? line[1] : teacher ? (*teacher)[0] : "";
      r.codgrupo = line[2];
      r.aula = !line[3].empty() ? line[3] : room ? (*room)[0] : "";
      r.asig = line[0];
      // A line of an activity (a group whose course is empty gets those)
      // comes back as a task.
      if (subject && (*subject)[2] == "T") r.tarea = line[0];
      r.session = n;
      expect(&r, &slot);
      records.push_back(std::move(r));
    }
  }

  // Tasks: about one teacher in three has one or two, and some carry the
  // codes of a real group, room and subject, which the import must empty.
  for (size_t t = 0; t < teachers.size(); ++t) {
    if (random.Below(3) != 0) continue;
    const int count = 1 + static_cast<int>(random.Below(2));
    for (int n = 0; n < count; ++n) {
      const Slot& slot = slots[random.Below(slots.size())];
      Record r;
      r.dia = slot.day;
      r.hora = slot.hora;
      r.prof = teachers[t][0];
      r.tarea = activity_codes[random.Below(activity_codes.size())];
      if (random.Below(2) == 0 && !groups.empty() && !rooms.empty()) {
        r.codgrupo = groups[random.Below(groups.size())][0];
        r.aula = rooms[random.Below(rooms.size())][0];
        r.asig = subjects.empty() ? r.tarea : subjects[random.Below(subjects.size())][0];
      }
      expect(&r, &slot);
      records.push_back(std::move(r));
    }
  }

  // Sessions Horalia could not place carry day 0 and are not exported; one
  // in twenty, at least three when there is anything to copy.
  const size_t placed = records.size();
  const size_t unplaced = placed == 0 ? 0 : std::max<size_t>(3, placed / 20);
  for (size_t n = 0; n < unplaced; ++n) {
    Record r = records[random.Below(placed)];
    r.dia = 0;
    for (std::string& e : r.expected) e.clear();
    records.push_back(std::move(r));
  }
  random.Shuffle(&records);

  TableDef def;
  def.fields = {{"DIA", FieldType::kInteger, 0},    {"HORA", FieldType::kFloat, 0},
                {"PROF", FieldType::kCharacter, 10}, {"CODGRUPO", FieldType::kCharacter, 10},
                {"AULA", FieldType::kCharacter, 10}, {"ASIG", FieldType::kCharacter, 10},
                {"TAREA", FieldType::kCharacter, 10}, {"SESION", FieldType::kInteger, 0},
                {"FIJA", FieldType::kLogical, 0}};
  std::unique_ptr<Table> soluc;
  PONTEVIA_RETURN_IF_ERROR(Table::Create(env, o.workdir, "SOLUC", def, &soluc));
  for (const Record& r : records) {
    PONTEVIA_RETURN_IF_ERROR(soluc->Append());
    PONTEVIA_RETURN_IF_ERROR(soluc->SetInteger("DIA", r.dia));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetFloat("HORA", r.hora));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetText("PROF", r.prof));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetText("CODGRUPO", r.codgrupo));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetText("AULA", r.aula));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetText("ASIG", r.asig));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetText("TAREA", r.tarea));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetInteger("SESION", r.session));
    PONTEVIA_RETURN_IF_ERROR(soluc->SetBool("FIJA", false));
    PONTEVIA_RETURN_IF_ERROR(soluc->Post());
  }
  PONTEVIA_RETURN_IF_ERROR(soluc->Close());

  size_t tasks = 0, exported = 0;
  for (const Record& r : records) {
    if (r.dia == 0) continue;
    ++exported;
    if (!r.tarea.empty()) ++tasks;
  }
  std::printf("DIASHORAST: %zu franjas (%d días x %d periodos%s)\n", slots.size(), o.days,
              o.periods, o.half_hours ? " de media hora" : "");
  std::printf("SOLUC: %zu registros: %zu sesiones colocadas (%zu tareas) y %zu sin colocar (día 0)\n",
              records.size(), exported, tasks, records.size() - exported);

  if (o.manifest.empty()) return Status::OK();
  std::string out =
      "DIA\tHORA\tPROF\tCODGRUPO\tAULA\tASIG\tTAREA\tEXPORTED\tplaca\tcurs\tgrup\tdia\thora\t"
      "durada\taula\tmateria\tactivitat\n";
  for (const Record& r : records) {
    out += std::to_string(r.dia) + "\t" + HoraText(r.hora) + "\t" + r.prof + "\t" + r.codgrupo +
           "\t" + r.aula + "\t" + r.asig + "\t" + r.tarea + "\t" + (r.dia != 0 ? "1" : "0");
    for (const std::string& e : r.expected) out += "\t" + e;
    out += "\n";
  }
  std::unique_ptr<pontevia::access::WritableFile> file;
  PONTEVIA_RETURN_IF_ERROR(env->NewWritableFile(o.manifest, &file));
  PONTEVIA_RETURN_IF_ERROR(file->Append(out));
  return file->Close();
}

void Usage() {
  std::fprintf(stderr,
               "Uso: horalia-standin --workdir CARPETA [--days N] [--periods N] [--half-hours]\n"
               "                     [--seed S] [--manifest ARCHIVO]\n");
}

bool ParseInt(const char* text, int low, int high, int* out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    int number = 0;
    if (arg == "--workdir" && has_value) {
      o.workdir = argv[++i];
    } else if (arg == "--manifest" && has_value) {
      o.manifest = argv[++i];
    } else if (arg == "--days" && has_value && ParseInt(argv[i + 1], 1, 7, &number)) {
      o.days = number;
      ++i;
    } else if (arg == "--periods" && has_value && ParseInt(argv[i + 1], 1, 99, &number)) {
      o.periods = number;
      ++i;
    } else if (arg == "--seed" && has_value && ParseInt(argv[i + 1], 0, 2147483647, &number)) {
      o.seed = static_cast<uint32_t>(number);
      ++i;
    } else if (arg == "--half-hours") {
      o.half_hours = true;
    } else {
      std::fprintf(stderr, "Argumento no válido: %s\n", arg.c_str());
      Usage();
      return 2;
    }
  }
  if (o.workdir.empty()) {
    Usage();
    return 2;
  }
  if (o.periods == 0) o.periods = o.half_hours ? 14 : 7;
  Status status = Run(Env::Default(), o);
  if (!status.ok()) {
    std::fprintf(stderr, "horalia-standin: %s\n", status.message().c_str());
    return 1;
  }
  return 0;
}
