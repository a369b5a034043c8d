// The image engine on synthetic pictures: regions, light reduction, trims, the template
// search's rules, glyph cutting and recognition.
#include "imaging/glyphs.h"
#include "imaging/imageops.h"
#include "imaging/region.h"
#include "imaging/templatesearch.h"
#include "imagingtestutil.h"

#include <QDir>
#include <QPolygon>
#include <QTemporaryDir>
#include <QtTest>

using namespace imaging;
using namespace imagingtest;

Q_DECLARE_METATYPE(imaging::SearchRegion::Form)
Q_DECLARE_METATYPE(imaging::SearchResult::Outcome)

namespace {

// A 4 × 3 template of greens that white never matches.
QImage searchTemplate()
{
    QImage t(4, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            t.setPixel(x, y, qRgb(7 * x, 10 + 10 * (x + 4 * y), 3 * y));
    }
    return t;
}

QImage imageWithPixel(QRgb background, QRgb pixel)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(background);
    image.setPixel(1, 1, pixel);
    return image;
}

QImage onePixel(QRgb colour)
{
    QImage image(1, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, colour);
    return image;
}

} // namespace

class TestImaging : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString library(const QString &name, const QList<QPair<QString, QStringList>> &files);
    QString letters(const QString &name, const QString &chars);

private slots:
    void parseSearchRegion_data();
    void parseSearchRegion();
    void reduceLightColour_data();
    void reduceLightColour();
    void reduceLightColourMakesOpaqueWhite();
    void trims_data();
    void trims();
    void whiteIgnoresAlpha();
    void lines_data();
    void lines();
    void findTemplate_places_data();
    void findTemplate_places();
    void findTemplate_tolerance_data();
    void findTemplate_tolerance();
    void findTemplate_misses_data();
    void findTemplate_misses();
    void findTemplate_lightThreshold_data();
    void findTemplate_lightThreshold();
    void findTemplate_outsideIsBlack_data();
    void findTemplate_outsideIsBlack();
    void findTemplate_nullTemplate();
    void recogniseText_data();
    void recogniseText();
    void recogniseText_misses_data();
    void recogniseText_misses();
    void recogniseText_stripHeight_data();
    void recogniseText_stripHeight();
    void recogniseText_listing_data();
    void recogniseText_listing();
    void recogniseText_blankSpace_data();
    void recogniseText_blankSpace();
    void cutGlyphImages_data();
    void cutGlyphImages();
    void cutThenRecognise();

    void allWhitePageEnds();
};

// A glyph library folder holding the given shapes under the given file names.
QString TestImaging::library(const QString &name, const QList<QPair<QString, QStringList>> &files)
{
    const QString folder = m_dir.filePath(name);
    for (const auto &file : files) {
        const QString path = folder + QLatin1Char('/') + file.first;
        QDir().mkpath(QFileInfo(path).absolutePath());
        picture(file.second).save(path, "BMP");
    }
    QDir().mkpath(folder);
    return folder;
}

QString TestImaging::letters(const QString &name, const QString &chars)
{
    QList<QPair<QString, QStringList>> files;
    for (QChar c : chars)
        files.append({QString(c) + QStringLiteral(".bmp"), shape(c)});
    return library(name, files);
}

void TestImaging::parseSearchRegion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<SearchRegion::Form>("form");
    QTest::addColumn<QRect>("expected"); // left, top, width, height
    using F = SearchRegion;
    QTest::newRow("corners") << "10,20-30,45" << F::Corners << QRect(10, 20, 20, 25);
    QTest::newRow("corners reversed are normalised")
        << "300,200-100,50" << F::Corners << QRect(100, 50, 200, 150);
    QTest::newRow("point and size") << "10,20-30*40" << F::PointSize << QRect(10, 20, 30, 40);
    QTest::newRow("cursor to corner") << "mxy-100,80" << F::CursorCorner << QRect(40, 30, 60, 50);
    QTest::newRow("cursor to corner above left")
        << "MXY-10,5" << F::CursorCorner << QRect(10, 5, 30, 25);
    QTest::newRow("cursor and size") << "mXy-5*6" << F::CursorSize << QRect(40, 30, 5, 6);
    QTest::newRow("start point") << "7,8" << F::Point << QRect(7, 8, 0, 0);
    QTest::newRow("cursor start") << "Mxy" << F::Cursor << QRect(40, 30, 0, 0);
    QTest::newRow("full-width commas") << "10，20-30，40" << F::Corners << QRect(10, 20, 20, 20);
    QTest::newRow("leading blank") << " 10,20-30,40" << F::None << QRect();
    QTest::newRow("trailing blank") << "10,20-30,40 " << F::None << QRect();
    QTest::newRow("three numbers") << "1,2-3" << F::None << QRect();
    QTest::newRow("sign") << "-1,2-3,4" << F::None << QRect();
    QTest::newRow("mxy with nothing after the dash") << "mxy-" << F::None << QRect();
    QTest::newRow("mixed separators") << "1,2-3*4,5" << F::None << QRect();
    QTest::newRow("empty") << "" << F::None << QRect();
}

