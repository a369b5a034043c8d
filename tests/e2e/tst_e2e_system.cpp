// The built program on a private Xvfb runs a script file that reaches outside: CSV rows
// recorded and looked up, a file copied and renamed, a command line run. Everything is
// checked from outside, on disk and with xclip.
#include "xvfbsession.h"

#include <QtTest>

#include <memory>
#include <unistd.h>

class TestE2eSystem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void scriptReachesOutside();
    void badInputEndsWithMessage();

private:
    QProcess *launch(const QString &script);
    QString writeScript(const QString &name, const QString &text);

    std::unique_ptr<XvfbSession> m_x;
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_data; // where the script works: a folder with a blank and Chinese in its name
    QString m_app;
    int m_serial = 0;
    QList<QProcess *> m_apps;
};

void TestE2eSystem::initTestCase()
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
}

void TestE2eSystem::init()
{
    // A copy under a name of its own: nothing here can end another program.
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_app = m_folder->filePath(
        QStringLiteral("Quorvel-sys-%1-%2").arg(qint64(::getpid())).arg(++m_serial));
    QVERIFY(QFile::copy(QStringLiteral(QUORVEL_BINARY), m_app));
    QVERIFY(QFile::setPermissions(m_app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QFile settings(m_folder->filePath(QStringLiteral("Quorvel.qcf")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    m_data = m_folder->filePath(QStringLiteral("数据 目录"));
    QVERIFY(QDir().mkpath(m_data));
}

void TestE2eSystem::cleanup()
{
    for (QProcess *app : qAsConst(m_apps))
        m_x->stop(app);
    m_apps.clear();
    m_folder.reset();
}

void TestE2eSystem::cleanupTestCase()
{
    m_x.reset();
}

QString TestE2eSystem::writeScript(const QString &name, const QString &text)
{
    const QString path = m_folder->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QString script = text;
    file.write(script.replace(QLatin1Char('@'), m_data).toUtf8());
    return path;
}

QProcess *TestE2eSystem::launch(const QString &script)
{
    QProcess *app = m_x->start(m_app, {script}, m_folder->path());
    if (app)
        m_apps << app;
    return app;
}

void TestE2eSystem::scriptReachesOutside()
{
    QFile source(m_data + QStringLiteral("/源.txt"));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write("source bytes\n");
    source.close();
    QVERIFY(m_x->setClipboardText("blue,plum,果"));

    const QString script = writeScript(QStringLiteral("system.zt"),
        QStringLiteral("串1->red,apple,fruit\n"
                       "存csv->[@/表.csv][串1]\n"
                       "串2->green,pear,fruit\n"
                       "存csv->[@/表.csv][串2]\n"
                       "存csv->[@/表.csv][复制]\n"
                       "查csv->green[@/表.csv](复制)\n"
                       "文件->@/源.txt=@/副本/新/目标.txt\n"
                       "改名->@/副本/新/目标.txt=>@/副本/新/改名.txt\n"
                       "cmd->sleep 0.2; printf '命令 done' > '@/cmd out.txt'\n"
                       "文件->@/cmd out.txt=>@/moved.txt\n"));
    QProcess *app = launch(script);
    QVERIFY(app);
    QVERIFY2(app->waitForFinished(20000), m_x->outputOf(app));
    QVERIFY2(app->exitStatus() == QProcess::NormalExit && app->exitCode() == 0, m_x->outputOf(app));

    const auto bytes = [this](const QString &name) {
        QFile f(m_data + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    QCOMPARE(bytes(QStringLiteral("表.csv")),
        QStringLiteral("red,apple,fruit\r\ngreen,pear,fruit\r\nblue,plum,果\r\n").toUtf8());
    QTRY_COMPARE_WITH_TIMEOUT(m_x->clipboardText(), QByteArray("pear"), 3000);
    QCOMPARE(bytes(QStringLiteral("源.txt")), QByteArray("source bytes\n"));
    QCOMPARE(bytes(QStringLiteral("副本/新/改名.txt")), QByteArray("source bytes\n"));
    QVERIFY(!QFileInfo::exists(m_data + QStringLiteral("/副本/新/目标.txt")));
    // The move on the last line saw the command's file: the run waited for it.
    QCOMPARE(bytes(QStringLiteral("moved.txt")), QStringLiteral("命令 done").toUtf8());
}

void TestE2eSystem::badInputEndsWithMessage()
{
    // A malformed line ends the run with its message box; the lines after it never run.
    QVERIFY(m_x->setClipboardText("before"));
    const QString script = writeScript(QStringLiteral("bad.zt"),
        QStringLiteral("文件->@/none.txt=@/x\n"
                       "改名->@/no-arrow.txt\n"
                       "复制->never\n"));
    QProcess *app = launch(script);
    QVERIFY(app);
    const QString box
        = m_x->waitForWindow({QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                 QString::number(app->processId()), QStringLiteral("--name"),
                                 QStringLiteral("^注意：$")},
            15000);
    QVERIFY2(!box.isEmpty(), m_x->outputOf(app));
    QVERIFY(m_x->pressKeys(box, {QStringLiteral("Return")}));
    QVERIFY2(app->waitForFinished(10000), m_x->outputOf(app));
    QCOMPARE(app->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_x->clipboardText(), QByteArray("before"));
    QVERIFY(!QFileInfo::exists(m_data + QStringLiteral("/x")));
}

QTEST_GUILESS_MAIN(TestE2eSystem)
#include "tst_e2e_system.moc"
