// The recorder's conversion: recorded events into lines, typed text into 粘贴 lines, and both
// replayed on the real interpreter against the recording fake.
#include "engine/recording.h"
#include "scriptrun.h"

#include <QRandomGenerator>
#include <QtTest>

using recording::InputEvent;
using recording::Options;
using Delays = recording::Options::Delays;
Q_DECLARE_METATYPE(Options::Delays)

class TstRecording : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void pasteLines_data();
    void pasteLines();
    void pasteLinesTypeTheText();
    void replayDoesWhatWasRecorded();
};

namespace {

// Events written short: "c1:x,y" clicks button 1 (d1/u1 down and up), "k:K" taps a key
// (kd/ku down and up), "t:text" types text ("_" a space), "~ms" waits. A key K is a name of
// the table below or a code, with "=text" for what it types and "?name" for the system's name
// (no code: "?Name" alone). Every event comes 10 ms after the one before.
QVector<InputEvent> events(const QString &notation)
{
    static const QHash<QString, int> codes {{"Ctrl", 17}, {"RCtrl", 163}, {"Shift", 16},
        {"Alt", 18}, {"LAlt", 164}, {"LWin", 91}, {"Enter", 13}, {"Tab", 9}, {"BS", 8}, {"Esc", 27},
        {"Del", 46}, {"Down", 40}, {"Plus", 107}, {"Slash", 111}};
    QVector<InputEvent> list;
    qint64 t = 1000;
    const auto add = [&](InputEvent::Kind kind, const QString &arg) {
        InputEvent e;
        e.kind = kind;
        e.timeMs = t += 10;
        if (kind == InputEvent::ButtonDown || kind == InputEvent::ButtonUp) {
            e.button = arg.section(':', 0, 0).toInt();
            e.position = QPoint(
                arg.section(':', 1).section(',', 0, 0).toInt(), arg.section(',', 1).toInt());
        } else {
            const QString key = arg.section('=', 0, 0).section('?', 0, 0);
            e.virtualKey = key.isEmpty()
                ? -1
                : codes.value(key, key.size() == 1 ? key.at(0).unicode() : key.toInt());
            e.text = arg.section('=', 1);
            e.keyName = arg.section('?', 1);
        }
        list << e;
    };
    for (const QString &token : notation.split(' ', Qt::SkipEmptyParts)) {
        const QString arg = token.section(':', 1);
        if (token.startsWith('~')) {
            t += token.mid(1).toInt();
        } else if (token.startsWith('t')) {
            const QString typed = QString(arg).replace('_', ' ');
            for (const QChar c : typed) {
                const int code = c.isLetterOrNumber() && c.unicode() < 128 ? c.toUpper().unicode()
                    : c == ' '                                             ? 32
                                                                           : -1;
                add(InputEvent::KeyDown, QStringLiteral("%1=%2").arg(code).arg(c));
                add(InputEvent::KeyUp, QString::number(code));
            }
        }
        if (token.startsWith('d') || token.startsWith('c'))
            add(InputEvent::ButtonDown, token.mid(1));
        if (token.startsWith('u') || token.startsWith('c'))
            add(InputEvent::ButtonUp, token.mid(1));
        if (token.startsWith("kd:") || token.startsWith("k:"))
            add(InputEvent::KeyDown, arg);
        if (token.startsWith("ku:") || token.startsWith("k:"))
            add(InputEvent::KeyUp, arg.section('=', 0, 0));
    }
    return list;
}

QStringList split(const char *lines)
{
    return QString::fromUtf8(lines).split('|', Qt::SkipEmptyParts);
}

} // namespace

