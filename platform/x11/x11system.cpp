// Linux: command lines through /bin/sh, the shutdown program, the desktop's default handler,
// files and folders.
#include "platform/x11/x11platform.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

void sleepMs(long ms)
{
    timespec t {ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) { }
}

// True once the child has ended; it is left unreaped (a zombie keeps its process and group
// id reserved, so signalling the group stays safe).
bool hasEnded(pid_t pid)
{
    siginfo_t info {};
    info.si_pid = 0;
    if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno != EINTR;
    return info.si_pid == pid;
}

int reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ends the shell and everything it started in its group: politely first, so programs can
// clean up, then for good.
void endGroup(pid_t pid)
{
    ::kill(-pid, SIGTERM);
    for (int waited = 0; waited < 500 && !hasEnded(pid); waited += 10)
        sleepMs(10);
    ::kill(-pid, SIGKILL);
    reap(pid);
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

bool entryExists(const QByteArray &path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(path.constData(), &st) == 0;
}

// Content and permissions of one file to another name; the old destination, if any, is
// replaced only once the whole copy is written.
bool copyContent(const QString &source, const QString &destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(destination);
    out.setDirectWriteFallback(true); // a writable file in a folder we may not write to
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size())
            return false;
    }
    if (in.error() != QFileDevice::NoError || !out.commit())
        return false;
    QFile::setPermissions(destination, in.permissions());
    return true;
}

} // namespace

int X11Platform::runCommandLine(
    const QByteArray &commandLine, KeepWaiting keepWaiting, void *context)
{
    // The shell leads a process group of its own, so a stop ends what it started too.
    posix_spawnattr_t attr;
    ::posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attr, &none);
    ::posix_spawnattr_setsigdefault(&attr, &all);
    ::posix_spawnattr_setpgroup(&attr, 0);
    ::posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char sh[] = "sh";
    char dashC[] = "-c";
    QByteArray line = commandLine;
    char *argv[] = {sh, dashC, line.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, "/bin/sh", nullptr, &attr, argv, environ);
    ::posix_spawnattr_destroy(&attr);
    if (spawned != 0)
        return -1;

    // Short polls at first, so quick commands cost little; then a steady 20 ms.
    long slice = 1;
    while (!hasEnded(pid)) {
        if (keepWaiting && !keepWaiting(context)) {
            endGroup(pid);
            return -1;
        }
        sleepMs(slice);
        slice = qMin(slice * 2, 20L);
    }
    return reap(pid);
}

void X11Platform::startShutdown(const QString &arguments)
{
    // The shutdown program usually lives in an sbin folder that a user's PATH may lack.
    QString program = QStandardPaths::findExecutable(QStringLiteral("shutdown"));
    if (program.isEmpty()) {
        program = QStandardPaths::findExecutable(
            QStringLiteral("shutdown"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    }
    if (program.isEmpty())
        return;
    // The arguments are split as the one-string form of starting a program splits them.
    QStringList parts = QProcess::splitCommand(QStringLiteral("shutdown ") + arguments);
    parts.removeFirst();
    QProcess::startDetached(program, parts);
}

void X11Platform::openWithDefaultHandler(const QString &target)
{
    if (target.isEmpty())
        return;
    // A web address keeps its scheme; anything else is a path, made absolute for the handler.
    static const QRegularExpression scheme(QStringLiteral("\\A[A-Za-z][A-Za-z0-9+.-]+:"));
    const QString what
        = scheme.match(target).hasMatch() ? target : QFileInfo(target).absoluteFilePath();
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        QProcess::startDetached(opener, {what});
}

namespace {

// The empty text as X11 clipboard keepers can take it over. Giving the clipboard up leaves the
// old text with the keeper, and so does a text of no bytes: xclipboard, like other keepers,
// passes over an empty selection and takes the clipboard back with its last text. A text made
// of one terminating zero byte reads as empty everywhere (Qt drops a final zero, C strings end
// there) and is kept as the empty text. The program itself reads the empty string.
class EmptyClipboardText : public QMimeData
{
public:
    EmptyClipboardText() { setText(QString()); }

protected:
    QVariant retrieveData(const QString &format, QVariant::Type type) const override
    {
        if (type == QVariant::ByteArray && format.startsWith(QLatin1String("text/plain")))
            return QByteArray(1, '\0');
        return QMimeData::retrieveData(format, type);
    }
};

} // namespace

void setClipboardText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (text.isEmpty())
        clipboard->setMimeData(new EmptyClipboardText, QClipboard::Clipboard);
    else
        clipboard->setText(text, QClipboard::Clipboard);
}

void X11Platform::openTextFile(const QString &path, std::function<void()> onFailure)
{
    // xdg-open reports failure only by its exit status, and in a desktop without its own opener
    // it waits for the viewer it started: it is watched, not waited for.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (onFailure)
            onFailure();
        return;
    }
    auto *process = new QProcess;
    process->setProgram(opener);
    process->setArguments({QFileInfo(path).absoluteFilePath()});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::errorOccurred, process,
        [process, onFailure](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            if (onFailure)
                onFailure();
            process->deleteLater();
        });
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
        process, [process, onFailure](int exitCode, QProcess::ExitStatus status) {
            if ((status != QProcess::NormalExit || exitCode != 0) && onFailure)
                onFailure();
            process->deleteLater();
        });
    process->start();
}

bool X11Platform::makeDirectories(const QString &path)
{
    if (path.isEmpty())
        return false;
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

Platform::FileResult X11Platform::moveFile(const QString &source, const QString &destination)
{
    const QByteArray from = nativePath(source);
    const QByteArray to = nativePath(destination);
    if (!entryExists(from))
        return FileResult::SourceMissing;
    if (to.isEmpty())
        return FileResult::Failed;
    // Like the rename of Windows, an existing destination makes the move fail.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return FileResult::Done;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the no-replace rename.
        if (entryExists(to))
            return FileResult::Failed;
        if (::rename(from.constData(), to.constData()) == 0)
            return FileResult::Done;
        error = errno;
    }
    if (error != EXDEV)
        return FileResult::Failed;
    // Another file system: a file moves as a copy, and the original goes only once the copy
    // is complete. Folders do not move across file systems.
    struct stat st;
    if (::stat(from.constData(), &st) != 0 || !S_ISREG(st.st_mode) || entryExists(to))
        return FileResult::Failed;
    if (!copyContent(source, destination))
        return FileResult::Failed;
    ::unlink(from.constData());
    return FileResult::Done;
}

Platform::FileResult X11Platform::copyFile(const QString &source, const QString &destination)
{
    if (!entryExists(nativePath(source)))
        return FileResult::SourceMissing;
    if (destination.isEmpty() || QFileInfo(source).isDir())
        return FileResult::Failed;
    return copyContent(source, destination) ? FileResult::Done : FileResult::Failed;
}
