// The recorder of the built program on a private Xvfb with a window manager: a task done once
// in a small target window with xdotool, between two presses of Ctrl+Alt+R, becomes script
// lines; run with Ctrl+E, they do the same task again in a fresh target window.
#include "e2etest.h"

#include <QElapsedTimer>
#include <QtTest>

class TestE2eRecorder : public E2eTest
{
    Q_OBJECT

public:
    TestE2eRecorder()
        : E2eTest(QStringLiteral("recorder"))
    {
    }

private slots:
    void initTestCase();
    void init();

    void recordedTaskReplays();

private:
    // A target window logging to name; its pad on the screen, or an empty rectangle.
    QRect startTarget(const QString &name, QProcess **process);
    QList<QByteArrayList> targetLog(const QString &name) const;
    // What a target saw, for comparing: the buttons on its pad and its last text.
    QStringList seenBy(const QString &name) const;
    QByteArray defaultScript() const;
    bool xdotool(const QStringList &arguments) { return m_x->xdotool(arguments).ok(); }
};

void TestE2eRecorder::initTestCase()
{
    XvfbSession::Options options;
    options.windowManager = true;
    QVERIFY2(startSession(options, {}, {QStringLiteral(QUORVEL_TARGET_WINDOW)}),
        qPrintable(failure()));
}

void TestE2eRecorder::init()
{
    QVERIFY2(startCopy(), qPrintable(failure()));
    QVERIFY(QDir().mkpath(file(QStringLiteral("ZtFiles"))));
}

QRect TestE2eRecorder::startTarget(const QString &name, QProcess **process)
{
    *process = m_copy->startOther(QStringLiteral(QUORVEL_TARGET_WINDOW), {file(name)});
    QElapsedTimer timer;
    timer.start();
    QList<QByteArrayList> log;
    while ((log = targetLog(name)).isEmpty() && timer.elapsed() < 15000)
        QThread::msleep(50);
    if (!*process || log.isEmpty() || log.first().value(0) != "ready" || log.first().size() != 5)
        return {};
    const QString window = m_x->waitForWindow({QStringLiteral("--onlyvisible"),
        QStringLiteral("--name"), QStringLiteral("^QuorvelInputTarget$")});
    if (window.isEmpty()
        || !xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}))
        return {};
    // Placed by the window manager: the pad's place is known once the frame is there.
    QTest::qWait(300);
    log = targetLog(name);
    const QByteArrayList ready = log.first();
    return QRect(ready.at(1).toInt(), ready.at(2).toInt(), ready.at(3).toInt(), ready.at(4).toInt());
}

QList<QByteArrayList> TestE2eRecorder::targetLog(const QString &name) const
{
    QFile log(file(name));
    QList<QByteArrayList> lines;
    if (!log.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << line.split(' ');
    }
    return lines;
}

QStringList TestE2eRecorder::seenBy(const QString &name) const
{
    QStringList seen;
    QString text;
    for (const QByteArrayList &line : targetLog(name)) {
        if (line.value(0).startsWith("mouse"))
            seen << QString::fromLatin1(line.join(' '));
        else if (line.value(0) == "text")
            text = QString::fromUtf8(QByteArray::fromPercentEncoding(line.value(1)));
    }
    return seen << QStringLiteral("text ") + text;
}

QByteArray TestE2eRecorder::defaultScript() const
{
    QFile script(file(QStringLiteral("ZtFiles/Quorvel.zt")));
    return script.open(QIODevice::ReadOnly) ? script.readAll() : QByteArray();
}

void TestE2eRecorder::recordedTaskReplays()
{
    // Resident and hidden: the window stays out of the way of the target.
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);
    QVERIFY2(!m_x->waitForWindow(windowsOf(app, false), 15000).isEmpty(), outputOf(app));
    QTest::qWait(400); // the hotkeys registered

    QProcess *first = nullptr;
    const QRect pad = startTarget(QStringLiteral("first.log"), &first);
    QVERIFY(!pad.isEmpty());
    const QPoint inPad = pad.center();

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+r")}));
    QTest::qWait(300);
    QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(inPad.x()),
        QString::number(inPad.y()), QStringLiteral("click"), QStringLiteral("1")}));
    QTest::qWait(300);
    QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"),
        QStringLiteral("Hello 42")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("BackSpace")}));
    QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"),
        QStringLiteral("ok")}));
    QTest::qWait(300);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+r")}));
    const QStringList done = seenBy(QStringLiteral("first.log"));
    QCOMPARE(done.last(), QStringLiteral("text ok"));

    // Ctrl+E runs the editor, and saves it as the default script: the recorded lines.
    m_x->stop(first);
    QTest::qWait(500);
    QProcess *second = nullptr;
    const QRect again = startTarget(QStringLiteral("second.log"), &second);
    QCOMPARE(again, pad); // the same place, so the recorded positions hit it
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+e")}));
    QElapsedTimer waited;
    waited.start();
    while (defaultScript().trimmed().isEmpty() && waited.elapsed() < 5000)
        QTest::qWait(50);
    const QByteArray script = defaultScript();
    QVERIFY2(!script.trimmed().isEmpty(),
        "Nothing was recorded: this build's platform cannot record input (the X11 RECORD side "
        "is missing, or the X server lacks the RECORD extension).");
    qInfo("recorded:\n%s", script.constData());

    QTRY_COMPARE_WITH_TIMEOUT(seenBy(QStringLiteral("second.log")), done, 30000);
}

QTEST_MAIN(TestE2eRecorder)
#include "tst_e2e_recorder.moc"
