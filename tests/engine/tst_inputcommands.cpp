// 鼠标, 键盘, 按下, 抬起 and 粘贴 through the real interpreter, against the recording fake.
#include "engine/keynames.h"
#include "scriptrun.h"

#include <QtTest>

class TstInputCommands : public QObject
{
    Q_OBJECT

private slots:
    void keyNameTable();
    void mouse_data();
    void mouse();
    void keyboard_data();
    void keyboard();
    void keyRepeatStops();
    void paste_data();
    void paste();
    void pasteStoppedBeforeCtrlV();
};

namespace {

QStringList allCalls(const RunRecord &record)
{
    QStringList calls;
    for (const QStringList &line : record.lines())
        calls << line;
    return calls;
}

QStringList tapOf(int code, int pause = 20)
{
    QStringList calls {
        QStringLiteral("keyDown:%1").arg(code), QStringLiteral("keyUp:%1").arg(code)};
    if (pause >= 0)
        calls << QStringLiteral("pause:%1").arg(pause);
    return calls;
}

QStringList times(const QStringList &calls, int n)
{
    QStringList all;
    for (int i = 0; i < n; ++i)
        all << calls;
    return all;
}

} // namespace

void TstInputCommands::keyNameTable()
{
    const QStringList names = keynames::allNames();
    QCOMPARE(names.size(), 146);
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 146);
    const QList<QPair<QString, int>> samples {{"Esc", 27}, {"enter", 13}, {"CapsLock", 20},
        {"LWin", 91}, {"MouseRight", 93}, {"PgUp", 33}, {"pgdn", 34}, {"del", 46}, {"LEFT", 37},
        {"f1", 112}, {"F12", 123}, {"NmLK", 144}, {"0", 96}, {"9", 105}, {".", 110}, {"*", 106},
        {"+", 107}, {"-", 109}, {"/", 111}, {"=", 187}, {"a", 65}, {"Z", 90}};
    for (const auto &s : samples)
        QCOMPARE(keynames::virtualKey(s.first), s.second);
    for (const char *unknown : {"Left", "CTRL", "capslock", "Capslock", "Up", "f13", "10", ""})
        QCOMPARE(keynames::virtualKey(QLatin1String(unknown)), -1);
}

void TstInputCommands::mouse_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("clipboard"); // every clipboard write
    QTest::addColumn<QString>("error"); // "line:text" of the red message, or empty

    const QPoint at(738, 486);
    const QStringList none;
    const QStringList click {"mouse:leftDown", "mouse:leftUp"};

    QTest::newRow("absolute") << "鼠标->100,200" << at << QStringList {"pointer:100,200"} << none
                              << "";
    QTest::newRow("full-width comma")
        << "鼠标->100，200" << at << QStringList {"pointer:100,200"} << none << "";
    QTest::newRow("blank after comma")
        << "鼠标->100, 200" << at << none << none << "1:鼠标->100, 200";
    QTest::newRow("relative") << "鼠标->-10*+5" << at << QStringList {"pointer:728,491"} << none
                              << "";
    QTest::newRow("relative per pass")
        << "执行->3\n鼠标->10>>>*0" << QPoint(100, 100)
        << QStringList {"pointer:110,100", "pointer:130,100", "pointer:160,100"} << none << "";
    QTest::newRow("relative, dy per pass")
        << "执行->2\n鼠标->1*-2>>>" << QPoint(100, 100)
        << QStringList {"pointer:101,98", "pointer:102,94"} << none << "";
    QTest::newRow("fixed point") << "鼠标->500,300(10*-4)" << at << QStringList {"pointer:510,296"}
                                 << none << "";
    QTest::newRow("fixed point per pass")
        << "执行->2\n鼠标->500,300(10>>>*-4)" << at
        << QStringList {"pointer:510,296", "pointer:520,296"} << none << "";
    QTest::newRow("fixed point, mixed brackets")
        << "鼠标->500，300（+10*-4>>>)" << at << QStringList {"pointer:510,296"} << none << "";
    QTest::newRow("to (变n)") << "鼠标->(变2)\n复制->[变2]\n鼠标->（变2）\n复制->[变2]" << at
                              << none << QStringList {"738,486", "738,486"} << "";
    QTest::newRow("to (串n) appends") << "鼠标->(串2)\n鼠标->x（串2）\n复制->[串2]" << at << none
                                      << QStringList {"738,486738,486"} << "";
    QTest::newRow("to (复制)") << "鼠标->(复制)\n鼠标->（复制）" << at << none
                               << QStringList {"738,486", "738,486"} << "";
    QTest::newRow("target before a move")
        << "鼠标->1,2(变1)\n复制->[变1]" << at << none << QStringList {"738,486"} << "";
    QTest::newRow("from [变n]") << "变2->15,25\n鼠标->[变2]" << at << QStringList {"pointer:15,25"}
                                << none << "";
    QTest::newRow("from [复制]") << "复制->7,8\n鼠标->[复制]" << at << QStringList {"pointer:7,8"}
                                 << QStringList {"7,8"} << "";
    QTest::newRow("(变101)") << "鼠标->(变101)" << at << none << none << "1:鼠标->(变101)";
    QTest::newRow("[串0]") << "鼠标->[串0]" << at << none << none << "1:鼠标->[串0]";
    QTest::newRow("left click") << "鼠标->左键单击" << at << click << none << "";
    QTest::newRow("double click") << "鼠标->左键双击" << at
                                  << (click + QStringList {"pause:200"} + click) << none << "";
    QTest::newRow("left down") << "鼠标->左键按下" << at << QStringList {"mouse:leftDown"} << none
                               << "";
    QTest::newRow("left up") << "鼠标->左键提起" << at << QStringList {"mouse:leftUp"} << none
                             << "";
    QTest::newRow("right click") << "鼠标->右键单击" << at
                                 << QStringList {"mouse:rightDown", "mouse:rightUp"} << none << "";
    QTest::newRow("unknown word") << "鼠标->左键" << at << none << none << "1:鼠标->左键";
    QTest::newRow("three factors") << "鼠标->1*2*3" << at << none << none << "1:鼠标->1*2*3";
    QTest::newRow("error ends the run")
        << "鼠标->x\n鼠标->1,1" << at << none << none << "1:鼠标->x";
}

