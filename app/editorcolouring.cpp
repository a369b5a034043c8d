#include "app/editorcolouring.h"

#include <QRegularExpression>
#include <QVector>

#include <utility>

namespace editor {

namespace {

struct ColourStep
{
    QRegularExpression pattern;
    QString replacement;
};

QString wrapped(const char *style)
{
    return QStringLiteral("<span><span style='%1'>\\1</span></span>").arg(QLatin1String(style));
}

// The colour table, in the order it is applied: later patterns see the spans of earlier ones.
// Word boundaries and \d must know Chinese letters, so the patterns use Unicode properties.
const QVector<ColourStep> &colourSteps()
{
    static const QVector<ColourStep> steps = [] {
        const auto rx = [](const char *pattern) {
            QRegularExpression re(
                QString::fromUtf8(pattern), QRegularExpression::UseUnicodePropertiesOption);
            re.optimize();
            return re;
        };
        const QString darkRed = wrapped("color:#aa0000;");
        const QString darkGreen = wrapped("color:#007700;");
        const QString green = wrapped("color:#00AA00;");
        const QString orange = wrapped("color:#FF5500;");
        const QString blue = wrapped("color:#0055ff;");
        return QVector<ColourStep> {
            {rx("(_[^\\s]*_)"), wrapped("color:#00aa00;")},
            {rx("((\\b文件夹->)|(\\b按下->)|(\\b抬起->)|(\\b截图->)|(\\b串\\d+->)|(\\b图片->)|"
                "(\\b刷新->)|(\\b日期->)|(\\b文件->)|(\\b改名->)|(\\b存csv->)|(\\b查csv->)|"
                "(\\b串串->)|(\\b跳到->)|(\\b跳减->)|(\\b跳加->)|(\\b复制->)|(\\b鼠标->)|"
                "(\\b延时->)|(\\b键盘->)|(\\b粘贴->)|(\\b时间->)|(\\b打开->)|(\\b关机->)|"
                "(\\bcmd->))"),
                darkRed},
            {rx("(\\b识别->)"), wrapped("color:#e90000;")},
            {rx("(\\b变\\d+->)"), darkGreen},
            {rx("(\\[变\\d+\\])"), darkGreen},
            {rx("(\\(变\\d+\\))"), darkGreen},
            {rx("(\\b串\\d+->)"), green},
            {rx("(\\[串\\d+\\])"), green},
            {rx("(\\(串\\d+\\))"), green},
            {rx("(\\b执行->\\d*)"),
                QStringLiteral("<span><span style='color:#FF0000;'><b>\\1</b></span></span>")},
            {rx("(\\b截止->)"), wrapped("font-weight:600;")},
            {rx("(\\b循环[^\\-]*->\\d+[^{}]*\\n[{])"), orange},
            {rx("(\\b循环[^\\-]*->\\d+[^{}]*\\n[}])"), orange},
            {rx("(\\b已复制->)"), blue},
            {rx("(\\b对比->)"), blue},
            {rx("(\\belse)"), blue},
            {rx("(#define)"), wrapped("color:#aa557f;")},
            {rx("(#insert)"), wrapped("color:#aaaa00;")},
        };
    }();
    return steps;
}

// The steps before this one match within a line; the two loop-header steps from here on are the
// only ones whose matches can run over line feeds.
constexpr int kLoopStep = 11;

QString escaped(const QString &script)
{
    QString html = script;
    // "&" first: without it a typed "&lt;" would come back from the editor as "<".
    html.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    html.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    html.replace(QLatin1Char(' '), QLatin1String("&nbsp;"));
    // A half of a surrogate pair on its own makes the whole text invalid to the pattern matcher,
    // which then colours nothing at all; as a character reference it colours like any other
    // mark, and only where it stands.
    for (int i = 0; i < html.size(); ++i) {
        const QChar c = html.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < html.size() && html.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const QString reference = QStringLiteral("&#%1;").arg(c.unicode());
        html.replace(i, 1, reference);
        i += reference.size() - 1;
    }
    return html;
}

void applySteps(QString &html, int from, int to)
{
    const QVector<ColourStep> &steps = colourSteps();
    for (int i = from; i < to; ++i)
        html.replace(steps.at(i).pattern, steps.at(i).replacement);
}

const QString kGreyOpen = QStringLiteral("<span><span style='color:#808080;'>");
const QString kGreyClose = QStringLiteral("</span></span>");

// A comment shows in grey only: the colour spans inside it are dropped (opening tags of the
// form "<span...>" and every "</span>").
void appendWithoutSpans(QString &out, const QString &text, int from, int to)
{
    static const QString open = QStringLiteral("<span");
    static const QString close = QStringLiteral("</span>");
    int i = from;
    while (i < to) {
        const int tag = text.indexOf(QLatin1Char('<'), i);
        if (tag < 0 || tag >= to) {
            out += text.midRef(i, to - i);
            return;
        }
        out += text.midRef(i, tag - i);
        const QStringRef rest = text.midRef(tag, to - tag);
        if (rest.startsWith(close)) {
            i = tag + close.size();
        } else if (rest.startsWith(open)) {
            const int end = text.indexOf(QLatin1Char('>'), tag);
            if (end < 0 || end >= to) {
                out += rest;
                return;
            }
            i = end + 1;
        } else {
            out += QLatin1Char('<');
            i = tag + 1;
        }
    }
}

void appendGrey(QString &out, const QString &text, int from, int to)
{
    out += kGreyOpen;
    appendWithoutSpans(out, text, from, to);
    out += kGreyClose;
}

// "//" to the end of its line, line feed included; "://" (an address) is no comment.
QString greyLineComments(const QString &text)
{
    static const QString start = QStringLiteral("//");
    QString out;
    out.reserve(text.size() + text.size() / 4);
    int copied = 0;
    int from = 0;
    for (;;) {
        const int f = text.indexOf(start, from);
        if (f < 0)
            break;
        if (f > 0 && text.at(f - 1) == QLatin1Char(':')) {
            from = f + 2;
            continue;
        }
        const int lineFeed = text.indexOf(QLatin1Char('\n'), f);
        const int end = lineFeed < 0 ? text.size() : lineFeed + 1;
        out += text.midRef(copied, f - copied);
        appendGrey(out, text, f, end);
        copied = from = end;
    }
    out += text.midRef(copied);
    return out;
}

// "/*" to the end of the next "*/", or to the end of the text.
QString greyBlockComments(const QString &text)
{
    static const QString start = QStringLiteral("/*");
    static const QString stop = QStringLiteral("*/");
    QString out;
    out.reserve(text.size() + text.size() / 4);
    int copied = 0;
    for (;;) {
        const int f = text.indexOf(start, copied);
        if (f < 0)
            break;
        const int close = text.indexOf(stop, f + 2);
        const int end = close < 0 ? text.size() : close + 2;
        out += text.midRef(copied, f - copied);
        appendGrey(out, text, f, end);
        copied = end;
    }
    out += text.midRef(copied);
    return out;
}

} // namespace

QString documentHeader()
{
    return QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" "
        "\"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">"
        "p, li { white-space: pre-wrap; line-height:120%; }</style></head>"
        "<body style=\" font-family:'Arial'; font-size:10pt; font-weight:400; "
        "font-style:normal;\">"
        "<p style=\" margin-top:3px; margin-bottom:2px; margin-left:0px; margin-right:0px; "
        "-qt-block-indent:0; text-indent:0px;\">");
}

