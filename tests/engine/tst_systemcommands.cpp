// 关机, 打开, 文件夹, cmd, 进程, 文件 and 改名 on the real interpreter. 关机 and 打开 only ever
// reach the recording fake; files, folders, command lines and processes are real, in a
// temporary folder, and the only processes ended are ones this test started.
#include "scriptrun.h"

#include <QtTest>

#include <unistd.h>

namespace {

// A run on a real interpreter thread that reaches the system's own platform.
void goLive(ScriptRun &run)
{
    run.livePlatform = &systemPlatform();
}

QString errorOf(const QStringList &messages)
{
    for (const QString &m : messages) {
        if (m.contains(QStringLiteral("行有误：")))
            return m;
    }
    return {};
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

using Files = QMap<QString, QByteArray>; // relative name -> content; a null value: absent

} // namespace

class TestSystemCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void reachesRecordingFake_data();
    void reachesRecordingFake();
    void folderOpenAndShape_data();
    void folderOpenAndShape();
    void folderCreateNestedTwice();
    void fileAndRename_data();
    void fileAndRename();
    void cmdWaitsAndWrites();
    void stoppedRunEndsCommand_data();
    void stoppedRunEndsCommand();
    void processEndsFirstOfTwo();

private:
    QString at(const QString &script) const
    {
        QString text = script;
        return text.replace(QStringLiteral("@"), m_dir->path());
    }
    QString uniqueSleep(const QString &tag);

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_serial = 0;
};

void TestSystemCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// A copy of sleep under a name no other process has, so ending processes of that name can
// only ever hit the ones this test started.
QString TestSystemCommands::uniqueSleep(const QString &tag)
{
    const QString path
        = m_dir->filePath(QStringLiteral("qvsleep-%1-%2").arg(qint64(::getpid())).arg(tag));
    if (!QFile::copy(QStringLiteral("/bin/sleep"), path))
        return {};
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void TestSystemCommands::reachesRecordingFake_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("error");

    QTest::newRow("shutdown arguments unchanged")
        << "关机->/f /s /t 1"
        << "" << QStringList {"shutdown:/f /s /t 1"} << false;
    QTest::newRow("shutdown from 串n") << "串2->-h now\n关机->[串2]"
                                       << "" << QStringList {"shutdown:-h now"} << false;
    QTest::newRow("shutdown from clipboard") << "关机->[复制]"
                                             << "-r +1" << QStringList {"shutdown:-r +1"} << false;
    QTest::newRow("shutdown 变101") << "关机->[变101]"
                                    << "" << QStringList() << true;
    QTest::newRow("open address") << "打开->https://www.example.com/a?b=1"
                                  << "" << QStringList {"open:https://www.example.com/a?b=1"}
                                  << false;
    QTest::newRow("open from clipboard")
        << "打开->[复制]"
        << "/srv/报表.xlsx" << QStringList {"open:/srv/报表.xlsx"} << false;
    QTest::newRow("open 串0") << "打开->[串0]"
                              << "" << QStringList() << true;
    // Run after run: the error ends it before the second line.
    QTest::newRow("error ends the run") << "关机->[串999]\n打开->x"
                                        << "" << QStringList() << true;
    QTest::newRow("process name as written") << "进程->[串1]"
                                             << "" << QStringList {"terminate:[串1]"} << false;
    QTest::newRow("cmd line from 串n") << "串1->echo 1\ncmd->[串1]"
                                       << "" << QStringList {"cmd:echo 1"} << false;
    QTest::newRow("cmd 变0") << "cmd->[变0]"
                             << "" << QStringList() << true;
    QTest::newRow("empty arguments")
        << "关机->\n打开->\ncmd->\n进程->"
        << "" << QStringList {"shutdown:", "open:", "cmd:", "terminate:"} << false;
}

