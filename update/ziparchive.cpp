#include "update/ziparchive.h"

#include <QIODevice>
#include <QSet>

#include <zlib.h>

namespace ziparchive {

namespace {

// Reasons shown to the user.
const char *const kDamaged = "更新包已损坏";
const char *const kMultiDisk = "更新包是分卷压缩的，无法读取";
const char *const kEncrypted = "更新包中的文件已加密";
const char *const kUnsupported = "更新包的压缩方式不受支持";
const char *const kUnsafeName = "更新包中有不安全的文件名";
const char *const kDuplicate = "更新包中有重名的文件";
const char *const kTooLarge = "更新包中的文件过大";
const char *const kBadSize = "更新包中的文件大小不符";
const char *const kBadCrc = "更新包中的文件校验失败";
const char *const kCannotRead = "无法读取更新包";
const char *const kCannotWrite = "无法写入更新文件";

constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kLocalSignature = 0x04034b50;
constexpr int kEndSize = 22;
constexpr int kCentralSize = 46;
constexpr int kLocalSize = 30;
constexpr quint16 kZip64Extra = 0x0001;
constexpr quint32 kZip64Marker = 0xFFFFFFFF;
// The release archive's directory is a few hundred bytes; a huge one is not ours.
constexpr quint64 kMaxDirectory = 16 << 20;
// Entries are streamed in pieces of this size, in and out.
constexpr int kChunk = 64 * 1024;

QString tr8(const char *text)
{
    return QString::fromUtf8(text);
}

// Little-endian reads at a position that the caller has checked to be in bounds.
quint16 read16(const QByteArray &bytes, int at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

quint32 read32(const QByteArray &bytes, int at)
{
    return quint32(read16(bytes, at)) | quint32(read16(bytes, at + 2)) << 16;
}

quint64 read64(const QByteArray &bytes, int at)
{
    return quint64(read32(bytes, at)) | quint64(read32(bytes, at + 4)) << 32;
}

// The zip64 extra field carries, in this order, only those values whose 32-bit field holds the
// marker. False when a needed value is missing.
bool readZip64(const QByteArray &extra, Entry *entry)
{
    const bool needSize = entry->size == kZip64Marker;
    const bool needCompressed = entry->compressedSize == kZip64Marker;
    const bool needOffset = entry->localHeaderOffset == kZip64Marker;
    if (!needSize && !needCompressed && !needOffset)
        return true;
    int at = 0;
    while (at + 4 <= extra.size()) {
        const int id = read16(extra, at);
        const int length = read16(extra, at + 2);
        at += 4;
        if (at + length > extra.size())
            return false;
        if (id == kZip64Extra) {
            const int wanted = 8 * (int(needSize) + int(needCompressed) + int(needOffset));
            if (length < wanted)
                return false;
            int field = at;
            for (quint64 *value :
                {&entry->size, &entry->compressedSize, &entry->localHeaderOffset}) {
                if (*value == kZip64Marker) {
                    *value = read64(extra, field);
                    field += 8;
                }
            }
            return true;
        }
        at += length;
    }
    return false;
}

// The key two names collide under: Windows folds case, and a folder may be named with or
// without its slash.
QString collisionKey(const QString &name)
{
    QString key = name.toCaseFolded();
    while (key.endsWith(QLatin1Char('/')))
        key.chop(1);
    return key;
}

// One central header at *at; advances past it. An empty text when it holds.
QString readCentral(
    const QByteArray &bytes, int *at, const EndRecord &end, quint64 limit, Entry *entry)
{
    const int base = *at;
    if (bytes.size() - base < kCentralSize || read32(bytes, base) != kCentralSignature)
        return tr8(kDamaged);
    const int nameLength = read16(bytes, base + 28);
    const int extraLength = read16(bytes, base + 30);
    const int commentLength = read16(bytes, base + 32);
    const int total = kCentralSize + nameLength + extraLength + commentLength;
    if (bytes.size() - base < total)
        return tr8(kDamaged);
    const quint16 diskStart = read16(bytes, base + 34);
    entry->flags = read16(bytes, base + 8);
    entry->method = read16(bytes, base + 10);
    entry->crc = read32(bytes, base + 16);
    entry->compressedSize = read32(bytes, base + 20);
    entry->size = read32(bytes, base + 24);
    entry->localHeaderOffset = read32(bytes, base + 42);
    const QByteArray rawName = bytes.mid(base + kCentralSize, nameLength);
    // Names are UTF-8 or plain ASCII in the archives we make; others never match a wanted name.
    entry->name = QString::fromUtf8(rawName);
    *at = base + total;
    if (diskStart != 0)
        return tr8(kMultiDisk);
    if (!readZip64(bytes.mid(base + kCentralSize + nameLength, extraLength), entry))
        return tr8(kDamaged);
    if (rawName.contains('\0') || !isSafeName(entry->name))
        return tr8(kUnsafeName);
    if (entry->size > limit || entry->compressedSize > limit)
        return tr8(kTooLarge);
    // The local header and the data must lie before the directory.
    const quint64 before = end.directoryOffset;
    const quint64 header = quint64(kLocalSize) + quint64(nameLength);
    if (entry->localHeaderOffset > before || header > before - entry->localHeaderOffset
        || entry->compressedSize > before - entry->localHeaderOffset - header)
        return tr8(kDamaged);
    return {};
}

} // namespace

bool isSafeName(const QString &name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('/'))
        && !name.contains(QLatin1String("..")) && !name.contains(QLatin1Char(':'))
        && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

EndRecord findEndRecord(const QByteArray &tail, quint64 fileSize)
{
    EndRecord end;
    end.reason = tr8(kDamaged);
    if (quint64(tail.size()) > fileSize)
        return end;
    const quint64 tailStart = fileSize - quint64(tail.size());
    // Backwards from the end: the record is the one whose comment reaches the file's end.
    for (int at = tail.size() - kEndSize; at >= 0; --at) {
        if (read32(tail, at) != kEndSignature
            || at + kEndSize + read16(tail, at + 20) != tail.size())
            continue;
        const quint16 disk = read16(tail, at + 4);
        const quint16 directoryDisk = read16(tail, at + 6);
        const quint16 onDisk = read16(tail, at + 8);
        const quint16 count = read16(tail, at + 10);
        end.directorySize = read32(tail, at + 12);
        end.directoryOffset = read32(tail, at + 16);
        end.entryCount = count;
        if (disk != 0 || directoryDisk != 0 || onDisk != count)
            end.reason = tr8(kMultiDisk);
        // Markers of a zip64 end record: an archive far larger than any release.
        else if (count == 0xFFFF || end.directorySize == kZip64Marker
            || end.directoryOffset == kZip64Marker)
            end.reason = tr8(kTooLarge);
        else if (end.directorySize > kMaxDirectory
            || end.directoryOffset + end.directorySize > tailStart + quint64(at))
            end.reason = tr8(kDamaged);
        else
            end.reason.clear();
        return end;
    }
    return end;
}

Directory parseDirectory(const QByteArray &bytes, const EndRecord &end, quint64 maxEntrySize)
{
    Directory directory;
    if (!end.ok() || quint64(bytes.size()) != end.directorySize)
        return {{}, end.ok() ? tr8(kDamaged) : end.reason};
    QSet<QString> seen;
    int at = 0;
    for (int i = 0; i < end.entryCount; ++i) {
        Entry entry;
        const QString reason = readCentral(bytes, &at, end, maxEntrySize, &entry);
        if (!reason.isEmpty())
            return {{}, reason};
        const QString key = collisionKey(entry.name);
        if (seen.contains(key))
            return {{}, tr8(kDuplicate)};
        seen.insert(key);
        directory.entries.append(entry);
    }
    if (at != bytes.size())
        return {{}, tr8(kDamaged)};
    return directory;
}

Directory readDirectory(const QByteArray &archive, quint64 maxEntrySize)
{
    const EndRecord end = findEndRecord(archive.right(kMaxTail), quint64(archive.size()));
    if (!end.ok())
        return {{}, end.reason};
    return parseDirectory(
        archive.mid(int(end.directoryOffset), int(end.directorySize)), end, maxEntrySize);
}

namespace {

// Where the contents go: counted, summed and refused as soon as they outgrow the entry.
struct Sink
{
    QIODevice *out;
    quint64 limit;
    quint64 written = 0;
    uLong crc = crc32(0, nullptr, 0);

