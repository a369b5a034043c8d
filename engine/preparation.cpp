#include "engine/preparation.h"
#include "engine/preparation_detail.h"

#include <QFile>

#include <cstring>

// The order of the steps, and the line filter that ends them. The steps live in
// preparation_comments.cpp, preparation_macros.cpp (with its index) and preparation_inserts.cpp.
namespace preparation {

QStringList filterLines(const QString &text)
{
    return detail::filterLines(text, nullptr);
}

namespace detail {

QStringList filterLines(const QString &text, std::vector<std::pair<int, int>> *ranges)
{
    QStringList lines;
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QStringRef &part : parts) {
        QStringRef line = part;
        if (line.startsWith(QLatin1String("//"))) {
            continue;
        }
        // "//" ends the line unless a ":" stands right before it (web addresses survive).
        for (int i = 1; i + 1 < line.size(); ++i) {
            if (line.at(i) == QLatin1Char('/') && line.at(i + 1) == QLatin1Char('/')
                && line.at(i - 1) != QLatin1Char(':')) {
                line = line.left(i);
                break;
            }
        }
        const QStringRef trimmed = line.trimmed();
        if (trimmed.contains(QLatin1String("->")) || trimmed == QLatin1String("{")
            || trimmed == QLatin1String("}") || trimmed == QLatin1String("else")) {
            lines.append(trimmed.toString());
            if (ranges)
                ranges->emplace_back(trimmed.position(), trimmed.size());
        }
    }
    return lines;
}

// Each spelling has the length of the one it stands for, so positions do not move.
QString replaceCommentSpellings(QString text)
{
    text.replace(QLatin1String("#:"), QLatin1String("//"));
    text.replace(QStringLiteral("#："), QLatin1String("//"));
    text.replace(QLatin1String("#["), QLatin1String("/*"));
    text.replace(QLatin1String("#]"), QLatin1String("*/"));
    return text;
}

} // namespace detail

QStringList prepareFull(const QString &source, const FileReader &reader)
{
    const QString text = detail::replaceCommentSpellings(source);
    return prepareReduced(detail::removeBlockComments(text, nullptr), reader);
}

QStringList prepareReduced(const QString &source, const FileReader &reader)
{
    detail::Budget budget;
    QString text = detail::expandMacros(source, budget);
    text = detail::expandInclusions(text, reader, budget);
    return filterLines(text);
}

std::optional<QString> readInsertFile(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read in pieces up to the first zero byte, so a file of any size is handled without
    // reserving its whole size at once.
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        const void *zero = memchr(chunk, 0, size_t(n));
        if (zero) {
            bytes.append(chunk, int(static_cast<const char *>(zero) - chunk));
            break;
        }
        bytes.append(chunk, int(n));
        if (bytes.size() > maxPreparedChars)
            break;
    }
    return QString::fromLocal8Bit(bytes);
}

} // namespace preparation

QString readScriptFile(const QString &path, int maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(maxBytes);
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromLocal8Bit(bytes);
}
