// The fast engine against plain versions written straight from the rules (plainreference.h):
// the search on thousands of random screens, templates, regions, thresholds, tolerances and
// miss counts; recognition on random pages and glyph libraries.
#include "imaging/glyphs.h"
#include "imaging/templatesearch.h"
#include "plainreference.h"

#include <QRandomGenerator>
#include <QtTest>

using imaging::SearchResult;

class TestImagingEquivalence : public QObject
{
    Q_OBJECT

private:
    QRandomGenerator m_random {20240611};

    int between(int low, int high) { return low + int(m_random.bounded(quint32(high - low + 1))); }

    QRgb randomColour(int palette);
    QImage randomScreen(int w, int h, int palette);
    QImage randomTemplate(const QImage &screen, int palette);

    struct Search
    {
        int left = 0, top = 0, right = 0, bottom = 0;
        int n = 0, t = 0, k = 0;
    };

    Search randomSearch(const QImage &templ, int W, int H);
    static QByteArray describe(int c, const QImage &screen, const QImage &templ, const Search &s);
    plain::Library randomLibrary(int lineHeight);
    QImage randomPage(const plain::Library &library, int lineHeight);

private slots:
    void fastSearchAgreesWithPlainSearch();
    void fastRecognitionAgreesWithPlainRecognition();
};

QRgb TestImagingEquivalence::randomColour(int palette)
{
    // A small palette makes fits likely; 0 means full noise.
    if (palette == 0)
        return qRgb(between(0, 255), between(0, 255), between(0, 255));
    const int g = between(0, palette - 1) * 255 / qMax(1, palette - 1);
    return qRgb(between(0, 255), g, between(0, 2) * 100);
}

QImage TestImagingEquivalence::randomScreen(int w, int h, int palette)
{
    const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_RGB32,
        QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied};
    const QImage::Format format = formats[between(0, 3)];
    QImage image(w, h, QImage::Format_ARGB32);
    const bool translucent = format != QImage::Format_RGB32 && between(0, 1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            QRgb c = randomColour(palette);
            if (translucent)
                c = qRgba(qRed(c), qGreen(c), qBlue(c), between(0, 3) * 85);
            image.setPixel(x, y, c);
        }
    }
    return image.convertToFormat(format);
}

// A template for the screen: mostly cut from it (a real occurrence, sometimes disturbed),
// else random; now and then indexed, or the null image of a bitmap that did not load.
QImage TestImagingEquivalence::randomTemplate(const QImage &screen, int palette)
{
    const int W = screen.width();
    const int H = screen.height();
    QImage templ;
    const int kind = between(0, 9);
    if (kind == 0)
        return templ;
    const int w = between(1, qMin(W, kind == 9 ? 24 : 7));
    const int h = between(1, qMin(H, kind == 9 ? 20 : 6));
    if (kind < 7) {
        templ = screen.copy(between(0, W - w), between(0, H - h), w, h)
                    .convertToFormat(QImage::Format_RGB32);
        for (int d = between(0, 3); d > 0; --d)
            templ.setPixel(between(0, w - 1), between(0, h - 1), randomColour(palette));
    } else {
        templ = randomScreen(w, h, palette);
    }
    if (kind == 8 && palette == 3)
        templ = templ.convertToFormat(QImage::Format_Indexed8);
    return templ;
}

// Limits and tolerances of a search for templ on a W × H screen.
TestImagingEquivalence::Search TestImagingEquivalence::randomSearch(
    const QImage &templ, int W, int H)
{
    Search s;
    switch (between(0, 4)) {
    case 0: // whole screen
        break;
    case 1: // start point
        s.left = s.right = between(0, W + 2);
        s.top = s.bottom = between(0, H + 2);
        break;
    default: // an extent, sometimes reaching beyond the screen or left of it
        s.left = between(between(0, 6) == 0 ? -20 : 0, W);
        s.top = between(between(0, 6) == 0 ? -20 : 0, H);
        s.right = s.left + between(0, W + 30);
        s.bottom = s.top + between(0, H + 30);
        break;
    }
    if (templ.format() != QImage::Format_Indexed8) {
        const int choice = between(0, 5);
        s.n = choice == 0 ? between(1, 254) : choice == 1 ? 255 : choice == 2 ? 254 : 0;
    }
    s.t = between(0, 3) == 0 ? between(0, 300) : between(0, 12);
    const int pixels = templ.width() * templ.height();
    s.k = between(0, 2) == 0 ? 0 : between(0, qMax(0, pixels));
    if (between(0, 20) == 0)
        s.k = between(250, 400); // beyond what byte counters hold
    if (between(0, 30) == 0) {
        s.k = -between(1, 5);
    }
    return s;
}

QByteArray TestImagingEquivalence::describe(
    int c, const QImage &screen, const QImage &templ, const Search &s)
{
    return QStringLiteral("case %1: screen %2x%3 fmt %4, template %5x%6 fmt %7, limits "
                          "%8,%9,%10,%11, n %12 t %13 k %14")
        .arg(c)
        .arg(screen.width())
        .arg(screen.height())
        .arg(screen.format())
        .arg(templ.width())
        .arg(templ.height())
        .arg(templ.format())
        .arg(s.left)
        .arg(s.top)
        .arg(s.right)
        .arg(s.bottom)
        .arg(s.n)
        .arg(s.t)
        .arg(s.k)
        .toLatin1();
}