void TestSystemCommands::reachesRecordingFake()
{
    QFETCH(QString, script);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, calls);
    QFETCH(bool, error);

    ScriptRun run;
    run.clipboard = clipboard;
    const RunRecord record = run.runScript(script);
    QStringList seen;
    for (const QString &call : qAsConst(run.platform.calls)) {
        if (!call.startsWith(QLatin1String("count:")) && !call.startsWith(QLatin1String("exists:")))
            seen << call;
    }
    QCOMPARE(seen, calls);
    QCOMPARE(!errorOf(record.messages).isEmpty(), error);
}

void TestSystemCommands::folderOpenAndShape_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("opened"); // "" when nothing is opened
    QTest::addColumn<QString>("error"); // the reason after the line, "-" for none

    QTest::newRow("existing folder") << "打开 [@/d]"
                                     << "@/d"
                                     << "-";
    QTest::newRow("no blank, file") << "打开[@/d/f.txt]"
                                    << "@/d/f.txt"
                                    << "-";
    QTest::newRow("full-width blank") << "打开　[@/d]"
                                      << "@/d"
                                      << "-";
    QTest::newRow("blank after the bracket") << "打开 [ @/d]"
                                             << ""
                                             << "";
    QTest::newRow("blank before the bracket") << "打开 [@/d ]"
                                              << "@/d"
                                              << "-";
    QTest::newRow("missing folder") << "打开 [@/missing]"
                                    << ""
                                    << "(文件夹不存在)";
    QTest::newRow("drive form") << "打开 [C:\\missing]"
                                << ""
                                << "(文件夹不存在)";
    QTest::newRow("relative path") << "创建 [d/x]"
                                   << ""
                                   << "";
    QTest::newRow("no brackets") << "创建 @/x"
                                 << ""
                                 << "";
    QTest::newRow("other verb") << "删除 [@/d]"
                                << ""
                                << "";
    QTest::newRow("empty brackets") << "创建 []"
                                    << ""
                                    << "";
    QTest::newRow("create existing") << "创建 [@/d]"
                                     << ""
                                     << "-";
}

void TestSystemCommands::folderOpenAndShape()
{
    QFETCH(QString, argument);
    QFETCH(QString, opened);
    QFETCH(QString, error);

    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("d"))));
    QFile file(m_dir->filePath(QStringLiteral("d/f.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    ScriptRun run;
    const QString line = QStringLiteral("文件夹->") + at(argument);
    const RunRecord record = run.runScript(line + QStringLiteral("\n打开->after"));
    const QString message = errorOf(record.messages);
    if (error == QLatin1String("-")) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QVERIFY(run.platform.calls.endsWith(QStringLiteral("open:after")));
    } else {
        QCOMPARE(message,
            QStringLiteral("<span style=\"color:red;\">第1行有误：") + line + error
                + QStringLiteral("</span>"));
    }
    QStringList opens = run.platform.calls.filter(QRegularExpression(QStringLiteral("^open:")));
    opens.removeAll(QStringLiteral("open:after"));
    QCOMPARE(opens, opened.isEmpty() ? QStringList() : QStringList {"open:" + at(opened)});
    // Only 创建 of a missing folder creates; the fake records it.
    QVERIFY(run.platform.calls.filter(QStringLiteral("mkdir:")).isEmpty());
}

void TestSystemCommands::folderCreateNestedTwice()
{
    ScriptRun run;
    goLive(run);
    const QString script = at(QStringLiteral("文件夹->创建 [@/a/b/c]\n文件夹->创建 [@/a/b/c]\n"
                                             "串1->创建[@/甲/乙]\n文件夹->[串1]\n"));
    const RunRecord first = run.runScript(script);
    const RunRecord second = run.runScript(script);
    QCOMPARE(errorOf(first.messages + second.messages), QString());
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("a/b/c"))).isDir());
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("甲/乙"))).isDir());
}

