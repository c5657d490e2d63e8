#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quillon_config.h"

// The address of the service's request script; every request address begins with it.
inline constexpr std::string_view ServiceBaseAddress = QUILLON_SERVICE_BASE_ADDRESS;
static_assert(ServiceBaseAddress.starts_with("http://") && ServiceBaseAddress.ends_with("select.php?func="));

// Escapes every byte but the 73 that the service takes as they stand, as %XX with upper-case digits.
std::string UrlEncode(std::string_view value);

// ServiceBaseAddress, the function number in decimal, then "&name=escaped value" for each name.
// The caller gives one value for each name; names are sent unescaped.
std::string BuildRequestUrl(std::int32_t function, const std::vector<std::string>& names,
                            const std::vector<std::string>& values);
