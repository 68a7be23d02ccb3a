// The XML backend of the non-Windows builds, over libxml2's tree API.
//
// Loading parses bytes already read through Env, never a file name, so
// libxml2 opens nothing by itself (no compressed input, no URLs). No external
// subset, no external entity and no network are ever loaded: the parser runs
// without DTDLOAD, NOENT, DTDATTR or HUGE, and any entity or attribute-list
// declaration stops it (see DeclarationsRefused), which also keeps entity
// expansion out; libxml2's own amplification limits remain as a second wall.
//
// Writing builds a libxml2 tree. Names go through the document's dictionary
// and every value is one text node, so an element of nine attributes costs a
// handful of small allocations; the import builds a million of them.
#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "access/env.h"
#include "access/xml_node_impl.h"
#include "text/ansi.h"

namespace pontevia::access {
namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct NodeFree {
  void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
struct ParserFree {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct XmlCharFree {
  void operator()(xmlChar* p) const { xmlFree(p); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
using NodePtr = std::unique_ptr<xmlNode, NodeFree>;

// Windows-1252 as Windows reads it: iconv refuses the five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), where MSXML maps them
// to U+0081 and so on. This converter follows the text/ codec, so a file
// from Windows loads to the same bytes with either engine.
std::string g_ansi_to_utf8[256];

int AnsiToUtf8Input(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  int produced = 0;
  int consumed = 0;
  while (consumed < *inlen) {
    const std::string& utf8 = g_ansi_to_utf8[in[consumed]];
    if (produced + static_cast<int>(utf8.size()) > *outlen) break;
    std::memcpy(out + produced, utf8.data(), utf8.size());
    produced += static_cast<int>(utf8.size());
    ++consumed;
  }
  *inlen = consumed;
  *outlen = produced;
  return produced;
}

void InitLibxml2() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    for (int b = 0; b < 256; ++b) g_ansi_to_utf8[b] = text::AnsiToUtf8(std::string(1, static_cast<char>(b)));
    // Creating a handler also registers it (under its upper-cased name, which
    // lookups use after resolving aliases); registering it again would have
    // libxml2 free it twice at exit.
    (void)xmlNewCharEncodingHandler("WINDOWS-1252", AnsiToUtf8Input, nullptr);
    xmlAddEncodingAlias("WINDOWS-1252", "CP1252");
  });
}

const char* AsChars(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
const xmlChar* AsXml(const char* s) { return reinterpret_cast<const xmlChar*>(s); }

// Compares an element's or attribute's qualified name ("prefix:local", as
// MSXML's nodeName gives it) with `want`.
bool QualifiedNameIs(const xmlNs* ns, const xmlChar* local, std::string_view want) {
  std::string_view name = AsChars(local);
  if (ns != nullptr && ns->prefix != nullptr) {
    std::string_view prefix = AsChars(ns->prefix);
    return want.size() == prefix.size() + 1 + name.size() && want.substr(0, prefix.size()) == prefix &&
           want[prefix.size()] == ':' && want.substr(prefix.size() + 1) == name;
  }
  return want == name;
}

class Libxml2Node final : public XmlNodeImpl {
 public:
  explicit Libxml2Node(xmlNode* node) : node_(node) {}

  std::string Name() const override {
    std::string name;
    if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
      name = AsChars(node_->ns->prefix);
      name += ':';
    }
    name += AsChars(node_->name);
    return text::Utf8ToAnsi(name);
  }

  // The loader keeps every element's line in psvi (see OnStartElement);
  // created elements have none and give 0.
  int Line() const override { return static_cast<int>(reinterpret_cast<intptr_t>(node_->psvi)); }

  std::string Attribute(std::string_view name, bool* present, bool* lossy) const override {
    for (xmlAttr* attr = node_->properties; attr != nullptr; attr = attr->next) {
      if (!QualifiedNameIs(attr->ns, attr->name, name)) continue;
      if (present != nullptr) *present = true;
      const xmlNode* kids = attr->children;
      if (kids == nullptr) return std::string();
      if (kids->type == XML_TEXT_NODE && kids->next == nullptr && kids->content != nullptr) {
        return text::Utf8ToAnsi(text::Trim(AsChars(kids->content)), lossy);
      }
      std::unique_ptr<xmlChar, XmlCharFree> joined(xmlNodeListGetString(node_->doc, kids, 1));
      return joined ? text::Utf8ToAnsi(text::Trim(AsChars(joined.get())), lossy) : std::string();
    }
    if (present != nullptr) *present = false;
    return std::string();
  }

  std::vector<XmlNode> Children(std::string_view name) const override {
    std::vector<XmlNode> out;
    for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE && QualifiedNameIs(child->ns, child->name, name)) {
        out.emplace_back(std::make_shared<Libxml2Node>(child));
      }
    }
    return out;
  }

