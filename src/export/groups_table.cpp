// GRUPOST, the groups table, then MATIB, the subjects by level table, with
// DENIVEL and DECURSO of ASIGNOMT.
//
// GRUPOST holds one record per GRUP of every CURS, course by course and group
// by group in document order. A group's short code is made from the level and
// course the user gave its course in CURSOST, found by the course's code.
// Then every ASIGNOMT record takes the level and course of the first group of
// its course (by CODICURS) into MATIB and into its own DENIVEL and DECURSO.
//
// Both lookups take the first record whose field is exactly equal (letter
// case counts, texts as the tables give them back). They go through hash
// maps built once, keeping the first record for each key, so that a large
// school costs one pass over each table instead of one per course or subject.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "access/dbf_table.h"
#include "access/xml_document.h"
#include "export/short_code.h"
#include "export/source_attributes.h"
#include "export/table_builders.h"

namespace pontevia::exporter {

namespace {

using access::FieldDef;
using access::FieldType;

enum { kAbrev, kTurno, kNivel, kCurso, kGrupo, kDescrip, kMarco, kCodi, kCodiCurs };

const access::TableDef& GroupsDef() {
  static const access::TableDef def{{
      FieldDef{"ABREV", FieldType::kCharacter, 10},
      FieldDef{"TURNO", FieldType::kCharacter, 1},
      FieldDef{"NIVEL", FieldType::kCharacter, 5},
      FieldDef{"CURSO", FieldType::kCharacter, 3},
      FieldDef{"GRUPO", FieldType::kCharacter, 2},
      FieldDef{"DESCRIP", FieldType::kCharacter, 80},
      FieldDef{"MARCO", FieldType::kCharacter, 1},
      FieldDef{"CODI", FieldType::kCharacter, 20},
      FieldDef{"CODICURS", FieldType::kCharacter, 20},
  },
  /*indexes=*/{}};
  return def;
}

enum { kMatAbrev, kMatAbrev8, kMatNombre, kMatNivel, kMatCurso };

const access::TableDef& SubjectsByLevelDef() {
  static const access::TableDef def{
      {
          FieldDef{"ABREV", FieldType::kCharacter, 10},
          FieldDef{"ABREV8", FieldType::kCharacter, 10},
          FieldDef{"NOMBRE", FieldType::kCharacter, 80},
          FieldDef{"NIVEL", FieldType::kCharacter, 5},
          FieldDef{"CURSO", FieldType::kCharacter, 3},
      },
      {access::IndexDef{"ABREV", "ABREV"}},
  };
  return def;
}

struct LevelAndCourse {
  std::string level;
  std::string course;
  std::string description;  // courses only
};

using FirstByCode = std::unordered_map<std::string, LevelAndCourse>;

// Field positions of a table written by another step, by name, so a table
// whose layout is not the expected one fails with the engine's message.
Status Positions(const access::Table& table, std::initializer_list<std::string_view> names,
                 int* out) {
  for (std::string_view name : names) {
    Result<int> index = table.FieldIndex(name);
    if (!index.ok()) return index.status();
    *out++ = *index;
  }
  return Status::OK();
}

// CURSOST: CODI -> the first record's NIVEL, CURSO and DESCRIPCIO.
Status IndexCourses(BuildContext* ctx, FirstByCode* courses) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(ctx->env, ctx->folder, "CURSOST",
                                               access::ShareMode::kExclusive, &table));
  int f[4];
  PONTEVIA_RETURN_IF_ERROR(Positions(*table, {"CODI", "NIVEL", "CURSO", "DESCRIPCIO"}, f));
  PONTEVIA_RETURN_IF_ERROR(table->First());
  while (!table->Eof()) {
    courses->try_emplace(std::string(table->TextView(f[0])), std::string(table->TextView(f[1])),
                         std::string(table->TextView(f[2])), std::string(table->TextView(f[3])));
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  }
  return table->Close();
}

