#include "xvfbsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <functional>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

// Ends with the test process even when that dies without cleaning up (a crash, a CTest
// timeout), so no server or program outlives the test.
class ChildProcess : public QProcess
{
public:
    // The server is asked to end (it then removes its lock file), programs are killed.
    explicit ChildProcess(bool politeEnd)
        : m_politeEnd(politeEnd)
    {
    }

protected:
    void setupChildProcess() override
    {
#ifdef __linux__
        ::prctl(PR_SET_PDEATHSIG, m_politeEnd ? SIGTERM : SIGKILL);
#endif
    }

private:
    bool m_politeEnd;
};

void ensureEnded(QProcess *process, bool politely)
{
    if (process->state() == QProcess::NotRunning)
        return;
    if (politely) {
        // The server removes its lock file and socket on SIGTERM.
        process->terminate();
        if (process->waitForFinished(5000))
            return;
    }
    process->kill();
    process->waitForFinished(5000);
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (condition())
            return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
}

} // namespace

XvfbSession::XvfbSession(const Options &options)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    if (!startServer(options))
        return;
    if (!startDesktop(options)) {
        m_display.clear();
        return;
    }
    if (options.clipboardKeeper && !startClipboardKeeper()) {
        m_error = QStringLiteral("xclipboard did not start");
        m_display.clear();
    }
}

XvfbSession::~XvfbSession()
{
    // Programs first, the server last, so none of them sees its display vanish first.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        ensureEnded(it->get(), it->get() == m_server);
}

QStringList XvfbSession::missingTools(const Options &options, const QStringList &alsoNeeded)
{
    QStringList tools {QStringLiteral("Xvfb"), QStringLiteral("xdotool"), QStringLiteral("xclip"),
        QStringLiteral("import")};
    if (options.clipboardKeeper)
        tools << QStringLiteral("xclipboard");
    if (options.windowManager)
        tools << QStringLiteral("openbox") << QStringLiteral("xprop") << QStringLiteral("xwininfo");
    if (options.tray)
        tools << QStringLiteral("trayer");
    tools << alsoNeeded;
    QStringList missing;
    for (const QString &tool : qAsConst(tools)) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    return missing;
}

QString XvfbSession::homePath() const
{
    return m_dir.filePath(QStringLiteral("home"));
}

QProcess *XvfbSession::newProcess(bool politeEnd)
{
    m_processes.push_back(std::make_unique<ChildProcess>(politeEnd));
    return m_processes.back().get();
}

bool XvfbSession::startServer(const Options &options)
{
    m_server = newProcess(true);
    // -displayfd: the server picks a free display itself and reports it once it accepts
    // connections; -noreset keeps its state when the last client leaves.
    const QString screen = QStringLiteral("%1x%2x%3")
                               .arg(options.screen.width())
                               .arg(options.screen.height())
                               .arg(options.depth);
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->setStandardErrorFile(m_dir.filePath(QStringLiteral("xvfb.log")));
    m_server->start(QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
            QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
            QStringLiteral("-noreset")});
    QByteArray number;
    QElapsedTimer timer;
    timer.start();
    while (!number.contains('\n') && timer.elapsed() < 15000
        && m_server->state() != QProcess::NotRunning) {
        m_server->waitForReadyRead(200);
        number += m_server->readAllStandardOutput();
    }
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (!number.contains('\n') || !ok || display < 0) {
        m_error = QStringLiteral("Xvfb did not report a display: ") + m_server->errorString();
        return false;
    }
    m_display = QStringLiteral(":") + QString::number(display);

    const QString home = homePath();
    const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
    for (const QString &sub : {QStringLiteral(".config"), QStringLiteral(".local/share"),
             QStringLiteral(".cache"), QStringLiteral(".local/state")})
        QDir().mkpath(home + '/' + sub);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER", "DESKTOP_SESSION",
             "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP"})
        m_environment.remove(QString::fromLatin1(name));
    m_environment.insert(QStringLiteral("DISPLAY"), m_display);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // Nothing started here may reach the real desktop's bus (tray icons, notifications).
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    m_environment.insert(QStringLiteral("HOME"), home);
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    m_environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return true;
}

bool XvfbSession::startDesktop(const Options &options)
{
    if (options.windowManager) {
        if (!start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")})
            || !waitFor(
                [this] {
                    return windowProperty(
                        QStringLiteral("root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK"))
                        .contains("window id");
                },
                10000)) {
            m_error = QStringLiteral("openbox did not start");
            return false;
        }
    }
    if (options.tray) {
        if (!start(QStringLiteral("trayer"),
                {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                    QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                    QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                    QStringLiteral("32"), QStringLiteral("--transparent"), QStringLiteral("false"),
                    QStringLiteral("--tint"), QStringLiteral("0xffffff")})) {
            m_error = QStringLiteral("trayer did not start");
            return false;
        }
        // trayer has helper windows of its own; the tray is its large visible one.
        waitFor(
            [this] {
                const QStringList ids = findWindows({QStringLiteral("--onlyvisible"),
                    QStringLiteral("--class"), QStringLiteral("^trayer$")});
                for (const QString &id : ids) {
                    if (windowGeometry(id).width() >= 100)
                        m_trayWindow = id;
                }
                return !m_trayWindow.isEmpty();
            },
            10000);
        if (m_trayWindow.isEmpty()) {
            m_error = QStringLiteral("trayer showed no window");
            return false;
        }
    }
    return true;
}

QByteArray XvfbSession::windowProperty(const QString &window, const QString &property)
{
    const QStringList target = window == QLatin1String("root")
        ? QStringList {QStringLiteral("-root")}
        : QStringList {QStringLiteral("-id"), window};
    const Result r = run(QStringLiteral("xprop"), target + QStringList {property});
    return r.ok() ? r.output : QByteArray();
}

