// The global hotkeys of a real main window with the recording platform: what is registered
// when, the slot check boxes, and what each press does.
#include "fakesleeper.h"
#include "settings/settings.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

namespace {

constexpr unsigned ctrl = 2;
constexpr unsigned alt = 1;
constexpr unsigned shift = 4;
constexpr unsigned win = 8;

FakeSleeper noPause;

// The hotkey calls in their order, without the rest of what the window asked for.
QStringList hotKeyCalls(const FakePlatform &platform)
{
    QStringList calls;
    for (const QString &call : platform.calls) {
        if (call.startsWith(QLatin1String("addAtom:"))
            || call.startsWith(QLatin1String("deleteAtom:"))
            || call.startsWith(QLatin1String("register:"))
            || call.startsWith(QLatin1String("unregister:")))
            calls << call;
    }
    return calls;
}

} // namespace

class TestHotKeys : public QObject
{
    Q_OBJECT

private:
    static QPushButton *runButton(const TestWindow &t)
    {
        return t.child<QPushButton>("pBtn_ExecuteInstruction");
    }
    static QLabel *status(const TestWindow &t) { return t.child<QLabel>("lb_ShowDisposingFile"); }
    static QCheckBox *slotBox(const TestWindow &t, int digit)
    {
        return t.window->findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_%1").arg(digit));
    }
    static QLineEdit *slotField(const TestWindow &t, int digit)
    {
        return t.window->findChild<QLineEdit *>(QStringLiteral("lEdt_KeyToPerform_%1").arg(digit));
    }
    // Runs without pacing, so a started script is over at once (its end still arrives queued).
    static void unpaced(TestWindow &t) { t.window->instructionThread().setSleeper(&noPause); }
    static bool started(const TestWindow &t) { return !runButton(t)->isEnabled(); }
    static QStringList ran(const TestWindow &t)
    {
        return t.window->instructionThread().instructionList();
    }
    static void finishRun(TestWindow &t)
    {
        QTRY_VERIFY_WITH_TIMEOUT(runButton(t)->isEnabled(), 5000);
        QVERIFY(t.window->instructionThread().wait(5000));
    }
    // A press as Windows brings it: WM_HOTKEY through the window's nativeEvent.
    static bool press(TestWindow &t, unsigned modifiers, unsigned key, long *result = nullptr)
    {
        FakePlatform::HotKeyMessage message;
        message.lParam = quint32(key) << 16 | modifiers;
        long ignored = -1;
        return callNativeEvent(*t.window, "fake_hotkey", &message, result ? result : &ignored);
    }
    static bool callNativeEvent(QWidget &w, const QByteArray &type, void *message, long *result)
    {
        // nativeEvent is protected: reach it as the toolkit does, through the base class.
        struct Opener : QWidget
        {
            static bool call(QWidget &w, const QByteArray &type, void *message, long *result)
            {
                return (w.*(&Opener::nativeEvent))(type, message, result);
            }
        };
        return Opener::call(w, type, message, result);
    }

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void startUpRegistration_data();
    void startUpRegistration();
    void fileStartModeHasOnlyCtrlT();
    void slotCheckBoxesRegisterAtOnce();
    void keysOtherProgramsHoldAreReported();
    void bothDeliveriesReachTheDispatch();
    void onlyCtrlAloneActs_data();
    void onlyCtrlAloneActs();
    void ctrlERunsTheEditorLikeTheButton();
    void ctrlWRunsTheClipboard_data();
    void ctrlWRunsTheClipboard();
    void ctrlQAndCtrlTStop_data();
    void ctrlQAndCtrlTStop();
    void ctrlKShowsTheQuickRunField();
    void ctrlMInsertsTheMousePosition_data();
    void ctrlMInsertsTheMousePosition();
    void ctrlMTwiceMakesARegion();
    void slotKeysRunTheirFile_data();
    void slotKeysRunTheirFile();
};

void TestHotKeys::startUpRegistration_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("slotCalls"); // after the six fixed keys

    QTest::newRow("no slots") << QByteArray() << QStringList();
    // Slots in the order 1 … 9, 0; the first letter decides.
    QTest::newRow("slots 3 and 0")
        << QByteArray("Ctrl_0=yes\r\nCtrl_3=y\r\nCtrl_1=n\r\nCtrl_2=Y\r\n")
        << QStringList {
               "addAtom:Ctrl_3", "register:Ctrl_3:2:51", "addAtom:Ctrl_0", "register:Ctrl_0:2:48"};
}

