// The export's questions answered by the person at the screen: the level and
// course dialog, the question before the assignment lines, and the warnings,
// gathered and shown once when the run ends.
#pragma once

#include <string>
#include <vector>

#include "export/user_interaction.h"

namespace pontevia::app {

class MainForm;

class GuiInteraction : public exporter::UserInteraction {
 public:
  // `form` must outlive this object.
  explicit GuiInteraction(MainForm& form) : form_(form) {}

  Status ShowCoursesDialog(const std::string& folder, bool force_exit_offered,
                           exporter::CoursesDialogOutcome* outcome) override;
  bool ConfirmAssignmentLines() override;
  void Warn(const std::string& message) override;
  void SetBusy(bool busy) override;

  // One message box listing the warnings of the run, if there were any.
  void ShowWarnings();

 private:
  MainForm& form_;
  std::vector<std::string> warnings_;
};

}  // namespace pontevia::app
