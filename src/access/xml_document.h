// The XML document surface the converter needs, and nothing more: load a
// file, select elements by simple paths, read attributes; build a document of
// elements with attributes and save it. Two backends implement it: libxml2
// (xml_libxml2.cpp) and MSXML "Microsoft.XMLDOM" through COM
// (xml_msxml_win.cpp); CMake picks one. DTDs and external entities are never
// loaded, and a document that declares entities or attribute defaults is
// refused, so there is no entity expansion to bound; both engines behave alike.
//
// Text crosses this surface as Windows-1252 bytes: attribute values read are
// trimmed of leading and trailing characters with codes up to 32 and
// converted to 1252 (characters 1252 lacks become '?' and are reported);
// values written are converted from 1252 to Unicode.
//
// Not thread-safe: a document and its handles are used by one thread (with
// MSXML, the thread that loaded or created it).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace pontevia::access {

class XmlNodeImpl;  // backend-specific

// A handle to an element, passed by value. The default handle is null; every
// call on it is defined and returns empty (empty text, empty list, line 0).
// A handle must not outlive its document.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(std::shared_ptr<XmlNodeImpl> impl) : impl_(std::move(impl)) {}

  bool IsNull() const { return impl_ == nullptr; }
  std::string Name() const;
  // Line of the element's start tag in the loaded file; 0 when unknown.
  int Line() const;

  // The attribute's value, trimmed and in 1252. A missing attribute gives the
  // empty text and *present = false. *lossy (never reset) becomes true when a
  // character had no 1252 form and was replaced by '?'.
  std::string Attribute(std::string_view name, bool* present = nullptr, bool* lossy = nullptr) const;

  // Child elements named `name` (no path syntax), in document order.
  std::vector<XmlNode> Children(std::string_view name) const;

  // Writing. The value is 1252 text; control characters XML cannot carry
  // (codes below 32 but tab, line feed, carriage return) are written as '?'.
  // Setting a name again replaces its value and keeps its place. The name
  // must be plain ASCII (letters, digits, '_', '-', '.'; no prefix).
  Status SetAttribute(std::string_view name, std::string_view value);
  // Appends `child` (made by the same document's CreateElement) as the last
  // child of this element; an element placed elsewhere moves. Fails for a
  // child of another document, or one that is this element or holds it.
  Status AppendChild(const XmlNode& child);

  XmlNodeImpl* impl() const { return impl_.get(); }

 private:
  std::shared_ptr<XmlNodeImpl> impl_;
};

class XmlDocument {
 public:
  virtual ~XmlDocument() = default;

  // Loads a file synchronously, in whatever encoding its declaration (or BOM)
  // names: UTF-8, UTF-16, ISO-8859-1, windows-1252. A file that is not
  // well-formed XML fails with kBadInput and a Spanish message that gives the
  // file name, the line and the column of the fault (MSXML under Wine gives
  // neither); so does a document declaring entities or attribute defaults. A
  // missing or unreadable file fails with kNotFound or kIoError.
  static Status Load(const std::string& path, std::unique_ptr<XmlDocument>* out);
  // An empty document for writing.
  static Status Create(std::unique_ptr<XmlDocument>* out);

  // The root element, null for an empty document.
  virtual XmlNode DocumentElement() = 0;
  // Elements at an absolute path of element names, "/CENTRE/CURSOS/CURS", in
  // document order. Only this simple form is supported.
  virtual std::vector<XmlNode> SelectNodes(std::string_view absolute_path) = 0;

  // Writing. A null handle when `name` is not a plain ASCII name (see
  // XmlNode::SetAttribute) or the engine refuses.
  virtual XmlNode CreateElement(std::string_view name) = 0;
  // Makes `element` the document element; fails if there already is one.
  virtual Status AppendChild(const XmlNode& element) = 0;
  // Writes the whole document as UTF-8 to `path` + ".tmp", renamed into
  // place once the write and flush have succeeded; an existing file is
  // replaced, and on failure it is left as it was. No declaration or
  // whitespace of its own is promised (libxml2 writes a UTF-8 declaration,
  // MSXML none).
  virtual Status Save(const std::string& path) = 0;
};

}  // namespace pontevia::access
