// Mouse, keyboard, paste and date commands of the built program on a private Xvfb, watched by
// xdotool, xclip and a small target window that logs what it receives. Each case runs a copy
// of the binary under a name of its own in a temporary program folder (file-start mode).
#include "e2etest.h"

#include <QtTest>

#include <X11/keysym.h>

class TestE2eInput : public E2eTest
{
    Q_OBJECT

public:
    TestE2eInput()
        : E2eTest(QStringLiteral("input"))
    {
    }

private slots:
    void initTestCase();
    void init();

    void mouseMoves_data();
    void mouseMoves();
    void buttons_data();
    void buttons();
    void keys_data();
    void keys();
    void everyKeyName();
    void paste_data();
    void paste();
    void dateToClipboard();

private:
    bool startTarget();
    // Runs script text once with the program and waits for its end.
    bool runScript(const QString &text, int timeoutMs = 30000)
    {
        return runToEnd(m_copy->writeText(QStringLiteral("input.zt"), text), timeoutMs);
    }
    QList<QByteArrayList> targetLog() const;
    QList<quint64> pressedKeys() const;
    QString targetText() const;

    QString m_targetWindow;
    QString m_targetLog;
    QRect m_pad; // on the screen
};

void TestE2eInput::initTestCase()
{
    // No clipboard keeper: a paste must be served by the program itself. The date test starts
    // one for itself, so the tool must be there.
    QVERIFY2(startSession(XvfbSession::Options(), {QStringLiteral("xclipboard")},
                 {QStringLiteral(QUORVEL_TARGET_WINDOW)}),
        qPrintable(failure()));
}

void TestE2eInput::init()
{
    QVERIFY2(startCopy(), qPrintable(failure()));
    QVERIFY(startTarget());
}

bool TestE2eInput::startTarget()
{
    m_targetLog = m_copy->filePath(QStringLiteral("target.log"));
    // Stopped with the copy.
    if (!m_copy->startOther(QStringLiteral(QUORVEL_TARGET_WINDOW), {m_targetLog}))
        return false;
    QList<QByteArrayList> log;
    QElapsedTimer timer;
    timer.start();
    while ((log = targetLog()).isEmpty() && timer.elapsed() < 15000)
        QThread::msleep(50);
    if (log.isEmpty() || log.first().value(0) != "ready" || log.first().size() != 5)
        return false;
    m_pad = QRect(log.first().at(1).toInt(), log.first().at(2).toInt(), log.first().at(3).toInt(),
        log.first().at(4).toInt());
    m_targetWindow = m_x->waitForWindow({QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
        QStringLiteral("^QuorvelInputTarget$")});
    // The keyboard focus: script keys go to whatever window has it.
    return !m_targetWindow.isEmpty()
        && m_x->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_targetWindow})
               .ok();
}

QList<QByteArrayList> TestE2eInput::targetLog() const
{
    QFile file(m_targetLog);
    QList<QByteArrayList> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << line.split(' ');
    }
    return lines;
}

QList<quint64> TestE2eInput::pressedKeys() const
{
    QList<quint64> keys;
    for (const QByteArrayList &line : targetLog()) {
        if (line.value(0) == "keypress")
            keys << line.value(1).mid(2).toULongLong(nullptr, 16);
    }
    return keys;
}

QString TestE2eInput::targetText() const
{
    QString text;
    for (const QByteArrayList &line : targetLog()) {
        if (line.value(0) == "text")
            text = QString::fromUtf8(QByteArray::fromPercentEncoding(line.value(1)));
    }
    return text;
}

void TestE2eInput::mouseMoves_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QPoint>("end");

    QTest::newRow("absolute") << QPoint(10, 10) << "鼠标->738,486" << QPoint(738, 486);
    QTest::newRow("relative") << QPoint(400, 300) << "鼠标->-10*+5" << QPoint(390, 305);
    QTest::newRow("relative per pass")
        << QPoint(100, 100) << "执行->3\n鼠标->10>>>*0" << QPoint(160, 100);
    QTest::newRow("fixed point") << QPoint(10, 10) << "鼠标->500,300(10*-4)" << QPoint(510, 296);
    QTest::newRow("fixed point per pass")
        << QPoint(10, 10) << "执行->2\n鼠标->500,300（10>>>*-4）" << QPoint(520, 296);
    QTest::newRow("stored and restored")
        << QPoint(321, 123) << "鼠标->(变1)\n鼠标->5,5\n鼠标->[变1]" << QPoint(321, 123);
}

void TestE2eInput::mouseMoves()
{
    QFETCH(QPoint, start);
    QFETCH(QString, script);
    QFETCH(QPoint, end);

    QVERIFY(m_x->xdotool({QStringLiteral("mousemove"), QString::number(start.x()),
                             QString::number(start.y())})
                .ok());
    QCOMPARE(m_x->pointer(), start);
    QVERIFY(runScript(script));
    QCOMPARE(m_x->pointer(), end);
}