QString documentTrailer()
{
    return QStringLiteral("</p></body></html>");
}

QString colouredBody(const QString &script)
{
    QString html = escaped(script);
    applySteps(html, 0, colourSteps().size());
    html = greyBlockComments(greyLineComments(html));
    html.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return html;
}

QString colouredDocument(const QString &script)
{
    return documentHeader() + colouredBody(script) + documentTrailer();
}

} // namespace editor

namespace editor {

struct OpenTagNode
{
    bool isBold; // <b>, else <span>
    TextStyle style; // of the text inside: this tag and those below it together
    int depth;
    mutable OpenTags below;

    ~OpenTagNode()
    {
        // Released one by one: a long chain would otherwise take a stack frame per tag.
        OpenTags next = std::move(below);
        while (next && next.use_count() == 1) {
            OpenTags after = std::move(next->below);
            next.reset();
            next = std::move(after);
        }
    }
};

namespace {

TextStyle styleOf(const OpenTags &tags)
{
    return tags ? tags->style : TextStyle();
}

OpenTags opened(const OpenTags &below, bool isBold, const TextStyle &set)
{
    // The innermost colour wins; bold from any level.
    TextStyle style = styleOf(below);
    if (set.coloured) {
        style.coloured = true;
        style.colour = set.colour;
    }
    style.bold = style.bold || set.bold;
    return std::make_shared<const OpenTagNode>(
        OpenTagNode {isBold, style, below ? below->depth + 1 : 1, below});
}

// A closing tag closes the nearest open tag of its name, and with it those opened inside.
OpenTags closedNearest(const OpenTags &tags, bool bold)
{
    for (const OpenTagNode *node = tags.get(); node; node = node->below.get()) {
        if (node->isBold == bold)
            return node->below;
    }
    return tags;
}

// Alike for all that follows: the same kinds of tag, showing the same styles.
bool sameTags(const OpenTags &a, const OpenTags &b)
{
    const OpenTagNode *x = a.get();
    const OpenTagNode *y = b.get();
    if ((x ? x->depth : 0) != (y ? y->depth : 0))
        return false;
    for (; x != y; x = x->below.get(), y = y->below.get()) {
        if (x->isBold != y->isBold || !(x->style == y->style))
            return false;
    }
    return true;
}

// The style a <span style='...'> of the colour table sets.
TextStyle spanStyle(QStringView tag)
{
    TextStyle style;
    const int colour = tag.indexOf(QLatin1String("color:#"));
    if (colour >= 0 && tag.size() >= colour + 13) {
        bool ok = false;
        const uint rgb = tag.mid(colour + 7, 6).toString().toUInt(&ok, 16);
        if (ok) {
            style.coloured = true;
            style.colour = qRgb(int(rgb >> 16) & 0xff, int(rgb >> 8) & 0xff, int(rgb) & 0xff);
        }
    }
    if (tag.indexOf(QLatin1String("font-weight:600")) >= 0)
        style.bold = true;
    return style;
}

// Reads body text from the given open tags on, appending to the last of lines; "<br/>" starts
// a new line.
void readBody(QStringView body, OpenTags &tags, QVector<DisplayLine> &lines)
{
    TextStyle style = styleOf(tags);
    const auto append = [&lines, &style](QChar c) {
        DisplayLine &line = lines.last();
        line.text += c;
        if (!line.spans.isEmpty() && line.spans.last().style == style)
            ++line.spans.last().length;
        else
            line.spans.append({1, style});
    };

    const int size = int(body.size());
    int i = 0;
    while (i < size) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('<')) {
            const int end = int(body.indexOf(QLatin1Char('>'), i));
            if (end < 0)
                break;
            const QStringView tag = body.mid(i + 1, end - i - 1);
            if (tag == QLatin1String("br/")) {
                lines.append(DisplayLine());
            } else if (tag == QLatin1String("b")) {
                tags = opened(tags, true, {false, 0, true});
            } else if (tag == QLatin1String("/b")) {
                tags = closedNearest(tags, true);
            } else if (tag == QLatin1String("/span")) {
                tags = closedNearest(tags, false);
            } else if (tag.startsWith(QLatin1String("span"))) {
                tags = opened(tags, false, spanStyle(tag));
            }
            style = styleOf(tags);
            i = end + 1;
        } else if (c == QLatin1Char('&')) {
            const QStringView rest = body.mid(i);
            if (rest.startsWith(QLatin1String("&lt;"))) {
                append(QLatin1Char('<'));
                i += 4;
            } else if (rest.startsWith(QLatin1String("&nbsp;"))) {
                append(QChar::Nbsp);
                i += 6;
            } else if (rest.startsWith(QLatin1String("&amp;"))) {
                append(QLatin1Char('&'));
                i += 5;
            } else if (rest.startsWith(QLatin1String("&#"))) {
                const int end = int(rest.indexOf(QLatin1Char(';')));
                bool ok = false;
                const uint code = end > 2 ? rest.mid(2, end - 2).toString().toUInt(&ok) : 0;
                if (ok && code <= 0xffff) {
                    append(QChar(ushort(code)));
                    i += end + 1;
                } else {
                    append(c);
                    ++i;
                }
            } else {
                append(c);
                ++i;
            }
        } else {
            if (c != QLatin1Char('\r'))
                append(c);
            ++i;
        }
    }
}

