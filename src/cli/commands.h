// The subcommands of `pontevia`. Each returns the process exit status.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"

namespace pontevia::cli {

// Exit statuses shared by every subcommand.
enum ExitStatus {
  kExitOk = 0,
  kExitNoFile = 1,      // "No existe archivo"
  kExitUsage = 2,
  kExitIncomplete = 3,  // courses left without level or course
  kExitBadInput = 4,
  kExitFileError = 5,   // a file that cannot be read or written
};

// The exit status that tells a script what kind of failure `status` is.
int ExitStatusFor(const Status& status);

// Arguments after the subcommand name, UTF-8.
int RunExportCommand(const std::vector<std::string>& args);
int RunImportCommand(const std::vector<std::string>& args);

}  // namespace pontevia::cli
