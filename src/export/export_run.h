// The export: GestIB's XML document into Horalia's eight working tables, in
// a fixed order, staged beside the working folder and moved into place only
// when every step has succeeded (the tables replaced are first copied into
// Copias\AAAAMMDD-HHMMSS\ inside the working folder).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/env.h"
#include "base/status.h"
#include "export/user_interaction.h"

namespace pontevia::exporter {

struct ExportRequest {
  std::string source_path;  // the GestIB XML file the user chose
  std::string workdir;      // Horalia's working folder (C:\HTEMP on Windows)
};

struct TableCount {
  std::string table;  // "ASIGNOMT", ...
  int64_t records = 0;
};

struct ExportSummary {
  std::vector<TableCount> tables;     // in the order they were built
  std::vector<std::string> warnings;  // UTF-8, also passed to ui->Warn
  bool forced_exit = false;           // the level and course dialog was left by its forced exit
  std::string backup_folder;          // where the replaced tables were copied; empty if none
};

// Runs the whole export. On failure the working folder is left exactly as it
// was and the Status carries a Spanish message; kBadInput for a document that
// is not well-formed or not a GestIB CENTRE document, kLocked for a table
// another program holds (named in the message).
Status RunExport(access::Env* env, const ExportRequest& request, UserInteraction* ui,
                 ExportSummary* summary);

}  // namespace pontevia::exporter
