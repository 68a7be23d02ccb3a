// Helpers for the export's tests: a school document from inline XML, a
// table read back as text, a folder's bytes, and a user who follows a script.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/xml_document.h"
#include "export/course_levels.h"
#include "export/user_interaction.h"

namespace pontevia::testing {

// Writes `xml` (UTF-8) as folder/name and loads it; fails the test on error.
std::unique_ptr<access::XmlDocument> LoadXmlText(const std::string& folder, const std::string& xml,
                                                 const std::string& name = "centre.xml");

// Whether the XML backend reports lines (Wine's MSXML gives none; libxml2 and
// Windows' own MSXML do), so tests ask for line numbers only where they exist.
bool XmlBackendReportsLines(const std::string& scratch_folder);

// A table as text: field names in order, and per record each field as
// GetText gives it ("T"/"F" for logical fields).
struct TableText {
  std::vector<std::string> fields;
  std::vector<std::vector<std::string>> rows;
  // The values of one field, record by record.
  std::vector<std::string> Column(const std::string& field) const;
};
TableText ReadTableText(const std::string& folder, const std::string& name);

// Every file below `folder` (relative path -> bytes), folders as "name/".
std::map<std::string, std::string> FolderBytes(const std::string& folder);
// Empty when equal; else the names that differ, for a readable failure.
std::string FolderDifference(const std::map<std::string, std::string>& before,
                             const std::map<std::string, std::string>& after);

// One showing of the level and course dialog: what the user types into
// CURSOST, then how the showing ends.
struct Showing {
  enum class End { kOk, kForcedExit, kTitleBar };
  std::map<std::string, std::pair<std::string, std::string>> levels;  // codi -> (NIVEL, CURSO)
  std::function<void(std::vector<exporter::CourseRow>*)> edit;         // then this, if set
  End end = End::kOk;
};

class ScriptedUser : public exporter::UserInteraction {
 public:
  ScriptedUser() = default;
  explicit ScriptedUser(std::vector<Showing> showings) : showings_(std::move(showings)) {}

  // The dialog's answers. Running out of them fails the test.
  std::vector<Showing> showings_;
  bool confirm_lines = true;

  // What happened.
  std::vector<bool> force_exit_offered;  // one per showing
  std::vector<std::string> folders;      // the folder each showing was given
  int questions = 0;
  std::vector<std::string> warnings;

  Status ShowCoursesDialog(const std::string& folder, bool offered,
                           exporter::CoursesDialogOutcome* outcome) override;
  bool ConfirmAssignmentLines() override {
    ++questions;
    return confirm_lines;
  }
  void Warn(const std::string& message) override { warnings.push_back(message); }
};

// A user who completes every course of `levels` at the first showing.
std::unique_ptr<ScriptedUser> CompletingUser(
    std::map<std::string, std::pair<std::string, std::string>> levels);

}  // namespace pontevia::testing
