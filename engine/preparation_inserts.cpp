#include "engine/preparation.h"
#include "engine/preparation_detail.h"

#include <QDir>
#include <QHash>

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>
#include <vector>

namespace preparation {

using detail::appendTags;
using detail::Budget;
using detail::hashText;
using detail::isBlank;
using detail::OriginTable;
using detail::PrefixHash;
using detail::Tags;

namespace {

// How often one path may be inserted. A file that inserts itself, or a cycle of files, is cut
// there, as a missing file would be, long before the global budgets run out.
constexpr int maxInsertionsPerPath = 64;

// Inclusions. Each round takes the last "#insert" of the text; a missing file's directive stays,
// with every whole line copy of it, and the round goes on with the one before. Nothing after
// the directive taken changes again, so that part moves to a finished tail (kept reversed, so
// that a directive whose path runs into it can still read and take from its front). The text
// before it keeps the positions of its "#insert"s and prefix hashes, so a round costs its
// directive, its file's text and the positions of the other "#insert"s, not the whole text.
// With tags, the left part and the tail keep theirs beside them (the tail's reversed too), and
// a file's text is tagged by its own lines when it is first inserted.
class InclusionExpander
{
public:
    InclusionExpander(const QString &text, const FileReader &reader, Budget &budget, Tags *tags,
        OriginTable *origins);
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
    bool takeRound(int p);
    qint64 pathEnd(qint64 j) const;
    QString textBetween(qint64 from, qint64 to) const;
    std::optional<QString> fileFor(const QString &path);
    const Tags &tagsFor(const QString &path, const QString &content);
    bool insert(int p, const QString &directive, const QString &path, const QString &content);
    std::vector<int> copiesBefore(const QString &directive);
    void replaceCopies(
        const std::vector<int> &taken, int length, const QString &content, const Tags &contentTags);
    void moveProtected(const std::vector<int> &taken, int length, int delta);
    QString joined() const;

