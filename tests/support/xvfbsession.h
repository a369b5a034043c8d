#pragma once

#include <QByteArray>
#include <QHash>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A private X server for end-to-end tests: its own Xvfb on a free display, a private HOME and
// XDG folders for everything started on it, and the tools that drive and watch it (xdotool,
// xclip, import). Every process started through the session ends with it at the latest, and
// also when the test process itself dies. Nothing here ever talks to another display.
class XvfbSession
{
public:
    struct Options
    {
        QSize screen {1024, 768};
        int depth = 24;
        // Runs xclipboard, which takes over the clipboard, so it outlives the program that
        // set it (as a desktop's clipboard manager does).
        bool clipboardKeeper = false;
        // Runs openbox, so windows get frames, title bars and placement as on a desktop.
        bool windowManager = false;
        // Runs trayer, a notification area in the top right corner that embeds tray icons.
        bool tray = false;
    };

    struct Result
    {
        bool finished = false; // ended by itself within the time limit
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
        bool ok() const { return finished && exitCode == 0; }
    };

    explicit XvfbSession(const Options &options);
    XvfbSession()
        : XvfbSession(Options())
    {
    }
    ~XvfbSession();
    XvfbSession(const XvfbSession &) = delete;
    XvfbSession &operator=(const XvfbSession &) = delete;

    // The external programs a session with these options needs, and of alsoNeeded those a test
    // needs besides, that are not installed.
    static QStringList missingTools(
        const Options &options, const QStringList &alsoNeeded = QStringList());

    bool isValid() const { return !m_display.isEmpty(); }
    QString errorString() const { return m_error; }
    QString display() const { return m_display; } // ":N"
    QString homePath() const; // HOME of the programs started here
    // The environment programs get: this DISPLAY, xcb, UTF-8, private HOME/XDG folders, no
    // session bus or session manager of the real desktop.
    QProcessEnvironment environment() const { return m_environment; }

    // Starts a program on this display (environment() unless another one is given). It is
    // ended with the session unless stopped before.
    QProcess *start(const QString &program, const QStringList &arguments,
        const QString &workingDirectory = QString(),
        const QProcessEnvironment &environment = QProcessEnvironment());
    // What a program started here wrote to its standard output and error, so far.
    QByteArray outputOf(QProcess *process) const;
    // Kills a program started here (if still running) and waits for its end.
    void stop(QProcess *process);

    // Runs a program on this display to its end; killed after timeoutMs.
    Result run(const QString &program, const QStringList &arguments,
        const QByteArray &input = QByteArray(), int timeoutMs = 10000);
    Result xdotool(const QStringList &arguments, int timeoutMs = 10000);

    // Window ids of `xdotool search <arguments>` (e.g. {"--onlyvisible", "--name", "^x$"}).
    QStringList findWindows(const QStringList &searchArguments);
    // The first window found within the time; empty when none appeared.
    QString waitForWindow(const QStringList &searchArguments, int timeoutMs = 10000);
    // Where the pointer is, as xdotool sees it; (-1, -1) when it cannot tell.
    QPoint pointer();
    // Gives a window the keyboard focus and types keys into it (xdotool key names).
    bool pressKeys(const QString &window, const QStringList &keys);

    // The clipboard (not the selection) as text; empty when nobody owns it.
    QByteArray clipboardText();
    // Owns the clipboard with this text until someone else takes it (e.g. the keeper).
    bool setClipboardText(const QByteArray &text);
    bool clipboardKeeperRunning() const;
    // Starts the keeper of Options::clipboardKeeper later, for a test that first needs the
    // clipboard to leave with its owner; true once its window is there.
    bool startClipboardKeeper();
    void stopClipboardKeeper();

    // The tray's window (empty without Options::tray).
    QString trayWindow() const { return m_trayWindow; }
    // A property of a window (or "root") as xprop prints it; empty when it cannot be read.
    QByteArray windowProperty(const QString &window, const QString &property);
    // Where a window's client area is on the screen, and its size; invalid when unknown.
    QRect windowGeometry(const QString &window);
    // The outer frame's top left and the client size of a framed window, from the window
    // manager's _NET_FRAME_EXTENTS; an invalid rectangle when it cannot tell.
    QRect frameGeometry(const QString &window);

    // Saves a picture of a window ("root" for the whole screen), e.g. a PNG file.
    bool screenshot(const QString &filePath, const QString &window = QStringLiteral("root"));

private:
    bool startServer(const Options &options);
    bool startDesktop(const Options &options);
    QProcess *newProcess(bool politeEnd);

    QTemporaryDir m_dir;
    QString m_display;
    QString m_error;
    QProcessEnvironment m_environment;
    QProcess *m_server = nullptr;
    QProcess *m_keeper = nullptr;
    QString m_trayWindow;
    std::vector<std::unique_ptr<QProcess>> m_processes; // the server first
    QHash<QProcess *, QString> m_logs;
};
