// libFuzzer target for the imaging routines on pictures that come from outside: bitmaps loaded
// from ".bmp" bytes, recognition, glyph cutting and the template search. The first byte picks
// the routine. Pictures built from the input are small and grey-only, so the fast routines can
// be held against the plain ones of the tests (tests/imaging/plainreference.h) at every input.
#include "fuzzinput.h"
#include "imaging/glyphs.h"
#include "imaging/imageops.h"
#include "imaging/templatesearch.h"
#include "plainreference.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

namespace {

// Greys only: "white" means the same to the fast routines (all of red, green and blue) and
// to the plain ones (green alone).
const quint8 kGreys[4] = {0, 128, 250, 255};

// A picture of at most maxWidth × maxHeight, two bits a pixel; a zero first byte gives the
// null image a missing file gives.
QImage picture(fuzz::Input &in, int maxWidth, int maxHeight)
{
    if (in.byte() == 0)
        return QImage();
    const int width = 1 + in.below(maxWidth);
    const int height = 1 + in.below(maxHeight);
    QImage image(width, height, QImage::Format_RGB32);
    quint8 bits = 0;
    int left = 0;
    for (int y = 0; y < height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (left == 0) {
                // Past the input's end the page turns white, which ends it as a page does.
                bits = in.atEnd() ? 0xff : in.byte();
                left = 4;
            }
            const quint8 g = kGreys[bits & 3];
            bits >>= 2;
            --left;
            row[x] = qRgb(g, g, g);
        }
    }
    return image;
}

const QString kNames[] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("BlankSpace"),
    QStringLiteral("1"), QStringLiteral("中"), QStringLiteral("ab")};

imaging::GlyphLibrary library(fuzz::Input &in)
{
    imaging::GlyphLibrary glyphs;
    const int count = in.below(6);
    for (int i = 0; i < count; ++i) {
        const QString name = kNames[in.below(6)];
        glyphs.append({name, picture(in, 10, 12)});
    }
    return glyphs;
}

plain::Library plainLibrary(const imaging::GlyphLibrary &glyphs)
{
    plain::Library out;
    for (const imaging::Glyph &glyph : glyphs)
        out.append({glyph.name, glyph.image});
    return out;
}

QByteArray described(const QImage &image)
{
    return QByteArray::number(image.width()) + 'x' + QByteArray::number(image.height());
}

void recognition(fuzz::Input &in)
{
    const int threshold = in.below(300) - 20;
    // Scripts give the allowed misses as digits, never below 0. (Below 0 the fast reader
    // rejects even a glyph without a differing pixel, the plain one takes it.)
    const int misses = in.below(24);
    const imaging::GlyphLibrary glyphs = library(in);
    const QImage page = picture(in, 64, 40);
    const QString fast = imaging::recogniseText(page, glyphs, threshold, misses);
    const QString slow = plain::recogniseText(page, plainLibrary(glyphs), threshold, misses);
    FUZZ_CHECK(fast == slow,
        "page " + described(page) + " fast '" + fast.toUtf8() + "' plain '" + slow.toUtf8() + "'");
}

void templateSearch(fuzz::Input &in)
{
    // Small limits keep the plain search quick; 0 for right or bottom means the screen's edge.
    const int left = in.below(60) - 10;
    const int top = in.below(60) - 10;
    const int right = in.byte() % 4 == 0 ? 0 : in.below(70) - 10;
    const int bottom = in.byte() % 4 == 0 ? 0 : in.below(70) - 10;
    const int n = in.below(260);
    const int t = in.below(300) - 20;
    const int k = in.below(70) - 3;
    const QImage templ = picture(in, 8, 8);
    const QImage screen = picture(in, 40, 30);
    const imaging::SearchResult fast
        = imaging::findTemplate(screen, templ, left, top, right, bottom, n, t, k);
    const imaging::SearchResult slow
        = plain::findTemplate(screen, templ, left, top, right, bottom, n, t, k);
    const QByteArray where
        = QStringLiteral("screen %1x%2 template %3x%4 region %5,%6,%7,%8 n%9 t%10 k%11")
              .arg(screen.width())
              .arg(screen.height())
              .arg(templ.width())
              .arg(templ.height())
              .arg(left)
              .arg(top)
              .arg(right)
              .arg(bottom)
              .arg(n)
              .arg(t)
              .arg(k)
              .toUtf8();
    FUZZ_CHECK(fast.outcome == slow.outcome, where);
    if (fast.outcome == imaging::SearchResult::Found)
        FUZZ_CHECK(fast.centre == slow.centre, where);
}

