#pragma once

#include <QString>

#include <deque>

// The script editor's own undo history. Every keystroke re-colours the script, which the
// editor's built-in undo stack cannot follow, so the window keeps this one.
//
// States are numbered from 1 (the oldest kept) to count(); current() is the one the editor
// shows. An edit after an undo does not cut off the states that redo would reach: it appends a
// new state at the end and makes it current.
//
// Storage: only two texts are held whole (the current state and the newest one); every other
// state is reached through the steps between neighbours, each holding just the replaced span
// of text (where, what was there, what came instead) with the cursor and scroll position of its
// state. A keystroke costs about a hundred bytes instead of a copy of the script. The steps are
// bounded by a byte budget: when they grow past it, the oldest states are dropped.
class EditHistory
{
public:
    static constexpr qint64 defaultBudgetBytes = 8 * 1024 * 1024;

    explicit EditHistory(qint64 budgetBytes = defaultBudgetBytes);

    // Starts over with a single state.
    void reset(const QString &text, int cursor, int scroll);
    // Appends a new newest state and makes it current.
    void record(const QString &text, int cursor, int scroll);
    // The same for the current text with removed at position at replaced by inserted, without
    // comparing whole texts. false (and nothing recorded) when removed is not what the current
    // text holds there.
    bool recordChange(
        int at, const QString &removed, const QString &inserted, int cursor, int scroll);
    // Moves one state back or forward; stays at the ends. true when current() changed.
    bool undo();
    bool redo();

    int count() const { return static_cast<int>(m_steps.size()) + 1; }
    int current() const { return m_current; }
    const QString &text() const { return m_currentText; }
    int cursor() const;
    int scroll() const;

    // The bytes held by the steps (texts and bookkeeping), the figure the budget limits.
    qint64 stepBytes() const { return m_stepBytes; }

private:
    // Turns state k into state k + 1: at position 'at', 'removed' was replaced by 'inserted'.
    struct Step
    {
        int at;
        QString removed;
        QString inserted;
        int cursor; // of state k + 1
        int scroll;
    };

    static qint64 sizeOf(const Step &step);
    void dropOldest();

    qint64 m_budget;
    std::deque<Step> m_steps; // m_steps[k - 1] leads from state k to state k + 1
    int m_firstCursor = 0; // positions of state 1
    int m_firstScroll = 0;
    int m_current = 1;
    QString m_currentText;
    QString m_newestText;
    qint64 m_stepBytes = 0;
};