void TestImaging::parseSearchRegion()
{
    QFETCH(QString, text);
    QFETCH(SearchRegion::Form, form);
    QFETCH(QRect, expected);
    const SearchRegion r = imaging::parseSearchRegion(text, QPoint(40, 30));
    QCOMPARE(r.form, form);
    if (form != SearchRegion::None)
        QCOMPARE(QRect(r.left, r.top, r.width, r.height), expected);
}

void TestImaging::reduceLightColour_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("whitened");
    QTest::newRow("198.2 stays below 200") << qRgb(200, 200, 200) << 200 << false;
    QTest::newRow("208.11 turns white at 200") << qRgb(210, 210, 210) << 200 << true;
    QTest::newRow("green weight 0.578: 147.39 against 147") << qRgb(0, 255, 0) << 147 << true;
    QTest::newRow("green weight 0.578: 147.39 against 148") << qRgb(0, 255, 0) << 148 << false;
    QTest::newRow("0 whitens black") << qRgb(0, 0, 0) << 0 << true;
    QTest::newRow("white is only 252.705") << qRgb(255, 255, 254) << 253 << false;
    QTest::newRow("red and blue: 220.915 against 221") << qRgb(255, 200, 255) << 221 << false;
    QTest::newRow("red and blue: 220.915 against 220") << qRgb(255, 200, 255) << 220 << true;
}

void TestImaging::reduceLightColour()
{
    QFETCH(QRgb, pixel);
    QFETCH(int, n);
    QFETCH(bool, whitened);
    for (QImage::Format format :
        {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_Indexed8}) {
        QImage image = onePixel(pixel).convertToFormat(format);
        imaging::reduceLightColour(image, n);
        QCOMPARE(image.format(), format);
        QCOMPARE(image.pixel(0, 0), whitened ? qRgb(255, 255, 255) : pixel);
    }
}

void TestImaging::reduceLightColourMakesOpaqueWhite()
{
    QImage image(1, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(250, 250, 250, 0));
    imaging::reduceLightColour(image, 200);
    QCOMPARE(image.pixel(0, 0), qRgba(255, 255, 255, 255));
}

void TestImaging::trims_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QSize>("size"); // of the result; (0, 0) for a null image
    QTest::addColumn<QPoint>("inkAt"); // where the ink pixel ends up
    const QStringList white {"....", "....", "...."};
    QTest::newRow("trimTop, all white: whole") << white << "top" << QSize(4, 3) << QPoint(-1, -1);
    QTest::newRow("trimBottom, all white: one row")
        << white << "bottom" << QSize(4, 1) << QPoint(-1, -1);
    QTest::newRow("trimLeft, all white: whole") << white << "left" << QSize(4, 3) << QPoint(-1, -1);
    QTest::newRow("trimRight, all white: null")
        << white << "right" << QSize(0, 0) << QPoint(-1, -1);
    QTest::newRow("cutBorder, all white: null")
        << white << "border" << QSize(0, 0) << QPoint(-1, -1);
    const QStringList dot {".....", ".....", "..#..", ".....", "....."};
    QTest::newRow("trimTop") << dot << "top" << QSize(5, 3) << QPoint(2, 0);
    QTest::newRow("trimBottom") << dot << "bottom" << QSize(5, 3) << QPoint(2, 2);
    QTest::newRow("trimLeft") << dot << "left" << QSize(3, 5) << QPoint(0, 2);
    QTest::newRow("trimRight") << dot << "right" << QSize(3, 5) << QPoint(2, 2);
    QTest::newRow("cutBorder") << dot << "border" << QSize(1, 1) << QPoint(0, 0);
    QTest::newRow("light grey is ink")
        << QStringList {"...", ".+."} << "border" << QSize(1, 1) << QPoint(0, 0);
}

