#pragma once

#include <QString>

namespace pathpattern {

// Where a script pattern asks for an absolute path: the regular-expression fragment for its
// start, without capturing groups (so the numbering of the pattern's own captures stays). A
// drive letter and colon everywhere; on systems without drive letters also a leading "/".
// Each system's folder under platform/ defines it (pathpattern.cpp).
QString absolutePathStart();

} // namespace pathpattern
