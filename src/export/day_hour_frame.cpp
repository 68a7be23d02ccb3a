// DIASHORAST, the day and hour frame: created empty, with its eleven fields,
// for Horalia to fill with the school's time slots. The import later reads
// DIHO (the day number followed by the period number, e.g. '312'), DIA,
// HORADESDE and MINUTOS from it.
#include <memory>

#include "access/dbf_table.h"
#include "export/table_builders.h"

namespace pontevia::exporter {

namespace {

using access::FieldDef;
using access::FieldType;

const access::TableDef& FrameDef() {
  static const access::TableDef def{{
      FieldDef{"DIHO", FieldType::kCharacter, 10},
      FieldDef{"CODDIHO", FieldType::kCharacter, 10},
      FieldDef{"DIA", FieldType::kCharacter, 20},
      FieldDef{"TEXTODIA", FieldType::kCharacter, 20},
      FieldDef{"HORA", FieldType::kCharacter, 8},
      FieldDef{"TEXTOHOR", FieldType::kCharacter, 8},
      FieldDef{"HORADESDE", FieldType::kCharacter, 8},
      FieldDef{"HORAHASTA", FieldType::kCharacter, 8},
      FieldDef{"MINUTOS", FieldType::kCharacter, 8},
      FieldDef{"MARCO", FieldType::kCharacter, 1},
      FieldDef{"MARCOXML", FieldType::kCharacter, 10},
  },
  /*indexes=*/{}};
  return def;
}

}  // namespace

Status BuildDayHourFrame(BuildContext* ctx) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Create(ctx->env, ctx->folder, "DIASHORAST", FrameDef(), &table));
  PONTEVIA_RETURN_IF_ERROR(table->Close());
  ctx->counts->push_back({"DIASHORAST", 0});
  return Status::OK();
}

}  // namespace pontevia::exporter
