// The import: Horalia's solution table SOLUC into SolucioHorari.xml, written
// into the folder of the file the user chose.
#pragma once

#include <cstdint>
#include <string>

#include "access/env.h"
#include "base/status.h"

namespace pontevia::importer {

struct ImportRequest {
  std::string chosen_file;  // any existing file; only its folder is used
  std::string workdir;      // Horalia's working folder
};

struct ImportSummary {
  std::string output_path;  // the SolucioHorari.xml written
  int64_t sessions = 0;     // SESSIO elements written
  int64_t skipped_day_zero = 0;  // SOLUC records of day 0, not exported
  // Non-blank codes found in no record of their table (written as empty
  // attributes). Activities count only their teacher: their group, room and
  // subject are emptied anyway.
  int64_t unresolved_teachers = 0;
  int64_t unresolved_groups = 0;
  int64_t unresolved_rooms = 0;
  int64_t unresolved_subjects = 0;
  int64_t slots_not_found = 0;  // day-hour keys with no DIASHORAST record
  bool half_hours = false;      // some HORA had a fraction
};

// What the window shows, alone, when the chosen file does not exist.
inline constexpr char kNoFileMessage[] = "No existe archivo";

// The folder of `chosen_file` (with its final separator) followed by
// "SolucioHorari.xml".
std::string OutputPathFor(const std::string& chosen_file);

// On failure no document is written (an existing one is left as it was) and
// the Status carries a Spanish message naming the table and field.
// A chosen file that does not exist (or is a folder) gives kNotFound with
// exactly kNoFileMessage; a missing working table gives kNotFound too, with a
// message naming it. A field SOLUC or a lookup table lacks, or a DIA or HORA
// that is not a number, gives kBadInput; a damaged table kCorrupt; a table
// another program holds kLocked.
Status RunImport(access::Env* env, const ImportRequest& request, ImportSummary* summary);

}  // namespace pontevia::importer