void TestE2eInput::buttons_data()
{
    QTest::addColumn<QString>("script"); // {x},{y}: the pad's centre; {x2}: 20 pixels right of it
    QTest::addColumn<QStringList>("events"); // {x},{y}, {x2}: in pad coordinates

    QTest::newRow("left click") << "鼠标->{x},{y}\n鼠标->左键单击"
                                << QStringList {"mousepress 1 {x} {y}", "mouserelease 1 {x} {y}"};
    QTest::newRow("right click") << "鼠标->{x},{y}\n鼠标->右键单击"
                                 << QStringList {"mousepress 3 {x} {y}", "mouserelease 3 {x} {y}"};
    QTest::newRow("double click") << "鼠标->{x},{y}\n鼠标->左键双击"
                                  << QStringList {"mousepress 1 {x} {y}", "mouserelease 1 {x} {y}",
                                         "mousedouble 1 {x} {y}", "mouserelease 1 {x} {y}"};
    QTest::newRow("drag") << "鼠标->{x},{y}\n鼠标->左键按下\n鼠标->{x2},{y}\n鼠标->左键提起"
                          << QStringList {"mousepress 1 {x} {y}", "mouserelease 1 {x2} {y}"};
}

void TestE2eInput::buttons()
{
    QFETCH(QString, script);
    QFETCH(QStringList, events);

    const QPoint local(m_pad.width() / 2, m_pad.height() / 2);
    const QPoint centre = m_pad.topLeft() + local;
    script.replace(QLatin1String("{x2}"), QString::number(centre.x() + 20))
        .replace(QLatin1String("{x}"), QString::number(centre.x()))
        .replace(QLatin1String("{y}"), QString::number(centre.y()));
    for (QString &e : events) {
        e.replace(QLatin1String("{x2}"), QString::number(local.x() + 20))
            .replace(QLatin1String("{x}"), QString::number(local.x()))
            .replace(QLatin1String("{y}"), QString::number(local.y()));
    }
    QVERIFY(runScript(script));

    const auto mouseEvents = [this] {
        QStringList seen;
        for (const QByteArrayList &line : targetLog()) {
            if (line.value(0).startsWith("mouse"))
                seen << QString::fromLatin1(line.join(' '));
        }
        return seen;
    };
    QTRY_COMPARE_WITH_TIMEOUT(mouseEvents(), events, 3000);
}

void TestE2eInput::keys_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<quint64>>("pressed"); // keysyms, in order
    QTest::addColumn<QString>("text"); // what the line edit holds in the end

    using Keys = QList<quint64>;
    QTest::newRow("letter") << "键盘->a" << Keys {XK_a} << "a";
    QTest::newRow("Shift+a") << "键盘->Shift+a" << Keys {XK_Shift_L, XK_A} << "A";
    QTest::newRow("repeat") << "键盘->a*3" << Keys {XK_a, XK_a, XK_a} << "aaa";
    QTest::newRow("combination repeated with pause")
        << "键盘->Shift+a+b*2(30)" << Keys {XK_Shift_L, XK_A, XK_B, XK_Shift_L, XK_A, XK_B}
        << "ABAB";
    QTest::newRow("keypad digit") << "键盘->1" << Keys {XK_KP_1} << "1";
    QTest::newRow("held Shift") << "按下->Shift\n键盘->c\n抬起->Shift" << Keys {XK_Shift_L, XK_C}
                                << "C";
    QTest::newRow("Ctrl combination") << "键盘->a\n键盘->b\n键盘->Ctrl+a\n键盘->Delete"
                                      << Keys {XK_a, XK_b, XK_Control_L, XK_a, XK_Delete} << "";
    QTest::newRow("per pass") << "执行->2\n键盘->x>>" << Keys {XK_x, XK_x, XK_x} << "xxx";
}

void TestE2eInput::keys()
{
    QFETCH(QString, script);
    QFETCH(QList<quint64>, pressed);
    QFETCH(QString, text);

    QVERIFY(runScript(script));
    QTRY_COMPARE_WITH_TIMEOUT(pressedKeys(), pressed, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), text, 3000);
}

