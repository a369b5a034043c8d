// CSV commands: 存csv appends a record, 查csv looks the cell after a key up. Both use the same
// routines as the window's quick record and lookup tools.
#include "csv/csvfile.h"
#include "engine/commands.h"
#include "engine/linepatterns.h"
#include "platform/pathpattern.h"

#include <QDir>
#include <QRegularExpression>

namespace {

const QRegularExpression &recordFilePattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\A\\[(")
            + pathpattern::absolutePathStart()
            + QStringLiteral(".+\\.csv)\\]\\[((复制)|(串\\d+))\\]\\z"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

const QRegularExpression &lookupPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\A(.+)\\[(")
            + pathpattern::absolutePathStart()
            + QStringLiteral(".+\\.csv)\\][\\(（]((复制)|(串\\d+))[\\)）]\\z"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// The failure texts follow the line after a blank.
void reportFailure(
    CommandContext &ctx, const ScriptLine &line, csv::Operation operation, csv::Status status)
{
    ctx.showLineError(line.text + QLatin1Char(' ') + csv::failureText(operation, status));
}

} // namespace

LineOutcome cmdSaveCsv(CommandContext &ctx, const ScriptLine &line)
{
    const QString &arg = line.argument;
    const QRegularExpressionMatch withFile = recordFilePattern().match(arg);
    // Without a file of its own the record goes where the window's record tool writes.
    const QString path
        = withFile.hasMatch() ? QDir::toNativeSeparators(withFile.captured(1)) : csv::recordPath();

    QString record;
    int n = 0;
    if (arg.endsWith(QStringLiteral("[复制]"))) {
        record = ctx.readClipboard();
    } else if (linepatterns::stringSource(arg, &n)) {
        if (!CommandContext::validIndex(n)) {
            ctx.showLineError(line.text);
            return LineOutcome::EndRun;
        }
        record = ctx.stringVariable(n);
    } else {
        ctx.pause(50);
        return LineOutcome::Continue;
    }

    const csv::Status status = csv::appendCsvRecord(path, record);
    if (status != csv::Status::Ok) {
        reportFailure(ctx, line, csv::Operation::Record, status);
        return LineOutcome::EndRun;
    }
    ctx.pause(50);
    return LineOutcome::Continue;
}

void checkSaveCsv(LineCheck &check, const ScriptLine &line)
{
    const QString &arg = line.argument;
    int n = 0;
    if (arg.endsWith(QStringLiteral("[复制]")))
        return;
    if (!linepatterns::stringSource(arg, &n))
        check.warning(QStringLiteral("存csv须以[复制]或[串n]结尾，此行不记录"));
    else if (!CommandContext::validIndex(n))
        check.error(indexRangeMessage());
}

void checkLookupCsv(LineCheck &check, const ScriptLine &line)
{
    const QRegularExpressionMatch m = lookupPattern().match(line.argument);
    if (!m.hasMatch())
        check.warning(QStringLiteral("查csv格式应为 关键字[路径.csv](复制) 或 (串n)，结果为空"));
    else if (!check.fileExists(QDir::toNativeSeparators(m.captured(2))))
        check.warning(QStringLiteral("CSV文件不存在，运行到此行时结束"));
    check.target(line.argument);
}

LineOutcome cmdLookupCsv(CommandContext &ctx, const ScriptLine &line)
{
    QString value;
    const QRegularExpressionMatch m = lookupPattern().match(line.argument);
    if (m.hasMatch()) {
        const QString key = m.captured(1);
        const QString path = QDir::toNativeSeparators(m.captured(2));
        const csv::Lookup found = csv::lookupCsvNextCell(path, key);
        switch (found.status) {
        case csv::Status::Ok:
            value = found.value;
            break;
        case csv::Status::CannotOpen:
            // No message: the run simply ends (its end steps still run).
            return LineOutcome::EndRun;
        default:
            reportFailure(ctx, line, csv::Operation::Lookup, found.status);
            return LineOutcome::EndRun;
        }
    }

    // (变n) replaces, (串n) appends; anything else, (复制) included, goes to the clipboard.
    const Delivery delivery = ctx.deliverResult(line, line.argument, value);
    if (delivery == Delivery::Failed)
        return LineOutcome::EndRun;
    if (delivery == Delivery::NoTarget)
        ctx.setClipboard(value);
    ctx.pause(50);
    return LineOutcome::Continue;
}
