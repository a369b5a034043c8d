#include "app/editorhistory.h"

namespace {

// Rough heap cost of one step apart from its texts: the deque slot and two string headers.
constexpr qint64 kStepOverhead = 96;

} // namespace

EditHistory::EditHistory(qint64 budgetBytes)
    : m_budget(budgetBytes)
{
}

void EditHistory::reset(const QString &text, int cursor, int scroll)
{
    m_steps.clear();
    m_stepBytes = 0;
    m_firstCursor = cursor;
    m_firstScroll = scroll;
    m_current = 1;
    m_currentText = text;
    m_newestText = text;
}

void EditHistory::record(const QString &text, int cursor, int scroll)
{
    // The step from the newest state: the span between the common beginning and end.
    const int oldSize = m_newestText.size();
    const int newSize = text.size();
    const int shorter = qMin(oldSize, newSize);
    const QChar *oldChars = m_newestText.constData();
    const QChar *newChars = text.constData();
    int prefix = 0;
    while (prefix < shorter && oldChars[prefix] == newChars[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < shorter - prefix
        && oldChars[oldSize - 1 - suffix] == newChars[newSize - 1 - suffix])
        ++suffix;

    Step step {prefix, m_newestText.mid(prefix, oldSize - prefix - suffix),
        text.mid(prefix, newSize - prefix - suffix), cursor, scroll};
    m_stepBytes += sizeOf(step);
    m_steps.push_back(std::move(step));
    m_newestText = text;
    m_currentText = text;
    m_current = count();
    while (m_stepBytes > m_budget && !m_steps.empty())
        dropOldest();
}

bool EditHistory::recordChange(
    int at, const QString &removed, const QString &inserted, int cursor, int scroll)
{
    if (at < 0 || at > m_currentText.size() - removed.size()
        || QStringView(m_currentText).mid(at, removed.size()) != removed)
        return false;
    if (m_current != count()) {
        // After an undo the step leads from the newest state, not from the current one.
        QString text = m_currentText;
        text.replace(at, removed.size(), inserted);
        record(text, cursor, scroll);
        return true;
    }
    m_currentText.replace(at, removed.size(), inserted);
    m_newestText.replace(at, removed.size(), inserted);
    Step step {at, removed, inserted, cursor, scroll};
    m_stepBytes += sizeOf(step);
    m_steps.push_back(std::move(step));
    m_current = count();
    while (m_stepBytes > m_budget && !m_steps.empty())
        dropOldest();
    return true;
}

bool EditHistory::undo()
{
    if (m_current <= 1)
        return false;
    const Step &step = m_steps[m_current - 2];
    m_currentText.replace(step.at, step.inserted.size(), step.removed);
    --m_current;
    return true;
}

bool EditHistory::redo()
{
    if (m_current >= count())
        return false;
    const Step &step = m_steps[m_current - 1];
    m_currentText.replace(step.at, step.removed.size(), step.inserted);
    ++m_current;
    return true;
}

int EditHistory::cursor() const
{
    return m_current == 1 ? m_firstCursor : m_steps[m_current - 2].cursor;
}

int EditHistory::scroll() const
{
    return m_current == 1 ? m_firstScroll : m_steps[m_current - 2].scroll;
}

qint64 EditHistory::sizeOf(const Step &step)
{
    return kStepOverhead + 2 * qint64(step.removed.size() + step.inserted.size());
}

void EditHistory::dropOldest()
{
    // State 2 becomes the first; the texts held whole are never older, so nothing is rebuilt.
    // Only called right after record(), when current() is the newest state.
    const Step &oldest = m_steps.front();
    m_firstCursor = oldest.cursor;
    m_firstScroll = oldest.scroll;
    m_stepBytes -= sizeOf(oldest);
    m_steps.pop_front();
    m_current = count();
}