void TestImaging::trims()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, operation);
    QFETCH(QSize, size);
    QFETCH(QPoint, inkAt);
    QImage image = picture(rows);
    if (operation == QLatin1String("top"))
        trimTop(image);
    else if (operation == QLatin1String("bottom"))
        trimBottom(image);
    else if (operation == QLatin1String("left"))
        trimLeft(image);
    else if (operation == QLatin1String("right"))
        trimRight(image);
    else
        cutBorder(image);
    QCOMPARE(image.size(), size.isEmpty() ? QSize(0, 0) : size);
    QCOMPARE(image.isNull(), size.isEmpty());
    if (inkAt.x() >= 0)
        QVERIFY(image.pixel(inkAt) != qRgb(255, 255, 255));
}

void TestImaging::whiteIgnoresAlpha()
{
    QImage image(3, 1, QImage::Format_ARGB32);
    image.fill(qRgba(255, 255, 255, 0));
    image.setPixel(2, 0, qRgba(255, 255, 254, 255));
    trimLeft(image);
    QCOMPARE(image.width(), 1);
}

void TestImaging::lines_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("firstLineRows");
    QTest::addColumn<int>("restRows"); // 0: a null image
    QTest::newRow("two lines") << QStringList {"...", ".#.", "##.", "...", "...", "#..", "..."} << 2
                               << 4;
    QTest::newRow("one line reaching the bottom") << QStringList {"...", ".#.", "#.."} << 2 << 0;
    QTest::newRow("one line, white below") << QStringList {".#.", "...", "..."} << 1 << 2;
}

void TestImaging::lines()
{
    QFETCH(QStringList, rows);
    QFETCH(int, firstLineRows);
    QFETCH(int, restRows);
    QImage first = picture(rows);
    keepFirstLine(first);
    QCOMPARE(first.height(), firstLineRows);
    QImage rest = picture(rows);
    dropFirstLine(rest);
    QCOMPARE(rest.height(), restRows);
    QCOMPARE(rest.isNull(), restRows == 0);
}

void TestImaging::findTemplate_places_data()
{
    QTest::addColumn<QPolygon>("places"); // where the template is on a white 40 × 30 screen
    QTest::addColumn<QRect>("limits"); // left, top, right, bottom as x, y, width, height
    QTest::addColumn<SearchResult::Outcome>("outcome");
    QTest::addColumn<QPoint>("centre");
    const QRect whole(0, 0, 0, 0);
    QTest::newRow("centre rounds down")
        << QPolygon(QVector<QPoint> {QPoint(5, 7)}) << whole << SearchResult::Found << QPoint(7, 8);
    QTest::newRow("smaller x wins") << QPolygon(QVector<QPoint> {QPoint(12, 2), QPoint(10, 20)})
                                    << whole << SearchResult::Found << QPoint(12, 21);
    QTest::newRow("equal x: smaller y wins")
        << QPolygon(QVector<QPoint> {QPoint(10, 20), QPoint(10, 3)}) << whole << SearchResult::Found
        << QPoint(12, 4);
    QTest::newRow("at x = right - w: never tried")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(0, 0, 14, 30)
        << SearchResult::NotFound << QPoint();
    QTest::newRow("one column further inside")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(0, 0, 15, 30) << SearchResult::Found
        << QPoint(12, 6);
    QTest::newRow("at y = bottom - h: never tried")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(0, 0, 40, 8) << SearchResult::NotFound
        << QPoint();
    QTest::newRow("one row further inside")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(0, 0, 40, 9) << SearchResult::Found
        << QPoint(12, 6);
    QTest::newRow("the screen's right edge counts the same")
        << QPolygon(QVector<QPoint> {QPoint(36, 5)}) << whole << SearchResult::NotFound << QPoint();
    QTest::newRow("the screen's bottom edge counts the same")
        << QPolygon(QVector<QPoint> {QPoint(5, 27)}) << whole << SearchResult::NotFound << QPoint();
    QTest::newRow("start point: to the screen's edges")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(10, 5, 10, 5) << SearchResult::Found
        << QPoint(12, 6);
    QTest::newRow("start point: nothing before it")
        << QPolygon(QVector<QPoint> {QPoint(9, 5)}) << QRect(10, 5, 10, 5) << SearchResult::NotFound
        << QPoint();
    QTest::newRow("only inside the region")
        << QPolygon(QVector<QPoint> {QPoint(2, 2), QPoint(20, 10)}) << QRect(15, 0, 30, 20)
        << SearchResult::Found << QPoint(22, 11);
    QTest::newRow("region as wide as the template")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(10, 0, 14, 30)
        << SearchResult::RegionTooNarrow << QPoint();
    QTest::newRow("region wider, as tall as the template")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(10, 5, 15, 8)
        << SearchResult::RegionTooShort << QPoint();
    QTest::newRow("too narrow before too short")
        << QPolygon(QVector<QPoint> {QPoint(10, 5)}) << QRect(10, 5, 14, 8)
        << SearchResult::RegionTooNarrow << QPoint();
    QTest::newRow("region beyond the screen: outside is black, never this template")
        << QPolygon(QVector<QPoint> {QPoint(30, 20)}) << QRect(25, 15, 90, 80)
        << SearchResult::Found << QPoint(32, 21);
}

