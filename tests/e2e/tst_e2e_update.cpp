// The online update of the built program on a private Xvfb with a window manager and a tray:
// a feed served on 127.0.0.1 offers a new version, the user says yes in the question box, and
// the program downloads, checks, swaps its files and hands over to the new program, or tells
// why not and leaves its folder as it was. The program trusts one key compiled in; each copy
// under test has that key replaced by a key made here, in its bytes, so no other way to change
// the key is needed.
#include "e2etest.h"
#include "feedsigning.h"

#include "update/makerkey.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>

namespace {

using Snapshot = QMap<QString, QByteArray>; // relative name → contents

const QString kWorkFolder = QStringLiteral("QuorvelUpdate");
const QString kHelpName = QStringLiteral("QuorvelExplain.txt");
const QString kIconName = QStringLiteral("iconengines/zt.ico");
const QString kSettingsName = QStringLiteral("Quorvel.qcf");
const QString kScriptName = QStringLiteral("ZtFiles/Quorvel.zt");
const QString kPictureName = QStringLiteral("BmpLibrary/mine.bmp");
// Appended to the program, so the new version is told from the old by its bytes.
const QByteArray kNewMarker = "\nquorvel-e2e-new-version\n";
// Moves the pointer: the hotkey check after a rollback (Ctrl+E runs the default script).
const QByteArray kUserScript = "鼠标->321,234\r\n";
const QPoint kScriptPoint(321, 234);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Every file below a folder, by relative name.
Snapshot snapshotOf(const QString &folder)
{
    Snapshot files;
    const QDir root(folder);
    QDirIterator it(
        folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(root.relativeFilePath(path), readAll(path));
    }
    return files;
}

// The settings lines, without the date of the last check (which the program adds).
QList<QByteArray> userSettingLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith("LastUpdateCheck="))
            lines << line;
    }
    return lines;
}

// Where /proc says a process's executable is; empty when the process is gone.
QString executableOf(qint64 pid)
{
    return QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
}

// The processes whose executable lies in a folder (or lay there, before it was removed).
QList<qint64> processesIn(const QString &folder)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && executableOf(pid).startsWith(folder + QLatin1Char('/')))
            found << pid;
    }
    return found;
}

QByteArray bmpOf(const QColor &colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

} // namespace

class TestE2eUpdate : public E2eTest
{
    Q_OBJECT

public:
    TestE2eUpdate()
        : E2eTest(QStringLiteral("update"), CopyPerCase::No)
    {
    }

private slots:
    void initTestCase();
    void cleanup();

    void goodUpdateReplacesTheProgram();
    void failureTellsAndChangesNothing_data();
    void failureTellsAndChangesNothing();
    void wrongSignatureAsksNothing();
    void failedNewVersionIsRolledBack();

private:
    enum class Archive { Good, Tampered, Truncated, Failing };
    enum class Folder { Plain, FullDisk, Blocked };

    QByteArray newKey(const QString &name);
    QByteArray userFileBytes(const QString &name) const;
    QByteArray archiveFileBytes(const QString &name) const;
    QString makeArchive(const QString &dir, const QByteArray &program);
    QString signedFeed(
        const QString &dir, const QString &url, const QString &hashed, const QString &key);
    QByteArray failingProgram() const;
    QString failingProgramRan() const { return m_work.filePath(QStringLiteral("failing-ran")); }
    QString prepareRelease(Archive kind, const QString &key, qint64 *archiveSize);
    bool mountSmallDisk(const QString &folder, qint64 archiveSize);
    bool makeProgramFolder(Folder kind, const QString &feedUrl, qint64 archiveSize);
    QProcess *startAndAnswerYes(const QString &screenshot = QString());
    QString windowOf(qint64 pid, const QString &title, int timeoutMs);
    QString outcomeBox(qint64 pid, int timeoutMs);
    qint64 waitForNewProgram(qint64 oldPid, int timeoutMs);
    bool trayIconShown(qint64 pid);
    void endProcessesIn(const QString &folder);
    bool requested(const QString &path) const;
    void compareUserFiles(const Snapshot &before, const Snapshot &after);

