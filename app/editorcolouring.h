#pragma once

#include <QRgb>
#include <QString>
#include <QVector>

// The editor's syntax colouring: plain script text in, the HTML the editor shows out.
// Pure text functions, so the colours can be checked without a window.
namespace editor {

// The frame around the coloured text: one paragraph of 10 pt Arial, line height 120 %.
QString documentHeader();
QString documentTrailer();

// Escaping, the colour table, grey comments and "<br/>" line breaks, without the frame.
QString colouredBody(const QString &script);

// What the editor is given: header, coloured body, trailer.
QString colouredDocument(const QString &script);

// What the body shows, line by line: the text with the style of each stretch, as the rich-text
// reader of the toolkit takes the body's tags (innermost colour wins, a closing tag closes the
// nearest open tag of its name and is ignored without one, "&lt;", "&nbsp;", "&amp;", and CR
// dropped). The editor is built from these lines, which lets it change only the lines that
// differ after a keystroke instead of reading the whole document again.
struct TextStyle
{
    bool coloured = false;
    QRgb colour = 0;
    bool bold = false;
    bool operator==(const TextStyle &other) const
    {
        return coloured == other.coloured && colour == other.colour && bold == other.bold;
    }
};

struct StyledSpan
{
    int length;
    TextStyle style;
    bool operator==(const StyledSpan &other) const
    {
        return length == other.length && style == other.style;
    }
};

struct DisplayLine
{
    QString text;
    QVector<StyledSpan> spans; // their lengths add up to text's
    bool operator==(const DisplayLine &other) const
    {
        return text == other.text && spans == other.spans;
    }
};

QVector<DisplayLine> displayLines(const QString &body);

} // namespace editor