void TestImaging::findTemplate_places()
{
    QFETCH(QPolygon, places);
    QFETCH(QRect, limits);
    QFETCH(SearchResult::Outcome, outcome);
    QFETCH(QPoint, centre);
    QImage screen = whiteImage(40, 30);
    const QImage templ = searchTemplate();
    for (const QPoint &p : qAsConst(places))
        stamp(screen, templ, p.x(), p.y());
    const SearchResult r = findTemplate(
        screen, templ, limits.x(), limits.y(), limits.width(), limits.height(), 0, 0, 0);
    QCOMPARE(r.outcome, outcome);
    if (outcome == SearchResult::Found)
        QCOMPARE(r.centre, centre);
}

void TestImaging::findTemplate_tolerance_data()
{
    QTest::addColumn<QRgb>("background");
    QTest::addColumn<QRgb>("screenPixel");
    QTest::addColumn<QRgb>("templatePixel");
    QTest::addColumn<int>("t");
    QTest::addColumn<bool>("hit");
    const QRgb black = qRgb(0, 0, 0);
    QTest::newRow("110 against 100, t = 10")
        << black << qRgb(0, 110, 0) << qRgb(0, 100, 0) << 10 << true;
    QTest::newRow("111 against 100, t = 10")
        << black << qRgb(0, 111, 0) << qRgb(0, 100, 0) << 10 << false;
    QTest::newRow("90 against 100, t = 10")
        << black << qRgb(0, 90, 0) << qRgb(0, 100, 0) << 10 << true;
    QTest::newRow("89 against 100, t = 10")
        << black << qRgb(0, 89, 0) << qRgb(0, 100, 0) << 10 << false;
    QTest::newRow("red and blue never miss")
        << black << qRgb(0, 100, 255) << qRgb(255, 100, 0) << 0 << true;
    QTest::newRow("range above 255") << black << qRgb(0, 255, 0) << qRgb(0, 250, 0) << 10 << true;
    QTest::newRow("range below 0")
        << qRgb(0, 128, 0) << qRgb(0, 0, 0) << qRgb(0, 5, 0) << 10 << true;
}

void TestImaging::findTemplate_tolerance()
{
    QFETCH(QRgb, background);
    QFETCH(QRgb, screenPixel);
    QFETCH(QRgb, templatePixel);
    QFETCH(int, t);
    QFETCH(bool, hit);
    const SearchResult r = findTemplate(
        imageWithPixel(background, screenPixel), onePixel(templatePixel), 0, 0, 0, 0, 0, t, 0);
    QCOMPARE(r.outcome, hit ? SearchResult::Found : SearchResult::NotFound);
    if (hit)
        QCOMPARE(r.centre, QPoint(1, 1));
}

void TestImaging::findTemplate_misses_data()
{
    QTest::addColumn<int>("changed");
    QTest::addColumn<int>("k");
    QTest::addColumn<QPoint>("centre"); // (-1, -1): not found
    QTest::newRow("exact, k = 0") << 0 << 0 << QPoint(13, 8);
    QTest::newRow("one miss, k = 0") << 1 << 0 << QPoint(-1, -1);
    QTest::newRow("two misses, k = 2") << 2 << 2 << QPoint(13, 8);
    QTest::newRow("three misses, k = 2") << 3 << 2 << QPoint(-1, -1);
    QTest::newRow("k as large as the template: the first place") << 3 << 12 << QPoint(2, 1);
    QTest::newRow("k one less: only the real place") << 3 << 11 << QPoint(13, 8);
}

