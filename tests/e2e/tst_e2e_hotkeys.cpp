// The global hotkeys of the built program on a private Xvfb, pressed with xdotool as a user's
// keyboard would press them while the program sits in the background. Each case runs a copy of
// the binary under a name of its own in a temporary program folder, so the single-instance
// rule only ever ends copies this test started.
//
// Started as "tst_e2e_hotkeys --hold-ctrl <key>" the binary plays another program that holds
// Ctrl+<key>: it grabs the key on the display, says "held" or "refused", and waits.
#include "e2etest.h"

#include <QElapsedTimer>
#include <QImage>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

int holdCtrlKey(char key)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, xcb_keycode_t(first), uint8_t(count)), nullptr);
    if (!map)
        return 2;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t keycode = 0;
    for (int i = 0; i < count && !keycode; ++i) {
        if (keysyms[i * map->keysyms_per_keycode] == xcb_keysym_t(key))
            keycode = xcb_keycode_t(first + i);
    }
    std::free(map);
    xcb_generic_error_t *error = xcb_request_check(c,
        xcb_grab_key_checked(
            c, 0, root, XCB_MOD_MASK_CONTROL, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::puts(error ? "refused" : "held");
    std::fflush(stdout);
    std::free(error);
    for (;;)
        ::pause(); // until the test ends this process
}

} // namespace

class TestE2eHotKeys : public E2eTest
{
    Q_OBJECT

public:
    TestE2eHotKeys()
        : E2eTest(QStringLiteral("hotkeys"))
    {
    }

private slots:
    void initTestCase();
    void init();

    void ctrlERunsTheDefaultScript();
    void ctrlQEndsADelayAtOnce();
    void ctrlWRunsTheClipboard_data();
    void ctrlWRunsTheClipboard();
    void slotKeyFollowsItsCheckBox();
    void ctrlMWritesThePointerIntoTheEditor();
    void ctrlKShowsTheQuickRunField();
    void ctrlTEndsAFileStartRun();
    void heldCtrlDoesNotReachTheFirstKey();
    void keyHeldByAnotherProgram();

private:
    QString writeFile(const QString &name, const QString &text)
    {
        return m_copy->writeText(name, text);
    }
    // Started and its hotkeys registered (visible: shown as well).
    QString waitReady(QProcess *app, bool visible);
    QProcess *holder(char key, QByteArray *answer);
    bool key(const QStringList &keys);
    static bool interpreterRunning(QProcess *app);
    QImage topOfWindow(const QString &window, const QString &name);
};

void TestE2eHotKeys::initTestCase()
{
    XvfbSession::Options options;
    options.clipboardKeeper = true;
    QVERIFY2(startSession(options, {QStringLiteral("xev")}), qPrintable(failure()));
}

void TestE2eHotKeys::init()
{
    QVERIFY2(startCopy(), qPrintable(failure()));
    QVERIFY(QDir().mkpath(file(QStringLiteral("ZtFiles"))));
    // The pointer away from anything the cases look at.
    QVERIFY(m_x->xdotool({QStringLiteral("mousemove"), QStringLiteral("900"), QStringLiteral("20")})
                .ok());
}

QString TestE2eHotKeys::waitReady(QProcess *app, bool visible)
{
    // The window exists once the keys are being registered (they are registered for it).
    const QString window = m_x->waitForWindow(windowsOf(app, visible), 15000);
    QTest::qWait(400);
    return window;
}

QProcess *TestE2eHotKeys::holder(char key, QByteArray *answer)
{
    QProcess *process = m_copy->startOther(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--hold-ctrl"), QString(QLatin1Char(key))});
    if (!process)
        return nullptr;
    QElapsedTimer waited;
    waited.start();
    while (outputOf(process).isEmpty() && waited.elapsed() < 5000)
        QTest::qWait(20);
    *answer = outputOf(process).trimmed();
    return process;
}

bool TestE2eHotKeys::key(const QStringList &keys)
{
    return m_x->xdotool(QStringList {QStringLiteral("key")} + keys).ok();
}

bool TestE2eHotKeys::interpreterRunning(QProcess *app)
{
    // The interpreter is the program's one QThread named after its class (cut to the 15
    // characters a thread name holds); it exists exactly while a run goes on.
    const QString tasks = QStringLiteral("/proc/%1/task").arg(app->processId());
    const QStringList ids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : ids) {
        QFile comm(tasks + QLatin1Char('/') + id + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("QInstructionThr"))
            return true;
    }
    return false;
}