  Status SetAttribute(std::string_view name, std::string_view value) override {
    bool clean = true;
    for (char c : value) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 32 && u != '\t' && u != '\n' && u != '\r') clean = false;
    }
    const std::string utf8 = clean ? text::AnsiToUtf8(value) : text::AnsiToUtf8(XmlWritableAnsi(value));
    xmlNode* text = NewValueText(utf8);
    if (text == nullptr) return OutOfMemory();

    xmlAttr* attr = node_->properties;
    while (attr != nullptr && (attr->ns != nullptr || std::string_view(AsChars(attr->name)) != name)) {
      attr = attr->next;
    }
    if (attr != nullptr) {
      // Replacing the value in place keeps the attribute where it stands.
      if (attr->children != nullptr) xmlFreeNodeList(attr->children);
    } else {
      std::string name_z(name);
      attr = xmlNewProp(node_, AsXml(name_z.c_str()), nullptr);
      if (attr == nullptr) {
        xmlFreeNode(text);
        return OutOfMemory();
      }
    }
    attr->children = attr->last = text;
    text->parent = reinterpret_cast<xmlNode*>(attr);
    return Status::OK();
  }

  Status AppendChild(XmlNodeImpl& child_impl) override {
    xmlNode* child = static_cast<Libxml2Node&>(child_impl).node_;
    if (child->doc != node_->doc) {
      return Status::InvalidArgument("El elemento XML que se quiere añadir es de otro documento.");
    }
    for (xmlNode* up = node_; up != nullptr; up = up->parent) {
      if (up == child) {
        return Status::InvalidArgument("Un elemento XML no puede añadirse dentro de sí mismo.");
      }
    }
    xmlUnlinkNode(child);
    xmlAddChild(node_, child);
    return Status::OK();
  }

  // A text node for an attribute value. The value itself goes into the
  // document's dictionary, as the parser does with short texts: the import
  // repeats the same few days, hours and codes a million times, and each is
  // then stored once. libxml2 frees such texts with the dictionary.
  xmlNode* NewValueText(const std::string& utf8) const {
    xmlDict* dict = node_->doc != nullptr ? node_->doc->dict : nullptr;
    if (dict == nullptr) return xmlNewDocText(node_->doc, AsXml(utf8.c_str()));
    const xmlChar* shared = xmlDictLookup(dict, AsXml(utf8.data()), static_cast<int>(utf8.size()));
    if (shared == nullptr) return nullptr;
    xmlNode* text = xmlNewDocText(node_->doc, nullptr);
    if (text != nullptr) text->content = const_cast<xmlChar*>(shared);
    return text;
  }

  static Status OutOfMemory() { return Status::IoError("No hay memoria suficiente para el documento XML."); }

  xmlNode* node() const { return node_; }

 private:
  xmlNode* node_;
};

class Libxml2Document final : public XmlDocument {
 public:
  explicit Libxml2Document(DocPtr doc) : doc_(std::move(doc)) {}

  XmlNode DocumentElement() override {
    xmlNode* root = xmlDocGetRootElement(doc_.get());
    return root ? XmlNode(std::make_shared<Libxml2Node>(root)) : XmlNode();
  }

  std::vector<XmlNode> SelectNodes(std::string_view absolute_path) override {
    return SelectByPath(DocumentElement(), absolute_path);
  }

  XmlNode CreateElement(std::string_view name) override {
    if (!IsPlainXmlName(name)) return XmlNode();
    // Elements not yet appended wait under a detached holder, so the ones a
    // caller never appends are still freed with the document.
    if (!limbo_) {
      limbo_.reset(xmlNewDocNode(doc_.get(), nullptr, AsXml("limbo"), nullptr));
      if (!limbo_) return XmlNode();
    }
    std::string name_z(name);
    xmlNode* node = xmlNewDocNode(doc_.get(), nullptr, AsXml(name_z.c_str()), nullptr);
    if (node == nullptr) return XmlNode();
    xmlAddChild(limbo_.get(), node);
    return XmlNode(std::make_shared<Libxml2Node>(node));
  }

  Status AppendChild(const XmlNode& element) override {
    if (element.IsNull()) return Status::InvalidArgument("No se puede añadir un elemento XML nulo.");
    if (xmlDocGetRootElement(doc_.get()) != nullptr) {
      return Status::InvalidArgument("El documento XML ya tiene elemento raíz.");
    }
    xmlNode* node = static_cast<Libxml2Node*>(element.impl())->node();
    if (node->doc != doc_.get()) {
      return Status::InvalidArgument("El elemento XML que se quiere añadir es de otro documento.");
    }
    xmlUnlinkNode(node);
    xmlDocSetRootElement(doc_.get(), node);
    return Status::OK();
  }

