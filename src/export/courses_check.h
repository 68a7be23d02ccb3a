// The OK check of the level and course dialog, shared by every front end:
// walks CURSOST in `folder` and tells whether some course lacks its level or
// its course (blanks and control characters alone count as missing).
#pragma once

#include <string>

#include "access/env.h"
#include "base/status.h"

namespace pontevia::exporter {

Status CheckCoursesComplete(access::Env* env, const std::string& folder, bool* missing_data);

}  // namespace pontevia::exporter