    QString put(const char *data, int length)
    {
        if (quint64(length) > limit - written)
            return tr8(kBadSize);
        if (out->write(data, length) != length)
            return tr8(kCannotWrite);
        written += quint64(length);
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data), uInt(length));
        return {};
    }
};

// zlib's raw inflate (no header: zip holds bare deflate data), ended whatever happens.
class Inflater
{
public:
    Inflater() { m_ready = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK; }
    ~Inflater()
    {
        if (m_ready)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    bool ready() const { return m_ready; }
    bool finished() const { return m_finished; }

    // Inflates one piece of input into the sink; an empty text while the data holds.
    QString feed(const QByteArray &input, Sink *sink)
    {
        if (m_finished)
            return input.isEmpty() ? QString() : tr8(kDamaged); // bytes after the stream's end
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.constData()));
        m_stream.avail_in = uInt(input.size());
        char out[kChunk];
        do {
            m_stream.next_out = reinterpret_cast<Bytef *>(out);
            m_stream.avail_out = kChunk;
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                return tr8(kDamaged);
            const QString reason = sink->put(out, kChunk - int(m_stream.avail_out));
            if (!reason.isEmpty())
                return reason;
            m_finished = status == Z_STREAM_END;
        } while (!m_finished && (m_stream.avail_in > 0 || m_stream.avail_out == 0));
        return m_finished && m_stream.avail_in > 0 ? tr8(kDamaged) : QString();
    }

private:
    z_stream m_stream = {};
    bool m_ready = false;
    bool m_finished = false;
};

} // namespace

