// Directives that did nothing, for the checker: read beside the preparation, never changing it.
#include "engine/preparation_detail.h"

#include <QRegularExpression>

namespace preparation::detail {

namespace {

// Above this many directives (generated scripts), whether each name is used is not looked up:
// each lookup reads the whole text.
constexpr int maxMacrosLookedUp = 1000;

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
    const QString word = QStringLiteral("#insert");
    for (int at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + word.size())) {
        int end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        const QString path = text.mid(at + word.size(), end - at - word.size());
        // Only "#insert", white space and a path form a directive.
        if (path.isEmpty() || !path.at(0).isSpace() || path.trimmed().isEmpty())
            continue;
        notes.append(note(DirectiveNote::MissingInsert, tags, table, at, path.trimmed()));
    }
}

} // namespace preparation::detail
