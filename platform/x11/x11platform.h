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
    void refreshNotificationArea() override;
    bool fileExists(const QString &path) override;

    // --- synthetic input ---
    // --- end synthetic input ---

    // --- global hotkeys ---
    // --- end global hotkeys ---

    // --- commands, files and folders ---
    // --- end commands, files and folders ---

    // --- autostart and file association ---
    // --- end autostart and file association ---
};
