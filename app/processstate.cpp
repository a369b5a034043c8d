#include "app/processstate.h"

#include "platform/platform.h"

#include <QDir>

QString ProcessState::scriptFolder() const
{
    return programFolder + QStringLiteral("ZtFiles") + QDir::separator();
}

QString ProcessState::defaultScriptPath() const
{
    return scriptFolder() + QStringLiteral("Quorvel.zt");
}

bool ProcessState::autorun() const
{
    return argument == QLatin1String("-autorun");
}

bool ProcessState::updatedStart() const
{
    return argument == QLatin1String("-updated") || argument == QLatin1String("-updated-autorun");
}

bool ProcessState::hiddenAtStart() const
{
    return autorun() || argument == QLatin1String("-updated-autorun");
}

namespace startup {

QString programFolderOf(const QString &executablePath)
{
    const QString native = QDir::toNativeSeparators(executablePath);
    const int last = native.lastIndexOf(QDir::separator());
    return last < 0 ? QString() : native.left(last + 1);
}

bool replacesRunningInstance(const QString &argument)
{
    return argument.isEmpty() || argument == QLatin1String("-autorun");
}

ProcessState prepareProcess(const QString &argument, Platform &platform)
{
    ProcessState state;
    state.argument = argument;
    state.executablePath = platform.executablePath();
    state.programFolder = programFolderOf(state.executablePath);

    const QByteArray image = platform.instanceImageName();
    if (platform.countProcessesByName(image) > 1 && replacesRunningInstance(argument)) {
        platform.terminateProcessByName(image);
        platform.refreshNotificationArea();
    }

    state.fileStartMode = !argument.isEmpty() && platform.fileExists(argument);
    state.settingsPath = state.programFolder + QStringLiteral("Quorvel.qcf");
    return state;
}

} // namespace startup