    QTemporaryDir m_work;
    QString m_www; // the server's folder
    QString m_base; // http://127.0.0.1:PORT/
    QByteArray m_testKey; // base64 of the public point, as compiled in
    QByteArray m_patched; // the program, trusting the test key
    int m_cases = 0;
    QString m_mounted; // a small disk of the current case
    Snapshot m_before; // the program folder before the start
};

void TestE2eUpdate::initTestCase()
{
    if (feedsigning::python().isEmpty())
        QSKIP("no Python with the cryptography module: the feeds cannot be signed");
    QVERIFY(m_work.isValid());
    XvfbSession::Options options;
    options.windowManager = true;
    options.tray = true;
    QVERIFY2(startSession(options), qPrintable(failure()));

    m_testKey = newKey(QStringLiteral("test"));
    QVERIFY(!newKey(QStringLiteral("other")).isEmpty());
    // One key in, one key out, the same length: nothing else in the binary moves.
    QCOMPARE(m_testKey.size(), int(sizeof(kMakerPublicKeyBase64)) - 1);
    m_patched = readAll(QStringLiteral(QUORVEL_BINARY));
    QCOMPARE(m_patched.count(kMakerPublicKeyBase64), 1);
    m_patched.replace(kMakerPublicKeyBase64, m_testKey);

    m_www = m_work.filePath(QStringLiteral("www"));
    QVERIFY(QDir().mkpath(m_www));
    QProcess *server = m_x->start(feedsigning::python(), {QStringLiteral(QUORVEL_UPDATE_SERVER), m_www});
    QVERIFY(server);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_www + QStringLiteral("/port")), 20000);
    m_base = QStringLiteral("http://127.0.0.1:%1/")
                 .arg(QString::fromLatin1(readAll(m_www + QStringLiteral("/port"))));
}

void TestE2eUpdate::cleanup()
{
    const QString folder = m_copy ? m_copy->folder() : QString();
    E2eTest::cleanup();
    // The new program was started detached by the old one: ended here, by where it lies.
    if (!folder.isEmpty())
        endProcessesIn(folder);
    if (!m_mounted.isEmpty()) {
        if (::umount2(qPrintable(m_mounted), MNT_DETACH) != 0)
            qWarning("cannot unmount %s", qPrintable(m_mounted));
        m_mounted.clear();
    }
}

// A new key pair; the public point in base64, as the program holds it.
QByteArray TestE2eUpdate::newKey(const QString &name)
{
    return feedsigning::makeKey(m_work.filePath(name + QStringLiteral(".pem"))).toBase64();
}

// What the user has in the program folder, and what a release archive holds instead.
QByteArray TestE2eUpdate::userFileBytes(const QString &name) const
{
    if (name == kHelpName)
        return "the help of version 5.4\r\n";
    if (name == kIconName)
        return "old icon bytes";
    if (name == kScriptName)
        return kUserScript;
    if (name == kPictureName)
        return bmpOf(Qt::red);
    return {};
}

QByteArray TestE2eUpdate::archiveFileBytes(const QString &name) const
{
    if (name == kHelpName)
        return "使用说明 of version 5.5\r\n";
    if (name == kIconName)
        return "new icon bytes";
    if (name == kSettingsName)
        return "UpdateUrl=http://127.0.0.1:1/elsewhere\r\nWindowX=1\r\n";
    if (name == kScriptName)
        return "复制->from the archive\r\n";
    if (name == kPictureName)
        return bmpOf(Qt::blue);
    return {};
}

