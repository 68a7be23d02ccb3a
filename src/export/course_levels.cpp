#include "export/course_levels.h"

#include <memory>
#include <utility>

#include "access/dbf_table.h"
#include "text/ansi.h"

namespace pontevia::exporter {

Status ReadCourses(access::Env* env, const std::string& folder, std::vector<CourseRow>* rows) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Open(env, folder, "CURSOST", access::ShareMode::kShared, &table));
  rows->clear();
  PONTEVIA_RETURN_IF_ERROR(table->First());
  while (!table->Eof()) {
    CourseRow row;
    const std::pair<const char*, std::string*> fields[] = {
        {"CODI", &row.codi}, {"DESCRIPCIO", &row.descripcio}, {"NIVEL", &row.nivel},
        {"CURSO", &row.curso}};
    for (const auto& [field, out] : fields) {
      Result<std::string> value = table->GetText(field);
      if (!value.ok()) return value.status();
      *out = std::move(value).value();
    }
    rows->push_back(std::move(row));
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  }
  return table->Close();
}

Status WriteCourseLevels(access::Env* env, const std::string& folder,
                         const std::vector<CourseRow>& rows) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(
      access::Table::Open(env, folder, "CURSOST", access::ShareMode::kExclusive, &table));
  if (table->RecordCount() != static_cast<int64_t>(rows.size())) {
    return Status::InvalidArgument(
        "La tabla de cursos CURSOST ha cambiado mientras se completaban los niveles y cursos; "
        "vuelva a exportar.");
  }
  PONTEVIA_RETURN_IF_ERROR(table->First());
  for (const CourseRow& row : rows) {
    PONTEVIA_RETURN_IF_ERROR(table->Edit());
    PONTEVIA_RETURN_IF_ERROR(table->SetText("NIVEL", row.nivel));
    PONTEVIA_RETURN_IF_ERROR(table->SetText("CURSO", row.curso));
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  }
  return table->Close();
}

bool LacksLevelOrCourse(const CourseRow& row) {
  return text::Trim(row.nivel).empty() || text::Trim(row.curso).empty();
}

}  // namespace pontevia::exporter
