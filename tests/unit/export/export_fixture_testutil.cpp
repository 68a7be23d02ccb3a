#include "unit/export/export_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "access/dbf_table.h"
#include "export/courses_check.h"
#include "unit/testutil/temp_folder.h"

namespace pontevia::testing {

std::unique_ptr<access::XmlDocument> LoadXmlText(const std::string& folder, const std::string& xml,
                                                 const std::string& name) {
  const std::string path = access::JoinPath(folder, name);
  WriteBytes(path, xml);
  std::unique_ptr<access::XmlDocument> doc;
  Status s = access::XmlDocument::Load(path, &doc);
  EXPECT_TRUE(s.ok()) << s.message();
  return doc;
}

bool XmlBackendReportsLines(const std::string& scratch_folder) {
  auto doc = LoadXmlText(scratch_folder, "<?xml version='1.0'?>\n<CENTRE/>", "lineas.xml");
  return doc && doc->DocumentElement().Line() == 2;
}

std::vector<std::string> TableText::Column(const std::string& field) const {
  std::vector<std::string> values;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] != field) continue;
    for (const auto& row : rows) values.push_back(row[i]);
    return values;
  }
  ADD_FAILURE() << "no field " << field;
  return values;
}

TableText ReadTableText(const std::string& folder, const std::string& name) {
  TableText out;
  std::unique_ptr<access::Table> table;
  Status s = access::Table::Open(access::Env::Default(), folder, name, access::ShareMode::kShared,
                                 &table);
  EXPECT_TRUE(s.ok()) << s.message();
  if (!s.ok()) return out;
  for (const access::FieldDef& f : table->fields()) out.fields.push_back(f.name);
  s = table->First();
  EXPECT_TRUE(s.ok()) << s.message();
  while (s.ok() && !table->Eof()) {
    std::vector<std::string> row;
    for (const access::FieldDef& f : table->fields()) {
      if (f.type == access::FieldType::kLogical) {
        Result<bool> b = table->GetBool(f.name);
        EXPECT_TRUE(b.ok()) << b.status().message();
        row.push_back(b.ok() && *b ? "T" : "F");
      } else {
        Result<std::string> t = table->GetText(f.name);
        EXPECT_TRUE(t.ok()) << t.status().message();
        row.push_back(t.ok() ? *t : "?");
      }
    }
    out.rows.push_back(std::move(row));
    s = table->Next();
    EXPECT_TRUE(s.ok()) << s.message();
  }
  s = table->Close();
  EXPECT_TRUE(s.ok()) << s.message();
  return out;
}

std::map<std::string, std::string> FolderBytes(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(folder))) {
    std::string relative = fs::relative(entry.path(), fs::path(folder)).generic_string();
    if (entry.is_directory()) {
      files[relative + "/"] = "";
    } else {
      files[relative] = ReadBytes(entry.path().string());
    }
  }
  return files;
}

std::string FolderDifference(const std::map<std::string, std::string>& before,
                             const std::map<std::string, std::string>& after) {
  std::string diff;
  for (const auto& [name, bytes] : before) {
    auto found = after.find(name);
    if (found == after.end()) diff += " missing " + name + ";";
    else if (found->second != bytes) diff += " changed " + name + ";";
  }
  for (const auto& [name, bytes] : after) {
    if (before.count(name) == 0) diff += " new " + name + ";";
  }
  return diff;
}

Status ScriptedUser::ShowCoursesDialog(const std::string& folder, bool offered,
                                       exporter::CoursesDialogOutcome* outcome) {
  force_exit_offered.push_back(offered);
  folders.push_back(folder);
  if (showings_.empty()) {
    ADD_FAILURE() << "the dialog was shown more often than scripted";
    return Status::Cancelled("sin más respuestas");
  }
  Showing showing = showings_.front();
  showings_.erase(showings_.begin());

  access::Env* env = access::Env::Default();
  std::vector<exporter::CourseRow> rows;
  PONTEVIA_RETURN_IF_ERROR(exporter::ReadCourses(env, folder, &rows));
  for (exporter::CourseRow& row : rows) {
    auto found = showing.levels.find(row.codi);
    if (found == showing.levels.end()) continue;
    row.nivel = found->second.first;
    row.curso = found->second.second;
  }
  if (showing.edit) showing.edit(&rows);
  PONTEVIA_RETURN_IF_ERROR(exporter::WriteCourseLevels(env, folder, rows));

  switch (showing.end) {
    case Showing::End::kOk:
      return exporter::CheckCoursesComplete(env, folder, &outcome->missing_data);
    case Showing::End::kForcedExit:
      outcome->exit_reason = "fuera";
      return Status::OK();
    case Showing::End::kTitleBar:
      return Status::OK();
  }
  return Status::OK();
}

std::unique_ptr<ScriptedUser> CompletingUser(
    std::map<std::string, std::pair<std::string, std::string>> levels) {
  Showing showing;
  showing.levels = std::move(levels);
  return std::make_unique<ScriptedUser>(std::vector<Showing>{showing});
}

}  // namespace pontevia::testing
