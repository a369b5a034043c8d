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

// The direction the toolkit finds for a line of its own: that of its first strong character.
Qt::LayoutDirection directionOf(const QString &text)
{
    const QVector<uint> characters = text.toUcs4();
    for (uint c : characters) {
        switch (QChar::direction(c)) {
        case QChar::DirL:
            return Qt::LeftToRight;
        case QChar::DirR:
        case QChar::DirAL:
            return Qt::RightToLeft;
        default:
            break;
        }
    }
    return Qt::LeftToRight;
}

// Margins and indents left out are 0, and the direction given is the one the toolkit would find.
// After every edit the layout reads the format of each line below it, a property at a time, and
// looks for the direction of a line without one in its text: what is set, and how much, decides
// much of the cost of a keystroke in a long script.
QTextBlockFormat blockFormat(
    const QTextDocument *document, int line, int lineCount, const QString &text)
{
    QTextBlockFormat format;
    if (line == 0)
        format.setTopMargin(3);
    if (line == lineCount - 1)
        format.setBottomMargin(2);
    format.setLineHeight(120, QTextBlockFormat::ProportionalHeight);
    if (document->defaultTextOption().textDirection() == Qt::LayoutDirectionAuto)
        format.setLayoutDirection(directionOf(text));
    return format;
}

// A format that does not change must not be set: the layout would start over there.
void setBlockFormatIfChanged(const QTextBlock &block, const QTextBlockFormat &format)
{
    if (block.blockFormat() != format)
        QTextCursor(block).setBlockFormat(format);
}

void setBlockCharFormatIfChanged(const QTextBlock &block)
{
    if (block.charFormat() != baseFormat())
        QTextCursor(block).setBlockCharFormat(baseFormat());
}

void insertLine(QTextCursor &cursor, const DisplayLine &line)
{
    int at = 0;
    for (const editor::StyledSpan &span : line.spans) {
        cursor.insertText(line.text.mid(at, span.length), formatOf(span.style));
        at += span.length;
    }
}

// A block's text as the editor's plain text gives it back.
QString plainOf(const QString &text)
{
    QString plain = text;
    for (QChar &c : plain) {
        switch (c.unicode()) {
        case 0xfdd0: // frame start and end
        case 0xfdd1:
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            c = QLatin1Char('\n');
            break;
        case QChar::Nbsp:
            c = QLatin1Char(' ');
            break;
        default:
            break;
        }
    }
    return plain;
}

// Whether the block shows the line's text in the line's colours.
bool blockShows(const QTextBlock &block, const DisplayLine &line)
{
    if (block.text() != line.text)
        return false;
    int span = 0;
    int left = line.spans.isEmpty() ? 0 : line.spans.first().length;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (span >= line.spans.size()
            || fragment.charFormat() != formatOf(line.spans.at(span).style))
            return false;
        left -= fragment.length();
        if (left < 0)
            return false;
        if (left == 0 && ++span < line.spans.size())
            left = line.spans.at(span).length;
    }
    return true;
}

// Which lines of the colouring the text replaces: those between the lines alike at the front
// and at the back, at least one on either side. No lines when the text is the same.
struct LineReplacement
{
    int first = 0;
    int removed = 0;
    QStringList lines;
};

