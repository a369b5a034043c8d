// The recorder in a real main window with the recording platform: starting and stopping by
// button and hotkeys, what reaches the conversion, the insertion into the editor, and that a
// run and a recording never go at once.
#include "app/recorder.h"
#include "app/systemtray.h"
#include "settings/settings.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleHints>
#include <QtTest>

namespace {

using InputEvent = Platform::InputEvent;
constexpr unsigned ctrl = 2;
constexpr unsigned ctrlAlt = 3;

InputEvent button(InputEvent::Kind kind, const QPoint &at, qint64 timeMs)
{
    InputEvent event;
    event.kind = kind;
    event.position = at;
    event.button = 1;
    event.timeMs = timeMs;
    return event;
}

InputEvent key(InputEvent::Kind kind, int virtualKey, const QString &text, qint64 timeMs)
{
    InputEvent event;
    event.kind = kind;
    event.virtualKey = virtualKey;
    event.text = text;
    event.timeMs = timeMs;
    return event;
}

// A click far from the window (which the offscreen platform puts near the top left), and 'a'.
QVector<InputEvent> outsideTask()
{
    return {button(InputEvent::ButtonDown, {1900, 1000}, 100),
        button(InputEvent::ButtonUp, {1900, 1000}, 180), key(InputEvent::KeyDown, 'A', "a", 900),
        key(InputEvent::KeyUp, 'A', {}, 950)};
}

// What the window hands the conversion, kept by the test.
struct Conversion
{
    QVector<InputEvent> events;
    recording::Options options;
    int calls = 0;
};

} // namespace

// Found by the containers' comparison through the event's own (global) namespace.
static bool operator==(const InputEvent &a, const InputEvent &b)
{
    return a.kind == b.kind && a.timeMs == b.timeMs && a.position == b.position
        && a.button == b.button && a.virtualKey == b.virtualKey && a.text == b.text;
}

class TestRecordControl : public QObject
{
    Q_OBJECT

private:
    static QPushButton *recordButton(const TestWindow &t)
    {
        return t.child<QPushButton>("pBtn_Record");
    }
    static QPushButton *runButton(const TestWindow &t)
    {
        return t.child<QPushButton>("pBtn_ExecuteInstruction");
    }
    static QString status(const TestWindow &t)
    {
        return t.child<QLabel>("lb_ShowDisposingFile")->text();
    }
    // The conversion the window uses, watched: the real one, or fixed lines.
    static void watch(TestWindow &t, Conversion &seen, const QStringList *fixed = nullptr)
    {
        t.window->recorder().setConverter(
            [&seen, fixed](const QVector<InputEvent> &events, const recording::Options &options) {
                seen.events = events;
                seen.options = options;
                ++seen.calls;
                return fixed ? *fixed : recording::linesOf(events, options);
            });
    }
    static bool recording(const TestWindow &t)
    {
        return t.window->isRecording() && t.platform.inputHandler;
    }

private slots:
    void startAndStop_data();
    void startAndStop();
    void eventsBecomeTheConversionsLines();
    void clicksOnTheWindowAreLeftOut();
    void linesGoInAsOneUndoStep_data();
    void linesGoInAsOneUndoStep();
    void emptyRecordingInsertsNothing();
    void hideCheckBoxHidesUntilTheStop();
    void runsAreRefusedWhileRecording();
    void recordingIsRefusedWhileRunning();
    void unavailableRecordingIsSaid();
    void settingsRestored_data();
    void settingsRestored();
    void settingsStored();
    void hotKeyRegisteredOrReportedHeld();
    void quittingStopsTheRecording();
};

void TestRecordControl::startAndStop_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::newRow("button, button") << "button" << "button";
    QTest::newRow("Ctrl+Alt+R, Ctrl+Alt+R") << "ctrl+alt+r" << "ctrl+alt+r";
    QTest::newRow("button, Ctrl+Q") << "button" << "ctrl+q";
    QTest::newRow("Ctrl+Alt+R, button") << "ctrl+alt+r" << "button";
}

void TestRecordControl::startAndStop()
{
    QFETCH(QString, start);
    QFETCH(QString, stop);
    TestWindow t;
    const auto act = [&t](const QString &how) {
        if (how == QLatin1String("button"))
            recordButton(t)->click();
        else if (how == QLatin1String("ctrl+q"))
            t.window->dispatchHotKey(ctrl, 'Q');
        else
            t.window->dispatchHotKey(ctrlAlt, 'R');
    };
    const qint64 idleIcon = t.window->systemTray()->icon().cacheKey();

    act(start);
    QVERIFY(recording(t));
    QCOMPARE(t.platform.calls.count(QStringLiteral("record:start")), 1);
    QCOMPARE(recordButton(t)->text(), QStringLiteral("停止录制"));
    QCOMPARE(status(t), QStringLiteral("正在录制… 按 Ctrl+Alt+R 或 Ctrl+Q 停止"));
    QVERIFY(t.window->systemTray()->icon().cacheKey() != idleIcon);

    act(stop);
    QVERIFY(!t.window->isRecording());
    QVERIFY(!t.platform.inputHandler);
    QCOMPARE(t.platform.calls.count(QStringLiteral("record:stop")), 1);
    QCOMPARE(recordButton(t)->text(), QStringLiteral("录制"));
    QVERIFY(!status(t).contains(QStringLiteral("正在录制")));
    QVERIFY(t.window->systemTray()->icon().pixmap(16).toImage()
        == QIcon(idleTrayIconPath()).pixmap(16).toImage());
}

