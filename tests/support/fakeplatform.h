#pragma once

#include "platform/platform.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

// Records every call that would reach the operating system, and answers from a script of
// prepared facts, so tests can assert on what the program asked the system to do.
class FakePlatform : public Platform
{
public:
    // Prepared facts.
    QString exePath = QStringLiteral("/opt/quorvel/Quorvel");
    QByteArray imageName = QByteArrayLiteral("Quorvel");
    QList<QByteArray> processes; // image names of "running" processes, ourselves included
    QSet<QString> existingFiles;

    // What was asked.
    QStringList calls;

    QString executablePath() override { return exePath; }
    QByteArray instanceImageName() override { return imageName; }

    int countProcessesByName(const QByteArray &name) override
    {
        calls << QStringLiteral("count:") + QString::fromLocal8Bit(name);
        return name.isEmpty() ? 0 : processes.count(name);
    }

    int terminateProcessByName(const QByteArray &name) override
    {
        calls << QStringLiteral("terminate:") + QString::fromLocal8Bit(name);
        const int at = name.isEmpty() ? -1 : processes.indexOf(name);
        if (at < 0)
            return 0;
        processes.removeAt(at);
        return 1;
    }

    // Processes "started" by startDetached: the next id given, the ones still running, and what
    // the test lets happen at the start (write a report, fail …).
    qint64 nextPid = 4242;
    QSet<qint64> runningPids;
    std::function<void(const QString &program, const QStringList &arguments, qint64 pid)> onStart;

    qint64 startDetached(const QString &program, const QStringList &arguments,
        const QString &folder) override
    {
        calls << QStringLiteral("startDetached:") + program + QLatin1Char(' ')
                + arguments.join(QLatin1Char(' ')) + QStringLiteral(" in ") + folder;
        const qint64 pid = nextPid++;
        runningPids.insert(pid);
        if (onStart)
            onStart(program, arguments, pid);
        return pid;
    }

    bool processRunning(qint64 pid) override { return runningPids.contains(pid); }

    void endProcess(qint64 pid) override
    {
        calls << QStringLiteral("endProcess:") + QString::number(pid);
        runningPids.remove(pid);
    }

    void refreshNotificationArea() override { calls << QStringLiteral("refreshTray"); }

    bool fileExists(const QString &path) override
    {
        calls << QStringLiteral("exists:") + path;
        return existingFiles.contains(path);
    }

    bool textViewerMissing = false; // no viewer can show a text file
    void openTextFile(const QString &path, std::function<void()> onFailure) override
    {
        calls << QStringLiteral("openText:") + path;
        if (textViewerMissing && onFailure)
            onFailure();
    }

    // --- synthetic input ---
    QPoint cursor {0, 0}; // where the pointer "is"; moves change it

    void keyDown(int virtualKey) override { calls << QStringLiteral("keyDown:%1").arg(virtualKey); }
    void keyUp(int virtualKey) override { calls << QStringLiteral("keyUp:%1").arg(virtualKey); }
    void mouseButton(MouseButtonEvent event) override
    {
        const char *name = event == LeftDown ? "leftDown"
            : event == LeftUp                ? "leftUp"
            : event == RightDown             ? "rightDown"
            : event == RightUp               ? "rightUp"
                                             : "?";
        calls << QStringLiteral("mouse:") + QLatin1String(name);
    }
    QPoint cursorPosition() override { return cursor; }
    void setCursorPosition(const QPoint &position) override
    {
        cursor = position;
        calls << QStringLiteral("pointer:%1,%2").arg(position.x()).arg(position.y());
    }
    // --- end synthetic input ---

    // --- the screen ---
    // What captures show: the next prepared screens in turn, then `screen` for good.
    QImage screen;
    QList<QImage> nextScreens;
    int captures() const { return calls.count(QStringLiteral("capture")); }
    QImage captureScreen() override
    {
        calls << QStringLiteral("capture");
        return nextScreens.isEmpty() ? screen : nextScreens.takeFirst();
    }
    // --- end the screen ---

