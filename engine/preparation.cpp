#include "engine/preparation.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <climits>
#include <unordered_map>
#include <vector>

namespace preparation {

namespace {

// Both white-space tests of the preparation follow the toolkit's notion of white space.
inline bool isBlank(QChar c)
{
    return c.isSpace();
}

// Each round consumes a directive line at the front of the text, so the budgets end runaway
// macros long before this; it only guards the loop itself.
constexpr int maxMacroRounds = 1 << 20;
// How often one path may be inserted. A file that inserts itself, or a cycle of files, is cut
// there, as a missing file would be, long before the global budgets run out.
constexpr int maxInsertionsPerPath = 64;

// What one preparation may still spend; shared by the macro and the inclusion step.
struct Budget
{
    qint64 written = 0;
    int insertions = 0;

    bool spend(qint64 chars)
    {
        if (written + chars > maxExpansionChars)
            return false;
        written += chars;
        return true;
    }
};

// Polynomial hashes modulo 2^64 over UTF-16 code units. They only find candidates quickly;
// every candidate is compared character by character before it counts.
constexpr quint64 hashBase = 0x100000001b3ULL;

quint64 hashText(const QChar *p, int n)
{
    quint64 h = 0;
    for (int i = 0; i < n; ++i)
        h = h * hashBase + p[i].unicode() + 1;
    return h;
}

class Powers
{
public:
    quint64 operator()(int n)
    {
        while (int(m_pw.size()) <= n)
            m_pw.push_back(m_pw.back() * hashBase);
        return m_pw[size_t(n)];
    }

private:
    std::vector<quint64> m_pw {1};
};

// Hashes of every prefix of a text that changes only at its end.
class PrefixHash
{
public:
    void assign(const QString &s)
    {
        m_h.assign(1, 0);
        append(s.constData(), s.size());
    }
    void append(const QChar *p, int n)
    {
        m_h.reserve(m_h.size() + size_t(n));
        for (int i = 0; i < n; ++i)
            m_h.push_back(m_h.back() * hashBase + p[i].unicode() + 1);
    }
    void truncate(int n) { m_h.resize(size_t(n) + 1); }
    quint64 range(int from, int len)
    {
        return m_h[size_t(from + len)] - m_h[size_t(from)] * m_pow(len);
    }

private:
    std::vector<quint64> m_h {0};
    Powers m_pow;
};

// ---------------------------------------------------------------------------------------------
// Block comments. Each round takes the first "/*" up to the first "*/" after it and removes
// every occurrence of that piece. Everything before the first "/*" never changes again, so the
// text is consumed from the left. Another occurrence of the piece starts at a "/*" whose own
// piece (up to its first "*/") is the same text, so the pieces of all "/*" are indexed by hash
// and a round costs the length of its piece, not of the text.
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
    explicit CommentRemover(const QString &text) { load(text); }
    QString run();

private:
    void load(const QString &text);
    bool indexedPass(QString *rest);
    bool plainPass(QString *rest);
    int pieceEnd(int open) const;
    QChar leftOf(int q, int scanned) const;
    QChar rightOf(int end) const;
    bool covered(int q, int scanned) const;
    void markDead(int from, int to);

