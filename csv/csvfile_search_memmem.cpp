#include "csv/csvfile_search.h"

#include <cstring>

namespace csv::detail {

const char *searchBytes(const char *data, size_t size, const char *key, size_t keySize)
{
    return static_cast<const char *>(memmem(data, size, key, keySize));
}

} // namespace csv::detail
