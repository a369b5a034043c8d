// The built program on a private Xvfb with a window manager (openbox) and a notification area
// (trayer), as a user meets it: the window's and the tray's icons, the window's place after a
// save and a restart, message boxes, and the clipboard emptied under a clipboard keeper.
#include "e2etest.h"

#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <functional>

namespace {

const QString kTitle = QStringLiteral("^OrbenixQuorvel5\\.4$");

int countPixels(const QImage &image, const std::function<bool(QRgb)> &wanted)
{
    int n = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            n += wanted(line[x]) ? 1 : 0;
    }
    return n;
}

// The icon's blue disc and the orange arc of the four run frames.
bool isIconBlue(QRgb c)
{
    return qBlue(c) > 150 && qRed(c) < 100 && qGreen(c) > 60 && qGreen(c) < 160;
}
bool isFrameOrange(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 100 && qGreen(c) < 190 && qBlue(c) < 80;
}

} // namespace

class TestE2eDesktop : public E2eTest
{
    Q_OBJECT

public:
    TestE2eDesktop()
        : E2eTest(QStringLiteral("desktop"))
    {
    }

private slots:
    void initTestCase();

    void windowAndTrayIcons();
    void framePositionSurvivesRestarts_data();
    void framePositionSurvivesRestarts();
    void messageBoxShowsItsTitle();
    void clipboardEmptiedUnderAKeeper_data();
    void clipboardEmptiedUnderAKeeper();

private:
    QProcess *launch(const QStringList &arguments = {}) { return m_copy->launch(arguments); }
    QString mainWindowOf(QProcess *app);
    QString waitForMainWindow(QProcess *app);
    QImage shot(const QString &name, const QString &window);
};

void TestE2eDesktop::initTestCase()
{
    XvfbSession::Options options;
    options.screen = QSize(1280, 800);
    options.windowManager = true;
    options.tray = true;
    options.clipboardKeeper = true;
    QVERIFY2(startSession(options), qPrintable(failure()));
}

QString TestE2eDesktop::mainWindowOf(QProcess *app)
{
    // The tray icon's small window carries the same name: the main window is the large one.
    const QStringList ids
        = m_x->findWindows(windowsOf(app) + QStringList {QStringLiteral("--name"), kTitle});
    for (const QString &id : ids) {
        if (m_x->windowGeometry(id).width() > 300)
            return id;
    }
    return QString();
}

QString TestE2eDesktop::waitForMainWindow(QProcess *app)
{
    QString found;
    (void)QTest::qWaitFor([&] { return !(found = mainWindowOf(app)).isEmpty(); }, 15000);
    return found;
}

QImage TestE2eDesktop::shot(const QString &name, const QString &window)
{
    // Of the whole screen, cut to the window: the tray is a dock that import cannot take alone.
    const QString path = QStringLiteral(QUORVEL_E2E_ARTIFACTS "/desktop-") + name + ".png";
    if (!m_x->screenshot(path, QStringLiteral("root")))
        return QImage();
    const QImage screen(path);
    if (window == QLatin1String("root"))
        return screen;
    const QRect area = m_x->windowGeometry(window);
    return area.isValid() ? screen.copy(area) : QImage();
}

// The compiled-in icons reach the real binary: the window's icon in all its sizes, the idle tray
// icon, and the four run frames while a script runs.
void TestE2eDesktop::windowAndTrayIcons()
{
    // A run of about eight seconds right at start-up, so the tray shows its frames.
    QString script;
    for (int i = 0; i < 80; ++i)
        script += QStringLiteral("延时->50\n");
    QVERIFY(!m_copy->writeText(QStringLiteral("ZtFiles/Quorvel.zt"), script).isEmpty());
    QVERIFY(!m_copy->writeText(QStringLiteral("Quorvel.qcf"), QStringLiteral("executeAtOnce=y\r\n"))
                 .isEmpty());
    QProcess *app = launch();
    QVERIFY(app);
    const QString window = waitForMainWindow(app);
    QVERIFY2(!window.isEmpty(), outputOf(app));

    // Qt gives the window manager every size of the icon file; without the resources a
    // window manager shows a generic icon of its own (openbox: one 48 x 48 icon).
    const QByteArray icon = m_x->windowProperty(window, QStringLiteral("_NET_WM_ICON"));
    for (const char *size : {"Icon (16 x 16)", "Icon (32 x 32)", "Icon (48 x 48)"})
        QVERIFY2(icon.contains(size), icon.left(200));

    // The tray shows a run frame (blue with an orange arc) while the script runs...
    int runFrames = 0;
    QSet<QByteArray> distinct;
    for (int i = 0; i < 30 && distinct.size() < 2; ++i) {
        const QImage tray = shot(QStringLiteral("tray-running"), m_x->trayWindow());
        QVERIFY(!tray.isNull());
        QVERIFY2(countPixels(tray, isIconBlue) > 50, "the tray shows no icon during a run");
        if (countPixels(tray, isFrameOrange) >= 2) {
            ++runFrames;
            distinct.insert(QByteArray(
                reinterpret_cast<const char *>(tray.constBits()), int(tray.sizeInBytes())));
        }
        QTest::qWait(100);
    }
    QVERIFY2(runFrames > 0, "no run frame in the tray");
    QVERIFY2(distinct.size() >= 2, "the tray icon did not animate");

    // ...and the idle icon (blue, no orange) once the run has ended.
    QTRY_VERIFY_WITH_TIMEOUT(
        countPixels(shot(QStringLiteral("tray-idle"), m_x->trayWindow()), isFrameOrange) == 0,
        15000);
    QVERIFY(countPixels(shot(QStringLiteral("tray-idle"), m_x->trayWindow()), isIconBlue) > 50);
    QVERIFY(!shot(QStringLiteral("window"), QStringLiteral("root")).isNull());
}

