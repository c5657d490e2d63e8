// The windows tree reads answers with MSXML 6, through the COM apartment of the thread that reads them.

#include <windows.h>

#include <msxml2.h>
#include <oleauto.h>

#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "session/answer_document.h"
#include "win32/code_page.h"
#include "win32/com.h"
#include "win32/system_library.h"

namespace {

// MSXML 6's default limit, held here as well so that the conversion's recursion stays shallow whatever
// the installed parser allows.
constexpr long MaxElementDepth = 256;

// MinGW declares IID_IXMLDOMDocument2 but ships no library that defines it.
constexpr IID DocumentInterface = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

class TBstr {
 public:
  TBstr() = default;
  explicit TBstr(const wchar_t* text) : text_(SysAllocString(text)) {
    if (!text_) throw std::bad_alloc();
  }
  ~TBstr() { SysFreeString(text_); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;

  BSTR Get() const { return text_; }
  BSTR* Put() {
    SysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }

 private:
  BSTR text_ = nullptr;
};

// Owns what it holds, a SAFEARRAY included.
class TVariant {
 public:
  TVariant() { VariantInit(&value_); }
  ~TVariant() { VariantClear(&value_); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;

  VARIANT& Get() { return value_; }
  VARIANT* Put() {
    VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

std::string Ansi(BSTR text) { return text ? AnsiText({text, SysStringLen(text)}) : std::string(); }

bool NameOf(IXMLDOMNode* node, std::string& name) {
  TBstr text;
  if (node->get_nodeName(text.Put()) != S_OK) return false;
  name = Ansi(text.Get());
  return true;
}

bool ValueOf(IXMLDOMNode* node, std::string& value) {
  TVariant text;
  if (FAILED(node->get_nodeValue(text.Put()))) return false;
  if (text.Get().vt == VT_NULL) return true;
  if (text.Get().vt != VT_BSTR) return false;
  value = Ansi(text.Get().bstrVal);
  return true;
}

bool IsNamespaceDeclaration(std::string_view name) { return name == "xmlns" || name.starts_with("xmlns:"); }

// Walked with nextNode rather than by index: Wine's MSXML counts namespace declarations among the
// attributes but fails to hand them out by index, and skips them when walking.
bool ConvertAttributes(IXMLDOMNode* element, TAnswerNode& to) {
  TComPtr<IXMLDOMNamedNodeMap> attributes;
  if (element->get_attributes(attributes.Put()) != S_OK || !attributes || FAILED(attributes->reset()))
    return false;
  for (;;) {
    TComPtr<IXMLDOMNode> attribute;
    const HRESULT result = attributes->nextNode(attribute.Put());
    if (FAILED(result)) return false;
    if (result != S_OK || !attribute) return true;
    TAnswerAttribute converted;
    if (!NameOf(attribute.Get(), converted.Name)) return false;
    // Namespace declarations are not attributes of the answer.
    if (IsNamespaceDeclaration(converted.Name)) continue;
    if (!ValueOf(attribute.Get(), converted.Value)) return false;
    to.Attributes.push_back(std::move(converted));
  }
}

bool ConvertNode(IXMLDOMNode* from, TAnswerNode& to, long depth);

bool ConvertChildren(IXMLDOMNode* parent, std::vector<TAnswerNode>& to, long depth) {
  TComPtr<IXMLDOMNode> child;
  if (FAILED(parent->get_firstChild(child.Put()))) return false;
  while (child) {
    if (!ConvertNode(child.Get(), to.emplace_back(), depth)) return false;
    TComPtr<IXMLDOMNode> next;
    if (FAILED(child->get_nextSibling(next.Put()))) return false;
    child.Swap(next);
  }
  return true;
}

// depth is the number of elements around from.
bool ConvertNode(IXMLDOMNode* from, TAnswerNode& to, long depth) {
  DOMNodeType type;
  if (FAILED(from->get_nodeType(&type))) return false;
  switch (type) {
    case NODE_ELEMENT:
      if (depth >= MaxElementDepth) return false;
      to.Kind = TAnswerNodeKind::Element;
      return NameOf(from, to.Name) && ConvertAttributes(from, to) &&
             ConvertChildren(from, to.Children, depth + 1);
    case NODE_TEXT:
      to.Kind = TAnswerNodeKind::Text;
      return ValueOf(from, to.Value);
    case NODE_CDATA_SECTION:
      to.Kind = TAnswerNodeKind::CData;
      return ValueOf(from, to.Value);
    case NODE_COMMENT:
      to.Kind = TAnswerNodeKind::Comment;
      return ValueOf(from, to.Value);
    case NODE_PROCESSING_INSTRUCTION:
      to.Kind = TAnswerNodeKind::ProcessingInstruction;
      return NameOf(from, to.Name) && ValueOf(from, to.Value);
    case NODE_DOCUMENT_TYPE:
      return false;
    default:
      to.Kind = TAnswerNodeKind::Other;
      return true;
  }
}

bool SetProperty(IXMLDOMDocument2* document, const wchar_t* name, VARIANT value) {
  const TBstr property(name);
  return SUCCEEDED(document->setProperty(property.Get(), value));
}

// A new, empty MSXML 6 document; null when COM or MSXML cannot make one.
TComPtr<IXMLDOMDocument2> NewDocument() {
  // MSXML 6 hands its classes on to msxml3, which it loads by name.
  [[maybe_unused]] static const bool Loaded = (LoadSystemLibraries({"msxml3.dll"}), true);
  EnsureComApartment();
  TComPtr<IXMLDOMDocument2> document;
  CLSID documentClass;
  if (SUCCEEDED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &documentClass)) &&
      FAILED(CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, DocumentInterface,
                              reinterpret_cast<void**>(document.Put()))))
    document.Reset();
  return document;
}

}  // namespace

void PrepareAnswerParser() {
  // The first document loads MSXML and what it needs, which stays loaded for the next one.
  LoadAnswerDocument("<Brovik/>");
}

std::optional<TAnswerDocument> LoadAnswerDocument(std::string_view answer) {
  // MSXML fails to load no bytes at all; they are an empty answer.
  if (answer.empty()) return TAnswerDocument{};
  if (answer.size() > LONG_MAX) return std::nullopt;
  try {
    const TComPtr<IXMLDOMDocument2> document = NewDocument();
    if (!document) return std::nullopt;
    // Text nodes as written, nothing fetched, no DTD at all.
    if (FAILED(document->put_async(VARIANT_FALSE)) || FAILED(document->put_validateOnParse(VARIANT_FALSE)) ||
        FAILED(document->put_resolveExternals(VARIANT_FALSE)) ||
        FAILED(document->put_preserveWhiteSpace(VARIANT_TRUE)))
      return std::nullopt;
    VARIANT on;
    VariantInit(&on);
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    if (!SetProperty(document.Get(), L"ProhibitDTD", on)) return std::nullopt;
    // Tabs and line breaks written in attribute values become spaces, as XML asks and as Wine's MSXML
    // does anyway: MSXML 6 on Windows keeps them unless told.
    if (!SetProperty(document.Get(), L"NormalizeAttributeValues", on)) return std::nullopt;
    VARIANT depth;
    VariantInit(&depth);
    depth.vt = VT_I4;
    depth.lVal = MaxElementDepth;
    SetProperty(document.Get(), L"MaxElementDepth", depth);  // where this fails, ConvertNode holds it

    // Bytes, not text, so that MSXML applies the byte-order mark and the declared encoding.
    TVariant source;
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(answer.size()));
    if (!bytes) return std::nullopt;
    source.Get().vt = VT_ARRAY | VT_UI1;
    source.Get().parray = bytes;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(bytes, &data))) return std::nullopt;
    std::memcpy(data, answer.data(), answer.size());
    SafeArrayUnaccessData(bytes);

    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (document->load(source.Get(), &loaded) != S_OK || loaded != VARIANT_TRUE) return std::nullopt;

    // Wine's MSXML takes a DTD, and expands its entities, whatever ProhibitDTD says.
    TComPtr<IXMLDOMDocumentType> documentType;
    if (FAILED(document->get_doctype(documentType.Put())) || documentType) return std::nullopt;

    TAnswerDocument result;
    if (!ConvertChildren(document.Get(), result.Nodes, 0)) return std::nullopt;
    // The XML declaration is not part of the answer.
    std::erase_if(result.Nodes, [](const TAnswerNode& node) {
      return node.Kind == TAnswerNodeKind::ProcessingInstruction && node.Name == "xml";
    });
    return result;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
