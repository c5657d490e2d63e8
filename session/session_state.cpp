#include "session/session_state.h"

TSessionState SessionState;

bool IsSignedIn(const TSessionState& state) { return !state.UserName.empty() && !state.SessionId.empty(); }

std::string AccessLevelName(std::int32_t level) {
  switch (level) {
    case 2:
      return "Pro user";
    case 3:
      return "Tester";
    case 4:
      return "Developer";
    case 5:
      return "Super Developer";
    case 6:
      return "Admin";
    case 7:
      return "Client";
    default:
      return "User";
  }
}
