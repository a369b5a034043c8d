#include "app/scriptfiles.h"

#include "settings/filesave.h"

bool writeScriptFile(const QString &path, const QString &text)
{
    QString crlf = text;
    crlf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return saveFileAtomically(path, crlf.toLocal8Bit());
}