void TestSystemCommands::fileAndRename_data()
{
    QTest::addColumn<Files>("before");
    QTest::addColumn<QString>("script");
    QTest::addColumn<Files>("after");
    QTest::addColumn<bool>("error");

    const Files xy {{"x.txt", "X"}};
    const QByteArray absent; // null: the file must not exist
    QTest::newRow("move") << xy << "文件->@/x.txt=>@/y.txt"
                          << Files {{"x.txt", absent}, {"y.txt", "X"}} << false;
    QTest::newRow("move, blanks around") << xy << "文件->  @/x.txt  =>  @/y.txt "
                                         << Files {{"x.txt", absent}, {"y.txt", "X"}} << false;
    QTest::newRow("move keeps existing destination")
        << Files {{"x.txt", "X"}, {"y.txt", "Y"}} << "文件->@/x.txt=>@/y.txt"
        << Files {{"x.txt", "X"}, {"y.txt", "Y"}} << false;
    QTest::newRow("move missing source")
        << xy << "文件->@/m.txt=>@/y.txt" << Files {{"x.txt", "X"}, {"y.txt", absent}} << false;
    QTest::newRow("move into missing folder")
        << xy << "文件->@/x.txt=>@/no/y.txt" << Files {{"x.txt", "X"}, {"no", absent}} << false;
    QTest::newRow("move Chinese names") << Files {{"甲.txt", "中"}} << "文件->@/甲.txt=>@/乙.txt"
                                        << Files {{"甲.txt", absent}, {"乙.txt", "中"}} << false;
    QTest::newRow("copy, missing folders")
        << xy << "文件->@/x.txt=@/new/deeper/y.txt"
        << Files {{"x.txt", "X"}, {"new/deeper/y.txt", "X"}} << false;
    QTest::newRow("copy replaces")
        << Files {{"x.txt", "X"}, {"y.txt", "old"}} << "文件->@/x.txt=@/y.txt"
        << Files {{"x.txt", "X"}, {"y.txt", "X"}} << false;
    QTest::newRow("copy missing source makes no folder")
        << xy << "文件->@/m.txt=@/new/y.txt" << Files {{"new", absent}} << false;
    QTest::newRow("copy of a folder")
        << Files {{"d/x.txt", "X"}} << "文件->@/d=@/e" << Files {{"e", absent}} << false;
    QTest::newRow("no separator") << xy << "文件->@/x.txt" << xy << false;
    QTest::newRow("two =") << xy << "文件->@/x.txt=@/y.txt=@/z.txt"
                           << Files {{"y.txt", absent}, {"z.txt", absent}} << false;
    QTest::newRow("two =>") << xy << "文件->@/x.txt=>@/y.txt=>@/z.txt"
                            << Files {{"x.txt", "X"}, {"y.txt", absent}} << false;
    QTest::newRow("empty destination") << xy << "文件->@/x.txt=" << xy << false;
    QTest::newRow("rename") << xy << "改名->@/x.txt=>@/z.txt"
                            << Files {{"x.txt", absent}, {"z.txt", "X"}} << false;
    QTest::newRow("rename a folder") << Files {{"d/x.txt", "X"}} << "改名->@/d=>@/e"
                                     << Files {{"d", absent}, {"e/x.txt", "X"}} << false;
    QTest::newRow("rename missing source")
        << xy << "改名->@/m.txt=>@/z.txt" << Files {{"x.txt", "X"}, {"z.txt", absent}} << false;
    QTest::newRow("rename without =>") << xy << "改名->@/x.txt" << xy << true;
    QTest::newRow("rename with =")
        << xy << "改名->@/x.txt=@/z.txt" << Files {{"z.txt", absent}} << true;
    QTest::newRow("rename two =>") << xy << "改名->@/x.txt=>@/y.txt=>@/z.txt" << xy << true;
}

void TestSystemCommands::fileAndRename()
{
    QFETCH(Files, before);
    QFETCH(QString, script);
    QFETCH(Files, after);
    QFETCH(bool, error);

    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QString path = m_dir->filePath(it.key());
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
    ScriptRun run;
    goLive(run);
    const RunRecord record
        = run.runScript(at(script + QStringLiteral("\n文件夹->创建 [@/ran-on]")));
    QCOMPARE(!errorOf(record.messages).isEmpty(), error);
    // An error ends the run; otherwise the line after it runs.
    QCOMPARE(QFileInfo::exists(m_dir->filePath(QStringLiteral("ran-on"))), !error);

    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QString path = m_dir->filePath(it.key());
        if (it.value().isNull()) {
            QVERIFY2(!QFileInfo::exists(path), qPrintable(it.key()));
        } else {
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(it.key()));
            QCOMPARE(file.readAll(), it.value());
        }
    }
}

