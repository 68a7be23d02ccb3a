// The seven table builders of the export, one per file, called by the export
// run in a fixed order (export_run.cpp). Each creates its tables afresh in
// `ctx->folder`, fills them and closes them, and returns a Status; on failure
// the run stops and the tables of that folder are thrown away, so a builder
// never has to undo its own work. Builders do not call each other: a later
// builder reads what an earlier one wrote from the tables in the same folder.
#pragma once

#include <string>
#include <vector>

#include "access/env.h"
#include "base/status.h"
#include "export/export_run.h"

namespace pontevia::access {
class XmlDocument;
}

namespace pontevia::exporter {

class UserInteraction;
class WarningLog;

// Where a builder writes and whom it tells. Every pointer must stay valid
// while the builder runs.
struct BuildContext {
  access::Env* env = nullptr;
  std::string folder;                         // the folder the tables are written in
  UserInteraction* ui = nullptr;
  WarningLog* warnings = nullptr;
  std::vector<TableCount>* counts = nullptr;  // each builder adds its tables, in order
};

// ASIGNOMT: the subjects (MATERIA), with short codes, then the activities
// (ACTIVITAT), which keep their GestIB identifier as their code.
Status BuildSubjectsTable(access::XmlDocument* doc, BuildContext* ctx);
// PROFT: the staff posts (PLACA).
Status BuildTeachersTable(access::XmlDocument* doc, BuildContext* ctx);
// AULAT: the rooms (AULA).
Status BuildRoomsTable(access::XmlDocument* doc, BuildContext* ctx);
// CURSOST: the courses (CURS) with empty level and course, then the level and
// course dialog until every course has both, the user forces the exit
// (*forced_exit = true) or closes the dialog. `*force_exit_offered` is the
// dialog's memory across showings: set once a showing ends with data missing.
Status BuildCoursesTable(access::XmlDocument* doc, BuildContext* ctx, bool* force_exit_offered,
                         bool* forced_exit);
// GRUPOST from the groups (GRUP) of every course and CURSOST's levels; then
// MATIB, and DENIVEL/DECURSO of ASIGNOMT, from each subject's first group.
Status BuildGroupsTables(access::XmlDocument* doc, BuildContext* ctx);
// ASIGT: after the user agrees, one line per group and subject of its course.
Status BuildAssignmentLines(BuildContext* ctx);
// DIASHORAST, empty, for Horalia to fill.
Status BuildDayHourFrame(BuildContext* ctx);

}  // namespace pontevia::exporter
