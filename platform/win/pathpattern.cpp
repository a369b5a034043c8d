#include "platform/pathpattern.h"

namespace pathpattern {

QString absolutePathStart()
{
    return QStringLiteral("[a-zA-Z]:");
}

} // namespace pathpattern
