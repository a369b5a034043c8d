#pragma once

// The macro step of the preparation. Internal to engine/preparation*.cpp.

#include "engine/preparation_detail.h"

#include <QString>

#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

namespace preparation::detail {

// Macros. Each round reads the directive at the front of the text, removes every occurrence of
// the directive line and replaces every occurrence of the name in the whole text. A name holds
// no white space, so it never spans a line feed: the text is kept as lines (units), and a hash
// index of the short windows of every unit finds the few units a name occurs in, so a round
// costs what it changes rather than the whole text. A directive line contains its name, so the
// same units hold every occurrence of the line, except that a line feed before "#define" may
// be the last character of the unit before; that case is handled across the two units.
// With tags, each unit's tags stand beside it in a vector of their own (so that the units of
// a preparation without them stay as small as they were).
class MacroExpander
{
public:
    MacroExpander(const QString &text, Budget &budget, Tags *tags);
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
    // A unit's text after a round has changed it, with its tags.
    struct Piece
    {
        QString text;
        Tags tags;
    };

    // The unit's text from what is not yet consumed on.
    QString content(int u) const
    {
        const Unit &x = m_units[size_t(u)];
        return x.from ? x.text.mid(x.from) : x.text;
    }
    // The tags of the unit's whole text, consumed front included; none when not tracked.
    const Tags &tagsOf(int u) const
    {
        static const Tags untracked;
        return m_tags ? m_unitTags[size_t(u)] : untracked;
    }
    Piece contentPiece(int u) const;
    void build(const QString &text, const Tags &tags);
    void kill(int u);
    void index(int u, int len, int first, int last);
    void reindex(int u, int from, int to);
    std::vector<int> unitsContaining(const QString &name);
    void indexDirectives(int u);
    std::vector<int> unitsWithLine(const QString &core);
    void consumeFront(int chars);
    bool round(const QString &line, int prefix, const QString &name, const QString &value);
    std::unordered_map<int, Piece> removals(const QString &line, int prefix);
    void applyRemovals(std::unordered_map<int, Piece> &removed);
    bool replaceName(const QString &name, const QString &value);
    void replaceInUnit(
        int u, const std::vector<int> &at, const QString &name, const QString &value);
    QString probeFront(int *after) const;
    bool fullRound(const QString &line, const QString &name, const QString &value);
    QString materialize(Tags *tags = nullptr) const;

    Tags *m_tags; // the caller's, written at the end; null when not tracked
    std::vector<Unit> m_units;
    std::vector<Tags> m_unitTags; // beside m_units when tracked
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

// What follows a "#define": up to eight characters, ending early after a line feed. A copy of
// a directive line (which has its only line feed at its end) gives the same key as the line.
quint64 directiveKey(const QChar *p, int available);

} // namespace preparation::detail
