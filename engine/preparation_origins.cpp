#include "engine/preparation.h"
#include "engine/preparation_detail.h"

#include <algorithm>

// The origins of prepared lines: the table of source lines behind the tags, the tagged forms
// of the toolkit's remove() and replace(), and the preparation that carries the tags.
namespace preparation {

namespace detail {

Tags OriginTable::addSource(const QString &file, const QString &text)
{
    const int base = m_next;
    m_sources.push_back({base, file});
    Tags tags(size_t(text.size()));
    int line = base;
    for (int i = 0; i < text.size(); ++i) {
        tags[size_t(i)] = line << 1;
        if (text.at(i) == QLatin1Char('\n'))
            ++line;
    }
    m_next = line + 1;
    return tags;
}

LineOrigin OriginTable::origin(int tag) const
{
    const int index = tag >> 1;
    const auto after = std::upper_bound(m_sources.begin(), m_sources.end(), index,
        [](int i, const Source &s) { return i < s.base; });
    const Source &source = *(after - 1);
    LineOrigin o;
    o.file = source.file;
    o.line = index - source.base + 1;
    o.rewritten = (tag & rewrittenBit) != 0;
    return o;
}

void removeTagged(QString &text, Tags *tags, const QString &piece)
{
    if (!tags) {
        text.remove(piece);
        return;
    }
    replaceTagged(text, tags, piece, QString());
}

void replaceTagged(QString &text, Tags *tags, const QString &piece, const QString &value)
{
    if (!tags) {
        text.replace(piece, value);
        return;
    }
    if (piece.isEmpty() || piece == value)
        return; // as the toolkit leaves it (an empty piece is never asked for)
    int at = text.indexOf(piece);
    if (at < 0)
        return;
    QString out;
    Tags outTags;
    int copied = 0;
    for (; at >= 0; at = text.indexOf(piece, at + piece.size())) {
        out.append(text.midRef(copied, at - copied));
        appendTags(outTags, *tags, copied, at - copied);
        out.append(value);
        outTags.insert(outTags.end(), size_t(value.size()), (*tags)[size_t(at)] | rewrittenBit);
        copied = at + piece.size();
    }
    out.append(text.midRef(copied));
    appendTags(outTags, *tags, copied, text.size() - copied);
    text = out;
    tags->swap(outTags);
}

namespace {

// Whether any character of the range was written by a macro.
bool anyRewritten(const Tags &tags, int from, int length)
{
    return std::any_of(tags.begin() + from, tags.begin() + from + length,
        [](int tag) { return (tag & rewrittenBit) != 0; });
}

} // namespace

} // namespace detail

namespace {

// Macros, inclusions and line filtering over text whose tags the table already knows.
PreparedScript expandAndFilter(
    QString text, detail::Tags tags, detail::OriginTable &table, const FileReader &reader)
{
    PreparedScript prepared;
    detail::noteMacros(text, tags, table, prepared.notes);
    detail::Budget budget;
    text = detail::expandMacros(text, budget, &tags);
    text = detail::expandInclusions(text, reader, budget, &tags, &table);
    detail::noteInserts(text, tags, table, prepared.notes);

    std::vector<std::pair<int, int>> ranges;
    prepared.lines = detail::filterLines(text, &ranges);
    prepared.origins.reserve(int(ranges.size()));
    for (const auto &range : ranges) {
        LineOrigin origin = table.origin(tags[size_t(range.first)]);
        origin.rewritten = detail::anyRewritten(tags, range.first, range.second);
        prepared.origins.append(origin);
    }
    return prepared;
}

} // namespace

PreparedScript prepareWithOrigins(const QString &source, const FileReader &reader)
{
    detail::OriginTable table;
    detail::Tags tags = table.addSource(QString(), source);
    QString text = detail::replaceCommentSpellings(source);
    text = detail::removeBlockComments(text, &tags);
    return expandAndFilter(text, std::move(tags), table, reader);
}

PreparedScript prepareReducedWithOrigins(const QString &source, const FileReader &reader)
{
    detail::OriginTable table;
    detail::Tags tags = table.addSource(QString(), source);
    return expandAndFilter(source, std::move(tags), table, reader);
}

} // namespace preparation
