#pragma once

#include <QByteArray>
#include <QPoint>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// --- downloads ---
// A download in progress; destroying it cancels it.
class DownloadJob
{
public:
    virtual ~DownloadJob() = default;
    // Stops the transfer and removes what was written. No handler runs once it has returned.
    virtual void cancel() = 0;
};

struct DownloadHandlers
{
    // Bytes so far and the whole size (-1 while unknown); may be empty.
    std::function<void(qint64 received, qint64 total)> progress;
    // Runs once at the end unless the job was cancelled: ok, or a short reason for the user
    // (downloadFailureText); body holds the bytes when no file was given. It may destroy the
    // job; progress may not.
    std::function<void(bool ok, const QString &reason, const QByteArray &body)> finished;
};

// Why a download failed, and the one text each reason shows.
enum class DownloadFailure { Cancelled, Connect, Timeout, Status, Redirect, Incomplete, TooLarge, Write };
QString downloadFailureText(DownloadFailure failure, int httpStatus = 0);
// --- end downloads ---

// Everything that talks to the operating system directly goes through this interface, so the
// interpreter and the shell never branch on the system they run on. One implementation per
// system (platform/win, platform/x11) and a recording fake for the tests.
class Platform
{
public:
    virtual ~Platform() = default;

    // The program's own executable, resolved from the running image (not from argv[0]).
    virtual QString executablePath() = 0;
    // The image name the single-instance rule looks for ("Quorvel.exe" on Windows).
    virtual QByteArray instanceImageName() = 0;

    // Processes, by the executable's file name (no path, exact and case-sensitive).
    // The count includes the calling process itself.
    virtual int countProcessesByName(const QByteArray &name) = 0;
    // Ends one process of that name other than the caller; 1 when one was found, 0 otherwise.
    virtual int terminateProcessByName(const QByteArray &name) = 0;
    // Drops notification-area icons of processes that died.
    virtual void refreshNotificationArea() = 0;

    // True when a file or folder of that name exists.
    virtual bool fileExists(const QString &path) = 0;

    // Size of the primary screen in pixels.
    virtual QSize screenSize();
    // The whole primary screen, captured now; callable from the interpreter thread.
    virtual QImage captureScreen();
    // Shows a text file in the desktop's text viewer (the help file). onFailure runs on the GUI
    // thread when no viewer can show it: at once, or once the desktop's opener has given up.
    virtual void openTextFile(const QString &path, std::function<void()> onFailure);

    // Each group below belongs to one subsystem; its methods are implemented by every
    // system's class (platform/x11, platform/win) and recorded by the tests' fake.

    // --- synthetic input ---
    // Keys by Windows virtual-key code (only the low byte counts), pressed and released as a
    // keyboard would: the key arrives in whatever window has the focus.
    virtual void keyDown(int virtualKey) = 0;
    virtual void keyUp(int virtualKey) = 0;
    // Mouse buttons, at wherever the pointer is. The values are the Win32 event flags.
    enum MouseButtonEvent { LeftDown = 2, LeftUp = 4, RightDown = 8, RightUp = 16 };
    virtual void mouseButton(MouseButtonEvent event) = 0;
    // The pointer in desktop pixels, origin at the primary screen's top left.
    virtual QPoint cursorPosition() = 0;
    virtual void setCursorPosition(const QPoint &position) = 0;
    // --- end synthetic input ---

    // --- global hotkeys ---
    // A hotkey is named by a global atom, and the atom is also its id; 0 means no atom.
    virtual quint16 globalAddAtom(const QByteArray &name) = 0;
    virtual void globalDeleteAtom(quint16 atom) = 0;
    // A system-wide hotkey for a window (its native handle, WId): modifiers as the Windows
    // word (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8), the key as a virtual-key code.
    // false when it cannot be had, e.g. because another program holds the key.
    virtual bool registerHotKey(
        quintptr window, quint16 id, unsigned modifiers, unsigned virtualKey)
        = 0;
    virtual void unregisterHotKey(quintptr window, quint16 id) = 0;
    // Receives the presses of registered hotkeys (modifier word, virtual-key code) on the GUI
    // thread where the system does not bring them to the window itself (X11); a null handler
    // ends the delivery. Windows sends WM_HOTKEY to the window instead: hotKeyOfMessage.
    using HotKeyHandler = void (*)(void *context, unsigned modifiers, unsigned virtualKey);
    virtual void setHotKeyHandler(HotKeyHandler handler, void *context) = 0;
    // True when a native message of the window (QWidget::nativeEvent) is a hotkey press; then
    // modifiers and virtualKey hold what it carries.
    virtual bool hotKeyOfMessage(
        const QByteArray &eventType, void *message, unsigned *modifiers, unsigned *virtualKey)
        = 0;
    // --- end global hotkeys ---