// A release zip in dir: the program as "Quorvel", the program files, and the user's files of
// a fresh installation that an update must never bring.
QString TestE2eUpdate::makeArchive(const QString &dir, const QByteArray &program)
{
    const QString stage = dir + QStringLiteral("/stage");
    const QStringList names {
        QStringLiteral("Quorvel"), kHelpName, kIconName, kSettingsName, kScriptName, kPictureName};
    for (const QString &name : names) {
        const QByteArray bytes = name == names.first() ? program : archiveFileBytes(name);
        if (!writeAll(stage + QLatin1Char('/') + name, bytes))
            return {};
    }
    const QString zip = dir + QStringLiteral("/release.zip");
    QProcess cmake;
    cmake.setWorkingDirectory(stage);
    cmake.start(QStringLiteral(QUORVEL_CMAKE),
        QStringList {QStringLiteral("-E"), QStringLiteral("tar"), QStringLiteral("cf"), zip,
            QStringLiteral("--format=zip")}
            + names);
    const bool ok = cmake.waitForFinished(60000) && cmake.exitCode() == 0;
    return ok ? zip : QString();
}

// The signed feed of a version 5.5.0 whose archive lies at url, with the size and hash of the
// file hashed; the feed's address.
QString TestE2eUpdate::signedFeed(
    const QString &dir, const QString &url, const QString &hashed, const QString &key)
{
    const QString document = dir + QStringLiteral("/feed.json");
    const QByteArray text = QByteArrayLiteral("{\"product\": \"Quorvel\", \"version\": \"5.5.0\", "
                                              "\"published\": \"2026-12-01\", \"notes\": \"修复\", "
                                              "\"systems\": {\"linux-x64\": {\"url\": \"")
        + url.toUtf8() + "\", \"size\": 1, \"sha256\": \"" + QByteArray(64, '0') + "\"}}}\n";
    const QByteArray envelope = writeAll(document, text)
        ? feedsigning::tool({QStringLiteral("sign"), m_work.filePath(key + QStringLiteral(".pem")),
            document, QStringLiteral("--archive"), QStringLiteral("linux-x64=") + hashed})
        : QByteArray();
    if (envelope.isEmpty() || !writeAll(dir + QStringLiteral("/feed.signed"), envelope))
        return {};
    return m_base + QDir(m_www).relativeFilePath(dir) + QStringLiteral("/feed.signed");
}

// A new version that ends at once with an error; it notes its arguments outside the program
// folder, so the test knows it was started.
QByteArray TestE2eUpdate::failingProgram() const
{
    return "#!/bin/sh\necho \"$@\" > '" + failingProgramRan().toUtf8() + "'\nexit 1\n";
}

// The case's release on the server: its feed's address, signed with key.
QString TestE2eUpdate::prepareRelease(Archive kind, const QString &key, qint64 *archiveSize)
{
    const QString dir = m_www + QStringLiteral("/case%1").arg(++m_cases);
    const QByteArray program = kind == Archive::Failing ? failingProgram() : m_patched + kNewMarker;
    const QString zip = makeArchive(dir, program);
    if (zip.isEmpty())
        return {};
    *archiveSize = QFileInfo(zip).size();
    const QString name = QDir(m_www).relativeFilePath(zip);
    QString hashed = zip;
    if (kind == Archive::Tampered) {
        // Another file of the same size: the download is whole, its hash is not the feed's.
        QByteArray other = readAll(zip);
        other[other.size() / 2] = char(other.at(other.size() / 2) ^ 0x55);
        hashed = dir + QStringLiteral("/other.zip");
        if (!writeAll(hashed, other))
            return {};
    }
    const QString url
        = kind == Archive::Truncated ? m_base + QStringLiteral("short/") + name : m_base + name;
    return signedFeed(dir, url, hashed, key);
}

// A tmpfs as the program folder, large enough for the program and the user's files but not
// for the archive besides.
bool TestE2eUpdate::mountSmallDisk(const QString &folder, qint64 archiveSize)
{
    const qint64 page = 4096;
    const qint64 program = (m_patched.size() + page - 1) / page * page;
    const qint64 size = program + 64 * page + archiveSize / 2;
    if (!QDir().mkpath(folder)
        || ::mount("tmpfs", qPrintable(folder), "tmpfs", 0,
               qPrintable(QStringLiteral("size=%1").arg(size)))
            != 0)
        return false;
    m_mounted = folder;
    return true;
}

