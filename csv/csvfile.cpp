#include "csv/csvfile.h"
#include "csv/csvfile_search.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cstring>

namespace csv {

namespace {

QMutex &recordPathLock()
{
    static QMutex lock;
    return lock;
}

QString &recordPathStore()
{
    static QString path;
    return path;
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// First occurrence of the key in data[0, size), or -1. An empty key is found at 0, as strstr
// finds it.
qsizetype findKey(const char *data, qsizetype size, const QByteArray &key)
{
    const qsizetype keySize = key.size();
    if (keySize == 0)
        return 0;
    if (keySize > size)
        return -1;
    if (keySize == 1) {
        const void *hit = std::memchr(data, key.at(0), size_t(size));
        return hit ? static_cast<const char *>(hit) - data : -1;
    }
    const char *hit = detail::searchBytes(data, size_t(size), key.constData(), size_t(keySize));
    return hit ? hit - data : -1;
}

} // namespace

bool pathFits(const QString &path)
{
    return QDir::toNativeSeparators(path).toLocal8Bit().size() <= kMaxPathBytes;
}

Status appendCsvRecord(const QString &path, const QString &record)
{
    if (!pathFits(path))
        return Status::PathTooLong;
    QByteArray bytes = record.toLocal8Bit();
    if (bytes.size() > kMaxRecordBytes)
        return Status::RecordTooLong;
    bytes += "\r\n";
    if (path.isEmpty())
        return Status::CannotOpen;

    // Unbuffered, so the record and its line end leave in a single write: the record tool and
    // 存csv may append to the same file from two threads without a lock.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Status::CannotOpen;
    const bool whole = file.write(bytes) == bytes.size();
    file.close();
    return whole ? Status::Ok : Status::WriteFailed;
}

QByteArray nextCellAfterKey(const char *data, qsizetype size, const QByteArray &key)
{
    if (const void *zero = std::memchr(data, 0, size_t(size)))
        size = static_cast<const char *>(zero) - data;

    const qsizetype at = findKey(data, size, key);
    if (at < 0)
        return QByteArray();

    qsizetype p = at + key.size();
    qsizetype start = -1;
    for (; p < size; ++p) {
        // The look-ahead finds the end of a CR LF line while standing on its CR; a line that
        // ends in a bare LF (files from Linux editors) or CR must end the key's cell as well,
        // or the scan runs into the next row and returns one of its cells.
        if (isLineEnd(data[p]) || (p + 1 < size && isLineEnd(data[p + 1])))
            return QByteArray();
        if (data[p] == ',') {
            start = p + 1;
            break;
        }
    }
    if (start < 0)
        return QByteArray();

    qsizetype end = start;
    while (end < size && data[end] != ',' && !isLineEnd(data[end]))
        ++end;
    return QByteArray(data + start, int(end - start));
}

Lookup lookupCsvNextCell(const QString &path, const QString &key)
{
    Lookup result;
    if (!pathFits(path)) {
        result.status = Status::PathTooLong;
        return result;
    }
    if (path.isEmpty()) {
        result.status = Status::CannotOpen;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Status::CannotOpen;
        return result;
    }
    const QByteArray data = file.readAll();
    file.close();

    const QByteArray value = nextCellAfterKey(data.constData(), data.size(), key.toLocal8Bit());
    if (value.size() > kMaxValueBytes) {
        result.status = Status::ValueTooLong;
        return result;
    }
    result.value = QString::fromLocal8Bit(value);
    return result;
}

QString failureText(Operation operation, Status status)
{
    const QString failed = operation == Operation::Record ? QStringLiteral("无法保存,")
                                                          : QStringLiteral("无法查询,");
    switch (status) {
    case Status::Ok:
        return QString();
    case Status::CannotOpen:
    case Status::WriteFailed:
        return failed + QStringLiteral("csv文件可能被占用!");
    case Status::PathTooLong:
        return failed + QStringLiteral("csv文件路径超过%1字节!").arg(kMaxPathBytes);
    case Status::RecordTooLong:
        return failed + QStringLiteral("内容超过%1字节!").arg(kMaxRecordBytes);
    case Status::ValueTooLong:
        return failed + QStringLiteral("结果超过%1字节!").arg(kMaxValueBytes);
    }
    return QString();
}

QString shortenForLabel(const QString &text)
{
    constexpr int kLimit = 20;
    if (text.toLocal8Bit().size() <= kLimit)
        return text;
    const auto cut = [&text](int n) {
        // Never split a surrogate pair: half of one has no local 8-bit form.
        if (n < text.size() && text.at(n).isLowSurrogate())
            --n;
        return text.left(n);
    };
    QString shown = cut(kLimit);
    if (shown.toLocal8Bit().size() > kLimit)
        shown = cut(kLimit / 2);
    // Under a UTF-8 locale a short Chinese text can exceed the bytes without being cut.
    if (shown.size() == text.size())
        return text;
    return shown + QStringLiteral("...");
}

void setRecordPath(const QString &path)
{
    QMutexLocker lock(&recordPathLock());
    recordPathStore() = path;
}

QString recordPath()
{
    QMutexLocker lock(&recordPathLock());
    return recordPathStore();
}

} // namespace csv
