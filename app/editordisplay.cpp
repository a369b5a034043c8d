#include "app/editordisplay.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {

using editor::DisplayLine;

// The frame's body font and paragraph.
QTextCharFormat baseFormat()
{
    QTextCharFormat format;
    format.setFontFamily(QStringLiteral("Arial"));
    format.setFontPointSize(10);
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    return format;
}

QTextCharFormat formatOf(const editor::TextStyle &style)
{
    QTextCharFormat format = baseFormat();
    if (style.coloured)
        format.setForeground(QColor(style.colour));
    if (style.bold)
        format.setFontWeight(QFont::Bold);
    return format;
}

QTextBlockFormat blockFormat(int line, int lineCount)
{
    QTextBlockFormat format;
    format.setTopMargin(line == 0 ? 3 : 0);
    format.setBottomMargin(line == lineCount - 1 ? 2 : 0);
    format.setLeftMargin(0);
    format.setRightMargin(0);
    format.setIndent(0);
    format.setTextIndent(0);
    format.setLineHeight(120, QTextBlockFormat::ProportionalHeight);
    return format;
}

// A block format that does not change must not be set: the layout would start over there.
void setBlockFormatIfChanged(const QTextBlock &block, const QTextBlockFormat &format)
{
    if (block.blockFormat() != format)
        QTextCursor(block).setBlockFormat(format);
}

void insertLine(QTextCursor &cursor, const DisplayLine &line)
{
    int at = 0;
    for (const editor::StyledSpan &span : line.spans) {
        cursor.insertText(line.text.mid(at, span.length), formatOf(span.style));
        at += span.length;
    }
}

// Inserts lines first … last - 1 at the cursor, each after the first in a block of its own.
void insertLines(
    QTextCursor &cursor, const QVector<DisplayLine> &lines, int first, int last, bool breakBefore)
{
    if (breakBefore)
        setBlockFormatIfChanged(cursor.block(), blockFormat(first - 1, lines.size()));
    for (int i = first; i < last; ++i) {
        if (i > first || breakBefore) {
            cursor.insertBlock(blockFormat(i, lines.size()), baseFormat());
        } else {
            setBlockFormatIfChanged(cursor.block(), blockFormat(i, lines.size()));
            if (cursor.blockCharFormat() != baseFormat())
                cursor.setBlockCharFormat(baseFormat());
        }
        insertLine(cursor, lines.at(i));
    }
}

// Start positions of the lines of a plain text, and its length as the last entry.
QVector<int> lineStarts(const QString &plain)
{
    QVector<int> starts {0};
    for (int i = 0; i < plain.size(); ++i) {
        if (plain.at(i) == QLatin1Char('\n'))
            starts.append(i + 1);
    }
    starts.append(plain.size() + 1);
    return starts;
}

} // namespace

ScriptDisplay::~ScriptDisplay()
{
    QObject::disconnect(m_watch);
}

void ScriptDisplay::show(QTextEdit *edit, const QString &script)
{
    // Separators read back as line feeds: colour them as such.
    QString text = script;
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    const QVector<DisplayLine> lines = editor::displayLines(editor::colouredBody(text));

    QTextDocument *document = edit->document();
    const QString shown = document->toPlainText();
    m_applying = true;
    // Lines broken inside a block (Shift+Enter) cannot be patched line by line.
    if (document != m_document || document->blockCount() != shown.count(QLatin1Char('\n')) + 1) {
        if (document != m_document) {
            QObject::disconnect(m_watch);
            m_watch = QObject::connect(document, &QTextDocument::contentsChange,
                [this](int from, int removed, int added) { noteChange(from, removed, added); });
            m_document = document;
        }
        // Pasted text arrives plain, and the window keeps its own undo history.
        edit->setAcceptRichText(false);
        document->setUndoRedoEnabled(false);
        rebuild(document, lines);
    } else {
        patch(document, shown, lines);
    }
    m_applying = false;
    m_lines = lines;
    m_dirtyFrom = m_dirtyTo = -1;
}

void ScriptDisplay::noteChange(int from, int removed, int added)
{
    if (m_applying)
        return;
    if (m_dirtyFrom < 0) {
        m_dirtyFrom = from;
        m_dirtyTo = from + added;
        return;
    }
    // Both in the document's positions after this change.
    if (m_dirtyTo >= from + removed)
        m_dirtyTo += added - removed;
    m_dirtyTo = qMax(m_dirtyTo, from + added);
    m_dirtyFrom = qMin(m_dirtyFrom, from);
}

