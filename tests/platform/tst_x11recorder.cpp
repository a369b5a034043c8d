// Recording the user's input on a private Xvfb: xdotool plays the user (through XTest, as real
// devices would arrive) and the test checks what the platform's recording hands over.
#include "platform/platform.h"
#include "xvfbsession.h"

#include <QtTest>

#include <functional>
#include <memory>

// After the Qt headers: Xlib's macros would break them.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using InputEvent = Platform::InputEvent;

// One event as a line, so that a whole sequence compares at once and reads well on failure:
// "down 67 c 'c'", "up 162 Control_L", "press 1 @100,200".
QString describe(const InputEvent &e)
{
    switch (e.kind) {
    case InputEvent::ButtonDown:
    case InputEvent::ButtonUp:
        return QStringLiteral("%1 %2 @%3,%4")
            .arg(e.kind == InputEvent::ButtonDown ? "press" : "release")
            .arg(e.button)
            .arg(e.position.x())
            .arg(e.position.y());
    case InputEvent::KeyDown:
        return QStringLiteral("down %1 %2 '%3'").arg(e.virtualKey).arg(e.keyName, e.text);
    case InputEvent::KeyUp:
        break;
    }
    return QStringLiteral("up %1 %2").arg(e.virtualKey).arg(e.keyName);
}

} // namespace

class TestX11Recorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void records_data();
    void records();
    void deliversOnGuiThreadWithoutStop();
    void secondStartIsRefused();
    void restartsAfterStop();
    void stopWithoutStartIsHarmless();

private:
    // Starts recording into m_events.
    bool start();
    // Runs xdotool commands, one argument list each.
    void drive(const QList<QStringList> &commands);
    QStringList recorded() const;

    std::unique_ptr<XvfbSession> m_session;
    QVector<InputEvent> m_events;
};

void TestX11Recorder::initTestCase()
{
    const QStringList missing = XvfbSession::missingTools(XvfbSession::Options());
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
    m_session = std::make_unique<XvfbSession>();
    QVERIFY2(m_session->isValid(), qPrintable(m_session->errorString()));
    // The platform opens its connections on DISPLAY: only ever this test's own server.
    qputenv("DISPLAY", m_session->display().toLocal8Bit());
}

void TestX11Recorder::cleanup()
{
    systemPlatform().stopInputRecording();
    m_events.clear();
}

bool TestX11Recorder::start()
{
    return systemPlatform().startInputRecording(
        [this](const InputEvent &event) { m_events.append(event); });
}

void TestX11Recorder::drive(const QList<QStringList> &commands)
{
    for (const QStringList &command : commands) {
        const XvfbSession::Result r = m_session->xdotool(command);
        QVERIFY2(r.ok(), qPrintable(command.join(' ') + ": " + r.errors));
    }
}

QStringList TestX11Recorder::recorded() const
{
    QStringList lines;
    for (const InputEvent &e : m_events)
        lines << describe(e);
    return lines;
}

void TestX11Recorder::records_data()
{
    QTest::addColumn<QList<QStringList>>("commands");
    QTest::addColumn<QStringList>("expected");

    const auto args
        = [](const char *line) { return QString::fromLatin1(line).split(' ', Qt::SkipEmptyParts); };

    QTest::newRow("ctrl+c: the letter's text without Ctrl")
        << QList<QStringList> {args("key ctrl+c")}
        << QStringList {"down 162 Control_L ''", "down 67 c 'c'", "up 162 Control_L", "up 67 c"};
    // The code is the key's without Shift; the text is what it types.
    QTest::newRow("typed text with Shift")
        << QList<QStringList> {{"type", "aB1!"}}
        << QStringList {"down 65 a 'a'", "up 65 a", "down 160 Shift_L ''", "down 66 b 'B'",
               "up 160 Shift_L", "up 66 b", "down 49 1 '1'", "up 49 1", "down 160 Shift_L ''",
               "down 49 1 '!'", "up 160 Shift_L", "up 49 1"};
    QTest::newRow("Caps Lock makes capitals")
        << QList<QStringList> {args("key Caps_Lock a Caps_Lock")}
        << QStringList {"down 20 Caps_Lock ''", "up 20 Caps_Lock", "down 65 a 'A'", "up 65 a",
               "down 20 Caps_Lock ''", "up 20 Caps_Lock"};
    QTest::newRow("keypad without Num Lock") << QList<QStringList> {args("key KP_End KP_Add")}
                                             << QStringList {"down 35 KP_End ''", "up 35 KP_End",
                                                    "down 107 KP_Add '+'", "up 107 KP_Add"};
    QTest::newRow("keys that type nothing")
        << QList<QStringList> {args("key Return Tab BackSpace Escape Left F5 KP_Enter")}
        << QStringList {"down 13 Return ''", "up 13 Return", "down 9 Tab ''", "up 9 Tab",
               "down 8 BackSpace ''", "up 8 BackSpace", "down 27 Escape ''", "up 27 Escape",
               "down 37 Left ''", "up 37 Left", "down 116 F5 ''", "up 116 F5",
               "down 13 KP_Enter ''", "up 13 KP_Enter"};
    QTest::newRow("a key without a code keeps its name")
        << QList<QStringList> {args("key XF86AudioPlay")}
        << QStringList {"down -1 XF86AudioPlay ''", "up -1 XF86AudioPlay"};

    QTest::newRow("click where the pointer is") << QList<QStringList> {args("mousemove 100 200"),
        args("click 1")} << QStringList {"press 1 @100,200", "release 1 @100,200"};
    QTest::newRow("drag: down and up where they happened") << QList<QStringList> {
        args("mousemove 100 200"), args("mousedown 1"), args("mousemove 300 250"),
        args("mouseup 1")} << QStringList {"press 1 @100,200", "release 1 @300,250"};
    QTest::newRow("right and middle buttons")
        << QList<QStringList> {args("mousemove 7 9"), args("click 3"), args("click 2")}
        << QStringList {"press 3 @7,9", "release 3 @7,9", "press 2 @7,9", "release 2 @7,9"};
    QTest::newRow("the wheel is left out") << QList<QStringList> {args("mousemove 50 60"),
        args("click 4"), args("click 5"), args("click 1")}
                                           << QStringList {"press 1 @50,60", "release 1 @50,60"};
}

