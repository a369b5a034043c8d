#pragma once

#include <QRgb>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

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
// nearest open tag of its name and is ignored without one, "&lt;", "&nbsp;", "&amp;", "&#n;"
// for a lone half of a surrogate pair, and CR dropped). The editor is built from these lines, which lets it change only the lines that
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

// The tags the rich-text reader holds open at a point of the body (shared, never changed).
struct OpenTagNode;
using OpenTags = std::shared_ptr<const OpenTagNode>;

// The colouring of a script kept line by line, so that an edit re-colours only the lines it can
// affect. Its lines are always those of displayLines(colouredBody(text)).
//
// The colour table is applied to stretches of whole lines. A stretch starts only where no loop
// header before it is still waiting for its arrow or its brace: the table's only matches that
// can run over a line feed are those of loop headers, so none crosses the edge. Where a block
// comment runs on over the edge, the stretch is coloured as the rest of that comment. Line
// comments end with their line. What is left open at the edge is the reader's open tags, which
// each line keeps. An edit re-colours the stretch around it and goes on only as far as the state
// at the start of a line (waiting loop header, open block comment, open tags) differs from
// before.
class ScriptColouring
{
public:
    ScriptColouring();
    ~ScriptColouring();
    ScriptColouring(const ScriptColouring &) = delete;
    ScriptColouring &operator=(const ScriptColouring &) = delete;

    // Starts over with a whole script.
    void setText(const QString &script);
    // Lines first … first + removed - 1 become the given ones (at least one, no line feed in
    // them). Returns, in ascending order, the lines that show differently now: the new ones and
    // those whose colours the change reaches.
    QVector<int> replaceLines(int first, int removed, const QStringList &lines);

    int lineCount() const;
    const QString &lineText(int line) const;
    const DisplayLine &displayLine(int line) const;
    // The script: the lines joined by line feeds.
    QString text() const;
    // Whether every line is as the editor's plain text gives it back: no carriage return (the
    // editor does not show it), no non-breaking space (it reads back as a blank) and no frame
    // mark (it breaks the line).
    bool isPlain() const { return m_unplainLines == 0; }

private:
    struct Line;

    void setLineText(int line, const QString &text);
    // The loop and block-comment state changes of lines first … last - 1.
    void scan(int first, int last);
    void scanLoops(int first, int last, const QString &html);
    void scanComments(int first, int last, const QString &html);
    // Colours lines from … to - 1 again, which start and end where no loop header waits, and
    // what they show; returns the lines that show differently or are among the fresh ones.
    QVector<int> colour(int from, int to, int freshFrom, int freshTo);
    // The body pieces of those lines; whether the lead of the line after them changed.
    bool cutPieces(int from, int to);
    // The closing tags that come first in a line's body.
    QString leadOf(int line) const;
    QVector<int> showLines(int from, int to, bool leadChanged, int freshFrom, int freshTo);

    int m_unplainLines = 0;
    std::vector<Line> m_lines;
};

} // namespace editor
