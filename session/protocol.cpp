#include "session/protocol.h"

#include <cstdint>
#include <exception>
#include <stdexcept>

#include "service/base64.h"
#include "session/answer_document.h"

std::string MakeSignInKey(std::string_view userName, std::string_view password) {
  std::string joined;
  joined.reserve(userName.size() + 1 + password.size());
  joined.append(userName).append(1, '|').append(password);
  return EncodeBase64(joined);
}

namespace {

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::int32_t ParseAnswerInteger(std::string_view text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return 0;
  text.remove_prefix(at);

  bool hex = false;
  bool negative = false;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    hex = true;
    text.remove_prefix(2);
  } else if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') {
    hex = true;
    text.remove_prefix(1);
  } else if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;

  // Hex may fill all 32 bits; decimal may reach 2^31 only when negative.
  const std::uint64_t limit = hex ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
  const unsigned base = hex ? 16 : 10;
  std::uint64_t value = 0;
  for (const char c : text) {
    const int digit = DigitValue(c, hex);
    if (digit < 0) return 0;
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return 0;
  }
  if (negative) return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

namespace {

// Raised where the answer is not of the form that the walk accepts.
struct TAnswerFormError : std::runtime_error {
  TAnswerFormError() : std::runtime_error("answer form") {}
};

bool IsElement(const TAnswerNode& node, std::string_view name) {
  return node.Kind == TAnswerNodeKind::Element && node.Name == name;
}

std::string ErrorText(const TAnswerNode& error) {
  if (error.Children.empty()) return {};
  if (error.Children.size() == 1 && error.Children[0].Kind == TAnswerNodeKind::Text)
    return error.Children[0].Value;
  throw TAnswerFormError();
}

// State changes as the walk goes, so a failure part-way keeps what came before it.
void WalkAnswer(const TAnswerDocument& document, std::int32_t& code, std::string& message,
                TSessionState& state) {
  for (const TAnswerNode& top : document.Nodes) {
    if (!IsElement(top, "Brovik")) continue;
    for (const TAnswerNode& license : top.Children) {
      if (!IsElement(license, "license")) continue;
      for (const TAnswerNode& item : license.Children) {
        if (IsElement(item, "error")) {
          const TAnswerAttribute* codeAttribute = item.FindAttribute("code");
          code = codeAttribute ? ParseAnswerInteger(codeAttribute->Value) : 0;
          message = ErrorText(item);
        } else if (IsElement(item, "session")) {
          if (const TAnswerAttribute* id = item.FindAttribute("id")) state.SessionId = id->Value;
          if (const TAnswerAttribute* level = item.FindAttribute("accessLevel"))
            state.AccessLevel = ParseAnswerInteger(level->Value);
        }
      }
    }
  }
}

}  // namespace

TAnswerOutcome InterpretAnswer(std::string_view answer, TSessionState& state) {
  std::int32_t code = 0;
  std::string message;
  try {
    const std::optional<TAnswerDocument> document = LoadAnswerDocument(answer);
    if (!document) throw TAnswerFormError();
    WalkAnswer(*document, code, message, state);
  } catch (const std::exception&) {
    code = -1;
    message = "Error parsing response";
  }

  if (code != 0)
    return {TAnswerKind::Failed,
            "Unable to log in: " + message + " (error code " + std::to_string(code) + ")"};
  if (!state.SessionId.empty()) return {TAnswerKind::Accepted, {}};
  return {TAnswerKind::NoSession, "Invalid session"};
}
