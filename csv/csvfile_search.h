#pragma once

#include <cstddef>

namespace csv::detail {

// First occurrence of key[0, keySize) in data[0, size), or null; keySize is at least 2. The C
// library's memmem where it has a linear-time one (about three times faster than the portable
// search, and never quadratic), a Boyer-Moore-Horspool search elsewhere: one file per system.
const char *searchBytes(const char *data, size_t size, const char *key, size_t keySize);

} // namespace csv::detail
