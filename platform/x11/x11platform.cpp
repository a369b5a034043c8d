// Linux/X11 implementation of the platform interface.
#include "platform/x11/x11platform.h"

#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>
#include <langinfo.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace {

// File name of a process's executable, as the process list of Windows would give it.
QByteArray processImageName(const QByteArray &pidDir)
{
    char buf[4096];
    const QByteArray link = "/proc/" + pidDir + "/exe";
    const ssize_t n = ::readlink(link.constData(), buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    QByteArray target(buf, int(n));
    // A binary replaced while it runs shows as "<path> (deleted)"; it is still that program.
    static const QByteArray deleted(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    const int slash = target.lastIndexOf('/');
    return slash >= 0 ? target.mid(slash + 1) : target;
}

// Process ids in ascending order, like a snapshot walk.
std::vector<pid_t> listPids()
{
    std::vector<pid_t> pids;
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (ok && pid > 0)
            pids.push_back(pid);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

} // namespace

QString X11Platform::executablePath()
{
    const QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return target;
}

QByteArray X11Platform::instanceImageName()
{
    return QFileInfo(executablePath()).fileName().toLocal8Bit();
}

int X11Platform::countProcessesByName(const QByteArray &name)
{
    if (name.isEmpty())
        return 0;
    int count = 0;
    for (pid_t pid : listPids()) {
        if (processImageName(QByteArray::number(pid)) == name)
            ++count;
    }
    return count;
}

int X11Platform::terminateProcessByName(const QByteArray &name)
{
    if (name.isEmpty())
        return 0;
    const pid_t self = ::getpid();
    for (pid_t pid : listPids()) {
        if (pid == self)
            continue;
        if (processImageName(QByteArray::number(pid)) == name) {
            ::kill(pid, SIGKILL); // the counterpart of TerminateProcess; failure ignored
            return 1;
        }
    }
    return 0;
}

bool X11Platform::processRunning(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    // A detached child is handed to whatever reaps orphans; until that happens it lingers as a
    // zombie, which has ended all the same.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close < 0 || line.size() < close + 3 || (line.at(close + 2) != 'Z' && line.at(close + 2) != 'X');
}

void X11Platform::endProcess(qint64 pid)
{
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

void X11Platform::refreshNotificationArea()
{
    // X11 trays drop the icon of a dead client by themselves.
}

bool X11Platform::fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

Platform &systemPlatform()
{
    static X11Platform platform;
    return platform;
}

void prepareGuiEnvironment()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

void initLocalEncoding()
{
    std::setlocale(LC_ALL, "");
    const char *codeset = nl_langinfo(CODESET);
    const bool plainC = !codeset || std::strcmp(codeset, "ANSI_X3.4-1968") == 0
        || std::strcmp(codeset, "ASCII") == 0 || std::strcmp(codeset, "US-ASCII") == 0;
    if (plainC)
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void attachParentConsole()
{
    // A program started from a terminal has its streams already.
}