void TestImaging::findTemplate_misses()
{
    QFETCH(int, changed);
    QFETCH(int, k);
    QFETCH(QPoint, centre);
    const QImage templ = searchTemplate();
    QImage screen = whiteImage(30, 20);
    stamp(screen, templ, 11, 7);
    for (int i = 0; i < changed; ++i)
        screen.setPixel(11 + i, 8, qRgb(0, 200, 0));
    const SearchResult r = findTemplate(screen, templ, 0, 0, 0, 0, 0, 0, k);
    QCOMPARE(r.outcome, centre == QPoint(-1, -1) ? SearchResult::NotFound : SearchResult::Found);
    if (centre != QPoint(-1, -1))
        QCOMPARE(r.centre, centre);
}

void TestImaging::findTemplate_lightThreshold_data()
{
    QTest::addColumn<QRgb>("screenPixel");
    QTest::addColumn<QRgb>("templatePixel");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("hit");
    const QRgb grey230 = qRgb(230, 230, 230);
    QTest::newRow("both turn white at 200") << grey230 << qRgb(210, 210, 210) << 200 << true;
    QTest::newRow("198.2 stays grey at 200") << grey230 << qRgb(200, 200, 200) << 200 << false;
    QTest::newRow("0 is off") << grey230 << qRgb(210, 210, 210) << 0 << false;
    QTest::newRow("255 is off") << grey230 << qRgb(210, 210, 210) << 255 << false;
    QTest::newRow("254 is on, but these are darker")
        << grey230 << qRgb(210, 210, 210) << 254 << false;
    QTest::newRow("white stays white at 254")
        << qRgb(255, 255, 255) << qRgb(255, 255, 255) << 254 << true;
}

void TestImaging::findTemplate_lightThreshold()
{
    QFETCH(QRgb, screenPixel);
    QFETCH(QRgb, templatePixel);
    QFETCH(int, n);
    QFETCH(bool, hit);
    const SearchResult r = findTemplate(
        imageWithPixel(qRgb(0, 0, 0), screenPixel), onePixel(templatePixel), 0, 0, 0, 0, n, 0, 0);
    QCOMPARE(r.outcome, hit ? SearchResult::Found : SearchResult::NotFound);
}

void TestImaging::findTemplate_outsideIsBlack_data()
{
    QTest::addColumn<QRect>("limits");
    QTest::addColumn<int>("k");
    QTest::addColumn<QPoint>("centre"); // (-1, -1): not found
    QTest::newRow("first place wholly right of the screen")
        << QRect(15, 0, 30, 10) << 0 << QPoint(21, 1);
    QTest::newRow("partly outside, within the misses")
        << QRect(15, 0, 30, 10) << 6 << QPoint(19, 1);
    QTest::newRow("below the screen in the first column")
        << QRect(0, 5, 20, 20) << 0 << QPoint(1, 11);
    QTest::newRow("left of the screen") << QRect(-10, 2, 20, 10) << 0 << QPoint(-9, 3);
    QTest::newRow("inside the screen only") << QRect(0, 0, 20, 10) << 0 << QPoint(-1, -1);
}

void TestImaging::findTemplate_outsideIsBlack()
{
    QFETCH(QRect, limits);
    QFETCH(int, k);
    QFETCH(QPoint, centre);
    const QImage screen = whiteImage(20, 10);
    QImage templ(3, 3, QImage::Format_RGB32);
    templ.fill(Qt::black);
    const SearchResult r = findTemplate(
        screen, templ, limits.x(), limits.y(), limits.width(), limits.height(), 0, 0, k);
    QCOMPARE(r.outcome, centre == QPoint(-1, -1) ? SearchResult::NotFound : SearchResult::Found);
    if (centre != QPoint(-1, -1))
        QCOMPARE(r.centre, centre);
}

void TestImaging::findTemplate_nullTemplate()
{
    const QImage screen = whiteImage(20, 10);
    SearchResult r = findTemplate(screen, QImage(), 0, 0, 0, 0, 0, 0, 0);
    QCOMPARE(r.outcome, SearchResult::Found);
    QCOMPARE(r.centre, QPoint(0, 0));
    r = findTemplate(screen, QImage(), 7, 3, 7, 3, 0, 0, 0);
    QCOMPARE(r.centre, QPoint(7, 3));
    QCOMPARE(findTemplate(screen, QImage(), 25, 3, 0, 0, 0, 0, 0).outcome,
        SearchResult::RegionTooNarrow);
}

