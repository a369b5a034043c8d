// System, file and folder commands: 关机, 打开, 文件夹, cmd, 进程, 文件, 改名. Everything that
// reaches the system goes through the platform layer.
#include "engine/commands.h"
#include "platform/pathpattern.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// "创建" or "打开", optional white space, an absolute path in square brackets.
const QRegularExpression &folderPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\A((?:创建)|(?:打开))\\s*\\[(")
            + pathpattern::absolutePathStart() + QStringLiteral(".+)\\]\\z"),
        QRegularExpression::DotMatchesEverythingOption
            | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// One side of "=>" or "=": native separators, no blanks around it.
QString pathPart(const QString &part)
{
    return QDir::toNativeSeparators(part).trimmed();
}

// The folder part of a path, up to its last separator; empty when it has none.
QString folderOf(const QString &path)
{
    const int last = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return last > 0 ? path.left(last) : QString();
}

// Moves when the source is there; the short pause lets the file system settle.
void moveIfFound(CommandContext &ctx, const QString &source, const QString &destination)
{
    if (ctx.platform().moveFile(source, destination) != Platform::FileResult::SourceMissing)
        ctx.pause(20);
}

// The copy replaces an existing destination; when it fails, the destination's folders are
// made and it is tried once more.
void copyWithFolders(Platform &platform, const QString &source, const QString &destination)
{
    if (platform.copyFile(source, destination) != Platform::FileResult::Failed)
        return;
    const QString folder = folderOf(destination);
    if (!folder.isEmpty())
        platform.makeDirectories(folder);
    platform.copyFile(source, destination);
}

bool stillRunning(void *context)
{
    return static_cast<CommandContext *>(context)->running();
}

} // namespace

LineOutcome cmdShutdown(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    ctx.platform().startShutdown(arg);
    return LineOutcome::Continue;
}

LineOutcome cmdOpen(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    ctx.platform().openWithDefaultHandler(arg);
    return LineOutcome::Continue;
}

LineOutcome cmdFolder(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    const QRegularExpressionMatch m = folderPattern().match(arg);
    if (!m.hasMatch()) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    const QString path = QDir::toNativeSeparators(m.captured(2).trimmed());
    // Any existing path passes the test, a file too; only a missing one is refused.
    const bool exists = QFileInfo::exists(path);
    if (m.captured(1) == QStringLiteral("打开")) {
        if (!exists) {
            ctx.showLineError(line.text + QStringLiteral("(文件夹不存在)"));
            return LineOutcome::EndRun;
        }
        ctx.platform().openWithDefaultHandler(path);
    } else if (!exists) {
        ctx.platform().makeDirectories(path);
    }
    return LineOutcome::Continue;
}

void checkFolder(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    const QRegularExpressionMatch m = folderPattern().match(line.argument);
    if (!m.hasMatch()) {
        check.error(QStringLiteral("文件夹参数应为 创建[绝对路径] 或 打开[绝对路径]"));
        return;
    }
    const QString path = QDir::toNativeSeparators(m.captured(2).trimmed());
    if (m.captured(1) == QStringLiteral("打开") && !check.fileExists(path))
        check.warning(QStringLiteral("文件夹不存在"));
}

LineOutcome cmdShell(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    // Waits for the command, but gives it up (and ends it) once the run is stopped, so a
    // command that never returns holds neither the run nor the program's exit. The exit
    // status does not matter.
    ctx.platform().runCommandLine(arg.toLocal8Bit(), stillRunning, &ctx);
    return LineOutcome::Continue;
}

LineOutcome cmdProcess(CommandContext &ctx, const ScriptLine &line)
{
    ctx.platform().terminateProcessByName(line.argument.toLocal8Bit());
    return LineOutcome::Continue;
}

LineOutcome cmdFile(CommandContext &ctx, const ScriptLine &line)
{
    const QString &arg = line.argument;
    // "=>" first, so a=>b always moves and a=b always copies.
    const QStringList move = arg.split(QStringLiteral("=>"), Qt::KeepEmptyParts);
    if (move.size() == 2) {
        moveIfFound(ctx, pathPart(move.at(0)), pathPart(move.at(1)));
        return LineOutcome::Continue;
    }
    const QStringList copy = arg.split(QLatin1Char('='), Qt::KeepEmptyParts);
    if (copy.size() == 2)
        copyWithFolders(ctx.platform(), pathPart(copy.at(0)), pathPart(copy.at(1)));
    return LineOutcome::Continue;
}

void checkFile(LineCheck &check, const ScriptLine &line)
{
    if (line.argument.split(QStringLiteral("=>"), Qt::KeepEmptyParts).size() != 2
        && line.argument.split(QLatin1Char('='), Qt::KeepEmptyParts).size() != 2)
        check.warning(QStringLiteral("文件参数应为 源=>目标(移动) 或 源=目标(复制)，此行不做任何事"));
}

LineOutcome cmdRename(CommandContext &ctx, const ScriptLine &line)
{
    const QStringList parts = line.argument.split(QStringLiteral("=>"), Qt::KeepEmptyParts);
    if (parts.size() != 2) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    moveIfFound(ctx, pathPart(parts.at(0)), pathPart(parts.at(1)));
    return LineOutcome::Continue;
}

void checkRename(LineCheck &check, const ScriptLine &line)
{
    if (line.argument.split(QStringLiteral("=>"), Qt::KeepEmptyParts).size() != 2)
        check.error(QStringLiteral("改名参数应为 原路径=>新路径"));
}
