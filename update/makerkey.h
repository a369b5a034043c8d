#pragma once

// The public key the maker signs the release feed with. Only a feed signed with its private
// half, which never leaves the maker, is taken as an update.
//
// The point, base64 of 65 bytes (0x04, X, Y), as `tools/quorvel-feed keygen` prints it.
inline constexpr char kMakerKeyId[] = "ca1615ba0c647582";
inline constexpr char kMakerPublicKeyBase64[] =
    "BL/NOZCgmL5wTu2cvhBQ+DPxiiggpwG0t87lEFJiK20rg8oL/omG8tdUHh/ke2jY423ceLneYR4MdElHT7UM/tA=";
