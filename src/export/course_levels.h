// CURSOST as the front ends see it while the user completes the levels and
// courses: the command line fills it from a file or from prompts, tests fill
// it as a scripted dialog would. Texts are Windows-1252.
#pragma once

#include <string>
#include <vector>

#include "access/env.h"
#include "base/status.h"

namespace pontevia::exporter {

struct CourseRow {
  std::string codi;
  std::string descripcio;
  std::string nivel;
  std::string curso;
};

// The records of CURSOST in `folder`, in record order.
Status ReadCourses(access::Env* env, const std::string& folder, std::vector<CourseRow>* rows);

// Stores NIVEL and CURSO of every record from `rows`, which must hold the
// records ReadCourses gave, in the same order (CODI and DESCRIPCIO are not
// written: the dialog cannot change them).
Status WriteCourseLevels(access::Env* env, const std::string& folder,
                         const std::vector<CourseRow>& rows);

// True when the level or the course, without blanks and control characters,
// is empty: what the dialog's OK check counts as missing.
bool LacksLevelOrCourse(const CourseRow& row);

}  // namespace pontevia::exporter