  Status Save(const std::string& path) override;

 private:
  DocPtr doc_;
  NodePtr limbo_;  // declared after doc_, so freed first: its names live in the doc's dictionary
};

// Receives libxml2's output and passes it to the Env file, keeping the first
// failure so Save can report the system's reason.
struct SaveSink {
  WritableFile* file;
  Status status;
};

int WriteToSink(void* context, const char* buffer, int len) {
  auto* sink = static_cast<SaveSink*>(context);
  if (!sink->status.ok()) return -1;
  sink->status = sink->file->Append(std::string_view(buffer, static_cast<size_t>(len)));
  return sink->status.ok() ? len : -1;
}

Status Libxml2Document::Save(const std::string& path) {
  Env* env = Env::Default();
  const std::string temp = path + ".tmp";
  auto fail = [&](const Status& why) {
    (void)env->RemoveFile(temp);
    return why.WithPrefix("No se pudo guardar el archivo \"" + path + "\". ");
  };

  std::unique_ptr<WritableFile> file;
  Status s = env->NewWritableFile(temp, &file);
  if (!s.ok()) return fail(s);
  SaveSink sink{file.get(), Status::OK()};
  // Naming UTF-8 here also makes libxml2 write characters beyond ASCII as
  // themselves rather than as character references.
  xmlSaveCtxt* save = xmlSaveToIO(WriteToSink, nullptr, &sink, "UTF-8", 0);
  if (save == nullptr) return fail(Libxml2Node::OutOfMemory());
  long written = xmlSaveDoc(save, doc_.get());
  int closed = xmlSaveClose(save);
  if (!sink.status.ok()) return fail(sink.status);
  if (written < 0 || closed < 0) return fail(Status::IoError("la biblioteca XML no pudo escribirlo."));
  s = file->Close();
  file.reset();
  if (!s.ok()) return fail(s);
  s = env->RenameFile(temp, path);
  if (!s.ok()) return fail(s);
  return Status::OK();
}

// --- Loading -------------------------------------------------------------

struct LoadState {
  bool refused = false;
  int refused_line = 0;
};

void Refuse(void* context) {
  auto* ctxt = static_cast<xmlParserCtxt*>(context);
  auto* state = static_cast<LoadState*>(ctxt->_private);
  if (!state->refused) {
    state->refused = true;
    state->refused_line = ctxt->input != nullptr ? ctxt->input->line : 0;
  }
  xmlStopParser(ctxt);
}

void OnEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) { Refuse(ctx); }

void OnUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
  Refuse(ctx);
}

void OnAttributeDecl(void* ctx, const xmlChar*, const xmlChar*, int, int, const xmlChar*,
                     xmlEnumeration* tree) {
  if (tree != nullptr) xmlFreeEnumeration(tree);  // the handler owns it
  Refuse(ctx);
}

// libxml2 keeps line numbers in 16 bits and takes them where the start tag
// ends; a school file can be longer, a tag can spread its attributes over
// several lines, and a warning that points at the wrong line is worse than
// none. The line where the tag opens goes into psvi, which nothing else uses
// without schema validation. No '<' can stand inside a start tag, so the
// last one before the parser's position opens it.
int StartTagLine(const xmlParserInput* input) {
  int line = input->line;
  int newlines = 0;
  for (const xmlChar* p = input->cur; p > input->base;) {
    --p;
    if (*p == '<') return line - newlines;
    if (*p == '\n') ++newlines;
  }
  return line;
}

void OnStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int nb_namespaces, const xmlChar** namespaces, int nb_attributes, int nb_defaulted,
                    const xmlChar** attributes) {
  auto* ctxt = static_cast<xmlParserCtxt*>(ctx);
  xmlNode* parent = ctxt->node;
  xmlSAX2StartElementNs(ctx, localname, prefix, uri, nb_namespaces, namespaces, nb_attributes, nb_defaulted,
                        attributes);
  if (ctxt->node != nullptr && ctxt->node != parent && ctxt->input != nullptr) {
    ctxt->node->psvi = reinterpret_cast<void*>(static_cast<intptr_t>(StartTagLine(ctxt->input)));
  }
}

void IgnoreStructuredError(void*, xmlError*) {}
void IgnoreGenericError(void*, const char*, ...) {}