// The copy under test in its program folder, with the user's settings (some of their own
// lines, the feed, the check at start), script and picture.
bool TestE2eUpdate::makeProgramFolder(Folder kind, const QString &feedUrl, qint64 archiveSize)
{
    QString folder;
    if (kind == Folder::FullDisk) {
        folder = m_work.filePath(QStringLiteral("disk%1").arg(m_cases));
        if (!mountSmallDisk(folder, archiveSize))
            return false;
    }
    m_copy = std::make_unique<ProgramCopy>(*m_x, QStringLiteral(QUORVEL_BINARY), folder);
    if (!m_copy->isValid() || !writeAll(m_copy->path(), m_patched))
        return false;
    const QString settings = QStringLiteral("WindowX=40\r\nWindowY=60\r\nUpdateUrl=%1\r\n"
                                            "CheckUpdateAtStart=y\r\nRunAtStart=n\r\n")
                                 .arg(feedUrl);
    bool ok = writeAll(file(kSettingsName), settings.toUtf8());
    for (const QString &name : {kHelpName, kIconName, kScriptName, kPictureName})
        ok = ok && writeAll(file(name), userFileBytes(name));
    if (kind == Folder::Blocked)
        ok = ok && writeAll(file(kWorkFolder), "a file where the work folder would go");
    m_before = snapshotOf(m_copy->folder());
    return ok;
}

// The copy started resident, once the new version was offered and the user said yes (a picture
// of the question taken when a file name is given); null when it was not.
QProcess *TestE2eUpdate::startAndAnswerYes(const QString &screenshot)
{
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    if (!app)
        return nullptr;
    const QString question = windowOf(app->processId(), QStringLiteral("发现新版本"), 20000);
    if (question.isEmpty()) {
        qWarning("no question box: %s", outputOf(app).constData());
        return nullptr;
    }
    if (!screenshot.isEmpty()) {
        QTest::qWait(300);
        m_x->screenshot(screenshot);
    }
    // No is the default button: Yes only by its mnemonic.
    const bool pressed
        = m_x->xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), question}).ok()
        && m_x->xdotool({QStringLiteral("key"), QStringLiteral("alt+y")}).ok();
    return pressed ? app : nullptr;
}

QString TestE2eUpdate::windowOf(qint64 pid, const QString &title, int timeoutMs)
{
    // --all: xdotool joins the conditions with "or" unless told otherwise.
    return m_x->waitForWindow(
        {QStringLiteral("--all"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
            QString::number(pid), QStringLiteral("--name"),
            QLatin1Char('^') + title + QLatin1Char('$')},
        timeoutMs);
}

// The "检查更新" box that tells how an attempt ended, once it shows; empty when it did not within
// the time. The progress dialog has the same title, but it lives only while the work folder
// does: the outcome is told after the folder has gone. (Qt's message boxes copy their text
// with Ctrl+C only on Windows: the texts are checked by the Wine cases.)
QString TestE2eUpdate::outcomeBox(qint64 pid, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QString box = windowOf(pid, QStringLiteral("检查更新"), 500);
        if (!box.isEmpty() && !QFileInfo(file(kWorkFolder)).isDir())
            return box;
        QTest::qWait(200);
    }
    return {};
}

// The program started in the old one's place: its own executable file, another process.
qint64 TestE2eUpdate::waitForNewProgram(qint64 oldPid, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        for (qint64 pid : processesIn(m_copy->folder())) {
            if (pid != oldPid && executableOf(pid) == m_copy->path())
                return pid;
        }
        QTest::qWait(100);
    }
    return 0;
}

// A resident program's one visible window is its icon in the tray, the size of the tray's row.
bool TestE2eUpdate::trayIconShown(qint64 pid)
{
    const QStringList windows = m_x->findWindows(
        {QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)});
    for (const QString &window : windows) {
        const QRect place = m_x->windowGeometry(window);
        if (place.isValid() && place.height() <= 32 && place.top() < 32)
            return true;
    }
    return false;
}

