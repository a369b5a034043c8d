#include "settings/filesave.h"
#include "settings/settings.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

    void unwritableFolderReportsFailure()
    {
        if (geteuid() == 0)
            QSKIP("root writes everywhere");
        QTemporaryDir ro;
        const QString path = ro.filePath(QStringLiteral("Quorvel.qcf"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("A=1\r\n");
        f.close();
        QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QCOMPARE(WriteSetting(path, "K", "v"), -1);
        QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(readFile(path), QByteArray("A=1\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