void TestHotKeys::startUpRegistration()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, slotCalls);

    auto t = std::make_unique<TestWindow>(settings);
    QStringList expected {"addAtom:CtrlM", "register:CtrlM:2:77", "addAtom:CtrlQ",
        "register:CtrlQ:2:81", "addAtom:CtrlE", "register:CtrlE:2:69", "addAtom:CtrlW",
        "register:CtrlW:2:87", "addAtom:CtrlK", "register:CtrlK:2:75", "addAtom:CtrlAltR",
        "register:CtrlAltR:3:82"};
    expected << slotCalls;
    QCOMPARE(hotKeyCalls(t->platform), expected);
    QCOMPARE(status(*t)->text(), runHintText());

    // Destruction frees every key and deletes the atoms: fixed ones, then the slots.
    t->platform.calls.clear();
    FakePlatform &platform = t->platform;
    t->window.reset();
    QStringList release;
    for (const char *name : {"CtrlM", "CtrlE", "CtrlQ", "CtrlK", "CtrlW", "CtrlAltR"})
        release << QStringLiteral("unregister:") + name << QStringLiteral("deleteAtom:") + name;
    for (const QString &call : slotCalls) {
        if (call.startsWith(QLatin1String("addAtom:"))) {
            const QString name = call.mid(8);
            release << QStringLiteral("unregister:") + name << QStringLiteral("deleteAtom:") + name;
        }
    }
    QCOMPARE(hotKeyCalls(platform), release);
    QVERIFY(platform.liveAtoms.isEmpty());
    QVERIFY(platform.hotKeys.isEmpty());
    QVERIFY(!platform.hotKeyHandler);
}

