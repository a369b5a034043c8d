#include "imaging/listingorder.h"

namespace imaging {

QDir::SortFlags glyphListingOrder()
{
    return QDir::Name;
}

} // namespace imaging