    QString m_text;
    int m_n;
    QString m_out;
    qint64 m_plainFactor = 2;
    std::vector<int> m_opens; // every "/*" position, ascending
    std::vector<int> m_closes; // every "*/" position, ascending
    PrefixHash m_hash;
    std::unordered_map<quint64, std::vector<int>> m_byPiece; // piece hash -> "/*" positions
    std::vector<char> m_dead;
    std::vector<int> m_deadEnd; // at the first position of a dead run: one past its end
    std::vector<int> m_deadStart; // at one past the end of a dead run: its first position
};

void CommentRemover::load(const QString &text)
{
    m_text = text;
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
bool CommentRemover::plainPass(QString *remaining)
{
    QString &rest = *remaining;
    int i = 0;
    qint64 searched = 0;
    for (;;) {
        if (searched > m_plainFactor * (rest.size() - i) + 4096) {
            rest = rest.mid(i);
            return false;
        }
        int start; // of the piece in rest, or -1 when it begins with the last character out
        if (!m_out.isEmpty() && m_out.back() == QLatin1Char('/') && i < rest.size()
            && rest.at(i) == QLatin1Char('*')) {
            m_out.chop(1);
            start = -1;
        } else {
            const int open = rest.indexOf(QLatin1String("/*"), i);
            if (open < 0)
                break;
            m_out.append(rest.midRef(i, open - i));
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
        after.reserve(rest.size() - end);
        int from = end;
        while (copy >= 0) {
            after.append(rest.midRef(from, copy - from));
            from = copy + piece.size();
            copy = rest.indexOf(piece, from);
        }
        after.append(rest.midRef(from));
        searched += rest.size() - end;
        rest = after;
        i = 0;
    }
    m_out.append(rest.midRef(i));
    return true;
}

QString CommentRemover::run()
{
    QString rest;
    while (!indexedPass(&rest) && !plainPass(&rest)) {
        load(rest);
        m_plainFactor = std::min<qint64>(m_plainFactor * 2, 1 << 20);
    }
    return m_out;
}

// The indexed algorithm on m_text. True when it got to the end; false when a round needs the
// plain algorithm, with the text after that round in *rest.
bool CommentRemover::indexedPass(QString *rest)
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
            // The last character written and the next one form a "/*": the piece is read over
            // the text as it now stands, dead runs skipped.
            m_out.chop(1);
            piece = QStringLiteral("/");
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
            end = p;
        } else {
            while (next < m_opens.size() && m_opens[next] < i)
                ++next;
            if (next == m_opens.size()) {
                m_out.append(m_text.midRef(i));
                return true;
            }
            const int open = m_opens[next];
            m_out.append(m_text.midRef(i, open - i));
            if (m_dead[size_t(open)]) {
                i = open;
                continue;
            }
            end = pieceEnd(open);
            piece = m_text.mid(open, end - open);
        }
        if (end >= m_n)
            return true; // the piece runs to the end of the text

        // Every other occurrence starts at a "/*" further on whose piece is the same text.
        std::vector<int> taken;
        const auto found = m_byPiece.find(hashText(piece.constData(), piece.size()));
        if (found != m_byPiece.end()) {
            const std::vector<int> &list = found->second;
            int from = end;
            for (auto it = std::lower_bound(list.begin(), list.end(), end); it != list.end();
                 ++it) {
                const int q = *it;
                if (q < from || m_dead[size_t(q)] || q + piece.size() > m_n
                    || m_text.midRef(q, piece.size()) != piece)
                    continue;
                taken.push_back(q);
                from = q + piece.size();
            }
        }
        bool clean = true;
        for (int q : taken) {
            const QChar left = leftOf(q, end);
            const QChar right = rightOf(q + piece.size());
            if (covered(q, end) || (left == QLatin1Char('/') && right == QLatin1Char('*'))) {
                clean = false;
                break;
            }
            markDead(q, q + piece.size());
        }
        if (!clean) {
            // The text as it stands after what this round already removed; the plain
            // remove() finishes the round exactly.
            rest->clear();
            rest->reserve(m_n - end);
            for (int p = end; p < m_n;) {
                if (m_dead[size_t(p)]) {
                    p = m_deadEnd[size_t(p)];
                    continue;
                }
                int q = p;
                while (q < m_n && !m_dead[size_t(q)])
                    ++q;
                rest->append(m_text.midRef(p, q - p));
                p = q;
            }
            rest->remove(piece);
            return false;
        }
        i = end;
    }
}

// ---------------------------------------------------------------------------------------------
// Macros. Each round reads the directive at the front of the text, removes every occurrence of
// the directive line and replaces every occurrence of the name in the whole text. A name holds
// no white space, so it never spans a line feed: the text is kept as lines (units), and a hash
// index of the short windows of every unit finds the few units a name occurs in, so a round
// costs what it changes rather than the whole text. A directive line contains its name, so the
// same units hold every occurrence of the line, except that a line feed before "#define" may
// be the last character of the unit before; that case is handled across the two units.
class MacroExpander
{
public:
    MacroExpander(const QString &text, Budget &budget);
    QString run();

private:
    struct Unit
    {
        QString text;
        int from = 0; // characters already consumed at the front
        int prev = -1;
        int next = -1;
        bool alive = true;
    };
    // Names longer than this are found through their rarest window of this length.
    static constexpr int maxWindow = 8;

    QString content(int u) const;
    void build(const QString &text);
    void kill(int u);
    void index(int u, int len, int first, int last);
    void reindex(int u, int from, int to);
    std::vector<int> unitsContaining(const QString &name);
    void indexDirectives(int u);
    std::vector<int> unitsWithLine(const QString &core);
    void consumeFront(int chars);
    bool round(const QString &line, int prefix, const QString &name, const QString &value);
    bool fullRound(const QString &line, const QString &name, const QString &value);
    QString materialize() const;

    std::vector<Unit> m_units;
    int m_head = -1;
    qint64 m_size = 0;
    std::array<bool, maxWindow + 1> m_indexed {};
    std::array<std::unordered_map<quint64, std::vector<int>>, maxWindow + 1> m_postings;
    // Every "#define" of a unit, by what follows it (see directiveKey()).
    std::unordered_map<quint64, std::vector<int>> m_directives;
    std::vector<int> m_seen;
    int m_stamp = 0;
    Budget &m_budget;
    Powers m_pow;
};

MacroExpander::MacroExpander(const QString &text, Budget &budget)
    : m_budget(budget)
{
    build(text);
}

