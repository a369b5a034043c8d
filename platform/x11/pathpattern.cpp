#include "platform/pathpattern.h"

namespace pathpattern {

// No drive letters here: a path from the root is absolute too.
QString absolutePathStart()
{
    return QStringLiteral("(?:[a-zA-Z]:|/)");
}

} // namespace pathpattern
