// Checks the end of a round trip (school document -> pontevia export ->
// horalia-standin -> pontevia import) against its two ends:
//
//   roundtrip_check verify SCHOOL.xml MANIFEST SolucioHorari.xml
//     Every SOLUC record the stand-in placed (manifest rows with EXPORTED 1,
//     in order) has its SESSIO with exactly the nine attributes, in order,
//     holding what the manifest expects; and every SESSIO carries identifiers
//     of the school document that belong together: the group is a GRUP of the
//     course in `curs`, the subject a MATERIA of that course, the teacher a
//     PLACA, the room an AULA, a task an ACTIVITAT (with the other four
//     emptied).
//
// The solution is read with libxml2 directly, not through Pontevia's XML
// surface, so that attribute order and names are seen as GestIB sees them.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "text/ansi.h"

namespace {

using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

int failures = 0;

void Fail(const std::string& what) {
  if (++failures <= 20) std::fprintf(stderr, "FALLO: %s\n", what.c_str());
}

Doc Load(const std::string& path) {
  Doc doc(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS), xmlFreeDoc);
  if (!doc) {
    std::fprintf(stderr, "No se puede leer %s\n", path.c_str());
    std::exit(2);
  }
  return doc;
}

// Attribute value as Windows-1252, trimmed as the export reads it.
std::string Attr(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!value) return "";
  std::string utf8(reinterpret_cast<char*>(value));
  xmlFree(value);
  return std::string(pontevia::text::Trim(pontevia::text::Utf8ToAnsi(utf8)));
}

std::vector<xmlNode*> Children(xmlNode* parent, const char* name) {
  std::vector<xmlNode*> out;
  for (xmlNode* n = parent ? parent->children : nullptr; n; n = n->next) {
    if (n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, reinterpret_cast<const xmlChar*>(name)) == 0) {
      out.push_back(n);
    }
  }
  return out;
}

xmlNode* Child(xmlNode* parent, const char* name) {
  std::vector<xmlNode*> c = Children(parent, name);
  return c.empty() ? nullptr : c.front();
}

// Identifiers are compared as the working tables hold them: cut to the
// width of their CODI column.
std::string Cut(const std::string& s, size_t width) { return s.substr(0, width); }

struct School {
  std::set<std::string> teachers, rooms, activities;
  std::map<std::string, std::set<std::string>> groups_of_course;    // course -> groups
  std::map<std::string, std::set<std::string>> subjects_of_course;  // course -> subjects
};

School ReadSchool(const std::string& path) {
  Doc doc = Load(path);
  xmlNode* centre = xmlDocGetRootElement(doc.get());
  School s;
  for (xmlNode* p : Children(Child(centre, "PLACES"), "PLACA")) s.teachers.insert(Cut(Attr(p, "codi"), 40));
  for (xmlNode* a : Children(Child(centre, "AULES"), "AULA")) s.rooms.insert(Cut(Attr(a, "codi"), 60));
  for (xmlNode* a : Children(Child(centre, "ACTIVITATS"), "ACTIVITAT")) {
    s.activities.insert(Cut(Attr(a, "codi"), 10));
  }
  for (xmlNode* c : Children(Child(centre, "CURSOS"), "CURS")) {
    auto& groups = s.groups_of_course[Cut(Attr(c, "codi"), 20)];
    for (xmlNode* g : Children(c, "GRUP")) groups.insert(Cut(Attr(g, "codi"), 20));
  }
  for (xmlNode* m : Children(Child(centre, "MATERIES"), "MATERIA")) {
    s.subjects_of_course[Cut(Attr(m, "curs"), 20)].insert(Cut(Attr(m, "codi"), 20));
  }
  return s;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == '\t') out.emplace_back();
    else if (c != '\r') out.back() += c;
  }
  return out;
}

const char* const kNames[] = {"placa", "curs", "grup", "dia", "hora", "durada", "aula", "materia", "activitat"};

