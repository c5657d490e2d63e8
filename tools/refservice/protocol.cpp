#include "protocol.h"

#include <array>

namespace refservice {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr std::string_view Base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int, 256> Base64Values() {
  std::array<int, 256> values{};
  for (auto& v : values) v = -1;
  for (std::size_t i = 0; i < Base64Alphabet.size(); ++i)
    values[static_cast<unsigned char>(Base64Alphabet[i])] = int(i);
  return values;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

constexpr std::string_view Declaration = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";

std::string Envelope(std::string_view inner) {
  std::string answer(Declaration);
  answer += "<Brovik><license>";
  answer += inner;
  answer += "</license></Brovik>";
  return answer;
}

}  // namespace

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
  static constexpr auto Values = Base64Values();
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t bits = 0;
  int bitCount = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const int v = Values[static_cast<unsigned char>(text[i])];
    if (v < 0) return std::nullopt;  // a stray "=" inside lands here too
    bits = (bits << 6) | std::uint32_t(v);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      out += static_cast<char>((bits >> bitCount) & 0xFF);
    }
  }
  // What is left over are the bits that padding leaves unused; a canonical encoder writes zeros there.
  if ((bits & ((1u << bitCount) - 1)) != 0) return std::nullopt;
  return out;
}

std::optional<TSignInKey> SplitSignInKey(std::string_view decoded) {
  const auto bar = decoded.find('|');
  if (bar == std::string_view::npos) return std::nullopt;
  return TSignInKey{std::string(decoded.substr(0, bar)), std::string(decoded.substr(bar + 1))};
}

std::optional<TTarget> ParseTarget(std::string_view target) {
  if (StartsWithNoCase(target, "http://")) {
    // Behind a proxy setting the client sends the whole address; the authority is of no interest here.
    target.remove_prefix(7);
    const auto end = target.find_first_of("/?");
    if (end == 0) return std::nullopt;  // no host
    target.remove_prefix(end == std::string_view::npos ? target.size() : end);
    if (!target.empty() && target.front() == '?') return TTarget{"", std::string(target.substr(1))};
  } else if (target.empty() || target.front() != '/') {
    return std::nullopt;
  }
  const auto hash = target.find('#');
  if (hash != std::string_view::npos) target = target.substr(0, hash);
  const auto question = target.find('?');
  if (question == std::string_view::npos) return TTarget{std::string(target), ""};
  return TTarget{std::string(target.substr(0, question)), std::string(target.substr(question + 1))};
}

bool IsServiceScript(std::string_view path) { return path.ends_with("/select.php"); }

TQuery ParseQuery(std::string_view query) {
  TQuery pairs;
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
    if (pair.empty()) continue;
    const auto eq = pair.find('=');
    if (eq == std::string_view::npos) {
      pairs.emplace_back(PercentDecode(pair, true), "");
    } else {
      pairs.emplace_back(PercentDecode(pair.substr(0, eq), true), PercentDecode(pair.substr(eq + 1), true));
    }
  }
  return pairs;
}

std::optional<std::string> Find(const TQuery& query, std::string_view name) {
  for (const auto& [n, v] : query)
    if (n == name) return v;
  return std::nullopt;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SessionAnswer(std::string_view id, std::int32_t accessLevel) {
  return Envelope("<session id=\"" + XmlEscape(id) + "\" accessLevel=\"" + std::to_string(accessLevel) +
                  "\"/>");
}

std::string ClosedAnswer(std::string_view id) { return Envelope("<session id=\"" + XmlEscape(id) + "\"/>"); }

std::string ErrorAnswer(int code, std::string_view message) {
  return Envelope("<error code=\"" + std::to_string(code) + "\">" + XmlEscape(message) + "</error>");
}

}  // namespace refservice
