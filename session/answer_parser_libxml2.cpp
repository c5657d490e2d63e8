// The host tree reads answers with libxml2, in place of the Windows tree's MSXML.

#include <iconv.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <stdexcept>
#include <string>

#include "session/answer_document.h"

namespace {

// The nesting that MSXML 6 allows by default; deeper answers are refused in both trees.
constexpr int MaxElementDepth = 256;

// libxml2 hands out UTF-8; the program's texts are Windows-1252, with "?" where a character has no byte.
class TAnsiConverter {
 public:
  TAnsiConverter() : handle_(iconv_open("WINDOWS-1252", "UTF-8")) {}
  ~TAnsiConverter() {
    if (Ready()) iconv_close(handle_);
  }
  TAnsiConverter(const TAnsiConverter&) = delete;
  TAnsiConverter& operator=(const TAnsiConverter&) = delete;

  bool Ready() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::string operator()(const xmlChar* utf8) {
    std::string text;
    if (!utf8) return text;
    const char* in = reinterpret_cast<const char*>(utf8);
    std::size_t inLeft = std::char_traits<char>::length(in);
    bool ascii = true;
    for (std::size_t i = 0; i < inLeft && ascii; ++i) ascii = static_cast<unsigned char>(in[i]) < 0x80;
    if (ascii) return text.assign(in, inLeft);

    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    text.resize(inLeft);  // never longer than its UTF-8
    char* out = text.data();
    std::size_t outLeft = text.size();
    while (inLeft > 0) {
      if (iconv(handle_, const_cast<char**>(&in), &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
        break;
      if (errno != EILSEQ) throw std::runtime_error("character conversion");
      // The parser's output is valid UTF-8, so this is a character without a byte: skip it whole. As on
      // Windows, which converts from UTF-16, one beyond 16 bits gives "??".
      std::size_t length = 1;
      while (length < inLeft && (static_cast<unsigned char>(in[length]) & 0xC0) == 0x80) ++length;
      in += length;
      inLeft -= length;
      for (std::size_t units = length == 4 ? 2 : 1; units > 0; --units, --outLeft) *out++ = '?';
    }
    text.resize(text.size() - outLeft);
    return text;
  }

 private:
  iconv_t handle_;
};

struct TParseGuard {
  bool Refused = false;
};

TParseGuard& GuardOf(void* context) {
  return *static_cast<TParseGuard*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

// A document type declaration is refused as soon as it starts, before any entity is declared.
void RefuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  GuardOf(context).Refused = true;
  xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void StartElementWithinDepth(void* context, const xmlChar* localName, const xmlChar* prefix,
                             const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                             int attributeCount, int defaultedCount, const xmlChar** attributes) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  if (parser->nodeNr >= MaxElementDepth) {
    GuardOf(context).Refused = true;
    xmlStopParser(parser);
    return;
  }
  xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                        defaultedCount, attributes);
}

struct TFreeParser {
  void operator()(xmlParserCtxtPtr parser) const { xmlFreeParserCtxt(parser); }
};
struct TFreeDocument {
  void operator()(xmlDocPtr document) const { xmlFreeDoc(document); }
};
struct TFreeText {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string QualifiedName(const xmlChar* prefix, const xmlChar* localName, TAnsiConverter& ansi) {
  std::string name = ansi(localName);
  if (prefix) name = ansi(prefix) + ":" + name;
  return name;
}

// Recursion is bounded by MaxElementDepth.
bool ConvertNode(const xmlNode* from, TAnswerNode& to, TAnsiConverter& ansi) {
  switch (from->type) {
    case XML_ELEMENT_NODE:
      to.Kind = TAnswerNodeKind::Element;
      to.Name = QualifiedName(from->ns ? from->ns->prefix : nullptr, from->name, ansi);
      // Namespace declarations (nsDef) are not attributes of the answer.
      for (const xmlAttr* attribute = from->properties; attribute; attribute = attribute->next) {
        std::unique_ptr<xmlChar, TFreeText> value(
            xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute)));
        to.Attributes.push_back(
            {QualifiedName(attribute->ns ? attribute->ns->prefix : nullptr, attribute->name, ansi),
             ansi(value.get())});
      }
      break;
    case XML_TEXT_NODE:
      to.Kind = TAnswerNodeKind::Text;
      to.Value = ansi(from->content);
      break;
    case XML_CDATA_SECTION_NODE:
      to.Kind = TAnswerNodeKind::CData;
      to.Value = ansi(from->content);
      break;
    case XML_COMMENT_NODE:
      to.Kind = TAnswerNodeKind::Comment;
      to.Value = ansi(from->content);
      break;
    case XML_PI_NODE:
      to.Kind = TAnswerNodeKind::ProcessingInstruction;
      to.Name = ansi(from->name);
      to.Value = ansi(from->content);
      break;
    case XML_DTD_NODE:
    case XML_DOCUMENT_TYPE_NODE:
      return false;
    default:
      to.Kind = TAnswerNodeKind::Other;
      break;
  }
  if (from->type != XML_ELEMENT_NODE) return true;
  for (const xmlNode* child = from->children; child; child = child->next)
    if (!ConvertNode(child, to.Children.emplace_back(), ansi)) return false;
  return true;
}

}  // namespace

// libxml2 is part of the program; there is nothing to load.
void PrepareAnswerParser() {}

std::optional<TAnswerDocument> LoadAnswerDocument(std::string_view answer) {
  // The parser would call no bytes at all an error; they are an empty answer.
  if (answer.empty()) return TAnswerDocument{};
  if (answer.size() > INT_MAX) return std::nullopt;
  try {
    xmlInitParser();
    TAnsiConverter ansi;
    if (!ansi.Ready()) return std::nullopt;

    std::unique_ptr<xmlParserCtxt, TFreeParser> parser(xmlNewParserCtxt());
    if (!parser) return std::nullopt;
    TParseGuard guard;
    parser->_private = &guard;
    parser->sax->internalSubset = RefuseDocumentType;
    parser->sax->startElementNs = StartElementWithinDepth;

    // No network, no external subset, entities left alone; HUGE lifts only the length limits on text,
    // since depth is held by StartElementWithinDepth and no entity can be declared.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    std::unique_ptr<xmlDoc, TFreeDocument> document(xmlCtxtReadMemory(
        parser.get(), answer.data(), static_cast<int>(answer.size()), nullptr, nullptr, options));
    // An undeclared prefix is malformed for MSXML 6 on Windows (though not for Wine's).
    if (!document || guard.Refused || !parser->wellFormed || !parser->nsWellFormed) return std::nullopt;
    if (document->intSubset || document->extSubset) return std::nullopt;

    TAnswerDocument result;
    for (const xmlNode* node = document->children; node; node = node->next)
      if (!ConvertNode(node, result.Nodes.emplace_back(), ansi)) return std::nullopt;
    return result;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
