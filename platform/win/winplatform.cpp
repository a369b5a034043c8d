// Win32 implementation of the platform interface: processes, files, screen, help viewer.
#include "platform/win/winplatform.h"
#include "platform/win/win32calls.h"

#include <QProcess>

namespace {

// The program's path buffers hold 1023 bytes and a terminating zero.
constexpr int pathBufferSize = 1024;

} // namespace

QString WinPlatform::executablePath()
{
    char buf[pathBufferSize];
    const std::size_t n = win32::ExecutablePath(buf, sizeof buf);
    return QString::fromLocal8Bit(buf, int(n));
}

QByteArray WinPlatform::instanceImageName()
{
    return QByteArrayLiteral("Quorvel.exe");
}

int WinPlatform::countProcessesByName(const QByteArray &name)
{
    return name.isEmpty() ? 0 : win32::CountProcessesByName(name.constData());
}

int WinPlatform::terminateProcessByName(const QByteArray &name)
{
    return name.isEmpty() ? 0 : win32::TerminateProcessByName(name.constData());
}

void WinPlatform::refreshNotificationArea()
{
    win32::RefreshNotificationArea();
}

bool WinPlatform::fileExists(const QString &path)
{
    const QByteArray narrow = path.toLocal8Bit();
    if (narrow.size() >= pathBufferSize)
        return false; // does not fit the program's path buffer
    return win32::FileFound(narrow.constData());
}

QSize WinPlatform::screenSize()
{
    return QSize(win32::ScreenWidth(), win32::ScreenHeight());
}

void WinPlatform::openTextFile(const QString &path)
{
    // The command line is "notepad.exe " and the path as it stands, unquoted: Notepad takes
    // the rest of its command line as one file name, blanks included.
    QProcess notepad;
    notepad.setProgram(QStringLiteral("notepad.exe"));
    notepad.setNativeArguments(path);
    notepad.startDetached();
}

Platform &systemPlatform()
{
    static WinPlatform platform;
    return platform;
}

void prepareGuiEnvironment()
{
    // Nothing to settle: the windows platform plugin loads no renderer for widgets.
}

void initLocalEncoding()
{
    // Qt's local 8-bit codec is the system's ANSI code page already (GBK on a Chinese
    // Windows), which is the encoding of scripts, settings and CSV files.
}
