#include "export/source_attributes.h"

#include "access/xml_document.h"
#include "export/warning_log.h"

namespace pontevia::exporter {

namespace {

std::string Where(const access::XmlNode& element) {
  std::string where = "elemento " + element.Name();
  if (element.Line() > 0) where += " de la línea " + std::to_string(element.Line());
  return where;
}

}  // namespace

std::string ReadAttribute(const access::XmlNode& element, std::string_view name,
                          WarningLog* warnings) {
  bool present = false;
  bool lossy = false;
  std::string value = element.Attribute(name, &present, &lossy);
  if (!present) {
    warnings->Report(WarningKind::kMissingAttribute,
                     "Al " + Where(element) + " le falta el atributo \"" + std::string(name) +
                         "\"; se toma como texto vacío. Revise el archivo de GestIB.");
  } else if (lossy) {
    warnings->Report(WarningKind::kLossyText,
                     "El atributo \"" + std::string(name) + "\" del " + Where(element) +
                         " tiene caracteres que las tablas de Horalia no pueden guardar; "
                         "se han cambiado por '?'.");
  }
  return value;
}

}  // namespace pontevia::exporter