LineReplacement replacementFor(const editor::ScriptColouring &colouring, const QString &text)
{
    const int oldCount = colouring.lineCount();
    const QStringView all(text);
    int front = 0;
    int frontEnd = 0; // where the first line after them starts
    while (front < oldCount) {
        const QString &line = colouring.lineText(front);
        const int end = frontEnd + line.size();
        if (end > text.size() || all.mid(frontEnd, line.size()) != line)
            break;
        if (front == oldCount - 1 ? end != text.size()
                                  : end >= text.size() || text.at(end) != QLatin1Char('\n'))
            break;
        ++front;
        frontEnd = end + 1;
    }
    if (front == oldCount)
        return {};
    int back = 0;
    int backStart = text.size() + 1; // where the first line of them starts
    while (back < oldCount - front) {
        const QString &line = colouring.lineText(oldCount - 1 - back);
        const int start = backStart - 1 - line.size();
        if (start < frontEnd || start == 0 || text.at(start - 1) != QLatin1Char('\n')
            || all.mid(start, line.size()) != line)
            break;
        ++back;
        backStart = start;
    }
    QStringList lines;
    if (backStart - 1 >= frontEnd)
        lines = text.mid(frontEnd, backStart - 1 - frontEnd).split(QLatin1Char('\n'));
    // At least one line on either side.
    if (front + back == oldCount || lines.isEmpty()) {
        if (front > 0) {
            --front;
            lines.prepend(colouring.lineText(front));
        } else {
            --back;
            lines.append(colouring.lineText(oldCount - 1 - back));
        }
    }
    return {front, oldCount - front - back, lines};
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

    QTextDocument *document = edit->document();
    m_applying = true;
    // Edits not shown yet leave the document's lines unknown: build it anew then.
    if (document != m_document || m_dirtyFrom >= 0
        || document->blockCount() != m_colouring.lineCount()) {
        watch(edit);
        m_colouring.setText(text);
        rebuild(document);
        m_applying = false;
        m_dirtyFrom = m_dirtyTo = -1;
        return;
    }

    // The lines alike at the front and at the back stay.
    const LineReplacement change = replacementFor(m_colouring, text);
    if (change.lines.isEmpty()) {
        m_applying = false;
        return; // the same text
    }
    const int front = change.first;
    const int removed = change.removed;
    const QStringList &lines = change.lines;
    const QVector<int> changed = m_colouring.replaceLines(front, removed, lines);
    replaceBlocks(document, front, removed, lines.size());
    QVector<int> others;
    for (int line : changed) {
        if (line < front || line >= front + lines.size())
            others.append(line);
    }
    rewrite(document, others);
    fixEndMargins(document);
    m_applying = false;
}

bool ScriptDisplay::readPending(QTextDocument *document, Pending *pending) const
{
    if (document != m_document || !m_colouring.isPlain())
        return false;
    pending->lines.clear();
    pending->oldCount = 0;
    if (m_dirtyFrom < 0)
        return true;
    const int end = document->characterCount() - 1;
    const QTextBlock first = document->findBlock(qBound(0, m_dirtyFrom, end));
    const QTextBlock last = document->findBlock(qBound(0, m_dirtyTo, end));
    if (!first.isValid() || !last.isValid())
        return false;
    pending->firstLine = first.blockNumber();
    pending->position = first.position();
    const int newCount = last.blockNumber() - pending->firstLine + 1;
    pending->oldCount = newCount - (document->blockCount() - m_colouring.lineCount());
    if (newCount < 1 || pending->oldCount < 1
        || pending->firstLine + pending->oldCount > m_colouring.lineCount())
        return false;
    for (QTextBlock block = first;; block = block.next()) {
        const QString line = plainOf(block.text());
        if (line.contains(QLatin1Char('\n')))
            return false; // broken inside the block
        pending->lines.append(line);
        if (block == last)
            break;
    }
    return true;
}

