#pragma once

#include "platform/platform.h"

#include <QSet>
#include <QStringList>

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

    void refreshNotificationArea() override { calls << QStringLiteral("refreshTray"); }

    bool fileExists(const QString &path) override
    {
        calls << QStringLiteral("exists:") + path;
        return existingFiles.contains(path);
    }

    // --- synthetic input ---
    // --- end synthetic input ---

    // --- global hotkeys ---
    // --- end global hotkeys ---

    // --- commands, files and folders ---
    // --- end commands, files and folders ---

    // --- autostart and file association ---
    // --- end autostart and file association ---
};
