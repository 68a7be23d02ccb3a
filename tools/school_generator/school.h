// Synthetic GestIB school documents. Scale 1 is a large secondary school:
// 40 courses with 3 groups each, 350 subjects, 90 staff posts, 60 rooms and
// 12 activities; scale K has K times as many of each. Names are Catalan
// (UTF-8, with accents and the middle dot), and short names repeat across
// courses as they do in real exports, so the short codes get numbered.
// The same options always give the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace pontevia::tools {

struct SchoolOptions {
  int scale = 1;
  uint32_t seed = 1;
};

struct SchoolCounts {
  int64_t courses = 0;
  int64_t groups = 0;
  int64_t subjects = 0;
  int64_t activities = 0;
  int64_t posts = 0;
  int64_t rooms = 0;
};

// The XML document, UTF-8 with its declaration.
std::string GenerateSchoolXml(const SchoolOptions& options, SchoolCounts* counts = nullptr);

// A levels file for the same school: "codi,nivel,curso" and one line per
// course, every course with a level and a course.
std::string GenerateLevelsCsv(const SchoolOptions& options);

}  // namespace pontevia::tools
