// PROFT, the teachers table: one record per staff post (PLACA), with the
// teacher variant of the short code.
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

enum { kAbrev, kNombre, kDepart, kDni, kCodi };

const access::TableDef& TeachersDef() {
  static const access::TableDef def{{
      FieldDef{"ABREV", FieldType::kCharacter, 10},
      FieldDef{"NOMBRE", FieldType::kCharacter, 80},
      FieldDef{"DEPART", FieldType::kCharacter, 40},
      FieldDef{"DNI", FieldType::kInteger, 0},
      FieldDef{"CODI", FieldType::kCharacter, 40},
  },
  /*indexes=*/{}};
  return def;
}

// A name longer than the 80-character field keeps its end too: the last
// characters of a post's description usually tell posts apart.
std::string TeacherName(const std::string& descripcio) {
  if (descripcio.size() <= 80) return descripcio;
  return descripcio.substr(0, 75) + descripcio.substr(descripcio.size() - 5);
}

}  // namespace

Status BuildTeachersTable(access::XmlDocument* doc, BuildContext* ctx) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "PROFT", TeachersDef(), &table));
  int64_t records = 0;

  UsedCodeList used;
  for (const access::XmlNode& post : doc->SelectNodes("/CENTRE/PLACES/PLACA")) {
    const std::string codi = ReadAttribute(post, "codi", ctx->warnings);
    const std::string name = TeacherName(ReadAttribute(post, "descripcio", ctx->warnings));
    const std::string curta = ReadAttribute(post, "curta", ctx->warnings);
    const std::string code = MakeShortCode(curta, ShortCodeVariant::kTeacher, &used);

    PONTEVIA_RETURN_IF_ERROR(table->Append());
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kAbrev, code));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kNombre, name));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kDepart, name));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodi, codi));
    PONTEVIA_RETURN_IF_ERROR(table->Post());
    ++records;
  }

  PONTEVIA_RETURN_IF_ERROR(table->Close());
  ctx->counts->push_back({"PROFT", records});
  return Status::OK();
}

}  // namespace pontevia::exporter
