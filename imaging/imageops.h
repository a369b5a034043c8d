#pragma once

#include <QImage>

// The small image operations the image commands and recognition share. Everything that
// decides "white" means red, green and blue all 255; alpha is never looked at.
namespace imaging {

// Brightness 0.299 R + 0.578 G + 0.114 B (pure white reaches only 252.705); every pixel at
// least as bright as n becomes opaque white. Any n: callers decide when it is off.
void reduceLightColour(QImage &image, int n);

// Each trim replaces the image by a copy without the white rows or columns on one side. Their
// results for an all-white image differ on purpose: trimTop and trimLeft keep it whole,
// trimBottom keeps row 0 only, trimRight gives a null image.
void trimTop(QImage &image);
void trimBottom(QImage &image);
void trimLeft(QImage &image);
void trimRight(QImage &image);
// trimTop, trimBottom, trimLeft, trimRight in this order.
void cutBorder(QImage &image);

// trimTop, then the rows above the first all-white row (the whole image when there is none).
void keepFirstLine(QImage &image);
// trimTop, then the rows from the first all-white row on (a null image when there is none).
void dropFirstLine(QImage &image);

} // namespace imaging
