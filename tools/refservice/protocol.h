#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The wire format of the account service: request targets, query values, the sign-in key and the XML
// answers. Everything here works on raw bytes; user names are ANSI (Windows-1252) bytes, never UTF-8.
namespace refservice {

// Decodes %XX escapes (either case of hex digit). A "%" that does not start a valid escape is kept as it
// stands. With plusIsSpace, "+" reads as a space, as form decoders of query strings do: a client that
// forgets to escape the "+" of a Base64 key then fails here as it would against the real service.
std::string PercentDecode(std::string_view text, bool plusIsSpace);

// Strict standard Base64: length a multiple of four, RFC 4648 alphabet, "=" only as the last one or two
// characters, and zero in the bits that padding leaves unused. Anything else gives nullopt.
std::optional<std::string> DecodeBase64(std::string_view text);

struct TSignInKey {
  std::string User;
  std::string Password;
};
// Splits decoded key bytes at the first "|": a password may hold "|", a user name cannot.
std::optional<TSignInKey> SplitSignInKey(std::string_view decoded);

// The path and the raw query of an origin-form ("/p?q") or absolute-form ("http://host/p?q") request target;
// nullopt for any other form.
struct TTarget {
  std::string Path;
  std::string Query;
};
std::optional<TTarget> ParseTarget(std::string_view target);
bool IsServiceScript(std::string_view path);

// Name and value pairs of a query, in order, both percent-decoded (plus as space).
using TQuery = std::vector<std::pair<std::string, std::string>>;
TQuery ParseQuery(std::string_view query);
// The value of the first parameter of that name.
std::optional<std::string> Find(const TQuery& query, std::string_view name);

std::string XmlEscape(std::string_view text);

std::string SessionAnswer(std::string_view id, std::int32_t accessLevel);
std::string ClosedAnswer(std::string_view id);
std::string ErrorAnswer(int code, std::string_view message);

inline constexpr std::string_view AnswerContentType = "text/xml; charset=windows-1252";

}  // namespace refservice