void TestX11Recorder::records()
{
    QFETCH(QList<QStringList>, commands);
    QFETCH(QStringList, expected);

    QVERIFY(start());
    drive(commands);
    // xdotool has flushed its events before it ended; a stop delivers all of them.
    systemPlatform().stopInputRecording();
    QCOMPARE(recorded(), expected);
    for (int i = 1; i < m_events.size(); ++i)
        QVERIFY(m_events.at(i).timeMs >= m_events.at(i - 1).timeMs);
}

void TestX11Recorder::deliversOnGuiThreadWithoutStop()
{
    // XTest on a connection of the test's own, so that nothing but the fake input itself
    // happens on the server (every xdotool run would flush the server's output anyway).
    Display *display = XOpenDisplay(m_session->display().toLocal8Bit().constData());
    QVERIFY(display);
    const KeyCode x = XKeysymToKeycode(display, XK_x);
    bool onGuiThread = true;
    QVERIFY(systemPlatform().startInputRecording([&](const InputEvent &event) {
        onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
        m_events.append(event);
    }));
    // Each event arrives on its own: a held key before it is let go, a press before its release.
    const std::function<void()> steps[]
        = {[&] { XTestFakeKeyEvent(display, x, True, CurrentTime); },
            [&] { XTestFakeKeyEvent(display, x, False, CurrentTime); },
            [&] { XTestFakeButtonEvent(display, 1, True, CurrentTime); },
            [&] { XTestFakeButtonEvent(display, 1, False, CurrentTime); }};
    for (const auto &step : steps) {
        const int before = m_events.size();
        step();
        XFlush(display);
        QTRY_COMPARE_WITH_TIMEOUT(m_events.size(), before + 1, 5000);
    }
    XCloseDisplay(display);
    const QPoint at = m_events.at(2).position; // wherever an earlier case left the pointer
    QCOMPARE(recorded(),
        (QStringList {"down 88 x 'x'", "up 88 x",
            QStringLiteral("press 1 @%1,%2").arg(at.x()).arg(at.y()),
            QStringLiteral("release 1 @%1,%2").arg(at.x()).arg(at.y())}));
    QVERIFY(onGuiThread);
}

void TestX11Recorder::secondStartIsRefused()
{
    QVERIFY(start());
    int second = 0;
    QVERIFY(!systemPlatform().startInputRecording([&](const InputEvent &) { ++second; }));
    drive({{"key", "y"}});
    systemPlatform().stopInputRecording();
    QCOMPARE(recorded(), (QStringList {"down 89 y 'y'", "up 89 y"}));
    QCOMPARE(second, 0);
}

void TestX11Recorder::restartsAfterStop()
{
    QVERIFY(start());
    drive({{"key", "a"}});
    systemPlatform().stopInputRecording();
    systemPlatform().stopInputRecording(); // a second stop changes nothing
    QCOMPARE(m_events.size(), 2);
    // What happens between two recordings is in neither.
    drive({{"key", "b"}});
    QTest::qWait(50);
    QCOMPARE(m_events.size(), 2);

    m_events.clear();
    QVERIFY(start());
    drive({{"key", "c"}});
    systemPlatform().stopInputRecording();
    QCOMPARE(recorded(), (QStringList {"down 67 c 'c'", "up 67 c"}));
}

void TestX11Recorder::stopWithoutStartIsHarmless()
{
    systemPlatform().stopInputRecording();
    systemPlatform().stopInputRecording();
    QVERIFY(start());
    systemPlatform().stopInputRecording();
    QVERIFY(m_events.isEmpty());
}

QTEST_MAIN(TestX11Recorder)
#include "tst_x11recorder.moc"
