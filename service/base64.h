#pragma once

#include <string>
#include <string_view>

// The 64 characters of standard Base64 (RFC 4648), in the order of their values.
inline constexpr std::string_view Base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Standard Base64 (RFC 4648 alphabet, "=" padding), on one line.
std::string EncodeBase64(std::string_view data);
