// ASIGT, the assignment lines table. After the user agrees, every group of
// GRUPOST gets one line for each ASIGNOMT record of its course (same
// CODICURS, letter case counts), in GRUPOST's record order and within a group
// in ASIGNOMT's. Teacher and room stay empty for the user to fill in Horalia.
//
// ASIGNOMT is walked once into a map from CODICURS to its records in order,
// instead of once per group.
#include "export/assignment_lines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "access/dbf_table.h"
#include "export/table_builders.h"
#include "export/user_interaction.h"

namespace pontevia::exporter {

namespace {

using access::FieldDef;
using access::FieldType;

enum {
  kCAsig, kCProf, kCGrup, kCAula, kTurno, kNivel, kCurso, kGrupo,
  kHoras, kSesiones, kNConex, kCTarea
};

const access::TableDef& LinesDef() {
  static const access::TableDef def{{
      FieldDef{"CASIG", FieldType::kCharacter, 10},
      FieldDef{"CPROF", FieldType::kCharacter, 10},
      FieldDef{"CGRUP", FieldType::kCharacter, 10},
      FieldDef{"CAULA", FieldType::kCharacter, 10},
      FieldDef{"TURNO", FieldType::kCharacter, 1},
      FieldDef{"NIVEL", FieldType::kCharacter, 5},
      FieldDef{"CURSO", FieldType::kCharacter, 3},
      FieldDef{"GRUPO", FieldType::kCharacter, 2},
      FieldDef{"HORAS", FieldType::kFloat, 0},
      FieldDef{"SESIONES", FieldType::kCharacter, 20},
      FieldDef{"NCONEX", FieldType::kCharacter, 4},
      FieldDef{"CTAREA", FieldType::kCharacter, 10},
  },
  /*indexes=*/{}};
  return def;
}

// A number as the Spanish regional settings write it: optional blanks, an
// optional sign, digits with at most one decimal comma, an optional exponent.
bool ParseCommaNumber(std::string_view s, double* value) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  std::string plain;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') plain.push_back('-');
    ++i;
  }
  int digits = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) plain.push_back(s[i]);
  if (i < s.size() && s[i] == ',') {
    plain.push_back('.');
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) plain.push_back(s[i]);
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    plain.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain.push_back(s[i++]);
    int exponent_digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++exponent_digits) {
      plain.push_back(s[i]);
    }
    if (exponent_digits == 0) return false;
  }
  if (i != s.size()) return false;
  auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), *value);
  return ec == std::errc() && end == plain.data() + plain.size() && std::isfinite(*value);
}

struct SubjectLine {
  std::string code;   // COD
  std::string hours;  // HORAS, as text
};

// ASIGNOMT: CODICURS -> its records, in record order.
using SubjectsByCourse = std::unordered_map<std::string, std::vector<SubjectLine>>;

Status IndexSubjects(access::Table* subjects, SubjectsByCourse* by_course) {
  Result<int> codicurs = subjects->FieldIndex("CODICURS");
  Result<int> cod = subjects->FieldIndex("COD");
  Result<int> horas = subjects->FieldIndex("HORAS");
  for (const auto* r : {&codicurs, &cod, &horas}) {
    if (!r->ok()) return r->status();
  }
  PONTEVIA_RETURN_IF_ERROR(subjects->First());
  while (!subjects->Eof()) {
    (*by_course)[std::string(subjects->TextView(*codicurs))].push_back(
        {std::string(subjects->TextView(*cod)), std::string(subjects->TextView(*horas))});
    PONTEVIA_RETURN_IF_ERROR(subjects->Next());
  }
  return Status::OK();
}

Status ProposeLines(access::Table* groups, access::Table* subjects, access::Table* lines,
                    int64_t* records) {
  SubjectsByCourse by_course;
  PONTEVIA_RETURN_IF_ERROR(IndexSubjects(subjects, &by_course));

  int f[6];
  const char* names[] = {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "CODICURS"};
  for (int i = 0; i < 6; ++i) {
    Result<int> index = groups->FieldIndex(names[i]);
    if (!index.ok()) return index.status();
    f[i] = *index;
  }
  PONTEVIA_RETURN_IF_ERROR(groups->First());
  while (!groups->Eof()) {
    auto found = by_course.find(std::string(groups->TextView(f[5])));
    if (found != by_course.end()) {
      for (const SubjectLine& subject : found->second) {
        PONTEVIA_RETURN_IF_ERROR(lines->Append());
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kCAsig, subject.code));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kCProf, ""));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kCGrup, groups->TextView(f[0])));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kCAula, ""));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kTurno, groups->TextView(f[1])));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kNivel, groups->TextView(f[2])));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kCurso, groups->TextView(f[3])));
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kGrupo, groups->TextView(f[4])));
        std::optional<double> hours = LineHours(subject.hours);
        if (hours) PONTEVIA_RETURN_IF_ERROR(lines->SetFloat(kHoras, *hours));
        // The pattern follows the hours as the column holds them.
        Result<double> stored = lines->GetFloat(kHoras);
        if (!stored.ok()) return stored.status();
        PONTEVIA_RETURN_IF_ERROR(lines->SetText(kSesiones, SessionPattern(*stored)));
        PONTEVIA_RETURN_IF_ERROR(lines->Post());
        ++*records;
      }
    }
    PONTEVIA_RETURN_IF_ERROR(groups->Next());
  }
  return Status::OK();
}

}  // namespace

std::optional<double> LineHours(std::string_view horas) {
  std::string text(horas);
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  if (text.empty()) return std::nullopt;
  double value = 0;
  if (!ParseCommaNumber(text, &value)) return 1.0;
  return value;
}

std::string SessionPattern(double hours) {
  // Hours beyond any school's week only make the leading number long; the
  // field keeps its first 20 characters.
  const double n = std::ceil(std::min(hours, 1e15));
  if (!(n > 0)) return std::string();
  if (n <= 13) return std::string(static_cast<size_t>(n), '1');
  return std::to_string(static_cast<int64_t>(n) - 13) + std::string(13, '1');
}

Status BuildAssignmentLines(BuildContext* ctx) {
  std::unique_ptr<access::Table> lines;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "ASIGT", LinesDef(), &lines));
  std::unique_ptr<access::Table> groups;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(ctx->env, ctx->folder, "GRUPOST",
                                               access::ShareMode::kExclusive, &groups));
  std::unique_ptr<access::Table> subjects;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(ctx->env, ctx->folder, "ASIGNOMT",
                                               access::ShareMode::kExclusive, &subjects));

  int64_t records = 0;
  if (ctx->ui->ConfirmAssignmentLines()) {
    PONTEVIA_RETURN_IF_ERROR(ProposeLines(groups.get(), subjects.get(), lines.get(), &records));
  }

  PONTEVIA_RETURN_IF_ERROR(lines->Close());
  PONTEVIA_RETURN_IF_ERROR(groups->Close());
  PONTEVIA_RETURN_IF_ERROR(subjects->Close());
  ctx->counts->push_back({"ASIGT", records});
  return Status::OK();
}

}  // namespace pontevia::exporter
