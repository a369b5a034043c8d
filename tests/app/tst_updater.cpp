// The online update in the real window, with downloads, process starts and hotkeys on the
// recording fake and real files in a program folder of its own: what the user is asked and told,
// that every refusal leaves the program folder as it was, that a run is waited for, and that the
// old program stays until the new one has reported, putting itself back when it does not.
#include "feedsigning.h"
#include "testwindow.h"

#include "update/feed.h"
#include "update/install.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kFeedUrl = QStringLiteral("http://127.0.0.1:9/feed.json");
const QString kArchiveUrl = QStringLiteral("http://127.0.0.1:9/release.zip");
const QByteArray kSettings = "UpdateUrl=http://127.0.0.1:9/feed.json\nSoftWidth=800\n";
const QString kExecutable = QStringLiteral("Quorvel-run");

// The program folder as the user has it; the archive brings other bytes for every name.
using Files = QMap<QString, QByteArray>;
const Files kUserFiles {{kExecutable, "old program"}, {QStringLiteral("QuorvelExplain.txt"), "old help"},
    {QStringLiteral("ZtFiles/Quorvel.zt"), "user script"}, {QStringLiteral("BmpLibrary/a.bmp"), "BM user"}};
const Files kArchive {{QStringLiteral("Quorvel"), "new program"},
    {QStringLiteral("QuorvelExplain.txt"), "new help"}, {QStringLiteral("iconengines/zt.ico"), "new icon"},
    {QStringLiteral("Quorvel.qcf"), "UpdateUrl=\n"}, {QStringLiteral("ZtFiles/Quorvel.zt"), "shipped"},
    {QStringLiteral("BmpLibrary/a.bmp"), "BM shipped"}};

QString reasonText(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

    QTemporaryDir m_keys;
    QByteArray m_key; // the test's public point, in place of the maker's
    QByteArray m_zip; // kArchive as a zip
    std::unique_ptr<TestWindow> m_w;

    // Files as a zip, written by Python's zipfile (deflated).
    QByteArray zipOf(const Files &files)
    {
        QJsonObject entries;
        for (auto it = files.begin(); it != files.end(); ++it)
            entries.insert(it.key(), QString::fromLatin1(it.value().toBase64()));
        return feedsigning::run({QStringLiteral("-c"),
                             QStringLiteral("import base64,io,json,sys,zipfile\n"
                                            "b=io.BytesIO()\n"
                                            "with zipfile.ZipFile(b,'w',zipfile.ZIP_DEFLATED) as z:\n"
                                            "    for n,d in json.load(sys.stdin).items(): z.writestr(n,base64.b64decode(d))\n"
                                            "sys.stdout.buffer.write(b.getvalue())\n")},
            QJsonDocument(entries).toJson());
    }

    // A feed for this system offering version with an archive of these facts, signed by keyFile.
    QByteArray feed(const QString &version, const QByteArray &archive,
        const QString &keyFile = QStringLiteral("test.pem"))
    {
        const QJsonObject entry {{QStringLiteral("url"), kArchiveUrl},
            {QStringLiteral("size"), double(archive.size())},
            {QStringLiteral("sha256"),
                QString::fromLatin1(QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex())}};
        const QJsonObject document {{QStringLiteral("product"), QStringLiteral("Quorvel")},
            {QStringLiteral("version"), version}, {QStringLiteral("published"), QStringLiteral("2026-12-01")},
            {QStringLiteral("systems"), QJsonObject {{currentSystemName(), entry}}}};
        QFile file(m_keys.filePath(QStringLiteral("document.json")));
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(document).toJson());
        file.close();
        return feedsigning::signRaw(m_keys.filePath(keyFile), file.fileName());
    }

    // A window in a program folder holding kUserFiles, with the test key trusted.
    void open(const QByteArray &settings = kSettings, const QString &argument = {})
    {
        m_w = std::make_unique<TestWindow>(settings, QMap<QString, QByteArray> {},
            [argument](ProcessState &process) {
                process.executablePath = process.programFolder + kExecutable;
                process.argument = argument;
            });
        for (auto it = kUserFiles.begin(); it != kUserFiles.end(); ++it) {
            QDir().mkpath(QFileInfo(m_w->path(it.key())).absolutePath());
            m_w->write(it.key(), it.value());
        }
        updater().setPublicKey(m_key);
        updater().setHandoverTimeout(400);
    }

    Updater &updater() { return m_w->window->updater(); }
    QString state() { return m_w->child<QLabel>("lb_UpdateState")->text(); }
    UpdateFolders work() { return updateFoldersOf(m_w->dir.path()); }

    // Every file of the program folder and its bytes.
    Files filesNow()
    {
        Files files;
        QDirIterator it(m_w->dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.insert(QDir(m_w->dir.path()).relativeFilePath(path), readFile(path));
        }
        return files;
    }
    Files userFilesWithSettings(const QByteArray &settings = kSettings)
    {
        Files files = kUserFiles;
        files.insert(QStringLiteral("Quorvel.qcf"), settings);
        return files;
    }

    // Waits until the updater says the program is to end (true) or the time is up. The
    // window's own answer, quitting the application, is taken away: it would end every event
    // loop of the test that follows.
    bool endsWithin(int milliseconds)
    {
        QObject::disconnect(&updater(), &Updater::handedOver, nullptr, nullptr);
        QSignalSpy ended(&updater(), &Updater::handedOver);
        return ended.wait(milliseconds) || ended.count() == 1;
    }

    void offerAnswered(const QString &answer)
    {
        m_w->answers = QStringList {answer};
        m_w->platform.downloads.insert(kFeedUrl, {true, {}, feed(QStringLiteral("5.5"), m_zip)});
        m_w->platform.downloads.insert(kArchiveUrl, {true, {}, m_zip});
    }

