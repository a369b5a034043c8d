#include "engine/preparation_macros.h"

#include <algorithm>
#include <climits>

// The units of the macro step and their indexes: which units hold a name or a directive line.
namespace preparation::detail {

MacroExpander::MacroExpander(const QString &text, Budget &budget, Tags *tags)
    : m_tags(tags)
    , m_budget(budget)
{
    build(text, tags ? *tags : Tags());
}

quint64 directiveKey(const QChar *p, int available)
{
    int n = 0;
    while (n < 8 && n < available && p[n++] != QLatin1Char('\n')) { }
    return hashText(p, n) * 31 + quint64(n);
}

void MacroExpander::build(const QString &text, const Tags &tags)
{
    m_units.clear();
    m_unitTags.clear();
    for (auto &map : m_postings)
        map.clear();
    m_directives.clear();
    int start = 0;
    while (start < text.size()) {
        int nl = text.indexOf(QLatin1Char('\n'), start);
        const int end = nl < 0 ? text.size() : nl + 1;
        Unit u;
        u.text = text.mid(start, end - start);
        if (m_tags)
            m_unitTags.emplace_back(tags.begin() + start, tags.begin() + end);
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
    if (m_tags)
        Tags().swap(m_unitTags[size_t(u)]);
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

MacroExpander::Piece MacroExpander::contentPiece(int u) const
{
    const Unit &x = m_units[size_t(u)];
    Piece piece {content(u), {}};
    appendTags(piece.tags, tagsOf(u), x.from, x.text.size() - x.from);
    return piece;
}

QString MacroExpander::materialize(Tags *tags) const
{
    QString text;
    text.reserve(int(m_size));
    if (tags)
        tags->clear();
    for (int u = m_head; u >= 0; u = m_units[size_t(u)].next) {
        const Unit &x = m_units[size_t(u)];
        text.append(x.text.midRef(x.from));
        if (tags)
            appendTags(*tags, tagsOf(u), x.from, x.text.size() - x.from);
    }
    return text;
}

} // namespace preparation::detail