void TstRecording::lines_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<Options::Delays>("delays");
    QTest::addColumn<int>("fixedMs");
    QTest::addColumn<QStringList>("lines");
    // Rows without a mode have no pauses: a fixed pause of 0.
    const auto row = [](const char *name, const char *notation, const char *lines,
                         Delays delays = Delays::Fixed, int fixedMs = 0) {
        QTest::newRow(name) << QString::fromUtf8(notation) << delays << fixedMs << split(lines);
    };
    const Delays measured = Delays::AsRecorded;
    row("click", "c1:100,200", "鼠标->100,200|鼠标->左键单击");
    row("click where the pointer is", "c1:5,5 ~990 c1:5,5",
        "鼠标->5,5|鼠标->左键单击|延时->1000|鼠标->左键单击", measured);
    row("double click", "c1:5,5 c1:6,4", "鼠标->5,5|鼠标->左键双击");
    row("triple click", "c1:5,5 c1:5,5 c1:5,5", "鼠标->5,5|鼠标->左键双击|鼠标->左键单击");
    row("clicks too slow", "c1:5,5 ~490 c1:5,5",
        "鼠标->5,5|鼠标->左键单击|延时->500|鼠标->左键单击", measured);
    row("clicks too far apart", "c1:5,5 c1:10,5",
        "鼠标->5,5|鼠标->左键单击|鼠标->10,5|鼠标->左键单击");
    row("drag", "d1:10,20 ~290 u1:400,20",
        "鼠标->10,20|鼠标->左键按下|延时->300|鼠标->400,20|鼠标->左键提起", measured);
    row("left never released", "d1:10,20", "// 录制结束时左键仍按着|鼠标->10,20|鼠标->左键按下");
    row("right click", "c3:5,5", "鼠标->5,5|鼠标->右键单击");
    row("middle click", "c2:7,8", "// 中键单击 (7,8)：脚本中没有对应的指令");
    row("right drag, button 8", "d3:1,1 u3:50,1 c8:2,2",
        "// 右键拖动 (1,1)→(50,1)：脚本中没有对应的指令|// 鼠标按键8单击 "
        "(2,2)：脚本中没有对应的指令");
    row("left of the screen", "c1:-100,20", "鼠标->0,0(-100*20)|鼠标->左键单击");
    row("combination", "kd:Ctrl kd:C=c ku:C ku:Ctrl", "键盘->Ctrl+C");
    row("modifier order, right-side codes", "kd:Shift kd:LAlt kd:RCtrl k:Esc",
        "键盘->Ctrl+Shift+Alt+Esc");
    row("logo key", "kd:LWin k:D=d", "键盘->LWin+D");
    row("Shift in the text", "kd:Shift kd:A=A ku:A ku:Shift t:b", "粘贴->Ab");
    row("Shift with a key", "kd:Shift k:Tab ku:Shift", "键盘->Shift+Tab");
    row("Backspace takes back", "t:abc k:BS k:BS t:x", "粘贴->ax");
    row("Backspace past the run", "t:a k:BS k:BS", "键盘->Backspace");
    row("Enter and Tab end runs", "t:ab k:Enter t:c k:Tab",
        "粘贴->ab|键盘->Enter|粘贴->c|键盘->Tab");
    row("control characters are no text", "k:Enter=\r k:BS=\b t:a",
        "键盘->Enter|键盘->Backspace|粘贴->a");
    row("spaces at the ends", "t:__a_", "键盘->Space*2|粘贴->a|键盘->Space");
    row("modifier tap", "k:Alt t:x", "键盘->Alt|粘贴->x");
    row("modifiers tapped together", "kd:Ctrl kd:Shift ku:Shift ku:Ctrl", "键盘->Ctrl+Shift");
    row("key repeat", "kd:Down kd:Down kd:Down ku:Down kd:A=a kd:A=a", "键盘->DOWN*3|粘贴->aa");
    row("keypad + repeated, with Ctrl", "kd:Plus kd:Plus ku:Plus kd:Ctrl k:Plus",
        "键盘->+|键盘->+|按下->Ctrl|键盘->+|抬起->Ctrl");
    row("keypad / with Ctrl repeated", "kd:Ctrl kd:Slash kd:Slash", "键盘->Ctrl+/|键盘->Ctrl+/");
    row("unknown keys", "k:?XF86AudioPlay kd:Ctrl k:188?comma ku:Ctrl k:?a/*b#[",
        "// 无法录制的按键：XF86AudioPlay|// 无法录制的按键：Ctrl+comma|// 无法录制的按键：a/ "
        "*b＃[");
    row("modifier held for a click", "kd:Ctrl c1:10,10 k:C ~190 ku:Ctrl",
        "按下->Ctrl|鼠标->10,10|鼠标->左键单击|键盘->C|延时->210|抬起->Ctrl", measured);
    row("modifier still held at the end", "kd:Shift c1:10,10",
        "按下->Shift|鼠标->10,10|鼠标->左键单击|抬起->Shift");
    row("hotkey at the start", "ku:R ku:Alt ku:Ctrl c1:5,5", "鼠标->5,5|鼠标->左键单击");
    row("hotkey at the end", "t:ab kd:Ctrl kd:Alt kd:R ku:R ku:Alt ku:Ctrl", "粘贴->ab");
    row("hotkey in between", "k:Tab kd:Ctrl kd:Q kd:Q ku:Q ku:Ctrl k:Tab", "键盘->Tab|键盘->Tab");
    row("other modifiers are no hotkey", "kd:Ctrl kd:Shift k:R", "键盘->Ctrl+Shift+R");
    row("releases without presses", "ku:A ku:Enter ku:Shift t:x", "粘贴->x");
    row("pauses as recorded", "c1:1,1 ~5 k:Enter ~1224 t:ab ~290 k:Tab",
        "鼠标->1,1|鼠标->左键单击|键盘->Enter|延时->1244|粘贴->ab|延时->310|键盘->Tab", measured);
    row("pauses rounded", "c1:1,1 ~5 k:Enter ~1224 k:Tab ~40 k:Tab",
        "鼠标->1,1|鼠标->左键单击|键盘->Enter|延时->1200|键盘->Tab|延时->100|键盘->Tab",
        Delays::Rounded);
    row("pauses fixed", "c1:1,1 ~5 k:Enter ~1224 k:Tab",
        "鼠标->1,1|鼠标->左键单击|延时->150|键盘->Enter|延时->150|键盘->Tab", Delays::Fixed, 150);
    row("comments take no pause", "c1:1,1 ~490 c2:1,1 ~500 k:Enter",
        "鼠标->1,1|鼠标->左键单击|// 中键单击 (1,1)：脚本中没有对应的指令|延时->1020|键盘->Enter",
        measured);
}

