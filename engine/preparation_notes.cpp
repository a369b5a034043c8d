// Directives that did nothing, for the checker: read beside the preparation, never changing it.
#include "engine/preparation_detail.h"

#include <QRegularExpression>

namespace preparation::detail {

namespace {

// Looking up whether each directive's name is used reads the whole text once per name; past
// this many characters read (generated scripts with thousands of directives), names are no
// longer looked up.
constexpr qint64 maxMacroLookupChars = 32 * 1024 * 1024;
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

struct Directive
{
    int start = 0; // of "#define"
    int end = 0; // after its line feed
    QString name;
};

// The directive "\s?#define\s+(\S+)\s+[^\n]+\n" at `at`, read as the pattern matcher reads it
// (the longest white space before the value that still leaves a value and its line feed). A
// plain scan: a pattern match would check the whole text again for every directive.
bool directiveAt(const QString &t, int at, int lastLineFeed, Directive *d)
{
    const int n = t.size();
    int p = at;
    if (p < n && isBlank(t.at(p)))
        ++p;
    static const QString word = QStringLiteral("#define");
    if (t.midRef(p, word.size()) != word)
        return false;
    d->start = p;
    p += word.size();
    int q = p;
    while (q < n && isBlank(t.at(q)))
        ++q;
    const int nameStart = q;
    while (q < n && !isBlank(t.at(q)))
        ++q;
    if (nameStart == p || q == nameStart)
        return false;
    d->name = t.mid(nameStart, q - nameStart);
    int e = q;
    while (e < n && isBlank(t.at(e)))
        ++e;
    for (int k = e; k > q; --k) {
        if (k < lastLineFeed && t.at(k) != QLatin1Char('\n')) {
            d->end = t.indexOf(QLatin1Char('\n'), k) + 1;
            return true;
        }
    }
    return false;
}

} // namespace

void noteMacros(
    const QString &text, const Tags &tags, const OriginTable &table, QVector<DirectiveNote> &notes)
{
    // The directives at the start, one after the other.
    const int lastLineFeed = text.lastIndexOf(QLatin1Char('\n'));
    qint64 lookupsLeft = maxMacroLookupChars;
    int at = 0;
    Directive d;
    while (directiveAt(text, at, lastLineFeed, &d)) {
        lookupsLeft -= text.size();
        if (lookupsLeft >= 0 && !usedOutside(text, d.name, d.start, d.end))
            notes.append(note(DirectiveNote::UnusedMacro, tags, table, d.start, d.name));
        at = d.end;
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