void TstInputCommands::mouse()
{
    QFETCH(QString, script);
    QFETCH(QPoint, cursor);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, clipboard);
    QFETCH(QString, error);

    ScriptRun run;
    run.platform.cursor = cursor;
    const RunRecord record = run.runScript(script);
    QCOMPARE(allCalls(record), calls);
    QCOMPARE(record.clipboardWrites, clipboard);
    QCOMPARE(record.lastError(), error);
}

void TstInputCommands::keyboard_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("errors");

    const QString unknown = QStringLiteral("(按键无法识别)");
    const QStringList ctrlC {"keyDown:17", "keyDown:67", "keyUp:17", "keyUp:67"};
    const QStringList none;

    QTest::newRow("letter") << "键盘->a" << tapOf(65) << "" << 0;
    QTest::newRow("capital is the same key") << "键盘->A" << tapOf(65) << "" << 0;
    QTest::newRow("keypad digit") << "键盘->1" << tapOf(97) << "" << 0;
    QTest::newRow("Enter") << "键盘->Enter" << tapOf(13) << "" << 0;
    QTest::newRow("Left is unknown") << "键盘->Left" << none << "1:键盘->Left" + unknown << 1;
    QTest::newRow("Down is unknown") << "键盘->Down" << none << "1:键盘->Down" + unknown << 1;
    QTest::newRow("+ alone") << "键盘->+" << tapOf(107, -1) << "" << 0;
    QTest::newRow("* alone") << "键盘->*" << tapOf(106, -1) << "" << 0;
    QTest::newRow("- alone") << "键盘->-" << tapOf(109) << "" << 0;
    QTest::newRow("combination") << "键盘->Ctrl+C" << (ctrlC + QStringList {"pause:20"}) << "" << 0;
    QTest::newRow("three keys, released in written order")
        << "键盘->Ctrl+Shift+Esc"
        << QStringList {"keyDown:17", "keyDown:16", "keyDown:27", "keyUp:17", "keyUp:16",
               "keyUp:27", "pause:20"}
        << "" << 0;
    QTest::newRow("Ctrl++") << "键盘->Ctrl++" << QStringList {"keyDown:17", "keyUp:17"}
                            << "1:键盘->Ctrl++" + unknown << 2;
    QTest::newRow("repeat with pause") << "键盘->Tab*3(100)" << times(tapOf(9, 120), 3) << "" << 0;
    QTest::newRow("full-width pause brackets")
        << "键盘->Tab*2（30）" << times(tapOf(9, 50), 2) << "" << 0;
    QTest::newRow("pause before count")
        << "键盘->Tab(100)*3" << none << "1:键盘->Tab(100)*3" + unknown << 1;
    QTest::newRow("count 0") << "键盘->Tab*0" << none << "" << 0;
    QTest::newRow("count not a number") << "键盘->Tab*x" << none << "" << 0;
    QTest::newRow("pause not a number") << "键盘->down(x)" << tapOf(40) << "" << 0;
    QTest::newRow("pause alone") << "键盘->DOWN(500)" << tapOf(40, 520) << "" << 0;
    QTest::newRow("combination repeated")
        << "键盘->Ctrl+C*2(100)" << times(ctrlC + QStringList {"pause:120"}, 2) << "" << 0;
    QTest::newRow("per pass") << "执行->3\n键盘->down>>" << times(tapOf(40), 1 + 2 + 3) << "" << 0;
    QTest::newRow("per pass, combination")
        << "执行->2\n键盘->Ctrl+C>>" << times(ctrlC + QStringList {"pause:20"}, 1 + 2) << "" << 0;
    QTest::newRow("two counts") << "键盘->a*2*3" << none << "1:键盘->a*2*3" + unknown << 1;
    // The unknown key's error ends the repeat: the held Ctrl is still released.
    QTest::newRow("unknown key in a repeated combination")
        << "键盘->Ctrl+Foo*3" << QStringList {"keyDown:17", "keyUp:17"}
        << "1:键盘->Ctrl+Foo*3" + unknown << 2;
    QTest::newRow("from [串n]") << "串1->Tab\n键盘->[串1]" << tapOf(9) << "" << 0;
    QTest::newRow("from [复制]") << "复制->Ctrl+C\n键盘->[复制]"
                                 << (ctrlC + QStringList {"pause:20"}) << "" << 0;
    QTest::newRow("[变101]") << "键盘->[变101]" << none << "1:键盘->[变101]" << 1;
    QTest::newRow("key down") << "按下->Shift" << QStringList {"keyDown:16"} << "" << 0;
    QTest::newRow("key up") << "抬起->ctrl" << QStringList {"keyUp:17"} << "" << 0;
    QTest::newRow("held around a click")
        << "按下->Shift\n鼠标->左键单击\n抬起->Shift"
        << QStringList {"keyDown:16", "mouse:leftDown", "mouse:leftUp", "keyUp:16"} << "" << 0;
    QTest::newRow("key down takes no combination")
        << "按下->Ctrl+C" << none << "1:按下->Ctrl+C" + unknown << 1;
    QTest::newRow("key up, unknown") << "抬起->CTRL" << none << "1:抬起->CTRL" + unknown << 1;
    QTest::newRow("key down from [串n]")
        << "串5->Alt\n按下->[串5]" << QStringList {"keyDown:18"} << "" << 0;
}

