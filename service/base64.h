#pragma once

#include <string>
#include <string_view>

// Standard Base64 (RFC 4648 alphabet, "=" padding), on one line.
std::string EncodeBase64(std::string_view data);
