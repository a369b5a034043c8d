// Win32: autostart through the machine's Run key, the .zt association in the classes root.
#include "platform/win/api/system.h"
#include "platform/win/winplatform.h"

#include <QDir>
#include <QSettings>

namespace {

// Writes the default value (".") of a key of the classes root through the settings class's
// registry access; false when the system refused.
bool setDefaultValue(const QString &key, const QString &value)
{
    QSettings settings(QStringLiteral("HKEY_CLASSES_ROOT\\") + key, QSettings::NativeFormat);
    settings.setValue(QStringLiteral("."), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString autostartCommand(const QString &executablePath, const QString &argument)
{
    return executablePath + QLatin1Char(' ') + argument;
}

} // namespace

bool WinPlatform::setAutostart(const QString &executablePath, const QString &argument)
{
    return win32::SetAutostart(autostartCommand(executablePath, argument).toLocal8Bit().constData())
        == 0;
}

bool WinPlatform::removeAutostart(const QString &executablePath, const QString &argument)
{
    return win32::RemoveAutostart(
               autostartCommand(executablePath, argument).toLocal8Bit().constData())
        == 0;
}

bool WinPlatform::associateScriptFiles(const QString &executablePath, const QString &programFolder)
{
    // In this order: the extension's type, the open command (the path itself unquoted, the
    // file quoted), the icon.
    bool ok = setDefaultValue(QStringLiteral(".zt"), QStringLiteral("ztfile"));
    ok = setDefaultValue(QStringLiteral("ztfile\\shell\\open\\command"),
             QDir::toNativeSeparators(executablePath) + QStringLiteral(" \"%1\""))
        && ok;
    ok = setDefaultValue(QStringLiteral("ztfile\\DefaultIcon"),
             QDir::toNativeSeparators(programFolder) + QStringLiteral("iconengines\\zt.ico"))
        && ok;
    return ok;
}

bool WinPlatform::dissociateScriptFiles(const QString &)
{
    // A double click opens the script in Notepad; ".zt" and the icon stay.
    return setDefaultValue(
        QStringLiteral("ztfile\\shell\\open\\command"), QStringLiteral("notepad.exe \"%1\""));
}