QRect XvfbSession::windowGeometry(const QString &window)
{
    const Result info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    if (!info.ok())
        return QRect();
    QPoint client(-1, -1);
    QSize size;
    for (const QByteArray &line : info.output.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(':');
        if (parts.size() != 2)
            continue;
        const int value = parts.at(1).trimmed().toInt();
        if (parts.at(0) == "Absolute upper-left X")
            client.setX(value);
        else if (parts.at(0) == "Absolute upper-left Y")
            client.setY(value);
        else if (parts.at(0) == "Width")
            size.setWidth(value);
        else if (parts.at(0) == "Height")
            size.setHeight(value);
    }
    return client.x() < 0 ? QRect() : QRect(client, size);
}

QRect XvfbSession::frameGeometry(const QString &window)
{
    const QRect client = windowGeometry(window);
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const QByteArray extents = windowProperty(window, QStringLiteral("_NET_FRAME_EXTENTS"));
    const QList<QByteArray> numbers = extents.mid(extents.indexOf('=') + 1).split(',');
    if (!extents.contains('=') || numbers.size() != 4 || !client.isValid())
        return QRect();
    return client.translated(-numbers.at(0).trimmed().toInt(), -numbers.at(2).trimmed().toInt());
}

bool XvfbSession::startClipboardKeeper()
{
    // Off the visible screen, so it never covers what a test looks at.
    m_keeper = start(QStringLiteral("xclipboard"),
        {QStringLiteral("-geometry"), QStringLiteral("200x100+4000+4000")});
    if (!m_keeper)
        return false;
    return !waitForWindow({QStringLiteral("--classname"), QStringLiteral("^xclipboard$")})
                .isEmpty();
}

bool XvfbSession::clipboardKeeperRunning() const
{
    return m_keeper && m_keeper->state() == QProcess::Running;
}

void XvfbSession::stopClipboardKeeper()
{
    stop(m_keeper);
    m_keeper = nullptr;
}

QProcess *XvfbSession::start(const QString &program, const QStringList &arguments,
    const QString &workingDirectory, const QProcessEnvironment &environment)
{
    if (!isValid())
        return nullptr;
    QProcess *process = newProcess(false);
    process->setProcessEnvironment(environment.isEmpty() ? m_environment : environment);
    // Into a file: a pipe nobody reads while the test waits elsewhere could fill and block.
    const QString log = m_dir.filePath(
        QStringLiteral("log-%1-%2.txt").arg(m_processes.size()).arg(QFileInfo(program).fileName()));
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(log);
    m_logs.insert(process, log);
    if (!workingDirectory.isEmpty())
        process->setWorkingDirectory(workingDirectory);
    process->start(program, arguments);
    return process->waitForStarted(10000) ? process : nullptr;
}

QByteArray XvfbSession::outputOf(QProcess *process) const
{
    QFile log(m_logs.value(process));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

void XvfbSession::stop(QProcess *process)
{
    if (process)
        ensureEnded(process, false);
}

XvfbSession::Result XvfbSession::run(
    const QString &program, const QStringList &arguments, const QByteArray &input, int timeoutMs)
{
    Result result;
    if (!isValid())
        return result;
    ChildProcess process(false);
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return result;
    if (!input.isEmpty()) {
        process.write(input);
        process.waitForBytesWritten(timeoutMs);
    }
    process.closeWriteChannel();
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished)
        ensureEnded(&process, false);
    else if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

XvfbSession::Result XvfbSession::xdotool(const QStringList &arguments, int timeoutMs)
{
    return run(QStringLiteral("xdotool"), arguments, QByteArray(), timeoutMs);
}

QStringList XvfbSession::findWindows(const QStringList &searchArguments)
{
    const Result r = xdotool(QStringList {QStringLiteral("search")} + searchArguments);
    return QString::fromLatin1(r.output).split('\n', Qt::SkipEmptyParts);
}

QString XvfbSession::waitForWindow(const QStringList &searchArguments, int timeoutMs)
{
    QString found;
    waitFor(
        [&] {
            const QStringList ids = findWindows(searchArguments);
            found = ids.value(0);
            return !found.isEmpty();
        },
        timeoutMs);
    return found;
}

QPoint XvfbSession::pointer()
{
    const Result r = xdotool({QStringLiteral("getmouselocation"), QStringLiteral("--shell")});
    QPoint p(-1, -1);
    for (const QByteArray &line : r.output.split('\n')) {
        if (line.startsWith("X="))
            p.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            p.setY(line.mid(2).toInt());
    }
    return p;
}

bool XvfbSession::pressKeys(const QString &window, const QStringList &keys)
{
    // Real key events through XTEST into the focused window; events sent to a window
    // directly are marked synthetic and ignored by many programs.
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}).ok()
        && xdotool(QStringList {QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + keys)
               .ok();
}

QByteArray XvfbSession::clipboardText()
{
    const Result r = run(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")});
    return r.ok() ? r.output : QByteArray();
}

bool XvfbSession::setClipboardText(const QByteArray &text)
{
    // In the foreground (-quiet), so the session owns the process that serves the text.
    QProcess *xclip = start(QStringLiteral("xclip"),
        {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
            QStringLiteral("-i")});
    if (!xclip)
        return false;
    xclip->write(text);
    xclip->waitForBytesWritten(5000); // nothing else here runs an event loop to send it
    xclip->closeWriteChannel();
    return waitFor([&] { return clipboardText() == text; }, 5000);
}

bool XvfbSession::screenshot(const QString &filePath, const QString &window)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    return run(QStringLiteral("import"), {QStringLiteral("-window"), window, filePath}, {}, 30000)
        .ok();
}