void TestE2eDesktop::framePositionSurvivesRestarts_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QPoint>("frame"); // where the frame must be at the first start
    QTest::addColumn<bool>("autorun"); // started hidden, shown with Ctrl+K
    const QString saved = QStringLiteral(
        "SoftPositionX=200\r\nSoftPositionY=150\r\nSoftWidth=1040\r\nSoftHeight=600\r\n");
    QTest::newRow("saved geometry") << saved << QPoint(200, 150) << false;
    QTest::newRow("saved geometry, -autorun and Ctrl+K") << saved << QPoint(200, 150) << true;
    // Centred across the screen, a third of the way down: the frame, not the client area.
    QTest::newRow("first start, centred")
        << QString() << QPoint((1280 - 1030) / 2, (800 - 680) / 3) << false;
}

// What the save button stores is where the window comes back, however often it is saved and
// started again: the frame never creeps.
void TestE2eDesktop::framePositionSurvivesRestarts()
{
    QFETCH(QString, settings);
    QFETCH(QPoint, frame);
    QFETCH(bool, autorun);
    m_copy->writeText(QStringLiteral("Quorvel.qcf"), settings);
    for (int start = 0; start < 4; ++start) {
        QProcess *app = launch(autorun ? QStringList {QStringLiteral("-autorun")} : QStringList());
        QVERIFY(app);
        if (autorun) {
            // Pressed until the program has its hotkeys.
            QVERIFY(QTest::qWaitFor(
                [&] {
                    m_x->xdotool({QStringLiteral("key"), QStringLiteral("ctrl+k")});
                    QTest::qWait(200);
                    return !mainWindowOf(app).isEmpty();
                },
                15000));
        }
        const QString window = waitForMainWindow(app);
        QVERIFY2(!window.isEmpty(), outputOf(app));
        QRect placed;
        // The window manager frames the window a moment after it is shown.
        QTRY_VERIFY_WITH_TIMEOUT((placed = m_x->frameGeometry(window)).isValid(), 5000);
        QTest::qWait(300);
        placed = m_x->frameGeometry(window);
        QCOMPARE(placed.topLeft(), frame);
        // What the save button writes: the frame's position and the client size.
        m_copy->writeText(QStringLiteral("Quorvel.qcf"),
            QStringLiteral(
                "SoftHeight=%1\r\nSoftWidth=%2\r\nSoftPositionX=%3\r\nSoftPositionY=%4\r\n")
                .arg(placed.height())
                .arg(placed.width())
                .arg(placed.x())
                .arg(placed.y()));
        m_x->stop(app);
    }
}

void TestE2eDesktop::messageBoxShowsItsTitle()
{
    const QString script
        = m_copy->writeText(QStringLiteral("error.zt"), QStringLiteral("foo->1\n"));
    QProcess *app = launch({script});
    QVERIFY(app);
    const QString box = waitForMessageBox(app);
    QVERIFY2(!box.isEmpty(), outputOf(app));
    QRect placed;
    QTRY_VERIFY_WITH_TIMEOUT((placed = m_x->frameGeometry(box)).isValid(), 5000);
    // Room for the title beside the window manager's icon and buttons.
    QVERIFY2(placed.width() >= 300, qPrintable(QString::number(placed.width())));
    QVERIFY(!shot(QStringLiteral("message-box"), QStringLiteral("root")).isNull());
    QVERIFY(m_x->pressKeys(box, {QStringLiteral("Return")}));
    QVERIFY(app->waitForFinished(10000));
}

void TestE2eDesktop::clipboardEmptiedUnderAKeeper_data()
{
    QTest::addColumn<QString>("script"); // %1: the program folder
    QTest::newRow("复制->(清空)") << QStringLiteral("复制->(清空)\n");
    QTest::newRow("查csv finds nothing") << QStringLiteral("查csv->plum[%1/fruit.csv](复制)\n");
    QTest::newRow("查csv: the key ends its row")
        << QStringLiteral("查csv->red[%1/fruit.csv](复制)\n");
}

// A clipboard keeper (xclipboard, as desktops have clipboard managers) holds the old text when
// its owner only gives the clipboard up; emptied, it must read back empty.
void TestE2eDesktop::clipboardEmptiedUnderAKeeper()
{
    QFETCH(QString, script);
    QVERIFY(m_x->clipboardKeeperRunning());
    m_copy->writeText(QStringLiteral("fruit.csv"), QStringLiteral("apple,red\r\npear,green\r\n"));
    QVERIFY(m_x->setClipboardText("before"));
    // The keeper holds the text once xclip has gone.
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("before"), 3000);
    const QString file = m_copy->writeText(QStringLiteral("empty.zt"),
        script.contains(QLatin1String("%1")) ? script.arg(m_copy->folder()) : script);
    QProcess *app = launch({file});
    QVERIFY(app);
    QVERIFY2(app->waitForFinished(15000), "the file-start run did not end by itself");
    QVERIFY2(app->exitCode() == 0, outputOf(app));
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray(), 3000);
}

QTEST_GUILESS_MAIN(TestE2eDesktop)
#include "tst_e2e_desktop.moc"
