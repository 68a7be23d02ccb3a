// The XML backend of the Windows build: MSXML's DOM, created through COM as
// "Microsoft.XMLDOM" and driven through IXMLDOMDocument.
//
// Every COM pointer lives in a ComPtr, COM initialisation in a ScopedCom
// that the document and each of its nodes share (so no Release runs after
// CoUninitialize), and each HRESULT becomes a Status where the call is made.
//
// The file is read by the portable half through Env and handed to MSXML as a
// memory stream, so MSXML opens nothing by name. External subsets and
// external entities stay unread (resolveExternals and validateOnParse off);
// entity and attribute-list declarations are refused before MSXML sees the
// bytes, since MSXML 3 sets no bound of its own on entity expansion.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <msxml2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "access/env.h"
#include "access/xml_node_impl.h"
#include "text/ansi.h"

namespace pontevia::access {
namespace {

// Not in mingw-w64's libuuid.
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held and lends the slot.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(std::u16string_view text)
      : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {}
  ~ScopedBstr() { SysFreeString(b_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return b_; }
  BSTR* Receive() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  std::u16string_view view() const {
    return b_ ? std::u16string_view(reinterpret_cast<const char16_t*>(b_), SysStringLen(b_)) : std::u16string_view();
  }

 private:
  BSTR b_ = nullptr;
};

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

// COM stays initialised on this thread while the owner lives. A thread that
// already chose the multithreaded apartment can still use MSXML, so that
// answer is accepted too, and then nothing is undone.
class ScopedCom {
 public:
  ScopedCom() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ScopedCom() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

Status ComFailure(const char* what, HRESULT hr) {
  return Status::IoError(std::string("El componente XML de Windows (MSXML) falló al ") + what + " (código " + Hex(hr) +
                         ").");
}

std::u16string Wide(std::string_view ansi) { return text::AnsiToUtf16(ansi); }

// The state a document and all its nodes share; node handles keep it alive,
// and comparing it tells whether two handles belong to one document.
struct MsxmlShared {
  ScopedCom com;  // first member: released last
  ComPtr<IXMLDOMDocument> doc;
};

class MsxmlNode final : public XmlNodeImpl {
 public:
  MsxmlNode(std::shared_ptr<MsxmlShared> shared, ComPtr<IXMLDOMNode> node)
      : shared_(std::move(shared)), node_(std::move(node)) {}

  std::string Name() const override {
    ScopedBstr name;
    if (FAILED(node_->get_nodeName(name.Receive()))) return std::string();
    return text::Utf16ToAnsi(name.view());
  }

  // MSXML keeps no source position per node.
  int Line() const override { return 0; }

  std::string Attribute(std::string_view name, bool* present, bool* lossy) const override {
    if (present != nullptr) *present = false;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (node_->get_attributes(attributes.Receive()) != S_OK || !attributes) return std::string();
    ScopedBstr wanted(Wide(name));
    ComPtr<IXMLDOMNode> attribute;
    if (attributes->getNamedItem(wanted.get(), attribute.Receive()) != S_OK || !attribute) return std::string();
    if (present != nullptr) *present = true;
    ScopedBstr value;
    if (FAILED(attribute->get_text(value.Receive()))) return std::string();
    std::u16string_view v = value.view();
    while (!v.empty() && v.front() <= 32) v.remove_prefix(1);
    while (!v.empty() && v.back() <= 32) v.remove_suffix(1);
    return text::Utf16ToAnsi(v, lossy);
  }

  std::vector<XmlNode> Children(std::string_view name) const override {
    std::vector<XmlNode> out;
    const std::u16string wanted = Wide(name);
    ComPtr<IXMLDOMNode> child;
    if (node_->get_firstChild(child.Receive()) != S_OK) return out;
    while (child) {
      DOMNodeType type;
      if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT) {
        ScopedBstr child_name;
        if (SUCCEEDED(child->get_nodeName(child_name.Receive())) && child_name.view() == wanted) {
          ComPtr<IXMLDOMNode> keep;
          child->QueryInterface(IID_IXMLDOMNode, keep.ReceiveVoid());
          if (keep) out.emplace_back(std::make_shared<MsxmlNode>(shared_, std::move(keep)));
        }
      }
      ComPtr<IXMLDOMNode> next;
      if (child->get_nextSibling(next.Receive()) != S_OK) break;
      child = std::move(next);
    }
    return out;
  }

