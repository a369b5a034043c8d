// Win32: command lines, shutdown.exe, the shell's default handler, files and folders.
#include "platform/win/api/system.h"
#include "platform/win/winplatform.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace {

// The narrow path buffers hold 1023 bytes and a terminating zero.
constexpr int kPathBuffer = 1024;

bool fits(const QByteArray &path)
{
    return path.size() < kPathBuffer;
}

Platform::FileResult fileResult(int code)
{
    return code == 0 ? Platform::FileResult::Done
        : code == 1  ? Platform::FileResult::SourceMissing
                     : Platform::FileResult::Failed;
}

} // namespace

int WinPlatform::runCommandLine(
    const QByteArray &commandLine, KeepWaiting keepWaiting, void *context)
{
    return win32::RunCommandLine(commandLine.constData(), keepWaiting, context);
}

void WinPlatform::startShutdown(const QString &arguments)
{
    // "shutdown.exe " and the arguments, split as the one-string form of starting a program
    // splits them (blanks, honouring double quotes).
    QStringList parts = QProcess::splitCommand(QStringLiteral("shutdown.exe ") + arguments);
    const QString program = parts.takeFirst();
    QProcess::startDetached(program, parts);
}

void WinPlatform::openWithDefaultHandler(const QString &target)
{
    // The shell gets the argument as a native path and picks the handler: the associated
    // program, the file manager, or the browser for a web address.
    QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

bool WinPlatform::makeDirectories(const QString &path)
{
    const QByteArray narrow = path.toLocal8Bit();
    win32::MakeDirectories(narrow.constData());
    return fileExists(path);
}

Platform::FileResult WinPlatform::moveFile(const QString &source, const QString &destination)
{
    const QByteArray from = source.toLocal8Bit();
    const QByteArray to = destination.toLocal8Bit();
    if (!fits(from))
        return FileResult::SourceMissing;
    if (!fits(to))
        return fileExists(source) ? FileResult::Failed : FileResult::SourceMissing;
    return fileResult(win32::MoveFound(from.constData(), to.constData()));
}

Platform::FileResult WinPlatform::copyFile(const QString &source, const QString &destination)
{
    const QByteArray from = source.toLocal8Bit();
    const QByteArray to = destination.toLocal8Bit();
    if (!fits(from))
        return FileResult::SourceMissing;
    if (!fits(to))
        return fileExists(source) ? FileResult::Failed : FileResult::SourceMissing;
    return fileResult(win32::CopyFound(from.constData(), to.constData()));
}
