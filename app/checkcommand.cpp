#include "app/checkcommand.h"

#include "app/checkreport.h"
#include "app/scriptfiles.h"
#include "engine/checker.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace checkcommand {

namespace {

const QString kCheck = QStringLiteral("--check");
const QString kJson = QStringLiteral("--json");
const QString kEndOfOptions = QStringLiteral("--");

QString usageText()
{
    return QStringLiteral("用法: Quorvel --check [--json] 脚本文件\n"
                          "检查脚本文件而不执行它: 列出执行时的各行(行号与来源)和发现的问题。\n"
                          "  --json  以 JSON 格式输出\n"
                          "退出码: 0 没有错误(可以有警告), 1 有错误, 2 文件无法读取或参数有误\n");
}

Outcome cannotCheck(const QString &message, bool withUsage)
{
    Outcome outcome;
    outcome.exitCode = CannotCheck;
    const QString line = QStringLiteral("Quorvel: ") + message + QLatin1Char('\n');
    outcome.err = (withUsage ? line + usageText() : line).toUtf8();
    return outcome;
}

// Writes to a descriptor (1 or 2) rather than a stdio stream: that is what attachParentConsole
// can point at a console on every C runtime.
void write(int descriptor, const QByteArray &bytes)
{
    QFile stream;
    if (!bytes.isEmpty() && stream.open(descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered))
        stream.write(bytes);
}

} // namespace

bool requested(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "--check") == 0)
            return true;
    }
    return false;
}

Arguments parseArguments(const QStringList &arguments)
{
    Arguments parsed;
    QStringList files;
    bool options = true;
    for (const QString &argument : arguments) {
        if (options && argument == kEndOfOptions)
            options = false;
        else if (options && argument == kCheck)
            continue;
        else if (options && argument == kJson)
            parsed.json = true;
        else if (options && argument.size() > 1 && argument.startsWith(QLatin1Char('-')))
            parsed.error = QStringLiteral("未知选项 ") + argument;
        else
            files.append(argument);
        if (!parsed.error.isEmpty())
            return parsed;
    }
    if (files.isEmpty())
        parsed.error = QStringLiteral("缺少脚本文件名");
    else if (files.size() > 1)
        parsed.error = QStringLiteral("一次只能检查一个脚本文件");
    else
        parsed.file = files.first();
    return parsed;
}

QString unreadableReason(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("文件不存在");
    if (info.isDir())
        return QStringLiteral("这是文件夹");
    // The limit of a run from a file: a larger file does not run, so it cannot be checked either.
    if (info.size() > maxEditorScriptBytes)
        return QStringLiteral("文件过大(大于%1MB)").arg(maxEditorScriptBytes / (1024 * 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法打开");
    return QString();
}

Outcome run(const QStringList &arguments)
{
    const Arguments parsed = parseArguments(arguments);
    if (!parsed.error.isEmpty())
        return cannotCheck(parsed.error, true);
    const QString reason = unreadableReason(parsed.file);
    if (!reason.isEmpty()) {
        return cannotCheck(
            QStringLiteral("无法读取 %1: %2").arg(QDir::toNativeSeparators(parsed.file), reason),
            false);
    }
    const checker::Report report = checker::checkText(readWholeScriptFile(parsed.file));
    Outcome outcome;
    outcome.exitCode = report.errors > 0 ? HasErrors : NoErrors;
    outcome.out = parsed.json ? checkreport::formatJson(report, parsed.file)
                              : checkreport::formatText(report, parsed.file).toUtf8();
    return outcome;
}

int main(int argc, char *argv[])
{
    initLocalEncoding(); // before the arguments and the script are decoded
    attachParentConsole();
    // No GUI application: a check needs no display, and its arguments come decoded from here
    // (on Windows from the wide command line).
    QCoreApplication application(argc, argv);
    const Outcome outcome = run(QCoreApplication::arguments().mid(1));
    write(1, outcome.out);
    write(2, outcome.err);
    return outcome.exitCode;
}

} // namespace checkcommand
