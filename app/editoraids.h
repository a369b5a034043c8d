#pragma once

#include <QString>

// The editing aids of the script editor as text functions: keyword completion, comment-out
// and auto-indent. The editor slots only read and write the widget around them.
namespace editor {

// Whether "->" completes a command word just typed before position cursor of text: the three
// characters before the cursor, trimmed, are exactly a command word (or a numbered variable
// or loop), the two after it are not already "->", and the last one typed is no blank.
bool completesArrow(const QString &text, int cursor);

// The replacement of a selection by Ctrl+/: "//" in front of a single line, "/*" and "*/" on
// lines of their own around several.
QString commentedOut(const QString &selection);

// The text indented by Ctrl+I: four spaces per open "{" block, every line ended by CR LF.
// Null when the text has fewer than two lines (nothing changes).
QString autoIndented(const QString &text);

} // namespace editor
