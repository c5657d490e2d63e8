#pragma once

#include <functional>
#include <string>

// Loads WinINet and opens and closes a session with it, which sends nothing: the first retrieval then
// does not wait for that.
void PrepareRetrieval();

// One synchronous HTTP GET of address (WinINet, the system's proxy settings, no cache read or written). The
// body is appended to reply byte for byte; progress, when given, runs after every read. True when the body
// arrived whole, whatever the HTTP status; false when the address did not open, a read failed, the body grew
// beyond 64 MiB, or anything raised while collecting (reply then keeps what was appended so far).
bool RetrieveUrl(const std::string& address, std::string& reply, const std::function<void()>& progress = {});