void TestImaging::recogniseText_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("libraryLetters");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("misses");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two lines") << text({"AB1", "1BA"}) << "AB1" << 200 << 0 << "AB1\r\n1BA";
    QTest::newRow("wider spacing") << text({"A1B"}, 3) << "AB1" << 200 << 0 << "A1B";
    QTest::newRow("letters missing from the library") << text({"AB1"}) << "B" << 200 << 0 << "B";
    QTest::newRow("empty library: empty lines") << text({"AB", "1"}) << "" << 200 << 0 << "\r\n";
    QTest::newRow("light fringe whitened at 200") << picture({"+++++++", "+.###.+", "+#...#+",
        "+#...#+", "+#####+", "+#...#+", "+#...#+", "+#...#+", "+++++++"})
                                                  << "A" << 200 << 0 << "A";
    QTest::newRow("light fringe kept at 254") << picture({"+++++++", "+.###.+", "+#...#+",
        "+#...#+", "+#####+", "+#...#+", "+#...#+", "+#...#+", "+++++++"})
                                              << "A" << 254 << 0 << "";
    QTest::newRow("threshold 0 whitens everything") << text({"AB"}) << "AB" << 0 << 0 << "";
}

void TestImaging::recogniseText()
{
    QFETCH(QImage, image);
    QFETCH(QString, libraryLetters);
    QFETCH(int, threshold);
    QFETCH(int, misses);
    QFETCH(QString, expected);
    const QString folder = letters(QString::fromLatin1(QTest::currentDataTag()), libraryLetters);
    QCOMPARE(imaging::recogniseText(image, folder, threshold, misses), expected);
}

void TestImaging::recogniseText_misses_data()
{
    QTest::addColumn<int>("flipped");
    QTest::addColumn<int>("misses");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exact") << 0 << 0 << "A";
    QTest::newRow("one pixel off, misses 0") << 1 << 0 << "";
    QTest::newRow("three off, misses 3") << 3 << 3 << "A";
    QTest::newRow("four off, misses 3") << 4 << 3 << "";
}

void TestImaging::recogniseText_misses()
{
    QFETCH(int, flipped);
    QFETCH(int, misses);
    QFETCH(QString, expected);
    QImage image = text({"A"});
    const QPoint inner[] = {{5, 5}, {6, 5}, {5, 7}, {6, 8}}; // inside the A, off its border
    for (int i = 0; i < flipped; ++i)
        image.setPixel(inner[i], qRgb(0, 0, 0));
    const QString folder = letters(QStringLiteral("misses"), QStringLiteral("A"));
    QCOMPARE(imaging::recogniseText(image, folder, 200, misses), expected);
}

void TestImaging::recogniseText_stripHeight_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("expected");
    QTest::newRow("6 rows are not read") << 6 << "";
    QTest::newRow("7 rows are") << 7 << "I";
}

void TestImaging::recogniseText_stripHeight()
{
    QFETCH(int, rows);
    QFETCH(QString, expected);
    const QStringList bar = QVector<QString>(rows, QStringLiteral("##")).toList();
    const QString folder
        = library(QStringLiteral("bar%1").arg(rows), {{QStringLiteral("I.bmp"), bar}});
    QImage image = whiteImage(8, rows + 4);
    stamp(image, picture(bar), 3, 2);
    QCOMPARE(imaging::recogniseText(image, folder, 200, 0), expected);
}

void TestImaging::recogniseText_listing_data()
{
    QTest::addColumn<QStringList>("files"); // all hold the shape of A
    QTest::addColumn<QString>("expected");
    QTest::newRow("first listed of two that fit") << QStringList {"b.bmp", "a.bmp"} << "a";
    QTest::newRow("files before subfolders") << QStringList {"sub/a.bmp", "z.bmp"} << "z";
    QTest::newRow("subfolders are read") << QStringList {"sub/deeper/x.bmp"} << "x";
    QTest::newRow("upper-case suffix does not count") << QStringList {"A.BMP"} << "";
    QTest::newRow("complete base name") << QStringList {"A.b.bmp"} << "A.b";
}

