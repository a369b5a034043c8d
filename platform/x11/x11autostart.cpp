// Linux: autostart as an XDG autostart entry; the .zt association as an XDG MIME type, a
// desktop entry and the default-application setting. Everything lives in the user's own
// XDG folders, so no administrator rights are involved.
#include "platform/x11/x11platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVector>

namespace {

// The association's fixed names, the counterparts of the ".zt" and "ztfile" keys of Windows.
const QString kMimeType = QStringLiteral("text/x-quorvel-zt");
const QString kAssociationId = QStringLiteral("quorvel-ztfile");
const QString kDesktopId = kAssociationId + QStringLiteral(".desktop");

QString xdgFolder(const char *variable, const char *underHome)
{
    // Relative values are invalid and ignored, as the base-directory rules say.
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(underHome);
}

QString configHome()
{
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

QString dataHome()
{
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

QStringList folderList(const char *variable, const QString &fallback)
{
    QStringList folders;
    const QString value = qEnvironmentVariable(variable);
    for (const QString &folder : (value.isEmpty() ? fallback : value).split(QLatin1Char(':'))) {
        if (QDir::isAbsolutePath(folder))
            folders << QDir::cleanPath(folder);
    }
    return folders;
}

QStringList configDirs()
{
    return folderList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
}

QStringList dataDirs()
{
    return folderList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

bool writeFile(const QString &path, const QByteArray &content)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
        && file.commit();
}

bool removeFile(const QString &path)
{
    QFile::remove(path);
    return !QFileInfo(path).isSymLink() && !QFileInfo::exists(path);
}

// A value of type string in a desktop entry.
QString escapeValue(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

bool needsQuoting(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (const QChar c : argument) {
        if (reserved.contains(c))
            return true;
    }
    return argument.isEmpty();
}

// One argument of an Exec key: quoted where the rules of desktop entries ask for it, with
// literal percent signs doubled.
QString execArgument(const QString &argument)
{
    QString quoted = argument;
    if (needsQuoting(argument)) {
        quoted.clear();
        for (const QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    return quoted;
}

// The autostart entry is named after the executable, as the Run value of Windows is.
QString autostartEntryPath(const QString &executablePath)
{
    QString name = QFileInfo(executablePath).fileName();
    for (QChar &c : name) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')
            || c == QLatin1Char('_') || c == QLatin1Char('.');
        if (!plain)
            c = QLatin1Char('_');
    }
    if (name.isEmpty())
        name = QStringLiteral("Quorvel");
    return configHome() + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

QString mimePackagePath()
{
    return dataHome() + QStringLiteral("/mime/packages/") + kAssociationId + QStringLiteral(".xml");
}

QString desktopEntryPath()
{
    return dataHome() + QStringLiteral("/applications/") + kDesktopId;
}

QString launcherPath()
{
    return dataHome() + QLatin1Char('/') + kAssociationId + QStringLiteral("/Quorvel");
}

// Runs one of the desktop's database tools; true when it ran and succeeded.
bool runTool(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Keeps the applications folder's MIME cache in step with its entries; desktops without
// that tool read the entries themselves.
void refreshDesktopCache()
{
    runTool(
        QStringLiteral("update-desktop-database"), {dataHome() + QStringLiteral("/applications")});
}

// --- key files (desktop entries, mimeapps.list) ---

struct KeyLine
{
    QString group;
    QString key; // empty for headers, comments and blank lines
    QString value;
};

QVector<KeyLine> readKeyFile(const QString &path, QStringList *lines = nullptr)
{
    QVector<KeyLine> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QString group;
    const QList<QByteArray> raw = file.readAll().split('\n');
    for (const QByteArray &bytes : raw) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (lines)
            *lines << QString::fromUtf8(bytes);
        KeyLine entry;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
        } else if (!line.startsWith(QLatin1Char('#'))) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0) {
                entry.key = line.left(eq).trimmed();
                entry.value = line.mid(eq + 1).trimmed();
            }
        }
        entry.group = group;
        entries << entry;
    }
    return entries;
}

QStringList desktopIdsIn(const QString &path, const QString &group, const QString &mime)
{
    for (const KeyLine &line : readKeyFile(path)) {
        if (line.group == group && line.key == mime)
            return line.value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

// The desktop entry of that id, looked for as desktops do ("vendor-app" may live in vendor/).
QString findDesktopEntry(const QString &id)
{
    for (const QString &dir : QStringList {dataHome()} + dataDirs()) {
        const QString apps = dir + QStringLiteral("/applications/");
        if (QFileInfo::exists(apps + id))
            return apps + id;
        const int dash = id.indexOf(QLatin1Char('-'));
        if (dash > 0) {
            QString nested = id;
            nested[dash] = QLatin1Char('/');
            if (QFileInfo::exists(apps + nested))
                return apps + nested;
        }
    }
    return {};
}

// The application the desktop opens plain text with: the default-application lists first,
// then the caches of installed entries. Empty when there is none.
QString textEditorId()
{
    const QString textPlain = QStringLiteral("text/plain");
    QStringList prefixes;
    for (const QString &desktop :
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        prefixes << desktop.toLower() + QLatin1Char('-');
    prefixes << QString();

    QStringList lists;
    for (const QString &dir : QStringList {configHome()} + configDirs()) {
        for (const QString &prefix : qAsConst(prefixes))
            lists << dir + QLatin1Char('/') + prefix + QStringLiteral("mimeapps.list");
    }
    for (const QString &dir : QStringList {dataHome()} + dataDirs()) {
        for (const QString &prefix : qAsConst(prefixes))
            lists << dir + QStringLiteral("/applications/") + prefix
                    + QStringLiteral("mimeapps.list");
    }
    for (const QString &dir : QStringList {dataHome()} + dataDirs())
        lists << dir + QStringLiteral("/applications/defaults.list");

    const auto usable
        = [](const QString &id) { return id != kDesktopId && !findDesktopEntry(id).isEmpty(); };
    for (const QString &list : qAsConst(lists)) {
        for (const QString &id :
            desktopIdsIn(list, QStringLiteral("Default Applications"), textPlain)) {
            if (usable(id))
                return id;
        }
    }
    for (const QString &dir : QStringList {dataHome()} + dataDirs()) {
        for (const QString &id : desktopIdsIn(dir + QStringLiteral("/applications/mimeinfo.cache"),
                 QStringLiteral("MIME Cache"), textPlain)) {
            if (usable(id))
                return id;
        }
    }
    return {};
}

// Sets (or, with an empty id, removes) the user's default application for a MIME type in
// $XDG_CONFIG_HOME/mimeapps.list, keeping every other line as it was.
bool setDefaultApplication(const QString &mime, const QString &desktopId)
{
    const QString path = configHome() + QStringLiteral("/mimeapps.list");
    QStringList lines;
    const QVector<KeyLine> entries = readKeyFile(path, &lines);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the split after the file's last line break

    const QString group = QStringLiteral("Default Applications");
    const QString newLine = mime + QLatin1Char('=') + desktopId + QLatin1Char(';');
    int header = -1;
    bool done = false;
    for (int i = entries.size() - 1; i >= 0; --i) {
        if (i >= lines.size())
            continue;
        const KeyLine &entry = entries.at(i);
        if (entry.group == group && entry.key == mime) {
            if (desktopId.isEmpty() || done) {
                lines.removeAt(i);
            } else {
                lines[i] = newLine;
                done = true;
            }
        }
    }
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).trimmed() == QLatin1Char('[') + group + QLatin1Char(']')) {
            header = i;
            break;
        }
    }
    if (!done && !desktopId.isEmpty()) {
        if (header >= 0) {
            lines.insert(header + 1, newLine);
        } else {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines << QString();
            lines << QLatin1Char('[') + group + QLatin1Char(']') << newLine;
        }
    }
    return writeFile(path, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

// The program as the association's desktop entry starts it. Simple desktop tools split the
// Exec key at blanks without honouring quotes, so a path that needs quoting is reached
// through a link with a plain path when there can be one.
QString associationProgram(const QString &executablePath)
{
    const QString link = launcherPath();
    QFile::remove(link);
    if (!needsQuoting(executablePath) || needsQuoting(link))
        return executablePath;
    if (!QDir().mkpath(QFileInfo(link).absolutePath()) || !QFile::link(executablePath, link))
        return executablePath;
    return link;
}

} // namespace

bool X11Platform::setAutostart(const QString &executablePath, const QString &argument)
{
    const QString exec = execArgument(executablePath) + QLatin1Char(' ') + execArgument(argument);
    const QString entry
        = QStringLiteral("[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=%1\n"
                         "Exec=%2\n"
                         "Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n")
              .arg(escapeValue(QFileInfo(executablePath).fileName()), escapeValue(exec));
    return writeFile(autostartEntryPath(executablePath), entry.toUtf8());
}

bool X11Platform::removeAutostart(const QString &executablePath, const QString &)
{
    return removeFile(autostartEntryPath(executablePath));
}

bool X11Platform::associateScriptFiles(const QString &executablePath, const QString &programFolder)
{
    // The MIME type: *.zt files are a kind of plain text, so text editors still offer them.
    const QByteArray mimeInfo
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
          "  <mime-type type=\""
        + kMimeType.toUtf8()
        + "\">\n"
          "    <sub-class-of type=\"text/plain\"/>\n"
          "    <comment>Quorvel script</comment>\n"
          "    <comment xml:lang=\"zh_CN\">Quorvel \xe8\x84\x9a\xe6\x9c\xac</comment>\n"
          "    <glob pattern=\"*.zt\"/>\n"
          "  </mime-type>\n"
          "</mime-info>\n";
    bool ok = writeFile(mimePackagePath(), mimeInfo);
    ok = runTool(QStringLiteral("update-mime-database"), {dataHome() + QStringLiteral("/mime")})
        && ok;

    // The desktop entry passes the file as the only argument: file-start mode.
    const QString icon = QDir(programFolder).filePath(QStringLiteral("iconengines/zt.ico"));
    const QString exec = execArgument(associationProgram(executablePath)) + QStringLiteral(" %f");
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Icon=%3\n"
                                         "MimeType=%4;\n"
                                         "NoDisplay=true\n"
                                         "Terminal=false\n")
                              .arg(escapeValue(QFileInfo(executablePath).fileName()),
                                  escapeValue(exec), escapeValue(icon), kMimeType);
    ok = writeFile(desktopEntryPath(), entry.toUtf8()) && ok;
    refreshDesktopCache();

    return setDefaultApplication(kMimeType, kDesktopId) && ok;
}

bool X11Platform::dissociateScriptFiles(const QString &)
{
    // The MIME type stays (as ".zt" does on Windows); the program's entry goes, and the
    // text editor becomes the default again. Without a known editor the default is dropped,
    // so the desktop falls back to its handler of plain text.
    bool ok = removeFile(desktopEntryPath());
    ok = removeFile(launcherPath()) && ok;
    refreshDesktopCache();
    return setDefaultApplication(kMimeType, textEditorId()) && ok;
}