void TestE2eUpdate::endProcessesIn(const QString &folder)
{
    for (int round = 0; round < 50; ++round) {
        const QList<qint64> left = processesIn(folder);
        if (left.isEmpty())
            return;
        for (qint64 pid : left)
            ::kill(pid_t(pid), SIGKILL);
        QThread::msleep(100);
    }
    qWarning("processes in %s did not end", qPrintable(folder));
}

bool TestE2eUpdate::requested(const QString &path) const
{
    const QByteArray log = readAll(m_www + QStringLiteral("/requests.log"));
    return log.split('\n').contains('/' + path.toUtf8());
}

// The user's files as they were, the settings file with the date of the check alone added.
void TestE2eUpdate::compareUserFiles(const Snapshot &before, const Snapshot &after)
{
    Snapshot was = before;
    Snapshot is = after;
    const QByteArray checked
        = "LastUpdateCheck=" + QDate::currentDate().toString(Qt::ISODate).toLatin1();
    QVERIFY(is.value(kSettingsName).contains(checked));
    QCOMPARE(userSettingLines(is.take(kSettingsName)), userSettingLines(was.take(kSettingsName)));
    QCOMPARE(is.keys(), was.keys());
    for (auto it = was.cbegin(); it != was.cend(); ++it)
        QVERIFY2(
            is.value(it.key()) == it.value(), qPrintable(it.key() + QStringLiteral(" differs")));
}

void TestE2eUpdate::goodUpdateReplacesTheProgram()
{
    qint64 archiveSize = 0;
    const QString feed = prepareRelease(Archive::Good, QStringLiteral("test"), &archiveSize);
    QVERIFY(!feed.isEmpty());
    QVERIFY(makeProgramFolder(Folder::Plain, feed, archiveSize));
    QProcess *old = startAndAnswerYes(QStringLiteral(QUORVEL_E2E_ARTIFACTS "/update-question.png"));
    QVERIFY(old);

    const qint64 newPid = waitForNewProgram(old->processId(), 60000);
    QVERIFY2(newPid != 0, outputOf(old));
    // Started from the tray, the new program stays in the tray.
    QCOMPARE(readAll(QStringLiteral("/proc/%1/cmdline").arg(newPid)).split('\0').value(1),
        QByteArray("-updated-autorun"));
    QVERIFY2(old->waitForFinished(30000), "the old program did not end");
    QCOMPARE(old->exitStatus(), QProcess::NormalExit);
    QVERIFY(!windowOf(newPid, QStringLiteral("提示:"), 20000).isEmpty());
    QTest::qWait(300);
    m_x->screenshot(QStringLiteral(QUORVEL_E2E_ARTIFACTS "/update-success.png"));

    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(file(kWorkFolder)), 15000);
    Snapshot expected = m_before;
    expected.insert(QFileInfo(m_copy->path()).fileName(), m_patched + kNewMarker);
    expected.insert(kHelpName, archiveFileBytes(kHelpName));
    expected.insert(kIconName, archiveFileBytes(kIconName));
    compareUserFiles(expected, snapshotOf(m_copy->folder()));
    QVERIFY(QFileInfo(m_copy->path()).isExecutable());
    QCOMPARE(processesIn(m_copy->folder()), QList<qint64> {newPid});
}

void TestE2eUpdate::failureTellsAndChangesNothing_data()
{
    QTest::addColumn<int>("archive");
    QTest::addColumn<int>("folder");
    // What the server was asked for the archive ("" the whole file, "short/" the cut one); no
    // request at all when the work folder could not be made.
    QTest::addColumn<QString>("fetched");

    QTest::newRow("tampered archive") << int(Archive::Tampered) << int(Folder::Plain) << "";
    QTest::newRow("download cut short")
        << int(Archive::Truncated) << int(Folder::Plain) << "short/";
    QTest::newRow("work folder cannot be made")
        << int(Archive::Good) << int(Folder::Blocked) << QString();
    QTest::newRow("disk full") << int(Archive::Good) << int(Folder::FullDisk) << "";
}