int Verify(const std::string& school_path, const std::string& manifest_path,
           const std::string& solution_path) {
  const School school = ReadSchool(school_path);

  std::ifstream manifest(manifest_path, std::ios::binary);
  std::string line;
  std::getline(manifest, line);
  std::vector<std::vector<std::string>> expected;
  size_t unplaced = 0;
  while (std::getline(manifest, line)) {
    if (line.empty()) continue;
    std::vector<std::string> cols = SplitTabs(line);
    if (cols.size() != 17) {
      std::fprintf(stderr, "Manifiesto mal formado: %s\n", line.c_str());
      return 2;
    }
    if (cols[7] == "1") {
      expected.emplace_back(cols.begin() + 8, cols.end());
    } else {
      ++unplaced;
    }
  }

  Doc doc = Load(solution_path);
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root || xmlStrcmp(root->name, BAD_CAST "HORARI") != 0) Fail("el elemento raíz no es HORARI");
  std::vector<xmlNode*> top;
  for (xmlNode* n = root ? root->children : nullptr; n; n = n->next) {
    if (n->type != XML_TEXT_NODE || !xmlIsBlankNode(n)) top.push_back(n);
  }
  if (top.size() != 1 || xmlStrcmp(top[0]->name, BAD_CAST "SESSIONS") != 0) {
    Fail("HORARI no tiene exactamente un hijo SESSIONS");
    return 1;
  }
  std::vector<xmlNode*> sessions;
  for (xmlNode* n = top[0]->children; n; n = n->next) {
    if (n->type == XML_TEXT_NODE && xmlIsBlankNode(n)) continue;
    if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, BAD_CAST "SESSIO") != 0) {
      Fail("SESSIONS tiene un hijo que no es SESSIO");
      continue;
    }
    if (n->children) Fail("un SESSIO tiene contenido");
    sessions.push_back(n);
  }
  if (sessions.size() != expected.size()) {
    Fail("se esperaban " + std::to_string(expected.size()) + " SESSIO y hay " +
         std::to_string(sessions.size()));
  }

  size_t tasks = 0;
  for (size_t i = 0; i < sessions.size() && i < expected.size(); ++i) {
    const std::string where = "SESSIO " + std::to_string(i + 1) + ": ";
    std::vector<std::pair<std::string, std::string>> attrs;
    for (xmlAttr* a = sessions[i]->properties; a; a = a->next) {
      xmlChar* v = xmlNodeListGetString(doc.get(), a->children, 1);
      attrs.push_back({reinterpret_cast<const char*>(a->name),
                       pontevia::text::Utf8ToAnsi(v ? reinterpret_cast<char*>(v) : "")});
      xmlFree(v);
    }
    if (attrs.size() != 9) {
      Fail(where + "tiene " + std::to_string(attrs.size()) + " atributos");
      continue;
    }
    std::map<std::string, std::string> value;
    for (size_t k = 0; k < 9; ++k) {
      if (attrs[k].first != kNames[k]) Fail(where + "atributo " + std::to_string(k + 1) + " es " + attrs[k].first);
      if (attrs[k].second != expected[i][k]) {
        Fail(where + kNames[k] + "=\"" + pontevia::text::AnsiToUtf8(attrs[k].second) +
             "\", se esperaba \"" + pontevia::text::AnsiToUtf8(expected[i][k]) + "\"");
      }
      value[kNames[k]] = attrs[k].second;
    }
    // The identifiers against the school document itself.
    if (!school.teachers.count(value["placa"])) Fail(where + "placa no es una PLACA del centro");
    if (value["dia"].empty() || value["hora"].empty() || value["durada"].empty()) {
      Fail(where + "franja sin resolver");
    }
    if (!pontevia::text::Trim(value["activitat"]).empty()) {
      ++tasks;
      if (!school.activities.count(value["activitat"])) Fail(where + "activitat no es una ACTIVITAT");
      if (!(value["curs"] + value["grup"] + value["aula"] + value["materia"]).empty()) {
        Fail(where + "una tarea conserva curso, grupo, aula o materia");
      }
      continue;
    }
    auto groups = school.groups_of_course.find(value["curs"]);
    if (groups == school.groups_of_course.end() || !groups->second.count(value["grup"])) {
      Fail(where + "grup no es un GRUP del CURS de curs");
    }
    auto subjects = school.subjects_of_course.find(value["curs"]);
    if (subjects == school.subjects_of_course.end() || !subjects->second.count(value["materia"])) {
      Fail(where + "materia no es una MATERIA del CURS de curs");
    }
    if (!school.rooms.count(value["aula"])) Fail(where + "aula no es un AULA del centro");
  }
  if (failures > 0) {
    std::fprintf(stderr, "%d comprobaciones fallidas\n", failures);
    return 1;
  }
  std::printf("Ida y vuelta correcta: %zu sesiones (%zu tareas), %zu registros de día 0 omitidos\n",
              sessions.size(), tasks, unplaced);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "verify" && argc == 5) return Verify(argv[2], argv[3], argv[4]);
  std::fprintf(stderr,
               "Uso: roundtrip_check verify CENTRE.xml MANIFIESTO SolucioHorari.xml\n");
  return 2;
}
