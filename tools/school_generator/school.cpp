#include "school.h"

#include <string_view>

namespace pontevia::tools {

namespace {

constexpr int kCoursesPerScale = 40;
constexpr int kGroupsPerCourse = 3;
constexpr int kSubjectsPerScale = 350;
constexpr int kActivitiesPerScale = 12;
constexpr int kPostsPerScale = 90;
constexpr int kRoomsPerScale = 60;

// A small deterministic generator (not for anything but variety).
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  size_t Below(size_t n) { return Next() % n; }

 private:
  uint32_t state_;
};

struct Subject {
  const char* curta;
  const char* name;
};

constexpr Subject kSubjects[] = {
    {"MAT", "Matemàtiques"},
    {"CAT", "Llengua catalana i literatura"},
    {"CAS", "Lengua castellana y literatura"},
    {"ANG", "Llengua estrangera: anglès"},
    {"BIOGEO", "Biologia i geologia"},
    {"FISQUI", "Física i química"},
    {"GEOHIS", "Geografia i història"},
    {"EF", "Educació física"},
    {"MUS", "Música"},
    {"TEC", "Tecnologia i digitalització"},
    {"EPVA", "Educació plàstica, visual i audiovisual"},
    {"REL", "Religió"},
    {"VET", "Valors ètics"},
    {"FRA", "Segona llengua estrangera: francès"},
    {"FILOSOFIA", "Filosofia"},
    {"HISTFILOSOFIA", "Història de la filosofia"},
    {"ECONOMIA", "Economia de l'empresa"},
    {"LLATI", "Llatí"},
    {"GREC", "Grec"},
    {"DIBTEC", "Dibuix tècnic"},
    {"MATCCSS", "Matemàtiques aplicades a les ciències socials"},
    {"QUIMICA", "Química"},
    {"TUT", "Tutoria"},
    {"PROJECTE", "Projecte interdisciplinari"},
    {"FOL", "Formació i orientació laboral"},
    {"EIE", "Empresa i iniciativa emprenedora"},
    {"SISTINF", "Sistemes informàtics"},
    {"BASESDADES", "Bases de dades"},
    {"PROGRAMACIO", "Programació"},
    {"LLENGMARQ", "Llenguatges de marques i sistemes de gestió d'informació"},
};

constexpr Subject kActivities[] = {
    {"GUARDIA", "Guàrdia"},
    {"GPATI", "Guàrdia de pati"},
    {"REUDEP", "Reunió de departament"},
    {"CTIC", "Coordinació TIC"},
    {"BIBLIO", "Biblioteca"},
    {"CAPDEP", "Cap de departament"},
    {"ATFAM", "Atenció a famílies"},
    {"CONVIVENCIA", "Comissió de convivència"},
    {"COORDCICLE", "Coordinació de cicle"},
    {"EQUIPEDUCATIU", "Reunió d'equip educatiu"},
    {"ORIENT", "Servei d'orientació"},
    {"EQDIR", "Col·laboració amb l'equip directiu"},
};

constexpr Subject kDepartments[] = {
    {"MAT", "Matemàtiques"},      {"CAT", "Llengua catalana"},    {"CAS", "Llengua castellana"},
    {"ANG", "Anglès"},            {"CIE", "Ciències naturals"},   {"FIQ", "Física i química"},
    {"GEO", "Geografia i història"}, {"EF", "Educació física"},  {"MUS", "Música"},
    {"TEC", "Tecnologia"},        {"DIB", "Dibuix"},              {"FIL", "Filosofia"},
    {"ECO", "Economia"},          {"INF", "Informàtica"},         {"ORI", "Orientació"},
};

constexpr const char* kRoomKinds[] = {
    "Aula", "Aula", "Aula", "Laboratori de ciències", "Aula d'informàtica", "Taller de tecnologia",
    "Gimnàs", "Aula de música", "Aula de plàstica", "Biblioteca",
};

struct CourseKind {
  const char* level;    // what the user types in the dialog
  const char* course;
  const char* name;
};

constexpr CourseKind kCourseKinds[] = {
    {"ESO", "1", "1r d'ESO"},       {"ESO", "2", "2n d'ESO"},
    {"ESO", "3", "3r d'ESO"},       {"ESO", "4", "4t d'ESO"},
    {"BATX", "1", "1r de Batxillerat"}, {"BATX", "2", "2n de Batxillerat"},
    {"FPB", "1", "1r de FP bàsica"}, {"CFGM", "1", "1r de CFGM Sistemes microinformàtics"},
    {"CFGM", "2", "2n de CFGM Sistemes microinformàtics"}, {"CFGS", "1", "1r de CFGS Desenvolupament d'aplicacions"},
};

void AppendEscaped(std::string* out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out->append("&amp;"); break;
      case '<': out->append("&lt;"); break;
      case '>': out->append("&gt;"); break;
      case '"': out->append("&quot;"); break;
      default: out->push_back(c);
    }
  }
}

