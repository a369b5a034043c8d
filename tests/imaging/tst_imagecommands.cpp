// 识别, 截图 and 图片 run by the real interpreter against the recording platform's screen and
// pointer.
// Lines such as 复制->marker show which lines ran (they reach the clipboard record).
#include "imagingtestutil.h"
#include "scriptrun.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace imagingtest;

namespace {

// The screens and the pointer a test prepares, and what the runs did with them.
struct FakeScreen
{
    QVector<QImage> screens; // one per capture; the last one stays
    int captures = 0;
    QPoint pointer {0, 0};
    QVector<QPoint> moves;

    // Hands the screens not shown yet and the pointer to the run's platform.
    void prepare(FakePlatform &platform) const
    {
        const int shown = qMin(captures, screens.size() - 1);
        platform.screen = screens.value(screens.size() - 1);
        platform.nextScreens = screens.mid(shown, screens.size() - 1 - shown).toList();
        platform.cursor = pointer;
    }

    // Takes the captures and pointer moves the run's platform recorded.
    void collect(const FakePlatform &platform)
    {
        captures += platform.captures();
        pointer = platform.cursor;
        for (const QString &call : platform.calls) {
            if (!call.startsWith(QLatin1String("pointer:")))
                continue;
            const QStringList xy = call.mid(8).split(QLatin1Char(','));
            moves << QPoint(xy.value(0).toInt(), xy.value(1).toInt());
        }
    }
};

QString errorLine(int number, const QString &text)
{
    return QStringLiteral("<span style=\"color:red;\">第%1行有误：%2</span>").arg(number).arg(text);
}

} // namespace

class TestImageCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    FakeScreen m_screen;
    QImage m_template; // 10 × 8 noise
    QImage m_withTemplate; // 200 × 150 white, the template at (50, 40): centre (55, 44)
    QImage m_without;
    QString m_templatePath;
    QString m_oldCurrent;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString library() const { return path(QStringLiteral("BmpLibrary")); }

    RunRecord run(const QString &script, const QString &clipboard = QString())
    {
        ScriptRun run;
        run.platform.exePath = path(QStringLiteral("Quorvel"));
        m_screen.prepare(run.platform);
        run.clipboard = clipboard;
        QString text = script;
        text.replace(QStringLiteral("{T}"), m_templatePath)
            .replace(QStringLiteral("{D}"), m_dir.path());
        const RunRecord record = run.runScript(text);
        m_screen.collect(run.platform);
        return record;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QRandomGenerator random(7);
        m_template = QImage(10, 8, QImage::Format_RGB32);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x)
                m_template.setPixel(x, y, random.generate() | 0xff000000u);
        }
        m_templatePath = path(QStringLiteral("t.bmp"));
        QVERIFY(m_template.save(m_templatePath, "BMP"));
        m_without = whiteImage(200, 150);
        m_withTemplate = m_without;
        stamp(m_withTemplate, m_template, 50, 40);
        m_oldCurrent = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }

    void cleanupTestCase() { QDir::setCurrent(m_oldCurrent); }

    void init()
    {
        m_screen = FakeScreen();
        m_screen.screens = {m_withTemplate};
        m_screen.pointer = QPoint(3, 4);
        QDir(library()).removeRecursively();
        QFile::remove(path(QStringLiteral("image.bmp")));
    }

    void recognise_data()
    {
        QTest::addColumn<bool>("onScreen");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("clipboard"); // what reached the clipboard, in order
        QTest::addColumn<QVector<QPoint>>("moves");
        QTest::addColumn<QStringList>("messages");
        using P = QVector<QPoint>;
        const P centre {QPoint(55, 44)};
        const QString block = QStringLiteral("\n{\n复制->block\n}\n复制->after");
        const QString withElse
            = QStringLiteral("\n{\n复制->block\n}\nelse\n{\n复制->else\n}\n复制->after");
        QTest::newRow("found: pointer to the centre, block skipped")
            << true << "识别->{T}" + block << QStringList {"after"} << centre << QStringList();
        QTest::newRow("found: the else block runs")
            << true << "识别->{T}" + withElse << QStringList {"else", "after"} << centre
            << QStringList();
        QTest::newRow("missed: the block runs")
            << false << "识别->{T}" + block << QStringList {"block", "after"} << P()
            << QStringList();
        QTest::newRow("missed: the else block is skipped")
            << false << "识别->{T}" + withElse << QStringList {"block", "after"} << P()
            << QStringList();
        QTest::newRow("missed, not the block's last line: no repeat")
            << false << "识别->{T}\n{\n识别->{T}\n复制->inner\n}\n复制->after"
            << QStringList {"inner", "after"} << P() << QStringList();
        QTest::newRow("(串3) appends, pointer stays")
            << true << "识别->{T}(串3)\n识别->{T}（串3）\n复制->[串3]" << QStringList {"55,4455,44"}
            << P() << QStringList();
        QTest::newRow("(复制)") << true << "识别->{T}(复制)" << QStringList {"55,44"} << P()
                                << QStringList();
        QTest::newRow("(变2) fails the pattern: the suffixed path does not load and fits at once")
            << false << "识别->{T}(变2)\n复制->[变2]" << QStringList {"0,0"} << P()
            << QStringList();
        QTest::newRow("(变2) with a region: its corner")
            << false << "识别->10,20-100,100=>{T}(变2)\n复制->[变2]" << QStringList {"10,20"} << P()
            << QStringList();
        QTest::newRow("region and bracket") << true << "识别->0,0-400,300=>{T}[200,10,5]" + block
                                            << QStringList {"after"} << centre << QStringList();
        QTest::newRow("region without the image")
            << true << "识别->0,0-40,30=>{T}" + block << QStringList {"block", "after"} << P()
            << QStringList();
        QTest::newRow("start point region") << true << "识别->50,40=>{T}" + block
                                            << QStringList {"after"} << centre << QStringList();
        QTest::newRow("start point past the image")
            << true << "识别->51,0=>{T}" + block << QStringList {"block", "after"} << P()
            << QStringList();
        QTest::newRow("mxy start at the pointer (3,4)")
            << true << "识别->mxy=>{T}" + block << QStringList {"after"} << centre << QStringList();
        QTest::newRow("region too narrow: nothing happens")
            << true << "识别->10,10-15,100=>{T}" + block << QStringList {"block", "after"} << P()
            << QStringList();
        QTest::newRow("region too short: as found, but silent")
            << true << "识别->10,10-100,15=>{T}" + block << QStringList {"after"} << P()
            << QStringList();
        QTest::newRow("path from 串1")
            << true << "串1->{T}\n识别->[串1]" << QStringList() << centre << QStringList();
        QTest::newRow("light threshold whitens the template's light pixels")
            << true << "识别->{T}[1,0,0](复制)" << QStringList {"5,4"} << P() << QStringList();
        QTest::newRow("missing file")
            << true << "识别->{D}/none.bmp\n复制->never" << QStringList() << P()
            << QStringList {errorLine(1, "识别->{D}/none.bmp 图片不存在!")};
        QTest::newRow("missing file, drive letter form")
            << true << "识别->C:/none.bmp" << QStringList() << P()
            << QStringList {errorLine(1, "识别->C:/none.bmp 图片不存在!")};
        QTest::newRow("region with blanks before => matches no form")
            << true << "识别->0,0-100,100 => {T}" << QStringList() << P()
            << QStringList {errorLine(1, "识别->0,0-100,100 => {T}")};
        QTest::newRow("index out of range when found")
            << true << "识别->{T}(串101)" << QStringList() << P()
            << QStringList {errorLine(1, "识别->{T}(串101)")};
        QTest::newRow("index out of range, not found: no error")
            << false << "识别->{T}(串101)" << QStringList() << P() << QStringList();
    }

    void recognise()
    {
        QFETCH(bool, onScreen);
        QFETCH(QString, script);
        QFETCH(QStringList, clipboard);
        QFETCH(QVector<QPoint>, moves);
        QFETCH(QStringList, messages);
        m_screen.screens = {onScreen ? m_withTemplate : m_without};
        const RunRecord record = run(script);
        for (QString &m : messages)
            m.replace(QStringLiteral("{T}"), m_templatePath)
                .replace(QStringLiteral("{D}"), m_dir.path());
        QCOMPARE(record.messages, messages);
        QCOMPARE(record.clipboardWrites, clipboard);
        QCOMPARE(m_screen.moves, moves);
    }

    void recogniseLoopFormWaitsForTheImage()
    {
        m_screen.screens = {m_without, m_without, m_without, m_withTemplate};
        const RunRecord record
            = run(QStringLiteral("识别->{T}\n{\n复制->waiting\n识别->{T}\n}\n复制->done"));
        QCOMPARE(record.clipboardWrites, QStringList({"waiting", "waiting", "waiting", "done"}));
        QCOMPARE(m_screen.captures, 4); // a fresh capture every round
        QCOMPARE(m_screen.moves, QVector<QPoint> {QPoint(55, 44)});
    }

    void capture_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("rect"); // of the screen, both corners included
        QTest::newRow("corners, both included") << "截图->0,0-99,99=>{D}/a.bmp"
                                                << "a.bmp" << QRect(0, 0, 100, 100);
        QTest::newRow("corners reversed") << "截图->99,99-0,0=>{D}/a.bmp"
                                          << "a.bmp" << QRect(0, 0, 100, 100);
        QTest::newRow("point and size: one more each way") << "截图->45,38-5*6=>{D}/b.bmp"
                                                           << "b.bmp" << QRect(45, 38, 6, 7);
        QTest::newRow("without a target: image.bmp here") << "截图->45,38-5*6"
                                                          << "image.bmp" << QRect(45, 38, 6, 7);
        QTest::newRow("empty target: image.bmp") << "截图->45,38-5*6=>"
                                                 << "image.bmp" << QRect(45, 38, 6, 7);
        QTest::newRow("from the pointer") << "截图->mxy-50*20=>{D}/c.bmp"
                                          << "c.bmp" << QRect(48, 35, 51, 21);
        QTest::newRow("from the pointer to a corner") << "截图->mxy-58,45=>{D}/c.bmp"
                                                      << "c.bmp" << QRect(48, 35, 11, 11);
        QTest::newRow("CutBorder") << "截图->30,30-90,70=>{D}/d.bmp(cutborder)"
                                   << "d.bmp" << QRect(50, 40, 10, 8);
    }

    void capture()
    {
        QFETCH(QString, script);
        QFETCH(QString, file);
        QFETCH(QRect, rect);
        m_screen.pointer = QPoint(48, 35);
        const RunRecord record = run(script);
        QCOMPARE(record.messages, QStringList());
        const QImage saved(path(file));
        QCOMPARE(saved.size(), rect.size());
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), m_withTemplate.copy(rect));
    }

    void captureRejectsRegions_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("start point") << "截图->10,10=>{D}/x.bmp";
        QTest::newRow("cursor start") << "截图->mxy";
        QTest::newRow("no region") << "截图->=>{D}/x.bmp";
        QTest::newRow("blank before =>") << "截图->0,0-9,9 =>{D}/x.bmp";
    }

    void captureRejectsRegions()
    {
        QFETCH(QString, line);
        const RunRecord record = run(line + QStringLiteral("\n复制->never"));
        QCOMPARE(record.messages,
            QStringList {errorLine(1, QString(line).replace("{D}", m_dir.path()))});
        QCOMPARE(record.clipboardWrites, QStringList());
    }

    void captureReadsText_data()
    {
        QTest::addColumn<QString>("cut"); // the GetCharImages target
        QTest::newRow("[threshold]") << "(GetCharImages)[200][AB1]";
        QTest::newRow("[min,threshold], full-width brackets") << "（getcharimages）[1,200][AB1]";
        QTest::newRow("[min,max,threshold]") << "(GetCharImages)[1,5,200][AB1]";
    }

    void captureReadsText()
    {
        QFETCH(QString, cut);
        QImage screen = whiteImage(200, 150);
        stamp(screen, text({"AB1"}), 20, 30);
        m_screen.screens = {screen};
        QVERIFY(QDir().mkpath(library()));
        QVERIFY(QDir().mkpath(path(QStringLiteral("samples"))));
        const RunRecord record = run(QStringLiteral("截图->10,20-60,50=>") + cut
            + QStringLiteral("\n截图->10,20-60,50=>[200,0](串1)\n复制->[串1]\n"
                             "截图->10,20-60,50=>{D}/BmpLibrary[200,0]（复制） {D}/samples"));
        QCOMPARE(record.messages, QStringList());
        QStringList glyphs = QDir(library()).entryList(QDir::Files);
        glyphs.sort();
        QCOMPARE(glyphs, QStringList({"1.bmp", "A.bmp", "B.bmp"}));
        QCOMPARE(record.clipboardWrites, QStringList({"AB1", "AB1"}));
        QVERIFY(QFileInfo(path(QStringLiteral("samples/AB1.bmp"))).isFile());
    }

    void pictureWorksOnTheFile_data()
    {
        QTest::addColumn<QString>("argument"); // {F}: the bitmap worked on
        QTest::addColumn<QSize>("size"); // of the rewritten bitmap
        QTest::addColumn<QStringList>("clipboard");
        QTest::newRow("CutBorder: the grey corner is ink")
            << "{F}(CutBorder)" << QSize(8, 10) << QStringList();
        QTest::newRow("cutborder, full-width brackets, blank")
            << "{F} （cutborder）" << QSize(8, 10) << QStringList();
        QTest::newRow("ReduceLightColour")
            << "{F}(ReduceLightColour)[200]" << QSize(11, 13) << QStringList();
        QTest::newRow("read into 串2")
            << "{F}[200,0](串2)\n复制->[串2]" << QSize(11, 13) << QStringList {"A"};
        QTest::newRow("read with a library folder")
            << "{F}[200,0]{D}/lib/（复制）" << QSize(11, 13) << QStringList {"A"};
    }

    void pictureWorksOnTheFile()
    {
        QFETCH(QString, argument);
        QFETCH(QSize, size);
        QFETCH(QStringList, clipboard);
        // An A inside a white margin of 3 and a light fringe that 200 whitens.
        QImage image = whiteImage(11, 13);
        image.setPixel(0, 0, qRgb(210, 210, 210));
        stamp(image, picture(shape('A')), 3, 3);
        const QString file = path(QStringLiteral("p.bmp"));
        QVERIFY(image.save(file, "BMP"));
        QVERIFY(QDir().mkpath(library()));
        QVERIFY(picture(shape('A')).save(library() + QStringLiteral("/A.bmp")));
        QVERIFY(QDir().mkpath(path(QStringLiteral("lib"))));
        QVERIFY(picture(shape('A')).save(path(QStringLiteral("lib/A.bmp"))));

        const RunRecord record
            = run(QStringLiteral("图片->") + QString(argument).replace("{F}", file));
        QCOMPARE(record.messages, QStringList());
        QCOMPARE(record.clipboardWrites, clipboard);
        const QImage after(file);
        QCOMPARE(after.size(), size);
        const bool reduced = argument.contains(QLatin1String("ReduceLightColour"));
        if (size == QSize(11, 13))
            QCOMPARE(after.pixel(0, 0), reduced ? qRgb(255, 255, 255) : qRgb(210, 210, 210));
    }

    void pictureCutsGlyphs()
    {
        const QString file = path(QStringLiteral("text.bmp"));
        QVERIFY(text({"AB1"}).save(file, "BMP"));
        QVERIFY(QDir().mkpath(library()));
        const RunRecord record
            = run(QStringLiteral("图片->") + file + QStringLiteral("(GetCharImages)[1,9,200][0]"));
        QCOMPARE(record.messages, QStringList());
        QStringList glyphs = QDir(library()).entryList(QDir::Files);
        glyphs.sort();
        QCOMPARE(glyphs, QStringList({"0.bmp", "1.bmp", "2.bmp"}));
    }

    void pictureChecksTheFileAfterTheWork_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("fails");
        QTest::newRow("missing file") << "图片->{D}/none.bmp(CutBorder)" << true;
        QTest::newRow("no form: image.bmp, missing") << "图片->anything" << true;
        QTest::newRow("no form: image.bmp, present") << "图片->anything" << false;
        QTest::newRow("index out of range") << "图片->{D}/none.bmp[200,0](串0)" << true;
    }

    void pictureChecksTheFileAfterTheWork()
    {
        QFETCH(QString, line);
        QFETCH(bool, fails);
        if (!fails)
            QVERIFY(whiteImage(2, 2).save(path(QStringLiteral("image.bmp")), "BMP"));
        const RunRecord record = run(line + QStringLiteral("\n复制->next"));
        line.replace(QStringLiteral("{D}"), m_dir.path());
        const QString suffix
            = line.endsWith(QStringLiteral("(串0)")) ? QString() : QStringLiteral(" 图片不存在!");
        QCOMPARE(
            record.messages, fails ? QStringList {errorLine(1, line + suffix)} : QStringList());
        QCOMPARE(record.clipboardWrites, fails ? QStringList() : QStringList {"next"});
    }
};

QTEST_GUILESS_MAIN(TestImageCommands)
#include "tst_imagecommands.moc"