QImage TestE2eHotKeys::topOfWindow(const QString &window, const QString &name)
{
    const QString path
        = QStringLiteral(QUORVEL_E2E_ARTIFACTS "/hotkeys-") + name + QStringLiteral(".png");
    if (!m_x->screenshot(path, window))
        return {};
    // The tab bar and the row of the run button; the blinking editor lies below.
    return QImage(path).copy(0, 0, 1024, 70);
}

void TestE2eHotKeys::ctrlERunsTheDefaultScript()
{
    QVERIFY(!writeFile(QStringLiteral("ZtFiles/Quorvel.zt"), QStringLiteral("鼠标->321,234\r\n"))
                 .isEmpty());
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, false).isEmpty(), outputOf(app));
    QVERIFY(m_x->pointer() != QPoint(321, 234));

    QVERIFY(key({QStringLiteral("ctrl+e")}));
    QTRY_COMPARE_WITH_TIMEOUT(m_x->pointer(), QPoint(321, 234), 5000);
}

void TestE2eHotKeys::ctrlQEndsADelayAtOnce()
{
    QVERIFY(!writeFile(
        QStringLiteral("ZtFiles/Quorvel.zt"), QStringLiteral("延时->60000\r\n复制->never\r\n"))
                 .isEmpty());
    QProcess *app = m_copy->launch({});
    QVERIFY(app);
    const QString window = waitReady(app, true);
    QVERIFY2(!window.isEmpty(), outputOf(app));
    QVERIFY(m_x->setClipboardText("before"));
    const QImage idle = topOfWindow(window, QStringLiteral("idle"));
    QVERIFY(!idle.isNull());

    QVERIFY(key({QStringLiteral("ctrl+e")}));
    QTRY_VERIFY_WITH_TIMEOUT(interpreterRunning(app), 5000);
    QTest::qWait(800); // well into the delay
    const QImage running = topOfWindow(window, QStringLiteral("running"));
    QVERIFY2(running != idle, "the run button did not change during the run");

    QElapsedTimer sincePress;
    sincePress.start();
    QVERIFY(key({QStringLiteral("ctrl+q")}));
    while (interpreterRunning(app) && sincePress.elapsed() < 5000)
        QThread::msleep(2);
    const qint64 ended = sincePress.elapsed();
    qInfo("the run ended %lld ms after the key press began", ended);
    QVERIFY2(ended <= 200, qPrintable(QStringLiteral("%1 ms").arg(ended)));

    QTest::qWait(300);
    QCOMPARE(topOfWindow(window, QStringLiteral("stopped")), idle); // "执行指令(Ctrl+E)" again
    QCOMPARE(m_x->clipboardText(), QByteArray("before"));
}

void TestE2eHotKeys::ctrlWRunsTheClipboard_data()
{
    QTest::addColumn<QByteArray>("clipboard");
    QTest::addColumn<QString>("lock"); // a lock key that is on while Ctrl+W is pressed

    QTest::newRow("plain") << QByteArray("复制->ran from the clipboard") << QString();
    QTest::newRow("in double quotes")
        << QByteArray("\"复制->ran from the clipboard\"") << QString();
    QTest::newRow("Caps Lock on") << QByteArray("复制->ran from the clipboard")
                                  << QStringLiteral("Caps_Lock");
    QTest::newRow("Num Lock on") << QByteArray("复制->ran from the clipboard")
                                 << QStringLiteral("Num_Lock");
}

void TestE2eHotKeys::ctrlWRunsTheClipboard()
{
    QFETCH(QByteArray, clipboard);
    QFETCH(QString, lock);

    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, false).isEmpty(), outputOf(app));
    QVERIFY(m_x->setClipboardText(clipboard));

    if (!lock.isEmpty())
        QVERIFY(key({lock}));
    QVERIFY(key({QStringLiteral("ctrl+w")}));
    if (!lock.isEmpty())
        QVERIFY(key({lock}));
    QTRY_COMPARE_WITH_TIMEOUT(
        QString::fromUtf8(m_x->clipboardText()), QStringLiteral("ran from the clipboard"), 5000);
}