// The state of the colouring where a line starts, as far as the lines before it decide it.
enum ScanState : quint8 {
    kLoopWaitsForArrow = 1, // a loop header has not met its first "-" yet
    kLoopWaitsForBrace = 2, // a loop header had "->" and a digit, its first brace is still to come
    kLoopWaits = kLoopWaitsForArrow | kLoopWaitsForBrace,
    kInBlockComment = 4,
};

const QString kBreak = QStringLiteral("<br/>");

} // namespace

QVector<DisplayLine> displayLines(const QString &body)
{
    QVector<DisplayLine> lines(1);
    OpenTags tags;
    readBody(body, tags, lines);
    return lines;
}

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
    // The text as the loop-header steps see it. Their only ties across a line feed: a header's
    // "[^\-]*" runs on to the first "-", which must be "->" and a digit, and its "[^{}]*" then
    // runs on to the first brace.
    QString html = escaped(text);
    applySteps(html, 0, kLoopStep);
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

    // Block comments are found after the line comments, which put a tag before their "//": a
    // "*//" closes no block comment.
    const QString commented = greyLineComments(html);
    static const QString open = QStringLiteral("/*");
    static const QString close = QStringLiteral("*/");
    line = first;
    int start = 0;
    for (;;) {
        int end = commented.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = commented.size();
        const QStringRef part = commented.midRef(start, end - start);
        m_lines[size_t(line)].lineComment = part.contains(kGreyOpen);
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
}

