// The built program on a private Xvfb runs a script file that reaches outside: CSV rows
// recorded and looked up, a file copied and renamed, a command line run. Everything is
// checked from outside, on disk and with xclip.
#include "e2etest.h"

#include <QtTest>

class TestE2eSystem : public E2eTest
{
    Q_OBJECT

public:
    TestE2eSystem()
        : E2eTest(QStringLiteral("system"))
    {
    }

private slots:
    void initTestCase();
    void init();

    void scriptReachesOutside();
    void badInputEndsWithMessage();

private:
    QString writeScript(const QString &name, const QString &text);

    QString m_data; // where the script works: a folder with a blank and Chinese in its name
};

void TestE2eSystem::initTestCase()
{
    XvfbSession::Options options;
    options.clipboardKeeper = true;
    QVERIFY2(startSession(options), qPrintable(failure()));
}

void TestE2eSystem::init()
{
    // A copy under a name of its own: nothing here can end another program.
    QVERIFY2(startCopy(), qPrintable(failure()));
    m_data = file(QStringLiteral("数据 目录"));
    QVERIFY(QDir().mkpath(m_data));
}

QString TestE2eSystem::writeScript(const QString &name, const QString &text)
{
    QString script = text;
    return m_copy->writeText(name, script.replace(QLatin1Char('@'), m_data));
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
    QProcess *app = m_copy->launch({script});
    QVERIFY(app);
    QVERIFY2(app->waitForFinished(20000), outputOf(app));
    QVERIFY2(app->exitStatus() == QProcess::NormalExit && app->exitCode() == 0, outputOf(app));

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
    QProcess *app = m_copy->launch({script});
    QVERIFY(app);
    const QString box = waitForMessageBox(app);
    QVERIFY2(!box.isEmpty(), outputOf(app));
    QVERIFY(m_x->pressKeys(box, {QStringLiteral("Return")}));
    QVERIFY2(app->waitForFinished(10000), outputOf(app));
    QCOMPARE(app->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_x->clipboardText(), QByteArray("before"));
    QVERIFY(!QFileInfo::exists(m_data + QStringLiteral("/x")));
}

QTEST_GUILESS_MAIN(TestE2eSystem)
#include "tst_e2e_system.moc"