void Attribute(std::string* out, const char* name, std::string_view value) {
  out->push_back(' ');
  out->append(name);
  out->append("=\"");
  AppendEscaped(out, value);
  out->push_back('"');
}

std::string CourseCode(int64_t i) { return std::to_string(100000 + i); }

const CourseKind& KindOf(int64_t course) {
  return kCourseKinds[course % (sizeof kCourseKinds / sizeof kCourseKinds[0])];
}

}  // namespace

std::string GenerateSchoolXml(const SchoolOptions& options, SchoolCounts* counts) {
  const int64_t scale = options.scale < 1 ? 1 : options.scale;
  Random random(options.seed);
  SchoolCounts n;
  n.courses = kCoursesPerScale * scale;
  n.groups = n.courses * kGroupsPerCourse;
  n.subjects = kSubjectsPerScale * scale;
  n.activities = kActivitiesPerScale * scale;
  n.posts = kPostsPerScale * scale;
  n.rooms = kRoomsPerScale * scale;
  if (counts) *counts = n;

  std::string xml;
  xml.reserve(static_cast<size_t>(scale) * 120000);
  xml.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  xml.append("<CENTRE codi=\"07000001\" nom=\"IES Sintètic\" curs=\"2024-2025\">\n");

  xml.append(" <MATERIES>\n");
  constexpr size_t kSubjectKinds = sizeof kSubjects / sizeof kSubjects[0];
  for (int64_t i = 0; i < n.subjects; ++i) {
    // Subjects spread over the courses in order, about nine per course.
    const int64_t course = i * n.courses / n.subjects;
    const Subject& s = kSubjects[(i + random.Below(3)) % kSubjectKinds];
    xml.append("  <MATERIA");
    Attribute(&xml, "codi", std::to_string(2000000 + i));
    Attribute(&xml, "curs", CourseCode(course));
    Attribute(&xml, "descripcio", std::string(s.name) + " (" + KindOf(course).name + ")");
    Attribute(&xml, "curta", s.curta);
    xml.append("/>\n");
  }
  xml.append(" </MATERIES>\n");

  xml.append(" <ACTIVITATS>\n");
  constexpr size_t kActivityKinds = sizeof kActivities / sizeof kActivities[0];
  for (int64_t i = 0; i < n.activities; ++i) {
    const Subject& a = kActivities[i % kActivityKinds];
    xml.append("  <ACTIVITAT");
    Attribute(&xml, "codi", std::to_string(900 + i));
    Attribute(&xml, "descripcio", a.name);
    Attribute(&xml, "curta", a.curta);
    xml.append("/>\n");
  }
  xml.append(" </ACTIVITATS>\n");

  xml.append(" <PLACES>\n");
  constexpr size_t kDepartmentKinds = sizeof kDepartments / sizeof kDepartments[0];
  for (int64_t i = 0; i < n.posts; ++i) {
    const Subject& department = kDepartments[random.Below(kDepartmentKinds)];
    xml.append("  <PLACA");
    Attribute(&xml, "codi", std::to_string(3000000 + i));
    Attribute(&xml, "descripcio", "Plaça " + std::to_string(i + 1) + " de " + department.name);
    Attribute(&xml, "curta", department.curta);
    xml.append("/>\n");
  }
  xml.append(" </PLACES>\n");

  xml.append(" <AULES>\n");
  constexpr size_t kRoomKindCount = sizeof kRoomKinds / sizeof kRoomKinds[0];
  for (int64_t i = 0; i < n.rooms; ++i) {
    const char* kind = kRoomKinds[random.Below(kRoomKindCount)];
    xml.append("  <AULA");
    Attribute(&xml, "codi", std::to_string(4000000 + i));
    Attribute(&xml, "descripcio", std::string(kind) + " " + std::to_string(100 + i % 300));
    xml.append("/>\n");
  }
  xml.append(" </AULES>\n");

  xml.append(" <CURSOS>\n");
  for (int64_t c = 0; c < n.courses; ++c) {
    xml.append("  <CURS");
    Attribute(&xml, "codi", CourseCode(c));
    Attribute(&xml, "descripcio", KindOf(c).name);
    xml.append(">\n");
    for (int g = 0; g < kGroupsPerCourse; ++g) {
      xml.append("   <GRUP");
      Attribute(&xml, "codi", std::to_string(5000000 + c * kGroupsPerCourse + g));
      Attribute(&xml, "nom", std::string(1, static_cast<char>('A' + g)));
      xml.append("/>\n");
    }
    xml.append("  </CURS>\n");
  }
  xml.append(" </CURSOS>\n");
  xml.append("</CENTRE>\n");
  return xml;
}

std::string GenerateLevelsCsv(const SchoolOptions& options) {
  const int64_t scale = options.scale < 1 ? 1 : options.scale;
  std::string csv = "codi,nivel,curso\n";
  for (int64_t c = 0; c < kCoursesPerScale * scale; ++c) {
    csv += CourseCode(c) + "," + KindOf(c).level + "," + KindOf(c).course + "\n";
  }
  return csv;
}

}  // namespace pontevia::tools
