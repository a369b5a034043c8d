#include "engine/preparation.h"
#include "engine/preparation_detail.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace preparation {

using detail::appendTags;
using detail::hashText;
using detail::PrefixHash;
using detail::Tags;

namespace {

// Block comments. Each round takes the first "/*" up to the first "*/" after it and removes
// every occurrence of that piece. Everything before the first "/*" never changes again, so the
// text is consumed from the left. Another occurrence of the piece starts at a "/*" whose own
// piece (up to its first "*/") is the same text, so the pieces of all "/*" are indexed by hash
// and a round costs the length of its piece, not of the text.
//
// With tags, every piece of text written or kept takes its characters' tags along.
//
// An occurrence further on is removed in place (marked dead) when its removal changes nothing
// else: no "/*" before it still waits for its "*/", and its neighbours do not join into a new
// "/*". Otherwise (comments copied inside other comments, or glued to "/" and "*") the plain
// algorithm goes on, a search of the rest per round, until it has searched some multiple of
// what is left; then the rest is indexed anew. The multiple doubles at every switch, so text
// that keeps needing the plain rounds soon stays with them.
class CommentRemover
{
public:
    CommentRemover(const QString &text, const Tags *tags)
        : m_track(tags != nullptr)
    {
        load(text, tags ? *tags : Tags());
    }
    QString run();
    Tags &outTags() { return m_outTags; }

private:
    void load(const QString &text, Tags tags);
    void writeOut(const QString &from, const Tags &tags, int at, int n)
    {
        m_out.append(from.midRef(at, n));
        appendTags(m_outTags, tags, at, n);
    }
    void chopOut()
    {
        m_out.chop(1);
        if (m_track)
            m_outTags.pop_back();
    }
    bool indexedPass(QString *rest, Tags *restTags);
    bool plainPass(QString *rest, Tags *restTags);
    QString pieceAcrossOut(int i, int *end) const;
    std::vector<int> laterCopies(const QString &piece, int end) const;
    bool removeInPlace(const std::vector<int> &copies, int length, int end);
    QString restAfter(int end, Tags *restTags) const;
    int pieceEnd(int open) const;
    QChar leftOf(int q, int scanned) const;
    QChar rightOf(int end) const;
    bool covered(int q, int scanned) const;
    void markDead(int from, int to);