void TestE2eUpdate::failureTellsAndChangesNothing()
{
    QFETCH(int, archive);
    QFETCH(int, folder);
    QFETCH(QString, fetched);
    qint64 archiveSize = 0;
    const QString feed = prepareRelease(Archive(archive), QStringLiteral("test"), &archiveSize);
    QVERIFY(!feed.isEmpty());
    if (!makeProgramFolder(Folder(folder), feed, archiveSize) && m_copy == nullptr)
        QSKIP("cannot mount a small tmpfs here (not root, or no mount rights)");
    QVERIFY(m_copy && m_copy->isValid());
    QProcess *app = startAndAnswerYes();
    QVERIFY(app);

    QVERIFY(!outcomeBox(app->processId(), 60000).isEmpty());
    const QString archivePath = QStringLiteral("case%1/release.zip").arg(m_cases);
    QCOMPARE(requested(fetched + archivePath), !fetched.isNull());
    QCOMPARE(app->state(), QProcess::Running);
    QVERIFY(!QFileInfo(file(kWorkFolder)).isDir());
    compareUserFiles(m_before, snapshotOf(m_copy->folder()));
    QCOMPARE(processesIn(m_copy->folder()), QList<qint64> {app->processId()});
}

void TestE2eUpdate::wrongSignatureAsksNothing()
{
    qint64 archiveSize = 0;
    const QString feed = prepareRelease(Archive::Good, QStringLiteral("other"), &archiveSize);
    QVERIFY(!feed.isEmpty());
    QVERIFY(makeProgramFolder(Folder::Plain, feed, archiveSize));
    QProcess *app = m_copy->launch({QStringLiteral("-autorun")});
    QVERIFY(app);

    const QString feedPath = feed.mid(m_base.size());
    QTRY_VERIFY_WITH_TIMEOUT(requested(feedPath), 20000);
    // Refused in the background: no question, no message, nothing fetched after the feed.
    for (const QString &title : {QStringLiteral("发现新版本"), QStringLiteral("检查更新")})
        QVERIFY2(windowOf(app->processId(), title, 5000).isEmpty(), qPrintable(title));
    QVERIFY(!requested(feedPath.section(QLatin1Char('/'), 0, 0) + QStringLiteral("/release.zip")));
    QCOMPARE(app->state(), QProcess::Running);
    QVERIFY(!QFileInfo::exists(file(kWorkFolder)));
    compareUserFiles(m_before, snapshotOf(m_copy->folder()));
}

void TestE2eUpdate::failedNewVersionIsRolledBack()
{
    qint64 archiveSize = 0;
    const QString feed = prepareRelease(Archive::Failing, QStringLiteral("test"), &archiveSize);
    QVERIFY(!feed.isEmpty());
    QVERIFY(makeProgramFolder(Folder::Plain, feed, archiveSize));
    QProcess *app = startAndAnswerYes();
    QVERIFY(app);

    const QString box = outcomeBox(app->processId(), 60000);
    QVERIFY(!box.isEmpty());
    QCOMPARE(readAll(failingProgramRan()).trimmed(), QByteArray("-updated-autorun"));
    QCOMPARE(app->state(), QProcess::Running);
    QVERIFY(!QFileInfo::exists(file(kWorkFolder)));
    compareUserFiles(m_before, snapshotOf(m_copy->folder()));
    QVERIFY(QFileInfo(m_copy->path()).isExecutable());

    // The tray icon and the hotkeys are the old program's again: Ctrl+E runs the default script.
    QTRY_VERIFY_WITH_TIMEOUT(trayIconShown(app->processId()), 5000);
    QVERIFY(m_x->pressKeys(box, {QStringLiteral("Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(
        windowOf(app->processId(), QStringLiteral("检查更新"), 100).isEmpty(), 5000);
    QVERIFY(m_x->xdotool({QStringLiteral("mousemove"), QStringLiteral("900"), QStringLiteral("20")})
                .ok());
    QVERIFY(m_x->xdotool({QStringLiteral("key"), QStringLiteral("ctrl+e")}).ok());
    QTRY_COMPARE_WITH_TIMEOUT(m_x->pointer(), kScriptPoint, 5000);
}

QTEST_MAIN(TestE2eUpdate)
#include "tst_e2e_update.moc"
