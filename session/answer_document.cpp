#include "session/answer_document.h"

const TAnswerAttribute* TAnswerNode::FindAttribute(std::string_view name) const {
  for (const TAnswerAttribute& attribute : Attributes)
    if (attribute.Name == name) return &attribute;
  return nullptr;
}
