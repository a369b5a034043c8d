#pragma once

#include <QString>

// Process-wide state, set once during start-up before the main window exists.
struct ProcessState
{
    QString argument; // the first command-line argument, empty when there is none
    QString executablePath;
    QString programFolder; // ends with a separator; empty when the path has none
    QString settingsPath; // programFolder + "Quorvel.qcf"
    bool fileStartMode = false;

    QString scriptFolder() const; // programFolder + "ZtFiles" + separator
    QString defaultScriptPath() const; // scriptFolder() + "Quorvel.zt"
    bool autorun() const; // the argument is exactly "-autorun"
    // Started by the program before it after an update ("-updated", or "-updated-autorun" for
    // one that lived in the tray).
    bool updatedStart() const;
    // The window stays hidden at start: an autostart, or an update of a program in the tray.
    bool hiddenAtStart() const;
};

class Platform;

namespace startup {

// The folder part of an executable path, up to and including its last separator.
QString programFolderOf(const QString &executablePath);

// A plain start or an autostart replaces a running instance; a start with a script file
// (or any other argument) runs beside it.
bool replacesRunningInstance(const QString &argument);

// What start-up settles before the window exists: the argument, the paths, the single-instance
// rule and file-start mode.
ProcessState prepareProcess(const QString &argument, Platform &platform);

} // namespace startup
