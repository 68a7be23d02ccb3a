// ASIGNOMT, the subjects and activities table: one record per MATERIA, then
// one per ACTIVITAT, both in document order. Subjects get a short code;
// activities keep their GestIB identifier as their code and never take part
// in the subjects' numbering.
#include <memory>

#include "access/dbf_table.h"
#include "access/xml_document.h"
#include "export/short_code.h"
#include "export/source_attributes.h"
#include "export/table_builders.h"

namespace pontevia::exporter {

namespace {

using access::FieldDef;
using access::FieldType;

// Field positions, in the order of the definition below.
enum { kCod, kCodLargo, kNombre, kCodi, kHoras, kCodiCurs, kEsTarea, kDeNivel, kDeCurso };

const access::TableDef& SubjectsDef() {
  static const access::TableDef def{{
      FieldDef{"COD", FieldType::kCharacter, 10},
      FieldDef{"CODLARGO", FieldType::kCharacter, 10},
      FieldDef{"NOMBRE", FieldType::kCharacter, 80},
      FieldDef{"CODI", FieldType::kCharacter, 20},
      FieldDef{"HORAS", FieldType::kCharacter, 8},
      FieldDef{"CODICURS", FieldType::kCharacter, 20},
      FieldDef{"ESTAREA", FieldType::kLogical, 1},
      FieldDef{"DENIVEL", FieldType::kCharacter, 5},
      FieldDef{"DECURSO", FieldType::kCharacter, 3},
  },
  /*indexes=*/{}};
  return def;
}

// Every record starts with four hours; the assignment lines step turns them
// into the lines' hours and sessions.
constexpr char kDefaultHours[] = "4";

}  // namespace

Status BuildSubjectsTable(access::XmlDocument* doc, BuildContext* ctx) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "ASIGNOMT", SubjectsDef(), &table));
  int64_t records = 0;

  UsedCodeList used;
  for (const access::XmlNode& subject : doc->SelectNodes("/CENTRE/MATERIES/MATERIA")) {
    const std::string codi = ReadAttribute(subject, "codi", ctx->warnings);
    const std::string curs = ReadAttribute(subject, "curs", ctx->warnings);
    const std::string descripcio = ReadAttribute(subject, "descripcio", ctx->warnings);
    const std::string curta = ReadAttribute(subject, "curta", ctx->warnings);
    const std::string code = MakeShortCode(curta, ShortCodeVariant::kSubject, &used);

    PONTEVIA_RETURN_IF_ERROR(table->Append());
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCod, code));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodLargo, SubjectFirstCut(curta)));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kNombre, descripcio));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodi, codi));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kHoras, kDefaultHours));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodiCurs, curs));
    PONTEVIA_RETURN_IF_ERROR(table->SetBool("ESTAREA", false));
    PONTEVIA_RETURN_IF_ERROR(table->Post());
    ++records;
  }

  for (const access::XmlNode& activity : doc->SelectNodes("/CENTRE/ACTIVITATS/ACTIVITAT")) {
    const std::string codi = ReadAttribute(activity, "codi", ctx->warnings);
    const std::string descripcio = ReadAttribute(activity, "descripcio", ctx->warnings);
    const std::string curta = ReadAttribute(activity, "curta", ctx->warnings);

    PONTEVIA_RETURN_IF_ERROR(table->Append());
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCod, codi));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodLargo, curta.substr(0, 10)));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kNombre, descripcio));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodi, codi));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kHoras, kDefaultHours));
    PONTEVIA_RETURN_IF_ERROR(table->SetBool("ESTAREA", true));
    PONTEVIA_RETURN_IF_ERROR(table->Post());
    ++records;
  }

  PONTEVIA_RETURN_IF_ERROR(table->Close());
  ctx->counts->push_back({"ASIGNOMT", records});
  return Status::OK();
}

}  // namespace pontevia::exporter
