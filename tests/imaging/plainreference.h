#pragma once

// Plain versions of the search and of recognition, written straight from the rules with one
// QImage::pixel / pixelColor call per pixel access and a QImage copy per step. Slow on
// purpose; the fast engine must give the same answers. Shared by the tests and benchmarks.

#include "imaging/templatesearch.h"

#include <QColor>
#include <QImage>
#include <QPair>
#include <QString>
#include <QVector>

namespace plain {

inline void reduceLightColour(QImage &image, int n)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (0.299 * c.red() + 0.578 * c.green() + 0.114 * c.blue() >= double(n))
                image.setPixelColor(x, y, QColor(255, 255, 255, 255));
        }
    }
}

inline imaging::SearchResult findTemplate(
    QImage screen, QImage templ, int left, int top, int right, int bottom, int n, int t, int k)
{
    using imaging::SearchResult;
    if (n >= 1 && n <= 254) {
        reduceLightColour(screen, n);
        reduceLightColour(templ, n);
    }
    const int w = templ.width();
    const int h = templ.height();
    QVector<QVector<int>> matrix(w, QVector<int>(h));
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y)
            matrix[x][y] = QColor(templ.pixel(x, y)).green();
    }
    if (right == 0 || right == left)
        right = screen.width();
    if (bottom == 0 || bottom == top)
        bottom = screen.height();
    const int xEnd = right - w;
    const int yEnd = bottom - h;
    SearchResult r;
    if (left >= xEnd) {
        r.outcome = SearchResult::RegionTooNarrow;
        return r;
    }
    if (top >= yEnd) {
        r.outcome = SearchResult::RegionTooShort;
        return r;
    }
    t = qMax(t, 0);
    k = qMax(k, 0);
    for (int x = left; x < xEnd; ++x) {
        for (int y = top; y < yEnd; ++y) {
            int misses = 0;
            bool rejected = false;
            for (int i = 0; i < w && !rejected; ++i) {
                for (int j = 0; j < h; ++j) {
                    // Outside the screen image the screen reads black.
                    const bool inside = screen.valid(x + i, y + j);
                    const int g = inside ? QColor(screen.pixel(x + i, y + j)).green() : 0;
                    const int v = matrix[i][j];
                    if (g < v - t || g > v + t)
                        ++misses;
                    if (misses > k) {
                        rejected = true;
                        break;
                    }
                }
            }
            if (!rejected) {
                r.outcome = SearchResult::Found;
                r.centre = QPoint(x + w / 2, y + h / 2);
                return r;
            }
        }
    }
    r.outcome = SearchResult::NotFound;
    return r;
}

inline bool isWhite(const QImage &image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return c.red() == 255 && c.green() == 255 && c.blue() == 255;
}

inline bool rowWhite(const QImage &image, int y)
{
    for (int x = 0; x < image.width(); ++x) {
        if (!isWhite(image, x, y))
            return false;
    }
    return true;
}

inline bool columnWhite(const QImage &image, int x)
{
    for (int y = 0; y < image.height(); ++y) {
        if (!isWhite(image, x, y))
            return false;
    }
    return true;
}

inline void trimTop(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        if (!rowWhite(image, y)) {
            image = image.copy(0, y, image.width(), image.height() - y);
            return;
        }
    }
}

inline void trimBottom(QImage &image)
{
    for (int y = image.height() - 1; y >= 0; --y) {
        if (!rowWhite(image, y)) {
            image = image.copy(0, 0, image.width(), y + 1);
            return;
        }
    }
    image = image.copy(0, 0, image.width(), 1);
}

inline void trimLeft(QImage &image)
{
    for (int x = 0; x < image.width(); ++x) {
        if (!columnWhite(image, x)) {
            image = image.copy(x, 0, image.width() - x, image.height());
            return;
        }
    }
}

inline void trimRight(QImage &image)
{
    for (int x = image.width() - 1; x >= 0; --x) {
        if (!columnWhite(image, x)) {
            image = image.copy(0, 0, x + 1, image.height());
            return;
        }
    }
    image = QImage();
}

inline void cutBorder(QImage &image)
{
    trimTop(image);
    trimBottom(image);
    trimLeft(image);
    trimRight(image);
}

inline int firstWhiteRow(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        if (rowWhite(image, y))
            return y;
    }
    return image.height();
}

inline void keepFirstLine(QImage &image)
{
    trimTop(image);
    image = image.copy(0, 0, image.width(), firstWhiteRow(image));
}

inline void dropFirstLine(QImage &image)
{
    trimTop(image);
    const int r = firstWhiteRow(image);
    image = r == image.height() ? QImage() : image.copy(0, r, image.width(), image.height() - r);
}

using Library = QVector<QPair<QString, QImage>>; // name, image in listing order

inline QString recogniseText(const QImage &image, const Library &library, int threshold, int misses)
{
    QImage page = image;
    reduceLightColour(page, threshold);
    cutBorder(page);
    QString text;
    while (page.height() >= 7) {
        QImage line = page;
        keepFirstLine(line);
        trimRight(line);
        while (line.width() >= 1) {
            bool matched = false;
            for (const auto &glyph : library) {
                const QImage &g = glyph.second;
                if (g.isNull())
                    continue;
                const bool blank = glyph.first == QLatin1String("BlankSpace");
                QImage cell = line.copy(0, 0, g.width(), line.height());
                if (!blank) {
                    trimTop(cell);
                    trimBottom(cell);
                }
                if (cell.height() != g.height())
                    continue;
                int differing = 0;
                bool rejected = false;
                for (int i = 0; i < g.width() && !rejected; ++i) {
                    for (int j = 0; j < g.height(); ++j) {
                        const bool glyphWhite = QColor(g.pixel(i, j)).green() == 255;
                        const bool cellWhite = QColor(cell.pixel(i, j)).green() == 255;
                        if (glyphWhite != cellWhite && ++differing > misses) {
                            rejected = true;
                            break;
                        }
                    }
                }
                if (rejected)
                    continue;
                text += blank ? QStringLiteral(" ") : glyph.first;
                line = g.width() >= line.width()
                    ? QImage()
                    : line.copy(g.width(), 0, line.width() - g.width(), line.height());
                matched = true;
                break;
            }
            if (!matched)
                line = line.width() > 1 ? line.copy(1, 0, line.width() - 1, line.height())
                                        : QImage();
        }
        text += QStringLiteral("\r\n");
        dropFirstLine(page);
        trimTop(page);
    }
    text.chop(2);
    return text;
}

} // namespace plain