  Status SetAttribute(std::string_view name, std::string_view value) override {
    ComPtr<IXMLDOMElement> element;
    HRESULT hr = node_->QueryInterface(IID_IXMLDOMElement, element.ReceiveVoid());
    if (FAILED(hr)) return ComFailure("tratar un nodo como elemento", hr);
    ScopedBstr attribute_name(Wide(name));
    ScopedVariant v;
    V_VT(v.get()) = VT_BSTR;
    const std::u16string wide = Wide(XmlWritableAnsi(value));
    V_BSTR(v.get()) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
    if (V_BSTR(v.get()) == nullptr) return ComFailure("reservar memoria para un atributo", E_OUTOFMEMORY);
    hr = element->setAttribute(attribute_name.get(), *v.get());
    if (FAILED(hr)) return ComFailure("poner un atributo", hr);
    return Status::OK();
  }

  Status AppendChild(XmlNodeImpl& child_impl) override {
    auto& child = static_cast<MsxmlNode&>(child_impl);
    if (child.shared_ != shared_) {
      return Status::InvalidArgument("El elemento XML que se quiere añadir es de otro documento.");
    }
    bool inside = false;
    PONTEVIA_RETURN_IF_ERROR(IsInside(child.node_.get(), &inside));
    if (inside) return Status::InvalidArgument("Un elemento XML no puede añadirse dentro de sí mismo.");
    ComPtr<IXMLDOMNode> appended;
    HRESULT hr = node_->appendChild(child.node_.get(), appended.Receive());
    if (FAILED(hr)) return ComFailure("añadir un elemento", hr);
    return Status::OK();
  }

  IXMLDOMNode* node() const { return node_.get(); }
  const std::shared_ptr<MsxmlShared>& shared() const { return shared_; }

 private:
  // Whether this node is `subtree` or lies inside it, which would make an
  // append close a loop. MSXML refuses that itself, but Wine's msxml3 does
  // not, and neither keeps one COM object per node that could be compared,
  // so `subtree` is marked for a moment and the marker looked for upwards.
  Status IsInside(IXMLDOMNode* subtree, bool* inside) const {
    *inside = false;
    ComPtr<IXMLDOMElement> element;
    HRESULT hr = subtree->QueryInterface(IID_IXMLDOMElement, element.ReceiveVoid());
    if (FAILED(hr)) return ComFailure("tratar un nodo como elemento", hr);
    ScopedBstr marker(u"pontevia_marca_de_ciclo");
    ScopedVariant mark;
    V_VT(mark.get()) = VT_BSTR;
    V_BSTR(mark.get()) = SysAllocString(L"1");
    hr = element->setAttribute(marker.get(), *mark.get());
    if (FAILED(hr)) return ComFailure("comprobar dónde se añade un elemento", hr);
    ComPtr<IXMLDOMNode> up;
    node_->QueryInterface(IID_IXMLDOMNode, up.ReceiveVoid());
    while (up && !*inside) {
      ComPtr<IXMLDOMNamedNodeMap> attributes;
      ComPtr<IXMLDOMNode> found;
      if (up->get_attributes(attributes.Receive()) == S_OK && attributes &&
          attributes->getNamedItem(marker.get(), found.Receive()) == S_OK && found) {
        *inside = true;
      }
      ComPtr<IXMLDOMNode> parent;
      if (up->get_parentNode(parent.Receive()) != S_OK) break;
      up = std::move(parent);
    }
    hr = element->removeAttribute(marker.get());
    if (FAILED(hr)) return ComFailure("comprobar dónde se añade un elemento", hr);
    return Status::OK();
  }

  std::shared_ptr<MsxmlShared> shared_;
  ComPtr<IXMLDOMNode> node_;
};

class MsxmlDocument final : public XmlDocument {
 public:
  explicit MsxmlDocument(std::shared_ptr<MsxmlShared> shared) : shared_(std::move(shared)) {}

  XmlNode DocumentElement() override {
    ComPtr<IXMLDOMElement> root;
    if (shared_->doc->get_documentElement(root.Receive()) != S_OK || !root) return XmlNode();
    ComPtr<IXMLDOMNode> node;
    root->QueryInterface(IID_IXMLDOMNode, node.ReceiveVoid());
    return node ? XmlNode(std::make_shared<MsxmlNode>(shared_, std::move(node))) : XmlNode();
  }

  std::vector<XmlNode> SelectNodes(std::string_view absolute_path) override {
    return SelectByPath(DocumentElement(), absolute_path);
  }