void TestRecordControl::eventsBecomeTheConversionsLines()
{
    TestWindow t("RecordDelays=2\r\nMsecSleep=250\r\nCtrl_3=y\r\n");
    Conversion seen;
    watch(t, seen);
    t.editor()->setPlainText(QStringLiteral("延时->1"));
    t.setCursor(5);

    recordButton(t)->click();
    for (const InputEvent &event : outsideTask())
        QVERIFY(t.platform.emitInput(event));
    t.window->dispatchHotKey(ctrlAlt, 'R');

    QCOMPARE(seen.calls, 1);
    QVERIFY(seen.events == outsideTask());
    QCOMPARE(seen.options.delays, recording::Options::Delays::Fixed);
    QCOMPARE(seen.options.fixedDelayMs, 250);
    QCOMPARE(seen.options.doubleClickMs, QGuiApplication::styleHints()->mouseDoubleClickInterval());
    // Every key the program holds, and only those.
    QSet<QPair<unsigned, int>> own;
    for (const recording::HotKey &hotKey : qAsConst(seen.options.ownHotKeys))
        own.insert({hotKey.modifiers, hotKey.virtualKey});
    const QSet<QPair<unsigned, int>> registered {{ctrlAlt, 'R'}, {ctrl, 'Q'}, {ctrl, 'E'},
        {ctrl, 'W'}, {ctrl, 'M'}, {ctrl, 'K'}, {ctrl, '3'}};
    QCOMPARE(own, registered);

    // Whatever the conversion makes of them is what the editor gets, at the cursor.
    const QStringList lines = recording::linesOf(outsideTask(), seen.options);
    QCOMPARE(t.editor()->toPlainText(),
        QStringLiteral("延时->1") + recorder::insertion(lines, QLatin1Char('1'), QChar()));
}

void TestRecordControl::clicksOnTheWindowAreLeftOut()
{
    TestWindow t;
    Conversion seen;
    watch(t, seen);
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    const QRect frame = t.window->frameGeometry();
    const QPoint inside = frame.center();
    const QPoint outside = frame.bottomRight() + QPoint(5, 5);

    recordButton(t)->click();
    const QVector<InputEvent> sent {button(InputEvent::ButtonDown, inside, 1),
        button(InputEvent::ButtonUp, inside, 2), key(InputEvent::KeyDown, 'B', "b", 3),
        button(InputEvent::ButtonDown, outside, 4), button(InputEvent::ButtonUp, frame.topLeft(), 5),
        button(InputEvent::ButtonUp, outside, 6)};
    for (const InputEvent &event : sent)
        t.platform.emitInput(event);
    // The click on the button that stops the recording is on the window too.
    t.platform.emitInput(button(InputEvent::ButtonDown, inside, 7));
    recordButton(t)->click();
    t.platform.emitInput(button(InputEvent::ButtonUp, outside, 8)); // after the stop

    // Keys pressed while the pointer is over the window are the user's typing elsewhere.
    QVERIFY(seen.events == (QVector<InputEvent> {sent[2], sent[3], sent[5]}));
}

void TestRecordControl::linesGoInAsOneUndoStep_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty editor") << "" << 0 << "鼠标->10,20\n鼠标->左键单击\n";
    QTest::newRow("end of a line at the end")
        << "延时->5" << 5 << "延时->5\n鼠标->10,20\n鼠标->左键单击\n";
    QTest::newRow("start of a line")
        << "延时->5\n延时->6" << 6 << "延时->5\n鼠标->10,20\n鼠标->左键单击\n延时->6";
    QTest::newRow("end of a line before another")
        << "延时->5\n延时->6" << 5 << "延时->5\n鼠标->10,20\n鼠标->左键单击\n延时->6";
    QTest::newRow("inside a line")
        << "延时->56" << 4 << "延时->\n鼠标->10,20\n鼠标->左键单击\n56";
}

