// Feeds raw bytes to the XML loader (the libxml2 backend), then reads what
// the export would read: the five element paths, every attribute a builder
// asks for, the groups of each course and the lines. A value is also written
// back into a new element, the way the import sets attributes. Any outcome
// but a crash, a hang or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/xml_document.h"
#include "access/xml_node_impl.h"

namespace {

using pontevia::access::XmlDocument;
using pontevia::access::XmlNode;

void ReadAttributes(const XmlNode& node, std::unique_ptr<XmlDocument>& doc) {
  static const char* const kNames[] = {"codi", "curs", "descripcio", "curta", "nom"};
  bool present = false;
  bool lossy = false;
  std::string last;
  for (const char* name : kNames) last = node.Attribute(name, &present, &lossy);
  (void)node.Line();
  (void)node.Name();
  XmlNode copy = doc->CreateElement("SESSIO");
  (void)copy.SetAttribute("placa", last);
  (void)copy.SetAttribute("placa", node.Name());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<XmlDocument> doc;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!pontevia::access::LoadXmlBytes(bytes, "fuzz.xml", &doc).ok()) return 0;
  static const char* const kPaths[] = {"/CENTRE/MATERIES/MATERIA", "/CENTRE/ACTIVITATS/ACTIVITAT",
                                       "/CENTRE/PLACES/PLACA", "/CENTRE/AULES/AULA", "/CENTRE/CURSOS/CURS"};
  for (const char* path : kPaths) {
    for (const XmlNode& node : doc->SelectNodes(path)) {
      ReadAttributes(node, doc);
      for (const XmlNode& group : node.Children("GRUP")) ReadAttributes(group, doc);
    }
  }
  XmlNode root = doc->DocumentElement();
  ReadAttributes(root, doc);
  return 0;
}
