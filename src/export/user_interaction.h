// What the export needs from the person at the screen, asked through an
// interface the core owns: the Windows program answers with real dialogs,
// the command line with options or prompts, the tests with scripts.
// Messages are UTF-8.
#pragma once

#include <string>

#include "base/status.h"

namespace pontevia::exporter {

// What one showing of the level and course dialog reports back.
struct CoursesDialogOutcome {
  bool missing_data = false;  // the OK check found a course without level or course
  std::string exit_reason;    // "fuera" after the forced exit, else empty
};

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;

  // One showing of the level and course dialog over CURSOST in `folder` (the
  // staged copy the export is building). The front end lets the user edit
  // NIVEL and CURSO, stores the changes in the table, and returns what the
  // showing ended with. `force_exit_offered` says whether to offer the forced
  // exit. A Status that is not OK aborts the export (e.g. table unreadable).
  virtual Status ShowCoursesDialog(const std::string& folder, bool force_exit_offered,
                                   CoursesDialogOutcome* outcome) = 0;

  // The question before the assignment lines are proposed. True for OK.
  virtual bool ConfirmAssignmentLines() = 0;

  // A warning that does not stop the run (a missing attribute, a character
  // that 1252 cannot hold). UTF-8.
  virtual void Warn(const std::string& message) = 0;

  // The export is about to work (true) or has finished working (false): the
  // Windows program shows the hourglass.
  virtual void SetBusy(bool busy) {}
};

}  // namespace pontevia::exporter