// What follows a "#define": up to eight characters, ending early after a line feed. A copy of
// a directive line (which has its only line feed at its end) gives the same key as the line.
quint64 directiveKey(const QChar *p, int available)
{
    int n = 0;
    while (n < 8 && n < available && p[n++] != QLatin1Char('\n')) { }
    return hashText(p, n) * 31 + quint64(n);
}

// Whether a proper prefix of name is also its suffix, so that two uses can overlap.
bool selfOverlapping(const QString &name)
{
    std::vector<int> border(size_t(name.size()) + 1, 0);
    for (int i = 1, k = 0; i < name.size(); ++i) {
        while (k > 0 && name.at(i) != name.at(k))
            k = border[size_t(k)];
        if (name.at(i) == name.at(k))
            ++k;
        border[size_t(i) + 1] = k;
    }
    return border[size_t(name.size())] > 0;
}

QString MacroExpander::content(int u) const
{
    const Unit &x = m_units[size_t(u)];
    return x.from ? x.text.mid(x.from) : x.text;
}

void MacroExpander::build(const QString &text)
{
    m_units.clear();
    for (auto &map : m_postings)
        map.clear();
    m_directives.clear();
    int start = 0;
    while (start < text.size()) {
        int nl = text.indexOf(QLatin1Char('\n'), start);
        const int end = nl < 0 ? text.size() : nl + 1;
        Unit u;
        u.text = text.mid(start, end - start);
        u.prev = int(m_units.size()) - 1;
        m_units.push_back(u);
        start = end;
    }
    for (size_t i = 0; i + 1 < m_units.size(); ++i)
        m_units[i].next = int(i) + 1;
    m_head = m_units.empty() ? -1 : 0;
    m_size = text.size();
    m_seen.assign(m_units.size(), 0);
    for (size_t u = 0; u < m_units.size(); ++u)
        indexDirectives(int(u));
    for (int len = 1; len <= maxWindow; ++len) {
        if (m_indexed[size_t(len)]) {
            for (size_t u = 0; u < m_units.size(); ++u)
                index(int(u), len, 0, INT_MAX);
        }
    }
}

void MacroExpander::kill(int u)
{
    Unit &x = m_units[size_t(u)];
    if (x.prev >= 0)
        m_units[size_t(x.prev)].next = x.next;
    if (x.next >= 0)
        m_units[size_t(x.next)].prev = x.prev;
    if (m_head == u)
        m_head = x.next;
    x.alive = false;
    x.text.clear();
}

// Adds the windows of length len that start at first ... last of the unit's text.
void MacroExpander::index(int u, int len, int first, int last)
{
    const QString &t = m_units[size_t(u)].text;
    first = std::max(first, 0);
    last = std::min(last, t.size() - len);
    if (first > last)
        return;
    auto &map = m_postings[size_t(len)];
    const quint64 top = m_pow(len - 1);
    const QChar *p = t.constData();
    quint64 h = hashText(p + first, len);
    for (int i = first;; ++i) {
        std::vector<int> &list = map[h];
        if (list.empty() || list.back() != u)
            list.push_back(u);
        if (i == last)
            break;
        h = (h - (p[i].unicode() + 1) * top) * hashBase + p[i + len].unicode() + 1;
    }
}

// Indexes the windows that overlap from ... to-1 of the unit's text; the others are there.
void MacroExpander::reindex(int u, int from, int to)
{
    for (int len = 1; len <= maxWindow; ++len) {
        if (m_indexed[size_t(len)])
            index(u, len, from - len + 1, std::max(to, from + 1) - 1);
    }
}

void MacroExpander::indexDirectives(int u)
{
    const QString &t = m_units[size_t(u)].text;
    for (int k = t.indexOf(QLatin1String("#define")); k >= 0;
         k = t.indexOf(QLatin1String("#define"), k + 7)) {
        std::vector<int> &list
            = m_directives[directiveKey(t.constData() + k + 7, t.size() - k - 7)];
        if (list.empty() || list.back() != u)
            list.push_back(u);
    }
}

// The live units that hold core (a directive line from its "#define" on), in text order.
std::vector<int> MacroExpander::unitsWithLine(const QString &core)
{
    const auto it = m_directives.find(directiveKey(core.constData() + 7, core.size() - 7));
    if (it == m_directives.end())
        return {};
    ++m_stamp;
    std::vector<int> kept;
    std::vector<int> found;
    for (int u : it->second) {
        if (m_seen[size_t(u)] == m_stamp || !m_units[size_t(u)].alive)
            continue;
        m_seen[size_t(u)] = m_stamp;
        kept.push_back(u);
        if (m_units[size_t(u)].text.indexOf(core, m_units[size_t(u)].from) >= 0)
            found.push_back(u);
    }
    it->second.swap(kept);
    std::sort(found.begin(), found.end());
    return found;
}

