#pragma once

#include "platform/platform.h"

// The Win32 implementation: converts between Qt's strings and the narrow ANSI strings of the
// Win32 calls (win32calls.h and the other win32*.h of this folder). Each group of methods is
// defined in its own source file of this folder (listed in platform.cmake).
class WinPlatform final : public Platform
{
public:
    QString executablePath() override;
    QByteArray instanceImageName() override;
    int countProcessesByName(const QByteArray &name) override;
    int terminateProcessByName(const QByteArray &name) override;
    void refreshNotificationArea() override;
    bool fileExists(const QString &path) override;
    QSize screenSize() override;
    void openTextFile(const QString &path) override;

    // --- synthetic input ---
    // --- end synthetic input ---

    // --- global hotkeys ---
    // --- end global hotkeys ---

    // --- commands, files and folders ---
    // --- end commands, files and folders ---

    // --- autostart and file association ---
    // --- end autostart and file association ---
};
