#include "engine/preparation.h"
#include "engine/preparation_detail.h"

#include <QFile>

// The order of the steps, and the line filter that ends them. The steps live in
// preparation_comments.cpp, preparation_macros.cpp (with its index) and preparation_inserts.cpp.
namespace preparation {

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
    detail::Budget budget;
    QString text = detail::expandMacros(source, budget);
    text = detail::expandInclusions(text, reader, budget);
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