// The live units whose text holds name, in text order. Entries of the index are never removed
// when a unit changes; stale ones are dropped from the list that a lookup walks.
std::vector<int> MacroExpander::unitsContaining(const QString &name)
{
    const int len = std::min(name.size(), maxWindow);
    if (!m_indexed[size_t(len)]) {
        m_indexed[size_t(len)] = true;
        for (int u = m_head; u >= 0; u = m_units[size_t(u)].next)
            index(u, len, 0, INT_MAX);
    }
    auto &map = m_postings[size_t(len)];
    std::vector<int> *best = nullptr;
    int bestAt = 0;
    for (int o = 0; o + len <= name.size(); ++o) {
        const auto it = map.find(hashText(name.constData() + o, len));
        if (it == map.end())
            return {};
        if (!best || it->second.size() < best->size()) {
            best = &it->second;
            bestAt = o;
        }
    }
    const QStringRef window = name.midRef(bestAt, len);
    ++m_stamp;
    std::vector<int> kept;
    std::vector<int> found;
    for (int u : *best) {
        if (m_seen[size_t(u)] == m_stamp)
            continue;
        m_seen[size_t(u)] = m_stamp;
        const Unit &x = m_units[size_t(u)];
        const int at = x.alive ? x.text.indexOf(window) : -1;
        if (at < 0)
            continue;
        kept.push_back(u);
        if ((len == name.size() && at >= x.from) || x.text.indexOf(name, x.from) >= 0)
            found.push_back(u);
    }
    best->swap(kept);
    std::sort(found.begin(), found.end());
    return found;
}

void MacroExpander::consumeFront(int chars)
{
    while (chars > 0 && m_head >= 0) {
        Unit &x = m_units[size_t(m_head)];
        const int available = x.text.size() - x.from;
        if (available <= chars) {
            chars -= available;
            m_size -= available;
            kill(m_head);
        } else {
            x.from += chars;
            m_size -= chars;
            chars = 0;
        }
    }
}

QString MacroExpander::materialize() const
{
    QString text;
    text.reserve(int(m_size));
    for (int u = m_head; u >= 0; u = m_units[size_t(u)].next)
        text.append(m_units[size_t(u)].text.midRef(m_units[size_t(u)].from));
    return text;
}

// A round whose directive line spans line feeds inside it: done on the whole text.
bool MacroExpander::fullRound(const QString &line, const QString &name, const QString &value)
{
    QString text = materialize();
    text.remove(line);
    const qint64 uses = text.count(name);
    const qint64 grown = text.size() + uses * (qint64(value.size()) - name.size());
    if (grown > maxPreparedChars || !m_budget.spend(grown)) {
        build(text);
        return false; // a runaway macro: stop expanding rather than exhaust memory
    }
    text.replace(name, value);
    build(text);
    return true;
}

