// Reading the attributes of the source document's elements as the table
// builders need them: trimmed and in Windows-1252 (the XML surface does
// both). An element may lack an attribute a builder reads; that reads as the
// empty text and is reported, naming the element, the attribute and the line,
// so the user can mend the file while the export still goes on.
#pragma once

#include <string>
#include <string_view>

namespace pontevia::access {
class XmlNode;
}

namespace pontevia::exporter {

class WarningLog;

// The attribute's value; `warnings` must not be null.
std::string ReadAttribute(const access::XmlNode& element, std::string_view name,
                          WarningLog* warnings);

}  // namespace pontevia::exporter
