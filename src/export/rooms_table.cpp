// AULAT, the rooms table: one record per AULA, with the room variant of the
// short code made from the description.
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

enum { kAbrev, kNombre, kEdificio, kMaxAlum, kCodi };

const access::TableDef& RoomsDef() {
  static const access::TableDef def{{
      FieldDef{"ABREV", FieldType::kCharacter, 10},
      FieldDef{"NOMBRE", FieldType::kCharacter, 80},
      FieldDef{"EDIFICIO", FieldType::kCharacter, 1},
      FieldDef{"MAXALUM", FieldType::kInteger, 0},
      FieldDef{"CODI", FieldType::kCharacter, 60},
  },
  /*indexes=*/{}};
  return def;
}

}  // namespace

Status BuildRoomsTable(access::XmlDocument* doc, BuildContext* ctx) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "AULAT", RoomsDef(), &table));
  int64_t records = 0;

  UsedCodeList used;
  for (const access::XmlNode& room : doc->SelectNodes("/CENTRE/AULES/AULA")) {
    const std::string codi = ReadAttribute(room, "codi", ctx->warnings);
    const std::string descripcio = ReadAttribute(room, "descripcio", ctx->warnings);
    const std::string code = MakeShortCode(descripcio, ShortCodeVariant::kRoom, &used);

    PONTEVIA_RETURN_IF_ERROR(table->Append());
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kAbrev, code));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kNombre, "(" + codi + ") " + descripcio));
    PONTEVIA_RETURN_IF_ERROR(table->SetText(kCodi, codi));
    PONTEVIA_RETURN_IF_ERROR(table->Post());
    ++records;
  }

  PONTEVIA_RETURN_IF_ERROR(table->Close());
  ctx->counts->push_back({"AULAT", records});
  return Status::OK();
}

}  // namespace pontevia::exporter
