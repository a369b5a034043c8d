#pragma once

#include <QImage>
#include <QPoint>

namespace imaging {

struct SearchResult
{
    enum Outcome {
        Found, // centre holds the template's centre at the first fitting place
        NotFound,
        RegionTooShort, // the region is not taller than the template
        RegionTooNarrow, // the region is not wider than the template
    };
    Outcome outcome = NotFound;
    QPoint centre;
};

// Looks for the template in the screen image and reports the first place where it fits.
// Limits: right = left + width, bottom = top + height of the command's region; a right (bottom)
// of 0 or equal to left (top) means the screen's right (bottom) edge. Positions x = left …
// right − w − 1 are tried column by column (every y of a column before the next x); the
// position right − w itself never is. Only green is compared: a pixel misses when it differs
// from the template by more than t; a place fits while at most k pixels miss. A light
// threshold n in 1 … 254 whitens both images first. Pixels outside the screen image are black.
SearchResult findTemplate(const QImage &screen, const QImage &templ, int left, int top, int right,
    int bottom, int n, int t, int k);

} // namespace imaging
