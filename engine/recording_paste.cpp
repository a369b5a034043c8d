// Typed text as 粘贴 lines that paste it back exactly.
#include "engine/linepatterns.h"
#include "engine/recording_detail.h"

namespace recording {

namespace {

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028)
        || c == QChar(0x2029);
}

// Whether a piece must end between s[i] and s[i + 1] because the two together mean something
// to the preparation or the line split: "//", "/*", "*/", "->", and "#" before anything (the
// spellings "#:", "#：", "#[", "#]" and the directives "#insert", "#define"). Both characters
// are never white space, so no piece begins or ends with any.
bool mustCutAfter(const QString &s, int i)
{
    const QChar c = s.at(i);
    const QChar next = s.at(i + 1);
    if (c == QLatin1Char('/'))
        return next == QLatin1Char('/') || next == QLatin1Char('*');
    if (c == QLatin1Char('*'))
        return next == QLatin1Char('/');
    if (c == QLatin1Char('-'))
        return next == QLatin1Char('>');
    if (c == QLatin1Char('#'))
        return !next.isSpace();
    return false;
}

// Whether the whole argument of 粘贴 would be replaced at run time: a variable at its end,
// the clipboard, or a count that grows with the pass ("5>>", "a>>").
bool readAsAnotherForm(const QString &piece)
{
    return linepatterns::stringSource(piece, nullptr) || linepatterns::numberSource(piece, nullptr)
        || piece == QStringLiteral("[复制]") || linepatterns::countForm(piece, nullptr)
        || linepatterns::charForm(piece, nullptr);
}

// Text without white space at either end and without line breaks, as pieces that each paste
// themselves. Each of those forms ends in a character that is harmless alone ("]" or ">"), and
// what stays before it is none of them.
QStringList safePieces(const QString &text)
{
    QStringList pieces;
    int start = 0;
    const auto take = [&](int end) {
        const QString piece = text.mid(start, end - start);
        if (readAsAnotherForm(piece))
            pieces << piece.chopped(1) << piece.right(1);
        else
            pieces << piece;
        start = end;
    };
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (mustCutAfter(text, i))
            take(i + 1);
    }
    take(text.size());
    return pieces;
}

// 键盘 lines for white space that trimming would drop; runs of one key as a count.
QStringList blankKeys(const QString &blanks)
{
    QStringList lines;
    for (int i = 0; i < blanks.size();) {
        const QChar c = blanks.at(i);
        int n = 1;
        while (i + n < blanks.size() && blanks.at(i + n) == c)
            ++n;
        QString key;
        if (c == QLatin1Char(' '))
            key = QStringLiteral("Space");
        else if (c == QLatin1Char('\t'))
            key = QStringLiteral("Tab");
        if (key.isEmpty()) {
            const QString code = QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            for (int k = 0; k < n; ++k)
                lines << detail::commentLine(
                    QStringLiteral("粘贴无法输入首尾的空白字符 ") + code.toUpper());
        } else {
            lines << QStringLiteral("键盘->") + key
                    + (n > 1 ? QStringLiteral("*%1").arg(n) : QString());
        }
        i += n;
    }
    return lines;
}

// One line of the text (no line break in it).
QStringList lineOfText(const QString &text)
{
    int from = 0;
    int to = text.size();
    while (from < to && text.at(from).isSpace())
        ++from;
    while (to > from && text.at(to - 1).isSpace())
        --to;
    QStringList lines = blankKeys(text.left(from));
    if (from < to) {
        for (const QString &piece : safePieces(text.mid(from, to - from)))
            lines << QStringLiteral("粘贴->") + piece;
    }
    lines << blankKeys(text.mid(to));
    return lines;
}

} // namespace

QStringList pasteLines(const QString &text)
{
    QStringList lines;
    int start = 0;
    for (int i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text.at(i)))
            continue;
        lines << lineOfText(text.mid(start, i - start));
        if (i == text.size())
            break;
        lines << QStringLiteral("键盘->Enter");
        // CR LF is one line break.
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size()
            && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    return lines;
}

} // namespace recording
