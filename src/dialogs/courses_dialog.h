// The level and course dialog (TControlCursos): one modal showing over the
// courses table CURSOST of `folder`, in which the user types the level
// (NIVEL) and course (CURSO) of every course. When the showing ends,
// `outcome` says whether the OK check found a course still lacking either
// (missing_data) and whether the user forced the exit ("fuera"). When and how
// often it is shown is the export's business, not this file's.
#pragma once

#include <windows.h>

#include <string>

#include "access/env.h"
#include "base/status.h"
#include "export/user_interaction.h"

namespace pontevia::dialogs {

// Shows the dialog modally over `owner` and returns when it has closed. The
// changes are in CURSOST by then. A Status that is not OK means the table
// could not be read or written; the message is Spanish.
Status ShowCoursesDialog(HWND owner, access::Env* env,
                         const std::string& folder, bool force_exit_offered,
                         exporter::CoursesDialogOutcome* outcome);

}  // namespace pontevia::dialogs