void TestE2eHotKeys::slotKeyFollowsItsCheckBox()
{
    const QString slot = writeFile(QStringLiteral("slot.zt"), QStringLiteral("复制->slot ran\r\n"));
    QVERIFY(!slot.isEmpty());
    QVERIFY(!writeFile(QStringLiteral("Quorvel.qcf"),
        QStringLiteral("Ctrl_1=y\r\nCtrlPath_1=") + slot + QStringLiteral("\r\n"))
                 .isEmpty());
    QProcess *app = m_copy->launch({});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, true).isEmpty(), outputOf(app));

    QByteArray answer;
    QVERIFY(holder('1', &answer));
    QCOMPARE(answer, QByteArray("refused")); // the program has it

    QVERIFY(m_x->setClipboardText("before"));
    QVERIFY(key({QStringLiteral("ctrl+1")}));
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("slot ran"), 5000);

    // Disabled with the keyboard: Ctrl+K, the settings tab, along the page to the slot's box.
    QVERIFY(key({QStringLiteral("ctrl+k")}));
    QTest::qWait(300);
    QVERIFY(key({QStringLiteral("ctrl+Tab")}));
    QTest::qWait(300);
    // Three check boxes and a button of the settings group, then the slot's button and field.
    QVERIFY(key(QVector<QString>(6, QStringLiteral("Tab")).toList() << QStringLiteral("space")));
    const auto slotSetting = [this] {
        QFile file(m_copy->filePath(QStringLiteral("Quorvel.qcf")));
        file.open(QIODevice::ReadOnly);
        return file.readAll().contains("Ctrl_1=n\r\n");
    };
    QTRY_VERIFY_WITH_TIMEOUT(slotSetting(), 5000);

    QVERIFY(m_x->setClipboardText("after"));
    QVERIFY(key({QStringLiteral("ctrl+1")}));
    QTest::qWait(1500);
    QCOMPARE(m_x->clipboardText(), QByteArray("after"));
    // Given back to the display: another program can take it now.
    QVERIFY(holder('1', &answer));
    QCOMPARE(answer, QByteArray("held"));
}

void TestE2eHotKeys::ctrlMWritesThePointerIntoTheEditor()
{
    QProcess *app = m_copy->launch({});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, true).isEmpty(), outputOf(app));

    QVERIFY(
        m_x->xdotool({QStringLiteral("mousemove"), QStringLiteral("123"), QStringLiteral("234")})
            .ok());
    QVERIFY(key({QStringLiteral("ctrl+m")}));
    QVERIFY(
        m_x->xdotool({QStringLiteral("mousemove"), QStringLiteral("600"), QStringLiteral("500")})
            .ok());
    // Running the editor saves it as the default script: that shows what Ctrl+M wrote.
    QVERIFY(key({QStringLiteral("ctrl+e")}));
    const auto defaultScript = [this] {
        QFile file(m_copy->filePath(QStringLiteral("ZtFiles/Quorvel.zt")));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    QTRY_COMPARE_WITH_TIMEOUT(defaultScript(), QByteArray("鼠标->123,234\r\n延时->100"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_x->pointer(), QPoint(123, 234), 5000);
}

void TestE2eHotKeys::ctrlKShowsTheQuickRunField()
{
    QVERIFY(!writeFile(QStringLiteral("ZtFiles/qr.zt"), QStringLiteral("复制->quick run\r\n"))
                 .isEmpty());
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, false).isEmpty(), outputOf(app));
    const QStringList visible = windowsOf(app);
    QVERIFY(m_x->findWindows(visible).isEmpty());
    QVERIFY(m_x->setClipboardText("before"));

    QVERIFY(key({QStringLiteral("ctrl+k")}));
    QVERIFY(!m_x->waitForWindow(visible, 5000).isEmpty());
    QTest::qWait(300);
    // Typed blind: the keys go wherever the focus is.
    QVERIFY(m_x->xdotool({QStringLiteral("type"), QStringLiteral("qr")}).ok());
    QVERIFY(key({QStringLiteral("Return")}));
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("quick run"), 5000);
}

