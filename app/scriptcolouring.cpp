#include "app/colouringparts.h"

#include <QRegularExpression>

#include <utility>

namespace editor {

namespace {

// The state of the colouring where a line starts, as far as the lines before it decide it.
enum ScanState : quint8 {
    kLoopWaitsForArrow = 1, // a loop header has not met its first "-" yet
    kLoopWaitsForBrace = 2, // a loop header had "->" and a digit, its first brace is still to come
    kLoopWaits = kLoopWaitsForArrow | kLoopWaitsForBrace,
    kInBlockComment = 4,
};

const QString kBreak = QStringLiteral("<br/>");

} // namespace

struct ScriptColouring::Line
{
    QString text;
    // The loop bits after the line for each loop bits before it, two bits for each.
    quint8 loopAfter = 0;
    // Whether a block comment is open after the line: bit 0 when none was before, bit 1 when one
    // was.
    quint8 commentAfter = 0;
    quint8 stateBefore = 0; // ScanState bits where the line starts
    bool lineComment = false; // the line ends in a line comment
    // The body of the line is lead + piece, between its "<br/>"s. The lead is the closing tags
    // that end the line comment of the line before, which come after its line feed.
    QString lead;
    QString piece;
    OpenTags tagsBefore; // open where the line's body starts
    DisplayLine display;