QVector<int> ScriptColouring::colour(int from, int to, int freshFrom, int freshTo)
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
    // A line comment's closing tags follow its line feed, unless a block comment running on
    // over it strips them.
    const auto leadOf = [this](int line) {
        return line > 0 && m_lines[size_t(line - 1)].lineComment
                && !(m_lines[size_t(line)].stateBefore & kInBlockComment)
            ? kGreyClose
            : QString();
    };
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
    bool leadChanged = false;
    if (to < count) {
        const QString lead = leadOf(to);
        leadChanged = lead != m_lines[size_t(to)].lead;
        m_lines[size_t(to)].lead = lead;
    }

    // What the lines show, on while the tags open where a line starts differ from before.
    QVector<int> changed;
    OpenTags tags = m_lines[size_t(from)].tagsBefore;
    for (int k = from; k < count; ++k) {
        Line &line = m_lines[size_t(k)];
        if ((k > to || (k == to && !leadChanged)) && sameTags(line.tagsBefore, tags))
            break;
        line.tagsBefore = tags;
        QVector<DisplayLine> shown(1);
        readBody(line.lead, tags, shown);
        readBody(line.piece, tags, shown);
        Q_ASSERT(shown.size() == 1);
        if ((k >= freshFrom && k < freshTo) || !(shown.first() == line.display)) {
            line.display = std::move(shown.first());
            changed.append(k);
        }
    }
    return changed;
}

} // namespace editor