void TestHotKeys::fileStartModeHasOnlyCtrlT()
{
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("run.zt"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    FakePlatform platform;
    ProcessState process;
    process.programFolder = dir.path() + QLatin1Char('/');
    process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
    process.fileStartMode = true;
    process.argument = script;
    {
        MainWindow w(process, platform);
        QCOMPARE(hotKeyCalls(platform), (QStringList {"addAtom:CtrlT", "register:CtrlT:2:84"}));
        QVERIFY(platform.hotKeyHandler);
        platform.calls.clear();
    }
    QCOMPARE(hotKeyCalls(platform), (QStringList {"unregister:CtrlT", "deleteAtom:CtrlT"}));
}

void TestHotKeys::slotCheckBoxesRegisterAtOnce()
{
    TestWindow t;
    t.platform.calls.clear();
    QCheckBox *box = slotBox(t, 7);

    box->click();
    QCOMPARE(
        settings::ReadSetting(t.read(QStringLiteral("Quorvel.qcf")), "Ctrl_7"), QByteArray("y"));
    QCOMPARE(hotKeyCalls(t.platform), (QStringList {"addAtom:Ctrl_7", "register:Ctrl_7:2:55"}));
    const quint16 first = t.platform.hotKeys.key(ctrl << 16 | '7');
    QVERIFY(first);

    t.platform.calls.clear();
    box->click();
    QCOMPARE(
        settings::ReadSetting(t.read(QStringLiteral("Quorvel.qcf")), "Ctrl_7"), QByteArray("n"));
    QCOMPARE(hotKeyCalls(t.platform), (QStringList {"unregister:Ctrl_7", "deleteAtom:Ctrl_7"}));
    QVERIFY(!t.platform.liveAtoms.contains(first));

    // Enabled again: a new atom carries the key.
    box->click();
    const quint16 second = t.platform.hotKeys.key(ctrl << 16 | '7');
    QVERIFY(second);
    QVERIFY(second != first);
    QVERIFY(t.platform.liveAtoms.contains(second));

    // Slot 0 is the digit 48; its setting is Ctrl_0.
    slotBox(t, 0)->click();
    QVERIFY(t.platform.calls.contains(QStringLiteral("register:Ctrl_0:2:48")));
    QCOMPARE(
        settings::ReadSetting(t.read(QStringLiteral("Quorvel.qcf")), "Ctrl_0"), QByteArray("y"));

    // A slot disabled before the window goes is not released twice.
    box->click();
    t.platform.calls.clear();
    FakePlatform &platform = t.platform;
    t.window.reset();
    QVERIFY(!hotKeyCalls(platform).contains(QStringLiteral("deleteAtom:Ctrl_7")));
    QVERIFY(hotKeyCalls(platform).contains(QStringLiteral("deleteAtom:Ctrl_0")));
}

void TestHotKeys::keysOtherProgramsHoldAreReported()
{
    // Held from the start: the fake is made before the window.
    QTemporaryDir dir;
    FakePlatform platform;
    platform.heldKeys = {'E', '2'};
    {
        QFile settingsFile(dir.filePath(QStringLiteral("Quorvel.qcf")));
        QVERIFY(settingsFile.open(QIODevice::WriteOnly));
        settingsFile.write("Ctrl_2=y\r\nCtrl_5=y\r\n");
    }
    ProcessState process;
    process.programFolder = dir.path() + QLatin1Char('/');
    process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
    MainWindow w(process, platform);
    auto *label = w.findChild<QLabel *>(QStringLiteral("lb_ShowDisposingFile"));
    QVERIFY(label->text().contains(QStringLiteral("Ctrl+E、Ctrl+2 已被其他程序占用")));
    // The others still work.
    for (unsigned key : {'M', 'Q', 'W', 'K', '5'})
        QVERIFY2(
            !platform.hotKeys.keys(ctrl << 16 | key).isEmpty(), qPrintable(QString(QChar(key))));

    // Enabling a held slot tells at once.
    platform.heldKeys << '9';
    label->clear();
    w.findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_9"))->click();
    QVERIFY(label->text().contains(QStringLiteral("Ctrl+9 已被其他程序占用")));
}

void TestHotKeys::bothDeliveriesReachTheDispatch()
{
    TestWindow t;
    unpaced(t);
    long result = -1;
    // A hotkey message is taken even when nothing is done for it.
    QVERIFY(press(t, ctrl, 'Z', &result));
    QCOMPARE(result, 0L);
    QVERIFY(press(t, ctrl | shift, 'E'));
    QVERIFY(t.platform.deliverHotKey(ctrl | shift, 'E')); // as the X11 grabs deliver
    QVERIFY(!started(t));

    // Anything else goes on to the toolkit.
    FakePlatform::HotKeyMessage other;
    other.message = 0x0100; // WM_KEYDOWN
    QVERIFY(!callNativeEvent(*t.window, "fake_hotkey", &other, &result));
    QVERIFY(!callNativeEvent(*t.window, "xcb_generic_event_t", &other, &result));
    QVERIFY(!started(t));

    QVERIFY(press(t, ctrl, 'E'));
    QVERIFY(started(t));
    finishRun(t);
    QVERIFY(t.platform.deliverHotKey(ctrl, 'E'));
    QVERIFY(started(t));
    finishRun(t);
}

void TestHotKeys::onlyCtrlAloneActs_data()
{
    QTest::addColumn<unsigned>("modifiers");
    QTest::newRow("none") << 0u;
    QTest::newRow("Alt") << alt;
    QTest::newRow("Ctrl+Shift") << (ctrl | shift);
    QTest::newRow("Ctrl+Alt") << (ctrl | alt);
    QTest::newRow("Ctrl+Win") << (ctrl | win);
}

void TestHotKeys::onlyCtrlAloneActs()
{
    QFETCH(unsigned, modifiers);
    TestWindow t;
    unpaced(t);
    t.editor()->setPlainText(QStringLiteral("复制->x"));
    QGuiApplication::clipboard()->setText(QStringLiteral("复制->y"));
    slotField(t, 1)->setText(t.path(QStringLiteral("missing.zt")));
    t.window->hide();
    for (unsigned key : {'E', 'W', 'M', 'K', '1'})
        t.window->dispatchHotKey(modifiers, key);
    QVERIFY(!started(t));
    QCOMPARE(t.editor()->toPlainText(), QStringLiteral("复制->x"));
    QVERIFY(!t.window->isVisible());
    QVERIFY(t.questions.isEmpty());
}

void TestHotKeys::ctrlERunsTheEditorLikeTheButton()
{
    TestWindow t;
    unpaced(t);
    t.editor()->setPlainText(QStringLiteral("  串1->a\n串2->b  \n"));
    t.window->dispatchHotKey(ctrl, 'E');
    QVERIFY(started(t));
    QCOMPARE(ran(t), (QStringList {"串1->a", "串2->b"}));
    QCOMPARE(t.read(QStringLiteral("ZtFiles/Quorvel.zt")), QByteArray("串1->a\r\n串2->b"));

    // During a run the disabled button ignores the press.
    t.editor()->setPlainText(QStringLiteral("串3->c"));
    t.window->dispatchHotKey(ctrl, 'E');
    QCOMPARE(ran(t), (QStringList {"串1->a", "串2->b"}));
    finishRun(t);
    QCOMPARE(t.read(QStringLiteral("ZtFiles/Quorvel.zt")), QByteArray("串1->a\r\n串2->b"));
}

void TestHotKeys::ctrlWRunsTheClipboard_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("list");

    QTest::newRow("plain") << "串1->a\n串2->b" << QStringList {"串1->a", "串2->b"};
    QTest::newRow("in double quotes") << "\"串1->a\n串2->b\"" << QStringList {"串1->a", "串2->b"};
    // Up to the last quote: what follows it is dropped, inner quotes stay.
    QTest::newRow("text after the last quote")
        << "\"串1->\"x\"\n串2->b\" tail" << QStringList {"串1->\"x\"", "串2->b"};
    QTest::newRow("lone opening quote") << "\"串1->a" << QStringList {"串1->a"};
    QTest::newRow("quote not first") << " \"串1->a\"" << QStringList {"\"串1->a\""};
    QTest::newRow("empty") << "" << QStringList();
}