void TstRecording::lines()
{
    QFETCH(QString, events);
    QFETCH(Options::Delays, delays);
    QFETCH(int, fixedMs);
    QFETCH(QStringList, lines);
    Options options;
    options.delays = delays;
    options.fixedDelayMs
        = delays == Delays::Fixed && QByteArray(QTest::currentDataTag()).contains("pause") ? 150
                                                                                           : 0;
    options.ownHotKeys = {{3, 'R'}, {2, 'Q'}}; // Ctrl+Alt+R, Ctrl+Q
    QCOMPARE(recording::linesOf(::events(events), options).join(" | "), lines.join(" | "));
}

void TstRecording::pasteLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    const auto row = [](const char *text, const char *lines) {
        const QString tag = QString::fromUtf8(text).replace('\n', "\\n").replace('\r', "\\r");
        QTest::newRow(qPrintable(tag)) << QString::fromUtf8(text) << split(lines);
    };
    row("a//b", "粘贴->a/|粘贴->/b");
    row("a->b", "粘贴->a-|粘贴->>b");
    row("/*x*/", "粘贴->/|粘贴->*x*|粘贴->/");
    row("#insert x #: #] # y", "粘贴->#|粘贴->insert x #|粘贴->: #|粘贴->] # y");
    row("5>>", "粘贴->5>|粘贴->>");
    row("a>>", "粘贴->a>|粘贴->>");
    row("x[变2]", "粘贴->x[变2|粘贴->]");
    row("[复制]", "粘贴->[复制|粘贴->]");
    row("[串1] ", "粘贴->[串1|粘贴->]|键盘->Space");
    row(" a\tb\t", "键盘->Space|粘贴->a\tb|键盘->Tab");
    row("a\r\nb\n", "粘贴->a|键盘->Enter|粘贴->b|键盘->Enter|");
    row("\xe3\x80\x80(清空)", "// 粘贴无法输入首尾的空白字符 U+3000|粘贴->(清空)");
    row("", "");
}

void TstRecording::pasteLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(recording::pasteLines(text), lines);
}

