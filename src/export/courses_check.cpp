// The OK check of the level and course dialog: the first course found
// without a level, or else without a course, ends the walk.
#include "export/courses_check.h"

#include <memory>

#include "access/dbf_table.h"
#include "text/ansi.h"

namespace pontevia::exporter {

Status CheckCoursesComplete(access::Env* env, const std::string& folder, bool* missing_data) {
  *missing_data = false;
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Open(env, folder, "CURSOST", access::ShareMode::kShared, &table));
  Result<int> nivel = table->FieldIndex("NIVEL");
  if (!nivel.ok()) return nivel.status();
  Result<int> curso = table->FieldIndex("CURSO");
  if (!curso.ok()) return curso.status();
  PONTEVIA_RETURN_IF_ERROR(table->First());
  while (!table->Eof()) {
    if (text::Trim(table->TextView(*nivel)).empty() || text::Trim(table->TextView(*curso)).empty()) {
      *missing_data = true;
      break;
    }
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  }
  return table->Close();
}

}  // namespace pontevia::exporter