    // --- global hotkeys ---
    // Calls are recorded with the atoms' names ("register:CtrlM:2:77"); every addition hands
    // out a fresh atom value, so a re-added name shows as a new atom.
    QSet<unsigned> heldKeys; // virtual keys another program "holds": registering them fails
    QHash<quint16, QByteArray> atomNames; // every atom ever handed out
    QSet<quint16> liveAtoms;
    QHash<quint16, unsigned> hotKeys; // registered: atom -> modifiers << 16 | key
    HotKeyHandler hotKeyHandler = nullptr;
    void *hotKeyContext = nullptr;
    quint16 lastAtom = 0xC000;

    // A WM_HOTKEY as the fake's native message ("fake_hotkey"): lParam as Windows packs it.
    struct HotKeyMessage
    {
        unsigned message = 786;
        quint32 lParam = 0;
    };

    QString atomText(quint16 atom) const
    {
        return atomNames.contains(atom) ? QString::fromLatin1(atomNames.value(atom))
                                        : QString::number(atom);
    }
    quint16 globalAddAtom(const QByteArray &name) override
    {
        const quint16 atom = ++lastAtom;
        atomNames.insert(atom, name);
        liveAtoms.insert(atom);
        calls << QStringLiteral("addAtom:") + QString::fromLatin1(name);
        return atom;
    }
    void globalDeleteAtom(quint16 atom) override
    {
        calls << QStringLiteral("deleteAtom:") + atomText(atom);
        liveAtoms.remove(atom);
    }
    bool registerHotKey(quintptr, quint16 id, unsigned modifiers, unsigned virtualKey) override
    {
        calls
            << QStringLiteral("register:%1:%2:%3").arg(atomText(id)).arg(modifiers).arg(virtualKey);
        // As on Windows, a combination is had once (also by ourselves under another id).
        const unsigned combination = modifiers << 16 | virtualKey;
        if (heldKeys.contains(virtualKey) || !hotKeys.keys(combination).isEmpty())
            return false;
        hotKeys.insert(id, combination);
        return true;
    }
    void unregisterHotKey(quintptr, quint16 id) override
    {
        calls << QStringLiteral("unregister:") + atomText(id);
        hotKeys.remove(id);
    }
    void setHotKeyHandler(HotKeyHandler handler, void *context) override
    {
        hotKeyHandler = handler;
        hotKeyContext = context;
    }
    bool hotKeyOfMessage(const QByteArray &eventType, void *message, unsigned *modifiers,
        unsigned *virtualKey) override
    {
        const auto *m = static_cast<const HotKeyMessage *>(message);
        if (eventType != "fake_hotkey" || m->message != 786)
            return false;
        *modifiers = m->lParam & 0xffff;
        *virtualKey = m->lParam >> 16;
        return true;
    }
    // A press as the X11 filter delivers it; false when nobody receives presses.
    bool deliverHotKey(unsigned modifiers, unsigned virtualKey)
    {
        if (!hotKeyHandler)
            return false;
        hotKeyHandler(hotKeyContext, modifiers, virtualKey);
        return true;
    }
    // --- end global hotkeys ---

    // --- recording the user's input ---
    // Prepared: whether this desktop "can" record. The handler is kept while recording, and
    // emitInput hands it an event on the calling thread, as the system would on the GUI thread.
    bool recordingAvailable = true;
    InputHandler inputHandler;

    bool startInputRecording(InputHandler handler) override
    {
        calls << QStringLiteral("record:start");
        if (!recordingAvailable)
            return false;
        inputHandler = std::move(handler);
        return true;
    }
    void stopInputRecording() override
    {
        calls << QStringLiteral("record:stop");
        inputHandler = nullptr;
    }
    // false when nobody records.
    bool emitInput(const InputEvent &event)
    {
        if (!inputHandler)
            return false;
        inputHandler(event);
        return true;
    }
    // --- end recording the user's input ---

    // --- commands, files and folders ---
    // Prepared: a command line that never returns by itself (it ends once the caller stops
    // waiting). Files are "there" when listed in existingFiles; moves and copies update it.
    bool commandsNeverReturn = false;
    QAtomicInt commandsWaiting; // such commands waiting now (read from any thread)

