#pragma once

#include <QDir>

namespace imaging {

// The order a folder's glyph files and subfolders are listed in, which is the order glyphs are
// tried: the file system's own where it keeps one (Windows), name order where the order of a
// listing means nothing (a hash order on Linux file systems). Defined once per system.
QDir::SortFlags glyphListingOrder();

} // namespace imaging
