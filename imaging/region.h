#pragma once

#include <QPoint>
#include <QString>

namespace imaging {

// A region text of an image command, before "=>".
struct SearchRegion
{
    enum Form {
        None, // no form matched
        Corners, // x1,y1-x2,y2
        PointSize, // x,y-w*h
        CursorCorner, // mxy-x2,y2
        CursorSize, // mxy-w*h
        Point, // x,y: from there to the screen's right and bottom edges
        Cursor, // mxy: the same from the cursor
    };
    Form form = None;
    int left = 0;
    int top = 0;
    int width = 0; // never negative once matched
    int height = 0;

    bool matched() const { return form != None; }
    // Only the four forms with an extent; the start-point forms serve the search alone.
    bool hasExtent() const { return form >= Corners && form <= CursorSize; }
};

// Parses a region text as it stands (not trimmed; full-width commas count as commas).
// cursor is the pointer position the mxy forms start from.
SearchRegion parseSearchRegion(const QString &text, const QPoint &cursor);

} // namespace imaging
