#include "imaging/imageops.h"

#include "imaging/pixelview.h"

#include <QVector>

namespace imaging {
namespace detail {

PixelView::PixelView(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        m_image = image;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        m_image = image;
        m_premultiplied = true;
        break;
    case QImage::Format_Invalid:
        break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        // pixel() gives the colour-table entry or the plain swizzled value: unpremultiplied.
        m_image = image.convertToFormat(QImage::Format_ARGB32);
        break;
    default:
        // pixel() of every other format goes through the premultiplied fetch.
        m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_premultiplied = image.hasAlphaChannel();
        break;
    }
}

bool PixelView::rowHasInk(int y, int x0, int x1) const
{
    const QRgb *r = row(y);
    for (int x = x0; x < x1; ++x) {
        if (!isWhite(r[x]))
            return true;
    }
    return false;
}

bool PixelView::columnHasInk(int x, int y0, int y1) const
{
    for (int y = y0; y < y1; ++y) {
        if (!isWhite(row(y)[x]))
            return true;
    }
    return false;
}

} // namespace detail

using detail::PixelView;

namespace {

inline bool brightEnough(QRgb p, double n)
{
    return 0.299 * qRed(p) + 0.578 * qGreen(p) + 0.114 * qBlue(p) >= n;
}

// Rows of 32-bit pixels: RGB32 and ARGB32 compare as they are, premultiplied pixels are
// judged by their unpremultiplied colour (as pixelColor reports it).
void reduceRows(QImage &image, double n, bool premultiplied)
{
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            QRgb p = row[x];
            if (premultiplied && qAlpha(p) != 255)
                p = qUnpremultiply(p);
            if (brightEnough(p, n))
                row[x] = 0xffffffffu;
        }
    }
}

// Number of leading rows (from the top or, reversed, from the bottom) that are all white.
int firstInkRow(const PixelView &v, bool fromBottom)
{
    const int h = v.height();
    for (int i = 0; i < h; ++i) {
        const int y = fromBottom ? h - 1 - i : i;
        if (v.rowHasInk(y, 0, v.width()))
            return y;
    }
    return -1;
}

// Which columns hold a non-white pixel, found row by row so memory is read in sequence.
QVector<bool> inkColumns(const PixelView &v)
{
    QVector<bool> ink(v.width(), false);
    for (int y = 0; y < v.height(); ++y) {
        const QRgb *r = v.row(y);
        for (int x = 0; x < v.width(); ++x) {
            if (!ink[x] && !v.isWhite(r[x]))
                ink[x] = true;
        }
    }
    return ink;
}

} // namespace

void reduceLightColour(QImage &image, int n)
{
    if (image.isNull())
        return;
    const double threshold = n;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        reduceRows(image, threshold, false);
        return;
    case QImage::Format_ARGB32_Premultiplied:
        reduceRows(image, threshold, true);
        return;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8: {
        // A colour-table entry has one brightness for all its pixels: whitening the entry
        // whitens exactly those pixels and keeps the file's format.
        QVector<QRgb> table = image.colorTable();
        for (QRgb &entry : table) {
            if (brightEnough(entry, threshold))
                entry = 0xffffffffu;
        }
        image.setColorTable(table);
        return;
    }
    default: {
        const QImage::Format original = image.format();
        const bool alpha = image.hasAlphaChannel();
        QImage work = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        reduceRows(work, threshold, false);
        image = work.convertToFormat(original);
        return;
    }
    }
}

void trimTop(QImage &image)
{
    const PixelView v(image);
    const int y = firstInkRow(v, false);
    if (y > 0)
        image = image.copy(0, y, image.width(), image.height() - y);
}

void trimBottom(QImage &image)
{
    if (image.isNull())
        return;
    const PixelView v(image);
    const int y = firstInkRow(v, true);
    const int keep = y < 0 ? 1 : y + 1;
    if (keep != image.height())
        image = image.copy(0, 0, image.width(), keep);
}

void trimLeft(QImage &image)
{
    const QVector<bool> ink = inkColumns(PixelView(image));
    const int x = ink.indexOf(true);
    if (x > 0)
        image = image.copy(x, 0, image.width() - x, image.height());
}

void trimRight(QImage &image)
{
    if (image.isNull())
        return;
    const QVector<bool> ink = inkColumns(PixelView(image));
    const int x = ink.lastIndexOf(true);
    if (x < 0)
        image = QImage();
    else if (x + 1 != image.width())
        image = image.copy(0, 0, x + 1, image.height());
}

void cutBorder(QImage &image)
{
    trimTop(image);
    trimBottom(image);
    trimLeft(image);
    trimRight(image);
}

namespace {

// Index of the first all-white row, or the height when every row holds ink.
int firstWhiteRow(const QImage &image)
{
    const PixelView v(image);
    for (int y = 0; y < v.height(); ++y) {
        if (!v.rowHasInk(y, 0, v.width()))
            return y;
    }
    return v.height();
}

} // namespace

void keepFirstLine(QImage &image)
{
    trimTop(image);
    const int r = firstWhiteRow(image);
    if (r != image.height())
        image = image.copy(0, 0, image.width(), r);
}

void dropFirstLine(QImage &image)
{
    trimTop(image);
    const int r = firstWhiteRow(image);
    if (r == image.height())
        image = QImage();
    else if (r > 0)
        image = image.copy(0, r, image.width(), image.height() - r);
}

} // namespace imaging
