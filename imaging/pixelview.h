#pragma once

#include <QImage>

#include <cstdint>

namespace imaging {
namespace detail {

// Read access to any QImage as 32-bit rows holding exactly what QImage::pixel returns, so the
// loops can walk raw memory instead of calling pixel() per access. The common formats
// (captures and bitmaps load as RGB32, ARGB32 or indexed) cost nothing or one conversion.
class PixelView
{
public:
    explicit PixelView(const QImage &image);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    const QRgb *row(int y) const
    {
        return reinterpret_cast<const QRgb *>(m_image.constScanLine(y));
    }
    // Whether pixelColor() would undo premultiplication for this image.
    bool premultiplied() const { return m_premultiplied; }

    // White as pixelColor() sees it: red, green and blue all 255, alpha not looked at.
    bool isWhite(QRgb p) const
    {
        if (m_premultiplied && qAlpha(p) != 255)
            p = qUnpremultiply(p);
        return (p & 0x00ffffffu) == 0x00ffffffu;
    }

    bool rowHasInk(int y, int x0, int x1) const;
    bool columnHasInk(int x, int y0, int y1) const;

private:
    QImage m_image;
    bool m_premultiplied = false;
};

inline int greenOf(QRgb p)
{
    return int((p >> 8) & 0xffu);
}

} // namespace detail
} // namespace imaging
