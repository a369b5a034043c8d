#pragma once

#include "app/editorcolouring.h"

// The line-by-line colouring held against the colouring of the whole text.
namespace colouringcheck {

// What the colouring of the whole text shows, line by line.
inline QVector<editor::DisplayLine> wholeText(const QString &text)
{
    return editor::displayLines(editor::colouredBody(text));
}

inline QVector<editor::DisplayLine> shownLines(const editor::ScriptColouring &colouring)
{
    QVector<editor::DisplayLine> lines;
    for (int k = 0; k < colouring.lineCount(); ++k)
        lines.append(colouring.displayLine(k));
    return lines;
}

// Replaces removed characters at position at of text by inserted, and tells the colouring so as
// the editor's display does: the lines the edit touched, before and after it. Returns the lines
// the colouring reports as changed.
inline QVector<int> edit(
    editor::ScriptColouring &colouring, QString &text, int at, int removed, const QString &inserted)
{
    const int first = text.leftRef(at).count(QLatin1Char('\n'));
    const int last = text.leftRef(at + removed).count(QLatin1Char('\n'));
    text.replace(at, removed, inserted);
    const int newLast = text.leftRef(at + inserted.size()).count(QLatin1Char('\n'));
    const QStringList lines = text.split(QLatin1Char('\n')).mid(first, newLast - first + 1);
    return colouring.replaceLines(first, last - first + 1, lines);
}

} // namespace colouringcheck
