#pragma once

// What the steps of the preparation share: the white-space test, the budget of one
// preparation and the text hashes its indexes use. Internal to engine/preparation*.cpp.

#include "engine/preparation.h"

#include <QChar>
#include <QString>

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

// The macro and the inclusion step of one preparation, spending from one budget.
QString expandMacros(QString text, Budget &budget);
QString expandInclusions(const QString &text, const FileReader &reader, Budget &budget);

} // namespace preparation::detail
