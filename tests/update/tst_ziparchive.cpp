// Unpacking an update's program files from the release zip: archives made by CMake's own zip
// writer (the one the release target uses) and by a small writer here, which builds the broken
// and hostile ones byte by byte. Only the program's files are written, byte-identical; anything
// wrong refuses the archive with a reason and leaves nothing behind.
#include "update/releasefiles.h"
#include "update/ziparchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

QString reason(const char *text)
{
    return QString::fromUtf8(text);
}

// CRC-32 as zip uses it, bit by bit: independent of the zlib the reader uses.
quint32 crcOf(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

void put16(QByteArray *out, quint32 value)
{
    out->append(char(value & 0xFF)).append(char(value >> 8 & 0xFF));
}

void put32(QByteArray *out, quint32 value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void put64(QByteArray *out, quint64 value)
{
    put32(out, quint32(value));
    put32(out, quint32(value >> 32));
}

// One entry as the hand-made archive holds it; the cases change its fields before writing.
struct Packed
{
    QByteArray name;
    quint16 flags = 0;
    quint16 method = 8;
    quint32 crc = 0;
    quint64 size = 0;
    QByteArray data; // as stored (deflated or not)
    bool zip64 = false; // sizes and offset only in a zip64 extra field
    quint64 compressedSize() const { return quint64(data.size()); }
};

Packed pack(const QByteArray &name, const QByteArray &contents, quint16 method = 8)
{
    Packed entry {name, 0, method, crcOf(contents), quint64(contents.size()), contents};
    // qCompress gives a size, a zlib header, the raw deflate data and an Adler-32.
    if (method == 8)
        entry.data = qCompress(contents, 9).mid(4 + 2).chopped(4);
    return entry;
}

QByteArray zip64Extra(const Packed &entry, quint64 offset)
{
    QByteArray extra;
    put16(&extra, 0x0001);
    put16(&extra, 24);
    put64(&extra, entry.size);
    put64(&extra, entry.compressedSize());
    put64(&extra, offset);
    return extra;
}

QByteArray centralHeader(const Packed &entry, quint64 offset)
{
    const QByteArray extra = entry.zip64 ? zip64Extra(entry, offset) : QByteArray();
    const quint32 marker = 0xFFFFFFFF;
    QByteArray out;
    put32(&out, 0x02014b50);
    put16(&out, 0x031E);
    put16(&out, 20);
    put16(&out, entry.flags);
    put16(&out, entry.method);
    put32(&out, 0); // time and date
    put32(&out, entry.crc);
    put32(&out, entry.zip64 ? marker : quint32(entry.compressedSize()));
    put32(&out, entry.zip64 ? marker : quint32(entry.size));
    put16(&out, quint32(entry.name.size()));
    put16(&out, quint32(extra.size()));
    put32(&out, 0); // comment length, disk
    put16(&out, 0);
    put32(&out, 0);
    put32(&out, entry.zip64 ? marker : quint32(offset));
    return out + entry.name + extra;
}

QByteArray archiveOf(const QVector<Packed> &entries, const QByteArray &comment = {})
{
    QByteArray out;
    QByteArray directory;
    for (const Packed &entry : entries) {
        directory += centralHeader(entry, quint64(out.size()));
        put32(&out, 0x04034b50);
        put16(&out, 20);
        put16(&out, entry.flags);
        put16(&out, entry.method);
        put32(&out, 0);
        put32(&out, entry.crc);
        put32(&out, quint32(entry.compressedSize()));
        put32(&out, quint32(entry.size));
        put16(&out, quint32(entry.name.size()));
        put16(&out, 0);
        out += entry.name + entry.data;
    }
    const int directoryOffset = out.size();
    out += directory;
    put32(&out, 0x06054b50);
    put32(&out, 0);
    put16(&out, quint32(entries.size()));
    put16(&out, quint32(entries.size()));
    put32(&out, quint32(directory.size()));
    put32(&out, quint32(directoryOffset));
    put16(&out, quint32(comment.size()));
    return out + comment;
}

// Varied bytes that deflate only partly, so the data spans several reads and writes.
QByteArray programBytes(int size, int seed)
{
    QByteArray bytes(size, '\0');
    quint32 state = quint32(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(i % 3 == 0 ? i / 64 : int(state >> 24));
    }
    return bytes;
}

const QByteArray kHelp = QByteArray("Quorvel 说明\r\n鼠标->100,200\r\n").repeated(500);
const QByteArray kIcon = programBytes(5000, 3);
const QByteArray kSettings = "CtrlM=1\r\n";

using Files = QMap<QString, QByteArray>;
using Change = std::function<void(QVector<Packed> &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

namespace {

// A release as the build packs it, for one system.
Files releaseFiles(const QString &program)
{
    return Files {{program, programBytes(300000, 1)}, {QStringLiteral("Quorvel.qcf"), kSettings},
        {QStringLiteral("QuorvelExplain.txt"), kHelp},
        {QStringLiteral("ZtFiles/x.zt"), QByteArray("鼠标->1,1\r\n")},
        {QStringLiteral("BmpLibrary/a.bmp"), programBytes(700, 2)},
        {QStringLiteral("iconengines/zt.ico"), kIcon}};
}

QVector<Packed> packAll(const Files &files, quint16 method)
{
    QVector<Packed> entries;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        entries.append(pack(it.key().toUtf8(), it.value(), method));
    return entries;
}

Packed *entryNamed(QVector<Packed> &entries, const QByteArray &name)
{
    for (Packed &entry : entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

// Every file and folder below a folder, relative to it.
QStringList contentsOf(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(folder).relativeFilePath(it.next()));
    found.sort();
    return found;
}

} // namespace

class TestZipArchive : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_serial = 0;

    QString fresh(const QString &stem)
    {
        return m_dir.filePath(stem + QString::number(++m_serial));
    }

    QString writeFile(const QByteArray &bytes)
    {
        QFile file(fresh(QStringLiteral("archive")) + QStringLiteral(".zip"));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return file.fileName();
    }

    // The files packed by CMake's zip writer, as the release target packs them.
    QString packWithCmake(const Files &files)
    {
        const QString stage = fresh(QStringLiteral("stage"));
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QDir().mkpath(QFileInfo(stage + QLatin1Char('/') + it.key()).path());
            QFile file(stage + QLatin1Char('/') + it.key());
            if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
                return {};
        }
        const QString zip = fresh(QStringLiteral("cmake")) + QStringLiteral(".zip");
        QProcess process;
        process.setWorkingDirectory(stage);
        process.start(QStringLiteral(QUORVEL_CMAKE),
            QStringList {QStringLiteral("-E"), QStringLiteral("tar"), QStringLiteral("cf"), zip,
                QStringLiteral("--format=zip"), QStringLiteral("--")}
                + QDir(stage).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return {};
        return zip;
    }

    QString handMade(const Files &files, quint16 method, const Change &change = {})
    {
        QVector<Packed> entries = packAll(files, method);
        if (change)
            change(entries);
        return writeFile(archiveOf(entries));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void programFilesAreUnpacked_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("producer");
        QTest::addColumn<bool>("emptyHelp");
        for (const char *system : {"windows-x64", "linux-x64"}) {
            for (const char *producer : {"cmake", "stored", "deflated"}) {
                QTest::addRow("%s, %s", system, producer) << system << producer << false;
            }
            QTest::addRow("%s, empty help text", system) << system << "cmake" << true;
        }
    }

    void programFilesAreUnpacked()
    {
        QFETCH(QString, system);
        QFETCH(QString, producer);
        QFETCH(bool, emptyHelp);
        const QStringList wanted = programFilesOf(system);
        QCOMPARE(wanted.size(), 3);
        Files files = releaseFiles(wanted.first());
        if (emptyHelp)
            files[QStringLiteral("QuorvelExplain.txt")] = QByteArray();
        const QString zip = producer == QLatin1String("cmake")
            ? packWithCmake(files)
            : handMade(files, producer == QLatin1String("stored") ? 0 : 8);
        QVERIFY(!zip.isEmpty());

        const QString folder = fresh(QStringLiteral("out")) + QStringLiteral("/new/folder");
        const UnpackResult result = unpackProgramFiles(zip, folder, system);
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(result.files, wanted);
        // Only the program's files: the user's settings, scripts and pictures stay untouched.
        QCOMPARE(contentsOf(folder),
            QStringList({wanted.first(), QStringLiteral("QuorvelExplain.txt"),
                QStringLiteral("iconengines"), QStringLiteral("iconengines/zt.ico")}));
        for (const QString &name : wanted) {
            QFile file(folder + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(file.readAll() == files.value(name), qPrintable(name));
        }
#ifndef Q_OS_WIN
        QVERIFY(QFileInfo(folder + QLatin1Char('/') + wanted.first()).isExecutable());
#endif
    }

    // Only the executable is required; an existing empty folder is fine, a comment too.
    void iconMayBeMissing()
    {
        Files files = releaseFiles(QStringLiteral("Quorvel"));
        files.remove(QStringLiteral("iconengines/zt.ico"));
        QVector<Packed> entries = packAll(files, 8);
        entryNamed(entries, "Quorvel")->zip64 = true; // its sizes only in the zip64 field
        const QString zip = writeFile(archiveOf(entries, QByteArray(70000, 'c').left(0xFFFF)));
        const QString folder = fresh(QStringLiteral("empty"));
        QVERIFY(QDir().mkpath(folder));
        const UnpackResult result = unpackProgramFiles(zip, folder, QStringLiteral("linux-x64"));
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(result.files,
            QStringList({QStringLiteral("Quorvel"), QStringLiteral("QuorvelExplain.txt")}));
        QCOMPARE(contentsOf(folder), result.files);
    }

    void brokenArchiveIsRefused_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("reason");
        const QString damaged = reason("更新包已损坏");
        const QString unsafe = reason("更新包中有不安全的文件名");
        const auto on = [](const char *name, std::function<void(Packed &)> edit) {
            return Change(
                [name, edit](QVector<Packed> &entries) { edit(*entryNamed(entries, name)); });
        };
        const auto named = [](const QByteArray &name) {
            return Change([name](QVector<Packed> &entries) { entries.append(pack(name, "x")); });
        };
        QTest::newRow("no executable")
            << Change([](QVector<Packed> &entries) { entries.removeFirst(); })
            << reason("更新包中没有程序文件");
        QTest::newRow("empty executable")
            << on("Quorvel.exe", [](Packed &e) { e = pack("Quorvel.exe", QByteArray()); })
            << reason("更新包中没有程序文件");
        QTest::newRow("bad CRC") << on("Quorvel.exe", [](Packed &e) { e.crc ^= 1; })
                                 << reason("更新包中的文件校验失败");
        // A later file's fault takes away the files already written.
        QTest::newRow("bad CRC of the icon")
            << on("iconengines/zt.ico", [](Packed &e) { e.crc ^= 0x80000000; })
            << reason("更新包中的文件校验失败");
        QTest::newRow("size too small") << on("Quorvel.exe", [](Packed &e) { e.size -= 1; })
                                        << reason("更新包中的文件大小不符");
        QTest::newRow("size too large") << on("QuorvelExplain.txt", [](Packed &e) { e.size += 1; })
                                        << reason("更新包中的文件大小不符");
        QTest::newRow("deflate cut short")
            << on("Quorvel.exe", [](Packed &e) { e.data.chop(e.data.size() / 2); }) << damaged;
        QTest::newRow("bytes after the deflate data")
            << on("QuorvelExplain.txt", [](Packed &e) { e.data.append("tail"); }) << damaged;
        QTest::newRow("not deflate data")
            << on("Quorvel.exe", [](Packed &e) { e.data.fill('\xFF'); }) << damaged;
        QTest::newRow("encrypted")
            << on("Quorvel.exe", [](Packed &e) { e.flags |= 1; }) << reason("更新包中的文件已加密");
        QTest::newRow("method 12") << on("Quorvel.exe", [](Packed &e) { e.method = 12; })
                                   << reason("更新包的压缩方式不受支持");
        QTest::newRow("larger than the limit") << on("ZtFiles/x.zt", [](Packed &e) {
            e.zip64 = true;
            e.size = quint64(513) << 20;
        }) << reason("更新包中的文件过大");
        QTest::newRow("parent folder") << named("../x") << unsafe;
        QTest::newRow("parent folder inside") << named("ZtFiles/../../x") << unsafe;
        QTest::newRow("absolute") << named("/abs") << unsafe;
        QTest::newRow("drive letter") << named("C:x") << unsafe;
        QTest::newRow("backslash") << named("a\\b") << unsafe;
        QTest::newRow("NUL") << named(QByteArray("Quorvel.exe\0x", 13)) << unsafe;
        QTest::newRow("duplicate") << named("QuorvelExplain.txt") << reason("更新包中有重名的文件");
        QTest::newRow("duplicate in other case")
            << named("quorvel.EXE") << reason("更新包中有重名的文件");
    }

    void brokenArchiveIsRefused()
    {
        QFETCH(Change, change);
        QFETCH(QString, reason);
        const Files files = releaseFiles(QStringLiteral("Quorvel.exe"));
        const QString zip = handMade(files, 8, [change](QVector<Packed> &entries) {
            // The executable first, as the release target packs it.
            std::stable_partition(entries.begin(), entries.end(),
                [](const Packed &e) { return e.name == "Quorvel.exe"; });
            change(entries);
        });
        const QString folder = fresh(QStringLiteral("refused"));
        const UnpackResult result = unpackProgramFiles(zip, folder, QStringLiteral("windows-x64"));
        QCOMPARE(result.reason, reason);
        QVERIFY(result.files.isEmpty());
        QCOMPARE(contentsOf(folder), QStringList());
    }

    // CMake's archive cut anywhere: refused, never read past its end.
    void truncatedArchiveIsRefused_data()
    {
        QTest::addColumn<double>("keep");
        for (double keep : {0.0, 0.001, 0.3, 0.5, 0.9, 0.999})
            QTest::addRow("%g", keep) << keep;
        QTest::addRow("all but the last byte") << -1.0;
        QTest::addRow("all but the end record") << -22.0;
    }

    void truncatedArchiveIsRefused()
    {
        QFETCH(double, keep);
        QFile made(packWithCmake(releaseFiles(QStringLiteral("Quorvel"))));
        QVERIFY(made.open(QIODevice::ReadOnly));
        const QByteArray whole = made.readAll();
        const int size = keep < 0 ? whole.size() + int(keep) : int(whole.size() * keep);
        const QString folder = fresh(QStringLiteral("cut"));
        const UnpackResult result
            = unpackProgramFiles(writeFile(whole.left(size)), folder, QStringLiteral("linux-x64"));
        QCOMPARE(result.reason, reason("更新包已损坏"));
        QCOMPARE(contentsOf(folder), QStringList());
    }

    // Structural faults of the directory, read from bytes alone.
    void directoryFaults_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("reason");
        const QByteArray good = archiveOf({pack("a", "first"), pack("b/c", "second", 0)});
        QTest::newRow("good") << good << QString();
        QByteArray multiDisk = good;
        multiDisk[multiDisk.size() - 22 + 4] = 1;
        QTest::newRow("multi-disk") << multiDisk << reason("更新包是分卷压缩的，无法读取");
        QByteArray count = good;
        count[count.size() - 22 + 8] = 3;
        count[count.size() - 22 + 10] = 3;
        QTest::newRow("more entries than written") << count << reason("更新包已损坏");
        // An entry's data claimed to run into the directory.
        QByteArray past = good;
        const int directory
            = int(quint8(good[good.size() - 6])) | int(quint8(good[good.size() - 5])) << 8;
        past[directory + 21] = char(quint8(past[directory + 21]) + 1); // 256 bytes more
        QTest::newRow("data past the directory") << past << reason("更新包已损坏");
        QTest::newRow("no end record") << good.left(good.size() - 22) << reason("更新包已损坏");
        QTest::newRow("garbage") << QByteArray(1000, 'P') << reason("更新包已损坏");
        QTest::newRow("comment with a stray signature")
            << archiveOf({pack("a", "x")}, QByteArray("PK\x05\x06", 4) + QByteArray(40, ' '))
            << QString();
    }

    void directoryFaults()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, reason);
        const ziparchive::Directory directory = ziparchive::readDirectory(archive, 1 << 20);
        QCOMPARE(directory.reason, reason);
        QCOMPARE(directory.entries.isEmpty(), !reason.isEmpty());
    }

    void folderIsRefused_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not empty") << "not empty" << reason("更新文件的存放目录不是空的");
        QTest::newRow("parent is a file")
            << "parent is a file" << reason("无法创建更新文件的存放目录");
        QTest::newRow("is a file") << "is a file" << reason("无法创建更新文件的存放目录");
    }

    void folderIsRefused()
    {
        QFETCH(QString, place);
        QFETCH(QString, reason);
        const QString base = fresh(QStringLiteral("place"));
        QVERIFY(QDir().mkpath(base));
        QFile existing(base + QStringLiteral("/Quorvel"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("user's") == 6);
        existing.close();
        const QString folder = place == QLatin1String("not empty") ? base
            : place == QLatin1String("is a file")                  ? existing.fileName()
                                                  : existing.fileName() + QStringLiteral("/sub");
        const QString zip = handMade(releaseFiles(QStringLiteral("Quorvel")), 8);
        const UnpackResult result = unpackProgramFiles(zip, folder, QStringLiteral("linux-x64"));
        QCOMPARE(result.reason, reason);
        QCOMPARE(contentsOf(base), QStringList {QStringLiteral("Quorvel")});
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("user's"));
    }

    // The archive the Windows build packed (CI cross-builds it): its program files come out as
    // built, and the user's files stay in it.
    void windowsReleaseArchive()
    {
        const QString exe = QStringLiteral(QUORVEL_WIN_EXE);
        QString zip = QStringLiteral(QUORVEL_WIN_ZIP);
        if (zip.isEmpty() && !exe.isEmpty()) {
            const QStringList beside
                = QDir(QFileInfo(exe).path())
                      .entryList({QStringLiteral("Quorvel-*-win64.zip")}, QDir::Files);
            zip = beside.isEmpty() ? QString() : QFileInfo(exe).dir().filePath(beside.first());
        }
        if (exe.isEmpty() || zip.isEmpty())
            QSKIP("no Windows build given (QUORVEL_WIN_EXE)");
        const QString folder = fresh(QStringLiteral("windows"));
        const UnpackResult result = unpackProgramFiles(zip, folder, QStringLiteral("windows-x64"));
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(result.files, programFilesOf(QStringLiteral("windows-x64")));
        QFile built(exe);
        QFile unpacked(folder + QStringLiteral("/Quorvel.exe"));
        QVERIFY(built.open(QIODevice::ReadOnly) && unpacked.open(QIODevice::ReadOnly));
        QVERIFY(unpacked.readAll() == built.readAll());
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/Quorvel.qcf")));
    }

    void unknownSystemIsRefused()
    {
        QVERIFY(programFilesOf(QStringLiteral("macos-arm64")).isEmpty());
        const QString zip = handMade(releaseFiles(QStringLiteral("Quorvel")), 8);
        const QString folder = fresh(QStringLiteral("none"));
        QCOMPARE(unpackProgramFiles(zip, folder, QStringLiteral("macos-arm64")).reason,
            reason("更新包不支持本系统"));
        QVERIFY(!QFileInfo::exists(folder));
    }
};

QTEST_GUILESS_MAIN(TestZipArchive)
#include "tst_ziparchive.moc"
