// `Quorvel --check` of the real binary: a console tool that needs no display and starts nothing
// of the program. It runs a copy under a name of its own in a program folder of its own, with no
// DISPLAY, and checks that it ends by itself with the right code and leaves that folder alone.
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    bool ended = false; // by itself, within the time, without a crash
    int exitCode = -1;
    QString out;
    QString err;
};

// The environment of a run: the test's own without any display, plus `extra` ("NAME=value").
QProcessEnvironment environmentWith(const QStringList &extra, const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    // Should anything reach for the home folder, it is not the real one.
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    for (const QString &setting : extra)
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    return environment;
}

// The folder's entries with their sizes and times, to show that nothing in it changed.
QStringList snapshot(const QString &folder)
{
    QStringList entries;
    const QFileInfoList infos = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : infos) {
        entries << QStringLiteral("%1 %2 %3")
                       .arg(info.fileName())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    }
    return entries;
}

} // namespace

class TstE2eCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitCodesAndOutput_data();
    void exitCodesAndOutput();
    void jsonParses();
    void programFoldersStayAsTheyWere();

private:
    // Runs the copy in `folder` (the one with a settings file unless said otherwise) in the
    // scripts' folder, so #insert paths are taken from there as a run takes them.
    Run check(const QStringList &arguments, const QStringList &environment = {},
        bool withSettings = true);

    QTemporaryDir m_dir;
    QString m_scripts; // the scripts' folder
    QString m_withSettings; // a copy beside a Quorvel.qcf
    QString m_withoutSettings; // a copy alone in its folder
    QStringList m_before; // the two program folders before any run
};

void TstE2eCheck::initTestCase()
{
    const QString binary = QStringLiteral(QUORVEL_BINARY);
    if (!QFileInfo::exists(binary))
        QSKIP("the program is not built");
    QVERIFY(m_dir.isValid());
    m_scripts = m_dir.filePath(QStringLiteral("scripts"));
    QVERIFY(QDir().mkpath(m_scripts + QStringLiteral("/folder.zt")));
    // The copies' names belong to this test process: whatever ends instances by name could
    // only ever end these.
    const QString name = QStringLiteral("Quorvel-check-%1").arg(QCoreApplication::applicationPid());
    for (const QString &folder : {QStringLiteral("with"), QStringLiteral("without")}) {
        QVERIFY(QDir().mkpath(m_dir.filePath(folder)));
        const QString copy = m_dir.filePath(folder + QLatin1Char('/') + name);
        QVERIFY(QFile::copy(binary, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner));
    }
    m_withSettings = m_dir.filePath(QStringLiteral("with/") + name);
    m_withoutSettings = m_dir.filePath(QStringLiteral("without/") + name);
    writeFile(m_dir.filePath(QStringLiteral("with/Quorvel.qcf")), "SoftPositionX=12\r\n");

    const QDir scripts(m_scripts);
    writeFile(scripts.filePath("good.zt"), "鼠标->100,200\r\n// 注释\r\n延时->100\r\n");
    writeFile(scripts.filePath("bad.zt"), "鼠标->1,1\n\n跳舞->1\n");
    writeFile(scripts.filePath("inserts.zt"), "#insert lib.zt\n延时->5\n");
    writeFile(scripts.filePath("lib.zt"), "// 公共\n键盘->Ctrl+C\n");
    writeFile(scripts.filePath("脚本.zt"), "复制->中文\n");
    m_before = snapshot(m_dir.filePath(QStringLiteral("with")))
        + snapshot(m_dir.filePath(QStringLiteral("without")));
}

Run TstE2eCheck::check(
    const QStringList &arguments, const QStringList &environment, bool withSettings)
{
    QProcess process;
    process.setWorkingDirectory(m_scripts);
    process.setProcessEnvironment(environmentWith(environment, m_dir.filePath("home")));
    process.start(withSettings ? m_withSettings : m_withoutSettings, arguments);
    Run run;
    // A check reads one small file: a program that starts its window instead stays (or dies).
    run.ended = process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TstE2eCheck::exitCodesAndOutput_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a row stdout holds; empty: stdout is empty
    QTest::addColumn<QString>("err"); // what stderr holds; empty: stderr is empty
    const QStringList none;
    QTest::newRow("good") << "--check good.zt" << none << 0 << "   2  good.zt:3  延时->100"
                          << "";
    QTest::newRow("unknown command")
        << "--check bad.zt" << none << 1 << "bad.zt:3: 错误: 第2行: 无该命令类型"
        << "";
    QTest::newRow("insert from the working folder")
        << "--check inserts.zt" << none << 0 << "   1  lib.zt:2      键盘->Ctrl+C"
        << "";
    QTest::newRow("chinese under the C locale")
        << "--check 脚本.zt" << QStringList {"LC_ALL=C"} << 0 << "   1  脚本.zt:1  复制->中文"
        << "";
    QTest::newRow("offscreen toolkit does not start the window")
        << "--check bad.zt" << QStringList {"QT_QPA_PLATFORM=offscreen"} << 1
        << "1 个错误, 0 个警告"
        << "";
    QTest::newRow("missing file") << "--check none.zt" << none << 2 << ""
                                  << "Quorvel: 无法读取 none.zt: 文件不存在\n";
    QTest::newRow("folder") << "--check folder.zt" << none << 2 << ""
                            << "Quorvel: 无法读取 folder.zt: 这是文件夹\n";
    QTest::newRow("no file name") << "--check" << none << 2 << ""
                                  << "Quorvel: 缺少脚本文件名\n用法:";
}

void TstE2eCheck::exitCodesAndOutput()
{
    QFETCH(QString, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = check(arguments.split(' '), environment);
    QVERIFY2(run.ended, qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(
        out.isEmpty() ? run.out.isEmpty() : run.out.split('\n').contains(out), qPrintable(run.out));
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.startsWith(err), qPrintable(run.err));
}

void TstE2eCheck::jsonParses()
{
    for (const QStringList &arguments : {QStringList {"--check", "--json", "bad.zt"},
             QStringList {"--check", "bad.zt", "--json"}}) {
        const Run run = check(arguments, {}, false);
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 1);
        QJsonParseError error;
        const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(root.value("file").toString(), QStringLiteral("bad.zt"));
        QCOMPARE(root.value("errors").toInt(), 1);
        QCOMPARE(root.value("lines").toArray().size(), 2);
        const QJsonObject problem = root.value("problems").toArray().at(0).toObject();
        QCOMPARE(problem.value("line").toInt(), 2);
        QCOMPARE(problem.value("sourceLine").toInt(), 3);
        QCOMPARE(problem.value("message").toString(), QStringLiteral("无该命令类型"));
    }
}

void TstE2eCheck::programFoldersStayAsTheyWere()
{
    // Runs of both copies: no settings file written or made, nothing else beside them.
    QCOMPARE(check({"--check", "good.zt"}, {}, false).exitCode, 0);
    QCOMPARE(check({"--check", "good.zt"}).exitCode, 0);
    QCOMPARE(snapshot(m_dir.filePath(QStringLiteral("with")))
            + snapshot(m_dir.filePath(QStringLiteral("without"))),
        m_before);
    QCOMPARE(readFile(m_dir.filePath(QStringLiteral("with/Quorvel.qcf"))),
        QByteArray("SoftPositionX=12\r\n"));
}

QTEST_GUILESS_MAIN(TstE2eCheck)
#include "tst_e2e_check.moc"
