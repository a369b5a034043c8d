#include "app/editormarks.h"

#include <QMap>
#include <QTextBlock>

namespace {

const QColor kErrorColour(0xd0, 0x00, 0x00);
const QColor kWarningColour(0xe0, 0x80, 0x00);
const QColor kRunningBand(0xdc, 0xee, 0xff);
const QColor kFailedBand(0xff, 0xd4, 0xd4);

// The line's text without its indentation, or the whole block when it has none.
QTextCursor lineText(const QTextBlock &block)
{
    QTextCursor cursor(block);
    const QString text = block.text();
    int start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    if (start == text.size())
        start = 0;
    cursor.setPosition(block.position() + start);
    cursor.setPosition(block.position() + text.size(), QTextCursor::KeepAnchor);
    return cursor;
}

QString coloured(const QColor &colour, const QString &text)
{
    return QStringLiteral("<span style=\"color:%1;\">%2</span>").arg(colour.name(), text);
}

} // namespace

QString problemText(const checker::Problem &problem)
{
    if (problem.line <= 0)
        return problem.message;
    return QStringLiteral("第%1行: %2").arg(problem.line).arg(problem.message);
}

QString checkSummary(int errors, int warnings)
{
    QStringList parts;
    if (errors > 0)
        parts << coloured(kErrorColour, QStringLiteral("%1个错误").arg(errors));
    if (warnings > 0)
        parts << coloured(kWarningColour, QStringLiteral("%1个警告").arg(warnings));
    return parts.join(QLatin1Char(' '));
}

EditorMarks::EditorMarks(QTextEdit *edit)
    : m_edit(edit)
{
}

QTextCharFormat EditorMarks::problemFormat(checker::Severity severity)
{
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    format.setUnderlineColor(severity == checker::Severity::Error ? kErrorColour : kWarningColour);
    return format;
}

QTextCharFormat EditorMarks::runLineFormat(RunLine kind)
{
    QTextCharFormat format;
    format.setBackground(kind == RunLine::Failed ? kFailedBand : kRunningBand);
    format.setProperty(QTextFormat::FullWidthSelection, true);
    return format;
}

void EditorMarks::setProblems(const QVector<LineMark> &marks)
{
    struct Merged
    {
        checker::Severity severity = checker::Severity::Warning;
        QStringList messages;
    };
    QMap<int, Merged> byLine;
    for (const LineMark &mark : marks) {
        Merged &merged = byLine[mark.line];
        if (mark.severity == checker::Severity::Error)
            merged.severity = checker::Severity::Error;
        merged.messages << mark.message;
    }
    m_problems.clear();
    m_messages.clear();
    QTextDocument *document = m_edit->document();
    for (auto it = byLine.cbegin(); it != byLine.cend(); ++it) {
        const QTextBlock block = document->findBlockByNumber(it.key());
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection selection;
        selection.cursor = lineText(block);
        selection.format = problemFormat(it->severity);
        m_problems << selection;
        m_messages << it->messages.join(QLatin1Char('\n'));
    }
    apply();
}

void EditorMarks::setRunLine(int line, RunLine kind)
{
    const QTextBlock block = m_edit->document()->findBlockByNumber(line);
    if (!block.isValid()) {
        clearRunLine();
        return;
    }
    m_runLine.cursor = QTextCursor(block);
    m_runLine.format = runLineFormat(kind);
    m_hasRunLine = true;
    m_runLineKind = kind;
    apply();
}

void EditorMarks::clearRunLine()
{
    if (!m_hasRunLine)
        return;
    m_hasRunLine = false;
    apply();
}

QString EditorMarks::toolTipAt(const QTextBlock &block) const
{
    QStringList tips;
    for (int i = 0; i < m_problems.size(); ++i) {
        // The marks' cursors move with the text, so they still find their lines after edits;
        // one whose line was replaced is left empty and shows nothing.
        const QTextCursor &cursor = m_problems.at(i).cursor;
        if (cursor.hasSelection() && cursor.block() == block)
            tips << m_messages.at(i);
    }
    return tips.join(QLatin1Char('\n'));
}

void EditorMarks::apply()
{
    QList<QTextEdit::ExtraSelection> selections;
    if (m_hasRunLine)
        selections << m_runLine;
    selections << m_problems;
    m_edit->setExtraSelections(selections);
}
