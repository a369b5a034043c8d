#pragma once

#include <QImage>
#include <QStringList>

// Small synthetic pictures for the imaging tests: '#' is black ink, '.' white, '+' a light
// grey fringe (220, 220, 220).
namespace imagingtest {

inline QImage whiteImage(int w, int h, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(Qt::white);
    return image;
}

inline QImage picture(const QStringList &rows)
{
    QImage image = whiteImage(rows.isEmpty() ? 0 : rows.first().size(), rows.size());
    for (int y = 0; y < rows.size(); ++y) {
        for (int x = 0; x < rows[y].size(); ++x) {
            if (rows[y][x] == QLatin1Char('#'))
                image.setPixel(x, y, qRgb(0, 0, 0));
            else if (rows[y][x] == QLatin1Char('+'))
                image.setPixel(x, y, qRgb(220, 220, 220));
        }
    }
    return image;
}

inline void stamp(QImage &target, const QImage &source, int x, int y)
{
    for (int j = 0; j < source.height(); ++j) {
        for (int i = 0; i < source.width(); ++i)
            target.setPixel(x + i, y + j, source.pixel(i, j));
    }
}

// Glyph shapes, 7 rows high unless said otherwise.
inline QStringList shape(QChar c)
{
    switch (c.unicode()) {
    case 'A':
        return {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"};
    case 'B':
        return {"####.", "#...#", "####.", "#...#", "#...#", "#...#", "####."};
    case '1':
        return {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"};
    case 'P': // an L: its last column holds ink in the bottom row only
        return {"#..", "#..", "#..", "#..", "#..", "#..", "###"};
    case 'Q': // its first column holds ink in the top row only
        return {"###", "..#", "..#", "..#", "..#", "..#", "..#"};
    case ' ':
        return {"...", "...", "...", "...", "...", "...", "..."};
    }
    return {};
}

// Lines of characters side by side (`spacing` white columns apart), lines 2 white rows apart,
// inside a white margin of 3 pixels.
inline QImage text(const QStringList &lines, int spacing = 1)
{
    int width = 0;
    for (const QString &line : lines) {
        int w = 0;
        for (QChar c : line)
            w += shape(c).first().size() + spacing;
        width = qMax(width, w - spacing);
    }
    QImage image = whiteImage(width + 6, lines.size() * 9 - 2 + 6);
    for (int l = 0; l < lines.size(); ++l) {
        int x = 3;
        for (QChar c : lines[l]) {
            const QImage glyph = picture(shape(c));
            stamp(image, glyph, x, 3 + l * 9);
            x += glyph.width() + spacing;
        }
    }
    return image;
}

} // namespace imagingtest