void TestE2eHotKeys::ctrlTEndsAFileStartRun()
{
    const QString script = writeFile(QStringLiteral("long.zt"), QStringLiteral("延时->60000\r\n"));
    QVERIFY(!script.isEmpty());
    QProcess *app = m_copy->launch({script});
    QVERIFY(app);
    // Ctrl+T is registered before the run starts.
    QTRY_VERIFY_WITH_TIMEOUT(interpreterRunning(app), 10000);
    QTest::qWait(300);
    QVERIFY2(app->state() == QProcess::Running, outputOf(app));

    QVERIFY(key({QStringLiteral("ctrl+t")}));
    QVERIFY2(app->waitForFinished(3000), "Ctrl+T did not end the file-start run");
    QCOMPARE(app->exitStatus(), QProcess::NormalExit);
    QCOMPARE(app->exitCode(), 0);
}

void TestE2eHotKeys::heldCtrlDoesNotReachTheFirstKey()
{
    QVERIFY(
        !writeFile(QStringLiteral("ZtFiles/Quorvel.zt"), QStringLiteral("键盘->a\r\n")).isEmpty());
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, false).isEmpty(), outputOf(app));

    // xev is the target: it shows every key it gets with the modifiers held at that moment.
    QProcess *xev = m_copy->startOther(
        QStringLiteral("xev"), {QStringLiteral("-event"), QStringLiteral("keyboard")});
    QVERIFY(xev);
    const QString target
        = m_x->waitForWindow({QStringLiteral("--name"), QStringLiteral("^Event Tester$")});
    QVERIFY(!target.isEmpty());
    QVERIFY(m_x->xdotool({QStringLiteral("windowfocus"), target}).ok());
    QTest::qWait(300);

    // The user lets go of Ctrl a quarter of a second after pressing Ctrl+E.
    QVERIFY(m_x->xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("key"),
                             QStringLiteral("e"), QStringLiteral("sleep"), QStringLiteral("0.25"),
                             QStringLiteral("keyup"), QStringLiteral("ctrl")})
                .ok());
    QTRY_VERIFY_WITH_TIMEOUT(outputOf(xev).contains("(keysym 0x61, a)"), 5000);

    // One event per paragraph: "KeyPress event, …" with "state 0x…, keycode … (keysym …)".
    QStringList pressesOfA;
    const QString events = QString::fromLatin1(outputOf(xev));
    for (const QString &event : events.split(QStringLiteral("\n\n"))) {
        const QString text = event.simplified();
        if (text.startsWith(QLatin1String("KeyPress event"))
            && text.contains(QLatin1String("(keysym 0x61, a)")))
            pressesOfA << text;
    }
    QCOMPARE(pressesOfA.size(), 1);
    QVERIFY2(
        pressesOfA.first().contains(QLatin1String("state 0x0,")), qPrintable(pressesOfA.first()));
    // The hotkey itself never reached the target.
    QVERIFY(!outputOf(xev).contains("(keysym 0x65, e)"));
}

void TestE2eHotKeys::keyHeldByAnotherProgram()
{
    QByteArray answer;
    QVERIFY(holder('e', &answer));
    QCOMPARE(answer, QByteArray("held"));

    QVERIFY(!writeFile(QStringLiteral("ZtFiles/Quorvel.zt"), QStringLiteral("复制->editor ran\r\n"))
                 .isEmpty());
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);
    QVERIFY2(!waitReady(app, false).isEmpty(), outputOf(app));

    // The other keys work.
    QVERIFY(m_x->setClipboardText("复制->clipboard ran"));
    QVERIFY(key({QStringLiteral("ctrl+w")}));
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("clipboard ran"), 5000);
    // Ctrl+E belongs to the other program.
    QVERIFY(key({QStringLiteral("ctrl+e")}));
    QTest::qWait(1500);
    QCOMPARE(m_x->clipboardText(), QByteArray("clipboard ran"));
    QVERIFY2(app->state() == QProcess::Running, outputOf(app));
    // The refused grab was answered to the program, not logged as a stray X error.
    QVERIFY2(!outputOf(app).contains("XCB error"), outputOf(app));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-ctrl") == 0)
        return holdCtrlKey(argv[2][0]);
    QCoreApplication app(argc, argv);
    TestE2eHotKeys test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_hotkeys.moc"