void TestHotKeys::ctrlWRunsTheClipboard()
{
    QFETCH(QString, clipboard);
    QFETCH(QStringList, list);

    TestWindow t({}, {{QStringLiteral("Quorvel.zt"), QByteArray("串9->default")}});
    unpaced(t);
    QGuiApplication::clipboard()->setText(clipboard);
    t.window->dispatchHotKey(ctrl, 'W');
    QCOMPARE(ran(t), list);
    // The editor and the default script stay as they were.
    QCOMPARE(t.editor()->toPlainText(), QStringLiteral("串9->default"));
    QCOMPARE(t.read(QStringLiteral("ZtFiles/Quorvel.zt")), QByteArray("串9->default"));

    // Not while a run goes on.
    finishRun(t);
    t.window->ExecuteInstructions(QStringLiteral("串5->running"));
    QGuiApplication::clipboard()->setText(QStringLiteral("串6->second"));
    t.window->dispatchHotKey(ctrl, 'W');
    QCOMPARE(ran(t), QStringList {"串5->running"});
    finishRun(t);
}

void TestHotKeys::ctrlQAndCtrlTStop_data()
{
    QTest::addColumn<unsigned>("key");
    QTest::addColumn<bool>("hintBack");
    QTest::newRow("Ctrl+Q") << unsigned('Q') << true;
    QTest::newRow("Ctrl+T") << unsigned('T') << false;
}

void TestHotKeys::ctrlQAndCtrlTStop()
{
    QFETCH(unsigned, key);
    QFETCH(bool, hintBack);

    TestWindow t;
    QInstructionThread &thread = t.window->instructionThread();
    // Runs until stopped: an endless loop of plain lines.
    t.window->ExecuteInstructions(
        QStringLiteral("循环1->100000\n{\n串1->x\n循环1->100000\n}\n复制->never"));
    QTRY_VERIFY_WITH_TIMEOUT(thread.isRunning(), 2000);
    status(t)->setText(QStringLiteral("something else"));

    t.window->dispatchHotKey(ctrl, key);
    QVERIFY(!thread.executeFlag);
    QVERIFY(!thread.waitFlag);
    QCOMPARE(runButton(t)->text(), QStringLiteral("执行指令(Ctrl+E)"));
    QVERIFY(runButton(t)->isEnabled());
    QCOMPARE(status(t)->text(), hintBack ? runHintText() : QStringLiteral("something else"));
    QVERIFY(thread.wait(3000));
}

void TestHotKeys::ctrlKShowsTheQuickRunField()
{
    TestWindow t;
    t.window->hide();
    t.child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    t.window->dispatchHotKey(ctrl, 'K');
    QVERIFY(t.window->isVisible());
    QCOMPARE(t.child<QTabWidget>("tabWidget")->currentIndex(), 0);
    QCOMPARE(t.window->focusWidget(), t.child<QLineEdit>("lEdt_RunZtFile"));
    QVERIFY(!started(t));
}

void TestHotKeys::ctrlMInsertsTheMousePosition_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("anchor"); // -1: no selection
    QTest::addColumn<bool>("autoDelay");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QString>("expected");

    const QString line = QStringLiteral("鼠标->738,486\n");
    QTest::newRow("empty editor") << "" << 0 << -1 << true << 100 << line + "延时->100\n";
    QTest::newRow("auto-delay off") << "" << 0 << -1 << false << 100 << line;
    QTest::newRow("other delay") << "" << 0 << -1 << true << 250 << line + "延时->250\n";
    QTest::newRow("middle of other text") << "ab" << 1 << -1 << false << 100 << "a" + line + "b";
    QTest::newRow("after 鼠标->") << "x\n鼠标->\ny" << 6 << -1 << true << 100
                                  << "x\n鼠标->738,486\ny";
    QTest::newRow("after 截图->") << "截图->" << 4 << -1 << true << 100 << "截图->738,486-";
    QTest::newRow("after 截图-> before -")
        << "截图->-" << 4 << -1 << true << 100 << "截图->738,486-";
    QTest::newRow("after a -") << "截图->1,2-" << 8 << -1 << true << 100 << "截图->1,2-738,486";
    QTest::newRow("lone - at the start") << "-" << 1 << -1 << true << 100 << "-738,486";
    QTest::newRow("after 串1->") << "串1->" << 4 << -1 << false << 100 << "串1->" + line;
    QTest::newRow("selection replaced by a line")
        << "abc" << 3 << 0 << true << 100 << line + "延时->100\n";
    QTest::newRow("selection after 鼠标->")
        << "鼠标->1,2" << 7 << 4 << true << 100 << "鼠标->738,486";
    QTest::newRow("selection after 截图->")
        << "截图->1,2" << 7 << 4 << false << 100 << "截图->738,486-";
    QTest::newRow("selection after 截图-> up to a -")
        << "截图->9,9-5,5" << 7 << 4 << true << 100 << "截图->738,486-5,5";
    QTest::newRow("backwards selection after a -")
        << "截图->1,2-3,4" << 8 << 11 << true << 100 << "截图->1,2-738,486";
}