void TstInputCommands::keyboard()
{
    QFETCH(QString, script);
    QFETCH(QStringList, calls);
    QFETCH(QString, error);
    QFETCH(int, errors);

    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(allCalls(record), calls);
    QCOMPARE(record.lastError(), error);
    QCOMPARE(record.errorCount(), errors);
}

void TstInputCommands::keyRepeatStops()
{
    // A stop request during a long repeat: the repeat ends within a repetition and the lines
    // after it never run.
    ScriptRun run;
    run.onPause = [&run](int count) {
        if (count == 40) {
            run.thread.executeFlag = false;
            run.thread.waitFlag = false;
        }
    };
    const RunRecord record = run.runScript(QStringLiteral("键盘->Tab*100000(5)\n复制->after"));
    const QStringList calls = record.firstLine();
    // The first pause is the run's own; every tap pauses 25 ms in slices of at most 10 ms.
    const int taps = calls.filter(QStringLiteral("keyDown:9")).size();
    QVERIFY2(taps >= 12 && taps <= 14, qPrintable(QString::number(taps)));
    QCOMPARE(calls.filter(QStringLiteral("keyUp:9")).size(), taps);
    QCOMPARE(record.lines().size(), 1);
    QVERIFY(record.clipboardWrites.isEmpty());
}

void TstInputCommands::paste_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("clipboard");

    QTest::newRow("Chinese text") << "粘贴->您好，世界" << QStringList {"您好，世界"};
    QTest::newRow("empty clears") << "粘贴->" << QStringList {""};
    QTest::newRow("N>>") << "执行->3\n粘贴->7>>" << QStringList {"7", "8", "9"};
    QTest::newRow("c>>") << "执行->3\n粘贴->a>>" << QStringList {"a", "b", "c"};
    QTest::newRow("N>> only as a whole") << "粘贴->x7>>" << QStringList {"x7>>"};
    QTest::newRow("from [串n]") << "串1->ab\n串1->cd\n粘贴->[串1]" << QStringList {"abcd"};
    QTest::newRow("from [变n]") << "变1->5\n变1->2++\n粘贴->[变1]" << QStringList {"7"};
}

void TstInputCommands::paste()
{
    QFETCH(QString, script);
    QFETCH(QStringList, clipboard);

    ScriptRun run;
    run.clipboard = QStringLiteral("before");
    // Ctrl+V goes out only after a read of the clipboard has seen the text.
    run.onClipboardRead = [&run] { run.platform.calls << QStringLiteral("read:") + run.clipboard; };
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, clipboard);

    QStringList expected;
    for (const QString &text : clipboard)
        expected << "pause:50"
                 << "read:" + text << "keyDown:17"
                 << "keyDown:86"
                 << "keyUp:17"
                 << "keyUp:86"
                 << "pause:50";
    QCOMPARE(allCalls(record), expected);
    QCOMPARE(record.lastError(), QString());
}

void TstInputCommands::pasteStoppedBeforeCtrlV()
{
    ScriptRun run;
    run.onClipboardRead = [&run] {
        run.thread.executeFlag = false;
        run.thread.waitFlag = false;
    };
    const RunRecord record = run.runScript(QStringLiteral("粘贴->text"));
    QCOMPARE(record.clipboardWrites, QStringList {"text"});
    QCOMPARE(record.firstLine(), QStringList {"pause:50"});
}

QTEST_GUILESS_MAIN(TstInputCommands)
#include "tst_inputcommands.moc"