// One round after the directive at the front has been consumed. prefix is the length of the
// white space the directive line begins with (0, 1, or 2 for CR LF).
bool MacroExpander::round(
    const QString &line, int prefix, const QString &name, const QString &value)
{
    const QString core = line.mid(prefix);
    const QStringRef lead = line.leftRef(prefix);
    // The line may then also begin at the line feed that ends the unit before.
    const bool acrossUnits = prefix > 0 && line.at(prefix - 1) == QLatin1Char('\n');
    // Every copy of the line holds its part from "#define" on within one unit.
    const std::vector<int> candidates = unitsWithLine(core);

    // Removal of the line, in text order as the toolkit's remove() does it: occurrences do not
    // overlap, and the first one found wins.
    std::unordered_map<int, QString> removed; // unit -> its text after the removal
    std::unordered_map<int, bool> endTaken; // unit -> an occurrence ended at its last character
    for (int u : candidates) {
        const QString c = content(u);
        int pos = 0;
        bool changed = false;
        int lastEnd = -1;
        const int prev = m_units[size_t(u)].prev;
        if (acrossUnits && prev >= 0 && c.startsWith(core) && !endTaken[prev]) {
            const QString before = content(prev);
            if (before.endsWith(lead)) {
                auto it = removed.find(prev);
                if (it == removed.end())
                    it = removed.emplace(prev, before).first;
                it->second.chop(prefix);
                pos = core.size();
                lastEnd = pos;
                changed = true;
            }
        }
        QString out;
        int copied = pos;
        for (int k = c.indexOf(line, pos); k >= 0; k = c.indexOf(line, pos)) {
            out.append(c.midRef(copied, k - copied));
            pos = copied = lastEnd = k + line.size();
            changed = true;
        }
        if (changed) {
            out.append(c.midRef(copied));
            removed[u] = out;
            endTaken[u] = lastEnd == c.size();
        }
    }

    // A unit that lost its closing line feed runs on into the next one.
    std::vector<int> order;
    order.reserve(removed.size());
    for (const auto &entry : removed)
        order.push_back(entry.first);
    std::sort(order.begin(), order.end());
    for (int u : order) {
        if (!m_units[size_t(u)].alive)
            continue;
        QString c = removed[u];
        m_size -= m_units[size_t(u)].text.size() - m_units[size_t(u)].from;
        while (!c.endsWith(QLatin1Char('\n')) && m_units[size_t(u)].next >= 0) {
            const int v = m_units[size_t(u)].next;
            const auto it = removed.find(v);
            c.append(it != removed.end() ? it->second : content(v));
            m_size -= m_units[size_t(v)].text.size() - m_units[size_t(v)].from;
            kill(v);
        }
        m_size += c.size();
        m_units[size_t(u)].text = c;
        m_units[size_t(u)].from = 0;
        reindex(u, 0, c.size());
        indexDirectives(u);
        m_budget.spend(c.size());
    }
    if (name == value)
        return m_size <= maxPreparedChars; // the growth test, with nothing to grow

    // Where the name stands in each unit, from the left without overlap as replace() takes
    // it. The growth test counts overlapping uses, as the whole-text count() did; they differ
    // only for a name that begins with its own end.
    const bool overlaps = selfOverlapping(name);
    qint64 uses = 0;
    qint64 writes = 0;
    std::vector<std::pair<int, std::vector<int>>> withName;
    for (int u : unitsContaining(name)) {
        const Unit &x = m_units[size_t(u)];
        std::vector<int> at;
        for (int k = x.text.indexOf(name, x.from); k >= 0;
             k = x.text.indexOf(name, k + name.size()))
            at.push_back(k - x.from);
        if (at.empty())
            continue;
        uses += overlaps ? content(u).count(name) : qint64(at.size());
        writes += x.text.size() - x.from;
        withName.emplace_back(u, std::move(at));
    }
    const qint64 delta = qint64(value.size()) - name.size();
    if (m_size + uses * delta > maxPreparedChars)
        return false; // a runaway macro: stop expanding rather than exhaust memory
    if (uses == 0)
        return true;
    if (!m_budget.spend(writes + uses * delta))
        return false;
    for (const auto &use : withName) {
        // Only windows that touch an inserted value are new to the index.
        Unit &x = m_units[size_t(use.first)];
        const QStringRef c = x.text.midRef(x.from);
        QString out;
        out.reserve(c.size() + int(use.second.size() * delta));
        std::vector<int> sites;
        int copied = 0;
        for (int k : use.second) {
            out.append(c.mid(copied, k - copied));
            sites.push_back(out.size());
            out.append(value);
            copied = k + name.size();
        }
        out.append(c.mid(copied));
        m_size += out.size() - c.size();
        x.text = out;
        x.from = 0;
        for (int site : sites)
            reindex(use.first, site, site + value.size());
        if (x.text.contains(QLatin1String("#define")))
            indexDirectives(use.first);
    }
    return true;
}

QString MacroExpander::run()
{
    // One optional white-space character may stand before the directive; a CR LF pair counts
    // as the one line break it stands for.
    static const QRegularExpression directive(
        QStringLiteral("\\A(?:\\r\\n|\\s)?#define\\s+(\\S+)\\s+([^\\n]+)\\n"),
        QRegularExpression::UseUnicodePropertiesOption);
    for (int r = 0; r < maxMacroRounds && m_head >= 0; ++r) {
        // Read as many units from the front as the directive can reach: up to the line feed
        // after the start of its value. A match on that prefix is the match on the whole
        // text; a miss is checked once more against the whole text.
        QString probe;
        int u = m_head;
        auto decided = [&probe] {
            const int at = probe.indexOf(QLatin1String("#define"));
            if (at < 0 || at > 2)
                return probe.size() >= 9;
            int j = at + 7;
            const auto skip = [&](bool blank) {
                while (j < probe.size() && isBlank(probe.at(j)) == blank)
                    ++j;
                return j < probe.size();
            };
            if (!skip(true))
                return false;
            if (j == at + 7)
                return true;
            if (!skip(false) || !skip(true))
                return false;
            return probe.indexOf(QLatin1Char('\n'), j) >= 0;
        };
        while (u >= 0) {
            probe.append(m_units[size_t(u)].text.midRef(m_units[size_t(u)].from));
            u = m_units[size_t(u)].next;
            if (decided())
                break;
        }
        QRegularExpressionMatch m = directive.match(probe);
        if (!m.hasMatch() && u >= 0)
            m = directive.match(materialize());
        if (!m.hasMatch())
            break;
        const QString line = m.captured(0);
        const QString name = m.captured(1);
        QString value = m.captured(2);
        // A file saved with CR LF ends must behave as one with LF ends.
        if (value.endsWith(QLatin1Char('\r')))
            value.chop(1);
        value.replace(QLatin1Char(';'), QLatin1Char('\n'));

        const int prefix = line.indexOf(QLatin1String("#define"));
        const int feed = line.indexOf(QLatin1Char('\n'), prefix);
        if (feed != line.size() - 1) {
            if (!fullRound(line, name, value))
                break;
            continue;
        }
        consumeFront(line.size());
        if (!round(line, prefix, name, value))
            break;
    }
    return materialize();
}