namespace {

// What a replay did, with each 粘贴 line's clipboard text in place of its calls.
QStringList replayCalls(const QStringList &lines)
{
    const QStringList prepared = preparation::prepareFull(lines.join('\n'));
    ScriptRun run;
    const RunRecord record = run.runList(prepared);
    const QList<QStringList> executed = record.lines();
    QStringList calls;
    int pastes = 0;
    for (int i = 0; i < prepared.size() && i < executed.size(); ++i) {
        if (prepared.at(i).startsWith(QStringLiteral("粘贴->")))
            calls << QStringLiteral("paste:") + record.clipboardWrites.value(pastes++);
        else
            calls << executed.at(i);
    }
    if (!record.lastError().isEmpty() || executed.size() != prepared.size())
        calls << QStringLiteral("error:") + record.lastError();
    return calls;
}

// Calls in a form that tells what reached the desktop: text typed by a paste or by tapping
// Space, Tab or Enter as one "type:" per character, no pauses, no move to where the pointer is.
QStringList normalized(const QStringList &calls)
{
    static const QHash<QString, QChar> typing {{"32", ' '}, {"9", '\t'}, {"13", '\n'}};
    QStringList out;
    QString pointer;
    for (int i = 0; i < calls.size(); ++i) {
        const QString &call = calls.at(i);
        const QString code = call.section(':', 1);
        if (call.startsWith(QLatin1String("paste:"))) {
            for (const QChar c : call.mid(6))
                out << QStringLiteral("type:") + c;
        } else if (call.startsWith(QLatin1String("keyDown:")) && typing.contains(code)
            && calls.value(i + 1) == QStringLiteral("keyUp:") + code) {
            out << QStringLiteral("type:") + typing.value(code);
            ++i;
        } else if (call.startsWith(QLatin1String("pointer:"))) {
            if (call != pointer)
                out << call;
            pointer = call;
        } else if (!call.startsWith(QLatin1String("pause:"))) {
            out << call;
        }
    }
    return out;
}

} // namespace

// Random texts of hard pieces, short ones often; the lines of fifty texts run as one script.
void TstRecording::pasteLinesTypeTheText()
{
    const QStringList hard {"/", "*", "#", ":", "：", "[", "]", "串", "变", "1", ">", "-", "insert",
        "define", "复制", " ", "\t", "a", "你", "(", "清空", ")", "\n",
        // and whole forms, which random atoms seldom make
        "[串1]", "[变2]", "[复制]", "12>>", "->", "//", "/*", "*/", "#insert ", "#define",
        "#:", "#["};
    QRandomGenerator random(42);
    for (int batch = 0; batch < 40; ++batch) {
        QString texts;
        QStringList lines;
        for (int k = 0; k < 50; ++k) {
            QString text;
            for (int n = 1 + random.bounded(random.bounded(2) ? 4 : 10); n > 0; --n)
                text += hard.at(random.bounded(hard.size()));
            texts += text;
            lines << recording::pasteLines(text);
        }
        QVERIFY2(normalized(replayCalls(lines)) == normalized({"paste:" + texts}),
            qPrintable(lines.join(" | ")));
    }
}

namespace {

// A random recording of the gestures a user makes, with the calls its replay must make (a
// combination's keys come up in the order they went down, as 键盘 releases them).
struct Recording
{
    QRandomGenerator random;
    QVector<InputEvent> events;
    QStringList calls;
    qint64 t = 1000;

    void key(InputEvent::Kind kind, int code, const QString &text = {})
    {
        InputEvent e;
        e.kind = kind;
        e.timeMs = t += 10;
        e.virtualKey = code;
        e.text = text;
        events << e;
    }
    void tap(int code, const QString &text = {})
    {
        key(InputEvent::KeyDown, code, text);
        key(InputEvent::KeyUp, code);
    }
    void button(InputEvent::Kind kind, int button, const QPoint &at)
    {
        InputEvent e;
        e.kind = kind;
        e.timeMs = t += 10;
        e.button = button;
        e.position = at;
        events << e;
    }
    QPoint place() { return QPoint(random.bounded(-1, 4) * 100, random.bounded(4) * 100); }
    QString pointer(const QPoint &p)
    {
        return QStringLiteral("pointer:%1,%2").arg(p.x()).arg(p.y());
    }