// A library of random glyphs: ink in their top and bottom rows so that they can fit a
// trimmed cell, some taller than 64 rows, a blank space, a null image and duplicates now
// and then.
plain::Library TestImagingEquivalence::randomLibrary(int lineHeight)
{
    plain::Library library;
    for (int g = between(1, 14); g > 0; --g) {
        const int w = between(1, 8);
        const int h = between(0, 2) == 0 ? lineHeight : between(1, lineHeight);
        QImage glyph(w, h, QImage::Format_RGB32);
        glyph.fill(Qt::white);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (y == 0 || y == h - 1 ? x == between(0, w - 1) : between(0, 2) == 0)
                    glyph.setPixel(x, y, qRgb(0, between(0, 1) * 254, 0));
            }
        }
        library.append({QString(QChar('a' + library.size())), glyph});
    }
    if (between(0, 2) == 0) {
        QImage blank(between(2, 4), between(0, 1) ? lineHeight : between(1, lineHeight),
            QImage::Format_RGB32);
        blank.fill(Qt::white);
        library.insert(between(0, library.size()), {QStringLiteral("BlankSpace"), blank});
    }
    if (between(0, 3) == 0)
        library.insert(between(0, library.size()), {QStringLiteral("null"), QImage()});
    if (between(0, 2) == 0)
        library.append({QStringLiteral("twin"), library.at(between(0, library.size() - 1)).second});
    return library;
}

// A page of lines made of the library's glyphs, with noise and light fringes.
QImage TestImagingEquivalence::randomPage(const plain::Library &library, int lineHeight)
{
    const int lines = between(1, 3);
    QImage page(between(20, 90), lines * (lineHeight + 3) + between(0, 6), QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int l = 0; l < lines; ++l) {
        int x = between(0, 4);
        const int y = l * (lineHeight + 3) + between(0, 2);
        while (x < page.width()) {
            const QImage &g = library.at(between(0, library.size() - 1)).second;
            if (!g.isNull()) {
                // Lower glyphs sit anywhere in the line's height (cells trimmed away from
                // the line's top, across 64-row words).
                const int dy = between(0, qMax(0, lineHeight - g.height()));
                for (int j = 0; j < g.height() && y + dy + j < page.height(); ++j) {
                    for (int i = 0; i < g.width() && x + i < page.width(); ++i)
                        page.setPixel(x + i, y + dy + j, g.pixel(i, j));
                }
                x += g.width();
            }
            x += between(0, 3);
        }
    }
    for (int d = between(0, 6); d > 0; --d)
        page.setPixel(between(0, page.width() - 1), between(0, page.height() - 1),
            between(0, 1) ? qRgb(220, 220, 220) : qRgb(0, 0, 0));
    return page;
}

void TestImagingEquivalence::fastSearchAgreesWithPlainSearch()
{
    const int cases = 10000;
    int found = 0, notFound = 0, narrow = 0, shortRegion = 0;
    for (int c = 0; c < cases; ++c) {
        const int palette = QVector<int> {0, 2, 3, 8}.at(between(0, 3));
        const bool big = between(0, 9) == 0;
        const int W = between(1, big ? 140 : 60);
        const int H = between(1, big ? 100 : 45);
        const QImage screen = randomScreen(W, H, palette);
        const QImage templ = randomTemplate(screen, palette);
        const Search s = randomSearch(templ, W, H);

        const SearchResult expected
            = plain::findTemplate(screen, templ, s.left, s.top, s.right, s.bottom, s.n, s.t, s.k);
        const SearchResult actual
            = imaging::findTemplate(screen, templ, s.left, s.top, s.right, s.bottom, s.n, s.t, s.k);
        const QByteArray where = describe(c, screen, templ, s);
        QVERIFY2(actual.outcome == expected.outcome, where.constData());
        if (expected.outcome == SearchResult::Found)
            QVERIFY2(actual.centre == expected.centre, where.constData());
        found += expected.outcome == SearchResult::Found;
        notFound += expected.outcome == SearchResult::NotFound;
        narrow += expected.outcome == SearchResult::RegionTooNarrow;
        shortRegion += expected.outcome == SearchResult::RegionTooShort;
    }
    qInfo("found %d, not found %d, too narrow %d, too short %d", found, notFound, narrow,
        shortRegion);
    // Every outcome must have been exercised plenty for the comparison to mean something.
    QVERIFY(found > cases / 5 && notFound > cases / 10);
    QVERIFY(narrow > 20 && shortRegion > 20);
}

void TestImagingEquivalence::fastRecognitionAgreesWithPlainRecognition()
{
    const int cases = 300;
    int nonEmpty = 0;
    for (int c = 0; c < cases; ++c) {
        const int lineHeight = between(0, 4) == 0 ? between(60, 75) : between(7, 12);
        const plain::Library library = randomLibrary(lineHeight);
        const QImage page = randomPage(library, lineHeight);

        const QVector<int> thresholds {200, 200, 254, 0, 230};
        const int threshold = thresholds.at(between(0, thresholds.size() - 1));
        const int misses = between(0, 2) == 0 ? 0 : between(0, 6);
        imaging::GlyphLibrary fastLibrary;
        for (const auto &g : qAsConst(library))
            fastLibrary.append({g.first, g.second});
        const QString expected = plain::recogniseText(page, library, threshold, misses);
        const QString actual = imaging::recogniseText(page, fastLibrary, threshold, misses);
        QVERIFY2(actual == expected,
            qPrintable(QStringLiteral("case %1: expected \"%2\", got \"%3\"")
                           .arg(c)
                           .arg(expected, actual)));
        nonEmpty += expected.trimmed().isEmpty() ? 0 : 1;
    }
    qInfo("%d of %d pages read some text", nonEmpty, cases);
    QVERIFY(nonEmpty > cases / 2);
}

QTEST_GUILESS_MAIN(TestImagingEquivalence)
#include "tst_imagingequivalence.moc"