void TestE2eInput::everyKeyName()
{
    // Every name of the key table, one line each, arrives as its key. The lock keys come in
    // pairs (Num Lock twice over), so every lock is off again before the letters.
    QList<QPair<QString, quint64>> names {{"esc", XK_Escape}, {"Esc", XK_Escape},
        {"enter", XK_Return}, {"Enter", XK_Return}, {"tab", XK_Tab}, {"Tab", XK_Tab},
        {"capsLock", XK_Caps_Lock}, {"CapsLock", XK_Caps_Lock}, {"shift", XK_Shift_L},
        {"Shift", XK_Shift_L}, {"ctrl", XK_Control_L}, {"Ctrl", XK_Control_L}, {"alt", XK_Alt_L},
        {"Alt", XK_Alt_L}, {"space", XK_space}, {"Space", XK_space}, {"backspace", XK_BackSpace},
        {"Backspace", XK_BackSpace}, {"lwin", XK_Super_L}, {"LWin", XK_Super_L},
        {"rwin", XK_Super_R}, {"RWin", XK_Super_R}, {"mouseright", XK_Menu},
        {"MouseRight", XK_Menu}, {"insert", XK_Insert}, {"Insert", XK_Insert}, {"home", XK_Home},
        {"Home", XK_Home}, {"pageup", XK_Prior}, {"PageUp", XK_Prior}, {"pgup", XK_Prior},
        {"PgUp", XK_Prior}, {"pagedown", XK_Next}, {"PageDown", XK_Next}, {"pgdn", XK_Next},
        {"PgDn", XK_Next}, {"end", XK_End}, {"End", XK_End}, {"delete", XK_Delete},
        {"Delete", XK_Delete}, {"del", XK_Delete}, {"Del", XK_Delete}, {"left", XK_Left},
        {"LEFT", XK_Left}, {"up", XK_Up}, {"UP", XK_Up}, {"right", XK_Right}, {"RIGHT", XK_Right},
        {"down", XK_Down}, {"DOWN", XK_Down}, {"numlock", XK_Num_Lock}, {"nmlk", XK_Num_Lock},
        {"NumLock", XK_Num_Lock}, {"NmLK", XK_Num_Lock}, {".", XK_KP_Decimal},
        {"*", XK_KP_Multiply}, {"+", XK_KP_Add}, {"-", XK_KP_Subtract}, {"/", XK_KP_Divide},
        {"=", XK_equal}};
    for (int i = 0; i < 12; ++i) {
        names.append({QStringLiteral("f%1").arg(i + 1), quint64(XK_F1 + i)});
        names.append({QStringLiteral("F%1").arg(i + 1), quint64(XK_F1 + i)});
    }
    for (int d = 0; d <= 9; ++d)
        names.append({QString::number(d), quint64(XK_KP_0 + d)});
    // Both cases press the key without Shift.
    for (int i = 0; i < 26; ++i) {
        names.append({QString(QLatin1Char(char('A' + i))), quint64(XK_a + i)});
        names.append({QString(QLatin1Char(char('a' + i))), quint64(XK_a + i)});
    }
    QCOMPARE(names.size(), 146);

    QString script;
    for (const auto &n : qAsConst(names))
        script += QStringLiteral("键盘->") + n.first + QLatin1Char('\n');
    QVERIFY(runScript(script, 60000));
    QTRY_COMPARE_WITH_TIMEOUT(pressedKeys().size(), names.size(), 3000);
    const QList<quint64> pressed = pressedKeys();
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY2(pressed.at(i) == names.at(i).second,
            qPrintable(QStringLiteral("%1: got 0x%2, want 0x%3")
                           .arg(names.at(i).first)
                           .arg(pressed.at(i), 0, 16)
                           .arg(names.at(i).second, 0, 16)));
    }
}

void TestE2eInput::paste_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("text");

    // The pause after the paste keeps the program (the clipboard's owner) alive until the
    // target has fetched the text: without a clipboard keeper the text leaves with it.
    QTest::newRow("Chinese text") << "粘贴->中文测试abc\n延时->300"
                                  << "中文测试abc";
    QTest::newRow("c>> per pass") << "执行->3\n粘贴->a>>\n延时->300"
                                  << "abc";
    QTest::newRow("from [串n]") << "串1->你好\n串1->[space]\n串1->世界\n粘贴->[串1]\n延时->300"
                                << "你好 世界";
}

void TestE2eInput::paste()
{
    QFETCH(QString, script);
    QFETCH(QString, text);

    QVERIFY(m_x->setClipboardText("stale"));
    QVERIFY(runScript(script));
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), text, 3000);
    // Ctrl+V arrived as Control and V.
    QCOMPARE(pressedKeys().mid(0, 2), (QList<quint64> {XK_Control_L, XK_v}));
}

void TestE2eInput::dateToClipboard()
{
    // A keeper holds the clipboard after the program has ended, as a desktop's does.
    QVERIFY(m_x->startClipboardKeeper());

    const QDate before = QDate::currentDate();
    QVERIFY(runScript(QStringLiteral("日期->yyyy-MM-dd")));
    const QDate after = QDate::currentDate();
    QTRY_VERIFY_WITH_TIMEOUT(m_x->clipboardText() == before.toString(Qt::ISODate).toLatin1()
            || m_x->clipboardText() == after.toString(Qt::ISODate).toLatin1(),
        3000);
    m_x->stopClipboardKeeper();
}

QTEST_GUILESS_MAIN(TestE2eInput)
#include "tst_e2e_input.moc"
