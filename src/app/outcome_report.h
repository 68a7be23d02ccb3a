// The outcome report Horalia reads after starting Pontevia in commanded
// mode: Horalia.ini beside the program, section "Transformadores", key
// "Transformado", the result flag as decimal text. Only that key is written;
// every other section and key of the file stays as it was.
#pragma once

#include <string>

#include "base/status.h"

namespace pontevia::app {

// The result flag's values.
inline constexpr int kOutcomeNone =
    0;  // nothing done, or an import found no file
inline constexpr int kOutcomeDone = 1;       // a run completed
inline constexpr int kOutcomeNoSource = -1;  // an export found no file

// Folder of the program file followed by "Horalia.ini".
std::wstring OutcomeFilePath();

// Writes `result_flag`; a Spanish message naming the file when it cannot.
Status WriteOutcome(int result_flag);

}  // namespace pontevia::app
