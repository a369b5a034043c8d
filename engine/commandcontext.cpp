// How a line splits into command and argument, the source rule and the result target rule:
// shared by the run, every command and the checker.
#include "engine/commandcontext.h"

#include "engine/linepatterns.h"

#include <QStringList>

using namespace linepatterns;

int splitStatement(const QString &text, ScriptLine *line)
{
    const QStringList parts = text.split(QStringLiteral("->"), Qt::KeepEmptyParts);
    if (parts.size() == 2) {
        line->text = text;
        line->command = parts.at(0).trimmed();
        line->argument = parts.at(1).trimmed();
    }
    return parts.size();
}

Source CommandContext::sourceOf(const QString &arg, bool allowClipboard, int *n)
{
    if (numberSource(arg, n))
        return Source::NumberVariable;
    if (stringSource(arg, n))
        return Source::StringVariable;
    if (allowClipboard && arg == QStringLiteral("[复制]"))
        return Source::Clipboard;
    return Source::AsWritten;
}

bool CommandContext::resolveSource(const ScriptLine &line, QString &arg, bool allowClipboard)
{
    int n = 0;
    const Source source = sourceOf(arg, allowClipboard, &n);
    if (source == Source::AsWritten)
        return true;
    if (source == Source::Clipboard) {
        arg = readClipboard();
        return true;
    }
    if (!validIndex(n)) {
        showLineError(line.text);
        return false;
    }
    arg = source == Source::NumberVariable ? numberVariable(n) : stringVariable(n);
    return true;
}

Target CommandContext::targetOf(const QString &targetText, int *n)
{
    if (numberTarget(targetText, n))
        return Target::NumberVariable;
    if (stringTarget(targetText, n))
        return Target::StringVariable;
    if (clipboardTarget(targetText))
        return Target::Clipboard;
    return Target::None;
}

Delivery CommandContext::deliverResult(
    const ScriptLine &line, const QString &targetText, const QString &result)
{
    int n = 0;
    const Target target = targetOf(targetText, &n);
    switch (target) {
    case Target::None:
        return Delivery::NoTarget;
    case Target::Clipboard:
        setClipboard(result);
        return Delivery::Delivered;
    case Target::NumberVariable:
    case Target::StringVariable:
        break;
    }
    if (!validIndex(n)) {
        showLineError(line.text);
        return Delivery::Failed;
    }
    if (target == Target::NumberVariable)
        numberVariable(n) = result;
    else
        stringVariable(n) += result;
    return Delivery::Delivered;
}
