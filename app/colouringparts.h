#pragma once

#include "app/editorcolouring.h"

#include <QStringView>

// What the line-by-line colouring shares with the colouring of a whole text and with the
// reading of its body. Not for use outside the colouring.
namespace editor::parts {

// The colour-table steps before this one match within a line; the two loop-header steps from
// here on are the only ones whose matches can run over line feeds.
constexpr int kLoopStep = 11;

// The script as body text: "&", "<", blanks and lone halves of surrogate pairs escaped.
QString escaped(const QString &script);
// Applies colour-table steps from … to - 1 to the body text.
void applySteps(QString &html, int from, int to);
// Greys "//" to the end of its line, line feed included; "://" (an address) is no comment.
QString greyLineComments(const QString &text);

inline const QString kGreyOpen = QStringLiteral("<span><span style='color:#808080;'>");
inline const QString kGreyClose = QStringLiteral("</span></span>");

// Whether two sets of open tags are alike for all that follows: the same kinds of tag, showing
// the same styles.
bool sameTags(const OpenTags &a, const OpenTags &b);
// Reads body text from the given open tags on, appending to the last of lines; "<br/>" starts
// a new line.
void readBody(QStringView body, OpenTags &tags, QVector<DisplayLine> &lines);

} // namespace editor::parts
