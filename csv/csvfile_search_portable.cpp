#include "csv/csvfile_search.h"

#include <algorithm>
#include <functional>

namespace csv::detail {

const char *searchBytes(const char *data, size_t size, const char *key, size_t keySize)
{
    const char *end = data + size;
    const char *hit
        = std::search(data, end, std::boyer_moore_horspool_searcher(key, key + keySize));
    return hit == end ? nullptr : hit;
}

} // namespace csv::detail
