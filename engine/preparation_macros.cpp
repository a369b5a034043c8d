#include "engine/preparation_macros.h"

#include <QRegularExpression>

#include <algorithm>

// The rounds of the macro step: each reads the directive at the front of the text, removes its
// line everywhere and replaces its name everywhere (see MacroExpander).
namespace preparation::detail {

namespace {

// Each round consumes a directive line at the front of the text, so the budgets end runaway
// macros long before this; it only guards the loop itself.
constexpr int maxMacroRounds = 1 << 20;

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

// Whether the front of the text read so far is enough to decide the directive's match: it
// holds the line feed after the start of the value, or cannot be a directive at all.
bool directiveDecided(const QString &probe)
{
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
}

} // namespace

// A round whose directive line spans line feeds inside it: done on the whole text.
bool MacroExpander::fullRound(const QString &line, const QString &name, const QString &value)
{
    Tags tags;
    Tags *tracked = m_tags ? &tags : nullptr;
    QString text = materialize(tracked);
    removeTagged(text, tracked, line);
    const qint64 uses = text.count(name);
    const qint64 grown = text.size() + uses * (qint64(value.size()) - name.size());
    if (grown > maxPreparedChars || !m_budget.spend(grown)) {
        build(text, tags);
        return false; // a runaway macro: stop expanding rather than exhaust memory
    }
    replaceTagged(text, tracked, name, value);
    build(text, tags);
    return true;
}

// One round after the directive at the front has been consumed. prefix is the length of the
// white space the directive line begins with (0, 1, or 2 for CR LF).
bool MacroExpander::round(
    const QString &line, int prefix, const QString &name, const QString &value)
{
    std::unordered_map<int, Piece> removed = removals(line, prefix);
    applyRemovals(removed);
    if (name == value)
        return m_size <= maxPreparedChars; // the growth test, with nothing to grow
    return replaceName(name, value);
}

// Removal of the line, in text order as the toolkit's remove() does it: occurrences do not
// overlap, and the first one found wins. Returns each changed unit's text after the removal.
std::unordered_map<int, MacroExpander::Piece> MacroExpander::removals(
    const QString &line, int prefix)
{
    const QString core = line.mid(prefix);
    const QStringRef lead = line.leftRef(prefix);
    // The line may then also begin at the line feed that ends the unit before.
    const bool acrossUnits = prefix > 0 && line.at(prefix - 1) == QLatin1Char('\n');
    std::unordered_map<int, Piece> removed; // unit -> its text after the removal
    std::unordered_map<int, bool> endTaken; // unit -> an occurrence ended at its last character
    // Every copy of the line holds its part from "#define" on within one unit.
    for (int u : unitsWithLine(core)) {
        const QString c = content(u);
        const Tags &tags = tagsOf(u);
        const int from = m_units[size_t(u)].from;
        int pos = 0;
        bool changed = false;
        int lastEnd = -1;
        const int prev = m_units[size_t(u)].prev;
        if (acrossUnits && prev >= 0 && c.startsWith(core) && !endTaken[prev]) {
            const QString before = content(prev);
            if (before.endsWith(lead)) {
                auto it = removed.find(prev);
                if (it == removed.end())
                    it = removed.emplace(prev, contentPiece(prev)).first;
                it->second.text.chop(prefix);
                if (m_tags)
                    it->second.tags.resize(it->second.tags.size() - size_t(prefix));
                pos = core.size();
                lastEnd = pos;
                changed = true;
            }
        }
        Piece out;
        int copied = pos;
        for (int k = c.indexOf(line, pos); k >= 0; k = c.indexOf(line, pos)) {
            out.text.append(c.midRef(copied, k - copied));
            appendTags(out.tags, tags, from + copied, k - copied);
            pos = copied = lastEnd = k + line.size();
            changed = true;
        }
        if (changed) {
            out.text.append(c.midRef(copied));
            appendTags(out.tags, tags, from + copied, c.size() - copied);
            removed[u] = std::move(out);
            endTaken[u] = lastEnd == c.size();
        }
    }
    return removed;
}

// Writes the removals into the units. A unit that lost its closing line feed runs on into the
// next one.
void MacroExpander::applyRemovals(std::unordered_map<int, Piece> &removed)
{
    std::vector<int> order;
    order.reserve(removed.size());
    for (const auto &entry : removed)
        order.push_back(entry.first);
    std::sort(order.begin(), order.end());
    for (int u : order) {
        if (!m_units[size_t(u)].alive)
            continue;
        // Units after u come later in the order, so taking u's piece leaves theirs in place.
        Piece c = std::move(removed[u]);
        m_size -= m_units[size_t(u)].text.size() - m_units[size_t(u)].from;
        while (!c.text.endsWith(QLatin1Char('\n')) && m_units[size_t(u)].next >= 0) {
            const int v = m_units[size_t(u)].next;
            const auto it = removed.find(v);
            const Piece next = it != removed.end() ? it->second : contentPiece(v);
            c.text.append(next.text);
            appendTags(c.tags, next.tags, 0, next.text.size());
            m_size -= m_units[size_t(v)].text.size() - m_units[size_t(v)].from;
            kill(v);
        }
        m_size += c.text.size();
        m_units[size_t(u)].text = c.text;
        if (m_tags)
            m_unitTags[size_t(u)] = std::move(c.tags);
        m_units[size_t(u)].from = 0;
        reindex(u, 0, c.text.size());
        indexDirectives(u);
        m_budget.spend(c.text.size());
    }
}

// Replaces every use of the name by the value; false when the text would grow too large.
bool MacroExpander::replaceName(const QString &name, const QString &value)
{
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
    for (const auto &use : withName)
        replaceInUnit(use.first, use.second, name, value);
    return true;
}

// Replaces the uses of the name that start at the given places of the unit's content.
void MacroExpander::replaceInUnit(
    int u, const std::vector<int> &at, const QString &name, const QString &value)
{
    // Only windows that touch an inserted value are new to the index.
    Unit &x = m_units[size_t(u)];
    const QStringRef c = x.text.midRef(x.from);
    const qint64 delta = qint64(value.size()) - name.size();
    QString out;
    out.reserve(c.size() + int(at.size() * delta));
    const Tags &old = tagsOf(u);
    Tags tags;
    std::vector<int> sites;
    int copied = 0;
    for (int k : at) {
        out.append(c.mid(copied, k - copied));
        appendTags(tags, old, x.from + copied, k - copied);
        sites.push_back(out.size());
        out.append(value);
        if (m_tags)
            tags.insert(tags.end(), size_t(value.size()), old[size_t(x.from + k)] | rewrittenBit);
        copied = k + name.size();
    }
    out.append(c.mid(copied));
    appendTags(tags, old, x.from + copied, c.size() - copied);
    m_size += out.size() - c.size();
    x.text = out;
    if (m_tags)
        m_unitTags[size_t(u)].swap(tags);
    x.from = 0;
    for (int site : sites)
        reindex(u, site, site + value.size());
    if (x.text.contains(QLatin1String("#define")))
        indexDirectives(u);
}

// Reads as many units from the front as the directive can reach: up to the line feed after
// the start of its value. *after is the first unit not read (-1: none).
QString MacroExpander::probeFront(int *after) const
{
    QString probe;
    int u = m_head;
    while (u >= 0) {
        probe.append(m_units[size_t(u)].text.midRef(m_units[size_t(u)].from));
        u = m_units[size_t(u)].next;
        if (directiveDecided(probe))
            break;
    }
    *after = u;
    return probe;
}

QString MacroExpander::run()
{
    // One optional white-space character may stand before the directive; a CR LF pair counts
    // as the one line break it stands for.
    static const QRegularExpression directive(
        QStringLiteral("\\A(?:\\r\\n|\\s)?#define\\s+(\\S+)\\s+([^\\n]+)\\n"),
        QRegularExpression::UseUnicodePropertiesOption);
    for (int r = 0; r < maxMacroRounds && m_head >= 0; ++r) {
        // A match on the front is the match on the whole text; a miss is checked once more
        // against the whole text.
        int u;
        QRegularExpressionMatch m = directive.match(probeFront(&u));
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
    return materialize(m_tags);
}

QString expandMacros(QString text, Budget &budget, Tags *tags)
{
    if (!text.contains(QLatin1String("#define")))
        return text;
    return MacroExpander(text, budget, tags).run();
}

} // namespace preparation::detail

namespace preparation {

QString expandMacros(QString text)
{
    detail::Budget budget;
    return detail::expandMacros(std::move(text), budget);
}

} // namespace preparation