// The parser's reason in Spanish for the faults a damaged or hand-edited
// file shows most; others keep libxml2's English text.
std::string Reason(const xmlError* error) {
  switch (error->code) {
    case XML_ERR_DOCUMENT_EMPTY:
      return "el documento está vacío";
    case XML_ERR_DOCUMENT_END:
      return "hay contenido después del final del documento";
    case XML_ERR_TAG_NAME_MISMATCH:
      return "la etiqueta de cierre no corresponde a la de apertura";
    case XML_ERR_TAG_NOT_FINISHED:
    case XML_ERR_LTSLASH_REQUIRED:
      return "el archivo termina antes de cerrar todas las etiquetas";
    case XML_ERR_NAME_REQUIRED:
      return "falta un nombre: un '&' o un '<' sueltos se escriben &amp; y &lt;";
    case XML_ERR_GT_REQUIRED:
      return "falta el carácter '>'";
    case XML_ERR_INVALID_CHAR:
    case XML_ERR_INVALID_CHARREF:
    case XML_ERR_INVALID_DEC_CHARREF:
    case XML_ERR_INVALID_HEX_CHARREF:
      return "hay un carácter no permitido en XML";
    case XML_ERR_INVALID_ENCODING:
      return "hay bytes que no corresponden a la codificación declarada";
    case XML_ERR_UNKNOWN_ENCODING:
    case XML_ERR_UNSUPPORTED_ENCODING:
      return "la codificación declarada no está admitida";
    case XML_ERR_UNDECLARED_ENTITY:
    case XML_WAR_UNDECLARED_ENTITY:
      return "hay una referencia a una entidad no declarada";
    case XML_ERR_ENTITYREF_SEMICOL_MISSING:
      return "falta ';' al final de una referencia";
    case XML_ERR_LT_IN_ATTRIBUTE:
      return "hay un '<' dentro del valor de un atributo";
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
    case XML_ERR_ATTRIBUTE_NOT_FINISHED:
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
      return "un atributo no tiene su valor entre comillas";
    case XML_ERR_ATTRIBUTE_REDEFINED:
      return "un atributo está repetido en el mismo elemento";
    case XML_ERR_ENTITY_LOOP:
      return "las entidades se expanden sin límite";
    default:
      break;
  }
  std::string english = error->message != nullptr ? error->message : "";
  if (english.rfind("Excessive depth", 0) == 0) return "hay elementos anidados a más de 256 niveles";
  while (!english.empty() && (english.back() == '\n' || english.back() == ' ')) english.pop_back();
  return english;
}

}  // namespace

Status LoadXmlBytes(std::string_view bytes, const std::string& file_name, std::unique_ptr<XmlDocument>* out) {
  out->reset();
  InitLibxml2();
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    return Status::BadInput("El archivo \"" + file_name + "\" es demasiado grande para leerlo (más de 2 GB).");
  }
  // Messages the parser would print outside a context (encoding converters)
  // go nowhere; every fault reaches the caller as a Status instead.
  xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
  xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
  if (bytes.empty()) return NotWellFormed(file_name, 0, 0, "el archivo está vacío");

  std::unique_ptr<xmlParserCtxt, ParserFree> ctxt(
      xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
  if (!ctxt) return Libxml2Node::OutOfMemory();
  xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  LoadState state;
  ctxt->_private = &state;
  xmlSAXHandler* sax = ctxt->sax;
  sax->entityDecl = OnEntityDecl;
  sax->unparsedEntityDecl = OnUnparsedEntityDecl;
  sax->attributeDecl = OnAttributeDecl;
  sax->startElementNs = OnStartElement;
  sax->serror = IgnoreStructuredError;

  xmlParseDocument(ctxt.get());
  DocPtr doc(ctxt->myDoc);
  ctxt->myDoc = nullptr;
  if (state.refused) return DeclarationsRefused(file_name, state.refused_line);
  if (!ctxt->wellFormed || !doc) {
    const xmlError* error = xmlCtxtGetLastError(ctxt.get());
    if (error == nullptr || error->code == XML_ERR_OK) return NotWellFormed(file_name, 0, 0, "");
    return NotWellFormed(file_name, error->line, error->int2, Reason(error));
  }
  *out = std::make_unique<Libxml2Document>(std::move(doc));
  return Status::OK();
}

Status CreateXmlDocument(std::unique_ptr<XmlDocument>* out) {
  InitLibxml2();
  DocPtr doc(xmlNewDoc(AsXml("1.0")));
  if (!doc) return Libxml2Node::OutOfMemory();
  // A dictionary makes the million repeated element and attribute names of a
  // solution document one shared copy each.
  doc->dict = xmlDictCreate();
  if (doc->dict == nullptr) return Libxml2Node::OutOfMemory();
  *out = std::make_unique<Libxml2Document>(std::move(doc));
  return Status::OK();
}

}  // namespace pontevia::access
