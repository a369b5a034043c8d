// Win32 implementation of the platform interface: processes, files, screen, help viewer.
#include "platform/win/winplatform.h"
#include "platform/win/api/calls.h"

#include <QClipboard>
#include <QGuiApplication>
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

bool WinPlatform::processRunning(qint64 pid)
{
    return pid > 0 && pid <= 0xFFFFFFFF && win32::ProcessRunning(unsigned(pid));
}

void WinPlatform::endProcess(qint64 pid)
{
    if (pid > 0 && pid <= 0xFFFFFFFF)
        win32::EndProcess(unsigned(pid));
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

void WinPlatform::openTextFile(const QString &path, std::function<void()> onFailure)
{
    // The command line is "notepad.exe " and the path as it stands, unquoted: Notepad takes
    // the rest of its command line as one file name, blanks included.
    QProcess notepad;
    notepad.setProgram(QStringLiteral("notepad.exe"));
    notepad.setNativeArguments(path);
    if (!notepad.startDetached() && onFailure)
        onFailure();
}

void setClipboardText(const QString &text)
{
    // Emptied, the Windows clipboard holds no text at all, as EmptyClipboard leaves it; no
    // keeper there holds on to the old text.
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (text.isEmpty())
        clipboard->clear(QClipboard::Clipboard);
    else
        clipboard->setText(text, QClipboard::Clipboard);
}

Platform &systemPlatform()
{
    static WinPlatform platform;
    return platform;
}

void prepareGuiEnvironment()
{
    // A scaled display (125 %, 150 %) scales the whole window, not only its fonts, so no group
    // of the builder is cut or scrolls. The factor stays as Windows gives it: 150 % rounded to
    // 200 % would not fit a 1920 x 1080 screen. The window then works in scaled units; the
    // pointer, the screen size and captures do not, they go through Win32 in physical pixels
    // (the manifest makes the process DPI-aware before this runs).
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

void initLocalEncoding()
{
    // Qt's local 8-bit codec is the system's ANSI code page already (GBK on a Chinese
    // Windows), which is the encoding of scripts, settings and CSV files.
}

void attachParentConsole()
{
    win32::AttachParentConsole();
}
