// libFuzzer target for the release zip reader: the whole input is an archive. Its directory is
// read from bytes and from a file (the two must agree), then every entry is unpacked into
// memory. Besides not crashing, what is accepted must keep the reader's promises: safe,
// distinct names within the size limit, and contents of exactly the directory's size.
#include "fuzzinput.h"
#include "update/ziparchive.h"

#include <QBuffer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

// Small, so a hostile size cannot make the fuzzer's memory blow up.
constexpr quint64 kLimit = 1 << 20;

QString scratchFile()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        fuzz::fail("no temporary folder");
    return dir.filePath(QStringLiteral("archive.zip"));
}

void checkDirectory(const ziparchive::Directory &directory)
{
    QSet<QString> names;
    for (const ziparchive::Entry &entry : directory.entries) {
        FUZZ_CHECK(ziparchive::isSafeName(entry.name), entry.name.toUtf8());
        FUZZ_CHECK(entry.size <= kLimit && entry.compressedSize <= kLimit, entry.name.toUtf8());
        QString key = entry.name.toCaseFolded();
        while (key.endsWith(QLatin1Char('/')))
            key.chop(1);
        FUZZ_CHECK(!names.contains(key), entry.name.toUtf8());
        names.insert(key);
    }
}

void unpackAll(const QByteArray &archive, const ziparchive::Directory &directory)
{
    const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(archive) != archive.size())
            fuzz::fail("cannot write the archive");
    }
    ziparchive::Reader reader(path, kLimit);
    const QString reason = reader.open();
    FUZZ_CHECK(reason == directory.reason, reason.toUtf8() + " / " + directory.reason.toUtf8());
    FUZZ_CHECK(reader.entries().size() == directory.entries.size(), "entry count");
    for (const ziparchive::Entry &entry : reader.entries()) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        if (reader.extract(entry, &out).isEmpty())
            FUZZ_CHECK(quint64(out.data().size()) == entry.size, entry.name.toUtf8());
        else
            FUZZ_CHECK(quint64(out.data().size()) <= entry.size, entry.name.toUtf8());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startOnce("fuzz_zip");
    fuzz::Input in(data, size);
    const QByteArray archive = in.rest();
    const ziparchive::Directory directory = ziparchive::readDirectory(archive, kLimit);
    FUZZ_CHECK(directory.ok() || directory.entries.isEmpty(), directory.reason.toUtf8());
    checkDirectory(directory);
    unpackAll(archive, directory);
    return 0;
}