    // --- commands, files and folders ---
    // Asked every few milliseconds while a command line runs; false gives up the wait.
    using KeepWaiting = bool (*)(void *context);
    // Runs a command line (local 8-bit text) through the system's command interpreter and
    // waits for its end. Once keepWaiting says no, the command and whatever it started in
    // the same group are ended, so a command that never returns cannot hold a run or the
    // program. Returns the exit status, or -1 when it could not run or was ended.
    virtual int runCommandLine(
        const QByteArray &commandLine, KeepWaiting keepWaiting, void *context)
        = 0;
    // Starts the system's shutdown program with these arguments, unchanged; not waited for.
    virtual void startShutdown(const QString &arguments) = 0;
    // Opens a file, folder or web address with the desktop's default handler; not waited for.
    virtual void openWithDefaultHandler(const QString &target) = 0;
    // Creates a folder with every missing level above it (never a root); failures of single
    // levels are ignored. true when the folder exists afterwards.
    virtual bool makeDirectories(const QString &path) = 0;
    enum class FileResult { Done, SourceMissing, Failed };
    // Moves (renames) a file or folder. An existing destination is never replaced.
    virtual FileResult moveFile(const QString &source, const QString &destination) = 0;
    // Copies a file, replacing an existing destination; the destination's folder must exist.
    virtual FileResult copyFile(const QString &source, const QString &destination) = 0;
    // --- end commands, files and folders ---

    // --- recording the user's input ---
    // One thing the user did, as a recording sees it. Pointer moves are not delivered: a
    // recording keeps only where the buttons went down and up.
    struct InputEvent
    {
        enum Kind { KeyDown, KeyUp, ButtonDown, ButtonUp };
        Kind kind = KeyDown;
        qint64 timeMs = 0; // the system's time of the event: only differences count
        QPoint position; // the pointer, in desktop pixels, when it happened
        int button = 0; // buttons: 1 left, 2 middle, 3 right (others as the system numbers them)
        int virtualKey = -1; // keys: the Windows virtual-key code, -1 when the key has none
        QString keyName; // keys: the system's own name of the key, for keys without a code
        // keys going down: the text the key types on the current layout with the Shift and
        // Caps Lock state of the moment (Ctrl, Alt and the logo key left out); empty for keys
        // that type nothing (arrows, F1, Enter, Tab, Backspace …).
        QString text;
    };
    using InputHandler = std::function<void(const InputEvent &)>;
    // Delivers the user's key presses and releases and mouse buttons anywhere on the desktop
    // to handler, on the GUI thread, in order, until stopInputRecording. Nothing is taken away
    // from the windows: they get their input as usual. false (and nothing delivered) when the
    // system offers no way to record (an X server without the RECORD extension).
    virtual bool startInputRecording(InputHandler handler);
    virtual void stopInputRecording();
    // --- end recording the user's input ---

    // --- autostart and file association ---
    // Starts the executable with this argument when the user's session starts / no longer.
    // false when the system refused.
    virtual bool setAutostart(const QString &executablePath, const QString &argument) = 0;
    virtual bool removeAutostart(const QString &executablePath, const QString &argument) = 0;
    // Makes opening a .zt file start the executable with the file as its only argument;
    // dissociating hands .zt files back to the text editor. false when the system refused.
    virtual bool associateScriptFiles(const QString &executablePath, const QString &programFolder)
        = 0;
    virtual bool dissociateScriptFiles(const QString &executablePath) = 0;
    // --- end autostart and file association ---

    // --- processes the program starts itself (the update's handover) ---
    // Starts an executable with arguments in a folder, on its own: it outlives this process.
    // Its process id, or 0 when it could not be started.
    virtual qint64 startDetached(
        const QString &program, const QStringList &arguments, const QString &folder);
    // True while the process with this id runs; one that has ended is not running, even before
    // the system has cleared it away.
    virtual bool processRunning(qint64 pid) = 0;
    // Ends the process with this id at once (only ever one this program started).
    virtual void endProcess(qint64 pid) = 0;
    // --- end processes the program starts itself ---

    // --- downloads ---
    // Seconds of silence after which a connection is given up.
    static constexpr int downloadIdleSeconds = 30;
    // Fetches an http(s) address in the background: to toFile (written to toFile + ".part",
    // renamed over toFile at the end, removed on any failure) or, with an empty toFile, into
    // memory. A size over maxBytes (announced or received) is refused; so is a body shorter
    // than its Content-Length. Redirects are followed up to 5 times, never from https to
    // http. Handlers run on the GUI thread, never inside this call. The base version fails.
    virtual std::unique_ptr<DownloadJob> startDownload(
        const QString &url, const QString &toFile, qint64 maxBytes, DownloadHandlers handlers);
    // --- end downloads ---
};

// The implementation for the running system; lives for the whole process.
Platform &systemPlatform();

// Settles how the toolkit meets the desktop, before the application object exists. On X11 the
// program draws plain widgets and needs no OpenGL: leaving the GL integration out keeps a
// software renderer (tens of megabytes) out of the idle program.
void prepareGuiEnvironment();

// Makes the local 8-bit codec usable for scripts, settings and CSV files: under the C/POSIX
// locale it becomes UTF-8, so Chinese text survives a round trip. Call before decoding argv.
void initLocalEncoding();

// Gives console output to a program the system starts without a console of its own (a Windows
// GUI program run from a command prompt): descriptors 1 and 2 that lead nowhere are reopened on
// the parent process's console, while output redirected to a file or a pipe stays there. Text
// written to a console is shown as UTF-8 until the process ends. Nothing to do on X11.
void attachParentConsole();

// Puts text on the system clipboard (not the selection), on the GUI thread. An empty text empties
// the clipboard, also where a clipboard keeper (a desktop's clipboard manager) would otherwise
// keep the old text.
void setClipboardText(const QString &text);

// True when signature (64 bytes, r then s, big-endian) is a valid ECDSA P-256 signature over the
// SHA-256 of message, made with the private half of publicKey (65 bytes: 0x04, X, Y). Anything
// malformed is simply not valid. Thread-safe.
bool verifyP256Signature(
    const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature);
