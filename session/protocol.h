#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "session/session_state.h"

// The sign-in key of function 1: Base64 of the user name, "|" and the password, nothing escaped.
std::string MakeSignInKey(std::string_view userName, std::string_view password);

// An integer attribute of an answer. Leading blanks (not tabs), then either an optional sign and decimal
// digits or one of the prefixes "$", "x", "X", "0x", "0X" and hex digits, running to the end. Anything
// else, and any value that does not fit 32 bits, gives 0. Hex is read as the 32-bit pattern, so
// "$FFFFFFFF" is -1.
std::int32_t ParseAnswerInteger(std::string_view text);

enum class TAnswerKind {
  Failed,     // a non-zero error code, a parse failure included
  Accepted,   // no error and a session is held
  NoSession,  // no error and no session
};

struct TAnswerOutcome {
  TAnswerKind Kind = TAnswerKind::NoSession;
  std::string Message;  // the text to show the user; empty when accepted
};

// Reads a service answer into state ("session" sets SessionId and AccessLevel, neither is reset first)
// and decides what it means.
TAnswerOutcome InterpretAnswer(std::string_view answer, TSessionState& state);