Status WriteGroups(access::XmlDocument* doc, BuildContext* ctx) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "GRUPOST", GroupsDef(), &table));
  int64_t records = 0;

  const std::vector<access::XmlNode> courses = doc->SelectNodes("/CENTRE/CURSOS/CURS");
  FirstByCode levels;
  // CURSOST is read only when there is a course to look up.
  if (!courses.empty()) PONTEVIA_RETURN_IF_ERROR(IndexCourses(ctx, &levels));

  static const LevelAndCourse kNotFound;
  UsedCodeList used;  // one list for the groups of every course
  for (const access::XmlNode& course : courses) {
    const std::string course_code = ReadAttribute(course, "codi", ctx->warnings);
    auto found = levels.find(course_code);
    const LevelAndCourse& lc = found == levels.end() ? kNotFound : found->second;

    for (const access::XmlNode& group : course.Children("GRUP")) {
      const std::string codi = ReadAttribute(group, "codi", ctx->warnings);
      const std::string nom = ReadAttribute(group, "nom", ctx->warnings);
      const std::string code =
          MakeShortCode(GroupCodeBase(lc.level, lc.course, nom), ShortCodeVariant::kGroup, &used);

      PONTEVIA_RETURN_IF_ERROR(table->Append());
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kAbrev, code));
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kNivel, lc.level));
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kCurso, lc.course));
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kGrupo, nom));
      PONTEVIA_RETURN_IF_ERROR(
          table->SetText(kDescrip, "(" + codi + ") " + lc.description + " - " + nom));
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kMarco, "0"));
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodi, codi));
      PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodiCurs, course_code));
      PONTEVIA_RETURN_IF_ERROR(table->Post());
      ++records;
    }
  }

  PONTEVIA_RETURN_IF_ERROR(table->Close());
  ctx->counts->push_back({"GRUPOST", records});
  return Status::OK();
}

// GRUPOST as written: CODICURS -> the first group's NIVEL and CURSO.
Status IndexGroups(BuildContext* ctx, FirstByCode* groups) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(ctx->env, ctx->folder, "GRUPOST",
                                               access::ShareMode::kExclusive, &table));
  int f[3];
  PONTEVIA_RETURN_IF_ERROR(Positions(*table, {"CODICURS", "NIVEL", "CURSO"}, f));
  PONTEVIA_RETURN_IF_ERROR(table->First());
  while (!table->Eof()) {
    groups->try_emplace(std::string(table->TextView(f[0])), std::string(table->TextView(f[1])),
                        std::string(table->TextView(f[2])), std::string());
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  }
  return table->Close();
}

Status WriteSubjectsByLevel(BuildContext* ctx) {
  std::unique_ptr<access::Table> matib;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "MATIB", SubjectsByLevelDef(), &matib));
  int64_t records = 0;

  FirstByCode groups;
  PONTEVIA_RETURN_IF_ERROR(IndexGroups(ctx, &groups));

  std::unique_ptr<access::Table> subjects;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(ctx->env, ctx->folder, "ASIGNOMT",
                                               access::ShareMode::kExclusive, &subjects));
  int f[6];
  PONTEVIA_RETURN_IF_ERROR(Positions(
      *subjects, {"CODICURS", "COD", "CODLARGO", "NOMBRE", "DENIVEL", "DECURSO"}, f));
  PONTEVIA_RETURN_IF_ERROR(subjects->First());
  while (!subjects->Eof()) {
    auto found = groups.find(std::string(subjects->TextView(f[0])));
    if (found != groups.end()) {
      const LevelAndCourse& lc = found->second;
      PONTEVIA_RETURN_IF_ERROR(matib->Append());
      PONTEVIA_RETURN_IF_ERROR(matib->SetText(kMatAbrev, subjects->TextView(f[1])));
      PONTEVIA_RETURN_IF_ERROR(matib->SetText(kMatAbrev8, subjects->TextView(f[2])));
      PONTEVIA_RETURN_IF_ERROR(matib->SetText(kMatNombre, subjects->TextView(f[3])));
      PONTEVIA_RETURN_IF_ERROR(matib->SetText(kMatNivel, lc.level));
      PONTEVIA_RETURN_IF_ERROR(matib->SetText(kMatCurso, lc.course));
      PONTEVIA_RETURN_IF_ERROR(matib->Post());
      ++records;

      // The move to the next record stores this edit, the last one included.
      PONTEVIA_RETURN_IF_ERROR(subjects->Edit());
      PONTEVIA_RETURN_IF_ERROR(subjects->SetText(f[4], lc.level));
      PONTEVIA_RETURN_IF_ERROR(subjects->SetText(f[5], lc.course));
    }
    PONTEVIA_RETURN_IF_ERROR(subjects->Next());
  }

  PONTEVIA_RETURN_IF_ERROR(matib->Close());
  PONTEVIA_RETURN_IF_ERROR(subjects->Close());
  ctx->counts->push_back({"MATIB", records});
  return Status::OK();
}

}  // namespace

Status BuildGroupsTables(access::XmlDocument* doc, BuildContext* ctx) {
  PONTEVIA_RETURN_IF_ERROR(WriteGroups(doc, ctx));
  return WriteSubjectsByLevel(ctx);
}

}  // namespace pontevia::exporter