void TestImaging::recogniseText_listing()
{
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QList<QPair<QString, QStringList>> content;
    for (const QString &f : qAsConst(files))
        content.append({f, shape('A')});
    const QString folder = library(QString::fromLatin1(QTest::currentDataTag()), content);
    QCOMPARE(imaging::recogniseText(text({"A"}), folder, 200, 0), expected);
}

void TestImaging::recogniseText_blankSpace_data()
{
    QTest::addColumn<int>("blankHeight");
    QTest::addColumn<QString>("expected");
    QTest::newRow("as high as the line") << 7 << "A B";
    QTest::newRow("lower than the line never fits") << 6 << "AB";
}

void TestImaging::recogniseText_blankSpace()
{
    QFETCH(int, blankHeight);
    QFETCH(QString, expected);
    const QString folder = library(QStringLiteral("blank%1").arg(blankHeight),
        {{QStringLiteral("A.bmp"), shape('A')}, {QStringLiteral("B.bmp"), shape('B')},
            {QStringLiteral("BlankSpace.bmp"), QVector<QString>(blankHeight, "...").toList()}});
    QCOMPARE(imaging::recogniseText(text({"A B"}), folder, 200, 0), expected);
}

void TestImaging::cutGlyphImages_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("minWidth");
    QTest::addColumn<int>("maxWidth");
    QTest::addColumn<QString>("names");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("saved"); // base name = shape character, or "i=c" for names "0"
    QTest::newRow("numbered") << text({"AB1"}) << 1 << 0 << "0" << 3
                              << QStringList {"0=A", "1=B", "2=1"};
    QTest::newRow("fewer names than glyphs")
        << text({"AB1"}) << 1 << 0 << "AB" << 3 << QStringList {"A", "B"};
    QTest::newRow("two lines") << text({"A", "B1"}) << 1 << 0 << "AB1" << 3
                               << QStringList {"A", "B", "1"};
    QTest::newRow("touching, the column joins its left")
        << text({"AB"}, 0) << 1 << 5 << "AB" << 2 << QStringList {"A", "B"};
    QTest::newRow("touching, the column starts the next glyph")
        << text({"PQ"}, 0) << 1 << 4 << "PQ" << 2 << QStringList {"P", "Q"};
    QTest::newRow("a strip of 6 rows is not cut")
        << picture({"#.#", "#.#", "#.#", "#.#", "#.#", "#.#"}) << 1 << 0 << "xy" << 0
        << QStringList();
}

void TestImaging::cutGlyphImages()
{
    QFETCH(QImage, image);
    QFETCH(int, minWidth);
    QFETCH(int, maxWidth);
    QFETCH(QString, names);
    QFETCH(int, count);
    QFETCH(QStringList, saved);
    const QString folder = m_dir.filePath(QStringLiteral("cut-") + QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(imaging::cutGlyphImages(image, minWidth, maxWidth, 200, names, folder), count);
    QStringList expectedFiles;
    for (const QString &s : qAsConst(saved)) {
        const QString base = s.section('=', 0, 0);
        const QChar c = s.section('=', -1).at(0);
        expectedFiles << base + QStringLiteral(".bmp");
        const QImage glyph(folder + QLatin1Char('/') + base + QStringLiteral(".bmp"));
        QCOMPARE(glyph.convertToFormat(QImage::Format_RGB32), picture(shape(c)));
    }
    QStringList files = QDir(folder).entryList(QDir::Files);
    files.sort();
    expectedFiles.sort();
    QCOMPARE(files, expectedFiles);
}

void TestImaging::cutThenRecognise()
{
    const QString folder = m_dir.filePath(QStringLiteral("roundtrip"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(imaging::cutGlyphImages(text({"BA11A"}), 1, 0, 200, QStringLiteral("BA1"), folder), 5);
    QCOMPARE(
        imaging::recogniseText(text({"1AB", "BB"}), folder, 200, 0), QStringLiteral("1AB\r\nBB"));
}

void TestImaging::allWhitePageEnds()
{
    // Threshold 0 whitens a page that has no white border to cut first.
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(qRgb(100, 100, 100));
    QCOMPARE(imaging::cutGlyphImages(image, 1, 0, 0, QStringLiteral("0"), m_dir.path()), 0);
}

QTEST_GUILESS_MAIN(TestImaging)
#include "tst_imaging.moc"
