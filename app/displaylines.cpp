#include "app/colouringparts.h"

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

// A character reference of the body ("&lt;", "&nbsp;", "&amp;", "&#n;") at the start of rest:
// the character it stands for and its length, or a length of 0 when it is none.
QChar entityAt(QStringView rest, int *length)
{
    *length = 0;
    if (rest.startsWith(QLatin1String("&lt;"))) {
        *length = 4;
        return QLatin1Char('<');
    }
    if (rest.startsWith(QLatin1String("&nbsp;"))) {
        *length = 6;
        return QChar::Nbsp;
    }
    if (rest.startsWith(QLatin1String("&amp;"))) {
        *length = 5;
        return QLatin1Char('&');
    }
    if (rest.startsWith(QLatin1String("&#"))) {
        const int end = int(rest.indexOf(QLatin1Char(';')));
        bool ok = false;
        const uint code = end > 2 ? rest.mid(2, end - 2).toString().toUInt(&ok) : 0;
        if (ok && code <= 0xffff) {
            *length = end + 1;
            return QChar(ushort(code));
        }
    }
    return QChar();
}

// What one tag (without its angle brackets) does to the open tags and the lines.
void readTag(QStringView tag, OpenTags &tags, QVector<DisplayLine> &lines)
{
    if (tag == QLatin1String("br/"))
        lines.append(DisplayLine());
    else if (tag == QLatin1String("b"))
        tags = opened(tags, true, {false, 0, true});
    else if (tag == QLatin1String("/b"))
        tags = closedNearest(tags, true);
    else if (tag == QLatin1String("/span"))
        tags = closedNearest(tags, false);
    else if (tag.startsWith(QLatin1String("span")))
        tags = opened(tags, false, spanStyle(tag));
}

} // namespace

namespace parts {

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
            readTag(body.mid(i + 1, end - i - 1), tags, lines);
            style = styleOf(tags);
            i = end + 1;
        } else if (c == QLatin1Char('&')) {
            int length = 0;
            const QChar entity = entityAt(body.mid(i), &length);
            append(length > 0 ? entity : c);
            i += qMax(length, 1);
        } else {
            if (c != QLatin1Char('\r'))
                append(c);
            ++i;
        }
    }
}

} // namespace parts

QVector<DisplayLine> displayLines(const QString &body)
{
    QVector<DisplayLine> lines(1);
    OpenTags tags;
    parts::readBody(body, tags, lines);
    return lines;
}

} // namespace editor
