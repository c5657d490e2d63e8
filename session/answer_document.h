#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A parsed answer, free of the parser that read it. Every name and value is in the ANSI code page.

enum class TAnswerNodeKind { Element, Text, CData, Comment, ProcessingInstruction, Other };

struct TAnswerAttribute {
  std::string Name;
  std::string Value;
};

struct TAnswerNode {
  TAnswerNodeKind Kind = TAnswerNodeKind::Other;
  std::string Name;   // element name or processing instruction target; empty for the rest
  std::string Value;  // character data, comment text or instruction data; empty for elements
  std::vector<TAnswerAttribute> Attributes;  // in document order
  std::vector<TAnswerNode> Children;

  // The attribute of that name (case-sensitive), or null.
  const TAnswerAttribute* FindAttribute(std::string_view name) const;
};

struct TAnswerDocument {
  std::vector<TAnswerNode> Nodes;  // top level; the XML declaration is not among them
};

// Readies the parser ahead of the first answer, so that the first sign-in does not wait for it to load.
void PrepareAnswerParser();

// Decodes the answer's bytes by the XML rules (byte-order mark, else the declared encoding, else UTF-8).
// No bytes at all give an empty document; anything else must be well-formed, with no document type
// declaration. Empty when the answer is refused or the parser fails. Never throws.
std::optional<TAnswerDocument> LoadAnswerDocument(std::string_view answer);