bool ScriptDisplay::isStale(QTextEdit *edit) const
{
    QTextDocument *document = edit->document();
    if (document != m_document || document->blockCount() != m_lines.size())
        return true;
    if (m_dirtyFrom < 0)
        return false;
    // Changed without a change of text (an input method's composition marks its line): stale
    // only when the colours are no longer those shown.
    QTextBlock block = document->findBlock(m_dirtyFrom);
    const QTextBlock last = document->findBlock(m_dirtyTo);
    for (int line = block.blockNumber(); block.isValid(); block = block.next(), ++line) {
        const DisplayLine &expected = m_lines.at(line);
        if (block.text() != expected.text)
            return true;
        int span = 0;
        int left = expected.spans.isEmpty() ? 0 : expected.spans.first().length;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (span >= expected.spans.size()
                || fragment.charFormat() != formatOf(expected.spans.at(span).style))
                return true;
            left -= fragment.length();
            if (left < 0)
                return true;
            if (left == 0 && ++span < expected.spans.size())
                left = expected.spans.at(span).length;
        }
        if (block == last)
            break;
    }
    return false;
}

void ScriptDisplay::rebuild(QTextDocument *document, const QVector<DisplayLine> &lines)
{
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setBlockCharFormat(baseFormat());
    insertLines(cursor, lines, 0, lines.size(), false);
    cursor.endEditBlock();
}

void ScriptDisplay::patch(
    QTextDocument *document, const QString &plain, const QVector<DisplayLine> &lines)
{
    const QVector<int> starts = lineStarts(plain); // of the document as it is now
    const int docLines = starts.size() - 1;
    const int oldLines = m_lines.size();
    const int newLines = lines.size();

    // Lines nothing has touched since the last showing: before and after the changed stretch.
    int keepFront = docLines;
    int keepBack = docLines;
    if (m_dirtyFrom >= 0) {
        keepFront = plain.leftRef(qMin(m_dirtyFrom, plain.size())).count(QLatin1Char('\n'));
        keepBack
            = docLines - 1 - plain.leftRef(qMin(m_dirtyTo, plain.size())).count(QLatin1Char('\n'));
    }

    // Of those, the ones that also keep their text and colours.
    const int limit = qMin(qMin(oldLines, newLines), docLines);
    int front = 0;
    while (front < qMin(keepFront, limit) && m_lines.at(front) == lines.at(front))
        ++front;
    int back = 0;
    while (back < qMin(keepBack, limit - front)
        && m_lines.at(oldLines - 1 - back) == lines.at(newLines - 1 - back))
        ++back;
    const int removeCount = docLines - front - back;
    const int insertCount = newLines - front - back;
    if (removeCount == 0 && insertCount == 0)
        return;

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (removeCount > 0 && insertCount > 0) {
        // Replace the text of lines front … from the start of the first to the end of the last.
        cursor.setPosition(starts.at(front));
        cursor.setPosition(starts.at(front + removeCount) - 1, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        insertLines(cursor, lines, front, front + insertCount, false);
    } else if (removeCount > 0) {
        // Lines gone: take one line break with them.
        if (front > 0) {
            cursor.setPosition(starts.at(front) - 1);
            cursor.setPosition(starts.at(front + removeCount) - 1, QTextCursor::KeepAnchor);
        } else {
            cursor.setPosition(0);
            cursor.setPosition(starts.at(removeCount), QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
    } else if (front > 0) {
        // New lines after line front - 1.
        cursor.setPosition(starts.at(front) - 1);
        insertLines(cursor, lines, front, front + insertCount, true);
    } else {
        // New lines at the very beginning, before the kept ones.
        cursor.setPosition(0);
        insertLines(cursor, lines, 0, insertCount, false);
        cursor.insertBlock(blockFormat(insertCount, newLines), baseFormat());
    }
    // The first and last line carry the paragraph's margins.
    setBlockFormatIfChanged(document->firstBlock(), blockFormat(0, newLines));
    setBlockFormatIfChanged(document->lastBlock(), blockFormat(newLines - 1, newLines));
    cursor.endEditBlock();
}
