// The built program on a private Xvfb: file-start runs and the single-instance rule. Each
// case runs a copy of the binary under a name of its own in a temporary program folder, so
// the rule only ever ends copies this test started.
#include "xvfbsession.h"

#include <QtTest>

#include <memory>
#include <unistd.h>

class TestE2eSpine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void fileStartRunsAndEnds_data();
    void fileStartRunsAndEnds();
    void fileStartErrorShowsBox();
    void secondStart_data();
    void secondStart();

private:
    QString writeScript(const QString &fileName, const QString &text);
    QProcess *launch(
        const QStringList &arguments, const QString &locale = QStringLiteral("C.UTF-8"));
    QStringList visibleWindowsOf(QProcess *app);
    QByteArray outputOf(QProcess *app) { return m_x->outputOf(app); }

    std::unique_ptr<XvfbSession> m_x;
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_app;
    int m_serial = 0;
    QList<QProcess *> m_apps;
};

void TestE2eSpine::initTestCase()
{
    XvfbSession::Options options;
    options.clipboardKeeper = true;
    const QStringList missing = XvfbSession::missingTools(options);
    QVERIFY2(missing.isEmpty(),
        qPrintable(QStringLiteral("not installed (tools/install-deps.sh installs them): ")
            + missing.join(QStringLiteral(", "))));
    QVERIFY2(QFileInfo::exists(QStringLiteral(QUORVEL_BINARY)), QUORVEL_BINARY);
    m_x = std::make_unique<XvfbSession>(options);
    QVERIFY2(m_x->isValid(), qPrintable(m_x->errorString()));
    qInfo("Xvfb on %s", qPrintable(m_x->display()));
}

void TestE2eSpine::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_app = m_folder->filePath(
        QStringLiteral("Quorvel-e2e-%1-%2").arg(qint64(::getpid())).arg(++m_serial));
    QVERIFY(QFile::copy(QStringLiteral(QUORVEL_BINARY), m_app));
    QVERIFY(QFile::setPermissions(m_app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QFile settings(m_folder->filePath(QStringLiteral("Quorvel.qcf")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
}

void TestE2eSpine::cleanup()
{
    for (QProcess *app : qAsConst(m_apps))
        m_x->stop(app);
    m_apps.clear();
    m_folder.reset();
}

void TestE2eSpine::cleanupTestCase()
{
    m_x.reset();
}

QString TestE2eSpine::writeScript(const QString &fileName, const QString &text)
{
    const QString path = m_folder->filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text.toUtf8()); // the local 8-bit encoding of both locales used here
    return path;
}

QProcess *TestE2eSpine::launch(const QStringList &arguments, const QString &locale)
{
    QProcessEnvironment environment = m_x->environment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    QProcess *app = m_x->start(m_app, arguments, m_folder->path(), environment);
    if (app)
        m_apps << app;
    return app;
}

QStringList TestE2eSpine::visibleWindowsOf(QProcess *app)
{
    return m_x->findWindows({QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
        QString::number(app->processId())});
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
    const QString script = writeScript(scriptName, QStringLiteral("复制->") + text + '\n');
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
        = writeScript(QStringLiteral("error.zt"), QStringLiteral("foo->1\n复制->never\n"));
    QProcess *app = launch({script});
    QVERIFY(app);

    const QString box
        = m_x->waitForWindow({QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                 QString::number(app->processId()), QStringLiteral("--name"),
                                 QStringLiteral("^注意：$")},
            15000);
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
    QVERIFY2(!m_x->waitForWindow({QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                     QString::number(first->processId())},
                     15000)
                  .isEmpty(),
        outputOf(first));

    if (arguments == QStringList {QStringLiteral("@script")}) {
        QVERIFY(m_x->setClipboardText("before"));
        arguments = QStringList {
            writeScript(QStringLiteral("beside.zt"), QStringLiteral("复制->beside\n"))};
    }
    QProcess *second = launch(arguments);
    QVERIFY(second);

    if (replaces) {
        QVERIFY2(first->waitForFinished(10000), "the running instance was not ended");
        QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    }
    if (resident) {
        if (visible) {
            QVERIFY2(!m_x->waitForWindow({QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                             QString::number(second->processId())},
                             15000)
                          .isEmpty(),
                outputOf(second));
        }
        QVERIFY2(!second->waitForFinished(1500), outputOf(second));
        if (!visible)
            QVERIFY(visibleWindowsOf(second).isEmpty());
    } else {
        QVERIFY2(second->waitForFinished(15000), "the file-start run did not end by itself");
        QVERIFY2(second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0,
            outputOf(second));
        QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("beside"), 3000);
    }
    if (!replaces) {
        QVERIFY2(!first->waitForFinished(500), "the running instance was ended");
        QVERIFY(!visibleWindowsOf(first).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestE2eSpine)
#include "tst_e2e_spine.moc"
