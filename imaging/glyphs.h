#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// Reading printed text off black-on-white images with a library of glyph bitmaps, and cutting
// such images into a library.
namespace imaging {

struct Glyph
{
    QString name; // the file's complete base name: the text the glyph stands for
    QImage image; // null when the file did not load; never matches
};
using GlyphLibrary = QVector<Glyph>;

// The ".bmp" files (suffix in lower case only) of a folder, then those of each subfolder in
// turn, recursively, in the order glyphs are tried. Files come in name order where the file
// system gives no order of its own.
GlyphLibrary loadGlyphLibrary(const QString &folder);

// Lines of text, top to bottom, joined by "\r\n". A strip less than 7 pixels high is not
// read; a column that no glyph fits is passed over. "BlankSpace" stands for a space.
QString recogniseText(const QImage &image, const GlyphLibrary &library, int threshold, int misses);
QString recogniseText(const QImage &image, const QString &folder, int threshold, int misses);

// Cuts the text of an image into one bitmap per character and saves glyph i in libraryFolder
// as "<i>.bmp" when names is "0", else as "<names[i]>.bmp" while names has that many
// characters. Returns how many glyphs were cut, saved or not. maxCellWidth 0 means the
// height of the page; cells reaching it are split between touching characters.
int cutGlyphImages(const QImage &image, int minCellWidth, int maxCellWidth, int threshold,
    const QString &names, const QString &libraryFolder);

} // namespace imaging
