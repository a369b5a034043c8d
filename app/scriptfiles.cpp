#include "app/scriptfiles.h"

#include "engine/preparation.h"
#include "settings/filesave.h"

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
