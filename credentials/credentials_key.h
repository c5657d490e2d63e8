#pragma once

#include "credentials/cipher_envelope.h"

// The remembered user name and password are enciphered under this key. Values stored under one key cannot
// be read under another: never change these bytes.
inline constexpr TCipherKey CredentialsKey = {0xFA, 0xB8, 0xDD, 0xC0, 0x57, 0x0F, 0xA7, 0x4A,
                                              0x78, 0xE8, 0xD1, 0x0C, 0xF4, 0xAD, 0xFC, 0xAB};