// ---------------------------------------------------------------------------------------------
// Inclusions. Each round takes the last "#insert" of the text; a missing file's directive stays,
// with every whole line copy of it, and the round goes on with the one before. Nothing after
// the directive taken changes again, so that part moves to a finished tail (kept reversed, so
// that a directive whose path runs into it can still read and take from its front). The text
// before it keeps the positions of its "#insert"s and prefix hashes, so a round costs its
// directive, its file's text and the positions of the other "#insert"s, not the whole text.
class InclusionExpander
{
public:
    InclusionExpander(const QString &text, const FileReader &reader, Budget &budget);
    QString run();

private:
    QChar at(qint64 i) const
    {
        return i < m_left.size() ? m_left.at(int(i))
                                 : m_tail.at(m_tail.size() - 1 - int(i - m_left.size()));
    }
    qint64 total() const { return qint64(m_left.size()) + m_tail.size(); }
    void toTail(int from);
    void takeFromTail(qint64 upTo);
    void findInserts(int from);
    void rescan();
    bool matches(int q, const QString &directive, quint64 hash);
    bool isProtected(int q) const
    {
        auto it
            = std::upper_bound(m_protected.begin(), m_protected.end(), std::make_pair(q, INT_MAX));
        return it != m_protected.begin() && q < (it - 1)->second;
    }
    void protectCopies(const QString &directive);

    QString m_left; // the text up to the last "#insert" not yet taken
    QString m_tail; // what follows it, reversed
    // The first line of the tail: its length up to the line feed (or the end), and where its
    // last non-blank character stands (-1: none). A long line of directives reads it at once.
    int m_tailLineLength = 0;
    int m_tailLineLast = -1;
    std::vector<int> m_inserts; // positions of "#insert" in m_left, ascending
    // Copies of a missing file's directive (start, end), left in place: no directive is
    // taken from inside them and none matches there.
    std::vector<std::pair<int, int>> m_protected;
    PrefixHash m_hash; // of m_left
    const FileReader &m_reader;
    Budget &m_budget;
    QHash<QString, std::optional<QString>> m_files;
    QHash<QString, int> m_perPath;
};

InclusionExpander::InclusionExpander(const QString &text, const FileReader &reader, Budget &budget)
    : m_left(text)
    , m_reader(reader)
    , m_budget(budget)
{
    rescan();
}

void InclusionExpander::rescan()
{
    m_inserts.clear();
    findInserts(0);
    m_hash.assign(m_left);
}

void InclusionExpander::findInserts(int from)
{
    for (int p = m_left.indexOf(QLatin1String("#insert"), from); p >= 0;
         p = m_left.indexOf(QLatin1String("#insert"), p + 1)) {
        if (!isProtected(p))
            m_inserts.push_back(p);
    }
}

bool InclusionExpander::matches(int q, const QString &directive, quint64 hash)
{
    const int length = directive.size();
    if (q + length <= m_left.size())
        return m_hash.range(q, length) == hash && m_left.midRef(q, length) == directive;
    // Only when the directive's path runs into the tail: compare directly.
    for (int k = 0; k < length; ++k) {
        if (at(qint64(q) + k) != directive.at(k))
            return false;
    }
    return true;
}

// Every copy of a missing directive that is a whole directive (nothing but blanks after it on
// its line) stays as it is; the scan goes from the left without overlap, as the first
// preparation did. A longer path that merely begins with this one is not such a copy.
void InclusionExpander::protectCopies(const QString &directive)
{
    const quint64 hash = hashText(directive.constData(), directive.size());
    std::vector<int> kept;
    std::vector<std::pair<int, int>> copies;
    int free = 0;
    for (int q : m_inserts) {
        if (q < free) {
            if (copies.empty() || q >= copies.back().second)
                kept.push_back(q);
            continue;
        }
        if (!matches(q, directive, hash)) {
            kept.push_back(q);
            continue;
        }
        free = q + directive.size();
        qint64 k = free;
        while (k < total() && at(k) != QLatin1Char('\n') && isBlank(at(k)))
            ++k;
        if (k == total() || at(k) == QLatin1Char('\n'))
            copies.emplace_back(q, free);
        else
            kept.push_back(q);
    }
    if (copies.empty())
        return;
    m_inserts.swap(kept);
    std::vector<std::pair<int, int>> merged;
    std::merge(m_protected.begin(), m_protected.end(), copies.begin(), copies.end(),
        std::back_inserter(merged));
    m_protected.swap(merged);
}

