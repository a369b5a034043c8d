// The image commands of the built program on a private Xvfb: a bitmap shown with ImageMagick's
// `display` at a known place is found by 识别 and the pointer lands on its centre; a miss runs
// the block; the loop form waits for the image; 截图 writes the inclusive rectangle; a shown
// text is cut into a glyph library and read back. Each case runs a copy of the binary under a
// name of its own in a temporary program folder.
#include "e2etest.h"

#include <QFont>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QPoint kShownAt(300, 200);

QImage noise(int w, int h, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xff000000u | (random.generate() & 0xffffffu));
    }
    return image;
}

} // namespace

class TestE2eImage : public E2eTest
{
    Q_OBJECT

public:
    TestE2eImage()
        : E2eTest(QStringLiteral("image"))
    {
    }

private slots:
    void initTestCase();
    void init();

    void recognise_data();
    void recognise();
    void recogniseLoopWaitsForTheImage();
    void captureWritesTheInclusiveRectangle();
    void glyphLibraryRoundTrip();

private:
    QString writeScript(const QString &text);
    QProcess *launch(const QString &script) { return m_copy->launch({script}); }
    bool runScript(const QString &scriptText) { return runToEnd(writeScript(scriptText), 20000); }
    // Shows a bitmap with its top left at `at` and waits until the screen shows it.
    bool show(const QImage &image, const QString &name, const QPoint &at);
    QImage screenshot();

    QImage m_template;
};

void TestE2eImage::initTestCase()
{
    XvfbSession::Options options;
    options.clipboardKeeper = true;
    QVERIFY2(startSession(options, {QStringLiteral("display")}), qPrintable(failure()));
    m_template = noise(64, 48, 3);
}

void TestE2eImage::init()
{
    QVERIFY2(startCopy(), qPrintable(failure()));
    QVERIFY(QDir().mkpath(file(QStringLiteral("BmpLibrary"))));
    QVERIFY(m_template.save(file(QStringLiteral("t.bmp")), "BMP"));
    QVERIFY(
        m_x->xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("6")}).ok());
    QVERIFY(m_x->setClipboardText("before"));
}

QString TestE2eImage::writeScript(const QString &text)
{
    QString script = text;
    return m_copy->writeText(
        QStringLiteral("s.zt"), script.replace(QStringLiteral("{F}"), m_copy->folder()));
}

QImage TestE2eImage::screenshot()
{
    const QString path = file(QStringLiteral("screen.png"));
    return m_x->screenshot(path) ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
}

bool TestE2eImage::show(const QImage &image, const QString &name, const QPoint &at)
{
    const QString path = file(name);
    if (!image.save(path, "BMP"))
        return false;
    QProcess *viewer = m_copy->startOther(QStringLiteral("display"),
        {QStringLiteral("-borderwidth"), QStringLiteral("0"), QStringLiteral("-geometry"),
            QStringLiteral("+%1+%2").arg(at.x()).arg(at.y()), path});
    if (!viewer)
        return false;
    const QImage expected = image.convertToFormat(QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000) {
        if (screenshot().copy(QRect(at, image.size())) == expected)
            return true;
        QThread::msleep(100);
    }
    return false;
}

void TestE2eImage::recognise_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QPoint>("pointerAfter");
    QTest::addColumn<QByteArray>("clipboard");
    // The template is 64 × 48: its centre lies at (32, 24) from its top left.
    QTest::newRow("found: pointer on the centre, block skipped")
        << true << kShownAt + QPoint(32, 24) << QByteArray("after");
    QTest::newRow("missed: the block runs, pointer stays")
        << false << QPoint(5, 6) << QByteArray("missed");
}