QString scratchFolder()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        fuzz::fail("no temporary folder");
    return dir.path();
}

void cutting(fuzz::Input &in)
{
    const int minCell = in.below(12);
    const int maxCell = in.below(24);
    const int threshold = in.below(300) - 20;
    // "0" numbers the glyphs; other names are characters of the input, minus the path
    // separators, which would put a glyph outside the library folder.
    QString names = in.byte() % 2 ? QStringLiteral("0") : QString::fromUtf8(in.field());
    names.remove(QLatin1Char('/')).remove(QLatin1Char('\\'));
    const QImage page = picture(in, 64, 24);

    QDir folder(scratchFolder() + QStringLiteral("/library"));
    folder.removeRecursively();
    folder.mkpath(QStringLiteral("."));
    const int cut
        = imaging::cutGlyphImages(page, minCell, maxCell, threshold, names, folder.path());
    FUZZ_CHECK(cut >= 0, QByteArray::number(cut));
    // What was cut reads back as a library.
    imaging::recogniseText(page, folder.path(), threshold, 0);
}

// Any bytes as a bitmap file; whatever loads goes through the routines a loaded template, page
// or glyph meets.
void bitmapBytes(fuzz::Input &in)
{
    const int threshold = in.below(300) - 20;
    const QByteArray bytes = in.rest();
    {
        // Headers may promise any size; bitmaps beyond a screen's are not what is tested here.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "BMP");
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > 512 * 512)
            return;
    }
    QImage image = QImage::fromData(bytes, "BMP");
    if (image.isNull() || qint64(image.width()) * image.height() > 512 * 512)
        return;

    static const imaging::GlyphLibrary glyphs = [] {
        imaging::GlyphLibrary out;
        QImage dot(3, 8, QImage::Format_RGB32);
        dot.fill(Qt::black);
        out.append({QStringLiteral("l"), dot});
        QImage blank(4, 8, QImage::Format_RGB32);
        blank.fill(Qt::white);
        out.append({QStringLiteral("BlankSpace"), blank});
        return out;
    }();
    imaging::recogniseText(image, glyphs, threshold, 1);
    // The loaded picture as a glyph and as a template.
    imaging::GlyphLibrary asGlyph = glyphs;
    asGlyph.append({QStringLiteral("x"), image});
    QImage page(40, 16, QImage::Format_RGB32);
    page.fill(Qt::white);
    imaging::recogniseText(page, asGlyph, threshold, 2);
    imaging::findTemplate(page, image, 0, 0, 0, 0, threshold, 10, 3);
    imaging::findTemplate(image, page, 0, 0, 0, 0, threshold, 10, 3);

    QImage copy = image;
    imaging::reduceLightColour(copy, threshold);
    imaging::cutBorder(copy);
    copy = image;
    imaging::keepFirstLine(copy);
    copy = image;
    imaging::dropFirstLine(copy);
    imaging::trimBottom(image);
    imaging::trimRight(image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startOnce("fuzz_imaging", true);

    fuzz::Input in(data, size);
    switch (in.byte() % 4) {
    case 0:
        bitmapBytes(in);
        break;
    case 1:
        recognition(in);
        break;
    case 2:
        cutting(in);
        break;
    case 3:
        templateSearch(in);
        break;
    }
    return 0;
}