void InclusionExpander::toTail(int from)
{
    const int n = m_left.size() - from;
    const QChar *text = m_left.constData() + from;
    const QChar *feed = std::find(text, text + n, QLatin1Char('\n'));
    const int head = int(feed - text);
    int last = head - 1;
    if (head < n || m_tailLineLast < 0) {
        while (last >= 0 && isBlank(text[last]))
            --last;
    } else {
        last = n + m_tailLineLast;
    }
    m_tailLineLength = head < n ? head : n + m_tailLineLength;
    m_tailLineLast = last;

    const int old = m_tail.size();
    m_tail.resize(old + n);
    const QChar *src = m_left.constData() + m_left.size();
    QChar *dst = m_tail.data() + old;
    for (int i = 0; i < n; ++i)
        dst[i] = *--src;
    m_left.truncate(from);
    m_hash.truncate(from);
    while (!m_protected.empty() && m_protected.back().first >= from)
        m_protected.pop_back();
}

void InclusionExpander::takeFromTail(qint64 upTo)
{
    const int n = int(upTo - m_left.size());
    QString front;
    front.resize(n);
    for (int i = 0; i < n; ++i)
        front[i] = m_tail.at(m_tail.size() - 1 - i);
    m_tail.chop(n);
    m_hash.append(front.constData(), n);
    m_left.append(front);
    if (n <= m_tailLineLength) {
        m_tailLineLength -= n;
        m_tailLineLast = m_tailLineLast >= n ? m_tailLineLast - n : -1;
    } else {
        m_tailLineLength = 0;
        m_tailLineLast = -1;
        for (int i = m_tail.size() - 1; i >= 0 && m_tail.at(i) != QLatin1Char('\n'); --i) {
            if (!isBlank(m_tail.at(i)))
                m_tailLineLast = m_tailLineLength;
            ++m_tailLineLength;
        }
    }
}

QString InclusionExpander::run()
{
    while (!m_inserts.empty()) {
        const int p = m_inserts.back();
        m_inserts.pop_back();
        // "#insert", white space (line feeds too), then the path: the rest of that line
        // without its trailing blanks (the CR of a CR LF line among them).
        qint64 j = p + 7;
        while (j < total() && isBlank(at(j)))
            ++j;
        if (j == p + 7 || j == total()) {
            toTail(p);
            continue;
        }
        qint64 end = j + 1; // one past the last non-blank character of the path
        if (j < m_left.size()) {
            const int feed = m_left.indexOf(QLatin1Char('\n'), int(j));
            if (feed >= 0 || m_tailLineLast < 0) {
                qint64 last = feed >= 0 ? feed - 1 : m_left.size() - 1;
                while (isBlank(m_left.at(int(last))))
                    --last;
                end = last + 1;
            } else {
                end = m_left.size() + m_tailLineLast + 1;
            }
        } else {
            // The path begins in the tail (its directive ends a line): read up to its end.
            for (qint64 k = j + 1; k < total() && k - j <= maxInsertPathChars; ++k) {
                const QChar c = at(k);
                if (c == QLatin1Char('\n'))
                    break;
                if (!isBlank(c))
                    end = k + 1;
            }
        }
        const bool tooLong = end - j > maxInsertPathChars;
        std::optional<QString> content;
        QString directive;
        if (!tooLong) {
            directive.reserve(int(end - p));
            for (qint64 k = p; k < end; ++k)
                directive.append(at(k));
            QString raw;
            raw.reserve(int(end - j));
            for (qint64 k = j; k < end; ++k)
                raw.append(at(k));
            const QString path = QDir::toNativeSeparators(raw);
            int &times = m_perPath[path];
            if (times < maxInsertionsPerPath) {
                auto cached = m_files.find(path);
                if (cached == m_files.end())
                    cached = m_files.insert(path, m_reader(path));
                content = *cached;
                if (content)
                    ++times;
            }
        }
        if (!content) {
            // Missing file, or an inclusion cycle that has gone too far: the directive stays
            // where it is and the round goes on with the one before.
            if (!tooLong)
                protectCopies(directive);
            toTail(p);
            continue;
        }

        // Every occurrence of the directive starts at an "#insert"; the toolkit's replace()
        // takes them from the left without overlap, this one last.
        const int length = int(end - p);
        const quint64 h = hashText(directive.constData(), length);
        std::vector<int> taken;
        int free = 0;
        for (int q : m_inserts) {
            if (q >= free && matches(q, directive, h)) {
                taken.push_back(q);
                free = q + length;
            }
        }
        const bool frontierTaken = p >= free;
        const int uses = int(taken.size()) + (frontierTaken ? 1 : 0);
        const qint64 grown = total() + qint64(uses) * (content->size() - length);
        if (m_budget.insertions + uses > maxInsertions || grown > maxPreparedChars
            || !m_budget.spend(qint64(uses) * content->size())) {
            // Stop here and keep the text: the directives left stay in it, as missing ones do.
            m_inserts.clear();
            break;
        }
        m_budget.insertions += uses;

        if (end > m_left.size())
            takeFromTail(end);
        toTail(int(end));
        if (taken.empty() && frontierTaken) {
            m_left.truncate(p);
            m_hash.truncate(p);
            m_left.append(*content);
            m_hash.append(content->constData(), content->size());
            // An "#insert" may also form across the start of the inserted text.
            findInserts(std::max(0, p - 6));
        } else {
            // Other copies too (or one that overlaps this one): rebuild from the first copy on,
            // moving the kept copies of missing directives with the text.
            if (frontierTaken)
                taken.push_back(p);
            const int delta = content->size() - length;
            QString out = m_left.left(taken.front());
            int copied = taken.front();
            for (int q : taken) {
                out.append(m_left.midRef(copied, q - copied));
                out.append(*content);
                copied = q + length;
            }
            out.append(m_left.midRef(copied));
            std::vector<std::pair<int, int>> moved;
            size_t before = 0; // copies taken before the kept range
            for (const auto &range : m_protected) {
                while (before < taken.size() && taken[before] + length <= range.first)
                    ++before;
                if (before < taken.size() && taken[before] < range.second)
                    continue; // written over
                const int shift = int(before) * delta;
                moved.emplace_back(range.first + shift, range.second + shift);
            }
            m_protected.swap(moved);
            const int from = std::max(0, taken.front() - 6);
            m_left = out;
            while (!m_inserts.empty() && m_inserts.back() >= from)
                m_inserts.pop_back();
            findInserts(from);
            m_hash.truncate(from);
            m_hash.append(m_left.constData() + from, m_left.size() - from);
        }
    }
    QString text = m_left;
    text.reserve(m_left.size() + m_tail.size());
    for (int i = m_tail.size() - 1; i >= 0; --i)
        text.append(m_tail.at(i));
    return text;
}

