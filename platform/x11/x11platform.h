#pragma once

#include "platform/platform.h"

// The Linux/X11 implementation. Each group of methods is defined in its own source file of
// this folder (listed in platform.cmake).
class X11Platform final : public Platform
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
    QImage captureScreen() override; // x11screen.cpp
    void openTextFile(const QString &path, std::function<void()> onFailure) override;

    // --- synthetic input ---
    void keyDown(int virtualKey) override;
    void keyUp(int virtualKey) override;
    void mouseButton(MouseButtonEvent event) override;
    QPoint cursorPosition() override;
    void setCursorPosition(const QPoint &position) override;
    // --- end synthetic input ---

    // --- global hotkeys ---
    // Grabs on the root window (x11hotkeys.cpp); atoms are counted in the process.
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
    // Command lines, shutdown, the default handler, files and folders (x11system.cpp).
    int runCommandLine(
        const QByteArray &commandLine, KeepWaiting keepWaiting, void *context) override;
    void startShutdown(const QString &arguments) override;
    void openWithDefaultHandler(const QString &target) override;
    bool makeDirectories(const QString &path) override;
    FileResult moveFile(const QString &source, const QString &destination) override;
    FileResult copyFile(const QString &source, const QString &destination) override;
    // --- end commands, files and folders ---

    // --- recording the user's input ---
    // The RECORD extension on connections and a thread of their own (x11recorder.cpp). A stop
    // delivers what the user did before it, then nothing more; the keyboard map is the one of
    // the start.
    bool startInputRecording(InputHandler handler) override;
    void stopInputRecording() override;
    // --- end recording the user's input ---

    // --- autostart and file association ---
    // XDG autostart entry, MIME type, desktop entry and default application (x11autostart.cpp).
    bool setAutostart(const QString &executablePath, const QString &argument) override;
    bool removeAutostart(const QString &executablePath, const QString &argument) override;
    bool associateScriptFiles(const QString &executablePath, const QString &programFolder) override;
    bool dissociateScriptFiles(const QString &executablePath) override;
    // --- end autostart and file association ---

    // --- downloads ---
    // QNetworkAccessManager on the GUI thread, streaming to the .part file (x11download.cpp).
    std::unique_ptr<DownloadJob> startDownload(const QString &url, const QString &toFile,
        qint64 maxBytes, DownloadHandlers handlers) override;
    // Silence after which a connection is given up; tests shorten it.
    int downloadIdleMs = downloadIdleSeconds * 1000;
    // --- end downloads ---
};