private slots:
    void initTestCase()
    {
        if (feedsigning::python().isEmpty())
            QSKIP("python3 with cryptography is not available");
        QVERIFY(m_keys.isValid());
        m_key = feedsigning::makeKey(m_keys.filePath(QStringLiteral("test.pem")));
        QCOMPARE(m_key.size(), 65);
        QCOMPARE(feedsigning::makeKey(m_keys.filePath(QStringLiteral("other.pem"))).size(), 65);
        m_zip = zipOf(kArchive);
        QVERIFY(!m_zip.isEmpty());
    }

    void cleanup() { m_w.reset(); }

    // What a check says when nothing is installed; the program folder stays as it was.
    void checksThatEndEarly_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("feedVersion"); // empty: the feed cannot be fetched
        QTest::addColumn<QString>("keyFile");
        QTest::addColumn<QString>("told");
        QTest::newRow("no address") << QByteArray("SoftWidth=800\n") << QString() << QString()
                                    << reasonText("没有设置更新地址");
        QTest::newRow("unreachable") << kSettings << QString() << QString()
                                     << reasonText("检查更新失败:");
        QTest::newRow("up to date") << kSettings << QStringLiteral("5.4") << QStringLiteral("test.pem")
                                    << reasonText("当前版本 5.4 已是最新版本。");
        QTest::newRow("older") << kSettings << QStringLiteral("5.3.9") << QStringLiteral("test.pem")
                               << reasonText("当前版本 5.4 已是最新版本。");
        QTest::newRow("another key") << kSettings << QStringLiteral("9.0") << QStringLiteral("other.pem")
                                     << reasonText("检查更新失败:更新信息的签名密钥未知。");
    }

    void checksThatEndEarly()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, feedVersion);
        QFETCH(QString, keyFile);
        QFETCH(QString, told);
        open(settings);
        if (!feedVersion.isEmpty())
            m_w->platform.downloads.insert(kFeedUrl, {true, {}, feed(feedVersion, m_zip, keyFile)});
        QTest::mouseClick(m_w->child<QPushButton>("pBtn_CheckUpdate"), Qt::LeftButton);
        QTRY_COMPARE(m_w->questions.size(), 1);
        QVERIFY2(m_w->questions.first().startsWith(reasonText("检查更新|") + told),
            qPrintable(m_w->questions.first()));
        QVERIFY(state().startsWith(told));
        QCOMPARE(updater().stage(), Updater::Stage::Idle);
        QCOMPARE(filesNow(), userFilesWithSettings(settings));
        QVERIFY(!m_w->platform.calls.join(' ').contains(kArchiveUrl));
    }

    // Once a day, only when switched on, and silent unless there is something new.
    void startUpCheck_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<bool>("checks");
        const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toLatin1();
        QTest::newRow("off") << QByteArray() << false;
        QTest::newRow("on") << QByteArray("CheckUpdateAtStart=y\n") << true;
        QTest::newRow("on, checked yesterday")
            << "CheckUpdateAtStart=y\nLastUpdateCheck=" + QDate::currentDate().addDays(-1).toString(Qt::ISODate).toLatin1() + "\n"
            << true;
        QTest::newRow("on, checked today") << "CheckUpdateAtStart=y\nLastUpdateCheck=" + today + "\n" << false;
    }

    void startUpCheck()
    {
        QFETCH(QByteArray, extra);
        QFETCH(bool, checks);
        open(kSettings + extra);
        QCOMPARE(m_w->child<QCheckBox>("cBox_CheckUpdateAtStart")->isChecked(), extra.contains("=y"));
        m_w->platform.downloads.insert(kFeedUrl, {true, {}, feed(QStringLiteral("5.4"), m_zip)});
        updater().checkAtStartIfDue(QDate::currentDate());
        QTRY_COMPARE(updater().stage(), Updater::Stage::Idle);
        QTest::qWait(20);
        QCOMPARE(m_w->platform.calls.contains(QStringLiteral("download:") + kFeedUrl), checks);
        QVERIFY(m_w->questions.isEmpty()); // a check of its own accord says nothing
        if (checks)
            QVERIFY(m_w->read(QStringLiteral("Quorvel.qcf"))
                        .contains("LastUpdateCheck=" + QDate::currentDate().toString(Qt::ISODate).toLatin1()));
    }

    void theCheckBoxIsSaved()
    {
        open();
        m_w->child<QCheckBox>("cBox_CheckUpdateAtStart")->click();
        QVERIFY(m_w->read(QStringLiteral("Quorvel.qcf")).contains("CheckUpdateAtStart=y"));
        m_w->child<QCheckBox>("cBox_CheckUpdateAtStart")->click();
        QVERIFY(m_w->read(QStringLiteral("Quorvel.qcf")).contains("CheckUpdateAtStart=n"));
    }

    void declinedIsNotDownloaded()
    {
        open();
        offerAnswered(QString());
        updater().check(true);
        QTRY_COMPARE(m_w->questions.size(), 1);
        QVERIFY(m_w->questions.first().startsWith(reasonText("发现新版本|发现新版本 5.5")));
        QTRY_COMPARE(updater().stage(), Updater::Stage::Idle);
        QVERIFY(!m_w->platform.calls.contains(QStringLiteral("download:") + kArchiveUrl));
        QVERIFY(!QFileInfo::exists(work().work));
    }

    // After a yes, every failure is told and leaves the program folder as it was.
    void failuresAfterYes_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("told");
        QTest::newRow("tampered archive") << 0 << reasonText("下载的更新包与更新信息不符");
        QTest::newRow("download fails") << 1 << reasonText("下载新版本失败:");
        QTest::newRow("no executable inside") << 2 << reasonText("更新包无法解开:");
        QTest::newRow("work folder cannot be made") << 3 << reasonText("无法在程序文件夹中建立");
    }

    void failuresAfterYes()
    {
        QFETCH(int, fault);
        QFETCH(QString, told);
        open();
        offerAnswered(QStringLiteral("yes"));
        Files expected = userFilesWithSettings();
        if (fault == 0)
        {
            QByteArray &body = m_w->platform.downloads[kArchiveUrl].body;
            body[100] = char(body.at(100) ^ 1);
        }
        if (fault == 1)
            m_w->platform.downloads[kArchiveUrl] = {false, reasonText("连接中断"), {}};
        if (fault == 2) {
            Files helpOnly {{QStringLiteral("QuorvelExplain.txt"), "new help"}};
            const QByteArray zip = zipOf(helpOnly);
            m_w->platform.downloads.insert(kFeedUrl, {true, {}, feed(QStringLiteral("5.5"), zip)});
            m_w->platform.downloads.insert(kArchiveUrl, {true, {}, zip});
        }
        if (fault == 3) {
            m_w->write(QStringLiteral("QuorvelUpdate"), "a file in the way");
            expected.insert(QStringLiteral("QuorvelUpdate"), "a file in the way");
        }
        updater().check(true);
        QTRY_COMPARE(m_w->questions.size(), 2);
        QVERIFY2(m_w->questions.last().startsWith(reasonText("检查更新|") + told),
            qPrintable(m_w->questions.last()));
        QVERIFY2(m_w->questions.last().contains(reasonText("没有做任何改动")), qPrintable(m_w->questions.last()));
        QCOMPARE(updater().stage(), Updater::Stage::Idle);
        QCOMPARE(filesNow(), expected);
        QVERIFY(!m_w->platform.calls.join(' ').contains(QStringLiteral("startDetached")));
    }

    void cancelledDownload()
    {
        open();
        offerAnswered(QStringLiteral("yes"));
        m_w->platform.stalledDownloads.insert(kArchiveUrl);
        updater().check(true);
        QTRY_VERIFY(m_w->window->findChild<QProgressDialog *>());
        auto *progress = m_w->window->findChild<QProgressDialog *>();
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(updater().stage(), Updater::Stage::Idle);
        QVERIFY(state().startsWith(reasonText("已取消下载新版本 5.5")));
        QCOMPARE(filesNow(), userFilesWithSettings());
    }

    // The good update: the program files swapped in, the user's left alone, the hotkeys given up,
    // the new program started with its argument, and this one quits once it has reported.
    void goodUpdateHandsOver_data()
    {
        QTest::addColumn<bool>("inTray");
        QTest::addColumn<QString>("argument");
        QTest::newRow("window shown") << false << QStringLiteral("-updated");
        QTest::newRow("in the tray") << true << QStringLiteral("-updated-autorun");
    }

    void goodUpdateHandsOver()
    {
        QFETCH(bool, inTray);
        QFETCH(QString, argument);
        open();
        if (inTray)
            m_w->window->hide();
        offerAnswered(QStringLiteral("yes"));
        const QList<unsigned> keys = m_w->platform.hotKeys.values();
        QVERIFY(!keys.isEmpty());
        QList<unsigned> keysAtStart;
        m_w->platform.onStart = [this, &keysAtStart](const QString &, const QStringList &, qint64 pid) {
            keysAtStart = m_w->platform.hotKeys.values();
            writeStartReport(work().report(), pid, QStringLiteral("5.5"));
        };
        updater().check(true);
        QVERIFY(endsWithin(5000));
        QVERIFY(keysAtStart.isEmpty()); // every key was free for the new program
        QVERIFY(m_w->platform.calls.contains(QStringLiteral("startDetached:") + m_w->path(kExecutable)
            + QLatin1Char(' ') + argument + QStringLiteral(" in ") + m_w->dir.path() + QLatin1Char('/')));
        Files expected = userFilesWithSettings();
        expected[kExecutable] = "new program";
        expected[QStringLiteral("QuorvelExplain.txt")] = "new help";
        expected[QStringLiteral("iconengines/zt.ico")] = "new icon";
        // The old files wait in the work folder for the new program to clear it.
        expected[QStringLiteral("QuorvelUpdate/old/") + kExecutable] = "old program";
        expected[QStringLiteral("QuorvelUpdate/old/QuorvelExplain.txt")] = "old help";
        expected[QStringLiteral("QuorvelUpdate/release.zip")] = m_zip;
        expected[QStringLiteral("QuorvelUpdate/started")] = readFile(work().report());
        QCOMPARE(filesNow(), expected);
        QCOMPARE(m_w->questions.size(), 1); // only the offer: the new program says the rest
    }

    // A new program that ends at once, or never reports, is ended and the old files come back,
    // with the hotkeys.
    void failedStartRollsBack_data()
    {
        QTest::addColumn<bool>("endsAtOnce");
        QTest::addColumn<QString>("told");
        QTest::newRow("ends at once") << true << reasonText("新版本启动后立即退出了,已恢复原来的版本 5.4。");
        QTest::newRow("never reports") << false << reasonText("新版本在 0 秒内没有正常启动,已恢复原来的版本 5.4。");
    }

    void failedStartRollsBack()
    {
        QFETCH(bool, endsAtOnce);
        QFETCH(QString, told);
        open();
        offerAnswered(QStringLiteral("yes"));
        QList<unsigned> keys = m_w->platform.hotKeys.values();
        std::sort(keys.begin(), keys.end());
        m_w->platform.onStart = [this, endsAtOnce](const QString &, const QStringList &, qint64 pid) {
            if (endsAtOnce)
                m_w->platform.runningPids.remove(pid);
        };
        updater().check(true);
        QTRY_COMPARE(m_w->questions.size(), 2);
        QCOMPARE(m_w->questions.last(), reasonText("检查更新|") + told);
        QCOMPARE(m_w->platform.calls.join(' ').contains(QStringLiteral("endProcess:")), !endsAtOnce);
        QCOMPARE(filesNow(), userFilesWithSettings());
        QList<unsigned> keysAfter = m_w->platform.hotKeys.values();
        std::sort(keysAfter.begin(), keysAfter.end());
        QCOMPARE(keysAfter, keys);
        QCOMPARE(updater().stage(), Updater::Stage::Idle);
    }

    // A run in progress is never interrupted: the update is installed after it.
    void waitsForTheRun()
    {
        open();
        offerAnswered(QStringLiteral("yes"));
        m_w->platform.onStart = [this](const QString &, const QStringList &, qint64 pid) {
            writeStartReport(work().report(), pid, QStringLiteral("5.5"));
        };
        m_w->window->ExecuteInstructions(QStringLiteral("延时->800"));
        QVERIFY(m_w->window->instructionThread().isRunning());
        updater().check(true);
        QTRY_COMPARE(updater().stage(), Updater::Stage::WaitingForRun);
        QVERIFY(state().contains(reasonText("将在脚本运行或录制结束后安装")));
        QCOMPARE(readFile(m_w->path(kExecutable)), QByteArray("old program"));
        const bool ended = endsWithin(5000);
        QVERIFY2(ended, qPrintable(state() + m_w->questions.join('/')));
        QVERIFY(!m_w->window->instructionThread().isRunning());
        QCOMPARE(readFile(m_w->path(kExecutable)), QByteArray("new program"));
    }

    // The new program's side: its report, the message, and the work folder cleared.
    void theNewProgramReportsAndClears_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("shown");
        QTest::newRow("window") << QStringLiteral("-updated") << true;
        QTest::newRow("tray") << QStringLiteral("-updated-autorun") << false;
    }

    void theNewProgramReportsAndClears()
    {
        QFETCH(QString, argument);
        QFETCH(bool, shown);
        QByteArray reportSeen;
        open(kSettings, argument);
        QCOMPARE(m_w->window->isVisible(), shown);
        QDir().mkpath(work().aside());
        writeFile(work().aside() + QStringLiteral("/x"), "old");
        dialogs::setResponder([this, &reportSeen](const dialogs::Question &q) {
            m_w->questions << q.title + QLatin1Char('|') + q.text;
            reportSeen = readFile(work().report());
            return QString();
        });
        QTRY_COMPARE(m_w->questions, QStringList {reasonText("提示:|成功升级新版本!")});
        QCOMPARE(reportSeen,
            QByteArray::number(QCoreApplication::applicationPid()) + ' ' + programVersion().toUtf8() + '\n');
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(work().work), 3000);
        QVERIFY(m_w->platform.calls.filter(QStringLiteral("download:")).isEmpty()); // no check
    }

    void aPlainStartClearsWhatWasLeft()
    {
        open();
        QDir().mkpath(work().staged());
        writeFile(work().staged() + QStringLiteral("/Quorvel"), "half");
        m_w.reset();
        m_w = std::make_unique<TestWindow>(kSettings, QMap<QString, QByteArray> {}, nullptr);
        QVERIFY(!QFileInfo::exists(updateFoldersOf(m_w->dir.path()).work));
    }
};

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