void TestRecordControl::linesGoInAsOneUndoStep()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, expected);
    TestWindow t;
    Conversion seen;
    const QStringList fixed {QStringLiteral("鼠标->10,20"), QStringLiteral("鼠标->左键单击")};
    watch(t, seen, &fixed);
    t.editor()->setPlainText(text);
    t.type(QStringLiteral("x")); // an edit of the user's own before the recording
    t.key(Qt::Key_Backspace);
    t.setCursor(cursor, 0); // a selection is kept, not replaced

    t.window->dispatchHotKey(ctrlAlt, 'R');
    t.platform.emitInput(key(InputEvent::KeyDown, 'A', "a", 1));
    t.window->dispatchHotKey(ctrlAlt, 'R');
    QCOMPARE(t.editor()->toPlainText(), expected);

    // Coloured on the editor's usual path: a command word is not left black.
    QTextCursor probe(t.editor()->document());
    probe.setPosition(expected.indexOf(QStringLiteral("鼠标")) + 1);
    QVERIFY(probe.charFormat().foreground().color() != QColor(Qt::black));

    t.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(t.editor()->toPlainText(), text);
    t.key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(t.editor()->toPlainText(), expected);
}

void TestRecordControl::emptyRecordingInsertsNothing()
{
    TestWindow t;
    Conversion seen;
    const QStringList none;
    watch(t, seen, &none);
    t.editor()->setPlainText(QStringLiteral("延时->5"));
    recordButton(t)->click();
    recordButton(t)->click();
    QCOMPARE(seen.calls, 1);
    QCOMPARE(t.editor()->toPlainText(), QStringLiteral("延时->5"));
    QCOMPARE(status(t), QStringLiteral("录制已停止,没有录到任何操作。"));
}

void TestRecordControl::hideCheckBoxHidesUntilTheStop()
{
    TestWindow t;
    t.window->show();
    t.child<QCheckBox>("cBox_RecordHideWindow")->setChecked(true);
    recordButton(t)->click();
    QVERIFY(!t.window->isVisible());
    // Hidden, the window takes no clicks away from the recording.
    Conversion seen;
    watch(t, seen);
    const QPoint inside = t.window->geometry().center();
    t.platform.emitInput(button(InputEvent::ButtonDown, inside, 1));
    t.window->dispatchHotKey(ctrl, 'Q');
    QVERIFY(t.window->isVisible());
    QCOMPARE(seen.events.size(), 1);

    // Unchecked, the window stays.
    t.child<QCheckBox>("cBox_RecordHideWindow")->setChecked(false);
    recordButton(t)->click();
    QVERIFY(t.window->isVisible());
    recordButton(t)->click();
}

void TestRecordControl::runsAreRefusedWhileRecording()
{
    TestWindow t("Ctrl_1=y\r\n", {{QStringLiteral("go.zt"), "延时->1"}});
    t.platform.existingFiles << t.path(QStringLiteral("ZtFiles/go.zt"));
    t.window->findChild<QLineEdit *>(QStringLiteral("lEdt_KeyToPerform_1"))
        ->setText(t.path(QStringLiteral("ZtFiles/go.zt")));
    QGuiApplication::clipboard()->setText(QStringLiteral("延时->1"));
    t.editor()->setPlainText(QStringLiteral("延时->1"));
    recordButton(t)->click();

    const QVector<std::function<void()>> ways {
        [&t] { t.window->dispatchHotKey(ctrl, 'E'); },
        [&t] { runButton(t)->click(); },
        [&t] { t.window->dispatchHotKey(ctrl, 'W'); },
        [&t] { t.window->dispatchHotKey(ctrl, '1'); },
        [&t] {
            auto *field = t.child<QLineEdit>("lEdt_RunZtFile");
            field->setText(QStringLiteral("go"));
            QTest::keyClick(field, Qt::Key_Return);
        },
    };
    for (int i = 0; i < ways.size(); ++i) {
        t.child<QLabel>("lb_ShowDisposingFile")->clear();
        ways[i]();
        QVERIFY2(!t.window->instructionThread().isRunning(), qPrintable(QString::number(i)));
        QVERIFY2(runButton(t)->isEnabled(), qPrintable(QString::number(i)));
        QVERIFY2(status(t).contains(QStringLiteral("正在录制,不能执行指令")),
            qPrintable(QString::number(i)));
        QVERIFY(t.window->isVisible());
        QVERIFY(t.window->isRecording());
    }
    QVERIFY(t.questions.isEmpty());
    QVERIFY(t.window->instructionThread().instructionList().isEmpty());
}

void TestRecordControl::recordingIsRefusedWhileRunning()
{
    TestWindow t;
    t.editor()->setPlainText(QStringLiteral("延时->60000"));
    runButton(t)->click();
    QVERIFY(t.window->instructionThread().isRunning());

    recordButton(t)->click();
    t.window->dispatchHotKey(ctrlAlt, 'R');
    QVERIFY(!t.window->isRecording());
    QVERIFY(!t.platform.calls.contains(QStringLiteral("record:start")));
    QCOMPARE(recordButton(t)->text(), QStringLiteral("录制"));
    QVERIFY(status(t).contains(QStringLiteral("指令正在执行,不能录制")));

    t.window->dispatchHotKey(ctrl, 'Q');
    QTRY_VERIFY_WITH_TIMEOUT(runButton(t)->isEnabled(), 5000);
    QVERIFY(t.window->instructionThread().wait(5000));
    recordButton(t)->click();
    QVERIFY(t.window->isRecording());
}

