#include "imaging/listingorder.h"

namespace imaging {

QDir::SortFlags glyphListingOrder()
{
    return QDir::Unsorted; // the file system's own order
}

} // namespace imaging
