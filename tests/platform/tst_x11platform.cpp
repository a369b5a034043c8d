// The Linux platform layer against the real system: processes this test starts itself (copies
// of sleep under a name no other program uses), real files and the test binary itself.
#include "platform/platform.h"

#include <QtTest>

#include <algorithm>
#include <csignal>
#include <unistd.h>

class TestX11Platform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lookupByName_data();
    void lookupByName();
    void terminateEndsLowestPidOnly();
    void replacedBinaryStillCounts();
    void fileExists_data();
    void fileExists();
    void ownExecutable();

private:
    QString copyOfSleep(const QString &folder);
    QProcess *startCopy(const QString &path);

    QTemporaryDir m_dir;
    QByteArray m_name; // unique per test run, so only our own copies ever match
    QList<QProcess *> m_started;
    QStringList m_copies;
};

void TestX11Platform::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFileInfo::exists(QStringLiteral("/bin/sleep")));
    m_name = "qvtest-" + QByteArray::number(qint64(::getpid())) + "-sleep";
}

QString TestX11Platform::copyOfSleep(const QString &folder)
{
    const QString dir = m_dir.filePath(folder);
    QDir().mkpath(dir);
    const QString path = dir + '/' + QString::fromLocal8Bit(m_name);
    if (!QFileInfo::exists(path) && !QFile::copy(QStringLiteral("/bin/sleep"), path))
        return {};
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QProcess *TestX11Platform::startCopy(const QString &path)
{
    auto *process = new QProcess(this);
    m_started << process;
    // Long enough for the test, short enough to end by itself if the test is killed.
    process->start(path, {QStringLiteral("60")});
    return process->waitForStarted(5000) ? process : nullptr;
}

void TestX11Platform::init()
{
    // Two copies of the same file name in different folders: the rule compares file names.
    m_copies = QStringList {copyOfSleep(QStringLiteral("a")), copyOfSleep(QStringLiteral("b"))};
    for (const QString &copy : qAsConst(m_copies)) {
        QVERIFY(!copy.isEmpty());
        QVERIFY(startCopy(copy));
    }
}

void TestX11Platform::cleanup()
{
    for (QProcess *process : qAsConst(m_started)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    m_started.clear();
}

void TestX11Platform::lookupByName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("count");

    QTest::newRow("exact") << m_name << 2;
    QTest::newRow("other letter case") << m_name.toUpper() << 0;
    QTest::newRow("prefix") << m_name.chopped(1) << 0;
    QTest::newRow("longer") << m_name + ".exe" << 0;
    QTest::newRow("with folder") << (m_dir.filePath(QStringLiteral("a/")).toLocal8Bit() + m_name)
                                 << 0;
    QTest::newRow("not running") << QByteArray("qvtest-no-such-program") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestX11Platform::lookupByName()
{
    QFETCH(QByteArray, name);
    QFETCH(int, count);

    Platform &platform = systemPlatform();
    QCOMPARE(platform.countProcessesByName(name), count);
    if (count == 0) {
        QCOMPARE(platform.terminateProcessByName(name), 0);
        for (QProcess *process : qAsConst(m_started))
            QCOMPARE(process->state(), QProcess::Running);
    }
}

void TestX11Platform::terminateEndsLowestPidOnly()
{
    Platform &platform = systemPlatform();
    const auto lowest = std::min_element(m_started.begin(), m_started.end(),
        [](QProcess *a, QProcess *b) { return a->processId() < b->processId(); });
    QProcess *first = *lowest;
    QProcess *second = m_started.at(lowest == m_started.begin() ? 1 : 0);

    QCOMPARE(platform.terminateProcessByName(m_name), 1);
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    QCOMPARE(first->exitCode(), int(SIGKILL));
    QVERIFY(!second->waitForFinished(300));
    QCOMPARE(platform.countProcessesByName(m_name), 1);

    QCOMPARE(platform.terminateProcessByName(m_name), 1);
    QVERIFY(second->waitForFinished(5000));
    QCOMPARE(platform.countProcessesByName(m_name), 0);
    QCOMPARE(platform.terminateProcessByName(m_name), 0);
}

void TestX11Platform::replacedBinaryStillCounts()
{
    // A program updated while it runs still is that program.
    QVERIFY(QFile::remove(m_copies.first()));
    Platform &platform = systemPlatform();
    QCOMPARE(platform.countProcessesByName(m_name), 2);
    for (int left = 1; left >= 0; --left) {
        QCOMPARE(platform.terminateProcessByName(m_name), 1);
        // The kill is not waited for; a dying process still shows until it is gone.
        QTRY_COMPARE_WITH_TIMEOUT(platform.countProcessesByName(m_name), left, 5000);
    }
}

void TestX11Platform::fileExists_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");

    QTest::newRow("file") << m_dir.filePath(QStringLiteral("a/") + QString::fromLocal8Bit(m_name))
                          << true;
    QTest::newRow("folder") << m_dir.path() << true;
    QTest::newRow("Chinese name") << m_dir.filePath(QStringLiteral("脚本.zt")) << true;
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.zt")) << false;
    QTest::newRow("empty") << QString() << false;
}

void TestX11Platform::fileExists()
{
    QFETCH(QString, path);
    QFETCH(bool, exists);

    QFile chinese(m_dir.filePath(QStringLiteral("脚本.zt")));
    QVERIFY(chinese.open(QIODevice::WriteOnly));
    chinese.close();
    QCOMPARE(systemPlatform().fileExists(path), exists);
}

void TestX11Platform::ownExecutable()
{
    Platform &platform = systemPlatform();
    const QFileInfo self(QCoreApplication::applicationFilePath());
    QCOMPARE(platform.executablePath(), self.canonicalFilePath());
    QCOMPARE(platform.instanceImageName(), self.fileName().toLocal8Bit());
    // The count includes the caller itself.
    QVERIFY(platform.countProcessesByName(platform.instanceImageName()) >= 1);
}

QTEST_GUILESS_MAIN(TestX11Platform)
#include "tst_x11platform.moc"
