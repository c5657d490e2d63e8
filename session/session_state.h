#pragma once

#include <cstdint>
#include <string>

// Who is signed in. The dialog fills it from the service's answers; the main window reads it.
struct TSessionState {
  std::string UserName;   // as typed for the last sign-in attempt
  std::string SessionId;  // empty while no session is held
  std::int32_t AccessLevel = -2;
};

// The one record of the running program.
extern TSessionState SessionState;

bool IsSignedIn(const TSessionState& state);

// Display name of an access level; every level without a name of its own is "User".
std::string AccessLevelName(std::int32_t level);