    int runCommandLine(
        const QByteArray &commandLine, KeepWaiting keepWaiting, void *context) override
    {
        calls << QStringLiteral("cmd:") + QString::fromLocal8Bit(commandLine);
        if (!commandsNeverReturn)
            return 0;
        commandsWaiting.ref();
        while (keepWaiting(context))
            QThread::msleep(5);
        commandsWaiting.deref();
        return -1;
    }
    void startShutdown(const QString &arguments) override
    {
        calls << QStringLiteral("shutdown:") + arguments;
    }
    void openWithDefaultHandler(const QString &target) override
    {
        calls << QStringLiteral("open:") + target;
    }
    bool makeDirectories(const QString &path) override
    {
        calls << QStringLiteral("mkdir:") + path;
        existingFiles.insert(path);
        return true;
    }
    FileResult moveFile(const QString &source, const QString &destination) override
    {
        calls << QStringLiteral("moveFile:") + source + QStringLiteral("=>") + destination;
        if (!existingFiles.contains(source))
            return FileResult::SourceMissing;
        existingFiles.remove(source);
        existingFiles.insert(destination);
        return FileResult::Done;
    }
    FileResult copyFile(const QString &source, const QString &destination) override
    {
        calls << QStringLiteral("copyFile:") + source + QLatin1Char('=') + destination;
        if (!existingFiles.contains(source))
            return FileResult::SourceMissing;
        existingFiles.insert(destination);
        return FileResult::Done;
    }
    // --- end commands, files and folders ---

    // --- autostart and file association ---
    // Prepared: the system refuses these settings (no rights).
    bool refuseDesktopSettings = false;

    bool setAutostart(const QString &executablePath, const QString &argument) override
    {
        calls << QStringLiteral("autostart:on:") + executablePath + QLatin1Char(' ') + argument;
        return !refuseDesktopSettings;
    }
    bool removeAutostart(const QString &executablePath, const QString &argument) override
    {
        calls << QStringLiteral("autostart:off:") + executablePath + QLatin1Char(' ') + argument;
        return !refuseDesktopSettings;
    }
    bool associateScriptFiles(const QString &executablePath, const QString &programFolder) override
    {
        calls << QStringLiteral("associate:") + executablePath + QLatin1Char('|') + programFolder;
        return !refuseDesktopSettings;
    }
    bool dissociateScriptFiles(const QString &executablePath) override
    {
        calls << QStringLiteral("dissociate:") + executablePath;
        return !refuseDesktopSettings;
    }
    // --- end autostart and file association ---

    // --- downloads ---
    // Prepared answers by address; an address not listed cannot be reached. The answer comes
    // on the next turn of the event loop, as from a real download; a good one with a file
    // writes the body there (a real file: give a temporary folder). Cancelled or destroyed
    // jobs answer nothing.
    struct DownloadAnswer
    {
        bool ok = true;
        QString reason;
        QByteArray body;
    };
    QHash<QString, DownloadAnswer> downloads;
    // Addresses that never answer, like a server that stalls, until the job is cancelled.
    QSet<QString> stalledDownloads;

    struct FakeDownloadJob : DownloadJob
    {
        std::shared_ptr<bool> live = std::make_shared<bool>(true);
        ~FakeDownloadJob() override { cancel(); }
        void cancel() override { *live = false; }
    };

    std::unique_ptr<DownloadJob> startDownload(const QString &url, const QString &toFile,
        qint64 maxBytes, DownloadHandlers handlers) override
    {
        calls << QStringLiteral("download:") + url;
        auto job = std::make_unique<FakeDownloadJob>();
        if (stalledDownloads.contains(url))
            return job;
        DownloadAnswer answer = downloads.value(url,
            DownloadAnswer {false, downloadFailureText(DownloadFailure::Connect), QByteArray()});
        if (answer.ok && answer.body.size() > maxBytes)
            answer = {false, downloadFailureText(DownloadFailure::TooLarge), QByteArray()};
        QTimer::singleShot(0, [live = job->live, answer, toFile, handlers]() mutable {
            if (!*live)
                return;
            if (answer.ok && handlers.progress)
                handlers.progress(answer.body.size(), answer.body.size());
            if (answer.ok && !toFile.isEmpty()) {
                QFile file(toFile);
                if (!file.open(QIODevice::WriteOnly) || file.write(answer.body) != answer.body.size())
                    answer = {false, downloadFailureText(DownloadFailure::Write), QByteArray()};
                else
                    answer.body.clear();
            }
            if (*live && handlers.finished)
                handlers.finished(answer.ok, answer.reason, answer.body);
        });
        return job;
    }
    // --- end downloads ---
};
