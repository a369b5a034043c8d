#include "update/releasefiles.h"

#include "update/ziparchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Reasons shown to the user.
const char *const kNoSystem = "更新包不支持本系统";
const char *const kNoProgram = "更新包中没有程序文件";
const char *const kFolderNotEmpty = "更新文件的存放目录不是空的";
const char *const kCannotCreate = "无法创建更新文件的存放目录";
const char *const kCannotWrite = "无法写入更新文件";

QString tr8(const char *text)
{
    return QString::fromUtf8(text);
}

// An existing folder that holds nothing, or a new one; an empty text when it is so.
QString prepareFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return tr8(kCannotCreate);
    if (info.isDir())
        return QDir(folder).isEmpty(
                   QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
            ? QString()
            : tr8(kFolderNotEmpty);
    return QDir().mkpath(folder) ? QString() : tr8(kCannotCreate);
}

// What one unpacking has put into the folder, so a failure can take exactly that away again.
class Written
{
public:
    explicit Written(const QString &folder)
        : m_root(folder)
    {
    }

    // Makes the folders above name, noting those that are new.
    bool makeParents(const QString &name)
    {
        const QStringList parts = name.split(QLatin1Char('/'));
        QString path = m_root.path();
        for (int i = 0; i + 1 < parts.size(); ++i) {
            path += QLatin1Char('/') + parts.at(i);
            if (QFileInfo(path).isDir())
                continue;
            if (!QDir().mkdir(path))
                return false;
            m_folders.prepend(path);
        }
        return true;
    }

    void addFile(const QString &path) { m_files.append(path); }

    void removeAll()
    {
        for (const QString &file : qAsConst(m_files))
            QFile::remove(file);
        for (const QString &folder : qAsConst(m_folders)) // deepest first
            QDir().rmdir(folder);
    }

private:
    QDir m_root;
    QStringList m_files;
    QStringList m_folders;
};

QString unpackOne(ziparchive::Reader &reader, const ziparchive::Entry &entry, const QString &folder,
    Written *written)
{
    if (!written->makeParents(entry.name))
        return tr8(kCannotWrite);
    const QString path = folder + QLatin1Char('/') + entry.name;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return tr8(kCannotWrite);
    written->addFile(path);
    const QString reason = reader.extract(entry, &out);
    if (!reason.isEmpty())
        return reason;
    if (!out.flush())
        return tr8(kCannotWrite);
    out.close();
    return {};
}

bool makeExecutable(const QString &path)
{
    return QFile::setPermissions(path,
        QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup
            | QFile::ExeOther);
}

} // namespace

QStringList programFilesOf(const QString &system)
{
    const QStringList common {
        QStringLiteral("QuorvelExplain.txt"), QStringLiteral("iconengines/zt.ico")};
    if (system == QLatin1String("windows-x64"))
        return QStringList {QStringLiteral("Quorvel.exe")} + common;
    if (system == QLatin1String("linux-x64"))
        return QStringList {QStringLiteral("Quorvel")} + common;
    return {};
}

UnpackResult unpackProgramFiles(
    const QString &zipPath, const QString &folder, const QString &system)
{
    const QStringList names = programFilesOf(system);
    if (names.isEmpty())
        return {{}, tr8(kNoSystem)};
    ziparchive::Reader reader(zipPath, quint64(kMaxReleaseBytes));
    QString reason = reader.open();
    if (!reason.isEmpty())
        return {{}, reason};
    const ziparchive::Entry *program = reader.find(names.first());
    if (!program || program->size == 0)
        return {{}, tr8(kNoProgram)};
    reason = prepareFolder(folder);
    if (!reason.isEmpty())
        return {{}, reason};

    UnpackResult result;
    Written written(folder);
    for (const QString &name : names) {
        const ziparchive::Entry *entry = reader.find(name);
        if (!entry)
            continue;
        reason = unpackOne(reader, *entry, folder, &written);
        if (!reason.isEmpty())
            break;
        result.files.append(name);
    }
    if (reason.isEmpty() && !makeExecutable(folder + QLatin1Char('/') + names.first()))
        reason = tr8(kCannotWrite);
    if (!reason.isEmpty()) {
        written.removeAll();
        return {{}, reason};
    }
    return result;
}
