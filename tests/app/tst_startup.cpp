// Start-up preparation: the single-instance rule, file-start mode and the derived paths,
// against the recording fake, so no real process is ever touched.
#include "app/processstate.h"
#include "fakeplatform.h"

#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void singleInstanceRule_data();
    void singleInstanceRule();
    void fileStartMode_data();
    void fileStartMode();
    void paths_data();
    void paths();
};

using ByteList = QList<QByteArray>;

void TestStartup::singleInstanceRule_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<ByteList>("processes");
    QTest::addColumn<bool>("replaces");

    const ByteList alone {"Quorvel"};
    const ByteList another {"Quorvel", "Quorvel"};

    QTest::newRow("plain start, alone") << QString() << alone << false;
    QTest::newRow("plain start, another instance") << QString() << another << true;
    QTest::newRow("-autorun, alone") << "-autorun" << alone << false;
    QTest::newRow("-autorun, another instance") << "-autorun" << another << true;
    QTest::newRow("two others running")
        << QString() << ByteList {"Quorvel", "Quorvel", "Quorvel"} << true;
    // Only the exact autostart argument replaces; anything else runs beside.
    QTest::newRow("-autorunx") << "-autorunx" << another << false;
    QTest::newRow("-AUTORUN") << "-AUTORUN" << another << false;
    QTest::newRow("-autorun with blank") << "-autorun " << another << false;
    QTest::newRow("script file") << "/home/u/ZtFiles/a.zt" << another << false;
    // Other programs and look-alike names are not instances of this one.
    QTest::newRow("similar names only")
        << QString() << ByteList {"Quorvel", "quorvel", "Quorvel.exe", "Quorvel2"} << false;
}

void TestStartup::singleInstanceRule()
{
    QFETCH(QString, argument);
    QFETCH(ByteList, processes);
    QFETCH(bool, replaces);

    FakePlatform platform;
    platform.processes = processes;
    startup::prepareProcess(argument, platform);

    QVERIFY(platform.calls.contains(QStringLiteral("count:Quorvel")));
    QStringList acted;
    for (const QString &call : qAsConst(platform.calls)) {
        if (call.startsWith(QLatin1String("terminate:")) || call == QLatin1String("refreshTray"))
            acted << call;
    }
    // One instance ended per start, and the tray swept after it.
    const QStringList expected = replaces
        ? QStringList {QStringLiteral("terminate:Quorvel"), QStringLiteral("refreshTray")}
        : QStringList();
    QCOMPARE(acted, expected);
}

void TestStartup::fileStartMode_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<bool>("fileStart");
    QTest::addColumn<bool>("autorun");

    const QStringList files {
        QStringLiteral("/s/a.zt"), QStringLiteral("/s/脚本.zt"), QStringLiteral("/s/folder")};
    QTest::newRow("no argument") << QString() << files << false << false;
    QTest::newRow("-autorun") << "-autorun" << files << false << true;
    QTest::newRow("existing script") << "/s/a.zt" << files << true << false;
    QTest::newRow("existing script, Chinese name") << "/s/脚本.zt" << files << true << false;
    QTest::newRow("existing folder") << "/s/folder" << files << true << false;
    QTest::newRow("missing script") << "/s/b.zt" << files << false << false;
    // A file that happens to be called like the autostart argument is still a file.
    QTest::newRow("file named -autorun") << "-autorun" << QStringList {"-autorun"} << true << true;
}

void TestStartup::fileStartMode()
{
    QFETCH(QString, argument);
    QFETCH(QStringList, existing);
    QFETCH(bool, fileStart);
    QFETCH(bool, autorun);

    FakePlatform platform;
    platform.processes = {"Quorvel", "Quorvel"};
    platform.existingFiles = QSet<QString>(existing.begin(), existing.end());
    const ProcessState state = startup::prepareProcess(argument, platform);

    QCOMPARE(state.argument, argument);
    QCOMPARE(state.fileStartMode, fileStart);
    QCOMPARE(state.autorun(), autorun);
}

void TestStartup::paths_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("folder");

    QTest::newRow("installed") << "/opt/quorvel/Quorvel"
                               << "/opt/quorvel/";
    QTest::newRow("Chinese folder") << "/home/用户/工具 箱/Quorvel"
                                    << "/home/用户/工具 箱/";
    QTest::newRow("root folder") << "/Quorvel"
                                 << "/";
    QTest::newRow("dotted folder") << "/a.b/c/Quorvel"
                                   << "/a.b/c/";
    // Without a separator the files are looked for relative to the current directory.
    QTest::newRow("no separator") << "Quorvel"
                                  << "";
}

void TestStartup::paths()
{
    QFETCH(QString, executable);
    QFETCH(QString, folder);
    folder = QDir::toNativeSeparators(folder);

    FakePlatform platform;
    platform.exePath = executable;
    const ProcessState state = startup::prepareProcess(QString(), platform);

    QCOMPARE(state.executablePath, executable);
    QCOMPARE(state.programFolder, folder);
    QCOMPARE(state.settingsPath, folder + "Quorvel.qcf");
    QCOMPARE(state.defaultScriptPath(), folder + "ZtFiles" + QDir::separator() + "Quorvel.zt");
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
