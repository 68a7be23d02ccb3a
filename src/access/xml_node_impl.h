// What each XML backend provides behind XmlNode and XmlDocument, and the few
// pieces both share. Only xml_document.cpp and the two backends
// (xml_libxml2.cpp, xml_msxml_win.cpp) include this; CMake builds exactly one
// backend, so a node handed to a backend is always that backend's own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/xml_document.h"
#include "base/status.h"

namespace pontevia::access {

// One element of one document. Texts in and out are Windows-1252, as in
// XmlNode; the backend converts at this line.
class XmlNodeImpl {
 public:
  virtual ~XmlNodeImpl() = default;
  virtual std::string Name() const = 0;
  virtual int Line() const = 0;
  virtual std::string Attribute(std::string_view name, bool* present, bool* lossy) const = 0;
  virtual std::vector<XmlNode> Children(std::string_view name) const = 0;
  virtual Status SetAttribute(std::string_view name, std::string_view value) = 0;
  // REQUIRES: child belongs to the same backend (always true: one per build).
  virtual Status AppendChild(XmlNodeImpl& child) = 0;
};

// Parses a document held in memory. `file_name` only names the document in
// messages. Implemented by the backend; Load reads the file and calls this,
// and the fuzz target calls it directly.
Status LoadXmlBytes(std::string_view bytes, const std::string& file_name,
                    std::unique_ptr<XmlDocument>* out);
// An empty document for writing. Implemented by the backend.
Status CreateXmlDocument(std::unique_ptr<XmlDocument>* out);

// Elements at an absolute path of element names ("/CENTRE/CURSOS/CURS"),
// found from `root` down in document order. Anything else than that simple
// form (relative, empty steps, wildcards) selects nothing.
std::vector<XmlNode> SelectByPath(const XmlNode& root, std::string_view absolute_path);

// The failure for a document that is not well-formed: kBadInput, naming the
// file, the line and the column; `detail` is the engine's own reason, or
// empty. `line`/`column` of 0 are left out.
Status NotWellFormed(const std::string& file_name, int line, int column, std::string_view detail);

// The failure for a document that declares entities or attribute defaults.
// Neither is ever needed by GestIB's files, and refusing them is what keeps
// entity expansion (and the external files an entity may name) out of reach
// of both engines alike.
Status DeclarationsRefused(const std::string& file_name, int line);

// A value about to be written, in 1252, made safe for XML 1.0: control
// characters XML cannot carry (all below 32 except tab, line feed and
// carriage return) become '?'; otherwise the saved file would not load.
std::string XmlWritableAnsi(std::string_view value);

// True for the element and attribute names this program writes: ASCII
// letters, digits, '_', '-', '.', not starting with a digit, '-' or '.'. No
// prefixes: MSXML wants a namespace for those, libxml2 does not, and the
// solution document has none. Both engines then agree on what they accept.
bool IsPlainXmlName(std::string_view name);

}  // namespace pontevia::access