void TestSystemCommands::cmdWaitsAndWrites()
{
    // The copy on the next line finds the file only if the run waited for the command.
    ScriptRun run;
    goLive(run);
    const RunRecord record
        = run.runScript(at(QStringLiteral("cmd->sleep 0.3; printf 中文 > '@/out.txt'\n"
                                          "文件->@/out.txt=@/copy.txt\n"
                                          "串1->exit 3\n"
                                          "cmd->[串1]\n"
                                          "文件夹->创建 [@/after exit 3]\n")));
    QCOMPARE(errorOf(record.messages), QString());
    QFile copy(m_dir->filePath(QStringLiteral("copy.txt")));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QStringLiteral("中文").toLocal8Bit());
    // The exit status is ignored: the run went on.
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("after exit 3"))).isDir());
}

void TestSystemCommands::stoppedRunEndsCommand_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::newRow("plain") << "";
    // A shell that ignores the polite request is ended anyway.
    QTest::newRow("ignoring SIGTERM") << "trap '' TERM; ";
}

void TestSystemCommands::stoppedRunEndsCommand()
{
    QFETCH(QString, prefix);
    const QString sleeper = uniqueSleep(QString::number(++m_serial));
    QVERIFY(!sleeper.isEmpty());
    const QByteArray name = QFileInfo(sleeper).fileName().toLocal8Bit();
    Platform &platform = systemPlatform();

    ScriptRun run;
    goLive(run);
    run.startScript(QStringLiteral("cmd->") + prefix + QStringLiteral("'") + sleeper
        + at(QStringLiteral("' 1000; touch '@/after'\n文件夹->创建 [@/next]")));
    QVERIFY2(waitUntil([&] { return platform.countProcessesByName(name) == 1; }, 5000),
        "the command did not start");
    QVERIFY(!run.thread.wait(300)); // it blocks the run

    // What Ctrl+Q and the window's destruction do: clear the flags.
    QElapsedTimer timer;
    timer.start();
    run.thread.executeFlag = false;
    run.thread.waitFlag = false;
    QVERIFY2(run.thread.wait(5000), "the stopped run stayed in its command");
    qInfo("run ended %lld ms after the stop", timer.elapsed());
    // The killed command is gone at once; a loaded machine may take a moment to reap it.
    QVERIFY2(waitUntil([&] { return platform.countProcessesByName(name) == 0; }, 2000),
        "the command outlived the run");
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("after"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("next"))));
}

void TestSystemCommands::processEndsFirstOfTwo()
{
    const QString sleeper = uniqueSleep(QStringLiteral("two"));
    QVERIFY(!sleeper.isEmpty());
    QProcess first;
    QProcess second;
    first.start(sleeper, {QStringLiteral("60")});
    QVERIFY(first.waitForStarted());
    second.start(sleeper, {QStringLiteral("60")});
    QVERIFY(second.waitForStarted());
    // The process list is walked in id order: the lower id is "the first".
    QProcess &lower = first.processId() < second.processId() ? first : second;
    QProcess &higher = &lower == &first ? second : first;

    ScriptRun run;
    goLive(run);
    const RunRecord record = run.runScript(QStringLiteral("进程->") + QFileInfo(sleeper).fileName()
        + QStringLiteral("\n进程->no-such-process-%1").arg(qint64(::getpid())));
    QCOMPARE(errorOf(record.messages), QString());
    QVERIFY2(lower.waitForFinished(3000), "the first process of that name still runs");
    QCOMPARE(lower.exitStatus(), QProcess::CrashExit);
    QVERIFY2(!higher.waitForFinished(300), "the second process of that name was ended too");
    higher.kill();
    higher.waitForFinished();
}

QTEST_GUILESS_MAIN(TestSystemCommands)
#include "tst_systemcommands.moc"
