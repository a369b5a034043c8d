#include "app/scriptfiles.h"

#include "engine/preparation.h"
#include "settings/filesave.h"

#include <QDir>
#include <QFileInfo>

bool writeScriptFile(const QString &path, const QString &text)
{
    QString crlf = text;
    crlf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return saveFileAtomically(path, crlf.toLocal8Bit());
}

QString readWholeScriptFile(const QString &path, bool *tooLarge)
{
    const bool large = QFileInfo(path).size() > maxEditorScriptBytes;
    if (tooLarge)
        *tooLarge = large;
    if (large)
        return {};
    return readScriptFile(path, int(maxEditorScriptBytes));
}

QString existingScriptFile(const QString &path)
{
    const QFileInfo file(path);
    const QString extension = QStringLiteral(".zt");
    const QString name = file.fileName();
    if (file.exists() || !name.endsWith(extension, Qt::CaseInsensitive))
        return path;
    const QStringRef stem = name.leftRef(name.size() - extension.size());
    // Sorted, so the same file wins every time when several spellings exist.
    const QStringList names = file.dir().entryList(QDir::Files, QDir::Name);
    for (const QString &candidate : names) {
        if (candidate.size() == name.size() && candidate.startsWith(stem)
            && candidate.endsWith(extension, Qt::CaseInsensitive))
            return file.dir().filePath(candidate);
    }
    return path;
}

bool mayReplaceScriptFile(const QString &path)
{
    return QFileInfo(path).size() <= maxEditorScriptBytes;
}

QString tooLargeScriptNote(const QString &path)
{
    return QStringLiteral("<span style=\" color:#ff0000;\">%1 大于%2MB,未载入,也不会被覆盖!</span>")
        .arg(QFileInfo(path).fileName().toHtmlEscaped())
        .arg(maxEditorScriptBytes / (1024 * 1024));
}