  XmlNode CreateElement(std::string_view name) override {
    if (!IsPlainXmlName(name)) return XmlNode();
    ScopedBstr tag(Wide(name));
    ComPtr<IXMLDOMElement> element;
    if (FAILED(shared_->doc->createElement(tag.get(), element.Receive())) || !element) return XmlNode();
    ComPtr<IXMLDOMNode> node;
    element->QueryInterface(IID_IXMLDOMNode, node.ReceiveVoid());
    return node ? XmlNode(std::make_shared<MsxmlNode>(shared_, std::move(node))) : XmlNode();
  }

  Status AppendChild(const XmlNode& element) override {
    if (element.IsNull()) return Status::InvalidArgument("No se puede añadir un elemento XML nulo.");
    auto* node = static_cast<MsxmlNode*>(element.impl());
    if (node->shared() != shared_) {
      return Status::InvalidArgument("El elemento XML que se quiere añadir es de otro documento.");
    }
    if (!DocumentElement().IsNull()) return Status::InvalidArgument("El documento XML ya tiene elemento raíz.");
    ComPtr<IXMLDOMNode> appended;
    HRESULT hr = shared_->doc->appendChild(node->node(), appended.Receive());
    if (FAILED(hr)) return ComFailure("añadir el elemento raíz", hr);
    return Status::OK();
  }

  // The document's text comes out of MSXML as UTF-16 and is written as UTF-8
  // through Env, under a temporary name renamed into place only once the
  // whole file is written and closed.
  Status Save(const std::string& path) override {
    ScopedBstr xml;
    HRESULT hr = shared_->doc->get_xml(xml.Receive());
    if (FAILED(hr)) return ComFailure("obtener el texto del documento", hr);

    Env* env = Env::Default();
    const std::string temp = path + ".tmp";
    auto fail = [&](const Status& why) {
      (void)env->RemoveFile(temp);
      return why.WithPrefix("No se pudo guardar el archivo \"" + path + "\". ");
    };
    std::unique_ptr<WritableFile> file;
    Status s = env->NewWritableFile(temp, &file);
    if (!s.ok()) return fail(s);
    std::u16string_view rest = xml.view();
    constexpr size_t kChunk = 1 << 16;
    while (!rest.empty()) {
      size_t n = std::min(kChunk, rest.size());
      // Never split a surrogate pair between two chunks.
      if (n < rest.size() && rest[n - 1] >= 0xD800 && rest[n - 1] <= 0xDBFF) --n;
      s = file->Append(text::Utf16ToUtf8(rest.substr(0, n)));
      if (!s.ok()) return fail(s);
      rest.remove_prefix(n);
    }
    s = file->Close();
    file.reset();
    if (!s.ok()) return fail(s);
    s = env->RenameFile(temp, path);
    if (!s.ok()) return fail(s);
    return Status::OK();
  }

 private:
  std::shared_ptr<MsxmlShared> shared_;
};

// Creates "Microsoft.XMLDOM" with loading made synchronous and nothing
// outside the given bytes ever fetched.
Status NewShared(std::shared_ptr<MsxmlShared>* out) {
  auto shared = std::make_shared<MsxmlShared>();
  if (!shared->com.usable()) return ComFailure("iniciar COM", shared->com.hr());
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"Microsoft.XMLDOM", &clsid);
  if (FAILED(hr)) {
    return Status::IoError("No se encuentra el componente XML de Windows (Microsoft.XMLDOM, código " + Hex(hr) +
                           "). Instale o repare MSXML y vuelva a intentarlo.");
  }
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, shared->doc.ReceiveVoid());
  if (FAILED(hr)) return ComFailure("crearse (Microsoft.XMLDOM)", hr);
  hr = shared->doc->put_async(VARIANT_FALSE);
  if (FAILED(hr)) return ComFailure("pasar a carga síncrona", hr);
  hr = shared->doc->put_resolveExternals(VARIANT_FALSE);
  if (FAILED(hr)) return ComFailure("desactivar las referencias externas", hr);
  hr = shared->doc->put_validateOnParse(VARIANT_FALSE);
  if (FAILED(hr)) return ComFailure("desactivar la validación", hr);
  // The same nesting bound libxml2 keeps. Versions without the property
  // refuse it; that costs nothing but the bound, so the answer is not fatal.
  ComPtr<IXMLDOMDocument2> doc2;
  if (SUCCEEDED(shared->doc->QueryInterface(kIidXmlDomDocument2, doc2.ReceiveVoid()))) {
    ScopedBstr property(u"MaxElementDepth");
    ScopedVariant depth;
    V_VT(depth.get()) = VT_I4;
    V_I4(depth.get()) = 256;
    (void)doc2->setProperty(property.get(), *depth.get());
  }
  *out = std::move(shared);
  return Status::OK();
}

