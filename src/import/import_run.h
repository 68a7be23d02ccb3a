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
  int64_t skipped_day_zero = 0;
  int64_t unresolved_teachers = 0;
  int64_t unresolved_groups = 0;
  int64_t unresolved_rooms = 0;
  int64_t unresolved_subjects = 0;
  int64_t slots_not_found = 0;
  bool half_hours = false;
};

// On failure no document is written (an existing one is left as it was) and
// the Status carries a Spanish message naming the table and field.
Status RunImport(access::Env* env, const ImportRequest& request, ImportSummary* summary);

}  // namespace pontevia::importer
