#pragma once

#include <QFile>
#include <QString>
#include <QVector>

class QIODevice;

// A small reader of the release zip (as CMake's libarchive writes it): the central directory,
// and stored or deflated entries streamed out one by one. Every refusal is a short text for
// the user; nothing in a broken or hostile archive makes it read or write out of bounds.
namespace ziparchive {

struct Entry
{
    QString name; // as stored, '/' between folders; a folder's ends with '/'
    quint16 flags = 0;
    quint16 method = 0;
    quint32 crc = 0;
    quint64 compressedSize = 0;
    quint64 size = 0;
    quint64 localHeaderOffset = 0;
};

// Where the central directory lies, read from the end-of-central-directory record.
struct EndRecord
{
    quint64 directoryOffset = 0;
    quint64 directorySize = 0;
    int entryCount = 0;
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

struct Directory
{
    QVector<Entry> entries;
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

// The longest tail that can hold the end record: the record and a comment of up to 64 KB.
constexpr int kMaxTail = 22 + 0xFFFF;

// Finds the end record in the last bytes of an archive of fileSize bytes (tail is its last
// tail.size() bytes), searching backwards for one whose comment ends the file.
EndRecord findEndRecord(const QByteArray &tail, quint64 fileSize);

// The entries of the central directory's bytes. Refuses names that could leave the target
// folder, duplicates, entries larger than maxEntrySize and entries on another disk or whose
// data would run into the directory.
Directory parseDirectory(const QByteArray &bytes, const EndRecord &end, quint64 maxEntrySize);

// The whole directory of an archive held in memory (for tests and the fuzzer).
Directory readDirectory(const QByteArray &archive, quint64 maxEntrySize);

// True when a stored name is safe to write below a folder: relative, no "..", no drive letter
// or other colon, no backslash, no NUL.
bool isSafeName(const QString &name);

class Reader
{
public:
    Reader(const QString &path, quint64 maxEntrySize);

    // Reads the central directory; an empty text when it holds.
    QString open();
    const QVector<Entry> &entries() const { return m_entries; }
    // The entry of that exact name, or nullptr.
    const Entry *find(const QString &name) const;

    // Streams one entry's contents to out; an empty text when its size and CRC-32 hold.
    // On a refusal out may hold part of the contents: the caller throws them away.
    QString extract(const Entry &entry, QIODevice *out);

private:
    QString dataStart(const Entry &entry, quint64 *start);

    QFile m_file;
    quint64 m_maxEntrySize;
    quint64 m_directoryOffset = 0;
    QVector<Entry> m_entries;
};

} // namespace ziparchive
