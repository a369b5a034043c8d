#pragma once

// ECDSA P-256 verification through the system's CNG (bcrypt.dll), without Qt, so a small test
// program can exercise it on its own.

#include <cstddef>

namespace win32 {

// True when signature (64 bytes, r then s) is a valid ECDSA P-256 signature over the SHA-256 of
// the message, for the public key point (65 bytes: 0x04, X, Y). Any failure is false.
bool VerifyP256Signature(const unsigned char *point, const unsigned char *message,
    std::size_t messageSize, const unsigned char *signature);

} // namespace win32
