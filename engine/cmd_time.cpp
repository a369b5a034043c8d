// Timing and date commands: 延时, 时间, 日期.
#include "engine/commands.h"
#include "engine/linepatterns.h"

#include <QDateTime>
#include <QTime>

using namespace linepatterns;

namespace {

constexpr int kDelaySlice = 10;
constexpr int kClockPoll = 1000;

// A wait goes on while neither the stop request nor the end of the run has cleared a flag.
// The run flag counts too: a stop that came before the wait began has already cleared the
// wait flag, which the command then sets again.
bool mayWait(CommandContext &ctx)
{
    return ctx.waitingFlag() && ctx.running();
}

} // namespace

LineOutcome cmdDelay(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    const int ms = toNumber(arg);
    if (ms < 0) {
        ctx.showLineError(line.text);
        return LineOutcome::Continue;
    }
    ctx.waitingFlag() = true;
    // The elapsed time counts slices, not the clock: the wait is at least as long as asked.
    for (int elapsed = 0; elapsed < ms && mayWait(ctx); elapsed += kDelaySlice)
        ctx.pause(kDelaySlice);
    return LineOutcome::Continue;
}

void checkDelay(LineCheck &check, const ScriptLine &line)
{
    if (check.argumentKnown(line.argument, true) && toNumber(line.argument) < 0)
        check.error(QStringLiteral("延时不能为负数"));
}

namespace {

QString clockArgument(QString arg)
{
    return arg.replace(QChar(0xFF1A), QLatin1Char(':')); // full-width colon
}

// The hour and minute of "h:m"; false when the text has not exactly one colon.
bool clockParts(const QString &arg, int *hour, int *minute)
{
    const QStringList parts = arg.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return false;
    *hour = toNumber(parts.at(0));
    *minute = toNumber(parts.at(1));
    return true;
}

bool clockInRange(int hour, int minute)
{
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

// How the clock is written for the comparison.
const QString kClockFormat = QStringLiteral("hh:mm");

} // namespace

LineOutcome cmdWaitForTime(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg = clockArgument(arg);
    int hour = 0, minute = 0;
    if (!clockParts(arg, &hour, &minute))
        return LineOutcome::Continue;
    if (!clockInRange(hour, minute)) {
        ctx.showLineError(line.text);
        return LineOutcome::Continue;
    }
    // Compared as text: "8:05" is accepted but never matches the clock's "08:05".
    ctx.waitingFlag() = true;
    for (;;) {
        if (QTime::currentTime().toString(kClockFormat) == arg) {
            ctx.waitingFlag() = false;
            break;
        }
        if (!mayWait(ctx))
            break;
        ctx.pause(kClockPoll);
        if (!mayWait(ctx))
            break;
    }
    return LineOutcome::Continue;
}

void checkWaitForTime(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    const QString arg = clockArgument(line.argument);
    int hour = 0, minute = 0;
    if (!clockParts(arg, &hour, &minute)) {
        check.warning(QStringLiteral("时间应写成 时:分，此行不等待"));
    } else if (!clockInRange(hour, minute)) {
        check.error(QStringLiteral("时间超出范围(时0-23，分0-59)"));
    } else if (QTime(hour, minute).toString(kClockFormat) != arg) {
        // Compared as text with the clock: "8:05" never matches "08:05".
        check.warning(QStringLiteral("时间须写成两位数(如 ") + QTime(hour, minute).toString(kClockFormat)
            + QStringLiteral(")，否则永远等不到"));
    }
}

LineOutcome cmdDate(CommandContext &ctx, const ScriptLine &line)
{
    // "ddd" goes before "dd", so the day name is not read as the day number and a "d".
    static const char *const placeholders[] = {"yyyy", "MM", "ddd", "dd", "hh", "mm", "ss"};
    QString text = line.argument;
    for (const char *p : placeholders) {
        const QString placeholder = QLatin1String(p);
        if (text.contains(placeholder))
            text.replace(placeholder, QDateTime::currentDateTime().toString(placeholder));
    }
    ctx.setClipboard(text);
    return LineOutcome::Continue;
}