Reader::Reader(const QString &path, quint64 maxEntrySize)
    : m_file(path)
    , m_maxEntrySize(maxEntrySize)
{
}

QString Reader::open()
{
    m_entries.clear();
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
        return tr8(kCannotRead);
    const quint64 fileSize = quint64(m_file.size());
    const qint64 tailSize = qint64(qMin<quint64>(fileSize, kMaxTail));
    if (!m_file.seek(qint64(fileSize) - tailSize))
        return tr8(kCannotRead);
    const QByteArray tail = m_file.read(tailSize);
    if (tail.size() != tailSize)
        return tr8(kCannotRead);
    const EndRecord end = findEndRecord(tail, fileSize);
    if (!end.ok())
        return end.reason;
    if (!m_file.seek(qint64(end.directoryOffset)))
        return tr8(kDamaged);
    const Directory directory
        = parseDirectory(m_file.read(qint64(end.directorySize)), end, m_maxEntrySize);
    if (!directory.ok())
        return directory.reason;
    m_directoryOffset = end.directoryOffset;
    m_entries = directory.entries;
    return {};
}

const Entry *Reader::find(const QString &name) const
{
    for (const Entry &entry : m_entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

// The local header only tells where the data starts; its sizes are not trusted (libarchive
// writes them after the data). Its name must be the directory's.
QString Reader::dataStart(const Entry &entry, quint64 *start)
{
    if (!m_file.seek(qint64(entry.localHeaderOffset)))
        return tr8(kDamaged);
    const QByteArray header = m_file.read(kLocalSize);
    if (header.size() != kLocalSize || read32(header, 0) != kLocalSignature)
        return tr8(kDamaged);
    const int nameLength = read16(header, 26);
    const int extraLength = read16(header, 28);
    if (QString::fromUtf8(m_file.read(nameLength)) != entry.name)
        return tr8(kDamaged);
    *start = entry.localHeaderOffset + quint64(kLocalSize + nameLength + extraLength);
    if (*start > m_directoryOffset || entry.compressedSize > m_directoryOffset - *start)
        return tr8(kDamaged);
    return {};
}

QString Reader::extract(const Entry &entry, QIODevice *out)
{
    if (entry.flags & 0x0001)
        return tr8(kEncrypted);
    if (entry.method != 0 && entry.method != 8)
        return tr8(kUnsupported);
    if (entry.method == 0 && entry.compressedSize != entry.size)
        return tr8(kBadSize);
    quint64 start = 0;
    QString reason = dataStart(entry, &start);
    if (!reason.isEmpty())
        return reason;
    if (!m_file.seek(qint64(start)))
        return tr8(kDamaged);
    Sink sink {out, entry.size};
    Inflater inflater;
    if (entry.method == 8 && !inflater.ready())
        return tr8(kCannotRead);
    for (quint64 left = entry.compressedSize; left > 0 && reason.isEmpty();) {
        const QByteArray piece = m_file.read(qint64(qMin<quint64>(left, kChunk)));
        if (piece.isEmpty())
            return tr8(kDamaged); // the file ends early
        left -= quint64(piece.size());
        reason = entry.method == 0 ? sink.put(piece.constData(), piece.size())
                                   : inflater.feed(piece, &sink);
    }
    if (reason.isEmpty() && entry.method == 8 && !inflater.finished())
        reason = tr8(kDamaged);
    if (reason.isEmpty() && sink.written != entry.size)
        reason = tr8(kBadSize);
    if (reason.isEmpty() && sink.crc != entry.crc)
        reason = tr8(kBadCrc);
    return reason;
}

} // namespace ziparchive
