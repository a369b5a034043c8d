#include "update/install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {


bool makeParentOf(const QString &path)
{
    return QDir().mkpath(QFileInfo(path).absolutePath());
}

// A rename that never copies: a copy of a running executable followed by a failed removal
// would leave two programs and no clear state.
bool renameOnly(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to) || !makeParentOf(to))
        return false;
    return QDir().rename(from, to);
}

QString cannotReplace(const QString &target)
{
    return QStringLiteral("无法替换 %1").arg(QDir::toNativeSeparators(target));
}

// Undoes the first count replacements, newest first.
void undo(const QVector<Replacement> &replacements, int count, const QString &discard)
{
    for (int i = count - 1; i >= 0; --i) {
        const Replacement &r = replacements.at(i);
        if (QFileInfo::exists(r.target) && !renameOnly(r.target, r.staged))
            renameOnly(r.target, discard + QLatin1Char('/') + QFileInfo(r.target).fileName());
        if (QFileInfo::exists(r.aside))
            renameOnly(r.aside, r.target);
    }
}

} // namespace

UpdateFolders updateFoldersOf(const QString &programFolder)
{
    return UpdateFolders {QDir(programFolder).absoluteFilePath(QStringLiteral("QuorvelUpdate"))};
}

QVector<Replacement> replacementsFor(const UpdateFolders &folders, const QString &programFolder,
    const QStringList &files, const QString &runningExecutable)
{
    QVector<Replacement> replacements;
    const QDir program(programFolder);
    for (int i = 0; i < files.size(); ++i) {
        const QString name = i == 0 && !runningExecutable.isEmpty()
            ? QFileInfo(runningExecutable).fileName()
            : files.at(i);
        replacements.append({folders.staged() + QLatin1Char('/') + files.at(i),
            program.absoluteFilePath(name), folders.aside() + QLatin1Char('/') + name});
    }
    return replacements;
}

InstallStep swapIn(const QVector<Replacement> &replacements)
{
    for (int i = 0; i < replacements.size(); ++i) {
        const Replacement &r = replacements.at(i);
        const bool hadOld = QFileInfo::exists(r.target);
        if ((hadOld && !renameOnly(r.target, r.aside)) || !renameOnly(r.staged, r.target)) {
            // The half-done file first: its old one may already be aside.
            if (hadOld && !QFileInfo::exists(r.target))
                renameOnly(r.aside, r.target);
            undo(replacements, i, QFileInfo(r.aside).absolutePath());
            return {cannotReplace(r.target)};
        }
    }
    return {};
}

InstallStep swapBack(const QVector<Replacement> &replacements, const QString &failedFolder)
{
    InstallStep result;
    for (const Replacement &r : replacements) {
        if (QFileInfo::exists(r.target)
            && !renameOnly(r.target, failedFolder + QLatin1Char('/') + QFileInfo(r.target).fileName()))
            result.reason = cannotReplace(r.target);
        else if (QFileInfo::exists(r.aside) && !renameOnly(r.aside, r.target))
            result.reason = cannotReplace(r.target);
    }
    return result;
}

bool writeStartReport(const QString &path, qint64 pid, const QString &version)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::number(pid) + ' ' + version.toUtf8() + '\n');
    return file.commit();
}

qint64 startReportPid(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> words = file.read(256).trimmed().split(' ');
    bool ok = false;
    const qint64 pid = words.value(0).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}
