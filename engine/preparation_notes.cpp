// Directives that did nothing, for the checker: read beside the preparation, never changing it.
#include "engine/preparation_detail.h"

#include <QRegularExpression>

namespace preparation::detail {

namespace {

// Above this many directives (generated scripts), whether each name is used is not looked up:
// each lookup reads the whole text.
constexpr int maxMacrosLookedUp = 1000;
// No one reads more notes on missing files than this.
constexpr int maxInsertNotes = 1000;

DirectiveNote note(DirectiveNote::Kind kind, const Tags &tags, const OriginTable &table, int at,
    const QString &name)
{
    DirectiveNote n;
    n.kind = kind;
    n.origin = table.origin(tags.empty() ? 0 : tags[size_t(at)]);
    n.origin.rewritten = false;
    n.name = name;
    return n;
}

// Whether name occurs in the text outside [from, to).
bool usedOutside(const QString &text, const QString &name, int from, int to)
{
    const int before = text.leftRef(from).indexOf(name);
    return before >= 0 || text.indexOf(name, to) >= 0;
}

} // namespace

void noteMacros(
    const QString &text, const Tags &tags, const OriginTable &table, QVector<DirectiveNote> &notes)
{
    // The directives at the start, one after the other, each optionally after one blank.
    static const QRegularExpression directive(
        QStringLiteral("\\s?(#define\\s+(\\S+)\\s+[^\\n]+\\n)"));
    int at = 0;
    int count = 0;
    for (;;) {
        const QRegularExpressionMatch m
            = directive.match(text, at, QRegularExpression::NormalMatch,
                QRegularExpression::AnchoredMatchOption);
        if (!m.hasMatch())
            break;
        const int start = m.capturedStart(1);
        if (++count <= maxMacrosLookedUp
            && !usedOutside(text, m.captured(2), start, m.capturedEnd(1)))
            notes.append(note(DirectiveNote::UnusedMacro, tags, table, start, m.captured(2)));
        at = m.capturedEnd(1);
    }
    // Any later line that begins with #define is no directive.
    static const QRegularExpression later(
        QStringLiteral("^[ \\t]*#define\\b[ \\t]*(\\S*)"), QRegularExpression::MultilineOption);
    QRegularExpressionMatchIterator it = later.globalMatch(text, at);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        notes.append(
            note(DirectiveNote::MisplacedMacro, tags, table, m.capturedStart(), m.captured(1)));
    }
}

void noteInserts(
    const QString &text, const Tags &tags, const OriginTable &table, QVector<DirectiveNote> &notes)
{
    // A text that inserts itself is left full of directives at the budget's end: one note per
    // line is enough, and a path longer than any file's is cut.
    const QString word = QStringLiteral("#insert");
    int lineEnd = -1;
    int notesLeft = maxInsertNotes;
    for (int at = text.indexOf(word); at >= 0 && notesLeft > 0;
         at = text.indexOf(word, qMax(at + word.size(), lineEnd))) {
        lineEnd = text.indexOf(QLatin1Char('\n'), at);
        if (lineEnd < 0)
            lineEnd = text.size();
        const int from = at + word.size();
        // Only "#insert", white space and a path form a directive.
        if (from >= lineEnd || !text.at(from).isSpace())
            continue;
        const QString path = text.mid(from, qMin(lineEnd - from, maxInsertPathChars)).trimmed();
        if (path.isEmpty())
            continue;
        notes.append(note(DirectiveNote::MissingInsert, tags, table, at, path));
        --notesLeft;
    }
}

} // namespace preparation::detail
