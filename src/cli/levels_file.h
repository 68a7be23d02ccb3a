// LEVELS.csv: the level and course of each course, for runs without the
// dialog. UTF-8, first line "codi,nivel,curso" (the separator may be ';', as
// spreadsheets with Spanish settings write it); one course per line; a field
// may be quoted with double quotes.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"

namespace pontevia::cli {

struct LevelEntry {
  std::string codi;   // Windows-1252, trimmed
  std::string nivel;
  std::string curso;
  int line = 0;
};

// Fails with kNotFound when the file is missing and kBadInput, naming the
// line, when it is not in the form above. `warnings` (UTF-8) receives notes
// that do not stop the run, such as characters the tables cannot hold.
Status ReadLevelsFile(const std::string& path, std::vector<LevelEntry>* entries,
                      std::vector<std::string>* warnings);

}  // namespace pontevia::cli
