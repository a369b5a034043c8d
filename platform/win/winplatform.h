#pragma once

#include "platform/platform.h"

// The Win32 implementation: converts between Qt's strings and the narrow ANSI strings of the
// Win32 calls (the Qt-free tier in api/: calls.h and the other headers there). Each group of
// methods is defined in its own source file of this folder (listed in platform.cmake).
class WinPlatform final : public Platform
{
public:
    QString executablePath() override;
    QByteArray instanceImageName() override;
    int countProcessesByName(const QByteArray &name) override;
    int terminateProcessByName(const QByteArray &name) override;
    bool processRunning(qint64 pid) override;
    void endProcess(qint64 pid) override;
    void refreshNotificationArea() override;
    bool fileExists(const QString &path) override;
    QSize screenSize() override;
    // The screen in physical pixels, through GDI (winscreen.cpp).
    QImage captureScreen() override;
    void openTextFile(const QString &path, std::function<void()> onFailure) override;

    // --- synthetic input ---
    void keyDown(int virtualKey) override;
    void keyUp(int virtualKey) override;
    void mouseButton(MouseButtonEvent event) override;
    QPoint cursorPosition() override;
    void setCursorPosition(const QPoint &position) override;
    // --- end synthetic input ---

    // --- global hotkeys ---
    // Global atoms and RegisterHotKey (winhotkeys.cpp); WM_HOTKEY reaches the window.
    quint16 globalAddAtom(const QByteArray &name) override;
    void globalDeleteAtom(quint16 atom) override;
    bool registerHotKey(
        quintptr window, quint16 id, unsigned modifiers, unsigned virtualKey) override;
    void unregisterHotKey(quintptr window, quint16 id) override;
    void setHotKeyHandler(HotKeyHandler handler, void *context) override;
    bool hotKeyOfMessage(const QByteArray &eventType, void *message, unsigned *modifiers,
        unsigned *virtualKey) override;
    // --- end global hotkeys ---

    // --- commands, files and folders ---
    // The command interpreter, shutdown.exe, the shell's default handler, CopyFileA, _mkdir
    // and rename (winsystem.cpp, api/system.h).
    int runCommandLine(
        const QByteArray &commandLine, KeepWaiting keepWaiting, void *context) override;
    void startShutdown(const QString &arguments) override;
    void openWithDefaultHandler(const QString &target) override;
    bool makeDirectories(const QString &path) override;
    FileResult moveFile(const QString &source, const QString &destination) override;
    FileResult copyFile(const QString &source, const QString &destination) override;
    // --- end commands, files and folders ---

    // --- recording the user's input ---
    // Low-level keyboard and mouse hooks on the GUI thread (winrecorder.cpp, api/recorder.h).
    // A stop delivers what the user did before it, then nothing more.
    bool startInputRecording(InputHandler handler) override;
    void stopInputRecording() override;
    // --- end recording the user's input ---

    // --- autostart and file association ---
    // The Run value of the machine and the classes root (winautostart.cpp).
    bool setAutostart(const QString &executablePath, const QString &argument) override;
    bool removeAutostart(const QString &executablePath, const QString &argument) override;
    bool associateScriptFiles(const QString &executablePath, const QString &programFolder) override;
    bool dissociateScriptFiles(const QString &executablePath) override;
    // --- end autostart and file association ---

    // --- downloads ---
    // WinHTTP on a thread of each job's own (windownload.cpp, api/download.h).
    std::unique_ptr<DownloadJob> startDownload(const QString &url, const QString &toFile,
        qint64 maxBytes, DownloadHandlers handlers) override;
    // --- end downloads ---
};