QString expandMacros(QString text, Budget &budget)
{
    if (!text.contains(QLatin1String("#define")))
        return text;
    return MacroExpander(text, budget).run();
}

QString expandInclusions(const QString &text, const FileReader &reader, Budget &budget)
{
    if (!text.contains(QLatin1String("#insert")))
        return text;
    return InclusionExpander(text, reader, budget).run();
}

} // namespace

std::optional<QString> readInsertFile(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read in pieces up to the first zero byte, so a file of any size is handled without
    // reserving its whole size at once.
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        const void *zero = memchr(chunk, 0, size_t(n));
        if (zero) {
            bytes.append(chunk, int(static_cast<const char *>(zero) - chunk));
            break;
        }
        bytes.append(chunk, int(n));
        if (bytes.size() > maxPreparedChars)
            break;
    }
    return QString::fromLocal8Bit(bytes);
}

QString removeBlockComments(QString text)
{
    if (!text.contains(QLatin1String("/*")))
        return text;
    return CommentRemover(text).run();
}

QString expandMacros(QString text)
{
    Budget budget;
    return expandMacros(std::move(text), budget);
}

QString expandInclusions(QString text, const FileReader &reader)
{
    Budget budget;
    return expandInclusions(text, reader, budget);
}

QStringList filterLines(const QString &text)
{
    QStringList lines;
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QStringRef &part : parts) {
        QStringRef line = part;
        if (line.startsWith(QLatin1String("//"))) {
            continue;
        }
        // "//" ends the line unless a ":" stands right before it (web addresses survive).
        for (int i = 1; i + 1 < line.size(); ++i) {
            if (line.at(i) == QLatin1Char('/') && line.at(i + 1) == QLatin1Char('/')
                && line.at(i - 1) != QLatin1Char(':')) {
                line = line.left(i);
                break;
            }
        }
        const QStringRef trimmed = line.trimmed();
        if (trimmed.contains(QLatin1String("->")) || trimmed == QLatin1String("{")
            || trimmed == QLatin1String("}") || trimmed == QLatin1String("else"))
            lines.append(trimmed.toString());
    }
    return lines;
}

QStringList prepareFull(const QString &source, const FileReader &reader)
{
    QString text = source;
    text.replace(QLatin1String("#:"), QLatin1String("//"));
    text.replace(QStringLiteral("#："), QLatin1String("//"));
    text.replace(QLatin1String("#["), QLatin1String("/*"));
    text.replace(QLatin1String("#]"), QLatin1String("*/"));
    text = removeBlockComments(std::move(text));
    return prepareReduced(text, reader);
}

QStringList prepareReduced(const QString &source, const FileReader &reader)
{
    Budget budget;
    QString text = expandMacros(source, budget);
    text = expandInclusions(text, reader, budget);
    return filterLines(text);
}

} // namespace preparation

QString readScriptFile(const QString &path, int maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(maxBytes);
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromLocal8Bit(bytes);
}