// Where a declaration MSXML must not see starts, if anywhere: as ASCII bytes
// (UTF-8 and the 8-bit code pages) or as UTF-16 in either byte order. The
// line is counted in the same unit. A "<!ENTITY" inside a comment is refused
// too; no school file has one.
bool FindDeclaration(std::string_view bytes, int* line) {
  for (const char* marker : {"<!ENTITY", "<!ATTLIST"}) {
    const std::string_view ascii = marker;
    for (int width : {1, 2}) {
      for (int high_first : {0, 1}) {
        if (width == 1 && high_first == 1) continue;
        std::string pattern;
        for (char c : ascii) {
          if (width == 2 && high_first) pattern += '\0';
          pattern += c;
          if (width == 2 && !high_first) pattern += '\0';
        }
        size_t at = bytes.find(pattern);
        if (at == std::string_view::npos) continue;
        int lines = 1;
        for (size_t i = (at % width); i + width <= at; i += width) {
          bool newline = width == 1 ? bytes[i] == '\n'
                                    : (high_first ? (bytes[i] == 0 && bytes[i + 1] == '\n')
                                                  : (bytes[i] == '\n' && bytes[i + 1] == 0));
          if (newline) ++lines;
        }
        *line = lines;
        return true;
      }
    }
  }
  return false;
}

}  // namespace

Status LoadXmlBytes(std::string_view bytes, const std::string& file_name, std::unique_ptr<XmlDocument>* out) {
  out->reset();
  if (bytes.empty()) return NotWellFormed(file_name, 0, 0, "el archivo está vacío");
  if (bytes.size() > 0x7FFFFFFF) {
    return Status::BadInput("El archivo \"" + file_name + "\" es demasiado grande para leerlo (más de 2 GB).");
  }
  int declaration_line = 0;
  if (FindDeclaration(bytes, &declaration_line)) return DeclarationsRefused(file_name, declaration_line);

  std::shared_ptr<MsxmlShared> shared;
  PONTEVIA_RETURN_IF_ERROR(NewShared(&shared));

  // A stream over a copy of the bytes, owned by the stream once created.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (memory == nullptr) return ComFailure("reservar memoria para el archivo", E_OUTOFMEMORY);
  void* dest = GlobalLock(memory);
  if (dest == nullptr) {
    GlobalFree(memory);
    return ComFailure("reservar memoria para el archivo", E_OUTOFMEMORY);
  }
  std::memcpy(dest, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, stream.Receive());
  if (FAILED(hr)) {
    GlobalFree(memory);
    return ComFailure("preparar la lectura del archivo", hr);
  }
  ULARGE_INTEGER size;
  size.QuadPart = bytes.size();
  stream->SetSize(size);  // the HGLOBAL may be larger than asked

  ScopedVariant source;
  V_VT(source.get()) = VT_UNKNOWN;
  V_UNKNOWN(source.get()) = stream.get();
  stream.get()->AddRef();  // the variant holds its own reference
  VARIANT_BOOL loaded = VARIANT_FALSE;
  hr = shared->doc->load(*source.get(), &loaded);
  if (FAILED(hr) && hr != E_FAIL) return ComFailure("leer el archivo", hr);
  if (loaded != VARIANT_TRUE) {
    ComPtr<IXMLDOMParseError> error;
    long line = 0;
    long column = 0;
    ScopedBstr reason;
    if (SUCCEEDED(shared->doc->get_parseError(error.Receive())) && error) {
      error->get_line(&line);
      error->get_linepos(&column);
      error->get_reason(reason.Receive());
    }
    std::u16string_view why = reason.view();
    while (!why.empty() && why.back() <= 32) why.remove_suffix(1);
    while (!why.empty() && why.back() == u'.') why.remove_suffix(1);
    return NotWellFormed(file_name, static_cast<int>(line), static_cast<int>(column), text::Utf16ToUtf8(why));
  }
  *out = std::make_unique<MsxmlDocument>(std::move(shared));
  return Status::OK();
}

Status CreateXmlDocument(std::unique_ptr<XmlDocument>* out) {
  std::shared_ptr<MsxmlShared> shared;
  PONTEVIA_RETURN_IF_ERROR(NewShared(&shared));
  *out = std::make_unique<MsxmlDocument>(std::move(shared));
  return Status::OK();
}

}  // namespace pontevia::access