void TestRecordControl::unavailableRecordingIsSaid()
{
    TestWindow t;
    t.platform.recordingAvailable = false;
    recordButton(t)->click();
    QVERIFY(!t.window->isRecording());
    QCOMPARE(recordButton(t)->text(), QStringLiteral("录制"));
    QVERIFY(status(t).contains(QStringLiteral("此桌面无法录制")));
    // Stopping what never started does nothing.
    t.window->dispatchHotKey(ctrl, 'Q');
    QVERIFY(!t.platform.calls.contains(QStringLiteral("record:stop")));
}

void TestRecordControl::settingsRestored_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("hide");
    QTest::addColumn<int>("delays");

    QTest::newRow("defaults") << QByteArray() << false << 0;
    QTest::newRow("hide, rounded") << QByteArray("RecordHideWindow=y\r\nRecordDelays=1\r\n")
                                   << true << 1;
    QTest::newRow("no hide, fixed") << QByteArray("RecordHideWindow=n\r\nRecordDelays=2\r\n")
                                    << false << 2;
    QTest::newRow("a choice the box lacks")
        << QByteArray("RecordHideWindow=yes\r\nRecordDelays=7\r\n") << true << 0;
    QTest::newRow("negative") << QByteArray("RecordDelays=-1\r\n") << false << 0;
}

void TestRecordControl::settingsRestored()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, hide);
    QFETCH(int, delays);
    TestWindow t(settings);
    QCOMPARE(t.child<QCheckBox>("cBox_RecordHideWindow")->isChecked(), hide);
    QCOMPARE(t.child<QComboBox>("cmbBox_RecordDelays")->currentIndex(), delays);
    // Restoring is reading: the file is as it was.
    QCOMPARE(t.read(QStringLiteral("Quorvel.qcf")), settings);
}

void TestRecordControl::settingsStored()
{
    TestWindow t;
    const auto stored = [&t](const char *key) {
        return settings::ReadSetting(t.read(QStringLiteral("Quorvel.qcf")), key);
    };
    t.child<QCheckBox>("cBox_RecordHideWindow")->click();
    QCOMPARE(stored("RecordHideWindow"), QByteArray("y"));
    t.child<QCheckBox>("cBox_RecordHideWindow")->click();
    QCOMPARE(stored("RecordHideWindow"), QByteArray("n"));

    auto *delays = t.child<QComboBox>("cmbBox_RecordDelays");
    QCOMPARE(delays->count(), 3);
    QCOMPARE(delays->itemText(2), QStringLiteral("使用自动延时毫秒数"));
    for (int choice : {2, 1}) {
        delays->setCurrentIndex(choice);
        emit delays->activated(choice); // as a choice from the list arrives
        QCOMPARE(stored("RecordDelays"), QByteArray::number(choice));
    }
}

void TestRecordControl::hotKeyRegisteredOrReportedHeld()
{
    {
        TestWindow t;
        QVERIFY(t.platform.calls.contains(QStringLiteral("register:CtrlAltR:3:82")));
        QVERIFY(!status(t).contains(QStringLiteral("Ctrl+Alt+R")));
        // The X11 grab delivers the press like the others.
        QVERIFY(t.platform.deliverHotKey(ctrlAlt, 'R'));
        QVERIFY(t.window->isRecording());
        // Ctrl with R alone, or Alt+R, is not the recorder's key.
        t.window->dispatchHotKey(ctrl, 'R');
        t.window->dispatchHotKey(1, 'R');
        QVERIFY(t.window->isRecording());
    }
    QTemporaryDir dir;
    FakePlatform platform;
    platform.heldKeys = {'R'};
    ProcessState process;
    process.programFolder = dir.path() + QLatin1Char('/');
    process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
    MainWindow w(process, platform);
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("lb_ShowDisposingFile"))
                ->text()
                .contains(QStringLiteral("Ctrl+Alt+R 已被其他程序占用")));
}

void TestRecordControl::quittingStopsTheRecording()
{
    auto t = std::make_unique<TestWindow>();
    recordButton(*t)->click();
    QVERIFY(recording(*t));
    t->window.reset();
    QVERIFY(!t->platform.inputHandler);
    QCOMPARE(t->platform.calls.count(QStringLiteral("record:stop")), 1);
}

QTEST_MAIN(TestRecordControl)
#include "tst_recordcontrol.moc"
