#include "cli/commands.h"

namespace pontevia::cli {

int ExitStatusFor(const Status& status) {
  switch (status.code()) {
    case StatusCode::kOk:
      return kExitOk;
    case StatusCode::kIncomplete:
      return kExitIncomplete;
    case StatusCode::kBadInput:
      return kExitBadInput;
    case StatusCode::kInvalidArgument:
      return kExitUsage;
    default:
      return kExitFileError;
  }
}

}  // namespace pontevia::cli
