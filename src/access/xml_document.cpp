// The backend-neutral half of the XML surface: the null-safe handle, loading
// a file through Env, path selection and the messages both engines share.
#include "access/xml_document.h"

#include <string>
#include <utility>

#include "access/env.h"
#include "access/xml_node_impl.h"

namespace pontevia::access {

std::string XmlNode::Name() const { return impl_ ? impl_->Name() : std::string(); }

int XmlNode::Line() const { return impl_ ? impl_->Line() : 0; }

std::string XmlNode::Attribute(std::string_view name, bool* present, bool* lossy) const {
  if (!impl_) {
    if (present != nullptr) *present = false;
    return std::string();
  }
  return impl_->Attribute(name, present, lossy);
}

std::vector<XmlNode> XmlNode::Children(std::string_view name) const {
  return impl_ ? impl_->Children(name) : std::vector<XmlNode>();
}

Status XmlNode::SetAttribute(std::string_view name, std::string_view value) {
  if (!impl_) return Status::InvalidArgument("No se puede poner un atributo a un elemento XML nulo.");
  if (!IsPlainXmlName(name)) {
    return Status::InvalidArgument("«" + std::string(name) + "» no es un nombre de atributo XML válido.");
  }
  return impl_->SetAttribute(name, value);
}

Status XmlNode::AppendChild(const XmlNode& child) {
  if (!impl_ || !child.impl_) {
    return Status::InvalidArgument("No se puede añadir un elemento XML nulo ni añadir a uno nulo.");
  }
  return impl_->AppendChild(*child.impl_);
}

Status XmlDocument::Load(const std::string& path, std::unique_ptr<XmlDocument>* out) {
  out->reset();
  std::string bytes;
  PONTEVIA_RETURN_IF_ERROR(Env::Default()->ReadFile(path, &bytes));  // kNotFound names the file
  return LoadXmlBytes(bytes, path, out);
}

Status XmlDocument::Create(std::unique_ptr<XmlDocument>* out) {
  out->reset();
  return CreateXmlDocument(out);
}

std::vector<XmlNode> SelectByPath(const XmlNode& root, std::string_view absolute_path) {
  std::vector<std::string_view> steps;
  if (absolute_path.size() < 2 || absolute_path[0] != '/') return {};
  std::string_view rest = absolute_path.substr(1);
  while (true) {
    size_t slash = rest.find('/');
    std::string_view step = rest.substr(0, slash);
    if (step.empty()) return {};
    steps.push_back(step);
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  if (root.IsNull() || root.Name() != steps[0]) return {};

  std::vector<XmlNode> level{root};
  for (size_t i = 1; i < steps.size() && !level.empty(); ++i) {
    std::vector<XmlNode> next;
    for (const XmlNode& node : level) {
      std::vector<XmlNode> children = node.Children(steps[i]);
      if (next.empty()) {
        next = std::move(children);
      } else {
        next.insert(next.end(), std::make_move_iterator(children.begin()),
                    std::make_move_iterator(children.end()));
      }
    }
    level = std::move(next);
  }
  return level;
}

Status NotWellFormed(const std::string& file_name, int line, int column, std::string_view detail) {
  std::string msg = "El archivo \"" + file_name + "\" no es un documento XML bien formado";
  if (line > 0) {
    msg += ": hay un error en la línea " + std::to_string(line);
    if (column > 0) msg += ", columna " + std::to_string(column);
  }
  if (!detail.empty()) msg += " (" + std::string(detail) + ")";
  msg += ". Compruebe que es el archivo exportado por GestIB y, si lo es, vuelva a exportarlo.";
  return Status::BadInput(std::move(msg));
}

Status DeclarationsRefused(const std::string& file_name, int line) {
  std::string msg = "El archivo \"" + file_name + "\" declara entidades o valores de atributos en su DTD";
  if (line > 0) msg += " (línea " + std::to_string(line) + ")";
  msg += ", y por seguridad no se aceptan. Use el archivo tal como lo exporta GestIB.";
  return Status::BadInput(std::move(msg));
}

std::string XmlWritableAnsi(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 && u != '\t' && u != '\n' && u != '\r') c = '?';
  }
  return out;
}

bool IsPlainXmlName(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    bool later = (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!letter && !(i > 0 && later)) return false;
  }
  return true;
}

}  // namespace pontevia::access
