// The built program on a private Xvfb: file-start runs and the single-instance rule. Each
// case runs a copy of the binary under a name of its own in a temporary program folder, so
// the rule only ever ends copies this test started.
#include "e2etest.h"

#include <QtTest>

class TestE2eSpine : public E2eTest
{
    Q_OBJECT

public:
    TestE2eSpine()
        : E2eTest(QStringLiteral("spine"))
    {
    }

private slots:
    void initTestCase();

    void fileStartRunsAndEnds_data();
    void fileStartRunsAndEnds();
    void fileStartErrorShowsBox();
    void secondStart_data();
    void secondStart();

private:
    QProcess *launch(
        const QStringList &arguments, const QString &locale = QStringLiteral("C.UTF-8"));
};

void TestE2eSpine::initTestCase()
{
    XvfbSession::Options options;
    options.clipboardKeeper = true;
    QVERIFY2(startSession(options), qPrintable(failure()));
}

QProcess *TestE2eSpine::launch(const QStringList &arguments, const QString &locale)
{
    QProcessEnvironment environment = m_x->environment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    return m_copy->launch(arguments, environment);
}

void TestE2eSpine::fileStartRunsAndEnds_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("scriptName");

    QTest::newRow("UTF-8 locale") << "C.UTF-8"
                                  << "a.zt";
    // Under the plain C locale the program still reads argv, the file and its text as UTF-8.
    QTest::newRow("C locale, Chinese file name") << "C"
                                                 << "脚本.zt";
}

void TestE2eSpine::fileStartRunsAndEnds()
{
    QFETCH(QString, locale);
    QFETCH(QString, scriptName);

    const QString text = QStringLiteral("hello中文");
    QVERIFY(m_x->setClipboardText("before"));
    const QString script = m_copy->writeText(scriptName, QStringLiteral("复制->") + text + '\n');
    QProcess *app = launch({script}, locale);
    QVERIFY(app);

    QVERIFY2(app->waitForFinished(15000), "the file-start run did not end by itself");
    QCOMPARE(app->exitStatus(), QProcess::NormalExit);
    QVERIFY2(app->exitCode() == 0, outputOf(app));
    // The keeper took the text over while the program still ran.
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(m_x->clipboardText()), text, 3000);
}

void TestE2eSpine::fileStartErrorShowsBox()
{
    QVERIFY(m_x->setClipboardText("before"));
    // The error ends the run: the line after it never runs.
    const QString script
        = m_copy->writeText(QStringLiteral("error.zt"), QStringLiteral("foo->1\n复制->never\n"));
    QProcess *app = launch({script});
    QVERIFY(app);

    const QString box = waitForMessageBox(app);
    QVERIFY2(!box.isEmpty(), outputOf(app));
    QVERIFY2(!app->waitForFinished(1000), "the program ended while its message was open");

    const QString shot = QStringLiteral(QUORVEL_E2E_ARTIFACTS "/file-start-error-box.png");
    QVERIFY(m_x->screenshot(shot));
    qInfo("screenshot of the message box: %s", qPrintable(shot));
    QCOMPARE(m_x->clipboardText(), QByteArray("before"));

    QVERIFY(m_x->pressKeys(box, {QStringLiteral("Return")}));
    QVERIFY2(app->waitForFinished(10000), "the program did not end after its message was closed");
    QCOMPARE(app->exitStatus(), QProcess::NormalExit);
    QCOMPARE(app->exitCode(), 0);
}

void TestE2eSpine::secondStart_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@script": a script file that sets the clipboard
    QTest::addColumn<bool>("replaces");
    QTest::addColumn<bool>("resident");
    QTest::addColumn<bool>("visible");

    QTest::newRow("plain start") << QStringList() << true << true << true;
    QTest::newRow("-autorun") << QStringList {"-autorun"} << true << true << false;
    QTest::newRow("-AUTORUN") << QStringList {"-AUTORUN"} << false << true << true;
    QTest::newRow("script file") << QStringList {"@script"} << false << false << false;
}

void TestE2eSpine::secondStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, replaces);
    QFETCH(bool, resident);
    QFETCH(bool, visible);

    QProcess *first = launch({});
    QVERIFY(first);
    QVERIFY2(!m_x->waitForWindow(windowsOf(first), 15000).isEmpty(), outputOf(first));

    if (arguments == QStringList {QStringLiteral("@script")}) {
        QVERIFY(m_x->setClipboardText("before"));
        arguments = QStringList {
            m_copy->writeText(QStringLiteral("beside.zt"), QStringLiteral("复制->beside\n"))};
    }
    QProcess *second = launch(arguments);
    QVERIFY(second);

    if (replaces) {
        QVERIFY2(first->waitForFinished(10000), "the running instance was not ended");
        QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    }
    if (resident) {
        if (visible) {
            QVERIFY2(!m_x->waitForWindow(windowsOf(second), 15000).isEmpty(), outputOf(second));
        }
        QVERIFY2(!second->waitForFinished(1500), outputOf(second));
        if (!visible)
            QVERIFY(m_x->findWindows(windowsOf(second)).isEmpty());
    } else {
        QVERIFY2(second->waitForFinished(15000), "the file-start run did not end by itself");
        QVERIFY2(second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0,
            outputOf(second));
        QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("beside"), 3000);
    }
    if (!replaces) {
        QVERIFY2(!first->waitForFinished(500), "the running instance was ended");
        QVERIFY(!m_x->findWindows(windowsOf(first)).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestE2eSpine)
#include "tst_e2e_spine.moc"