    void click(int b, const QPoint &at)
    {
        button(InputEvent::ButtonDown, b, at);
        button(InputEvent::ButtonUp, b, at);
        calls << (b == 1 ? QStringList {"mouse:leftDown", "mouse:leftUp"}
                         : QStringList {"mouse:rightDown", "mouse:rightUp"});
    }
    void type()
    {
        const QString chars = QStringLiteral("aZ9 /*#>-[]:");
        for (int n = 1 + random.bounded(6); n > 0; --n) {
            const QChar c = chars.at(random.bounded(chars.size()));
            const bool upper = c.isUpper();
            if (upper)
                key(InputEvent::KeyDown, 16);
            tap(c.isLetterOrNumber() ? c.toUpper().unicode() : c == ' ' ? 32 : -1, c);
            if (upper)
                key(InputEvent::KeyUp, 16);
            if (random.bounded(4) == 0) { // a typo taken back
                tap('Q', QStringLiteral("q"));
                tap(8);
            }
            calls << QStringLiteral("type:") + c;
        }
    }
    void combination(const QVector<int> &keys)
    {
        for (const int k : keys)
            key(InputEvent::KeyDown, k,
                k == keys.last() && k >= 'A' && k <= 'Z' ? QString(QChar(k).toLower()) : QString());
        for (auto it = keys.crbegin(); it != keys.crend(); ++it)
            key(InputEvent::KeyUp, *it);
        for (const char *kind : {"keyDown:%1", "keyUp:%1"})
            for (const int k : keys)
                calls << QString::fromLatin1(kind).arg(k);
    }
    void gesture();
};

void Recording::gesture()
{
    const QPoint at = place();
    switch (random.bounded(9)) {
    case 0:
    case 1: // a click, or a double click
        calls << pointer(at);
        for (int n = random.bounded(1, 3); n > 0; --n)
            click(1, at);
        break;
    case 2: {
        const QPoint to = at + QPoint(50, 0);
        button(InputEvent::ButtonDown, 1, at);
        button(InputEvent::ButtonUp, 1, to);
        calls << pointer(at) << "mouse:leftDown" << pointer(to) << "mouse:leftUp";
        break;
    }
    case 3:
        calls << pointer(at);
        click(3, at);
        break;
    case 4:
        type();
        break;
    case 5: {
        QVector<int> keys
            = QVector<QVector<int>> {{17}, {18}, {91}, {17, 16}, {17, 18}}.at(random.bounded(5));
        combination(keys << int("ACDEFTXZ"[random.bounded(8)]));
        break;
    }
    case 6:
        combination({QVector<int> {13, 9, 27, 46, 116, 16, 17, 18}.at(random.bounded(8))});
        break;
    case 7: {
        const int n = 2 + random.bounded(3);
        for (int i = 0; i < n; ++i) { // held down until it repeats
            key(InputEvent::KeyDown, 40);
            calls << "keyDown:40"
                  << "keyUp:40";
        }
        key(InputEvent::KeyUp, 40);
        break;
    }
    case 8: // Ctrl held for a click and keypad +
        key(InputEvent::KeyDown, 17);
        calls << "keyDown:17" << pointer(at);
        click(1, at);
        tap(107);
        key(InputEvent::KeyUp, 17);
        calls << QStringList {"keyDown:107", "keyUp:107", "keyUp:17"};
        break;
    }
    t += random.bounded(0, 1200);
}

} // namespace

void TstRecording::replayDoesWhatWasRecorded()
{
    for (int seed = 0; seed < 80; ++seed) {
        Recording r {QRandomGenerator(seed)};
        // Started and stopped by the hotkey Ctrl+Alt+R: its releases first, its presses last.
        for (const int key : {int('R'), 18, 17})
            r.key(InputEvent::KeyUp, key);
        for (int n = 1 + r.random.bounded(10); n > 0; --n)
            r.gesture();
        for (const int key : {17, 18, int('R')})
            r.key(InputEvent::KeyDown, key);
        Options options;
        options.delays = Delays(r.random.bounded(3));
        options.ownHotKeys = {{3, 'R'}};
        const QStringList lines = recording::linesOf(r.events, options);
        QVERIFY2(normalized(replayCalls(lines)) == normalized(r.calls),
            qPrintable(QString::number(seed) + ": " + lines.join(" | ")));
    }
}

QTEST_GUILESS_MAIN(TstRecording)
#include "tst_recording.moc"
