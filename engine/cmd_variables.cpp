// Variable and clipboard commands: 串n (appends), 变n (replaces), 复制.
#include "engine/commands.h"
#include "engine/linepatterns.h"

using namespace linepatterns;

namespace {

// N>> and c>> count up with the passes of the whole-script repetition. true when arg was one
// of them.
bool applyPassCount(CommandContext &ctx, QString &arg)
{
    qint64 number = 0;
    QChar c;
    if (countForm(arg, &number))
        arg = QString::number(number + ctx.passOffset());
    else if (charForm(arg, &c))
        arg = QString(QChar(char16_t(c.unicode() + ctx.passOffset())));
    else
        return false;
    return true;
}

// "N++" adds N to the variable's number; anything else stays as it is.
void applyIncrement(QString &arg, const QString &current)
{
    if (!arg.endsWith(QLatin1String("++")) || arg.size() <= 2)
        return;
    const QString digits = arg.left(arg.size() - 2);
    for (QChar d : digits) {
        if (!d.isDigit())
            return;
    }
    arg = QString::number(qint64(toNumber(current)) + toNumber(digits));
}

bool isWord(const QString &arg, const char *word)
{
    return arg.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

} // namespace

LineOutcome cmdCopy(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    int n = 0;
    if (numberSource(arg, &n) || stringSource(arg, &n)) {
        if (!ctx.resolveSource(line, arg, false))
            return LineOutcome::EndRun;
    } else if (arg == QStringLiteral("(清空)")) {
        arg.clear();
    }
    ctx.setClipboard(arg);
    return LineOutcome::Continue;
}

void checkCopy(LineCheck &check, const ScriptLine &line)
{
    check.argumentKnown(line.argument, false);
}

void checkVariableCommand(LineCheck &check, const ScriptLine &line)
{
    int n = 0;
    if (!stringCommand(line.command, &n))
        numberCommand(line.command, &n);
    if (!CommandContext::validIndex(n))
        check.error(indexRangeMessage());
}

LineOutcome cmdStringVariable(CommandContext &ctx, const ScriptLine &line)
{
    int n = 0;
    stringCommand(line.command, &n);
    if (!CommandContext::validIndex(n)) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    QString arg = line.argument;
    applyPassCount(ctx, arg);
    QString &var = ctx.stringVariable(n);
    if (arg == QStringLiteral("[复制]"))
        var += ctx.readClipboard();
    else if (arg == QStringLiteral("(清空)"))
        var.clear();
    else if (isWord(arg, "[enter]"))
        var += QStringLiteral("\r\n");
    else if (isWord(arg, "[space]"))
        var += QLatin1Char(' ');
    else
        var += arg;
    return LineOutcome::Continue;
}

LineOutcome cmdNumberVariable(CommandContext &ctx, const ScriptLine &line)
{
    int n = 0;
    numberCommand(line.command, &n);
    if (!CommandContext::validIndex(n)) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    QString &var = ctx.numberVariable(n);
    QString arg = line.argument;
    if (!applyPassCount(ctx, arg))
        applyIncrement(arg, var);

    if (arg == QStringLiteral("[复制]"))
        var = ctx.readClipboard();
    else if (arg == QStringLiteral("(清空)"))
        var.clear();
    else if (isWord(arg, "[enter]"))
        var = QStringLiteral("\r\n");
    else if (isWord(arg, "[space]"))
        var = QStringLiteral(" ");
    else
        var = arg;
    return LineOutcome::Continue;
}
