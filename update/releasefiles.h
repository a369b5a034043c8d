#pragma once

#include "update/feed.h"

#include <QString>
#include <QStringList>

// The program's own files an update replaces, as archive names with '/'; the executable first.
// "windows-x64": Quorvel.exe, QuorvelExplain.txt, iconengines/zt.ico;
// "linux-x64":   Quorvel,     QuorvelExplain.txt, iconengines/zt.ico.
// Empty for a system there is no release of.
QStringList programFilesOf(const QString &system);

struct UnpackResult
{
    QStringList files; // the archive names written, in the order of programFilesOf
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

// Unpacks those program files that the archive holds into folder (created if missing; the
// folder must be empty), keeping their relative paths. The executable must be there and not
// empty, or nothing is kept. Everything else in the archive (the user's settings file, script
// and picture folders) is not unpacked. On any failure the folder's contents written so far are
// removed. The executable gets execute permission (Linux).
UnpackResult unpackProgramFiles(
    const QString &zipPath, const QString &folder, const QString &system = currentSystemName());
