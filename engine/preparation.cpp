#include "engine/preparation.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace preparation {

namespace {

// Both white-space tests of the preparation follow the toolkit's notion of white space.
inline bool isBlank(QChar c)
{
    return c.isSpace();
}

// Inclusions whose file is missing stay in the text; while the expansion goes on they are
// parked behind a marker that cannot be mistaken for a directive, and restored at the end.
const QChar parkMarker(0xFDD0);
const QChar parkEnd(0xFDD1);

constexpr int maxMacroRounds = 100000;
constexpr int maxInclusionRounds = 100000;
// How often one path may be inserted. A file that inserts itself, or a cycle of files, is cut
// there instead of growing one copy per round, each round scanning the whole text.
constexpr int maxInsertionsPerPath = 64;

} // namespace

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

QString removeBlockComments(QString text)
{
    for (;;) {
        const int start = text.indexOf(QLatin1String("/*"));
        if (start < 0)
            break;
        // The first "*/" at or after the opening one; a "*/" that stands before every "/*"
        // cannot close anything and is left alone.
        const int end = text.indexOf(QLatin1String("*/"), start);
        const QString piece = end < 0 ? text.mid(start) : text.mid(start, end + 2 - start);
        text.remove(piece); // every occurrence; the text shrinks, so the loop ends
    }
    return text;
}

QString expandMacros(QString text)
{
    // One optional white-space character may stand before the directive; a CR LF pair counts
    // as the one line break it stands for.
    static const QRegularExpression directive(
        QStringLiteral("\\A(?:\\r\\n|\\s)?#define\\s+(\\S+)\\s+([^\\n]+)\\n"),
        QRegularExpression::UseUnicodePropertiesOption);
    for (int round = 0; round < maxMacroRounds; ++round) {
        const QRegularExpressionMatch m = directive.match(text);
        if (!m.hasMatch())
            break;
        const QString line = m.captured(0);
        const QString name = m.captured(1);
        QString value = m.captured(2);
        // A file saved with CR LF ends must behave as one with LF ends.
        if (value.endsWith(QLatin1Char('\r')))
            value.chop(1);
        value.replace(QLatin1Char(';'), QLatin1Char('\n'));

        text.remove(line);
        const qint64 uses = text.count(name);
        const qint64 grown = text.size() + uses * (qint64(value.size()) - name.size());
        if (grown > maxPreparedChars)
            break; // a runaway macro: stop expanding rather than exhaust memory
        text.replace(name, value);
    }
    return text;
}

namespace {

struct InsertMatch
{
    int start = -1; // position of "#insert"
    int end = -1; // one past the path
    QString path;
};

// The last "#insert", white space, path in the text (greedy search from the end).
InsertMatch findLastInsert(const QString &text)
{
    static const QLatin1String keyword("#insert");
    // lastIndexOf finds nothing when it starts at size(), so start at the last character.
    int from = text.size() - 1;
    while (from >= 0) {
        const int p = text.lastIndexOf(keyword, from);
        if (p < 0)
            break;
        int j = p + keyword.size();
        while (j < text.size() && isBlank(text.at(j)))
            ++j;
        if (j > p + keyword.size() && j < text.size()) {
            int e = text.indexOf(QLatin1Char('\n'), j);
            if (e < 0)
                e = text.size();
            // Trailing blanks (the CR of a CR LF line among them) are no part of a path.
            while (e > j && isBlank(text.at(e - 1)))
                --e;
            InsertMatch m;
            m.start = p;
            m.end = e;
            m.path = text.mid(j, e - j);
            return m;
        }
        from = p - 1;
    }
    return {};
}

// Replaces, in one pass, every occurrence of directive that is a whole directive (nothing but
// blanks after it on its line) by token. A longer path that merely begins with this one stays.
QString parkDirective(
    const QString &text, const QString &directive, const QString &token, int *count)
{
    QString out;
    *count = 0;
    int from = 0;
    int copied = 0;
    for (;;) {
        const int p = text.indexOf(directive, from);
        if (p < 0)
            break;
        const int end = p + directive.size();
        int q = end;
        while (q < text.size() && text.at(q) != QLatin1Char('\n') && isBlank(text.at(q)))
            ++q;
        if (q == text.size() || text.at(q) == QLatin1Char('\n')) {
            out.append(text.midRef(copied, p - copied));
            out.append(token);
            copied = end;
            ++*count;
        }
        from = end;
    }
    out.append(text.midRef(copied));
    return out;
}

} // namespace

QString expandInclusions(QString text, const FileReader &reader)
{
    QStringList parked;
    QHash<QString, int> parkedIndex;
    QHash<QString, int> insertions;
    qint64 parkedExtra = 0; // what the parked directives add back when they are restored
    for (int round = 0; round < maxInclusionRounds; ++round) {
        const InsertMatch m = findLastInsert(text);
        if (m.start < 0)
            break;
        const QString directive = text.mid(m.start, m.end - m.start);
        const QString path = QDir::toNativeSeparators(m.path);
        int &times = insertions[path];
        std::optional<QString> content;
        if (times < maxInsertionsPerPath)
            content = reader(path);
        const qint64 uses = content ? text.count(directive) : 0;
        const qint64 grown = content
            ? text.size() + parkedExtra + uses * (qint64(content->size()) - directive.size())
            : 0;
        if (!content || grown > maxPreparedChars) {
            // Missing file, or an inclusion cycle that has gone too far: leave the directive
            // where it is and go on with the one before it. All its occurrences are parked at
            // once; one at a time made a runaway text cost a full scan per occurrence.
            int index = parkedIndex.value(directive, -1);
            if (index < 0) {
                index = parked.size();
                parked.append(directive);
                parkedIndex.insert(directive, index);
            }
            const QString token = parkMarker + QString::number(index) + parkEnd;
            int count = 0;
            text = parkDirective(text, directive, token, &count);
            parkedExtra += qint64(count) * (directive.size() - token.size());
            continue;
        }
        ++times;
        text.replace(directive, *content);
    }
    for (int i = parked.size() - 1; i >= 0; --i)
        text.replace(parkMarker + QString::number(i) + parkEnd, parked.at(i));
    return text;
}

QStringList filterLines(const QString &text)
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
            || trimmed == QLatin1String("}") || trimmed == QLatin1String("else"))
            lines.append(trimmed.toString());
    }
    return lines;
}

QStringList prepareFull(const QString &source, const FileReader &reader)
{
    QString text = source;
    text.replace(QLatin1String("#:"), QLatin1String("//"));
    text.replace(QStringLiteral("#："), QLatin1String("//"));
    text.replace(QLatin1String("#["), QLatin1String("/*"));
    text.replace(QLatin1String("#]"), QLatin1String("*/"));
    text = removeBlockComments(std::move(text));
    return prepareReduced(text, reader);
}

QStringList prepareReduced(const QString &source, const FileReader &reader)
{
    QString text = expandMacros(source);
    text = expandInclusions(std::move(text), reader);
    return filterLines(text);
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
