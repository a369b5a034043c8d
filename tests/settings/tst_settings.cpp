#include "settings/filesave.h"
#include "settings/settings.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <grp.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace settings;

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString fileWith(const QByteArray &content)
    {
        static int n = 0;
        const QString path = dir.filePath(QStringLiteral("s%1.qcf").arg(++n));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }


private slots:
    void readSetting_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("first line") << QByteArray("A=1\r\nB=2\r\n") << QByteArray("A") << QByteArray("1");
        QTest::newRow("later line") << QByteArray("A=1\r\nB=2\r\n") << QByteArray("B") << QByteArray("2");
        QTest::newRow("absent") << QByteArray("A=1\r\n") << QByteArray("B") << QByteArray();
        QTest::newRow("last line without CR LF") << QByteArray("A=1\r\nB=2") << QByteArray("B") << QByteArray();
        // Files saved by editors on Linux end their lines in LF alone.
        QTest::newRow("LF only, first line") << QByteArray("A=1\nB=2\n") << QByteArray("A") << QByteArray("1");
        QTest::newRow("LF only, later line") << QByteArray("A=1\nB=2\n") << QByteArray("B") << QByteArray("2");
        QTest::newRow("LF only, blanks around") << QByteArray("A=1\nK= v \t\n") << QByteArray("K") << QByteArray("v");
        QTest::newRow("mixed line ends") << QByteArray("A=1\nB=2\r\nC=3\n") << QByteArray("C") << QByteArray("3");
        QTest::newRow("LF only, last line unterminated") << QByteArray("A=1\nB=2") << QByteArray("B") << QByteArray();
        QTest::newRow("spaces and tabs around the value")
            << QByteArray("MsecSleep=  250  \r\n") << QByteArray("MsecSleep") << QByteArray("250");
        QTest::newRow("tab trimmed") << QByteArray("K=\tv\t\r\n") << QByteArray("K") << QByteArray("v");
        QTest::newRow("key only at a line start")
            << QByteArray("disconnectAdslName=d\r\nconnectAdslName=c\r\n") << QByteArray("connectAdslName")
            << QByteArray("c");
        QTest::newRow("suffix key not confused")
            << QByteArray("connectAdslName=c\r\ndisconnectAdslName=d\r\n") << QByteArray("disconnectAdslName")
            << QByteArray("d");
        QTest::newRow("first line wins") << QByteArray("K=1\r\nK=2\r\n") << QByteArray("K") << QByteArray("1");
        QTest::newRow("leading blanks of the file") << QByteArray("  K=1\r\n") << QByteArray("K") << QByteArray("1");
        QTest::newRow("empty value") << QByteArray("K=\r\n") << QByteArray("K") << QByteArray();
        QTest::newRow("value with equals") << QByteArray("K=a=b\r\n") << QByteArray("K") << QByteArray("a=b");
        QTest::newRow("case-sensitive key") << QByteArray("k=1\r\n") << QByteArray("K") << QByteArray();
        QTest::newRow("empty text") << QByteArray() << QByteArray("K") << QByteArray();
    }

    void readSetting()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QCOMPARE(ReadSetting(text, key), value);
    }

    void replaceSettingLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("new key goes in front")
            << QByteArray("A=1\r\n") << QByteArray("K") << QByteArray("v") << QByteArray("K=v\r\nA=1\r\n");
        QTest::newRow("into empty text") << QByteArray() << QByteArray("K") << QByteArray("v") << QByteArray("K=v\r\n");
        QTest::newRow("existing key keeps the order")
            << QByteArray("A=1\r\nK=old\r\nB=2\r\n") << QByteArray("K") << QByteArray("new")
            << QByteArray("A=1\r\nK=new\r\nB=2\r\n");
        QTest::newRow("unterminated last line gets terminated")
            << QByteArray("A=1\r\nK=old") << QByteArray("K") << QByteArray("new") << QByteArray("A=1\r\nK=new\r\n");
        QTest::newRow("first of duplicates replaced")
            << QByteArray("K=1\r\nK=2\r\n") << QByteArray("K") << QByteArray("3") << QByteArray("K=3\r\nK=2\r\n");
        QTest::newRow("unknown lines kept")
            << QByteArray("# note\r\nfoo\r\nK=1\r\n") << QByteArray("K") << QByteArray("2")
            << QByteArray("# note\r\nfoo\r\nK=2\r\n");
        QTest::newRow("suffix key untouched")
            << QByteArray("disconnectAdslName=d\r\n") << QByteArray("connectAdslName") << QByteArray("c")
            << QByteArray("connectAdslName=c\r\ndisconnectAdslName=d\r\n");
        QTest::newRow("LF-only file: replaced line only")
            << QByteArray("A=1\nK=old\nB=2\n") << QByteArray("K") << QByteArray("new")
            << QByteArray("A=1\nK=new\r\nB=2\n");
        QTest::newRow("LF-only file: new key in front")
            << QByteArray("A=1\nB=2\n") << QByteArray("K") << QByteArray("v") << QByteArray("K=v\r\nA=1\nB=2\n");
        QTest::newRow("outer blanks trimmed")
            << QByteArray(" \tA=1\r\n\t ") << QByteArray("K") << QByteArray("v") << QByteArray("K=v\r\nA=1\r\n");
    }

    void replaceSettingLine()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, result);
        QByteArray out;
        ReplaceSettingLine(out, text, key, value);
        QCOMPARE(out, result);
        QCOMPARE(ReadSetting(out, key), value);
    }

    void writeSettingRoundTrip()
    {
        const QString path = fileWith("A=1\r\n");
        QCOMPARE(WriteSetting(path, "K", "v"), 0);
        QCOMPARE(readFile(path), QByteArray("K=v\r\nA=1\r\n"));
        QCOMPARE(WriteSetting(path, "A", "2"), 0);
        QByteArray buffer;
        QCOMPARE(ReadSettingsFile(buffer, path), 0);
        QCOMPARE(ReadSetting(buffer, "A"), QByteArray("2"));
        QCOMPARE(ReadSetting(buffer, "K"), QByteArray("v"));
    }

    void writeSettingNeverCreatesTheFile()
    {
        const QString path = dir.filePath(QStringLiteral("missing.qcf"));
        QCOMPARE(WriteSetting(path, "K", "v"), -1);
        QVERIFY(!QFile::exists(path));
        QByteArray buffer("untouched");
        QCOMPARE(ReadSettingsFile(buffer, path), -1);
        QCOMPARE(buffer, QByteArray("untouched"));
    }

    void largeFileKeepsItsTail()
    {
        // Past the nominal buffer size nothing may be cut off by a rewrite.
        QByteArray big;
        for (int i = 0; big.size() < 3 * bufferSize; ++i)
            big += "key" + QByteArray::number(i) + "=value\r\n";
        big += "Last=tail\r\n";
        const QString path = fileWith(big);
        QCOMPARE(WriteSetting(path, "K", "v"), 0);
        QByteArray buffer;
        ReadSettingsFile(buffer, path);
        QCOMPARE(ReadSetting(buffer, "Last"), QByteArray("tail"));
        QCOMPARE(buffer.size(), big.size() + 5);
    }

    void crashBeforeRenameKeepsOldFile()
    {
        const QByteArray old("A=1\r\nB=2\r\n");
        const QString path = fileWith(old);
        const pid_t child = fork();
        if (child == 0) {
            // Die between writing the new content and putting it in place.
            saveFileAtomically(path, QByteArray("half"), [] { _exit(3); });
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 3);
        QCOMPARE(readFile(path), old);
    }

    // A program folder the user may not write to, with a settings file the user may: the
    // file is rewritten in place. Run as an ordinary user (root writes everywhere).
    void readOnlyFolder_data()
    {
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("writable file") << true << 0 << QByteArray("K=v\r\nA=1\r\nB=a longer old tail\r\n");
        QTest::newRow("read-only file") << false << -1 << QByteArray("A=1\r\nB=a longer old tail\r\n");
    }

    void readOnlyFolder()
    {
        QFETCH(bool, fileWritable);
        QFETCH(int, result);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quorvel.qcf"));
        writeFile(path, "A=1\r\nB=a longer old tail\r\n");
        const QFileDevice::Permissions filePermissions = fileWritable
            ? QFileDevice::Permissions(0x6666) // read and write for everyone
            : QFileDevice::Permissions(0x4444);
        QFile::setPermissions(path, filePermissions);
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x5555)); // read and enter
        const int status = asOrdinaryUser([&] { return WriteSetting(path, "K", "v") == 0 ? 0 : 1; });
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7700));
        QCOMPARE(status == 0 ? 0 : -1, result);
        QCOMPARE(readFile(path), after);
        QCOMPARE(modeOf(path), modeOf(filePermissions));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("Quorvel.qcf")});
    }

    void rewriteKeepsPermissions()
    {
        const QString path = fileWith("A=1\r\n");
        const QFileDevice::Permissions mode(QFileDevice::ReadOwner | QFileDevice::WriteOwner
            | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup);
        QFile::setPermissions(path, mode);
        QCOMPARE(WriteSetting(path, "K", "v"), 0);
        QCOMPARE(modeOf(path), modeOf(mode));
    }

private:
    // The owner, group and other bits; Qt's "user" bits say what the running user may do.
    static int modeOf(QFileDevice::Permissions p) { return int(p) & 0x7077; }
    static int modeOf(const QString &path) { return modeOf(QFile::permissions(path)); }

    // Runs work in a child process as the user "nobody" when the test runs as root; its result.
    static int asOrdinaryUser(const std::function<int()> &work)
    {
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                _exit(99);
            _exit(work());
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