bool ScriptDisplay::pendingChange(QTextEdit *edit, Change *change) const
{
    Pending pending;
    if (!readPending(edit->document(), &pending))
        return false;
    *change = Change();
    if (pending.oldCount == 0)
        return true;
    QString before;
    for (int k = pending.firstLine; k < pending.firstLine + pending.oldCount; ++k) {
        if (k > pending.firstLine)
            before += QLatin1Char('\n');
        before += m_colouring.lineText(k);
    }
    const QString after = pending.lines.join(QLatin1Char('\n'));
    const int shorter = qMin(before.size(), after.size());
    int prefix = 0;
    while (prefix < shorter && before.at(prefix) == after.at(prefix))
        ++prefix;
    int suffix = 0;
    while (suffix < shorter - prefix
        && before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    change->at = pending.position + prefix;
    change->removed = before.mid(prefix, before.size() - prefix - suffix);
    change->inserted = after.mid(prefix, after.size() - prefix - suffix);
    return true;
}

void ScriptDisplay::showPendingChange(QTextEdit *edit)
{
    QTextDocument *document = edit->document();
    Pending pending;
    if (!readPending(document, &pending)) {
        show(edit, edit->toPlainText());
        return;
    }
    m_applying = true;
    applyPending(document, pending);
    m_applying = false;
    m_dirtyFrom = m_dirtyTo = -1;
}

void ScriptDisplay::applyPending(QTextDocument *document, const Pending &pending)
{
    if (pending.oldCount == 0)
        return;
    bool sameText = pending.oldCount == pending.lines.size();
    for (int i = 0; sameText && i < pending.lines.size(); ++i)
        sameText = pending.lines.at(i) == m_colouring.lineText(pending.firstLine + i);
    if (sameText) {
        // Only the colours may be lost.
        QVector<int> lines;
        for (int i = 0; i < pending.lines.size(); ++i)
            lines.append(pending.firstLine + i);
        rewrite(document, lines);
    } else {
        rewrite(
            document, m_colouring.replaceLines(pending.firstLine, pending.oldCount, pending.lines));
    }
    fixEndMargins(document);
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
    if (document != m_document || document->blockCount() != m_colouring.lineCount())
        return true;
    if (m_dirtyFrom < 0)
        return false;
    // Changed without a change of text (an input method's composition marks its line): stale
    // only when the colours are no longer those shown.
    const int end = document->characterCount() - 1;
    QTextBlock block = document->findBlock(qBound(0, m_dirtyFrom, end));
    const QTextBlock last = document->findBlock(qBound(0, m_dirtyTo, end));
    for (; block.isValid(); block = block.next()) {
        if (!blockShows(block, m_colouring.displayLine(block.blockNumber())))
            return true;
        if (block == last)
            break;
    }
    return false;
}

void ScriptDisplay::watch(QTextEdit *edit)
{
    QTextDocument *document = edit->document();
    if (document != m_document) {
        QObject::disconnect(m_watch);
        m_watch = QObject::connect(document, &QTextDocument::contentsChange,
            [this](int from, int removed, int added) { noteChange(from, removed, added); });
        m_document = document;
    }
    // Pasted text arrives plain, and the window keeps its own undo history.
    edit->setAcceptRichText(false);
    document->setUndoRedoEnabled(false);
}

void ScriptDisplay::rebuild(QTextDocument *document)
{
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setBlockCharFormat(baseFormat());
    replaceBlocks(document, 0, 1, m_colouring.lineCount());
    cursor.endEditBlock();
}

void ScriptDisplay::replaceBlocks(QTextDocument *document, int first, int removed, int inserted)
{
    const QTextBlock start = document->findBlockByNumber(first);
    const QTextBlock end = removed == 1 ? start : document->findBlockByNumber(first + removed - 1);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setPosition(start.position());
    cursor.setPosition(end.position() + end.length() - 1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    const int count = m_colouring.lineCount();
    for (int line = first; line < first + inserted; ++line) {
        const DisplayLine &shown = m_colouring.displayLine(line);
        const QTextBlockFormat format = blockFormat(document, line, count, shown.text);
        if (line > first) {
            cursor.insertBlock(format, baseFormat());
        } else {
            setBlockFormatIfChanged(cursor.block(), format);
            setBlockCharFormatIfChanged(cursor.block());
        }
        insertLine(cursor, shown);
    }
    cursor.endEditBlock();
}

void ScriptDisplay::rewrite(QTextDocument *document, const QVector<int> &lines)
{
    const int count = m_colouring.lineCount();
    QTextCursor group(document);
    QTextBlock block;
    int previous = -2;
    for (int line : lines) {
        // One edit for each run of neighbouring lines: the layout redoes only that run.
        if (line != previous + 1) {
            if (previous >= 0)
                group.endEditBlock();
            group.beginEditBlock();
            block = document->findBlockByNumber(line);
        } else {
            block = block.next();
        }
        previous = line;
        const DisplayLine &shown = m_colouring.displayLine(line);
        setBlockFormatIfChanged(block, blockFormat(document, line, count, shown.text));
        setBlockCharFormatIfChanged(block);
        if (blockShows(block, shown))
            continue;
        QTextCursor cursor(block);
        if (block.length() > 1) {
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        insertLine(cursor, shown);
    }
    if (previous >= 0)
        group.endEditBlock();
}

void ScriptDisplay::fixEndMargins(QTextDocument *document)
{
    // The first and last line carry the paragraph's margins.
    const int count = m_colouring.lineCount();
    setBlockFormatIfChanged(
        document->firstBlock(), blockFormat(document, 0, count, m_colouring.displayLine(0).text));
    setBlockFormatIfChanged(document->lastBlock(),
        blockFormat(document, count - 1, count, m_colouring.displayLine(count - 1).text));
}
