#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Putting a checked release in place. Everything happens in one work folder beside the program,
// so every rename stays on one volume: the downloaded archive, the unpacked new files, the
// program's files moved aside, and the new program's report that it started well.

struct UpdateFolders
{
    QString work; // <program folder>/QuorvelUpdate
    QString archive() const { return work + QStringLiteral("/release.zip"); }
    QString staged() const { return work + QStringLiteral("/new"); }
    QString aside() const { return work + QStringLiteral("/old"); }
    QString failed() const { return work + QStringLiteral("/failed"); }
    QString report() const { return work + QStringLiteral("/started"); }
};

UpdateFolders updateFoldersOf(const QString &programFolder);

// One program file of the swap: the new file, the file it replaces, and where that one waits
// until the new program has started.
struct Replacement
{
    QString staged;
    QString target;
    QString aside;
};

// The swap of unpacked files (relative names with '/', the executable first, as the archive
// has them) into the program folder. The executable replaces the running one under its own
// name, whatever the archive calls it.
QVector<Replacement> replacementsFor(const UpdateFolders &folders, const QString &programFolder,
    const QStringList &files, const QString &runningExecutable);

// Either done, or why not (a short text for the user).
struct InstallStep
{
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

// Puts every new file in place, the file it replaces renamed aside first (a running executable
// may be renamed, never overwritten). Any failure undoes what was done: afterwards either every
// file is new or every file is as before.
InstallStep swapIn(const QVector<Replacement> &replacements);
// Puts the files set aside back; the new ones go to failedFolder (a new executable that was just
// ended may still be held open, but it may be renamed).
InstallStep swapBack(const QVector<Replacement> &replacements, const QString &failedFolder);

// The new program's report that it started well: its process id and version, written whole.
bool writeStartReport(const QString &path, qint64 pid, const QString &version);
// The process id in a report, 0 when there is none or it is unreadable.
qint64 startReportPid(const QString &path);
