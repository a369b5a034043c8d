#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

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
    // Shows a text file in the desktop's text viewer (the help file).
    virtual void openTextFile(const QString &path);

    // Each group below belongs to one subsystem; its methods are implemented by every
    // system's class (platform/x11, platform/win) and recorded by the tests' fake.

    // --- synthetic input ---
    // --- end synthetic input ---

    // --- global hotkeys ---
    // --- end global hotkeys ---

    // --- commands, files and folders ---
    // --- end commands, files and folders ---

    // --- autostart and file association ---
    // --- end autostart and file association ---
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
