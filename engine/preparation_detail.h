#pragma once

// What the steps of the preparation share: the white-space test, the budget of one
// preparation and the text hashes its indexes use. Internal to engine/preparation*.cpp.

#include "engine/preparation.h"

#include <QChar>
#include <QString>

#include <utility>
#include <vector>

namespace preparation::detail {

// Both white-space tests of the preparation follow the toolkit's notion of white space.
inline bool isBlank(QChar c)
{
    return c.isSpace();
}

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

inline quint64 hashText(const QChar *p, int n)
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

// Where each character of a text came from: one tag per character, carried beside the text
// through every step when origins are asked for (and left empty otherwise). A tag is the
// index of a source line, shifted left by one; its lowest bit is set on characters a macro
// wrote. Tags of a text are always exactly as many as its characters.
using Tags = std::vector<int>;

constexpr int rewrittenBit = 1;

// The source lines behind the tags: the script's own text and every inserted file.
class OriginTable
{
public:
    // Registers a source and returns the tags of its text, by line (line feeds end lines).
    Tags addSource(const QString &file, const QString &text);
    LineOrigin origin(int tag) const;

private:
    struct Source
    {
        int base; // tag index of its first line
        QString file;
    };
    std::vector<Source> m_sources;
    int m_next = 0;
};

// Appends n tags of from, starting at at. Nothing happens for untracked (empty) tags.
inline void appendTags(Tags &to, const Tags &from, int at, int n)
{
    if (!from.empty() && n > 0)
        to.insert(to.end(), from.begin() + at, from.begin() + at + n);
}

// QString::remove(piece) and QString::replace(piece, value), which take the occurrences from
// the left without overlap, with the tags going along. A replacement's characters carry the
// tag of the first character it replaces, marked as written by a macro. Null tags: the plain
// toolkit calls.
void removeTagged(QString &text, Tags *tags, const QString &piece);
void replaceTagged(QString &text, Tags *tags, const QString &piece, const QString &value);

// The line filter; with ranges, also where each kept line stands in the text (start, length).
QStringList filterLines(const QString &text, std::vector<std::pair<int, int>> *ranges);
// "#:", "#：", "#[" and "#]" as "//", "//", "/*" and "*/".
QString replaceCommentSpellings(QString text);

// The steps of one preparation; the macro and the inclusion step spend from one budget. Each
// keeps *tags in step with the text when tags is not null.
QString removeBlockComments(const QString &text, Tags *tags);
QString expandMacros(QString text, Budget &budget, Tags *tags = nullptr);
QString expandInclusions(const QString &text, const FileReader &reader, Budget &budget,
    Tags *tags = nullptr, OriginTable *origins = nullptr);

// Notes on directives that did nothing: the #define lines of a text before its macros are
// expanded, and the #insert lines an expanded text still holds.
void noteMacros(const QString &text, const Tags &tags, const OriginTable &table,
    QVector<DirectiveNote> &notes);
void noteInserts(const QString &text, const Tags &tags, const OriginTable &table,
    QVector<DirectiveNote> &notes);

} // namespace preparation::detail
