#include "engine/linecheck.h"

QString indexRangeMessage()
{
    return QStringLiteral("串n与变n的范围是1-100");
}

LineCheck::LineCheck(const QStringList &lines, int index, const FileExists &fileExists)
    : m_lines(lines)
    , m_index(index)
    , m_fileExists(fileExists)
{
}

void LineCheck::error(const QString &message)
{
    m_findings.append({true, message});
}

void LineCheck::warning(const QString &message)
{
    m_findings.append({false, message});
}

bool LineCheck::argumentKnown(const QString &arg, bool allowClipboard)
{
    int n = 0;
    const Source source = CommandContext::sourceOf(arg, allowClipboard, &n);
    if (source == Source::AsWritten)
        return true;
    if (source != Source::Clipboard && !CommandContext::validIndex(n))
        error(indexRangeMessage());
    return false;
}

Target LineCheck::target(const QString &targetText, bool always)
{
    int n = 0;
    const Target target = CommandContext::targetOf(targetText, &n);
    const bool variable = target == Target::NumberVariable || target == Target::StringVariable;
    if (variable && !CommandContext::validIndex(n)) {
        if (always)
            error(indexRangeMessage());
        else
            warning(QStringLiteral("找到时会出错：") + indexRangeMessage());
    }
    return target;
}

bool LineCheck::fileExists(const QString &path) const
{
    return m_fileExists(path);
}
