// Control-flow commands: 执行, 截止, 已复制, 循环…, 刷新 and the jumps 跳到, 跳加, 跳减.
#include "engine/commands.h"
#include "engine/linepatterns.h"

using namespace linepatterns;

namespace {

const QString kBraceOpen = QStringLiteral("{");
const QString kBraceClose = QStringLiteral("}");

// Jumps. The run increases the index after every line, so a jump to index t sets t - 1; a
// target outside the list ends the pass.
void jumpToIndex(CommandContext &ctx, qint64 target)
{
    const int size = ctx.listSize();
    ctx.setCurrentIndex((target >= 0 && target < size) ? int(target) - 1 : size - 1);
}

// Line n (1-based); line 0 ends the run.
void jumpToLine(CommandContext &ctx, int n)
{
    if (n == 0) {
        ctx.stopRun();
        return;
    }
    jumpToIndex(ctx, qint64(n) - 1);
}

// A jump target outside the list ends the pass: say so where it can be told before the run.
void checkTarget(LineCheck &check, qint64 target)
{
    if (target < 0 || target >= check.listSize())
        check.warning(QStringLiteral("跳转目标超出脚本(共") + QString::number(check.listSize())
            + QStringLiteral("行)，运行到此处结束本轮"));
}

} // namespace

void checkSourceOnly(LineCheck &check, const ScriptLine &line)
{
    check.argumentKnown(line.argument, true);
}

void checkLineJump(LineCheck &check, const ScriptLine &line)
{
    const int n = toNumber(line.argument);
    if (n != 0)
        checkTarget(check, qint64(n) - 1);
}

void checkJumpForward(LineCheck &check, const ScriptLine &line)
{
    const qint64 target = qint64(check.index()) + toNumber(line.argument);
    if (target != -1)
        checkTarget(check, target);
}

void checkJumpBack(LineCheck &check, const ScriptLine &line)
{
    const qint64 target = qint64(check.index()) - toNumber(line.argument);
    if (target != -1)
        checkTarget(check, target);
}

void checkClipboardCondition(LineCheck &check, const ScriptLine &line)
{
    check.argumentKnown(line.argument, false);
}

LineOutcome cmdRepeat(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    ctx.startRepetition(toNumber(arg));
    return LineOutcome::Continue;
}

LineOutcome cmdStop(CommandContext &ctx, const ScriptLine &)
{
    ctx.setCurrentIndex(ctx.listSize());
    return LineOutcome::Continue;
}

LineOutcome cmdClipboardCondition(CommandContext &ctx, const ScriptLine &line)
{
    const QString clipboard = ctx.readClipboard().trimmed();
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, false))
        return LineOutcome::EndRun;
    ctx.applyBlockRule(clipboard == arg);
    return LineOutcome::Continue;
}

// The same line opens the loop (when a "{" follows) and closes it (when a "}" follows); at
// the close, another round resumes after the nearest line above that begins the same way.
LineOutcome cmdLoop(CommandContext &ctx, const ScriptLine &line)
{
    const int index = ctx.currentIndex();
    if (index >= ctx.listSize() - 1)
        return LineOutcome::Continue;
    const QString next = ctx.entryAt(index + 1).trimmed();
    const QString &name = line.command;
    if (next == kBraceOpen) {
        ctx.enterLoop(name, toNumber(line.argument));
    } else if (next == kBraceClose && ctx.loopAgain(name)) {
        const QString head = name + QStringLiteral("->");
        for (int s = index - 1; s >= 0; --s) {
            if (ctx.entryAt(s).startsWith(head)) {
                ctx.setCurrentIndex(s + 1);
                break;
            }
        }
    }
    return LineOutcome::Continue;
}

LineOutcome cmdRefresh(CommandContext &ctx, const ScriptLine &line)
{
    ctx.requestRefresh();
    jumpToLine(ctx, toNumber(line.argument));
    ctx.pause(200);
    return LineOutcome::Continue;
}

LineOutcome cmdJumpTo(CommandContext &ctx, const ScriptLine &line)
{
    jumpToLine(ctx, toNumber(line.argument));
    return LineOutcome::Continue;
}

LineOutcome cmdJumpForward(CommandContext &ctx, const ScriptLine &line)
{
    const qint64 target = qint64(ctx.currentIndex()) + toNumber(line.argument);
    if (target == -1)
        ctx.stopRun();
    else
        jumpToIndex(ctx, target);
    return LineOutcome::Continue;
}

LineOutcome cmdJumpBack(CommandContext &ctx, const ScriptLine &line)
{
    const qint64 target = qint64(ctx.currentIndex()) - toNumber(line.argument);
    if (target == -1) {
        ctx.stopRun();
        ctx.setCurrentIndex(ctx.listSize() - 1);
    } else {
        jumpToIndex(ctx, target);
    }
    return LineOutcome::Continue;
}
