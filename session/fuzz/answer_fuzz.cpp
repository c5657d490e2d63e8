// Hands arbitrary bytes to the answer handling: nothing may escape it, and the outcome must agree with
// the session it leaves.
#include <cstdint>
#include <string_view>

#include "session/protocol.h"
#include "tools/testing/require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  TSessionState state;
  const TAnswerOutcome outcome = InterpretAnswer(answer, state);
  switch (outcome.Kind) {
    case TAnswerKind::Failed:
      Require(outcome.Message.starts_with("Unable to log in: ") && outcome.Message.ends_with(")") &&
                  outcome.Message.find(" (error code ") != std::string::npos,
              "failure message");
      break;
    case TAnswerKind::Accepted:
      Require(!state.SessionId.empty() && outcome.Message.empty(), "accepted without a session");
      break;
    case TAnswerKind::NoSession:
      Require(state.SessionId.empty() && outcome.Message == "Invalid session", "no session");
      break;
  }
  return 0;
}