    QString m_left; // the text up to the last "#insert" not yet taken
    QString m_tail; // what follows it, reversed
    Tags *m_tags; // the caller's, written at the end; null when not tracked
    OriginTable *m_origins;
    Tags m_leftTags;
    Tags m_tailTags;
    QHash<QString, Tags> m_fileTags;
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

InclusionExpander::InclusionExpander(
    const QString &text, const FileReader &reader, Budget &budget, Tags *tags, OriginTable *origins)
    : m_left(text)
    , m_tags(origins ? tags : nullptr)
    , m_origins(m_tags ? origins : nullptr)
    , m_reader(reader)
    , m_budget(budget)
{
    if (m_tags)
        m_leftTags = *m_tags;
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
    if (m_tags) {
        m_tailTags.insert(m_tailTags.end(), m_leftTags.rbegin(), m_leftTags.rbegin() + n);
        m_leftTags.resize(size_t(from));
    }
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
    if (m_tags) {
        m_leftTags.insert(m_leftTags.end(), m_tailTags.rbegin(), m_tailTags.rbegin() + n);
        m_tailTags.resize(m_tailTags.size() - size_t(n));
    }
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
        if (!takeRound(p))
            break;
    }
    return joined();
}

// One round on the "#insert" at p. false when a budget ran out: expansion stops there.
bool InclusionExpander::takeRound(int p)
{
    // "#insert", white space (line feeds too), then the path: the rest of that line without
    // its trailing blanks (the CR of a CR LF line among them).
    qint64 j = p + 7;
    while (j < total() && isBlank(at(j)))
        ++j;
    if (j == p + 7 || j == total()) {
        toTail(p);
        return true;
    }
    const qint64 end = pathEnd(j);
    const bool tooLong = end - j > maxInsertPathChars;
    std::optional<QString> content;
    QString directive;
    QString path;
    if (!tooLong) {
        directive = textBetween(p, end);
        path = QDir::toNativeSeparators(textBetween(j, end));
        content = fileFor(path);
    }
    if (!content) {
        // Missing file, or an inclusion cycle that has gone too far: the directive stays
        // where it is and the round goes on with the one before.
        if (!tooLong)
            protectCopies(directive);
        toTail(p);
        return true;
    }
    return insert(p, directive, path, *content);
}

// One past the last non-blank character of the path that starts at j.
qint64 InclusionExpander::pathEnd(qint64 j) const
{
    qint64 end = j + 1;
    if (j < m_left.size()) {
        const int feed = m_left.indexOf(QLatin1Char('\n'), int(j));
        if (feed >= 0 || m_tailLineLast < 0) {
            qint64 last = feed >= 0 ? feed - 1 : m_left.size() - 1;
            while (isBlank(m_left.at(int(last))))
                --last;
            return last + 1;
        }
        return m_left.size() + m_tailLineLast + 1;
    }
    // The path begins in the tail (its directive ends a line): read up to its end.
    for (qint64 k = j + 1; k < total() && k - j <= maxInsertPathChars; ++k) {
        const QChar c = at(k);
        if (c == QLatin1Char('\n'))
            break;
        if (!isBlank(c))
            end = k + 1;
    }
    return end;
}

QString InclusionExpander::textBetween(qint64 from, qint64 to) const
{
    QString text;
    text.reserve(int(to - from));
    for (qint64 k = from; k < to; ++k)
        text.append(at(k));
    return text;
}

// The file's text, read once per path; nullopt when it is missing or was inserted too often.
std::optional<QString> InclusionExpander::fileFor(const QString &path)
{
    int &times = m_perPath[path];
    if (times >= maxInsertionsPerPath)
        return std::nullopt;
    auto cached = m_files.find(path);
    if (cached == m_files.end())
        cached = m_files.insert(path, m_reader(path));
    if (*cached)
        ++times;
    return *cached;
}

// The tags of a file's text, made when it is first inserted (empty when not tracked).
const Tags &InclusionExpander::tagsFor(const QString &path, const QString &content)
{
    static const Tags untracked;
    if (!m_origins)
        return untracked;
    auto it = m_fileTags.find(path);
    if (it == m_fileTags.end())
        it = m_fileTags.insert(path, m_origins->addSource(path, content));
    return *it;
}

// Every occurrence of the directive starts at an "#insert"; the toolkit's replace() takes them
// from the left without overlap. These are the ones before the directive at the frontier.
std::vector<int> InclusionExpander::copiesBefore(const QString &directive)
{
    const int length = directive.size();
    const quint64 h = hashText(directive.constData(), length);
    std::vector<int> taken;
    int free = 0;
    for (int q : m_inserts) {
        if (q >= free && matches(q, directive, h)) {
            taken.push_back(q);
            free = q + length;
        }
    }
    return taken;
}

// Replaces the directive at p, and its copies, by the file's text. false when a budget ran
// out: the text stays as it is, and the directives left stay in it, as missing ones do.
bool InclusionExpander::insert(
    int p, const QString &directive, const QString &path, const QString &content)
{
    const int length = directive.size();
    const qint64 end = qint64(p) + length;
    std::vector<int> taken = copiesBefore(directive);
    const bool frontierTaken = taken.empty() || p >= taken.back() + length;
    const int uses = int(taken.size()) + (frontierTaken ? 1 : 0);
    const qint64 grown = total() + qint64(uses) * (content.size() - length);
    if (m_budget.insertions + uses > maxInsertions || grown > maxPreparedChars
        || !m_budget.spend(qint64(uses) * content.size())) {
        m_inserts.clear();
        return false;
    }
    m_budget.insertions += uses;
    const Tags &contentTags = tagsFor(path, content);

    if (end > m_left.size())
        takeFromTail(end);
    toTail(int(end));
    if (taken.empty() && frontierTaken) {
        m_left.truncate(p);
        m_hash.truncate(p);
        m_left.append(content);
        if (m_tags) {
            m_leftTags.resize(size_t(p));
            appendTags(m_leftTags, contentTags, 0, content.size());
        }
        m_hash.append(content.constData(), content.size());
        // An "#insert" may also form across the start of the inserted text.
        findInserts(std::max(0, p - 6));
        return true;
    }
    // Other copies too (or one that overlaps this one): rebuild from the first copy on.
    if (frontierTaken)
        taken.push_back(p);
    replaceCopies(taken, length, content, contentTags);
    return true;
}

void InclusionExpander::replaceCopies(
    const std::vector<int> &taken, int length, const QString &content, const Tags &contentTags)
{
    QString out = m_left.left(taken.front());
    Tags outTags;
    appendTags(outTags, m_leftTags, 0, taken.front());
    int copied = taken.front();
    for (int q : taken) {
        out.append(m_left.midRef(copied, q - copied));
        appendTags(outTags, m_leftTags, copied, q - copied);
        out.append(content);
        appendTags(outTags, contentTags, 0, content.size());
        copied = q + length;
    }
    out.append(m_left.midRef(copied));
    appendTags(outTags, m_leftTags, copied, m_left.size() - copied);
    m_leftTags.swap(outTags);
    moveProtected(taken, length, content.size() - length);
    const int from = std::max(0, taken.front() - 6);
    m_left = out;
    while (!m_inserts.empty() && m_inserts.back() >= from)
        m_inserts.pop_back();
    findInserts(from);
    m_hash.truncate(from);
    m_hash.append(m_left.constData() + from, m_left.size() - from);
}

// The kept copies of missing directives move with the text around the replaced copies; those
// written over are gone.
void InclusionExpander::moveProtected(const std::vector<int> &taken, int length, int delta)
{
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
}

QString InclusionExpander::joined() const
{
    QString text = m_left;
    text.reserve(m_left.size() + m_tail.size());
    for (int i = m_tail.size() - 1; i >= 0; --i)
        text.append(m_tail.at(i));
    if (m_tags) {
        *m_tags = m_leftTags;
        m_tags->insert(m_tags->end(), m_tailTags.rbegin(), m_tailTags.rend());
    }
    return text;
}

} // namespace

namespace detail {

QString expandInclusions(
    const QString &text, const FileReader &reader, Budget &budget, Tags *tags, OriginTable *origins)
{
    if (!text.contains(QLatin1String("#insert")))
        return text;
    return InclusionExpander(text, reader, budget, tags, origins).run();
}

} // namespace detail

QString expandInclusions(QString text, const FileReader &reader)
{
    Budget budget;
    return detail::expandInclusions(text, reader, budget);
}

} // namespace preparation
