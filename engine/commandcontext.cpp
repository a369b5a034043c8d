// The source rule and the result target rule, shared by every command.
#include "engine/commandcontext.h"

#include "engine/linepatterns.h"

using namespace linepatterns;

bool CommandContext::resolveSource(const ScriptLine &line, QString &arg, bool allowClipboard)
{
    int n = 0;
    if (numberSource(arg, &n)) {
        if (!validIndex(n)) {
            showLineError(line.text);
            return false;
        }
        arg = numberVariable(n);
    } else if (stringSource(arg, &n)) {
        if (!validIndex(n)) {
            showLineError(line.text);
            return false;
        }
        arg = stringVariable(n);
    } else if (allowClipboard && arg == QStringLiteral("[复制]")) {
        arg = readClipboard();
    }
    return true;
}

Delivery CommandContext::deliverResult(
    const ScriptLine &line, const QString &targetText, const QString &result)
{
    int n = 0;
    if (numberTarget(targetText, &n)) {
        if (!validIndex(n)) {
            showLineError(line.text);
            return Delivery::Failed;
        }
        numberVariable(n) = result;
    } else if (stringTarget(targetText, &n)) {
        if (!validIndex(n)) {
            showLineError(line.text);
            return Delivery::Failed;
        }
        stringVariable(n) += result;
    } else if (clipboardTarget(targetText)) {
        setClipboard(result);
    } else {
        return Delivery::NoTarget;
    }
    return Delivery::Delivered;
}