void TestE2eImage::recognise()
{
    QFETCH(bool, shown);
    QFETCH(QPoint, pointerAfter);
    QFETCH(QByteArray, clipboard);
    if (shown)
        QVERIFY(show(m_template, QStringLiteral("shown.bmp"), kShownAt));
    else // something else on the screen
        QVERIFY(show(noise(64, 48, 4), QStringLiteral("other.bmp"), kShownAt));
    QVERIFY(
        runScript(QStringLiteral("识别->{F}/t.bmp\n{\n复制->missed\n截止->0\n}\n复制->after\n")));
    QCOMPARE(m_x->pointer(), pointerAfter);
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), clipboard, 3000);
    if (shown)
        m_x->screenshot(QStringLiteral(QUORVEL_E2E_ARTIFACTS "/image-found.png"));
}

void TestE2eImage::recogniseLoopWaitsForTheImage()
{
    QProcess *app = launch(
        writeScript(QStringLiteral("识别->{F}/t.bmp\n{\n识别->{F}/t.bmp\n}\n复制->found\n")));
    QVERIFY(app);
    QVERIFY2(!app->waitForFinished(2000), "the loop ended before the image was shown");
    QCOMPARE(m_x->clipboardText(), QByteArray("before"));
    QVERIFY(show(m_template, QStringLiteral("late.bmp"), kShownAt));
    QVERIFY2(app->waitForFinished(15000), "the loop did not end once the image was shown");
    QCOMPARE(app->exitCode(), 0);
    QCOMPARE(m_x->pointer(), kShownAt + QPoint(32, 24));
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("found"), 3000);
}

void TestE2eImage::captureWritesTheInclusiveRectangle()
{
    QVERIFY(show(m_template, QStringLiteral("shown.bmp"), kShownAt));
    QVERIFY(runScript(QStringLiteral("截图->300,200-363,247=>{F}/shot.bmp\n截图->310,205-9*4\n")));
    const QImage shot(file(QStringLiteral("shot.bmp")));
    QCOMPARE(shot.size(), QSize(64, 48));
    QCOMPARE(shot.convertToFormat(QImage::Format_RGB32), m_template);
    const QImage small(file(QStringLiteral("image.bmp"))); // the program's working folder
    QCOMPARE(small.size(), QSize(10, 5));
    QCOMPARE(small.convertToFormat(QImage::Format_RGB32), m_template.copy(10, 5, 10, 5));
}

void TestE2eImage::glyphLibraryRoundTrip()
{
    // Printed text, black on white without smoothing, letters apart.
    const QString letters = QStringLiteral("AB12XY");
    QImage text(6 * 24 + 16, 44, QImage::Format_RGB32);
    text.fill(Qt::white);
    {
        QPainter p(&text);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(28);
        font.setStyleStrategy(QFont::NoAntialias);
        p.setFont(font);
        p.setPen(Qt::black);
        for (int i = 0; i < letters.size(); ++i)
            p.drawText(8 + i * 24, 32, letters.mid(i, 1));
    }
    const QPoint at(200, 320);
    QVERIFY(show(text, QStringLiteral("text.bmp"), at));
    const QString region = QStringLiteral("%1,%2-%3,%4")
                               .arg(at.x())
                               .arg(at.y())
                               .arg(at.x() + text.width() - 1)
                               .arg(at.y() + text.height() - 1);
    QVERIFY(
        runScript(QStringLiteral("截图->%1=>(GetCharImages)[200][%2]\n截图->%1=>[200,0](复制)\n")
                      .arg(region, letters)));
    QStringList glyphs = QDir(file(QStringLiteral("BmpLibrary"))).entryList(QDir::Files);
    glyphs.sort();
    QCOMPARE(glyphs, QStringList({"1.bmp", "2.bmp", "A.bmp", "B.bmp", "X.bmp", "Y.bmp"}));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(m_x->clipboardText()), letters, 3000);
    m_x->screenshot(QStringLiteral(QUORVEL_E2E_ARTIFACTS "/image-text.png"));
}

QTEST_MAIN(TestE2eImage)
#include "tst_e2e_image.moc"