    quint8 stateAfter() const
    {
        const quint8 loop = (loopAfter >> (2 * (stateBefore & kLoopWaits))) & kLoopWaits;
        const bool comment = (commentAfter >> ((stateBefore & kInBlockComment) ? 1 : 0)) & 1;
        return loop | (comment ? kInBlockComment : 0);
    }
};

ScriptColouring::ScriptColouring() = default;
ScriptColouring::~ScriptColouring() = default;

int ScriptColouring::lineCount() const
{
    return int(m_lines.size());
}

const QString &ScriptColouring::lineText(int line) const
{
    return m_lines[size_t(line)].text;
}

const DisplayLine &ScriptColouring::displayLine(int line) const
{
    return m_lines[size_t(line)].display;
}

QString ScriptColouring::text() const
{
    QString text;
    for (const Line &line : m_lines) {
        if (&line != &m_lines.front())
            text += QLatin1Char('\n');
        text += line.text;
    }
    return text;
}

void ScriptColouring::setText(const QString &script)
{
    m_lines.clear();
    m_unplainLines = 0;
    const QStringList lines = script.split(QLatin1Char('\n'));
    m_lines.resize(size_t(lines.size()));
    for (int k = 0; k < lines.size(); ++k)
        setLineText(k, lines.at(k));
    scan(0, lineCount());
    quint8 state = 0;
    for (Line &line : m_lines) {
        line.stateBefore = state;
        state = line.stateAfter();
    }
    colour(0, lineCount(), 0, lineCount());
}

QVector<int> ScriptColouring::replaceLines(int first, int removed, const QStringList &lines)
{
    const int inserted = lines.size();
    Q_ASSERT(first >= 0 && removed > 0 && inserted > 0 && first + removed <= lineCount());
    // The tags open where the first line starts come from the lines before it, which stay.
    const OpenTags tagsBefore = m_lines[size_t(first)].tagsBefore;
    for (int k = first; k < first + removed; ++k)
        setLineText(k, QString());
    const auto at = m_lines.begin() + first;
    if (removed > inserted)
        m_lines.erase(at + inserted, at + removed);
    else if (inserted > removed)
        m_lines.insert(at + removed, size_t(inserted - removed), Line());
    for (int k = first; k < first + inserted; ++k) {
        m_lines[size_t(k)] = Line();
        setLineText(k, lines.at(k - first));
    }
    m_lines[size_t(first)].tagsBefore = tagsBefore;
    scan(first, first + inserted);

    // The states where lines start, on until they are again what they were.
    const int count = lineCount();
    quint8 state = first == 0 ? 0 : m_lines[size_t(first - 1)].stateAfter();
    int settled = count;
    for (int k = first; k < count; ++k) {
        Line &line = m_lines[size_t(k)];
        if (k >= first + inserted && line.stateBefore == state) {
            settled = k;
            break;
        }
        line.stateBefore = state;
        state = line.stateAfter();
    }

    // The stretch to colour again: from where no loop header waits, before the change, to
    // where none waits after it and after the changed states.
    int from = first;
    while (from > 0 && (m_lines[size_t(from)].stateBefore & kLoopWaits))
        --from;
    int to = qMax(first + inserted, settled);
    while (to < count && (m_lines[size_t(to)].stateBefore & kLoopWaits))
        ++to;
    return colour(from, to, first, first + inserted);
}

void ScriptColouring::setLineText(int line, const QString &text)
{
    const auto unplain = [](const QString &s) {
        for (const QChar c : s) {
            const ushort u = c.unicode();
            if (u == '\r' || u == QChar::Nbsp || u == 0xfdd0 || u == 0xfdd1)
                return true;
        }
        return false;
    };
    QString &current = m_lines[size_t(line)].text;
    if (unplain(current))
        --m_unplainLines;
    current = text;
    if (unplain(current))
        ++m_unplainLines;
}

void ScriptColouring::scan(int first, int last)
{
    QString text;
    for (int k = first; k < last; ++k) {
        if (k > first)
            text += QLatin1Char('\n');
        text += m_lines[size_t(k)].text;
    }
    // The text as the loop-header steps see it.
    QString html = parts::escaped(text);
    parts::applySteps(html, 0, parts::kLoopStep);
    scanLoops(first, last, html);
    scanComments(first, last, html);
}

void ScriptColouring::scanLoops(int first, int last, const QString &html)
{
    // The loop-header steps' only ties across a line feed: a header's "[^\-]*" runs on to the
    // first "-", which must be "->" and a digit, and its "[^{}]*" then runs on to the first
    // brace.
    static const QRegularExpression events(QStringLiteral("(\\b循环)|(->\\d)|[-{}\\n]"),
        QRegularExpression::UseUnicodePropertiesOption);
    quint8 after[4] = {0, 1, 2, 3};
    int line = first;
    const auto endLine = [&]() {
        Line &done = m_lines[size_t(line++)];
        done.loopAfter = quint8(after[0] | after[1] << 2 | after[2] << 4 | after[3] << 6);
        for (quint8 i = 0; i < 4; ++i)
            after[i] = i;
    };
    for (auto it = events.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QChar c = html.at(match.capturedStart());
        for (quint8 &state : after) {
            if (match.capturedStart(1) >= 0)
                state |= kLoopWaitsForArrow;
            else if (match.capturedStart(2) >= 0 && (state & kLoopWaitsForArrow))
                state = (state & ~kLoopWaitsForArrow) | kLoopWaitsForBrace;
            else if (c == QLatin1Char('-'))
                state &= ~kLoopWaitsForArrow;
            else if (c == QLatin1Char('{') || c == QLatin1Char('}'))
                state &= ~kLoopWaitsForBrace;
        }
        if (c == QLatin1Char('\n'))
            endLine();
    }
    endLine();
    Q_ASSERT(line == last);
    Q_UNUSED(last)
}

void ScriptColouring::scanComments(int first, int last, const QString &html)
{
    // Block comments are found after the line comments, which put a tag before their "//": a
    // "*//" closes no block comment.
    const QString commented = parts::greyLineComments(html);
    static const QString open = QStringLiteral("/*");
    static const QString close = QStringLiteral("*/");
    int line = first;
    int start = 0;
    for (;;) {
        int end = commented.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = commented.size();
        const QStringRef part = commented.midRef(start, end - start);
        m_lines[size_t(line)].lineComment = part.contains(parts::kGreyOpen);
        quint8 bits = 0;
        for (int before = 0; before < 2; ++before) {
            bool inComment = before == 1;
            int from = 0;
            for (;;) {
                const int found = part.indexOf(inComment ? close : open, from);
                if (found < 0)
                    break;
                inComment = !inComment;
                from = found + 2;
            }
            if (inComment)
                bits |= quint8(1 << before);
        }
        m_lines[size_t(line++)].commentAfter = bits;
        if (end == commented.size())
            break;
        start = end + 1;
    }
    Q_ASSERT(line == last);
    Q_UNUSED(last)
}

QVector<int> ScriptColouring::colour(int from, int to, int freshFrom, int freshTo)
{
    const bool leadChanged = cutPieces(from, to);
    return showLines(from, to, leadChanged, freshFrom, freshTo);
}

bool ScriptColouring::cutPieces(int from, int to)
{
    const int count = lineCount();
    // Inside a block comment the stretch goes on with that comment.
    const bool inComment = m_lines[size_t(from)].stateBefore & kInBlockComment;
    QString text = inComment ? QStringLiteral("/*\n") : QString();
    for (int k = from; k < to; ++k) {
        text += m_lines[size_t(k)].text;
        if (k + 1 < count)
            text += QLatin1Char('\n');
    }
    const QString body = colouredBody(text);
    int at = 0;
    const auto nextPart = [&body, &at]() {
        int end = body.indexOf(kBreak, at);
        if (end < 0)
            end = body.size();
        const QStringRef part = body.midRef(at, end - at);
        at = end + kBreak.size();
        return part;
    };
    if (inComment)
        nextPart();
    for (int k = from; k < to; ++k) {
        Line &line = m_lines[size_t(k)];
        line.lead = leadOf(k);
        QStringRef part = nextPart();
        if (k > from) {
            Q_ASSERT(part.startsWith(line.lead));
            part = part.mid(line.lead.size());
        }
        line.piece = part.toString();
    }
    // After the stretch's last line feed comes the next line's lead (or, where a block comment
    // runs on, the end of that comment, which is not the script's).
    if (to >= count)
        return false;
    const QString lead = leadOf(to);
    const bool changed = lead != m_lines[size_t(to)].lead;
    m_lines[size_t(to)].lead = lead;
    return changed;
}

QString ScriptColouring::leadOf(int line) const
{
    // A line comment's closing tags follow its line feed, unless a block comment running on
    // over it strips them.
    return line > 0 && m_lines[size_t(line - 1)].lineComment
            && !(m_lines[size_t(line)].stateBefore & kInBlockComment)
        ? parts::kGreyClose
        : QString();
}

QVector<int> ScriptColouring::showLines(
    int from, int to, bool leadChanged, int freshFrom, int freshTo)
{
    // What the lines show, on while the tags open where a line starts differ from before.
    QVector<int> changed;
    OpenTags tags = m_lines[size_t(from)].tagsBefore;
    for (int k = from; k < lineCount(); ++k) {
        Line &line = m_lines[size_t(k)];
        if ((k > to || (k == to && !leadChanged)) && parts::sameTags(line.tagsBefore, tags))
            break;
        line.tagsBefore = tags;
        QVector<DisplayLine> shown(1);
        parts::readBody(line.lead, tags, shown);
        parts::readBody(line.piece, tags, shown);
        Q_ASSERT(shown.size() == 1);
        if ((k >= freshFrom && k < freshTo) || !(shown.first() == line.display)) {
            line.display = std::move(shown.first());
            changed.append(k);
        }
    }
    return changed;
}

} // namespace editor