    bool m_track;
    QString m_text;
    Tags m_tags;
    int m_n;
    QString m_out;
    Tags m_outTags;
    qint64 m_plainFactor = 2;
    std::vector<int> m_opens; // every "/*" position, ascending
    std::vector<int> m_closes; // every "*/" position, ascending
    PrefixHash m_hash;
    std::unordered_map<quint64, std::vector<int>> m_byPiece; // piece hash -> "/*" positions
    std::vector<char> m_dead;
    std::vector<int> m_deadEnd; // at the first position of a dead run: one past its end
    std::vector<int> m_deadStart; // at one past the end of a dead run: its first position
};

void CommentRemover::load(const QString &text, Tags tags)
{
    m_text = text;
    m_tags = std::move(tags);
    m_n = text.size();
    m_opens.clear();
    m_closes.clear();
    m_byPiece.clear();
    for (int p = m_text.indexOf(QLatin1String("/*")); p >= 0;
         p = m_text.indexOf(QLatin1String("/*"), p + 1))
        m_opens.push_back(p);
    m_dead.assign(size_t(m_n) + 1, 0);
    m_deadEnd.assign(size_t(m_n) + 1, 0);
    m_deadStart.assign(size_t(m_n) + 1, 0);
    if (m_opens.empty())
        return; // the last character written may still open a comment with the first one
    for (int p = m_text.indexOf(QLatin1String("*/")); p >= 0;
         p = m_text.indexOf(QLatin1String("*/"), p + 1))
        m_closes.push_back(p);
    m_hash.assign(m_text);
    m_byPiece.reserve(m_opens.size());
    for (int open : m_opens) {
        const int end = pieceEnd(open);
        m_byPiece[m_hash.range(open, end - open)].push_back(open);
    }
}

// One past the first "*/" at or after the "/*" at open; the end of the text when there is none.
int CommentRemover::pieceEnd(int open) const
{
    const auto it = std::lower_bound(m_closes.begin(), m_closes.end(), open);
    return it == m_closes.end() ? m_n : *it + 2;
}

// The character the text will have before q once q is removed (dead runs skipped); before the
// part already scanned it is the last character written out.
QChar CommentRemover::leftOf(int q, int scanned) const
{
    int p = q - 1;
    if (p >= 0 && m_dead[size_t(p)])
        p = m_deadStart[size_t(p) + 1] - 1;
    if (p < scanned)
        return m_out.isEmpty() ? QChar() : m_out.back();
    return m_text.at(p);
}

QChar CommentRemover::rightOf(int end) const
{
    int p = end;
    if (p < m_n && m_dead[size_t(p)])
        p = m_deadEnd[size_t(p)];
    return p < m_n ? m_text.at(p) : QChar();
}

// Whether a "/*" before q still waits for a "*/" that q's removal would change. Those before
// scanned (the end of the piece removed this round) go with that piece.
bool CommentRemover::covered(int q, int scanned) const
{
    const auto close = std::upper_bound(m_closes.begin(), m_closes.end(), q - 2);
    const int after = close == m_closes.begin() ? -1 : *(close - 1);
    const auto open
        = std::lower_bound(m_opens.begin(), m_opens.end(), std::max(after + 1, scanned));
    return open != m_opens.end() && *open < q;
}

void CommentRemover::markDead(int from, int to)
{
    std::fill(m_dead.begin() + from, m_dead.begin() + to, char(1));
    int start = from;
    int end = to;
    if (start > 0 && m_dead[size_t(start) - 1])
        start = m_deadStart[size_t(start)];
    if (end < m_n && m_dead[size_t(end)])
        end = m_deadEnd[size_t(end)];
    m_deadEnd[size_t(start)] = end;
    m_deadStart[size_t(end)] = start;
}

// The plain algorithm on rest, appended to the text written so far. True when it got to the
// end; false when it stopped to have the rest (left in *rest) indexed again.
bool CommentRemover::plainPass(QString *remaining, Tags *remainingTags)
{
    QString &rest = *remaining;
    Tags &restTags = *remainingTags;
    int i = 0;
    qint64 searched = 0;
    for (;;) {
        if (searched > m_plainFactor * (rest.size() - i) + 4096) {
            rest = rest.mid(i);
            if (m_track)
                restTags.erase(restTags.begin(), restTags.begin() + i);
            return false;
        }
        int start; // of the piece in rest, or -1 when it begins with the last character out
        if (!m_out.isEmpty() && m_out.back() == QLatin1Char('/') && i < rest.size()
            && rest.at(i) == QLatin1Char('*')) {
            chopOut();
            start = -1;
        } else {
            const int open = rest.indexOf(QLatin1String("/*"), i);
            if (open < 0)
                break;
            writeOut(rest, restTags, i, open - i);
            start = open;
            i = open + 1; // the "*/" may share the "*" of the "/*"
        }
        const int close = rest.indexOf(QLatin1String("*/"), i);
        const int end = close < 0 ? rest.size() : close + 2;
        const QString piece
            = start < 0 ? QLatin1Char('/') + rest.mid(i, end - i) : rest.mid(start, end - start);
        // remove() of every later copy, as one scan from the first copy on.
        int copy = rest.indexOf(piece, end);
        searched += (copy < 0 ? rest.size() : copy) - end;
        if (copy < 0) {
            i = end;
            continue;
        }
        QString after;
        Tags afterTags;
        after.reserve(rest.size() - end);
        int from = end;
        while (copy >= 0) {
            after.append(rest.midRef(from, copy - from));
            appendTags(afterTags, restTags, from, copy - from);
            from = copy + piece.size();
            copy = rest.indexOf(piece, from);
        }
        after.append(rest.midRef(from));
        appendTags(afterTags, restTags, from, rest.size() - from);
        searched += rest.size() - end;
        rest = after;
        restTags.swap(afterTags);
        i = 0;
    }
    writeOut(rest, restTags, i, rest.size() - i);
    return true;
}

QString CommentRemover::run()
{
    QString rest;
    Tags restTags;
    while (!indexedPass(&rest, &restTags) && !plainPass(&rest, &restTags)) {
        load(rest, std::move(restTags));
        restTags.clear();
        m_plainFactor = std::min<qint64>(m_plainFactor * 2, 1 << 20);
    }
    return m_out;
}

// The piece that starts with the last character written ("/") and the next one ("*"), read
// over the text as it now stands, dead runs skipped. *end is where it stops in m_text.
QString CommentRemover::pieceAcrossOut(int i, int *end) const
{
    QString piece = QStringLiteral("/");
    int p = i;
    while (p < m_n) {
        if (m_dead[size_t(p)]) {
            p = m_deadEnd[size_t(p)];
            continue;
        }
        piece.append(m_text.at(p++));
        if (piece.size() >= 3 && piece.endsWith(QLatin1String("*/")))
            break;
    }
    *end = p;
    return piece;
}

// Every other occurrence of the piece from end on, left to right without overlap: each starts
// at a "/*" further on whose piece is the same text.
std::vector<int> CommentRemover::laterCopies(const QString &piece, int end) const
{
    std::vector<int> taken;
    const auto found = m_byPiece.find(hashText(piece.constData(), piece.size()));
    if (found == m_byPiece.end())
        return taken;
    const std::vector<int> &list = found->second;
    int from = end;
    for (auto it = std::lower_bound(list.begin(), list.end(), end); it != list.end(); ++it) {
        const int q = *it;
        if (q < from || m_dead[size_t(q)] || q + piece.size() > m_n
            || m_text.midRef(q, piece.size()) != piece)
            continue;
        taken.push_back(q);
        from = q + piece.size();
    }
    return taken;
}

// Marks the copies dead while removing each changes nothing else; false at the first one
// whose removal would (those before it are dead by then).
bool CommentRemover::removeInPlace(const std::vector<int> &copies, int length, int end)
{
    for (int q : copies) {
        const QChar left = leftOf(q, end);
        const QChar right = rightOf(q + length);
        if (covered(q, end) || (left == QLatin1Char('/') && right == QLatin1Char('*')))
            return false;
        markDead(q, q + length);
    }
    return true;
}

// The text from end on as it stands, dead runs left out.
QString CommentRemover::restAfter(int end, Tags *restTags) const
{
    QString rest;
    restTags->clear();
    rest.reserve(m_n - end);
    for (int p = end; p < m_n;) {
        if (m_dead[size_t(p)]) {
            p = m_deadEnd[size_t(p)];
            continue;
        }
        int q = p;
        while (q < m_n && !m_dead[size_t(q)])
            ++q;
        rest.append(m_text.midRef(p, q - p));
        appendTags(*restTags, m_tags, p, q - p);
        p = q;
    }
    return rest;
}

// The indexed algorithm on m_text. True when it got to the end; false when a round needs the
// plain algorithm, with the text after that round in *rest.
bool CommentRemover::indexedPass(QString *rest, Tags *restTags)
{
    int i = 0; // everything before i is written out or removed
    size_t next = 0; // first entry of m_opens that may lie at or after i
    for (;;) {
        if (i < m_n && m_dead[size_t(i)]) {
            i = m_deadEnd[size_t(i)];
            continue;
        }
        QString piece;
        int end;
        if (!m_out.isEmpty() && m_out.back() == QLatin1Char('/') && i < m_n
            && m_text.at(i) == QLatin1Char('*')) {
            chopOut();
            piece = pieceAcrossOut(i, &end);
        } else {
            while (next < m_opens.size() && m_opens[next] < i)
                ++next;
            if (next == m_opens.size()) {
                writeOut(m_text, m_tags, i, m_n - i);
                return true;
            }
            const int open = m_opens[next];
            writeOut(m_text, m_tags, i, open - i);
            if (m_dead[size_t(open)]) {
                i = open;
                continue;
            }
            end = pieceEnd(open);
            piece = m_text.mid(open, end - open);
        }
        if (end >= m_n)
            return true; // the piece runs to the end of the text
        if (!removeInPlace(laterCopies(piece, end), piece.size(), end)) {
            // The text as it stands after what this round already removed; the plain
            // remove() finishes the round exactly.
            *rest = restAfter(end, restTags);
            detail::removeTagged(*rest, m_track ? restTags : nullptr, piece);
            return false;
        }
        i = end;
    }
}

} // namespace

QString removeBlockComments(QString text)
{
    return detail::removeBlockComments(text, nullptr);
}

QString detail::removeBlockComments(const QString &text, Tags *tags)
{
    if (!text.contains(QLatin1String("/*")))
        return text;
    CommentRemover remover(text, tags);
    QString out = remover.run();
    if (tags)
        tags->swap(remover.outTags());
    return out;
}

} // namespace preparation
