// CURSOST, the courses table, and the loop of the level and course dialog.
// The source document gives each course only its code and description; the
// groups' short codes need a level and a course within the level, which only
// the user can say. So the table is written with both empty and the dialog is
// shown, a fresh showing each time, until no course lacks them or the user
// leaves through the forced exit (offered once a showing has ended with data
// missing) or closes the dialog from its title bar.
#include <memory>

#include "access/dbf_table.h"
#include "access/xml_document.h"
#include "export/source_attributes.h"
#include "export/table_builders.h"
#include "export/user_interaction.h"

namespace pontevia::exporter {

namespace {

using access::FieldDef;
using access::FieldType;

enum { kCodi, kDescripcio, kNivel, kCurso };

const access::TableDef& CoursesDef() {
  static const access::TableDef def{{
      FieldDef{"CODI", FieldType::kCharacter, 20},
      FieldDef{"DESCRIPCIO", FieldType::kCharacter, 100},
      FieldDef{"NIVEL", FieldType::kCharacter, 5},
      FieldDef{"CURSO", FieldType::kCharacter, 3},
  },
  /*indexes=*/{}};
  return def;
}

constexpr char kForcedExitReason[] = "fuera";

}  // namespace

Status BuildCoursesTable(access::XmlDocument* doc, BuildContext* ctx, bool* force_exit_offered,
                         bool* forced_exit) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "CURSOST", CoursesDef(), &table));
  int64_t records = 0;
  for (const access::XmlNode& course : doc->SelectNodes("/CENTRE/CURSOS/CURS")) {
    const std::string codi = ReadAttribute(course, "codi", ctx->warnings);
    const std::string descripcio = ReadAttribute(course, "descripcio", ctx->warnings);
    PONTEVIA_RETURN_IF_ERROR(table->Append());
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodi, codi));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kDescripcio, descripcio));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kNivel, ""));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCurso, ""));
    PONTEVIA_RETURN_IF_ERROR(table->Post());
    ++records;
  }
  PONTEVIA_RETURN_IF_ERROR(table->Close());
  table.reset();
  ctx->counts->push_back({"CURSOST", records});

  *forced_exit = false;
  for (;;) {
    CoursesDialogOutcome outcome;  // every showing starts afresh
    PONTEVIA_RETURN_IF_ERROR(
        ctx->ui->ShowCoursesDialog(ctx->folder, *force_exit_offered, &outcome));
    if (outcome.missing_data) {
      *force_exit_offered = true;
      continue;
    }
    *forced_exit = outcome.exit_reason == kForcedExitReason;
    return Status::OK();
  }
}

}  // namespace pontevia::exporter