void TestHotKeys::ctrlMInsertsTheMousePosition()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, anchor);
    QFETCH(bool, autoDelay);
    QFETCH(int, delay);
    QFETCH(QString, expected);

    TestWindow t;
    t.child<QCheckBox>("cBox_AutoAddMSleep")->setChecked(autoDelay);
    t.child<QSpinBox>("sBox_MsecSleep")->setValue(delay);
    t.editor()->setPlainText(text);
    t.setCursor(position, anchor);
    t.platform.cursor = QPoint(738, 486);
    t.window->dispatchHotKey(ctrl, 'M');
    QCOMPARE(t.editor()->toPlainText(), expected);
    QVERIFY(!started(t));
}

void TestHotKeys::ctrlMTwiceMakesARegion()
{
    TestWindow t;
    t.editor()->setPlainText(QStringLiteral("截图->"));
    t.setCursor(4);
    t.platform.cursor = QPoint(10, 20);
    t.window->dispatchHotKey(ctrl, 'M');
    t.platform.cursor = QPoint(300, 400);
    t.window->dispatchHotKey(ctrl, 'M');
    QCOMPARE(t.editor()->toPlainText(), QStringLiteral("截图->10,20-300,400"));
}

void TestHotKeys::slotKeysRunTheirFile_data()
{
    QTest::addColumn<int>("digit");
    QTest::addColumn<QString>("field"); // "@name": that file of the program folder
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("onDisk"); // the file's name on disk when it differs

    QTest::newRow("Ctrl+1, file present") << 1 << "@one.zt" << true << "";
    QTest::newRow("Ctrl+0, file present") << 0 << "@zero.zt" << true << "";
    // The extension in another case is the same script, as on Windows.
    QTest::newRow("extension in capitals on disk") << 2 << "@two.zt" << true << "two.ZT";
    QTest::newRow("file missing") << 4 << "@gone.zt" << false << "";
    QTest::newRow("empty field") << 9 << "" << false << "";
}

void TestHotKeys::slotKeysRunTheirFile()
{
    QFETCH(int, digit);
    QFETCH(QString, field);
    QFETCH(bool, found);
    QFETCH(QString, onDisk);

    // The setting names another file: the field as it stands counts.
    const QByteArray key = "CtrlPath_" + QByteArray::number(digit);
    TestWindow t(key + "=/elsewhere/other.zt\r\n",
        {{QStringLiteral("Quorvel.zt"), QByteArray("串9->default")}});
    unpaced(t);
    if (field.startsWith(QLatin1Char('@'))) {
        field = t.path(field.mid(1));
        if (found) {
            const QString name = onDisk.isEmpty() ? QFileInfo(field).fileName() : onDisk;
            t.write(name, "串1->a\r\n串2->b\r\n");
            t.platform.existingFiles << t.path(name);
        }
    }
    slotField(t, digit)->setText(field);

    t.window->dispatchHotKey(ctrl, unsigned('0' + digit));
    if (found) {
        QVERIFY(started(t));
        QCOMPARE(ran(t), (QStringList {"串1->a", "串2->b"}));
        QVERIFY(t.questions.isEmpty());
        finishRun(t);
    } else {
        QVERIFY(!started(t));
        QCOMPARE(t.questions, QStringList {"注意：|文件不存在!"});
    }
    QCOMPARE(t.editor()->toPlainText(), QStringLiteral("串9->default"));
    QCOMPARE(t.read(QStringLiteral("ZtFiles/Quorvel.zt")), QByteArray("串9->default"));
}

QTEST_MAIN(TestHotKeys)
#include "tst_hotkeys.moc"
